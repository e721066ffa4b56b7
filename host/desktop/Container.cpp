#include "Container.h"

#include "AddOnStore.h"
#include "ComBase.h"
#include "PalmDesktop.h"

#include <commctrl.h>
#include <olectl.h>
#include <oleidl.h>
#include <servprov.h>

#include <map>

namespace desktop {

using namespace PalmDesktop;

// ------------------------------------------------------------------ menus

namespace {

struct MenuDef {
    UINT menu;
    UINT item;   // 0: separator
    const char* english;
};

const struct {
    UINT id;
    const char* english;
} kMenus[] = {{MenuFile, "&File"}, {MenuEdit, "&Edit"}, {MenuView, "&View"}, {MenuTools, "&Tools"}};

const MenuDef kItems[] = {
    {MenuFile, CmdFileNew, "&New"},
    {MenuFile, CmdFileSave, "&Save\tCtrl+S"},
    {MenuFile, CmdFileImport, "&Import..."},
    {MenuFile, 19013, "Page Set&up..."},
    {MenuFile, CmdFileExport, "&Export..."},
    {MenuFile, CmdFilePrint, "&Print..."},
    {MenuFile, 0, nullptr},
    {MenuFile, ItemFileExit, "E&xit"},
    {MenuEdit, CmdEditUndo, "&Undo\tCtrl+Z"},
    {MenuEdit, ItemEditRedo, "&Redo"},
    {MenuEdit, 0, nullptr},
    {MenuEdit, CmdEditCut, "Cu&t\tCtrl+X"},
    {MenuEdit, CmdEditCopy, "&Copy\tCtrl+C"},
    {MenuEdit, CmdEditPaste, "&Paste\tCtrl+V"},
    {MenuEdit, CmdEditDelete, "&Delete"},
    {MenuEdit, 0, nullptr},
    {MenuEdit, CmdEditSelectAll, "Select &All\tCtrl+A"},
    {MenuEdit, 0, nullptr},
    {MenuEdit, ItemEditFind, "&Find...\tCtrl+F"},
    {MenuView, CmdViewList, "&List"},
    {MenuView, CmdViewLarge, "La&rge Icons"},
    {MenuView, CmdViewSmall, "S&mall Icons"},
    {MenuTools, CmdToolsCategories, "&Categories..."},
    {MenuTools, 0, nullptr},
    {MenuTools, ItemToolsHotSync, "&HotSync"},
};

std::string Caption(HINSTANCE strings, UINT id, const char* english)
{
    char buf[256];
    if (strings && LoadStringA(strings, id, buf, sizeof buf) > 0)
        return buf;
    return english;
}

} // namespace

HMENU CreateHostMenuBar(HINSTANCE strings)
{
    HMENU bar = CreateMenu();
    for (const auto& m : kMenus) {
        HMENU sub = CreatePopupMenu();
        for (const MenuDef& d : kItems) {
            if (d.menu != m.id)
                continue;
            if (!d.item) {
                AppendMenuA(sub, MF_SEPARATOR, 0, nullptr);
                continue;
            }
            std::string text = Caption(strings, d.item, d.english);
            MENUITEMINFOA mii = {};
            mii.cbSize = sizeof mii;
            mii.fMask = MIIM_ID | MIIM_DATA | MIIM_STRING;
            mii.wID = CommandOfItem(d.item);
            mii.dwItemData = d.item;
            mii.dwTypeData = &text[0];
            InsertMenuItemA(sub, GetMenuItemCount(sub), TRUE, &mii);
        }
        std::string text = Caption(strings, m.id, m.english);
        MENUITEMINFOA mii = {};
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        mii.wID = m.id;
        mii.hSubMenu = sub;
        mii.dwTypeData = &text[0];
        InsertMenuItemA(bar, GetMenuItemCount(bar), TRUE, &mii);
    }
    return bar;
}

int FindMenuPosition(HMENU bar, UINT menuId, UINT itemId)
{
    if (!bar || !IsMenu(bar))
        return -1;
    int count = GetMenuItemCount(bar);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOA mii = {};
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_ID | MIIM_SUBMENU;
        if (!GetMenuItemInfoA(bar, static_cast<UINT>(i), TRUE, &mii) || mii.wID != menuId || !mii.hSubMenu)
            continue;
        if (itemId == 0)
            return i;
        int n = GetMenuItemCount(mii.hSubMenu);
        for (int j = 0; j < n; ++j) {
            MENUITEMINFOA it = {};
            it.cbSize = sizeof it;
            it.fMask = MIIM_DATA | MIIM_FTYPE;
            if (GetMenuItemInfoA(mii.hSubMenu, static_cast<UINT>(j), TRUE, &it) && !(it.fType & MFT_SEPARATOR) &&
                it.dwItemData == itemId)
                return j;
        }
        return -1;
    }
    return -1;
}

// -------------------------------------------------------------- event args

EventArgs::~EventArgs()
{
    for (VARIANTARG& v : m_args)
        if (V_VT(&v) == VT_BSTR)
            SysFreeString(V_BSTR(&v));
    for (size_t i = 0; i < m_nBstrs; ++i)
        SysFreeString(m_bstrs[i]);
}

void EventArgs::In(LONG value)
{
    VARIANTARG v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    m_args.push_back(v);
}

void EventArgs::In(const std::string& text)
{
    VARIANTARG v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = AnsiToBstr(text);
    m_args.push_back(v);
}

LONG* EventArgs::OutLong()
{
    if (m_nLongs == sizeof m_longs / sizeof m_longs[0])
        return nullptr;
    LONG* p = &m_longs[m_nLongs++];
    VARIANTARG v;
    VariantInit(&v);
    V_VT(&v) = VT_I4 | VT_BYREF;
    V_I4REF(&v) = p;
    m_args.push_back(v);
    return p;
}

BSTR* EventArgs::OutBstr()
{
    if (m_nBstrs == sizeof m_bstrs / sizeof m_bstrs[0])
        return nullptr;
    BSTR* p = &m_bstrs[m_nBstrs++];
    VARIANTARG v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR | VT_BYREF;
    V_BSTRREF(&v) = p;
    m_args.push_back(v);
    return p;
}

DISPPARAMS EventArgs::Params()
{
    m_reversed.assign(m_args.rbegin(), m_args.rend());
    DISPPARAMS dp = {};
    dp.rgvarg = m_reversed.empty() ? nullptr : m_reversed.data();
    dp.cArgs = static_cast<UINT>(m_reversed.size());
    return dp;
}

// ---------------------------------------------------------- host objects

namespace {

class ConnectionPoint;

class ObjectBase : public RefCounted {
public:
    explicit ObjectBase(Container::State* state) : m_state(state) {}
    void Detach() { m_state = nullptr; }

protected:
    Container::State* m_state;
};

} // namespace

struct Container::State {
    Options options;
    std::string user, dataFile;
    bool active = false;
    LONG ready = -1;
    std::map<int, std::string> panes;
    DWORD nextCookie = 1;

    // The host objects and their connection points.
    IDispatch* objects[3] = {};
    ConnectionPoint* points[3] = {};
    IDispatch* statusBar = nullptr;
    std::vector<ObjectBase*> owned;   // detached when the container goes

    // The control.
    IOleObject* oleObject = nullptr;
    IOleInPlaceObject* inPlace = nullptr;
    IOleInPlaceActiveObject* activeObject = nullptr;
    IOleClientSite* site = nullptr;
    IOleInPlaceFrame* inPlaceFrame = nullptr;
    HWND parent = nullptr;
    RECT rect = {};
    bool uiActive = false;
};

namespace {

class ConnectionPoint : public IConnectionPoint, public ObjectBase {
public:
    ConnectionPoint(Container::State* state, IConnectionPointContainer* owner, REFIID iid)
        : ObjectBase(state), m_owner(owner), m_iid(iid)
    {
    }
    ~ConnectionPoint() override { DropAll(); }
    DESKTOP_REFCOUNT
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
            *ppv = static_cast<IConnectionPoint*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* piid) override
    {
        if (!piid)
            return E_POINTER;
        *piid = m_iid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** pp) override
    {
        if (!pp)
            return E_POINTER;
        *pp = m_owner;
        if (!m_owner)
            return E_UNEXPECTED;
        m_owner->AddRef();
        return S_OK;
    }
    // The sink must answer the event interface itself, as a connection
    // point of the genuine host asks.
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override
    {
        if (!sink || !cookie)
            return E_POINTER;
        *cookie = 0;
        if (!m_state)
            return E_UNEXPECTED;
        IDispatch* d = nullptr;
        if (FAILED(sink->QueryInterface(m_iid, reinterpret_cast<void**>(&d))) || !d)
            return CONNECT_E_CANNOTCONNECT;
        *cookie = m_state->nextCookie++;
        m_sinks.push_back({*cookie, d});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override
    {
        for (size_t i = 0; i < m_sinks.size(); ++i) {
            if (m_sinks[i].first == cookie) {
                IDispatch* d = m_sinks[i].second;
                m_sinks.erase(m_sinks.begin() + static_cast<std::ptrdiff_t>(i));
                d->Release();
                return S_OK;
            }
        }
        return CONNECT_E_NOCONNECTION;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** pp) override
    {
        if (pp)
            *pp = nullptr;
        return E_NOTIMPL;
    }

    std::vector<DWORD> Cookies() const
    {
        std::vector<DWORD> out;
        for (const auto& s : m_sinks)
            out.push_back(s.first);
        return out;
    }
    // The sinks now connected, each with a reference for the caller.
    std::vector<IDispatch*> Snapshot() const
    {
        std::vector<IDispatch*> out;
        for (const auto& s : m_sinks) {
            s.second->AddRef();
            out.push_back(s.second);
        }
        return out;
    }
    // Connections a control left behind when it was taken down.
    void DropAll()
    {
        std::vector<std::pair<DWORD, IDispatch*>> sinks;
        sinks.swap(m_sinks);
        for (auto& s : sinks)
            s.second->Release();
    }
    void ForgetOwner() { m_owner = nullptr; }

private:
    IConnectionPointContainer* m_owner;   // not held: it holds this point
    IID m_iid;
    std::vector<std::pair<DWORD, IDispatch*>> m_sinks;
};

// A host object with events: IDispatch through its type library and one
// connection point.
template <class I, const IID* Iid, const GUID* Lib>
class EventSource : public DispatchImpl<I, Iid, Lib>, public IConnectionPointContainer, public ObjectBase {
public:
    EventSource(Container::State* state, REFIID events) : ObjectBase(state), m_events(events)
    {
        m_point = new ConnectionPoint(state, this, events);
    }
    ~EventSource() override
    {
        m_point->ForgetOwner();
        m_point->Release();
    }
    DESKTOP_REFCOUNT
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (this->QueryDual(riid, ppv))
            return S_OK;
        if (riid != IID_IConnectionPointContainer) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IConnectionPointContainer*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** pp) override
    {
        if (pp)
            *pp = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** pp) override
    {
        if (!pp)
            return E_POINTER;
        *pp = nullptr;
        if (riid != m_events)
            return CONNECT_E_NOCONNECTION;
        m_point->AddRef();
        *pp = m_point;
        return S_OK;
    }
    ConnectionPoint* Point() const { return m_point; }

private:
    IID m_events;
    ConnectionPoint* m_point;
};

#define DESKTOP_FORWARD_UNKNOWN                                                                  \
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }                           \
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

// A test names positions of the host objects that fail (AddOnStore.h):
// FailService, FailApplication, FailFrame, FailStatusBar.
bool Fails(const wchar_t* list, int position) { return FailureRequested(list, position); }

HRESULT QueryOut(IUnknown* object, REFIID iid, IDispatch** out, const wchar_t* list, int position)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (Fails(list, position))
        return E_FAIL;
    if (!object)
        return E_UNEXPECTED;
    return object->QueryInterface(iid, reinterpret_cast<void**>(out));
}

class StatusBarImpl : public DispatchImpl<IStatusBar, &IID_IStatusBar, &LIBID_Application>, public ObjectBase {
public:
    using ObjectBase::ObjectBase;
    DESKTOP_REFCOUNT
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (QueryDual(riid, ppv))
            return S_OK;
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved8() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetPaneText(LONG pane, BSTR text) override
    {
        if (!m_state)
            return E_UNEXPECTED;
        if (Fails(L"FailStatusBar", 9))
            return E_FAIL;
        HWND bar = m_state->options.statusBar;
        int parts = bar ? static_cast<int>(SendMessageA(bar, SB_GETPARTS, 0, 0)) : 2;
        if (pane < 0 || pane >= parts)
            return E_INVALIDARG;
        std::string s = BstrToAnsi(text);
        m_state->panes[pane] = s;
        if (bar)
            SendMessageA(bar, SB_SETTEXTA, static_cast<WPARAM>(pane), reinterpret_cast<LPARAM>(s.c_str()));
        return S_OK;
    }
};

class FrameObject : public EventSource<IFrame, &IID_IFrame, &LIBID_Application> {
public:
    explicit FrameObject(Container::State* state) : EventSource(state, DIID_FrameEvents) {}
    HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved8() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved9() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMenuBar(LONG* menu) override
    {
        if (!menu)
            return E_POINTER;
        *menu = 0;
        if (Fails(L"FailFrame", 10))
            return E_FAIL;
        if (!m_state || !m_state->options.menuBar)
            return E_UNEXPECTED;
        *menu = static_cast<LONG>(reinterpret_cast<INT_PTR>(m_state->options.menuBar));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reserved11() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved12() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMenuPosition(LONG menuId, LONG itemId, LONG* position) override
    {
        if (!position)
            return E_POINTER;
        *position = -1;
        if (Fails(L"FailFrame", 13))
            return E_FAIL;
        if (!m_state)
            return E_UNEXPECTED;
        int p = FindMenuPosition(m_state->options.menuBar, static_cast<UINT>(menuId), static_cast<UINT>(itemId));
        if (p < 0)
            return E_INVALIDARG;
        *position = p;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetStatusBar(IDispatch** out) override
    {
        return QueryOut(m_state ? m_state->statusBar : nullptr, IID_IStatusBar, out, L"FailFrame", 14);
    }
};

class ApplicationObject : public EventSource<IApplication, &IID_IApplication, &LIBID_Application> {
public:
    explicit ApplicationObject(Container::State* state) : EventSource(state, DIID_ApplicationEvents) {}
    HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved8() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved9() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved10() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved11() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved12() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved13() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved14() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved15() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFrame(IDispatch** out) override
    {
        return QueryOut(m_state ? m_state->objects[int(EventSet::Frame)] : nullptr, IID_IFrame, out,
                        L"FailApplication", 16);
    }
};

class ServiceObject : public EventSource<IAddOnService, &IID_IAddOnService, &LIBID_AddOnService> {
public:
    explicit ServiceObject(Container::State* state) : EventSource(state, DIID_ServiceEvents) {}
    HRESULT STDMETHODCALLTYPE GetApplication(IDispatch** out) override
    {
        return QueryOut(m_state ? m_state->objects[int(EventSet::Application)] : nullptr, IID_IApplication, out,
                        L"FailService", 7);
    }
    HRESULT STDMETHODCALLTYPE Reserved8() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved9() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved10() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved11() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCommandIDBase(LONG* base) override
    {
        if (!base)
            return E_POINTER;
        *base = 0;
        if (Fails(L"FailService", 12))
            return E_FAIL;
        *base = m_state ? m_state->options.commandIdBase : 0;
        return m_state ? S_OK : E_UNEXPECTED;
    }
    HRESULT STDMETHODCALLTYPE Reserved13() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved14() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved15() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCurrentUser(BSTR* user, BSTR* dataFile) override
    {
        if (!user || !dataFile)
            return E_POINTER;
        *user = *dataFile = nullptr;
        if (Fails(L"FailService", 16))
            return E_FAIL;
        if (!m_state)
            return E_UNEXPECTED;
        *user = AnsiToBstr(m_state->user);
        *dataFile = AnsiToBstr(m_state->dataFile);
        if (!*user || !*dataFile) {
            SysFreeString(*user);
            SysFreeString(*dataFile);
            *user = *dataFile = nullptr;
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsActive(LONG* active) override
    {
        if (!active)
            return E_POINTER;
        *active = 0;
        if (Fails(L"FailService", 17))
            return E_FAIL;
        *active = m_state && m_state->active ? 1 : 0;
        return m_state ? S_OK : E_UNEXPECTED;
    }
    HRESULT STDMETHODCALLTYPE Reserved18() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetReady(LONG ready) override
    {
        if (!m_state)
            return E_UNEXPECTED;
        if (Fails(L"FailService", 19))
            return E_FAIL;
        m_state->ready = ready;
        return S_OK;
    }
};

// -------------------------------------------------------- the control site

class InPlaceFrame : public IOleInPlaceFrame, public ObjectBase {
public:
    using ObjectBase::ObjectBase;
    DESKTOP_REFCOUNT
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IOleWindow || riid == IID_IOleInPlaceUIWindow ||
            riid == IID_IOleInPlaceFrame) {
            *ppv = static_cast<IOleInPlaceFrame*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override
    {
        if (!phwnd)
            return E_POINTER;
        *phwnd = m_state ? m_state->options.frame : nullptr;
        return *phwnd ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT rect) override
    {
        if (!rect)
            return E_POINTER;
        if (!m_state || !m_state->options.frame)
            return INPLACE_E_NOTOOLSPACE;
        ::GetClientRect(m_state->options.frame, rect);
        return S_OK;
    }
    // Palm Desktop keeps its own tool space; an add-on gets none.
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS widths) override
    {
        if (!widths || (!widths->left && !widths->top && !widths->right && !widths->bottom))
            return S_OK;
        return OLE_E_INVALIDRECT;
    }
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* active, LPCOLESTR) override
    {
        if (!m_state)
            return E_UNEXPECTED;
        if (active)
            active->AddRef();
        if (m_state->activeObject)
            m_state->activeObject->Release();
        m_state->activeObject = active;
        return S_OK;
    }
    // The add-on's menu work goes through the events, not menu merging.
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS widths) override
    {
        if (widths)
            for (LONG& w : widths->width)
                w = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR text) override
    {
        if (!m_state)
            return E_UNEXPECTED;
        BSTR b = SysAllocString(text ? text : L"");
        std::string s = BstrToAnsi(b);
        SysFreeString(b);
        m_state->panes[0] = s;
        if (m_state->options.statusBar)
            SendMessageA(m_state->options.statusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(s.c_str()));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }
};

class ClientSite : public IOleClientSite, public IOleInPlaceSite, public IServiceProvider, public ObjectBase {
public:
    using ObjectBase::ObjectBase;
    DESKTOP_REFCOUNT
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IOleClientSite)
            *ppv = static_cast<IOleClientSite*>(this);
        else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite)
            *ppv = static_cast<IOleInPlaceSite*>(this);
        else if (riid == IID_IServiceProvider)
            *ppv = static_cast<IServiceProvider*>(this);
        else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }

    // IServiceProvider: the add-on service, unless this is a plain container.
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID sid, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (!m_state || !m_state->options.offerService || sid != IID_IAddOnService)
            return E_NOINTERFACE;
        return m_state->objects[int(EventSet::Service)]->QueryInterface(riid, ppv);
    }

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** pp) override
    {
        if (pp)
            *pp = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** pp) override
    {
        if (pp)
            *pp = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override
    {
        if (!phwnd)
            return E_POINTER;
        *phwnd = m_state ? m_state->parent : nullptr;
        return *phwnd ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return m_state ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override
    {
        if (!m_state || !m_state->oleObject)
            return E_UNEXPECTED;
        if (!m_state->inPlace)
            m_state->oleObject->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&m_state->inPlace));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override
    {
        if (m_state)
            m_state->uiActive = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                               LPRECT clip, LPOLEINPLACEFRAMEINFO info) override
    {
        if (frame)
            *frame = nullptr;
        if (doc)
            *doc = nullptr;
        if (!frame || !doc || !pos || !clip || !info)
            return E_POINTER;
        if (!m_state)
            return E_UNEXPECTED;
        m_state->inPlaceFrame->AddRef();
        *frame = m_state->inPlaceFrame;
        *pos = m_state->rect;
        *clip = m_state->rect;
        info->fMDIApp = FALSE;
        info->hwndFrame = m_state->options.frame;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override
    {
        if (m_state)
            m_state->uiActive = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override
    {
        if (m_state && m_state->inPlace) {
            m_state->inPlace->Release();
            m_state->inPlace = nullptr;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override
    {
        if (m_state && m_state->inPlace)
            m_state->inPlace->InPlaceDeactivate();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT rect) override
    {
        if (!rect)
            return E_POINTER;
        if (m_state && m_state->inPlace) {
            m_state->rect = *rect;
            m_state->inPlace->SetObjectRects(rect, rect);
        }
        return S_OK;
    }
};

} // namespace

// ---------------------------------------------------------------- container

Container::Container(const Options& options) : m_state(new State)
{
    State* s = m_state.get();
    s->options = options;
    auto* service = new ServiceObject(s);
    auto* application = new ApplicationObject(s);
    auto* frame = new FrameObject(s);
    auto* status = new StatusBarImpl(s);
    auto* inPlaceFrame = new InPlaceFrame(s);
    auto* site = new ClientSite(s);
    s->objects[int(EventSet::Service)] = static_cast<IAddOnService*>(service);
    s->objects[int(EventSet::Application)] = static_cast<IApplication*>(application);
    s->objects[int(EventSet::Frame)] = static_cast<IFrame*>(frame);
    s->points[int(EventSet::Service)] = service->Point();
    s->points[int(EventSet::Application)] = application->Point();
    s->points[int(EventSet::Frame)] = frame->Point();
    s->statusBar = status;
    s->inPlaceFrame = inPlaceFrame;
    s->site = site;
    s->owned = {service, application, frame, service->Point(), application->Point(), frame->Point(), status,
                inPlaceFrame, site};
}

Container::~Container()
{
    Destroy();
    State* s = m_state.get();
    // Objects that a control still holds answer E_UNEXPECTED from now on.
    for (ObjectBase* o : s->owned)
        o->Detach();
    for (ConnectionPoint* p : s->points)
        p->DropAll();
    for (IDispatch*& o : s->objects) {
        o->Release();
        o = nullptr;
    }
    s->statusBar->Release();
    s->inPlaceFrame->Release();
    s->site->Release();
}

HRESULT Container::Create(const std::string& progIdOrClsid, HWND parent, const RECT& rect)
{
    BSTR name = AnsiToBstr(progIdOrClsid);
    if (!name)
        return E_OUTOFMEMORY;
    CLSID clsid;
    HRESULT hr = progIdOrClsid.size() && progIdOrClsid[0] == '{' ? CLSIDFromString(name, &clsid)
                                                                 : CLSIDFromProgID(name, &clsid);
    SysFreeString(name);
    if (FAILED(hr))
        return hr;
    IUnknown* control = nullptr;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&control));
    if (FAILED(hr))
        return hr;
    hr = Create(control, parent, rect);
    control->Release();
    return hr;
}

HRESULT Container::Create(IUnknown* control, HWND parent, const RECT& rect)
{
    if (!control || !parent)
        return E_INVALIDARG;
    Destroy();
    State* s = m_state.get();
    HRESULT hr = control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&s->oleObject));
    if (FAILED(hr))
        return hr;
    s->parent = parent;
    s->rect = rect;
    DWORD misc = 0;
    s->oleObject->GetMiscStatus(DVASPECT_CONTENT, &misc);
    bool siteFirst = (misc & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if (siteFirst)
        s->oleObject->SetClientSite(s->site);
    IPersistStreamInit* init = nullptr;
    if (SUCCEEDED(control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&init))) && init) {
        init->InitNew();
        init->Release();
    }
    if (!siteFirst)
        s->oleObject->SetClientSite(s->site);
    s->oleObject->SetHostNames(L"Palm Desktop", nullptr);
    RECT rc = rect;
    hr = s->oleObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, s->site, 0, parent, &rc);
    if (FAILED(hr)) {
        Destroy();
        return hr;
    }
    s->oleObject->DoVerb(OLEIVERB_UIACTIVATE, nullptr, s->site, 0, parent, &rc);
    return S_OK;
}

void Container::Move(const RECT& rect)
{
    State* s = m_state.get();
    s->rect = rect;
    if (s->inPlace)
        s->inPlace->SetObjectRects(&rect, &rect);
}

void Container::Destroy()
{
    State* s = m_state.get();
    if (!s->oleObject)
        return;
    IOleObject* object = s->oleObject;
    object->Close(OLECLOSE_NOSAVE);
    if (s->inPlace) {
        s->inPlace->Release();
        s->inPlace = nullptr;
    }
    if (s->activeObject) {
        s->activeObject->Release();
        s->activeObject = nullptr;
    }
    object->SetClientSite(nullptr);
    s->oleObject = nullptr;
    s->uiActive = false;
    object->Release();
    // What the control left connected would keep it alive.
    for (ConnectionPoint* p : s->points)
        p->DropAll();
}

bool Container::HasControl() const { return m_state->oleObject != nullptr; }
IUnknown* Container::Control() const { return m_state->oleObject; }

HWND Container::ControlWindow() const
{
    HWND hwnd = nullptr;
    if (m_state->inPlace && FAILED(m_state->inPlace->GetWindow(&hwnd)))
        hwnd = nullptr;
    return hwnd;
}

bool Container::UIActive() const { return m_state->uiActive; }

void Container::SetUser(const std::string& user, const std::string& dataFile)
{
    m_state->user = user;
    m_state->dataFile = dataFile;
}
const std::string& Container::User() const { return m_state->user; }
const std::string& Container::DataFile() const { return m_state->dataFile; }
void Container::SetActive(bool active) { m_state->active = active; }
bool Container::Active() const { return m_state->active; }
LONG Container::CommandIdBase() const { return m_state->options.commandIdBase; }
LONG Container::ReadyValue() const { return m_state->ready; }

std::string Container::PaneText(int pane) const
{
    auto it = m_state->panes.find(pane);
    return it == m_state->panes.end() ? std::string() : it->second;
}

std::vector<DWORD> Container::Cookies(EventSet set) const { return m_state->points[int(set)]->Cookies(); }
IDispatch* Container::Object(EventSet set) const { return m_state->objects[int(set)]; }
IDispatch* Container::StatusBarObject() const { return m_state->statusBar; }

HRESULT Container::Fire(EventSet set, DISPID id, const std::function<void(EventArgs&)>& build,
                        const std::function<bool(EventArgs&)>& done)
{
    HRESULT hr = S_OK;
    std::vector<IDispatch*> sinks = m_state->points[int(set)]->Snapshot();
    bool stop = false;
    for (IDispatch* sink : sinks) {
        if (!stop) {
            EventArgs args;
            if (build)
                build(args);
            DISPPARAMS dp = args.Params();
            hr = sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &dp, nullptr, nullptr, nullptr);
            stop = SUCCEEDED(hr) && done && done(args);
        }
        sink->Release();
    }
    return hr;
}

void Container::FireActivate(bool active)
{
    SetActive(active);
    Fire(EventSet::Service, evActivate, [&](EventArgs& a) { a.In(LONG(active ? 1 : 0)); });
}

void Container::FireUserChanged()
{
    Fire(EventSet::Service, evUserChanged, [&](EventArgs& a) {
        a.In(m_state->user);
        a.In(m_state->dataFile);
    });
}

void Container::FireSave()
{
    Fire(EventSet::Service, evSave, [&](EventArgs& a) {
        a.In(m_state->user);
        a.In(m_state->dataFile);
    });
}

bool Container::FireCommand(LONG command)
{
    bool handled = false;
    LONG* out = nullptr;
    Fire(
        EventSet::Service, evCommand,
        [&](EventArgs& a) {
            a.In(command);
            out = a.OutLong();
        },
        [&](EventArgs&) { return handled = *out != 0; });
    return handled;
}

CommandState Container::FireCommandState(LONG command)
{
    CommandState state;
    LONG* out[4] = {};
    Fire(
        EventSet::Service, evCommandState,
        [&](EventArgs& a) {
            a.In(command);
            for (LONG*& p : out)
                p = a.OutLong();
        },
        [&](EventArgs&) {
            if (!*out[0])
                return false;
            state = {*out[0], *out[1], *out[2], *out[3]};
            return true;
        });
    return state;
}

bool Container::FireCommandHelp(LONG command, std::string& text)
{
    bool handled = false;
    LONG* out = nullptr;
    BSTR* b = nullptr;
    text.clear();
    Fire(
        EventSet::Service, evCommandHelp,
        [&](EventArgs& a) {
            a.In(command);
            out = a.OutLong();
            b = a.OutBstr();
        },
        [&](EventArgs&) {
            if (!*out)
                return false;
            handled = true;
            text = BstrToAnsi(*b);
            return true;
        });
    return handled;
}

bool Container::FirePreTranslate(const MSG& msg)
{
    bool handled = false;
    LONG* out = nullptr;
    Fire(
        EventSet::Service, evPreTranslate,
        [&](EventArgs& a) {
            a.In(static_cast<LONG>(reinterpret_cast<INT_PTR>(msg.hwnd)));
            a.In(static_cast<LONG>(msg.message));
            a.In(static_cast<LONG>(msg.wParam));
            a.In(static_cast<LONG>(msg.lParam));
            a.In(static_cast<LONG>(msg.time));
            a.In(static_cast<LONG>(msg.pt.x));
            a.In(static_cast<LONG>(msg.pt.y));
            out = a.OutLong();
        },
        [&](EventArgs&) { return handled = *out != 0; });
    return handled;
}

void Container::FireFindStart(const std::string& text, bool matchCase, bool wholeWord)
{
    Fire(EventSet::Service, evFindStart, [&](EventArgs& a) {
        a.In(text);
        a.In(LONG(matchCase ? 1 : 0));
        a.In(LONG(wholeWord ? 1 : 0));
    });
}

bool Container::FireFindNext(FindHit& hit)
{
    bool found = false;
    BSTR* first = nullptr;
    BSTR* second = nullptr;
    LONG* index = nullptr;
    LONG* out = nullptr;
    Fire(
        EventSet::Service, evFindNext,
        [&](EventArgs& a) {
            first = a.OutBstr();
            second = a.OutBstr();
            index = a.OutLong();
            out = a.OutLong();
        },
        [&](EventArgs&) {
            if (!*out)
                return false;
            found = true;
            hit.first = BstrToAnsi(*first);
            hit.second = BstrToAnsi(*second);
            hit.index = *index;
            return true;
        });
    return found;
}

void Container::FireFindGoTo(LONG index, bool show)
{
    Fire(EventSet::Service, evFindGoTo, [&](EventArgs& a) {
        a.In(index);
        a.In(LONG(show ? 1 : 0));
    });
}

bool Container::FireHotSyncQuery(const std::string& user, std::string& message)
{
    bool allowed = true;
    LONG* out = nullptr;
    BSTR* text = nullptr;
    message.clear();
    Fire(
        EventSet::Application, evHotSyncQuery,
        [&](EventArgs& a) {
            a.In(user);
            out = a.OutLong();
            *out = 1;
            text = a.OutBstr();
        },
        [&](EventArgs&) {
            if (*out)
                return false;
            allowed = false;
            message = BstrToAnsi(*text);
            return true;
        });
    return allowed;
}

void Container::UpdateMenuPopup(HMENU popup, const std::function<CommandState(UINT)>& hostDefault)
{
    ApplyMenuStates(popup, [&](UINT cmd) {
        CommandState st = FireCommandState(static_cast<LONG>(cmd));
        if (!st.handled && hostDefault)
            st = hostDefault(cmd);
        return st;
    });
}

void ApplyMenuStates(HMENU popup, const std::function<CommandState(UINT)>& stateOf)
{
    int n = GetMenuItemCount(popup);
    for (int i = 0; i < n; ++i) {
        MENUITEMINFOA mii = {};
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_ID | MIIM_FTYPE | MIIM_SUBMENU;
        if (!GetMenuItemInfoA(popup, static_cast<UINT>(i), TRUE, &mii) || (mii.fType & MFT_SEPARATOR) ||
            mii.hSubMenu)
            continue;
        CommandState st = stateOf(mii.wID);
        if (!st.handled)
            continue;
        EnableMenuItem(popup, static_cast<UINT>(i), MF_BYPOSITION | (st.enabled ? MF_ENABLED : MF_GRAYED));
        CheckMenuItem(popup, static_cast<UINT>(i), MF_BYPOSITION | (st.checked ? MF_CHECKED : MF_UNCHECKED));
    }
}

} // namespace desktop
