// The memo view hosted in-process as the control hosts it: a top-level
// window with CMainDlg as its child, an application object with a profile
// key of its own, memo files, and helpers that read what the user sees.
#pragma once

#include "MainDlg.h"
#include "UiDriver.h"
#include "ViewRes.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace viewtest {

// Text is UTF-8 here and Shift-JIS in the file.
struct Memo { std::string text; int category = 0; bool deleted = false; };

struct MemoFilePlan {
    std::string password;                  // empty: none
    std::string hint;
    std::vector<std::string> categories;   // names of categories 1, 2, ...
    std::vector<Memo> memos;
};

// The path as Palm Desktop passes it, with backslashes.
inline std::string WinPath(std::string path) { return std::replace(path.begin(), path.end(), '/', '\\'), path; }

// Writes the file; false when it cannot.
bool MakeMemoFile(const std::string& path, const MemoFilePlan& plan);

// One record as the data core reads it back: "text|category|flags|id",
// flags "u" update, "d" deleted.
std::vector<std::string> ReadBack(const std::string& path, const std::string& password);

// The window that stands for the control: keeps its child the size of its
// client area and records the status messages posted to it.
class HostWindow : public CWnd {
public:
    std::vector<std::pair<int, int>> statuses;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// A step that never ends: answers every message box with OK and every other
// dialog with Cancel, recording their texts and titles.
uitest::Step Watch(std::vector<std::string>* seen);

// Selects the entry of the dialog's category box with this item data and
// announces it, sent or posted (when a modal dialog is to open from it).
void ChooseCategory(HWND hDlg, int data, bool post = false);

class ViewHarness {
public:
    ViewHarness();
    ~ViewHarness();
    ViewHarness(const ViewHarness&) = delete;
    ViewHarness& operator=(const ViewHarness&) = delete;

    // Handles every message waiting, through the view's pre-translation.
    void Pump();

    // List items in list order: first line, "*" prefixed when selected.
    std::vector<std::string> Items(int column = 0) const;
    // Selects exactly the items at these positions.
    void Select(const std::vector<int>& positions);
    void ChooseCategory(int data) { viewtest::ChooseCategory(view->m_hWnd, data); }
    std::string Preview() const { return uitest::ItemText(view->m_hWnd, IDC_MEMO); }
    bool EditEnabled() const { return ::IsWindowEnabled(::GetDlgItem(view->m_hWnd, IDC_EDIT)) != FALSE; }
    int ListStyle() const { return static_cast<int>(::GetWindowLongA(::GetDlgItem(view->m_hWnd, IDC_LIST), GWL_STYLE) & LVS_TYPEMASK); }
    // The command's state as "handled/enabled".
    std::string State(UINT nID)
    {
        int handled, enabled, checked, reserved;
        view->GetCommandState(nID, handled, enabled, checked, reserved);
        return std::to_string(handled) + "/" + std::to_string(enabled);
    }

    std::string ClipboardText() const;
    void SetClipboardText(const std::string& ansi) const;

    CWinApp app{"TessalyExt"};
    HostWindow host;
    CMainDlg* view = nullptr;
};

} // namespace viewtest
