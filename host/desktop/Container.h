// The desktop stand-in's ActiveX container: creates an add-on's control
// in-process, activates it in place in a window, and serves it Palm
// Desktop's add-on service, application, frame and status bar objects with
// their connection points, through which the container fires the events.
// desktop.exe hosts its add-ons with it; tests host controls with it too,
// and can make the host objects' calls fail through the stand-in's failure
// lists (AddOnStore.h).
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace desktop {

// ------------------------------------------------------------- the menu bar

// A host menu item sends this command: its item ID moved by 1000, so that an
// add-on that takes item IDs for command IDs is caught.
constexpr UINT CommandOfItem(UINT item) { return item + 1000; }
// Items of the host's own, beside the ones add-ons map.
enum : UINT { ItemFileExit = 19019, ItemEditRedo = 19021, ItemEditFind = 19026, ItemToolsHotSync = 19061 };

// Palm Desktop's menu bar: each menu's item in the bar has the menu ID
// (18001-18004) as its ID, each item of a menu its item ID as its data and
// CommandOfItem(item ID) as its command. Captions are the string resources
// of `strings` numbered by menu or item ID, English ones when there are none.
// Items 19051-19053 are the last items of menu 18003.
HMENU CreateHostMenuBar(HINSTANCE strings);
// The position of the menu `menuId` in the bar, or of the item `itemId`
// within that menu (itemId != 0); -1 when there is none.
int FindMenuPosition(HMENU bar, UINT menuId, UINT itemId);

struct CommandState;
// Enables, greys, checks and unchecks every command item of a popup by the
// state `stateOf` gives its command; items whose state is not handled stay.
void ApplyMenuStates(HMENU popup, const std::function<CommandState(UINT)>& stateOf);

// --------------------------------------------------------------- the events

enum class EventSet { Service = 0, Application = 1, Frame = 2 };

struct CommandState {
    LONG handled = 0, enabled = 0, checked = 0, reserved = 0;
};

struct FindHit {
    std::string first, second;
    LONG index = -1;
};

// Arguments of one event in their natural order; out arguments are
// VT_BYREF to storage the object holds.
class EventArgs {
public:
    EventArgs() = default;
    ~EventArgs();
    EventArgs(const EventArgs&) = delete;
    EventArgs& operator=(const EventArgs&) = delete;
    void In(LONG value);
    void In(const std::string& text);
    LONG* OutLong();
    BSTR* OutBstr();
    // In the reverse order, as DISPPARAMS takes them.
    DISPPARAMS Params();

private:
    std::vector<VARIANTARG> m_args;
    std::vector<VARIANTARG> m_reversed;
    LONG m_longs[8] = {};
    BSTR m_bstrs[8] = {};
    size_t m_nLongs = 0, m_nBstrs = 0;
};

// ---------------------------------------------------------------- container

class Container {
public:
    struct Options {
        HWND frame = nullptr;       // the main window: the in-place frame
        HMENU menuBar = nullptr;    // what the frame object hands out
        HWND statusBar = nullptr;   // may be null: pane texts are only kept
        LONG commandIdBase = 40000; // the add-on's own command IDs start here
        bool offerService = true;   // false: a plain container, no add-on service
    };

    explicit Container(const Options& options);
    ~Container();
    Container(const Container&) = delete;
    Container& operator=(const Container&) = delete;

    // Creates the control (a ProgID, or a CLSID in braces) and activates it
    // in place in `parent` over `rect`.
    HRESULT Create(const std::string& progIdOrClsid, HWND parent, const RECT& rect);
    // The same for a control object the caller made (one reference is taken).
    HRESULT Create(IUnknown* control, HWND parent, const RECT& rect);
    void Move(const RECT& rect);
    // Closes the control, takes the site away and drops what it left connected.
    void Destroy();
    bool HasControl() const;
    IUnknown* Control() const;
    // The control's window while it is in place active.
    HWND ControlWindow() const;
    bool UIActive() const;

    // What the add-on service answers.
    void SetUser(const std::string& user, const std::string& dataFile);
    const std::string& User() const;
    const std::string& DataFile() const;
    void SetActive(bool active);
    bool Active() const;
    LONG CommandIdBase() const;
    // The last value given to position 19, -1 before any.
    LONG ReadyValue() const;
    // The last text given to a status bar pane.
    std::string PaneText(int pane) const;
    // Cookies of the live connections of one event set, in the order made.
    std::vector<DWORD> Cookies(EventSet set) const;
    // The host objects as the control reaches them (no reference added).
    IDispatch* Object(EventSet set) const;
    IDispatch* StatusBarObject() const;

    // Service events. Out values come from the first sink that handles.
    void FireActivate(bool active);   // also SetActive
    void FireUserChanged();
    void FireSave();
    bool FireCommand(LONG command);
    CommandState FireCommandState(LONG command);
    bool FireCommandHelp(LONG command, std::string& text);
    bool FirePreTranslate(const MSG& msg);
    void FireFindStart(const std::string& text, bool matchCase, bool wholeWord);
    bool FireFindNext(FindHit& hit);
    void FireFindGoTo(LONG index, bool show);
    // Application event 5: false and the message when a sink refuses.
    bool FireHotSyncQuery(const std::string& user, std::string& message);
    // Any event to every sink of a set; `build` fills each sink's arguments,
    // `done` reads them and returns true to stop. The last HRESULT.
    HRESULT Fire(EventSet set, DISPID id, const std::function<void(EventArgs&)>& build,
                 const std::function<bool(EventArgs&)>& done = nullptr);

    // Puts every command item of a popup through the command-state event:
    // handled answers set enabled and checked, the rest take `hostDefault`.
    void UpdateMenuPopup(HMENU popup, const std::function<CommandState(UINT)>& hostDefault);

    struct State;

private:
    std::unique_ptr<State> m_state;
};

} // namespace desktop
