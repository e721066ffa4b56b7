#include "FakeHost.h"

#include <algorithm>

using namespace PalmDesktop;

namespace fake {

HostLog& Log()
{
    static HostLog log;
    return log;
}

bool HostLog::Call(const std::string& entry, const std::string& name)
{
    calls.push_back(entry);
    return !failing.count(name);
}

bool HostLog::Called(const std::string& entry) const
{
    return std::find(calls.begin(), calls.end(), entry) != calls.end();
}

std::string Narrow(BSTR bstr)
{
    return static_cast<const char*>(AfxBSTRToString(bstr));
}

std::string Ansi(const char* utf8)
{
    std::wstring wide(strlen(utf8) + 1, L'\0');
    int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], static_cast<int>(wide.size()));
    std::string s(static_cast<size_t>(n) * 2 + 1, '\0');
    int m = ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &s[0], static_cast<int>(s.size()), nullptr, nullptr);
    s.resize(m > 0 ? static_cast<size_t>(m - 1) : 0);
    return s;
}

namespace {

BSTR Wide(const std::string& s)
{
    return AfxAllocBSTR(s.c_str());
}

HRESULT Give(IDispatch* p, IDispatch** pp)
{
    *pp = p;
    p->AddRef();
    return S_OK;
}

// A logged call that hands out one value, or fails when it is to fail.
HRESULT Answer(const char* name, LONG* p, LONG value)
{
    if (!Log().Call(name, name))
        return E_FAIL;
    *p = value;
    return S_OK;
}

} // namespace

// ------------------------------------------------------ the add-on manager

HRESULT AddOn::Set(const char* name, const std::string& value)
{
    if (!Log().Call(std::string(name) + " " + value, name))
        return E_FAIL;
    props[name] = value;
    return S_OK;
}

HRESULT AddOn::Remove()
{
    if (!Log().Call("Remove " + props["name"], "Remove"))
        return E_FAIL;
    removed = true;
    return S_OK;
}

AddOnManager::~AddOnManager()
{
    for (AddOn* p : entries)
        delete p;
}

HRESULT AddOnManager::CreateAddOn(BSTR name, LONG creator, BSTR description, BSTR large, IAddOn** pp)
{
    *pp = nullptr;
    char creatorText[16];
    wsprintfA(creatorText, "%08lX", static_cast<unsigned long>(creator));
    if (!Log().Call("CreateAddOn " + Narrow(name) + " " + creatorText + " " + Narrow(description) + " " + Narrow(large),
                    "CreateAddOn"))
        return E_FAIL;
    AddOn* p = new AddOn;
    p->props["name"] = Narrow(name);
    entries.push_back(p);
    *pp = p;
    p->AddRef();
    return S_OK;
}

HRESULT AddOnManager::FindAddOn(BSTR name, IAddOn** pp)
{
    *pp = nullptr;
    if (!Log().Call("FindAddOn " + Narrow(name), "FindAddOn"))
        return E_FAIL;
    if (AddOn* p = Find(Narrow(name))) {
        *pp = p;
        p->AddRef();
    }
    return S_OK;
}

AddOn* AddOnManager::Find(const std::string& name) const
{
    for (AddOn* p : entries)
        if (!p->removed && p->props.at("name") == name)
            return p;
    return nullptr;
}

ManagerRegistration::ManagerRegistration(AddOnManager& manager, bool installed)
    : m_manager(manager), m_installed(installed)
{
    ::CoRegisterClassObject(CLSID_AddOnManager, this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &m_cookie);
}

ManagerRegistration::~ManagerRegistration()
{
    ::CoRevokeClassObject(m_cookie);
}

HRESULT ManagerRegistration::QueryInterface(REFIID riid, void** ppv)
{
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT ManagerRegistration::CreateInstance(IUnknown*, REFIID riid, void** ppv)
{
    *ppv = nullptr;
    if (!m_installed)
        return REGDB_E_CLASSNOTREG;
    return m_manager.QueryInterface(riid, ppv);
}

// ------------------------------------------------------------ events

void* EventSource::Container(REFIID riid)
{
    return IsEqualIID(riid, IID_IConnectionPointContainer) ? static_cast<IConnectionPointContainer*>(this) : nullptr;
}

HRESULT EventSource::QueryInterface(REFIID riid, void** ppv)
{
    *ppv = IsEqualIID(riid, IID_IConnectionPoint) ? static_cast<IConnectionPoint*>(this) : Container(riid);
    return *ppv ? S_OK : E_NOINTERFACE;
}

HRESULT EventSource::FindConnectionPoint(REFIID riid, IConnectionPoint** pp)
{
    *pp = nullptr;
    if (!IsEqualIID(riid, m_iid))
        return CONNECT_E_NOCONNECTION;
    *pp = this;
    return S_OK;
}

HRESULT EventSource::Advise(IUnknown* pUnk, DWORD* pCookie)
{
    ++advises;
    if (sink || FAILED(pUnk->QueryInterface(m_iid, reinterpret_cast<void**>(&sink))))
        return CONNECT_E_ADVISELIMIT;
    *pCookie = cookie = 0x100 + static_cast<DWORD>(advises);
    return S_OK;
}

HRESULT EventSource::Unadvise(DWORD c)
{
    if (!sink || c != cookie)
        return CONNECT_E_NOCONNECTION;
    IDispatch* p = sink;
    sink = nullptr;
    cookie = 0;
    p->Release();
    return S_OK;
}

HRESULT EventSource::Fire(DISPID dispid, std::vector<VARIANT> args)
{
    if (!sink)
        return E_FAIL;
    std::reverse(args.begin(), args.end());
    DISPPARAMS params = {args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    HRESULT hr = sink->Invoke(dispid, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    for (VARIANT& v : args)
        if (!(v.vt & VT_BYREF))
            ::VariantClear(&v);
    return hr;
}

VARIANT Long(LONG n) { VARIANT v; v.vt = VT_I4; v.lVal = n; return v; }
VARIANT Text(const char* ansi) { VARIANT v; v.vt = VT_BSTR; v.bstrVal = Wide(ansi); return v; }
VARIANT OutLong(LONG* p) { VARIANT v; v.vt = VT_I4 | VT_BYREF; v.plVal = p; return v; }
VARIANT OutText(BSTR* p) { VARIANT v; v.vt = VT_BSTR | VT_BYREF; v.pbstrVal = p; return v; }

// ----------------------------------------------- the add-on's host objects

HRESULT StatusBar::SetPaneText(LONG nPane, BSTR text)
{
    if (!Log().Call("SetPaneText", "SetPaneText"))
        return E_FAIL;
    panes[nPane] = Narrow(text);
    return S_OK;
}

Frame::Frame() : Dispatch(IID_IFrame), menuBar(::CreateMenu())
{
    static const UINT menus[][7] = {
        {MenuFile, CmdFileNew, CmdFileSave, CmdFileImport, CmdFileExport, CmdFilePrint, 0},
        {MenuEdit, CmdEditUndo, CmdEditCut, CmdEditCopy, CmdEditPaste, CmdEditDelete, CmdEditSelectAll},
        {MenuView, 19050, CmdViewList, CmdViewLarge, CmdViewSmall, 0, 0},
        {MenuTools, CmdToolsCategories, 19061, 0, 0, 0, 0},
    };
    for (const auto& m : menus) {
        HMENU hSub = ::CreatePopupMenu();
        for (int i = 1; i < 7 && m[i]; ++i)
            ::AppendMenuA(hSub, MF_STRING, m[i] + commandOffset, std::to_string(m[i]).c_str());
        ::AppendMenuA(menuBar, MF_POPUP, reinterpret_cast<UINT_PTR>(hSub), std::to_string(m[0]).c_str());
    }
}

Frame::~Frame()
{
    ::DestroyMenu(menuBar);
}

HMENU Frame::Menu(UINT menuID) const
{
    return ::GetSubMenu(menuBar, static_cast<int>(menuID - MenuFile));
}

std::vector<std::pair<std::string, UINT>> Frame::Items(UINT menuID) const
{
    std::vector<std::pair<std::string, UINT>> items;
    HMENU h = Menu(menuID);
    for (int i = 0; i < ::GetMenuItemCount(h); ++i) {
        char text[64] = "";
        ::GetMenuStringA(h, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        bool separator = (::GetMenuState(h, static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR) != 0;
        items.emplace_back(separator ? "-" : text, ::GetMenuItemID(h, i));
    }
    return items;
}

HRESULT Frame::GetMenuBar(LONG* phMenu)
{
    return Answer("GetMenuBar", phMenu, static_cast<LONG>(reinterpret_cast<LONG_PTR>(menuBar)));
}

HRESULT Frame::GetMenuPosition(LONG menuID, LONG itemID, LONG* pos)
{
    if (!Log().Call("GetMenuPosition " + std::to_string(menuID) + " " + std::to_string(itemID), "GetMenuPosition"))
        return E_FAIL;
    *pos = -1;
    if (menuID < static_cast<LONG>(MenuFile) || menuID > static_cast<LONG>(MenuTools))
        return E_INVALIDARG;
    if (itemID == 0) {
        *pos = menuID - MenuFile;
        return S_OK;
    }
    HMENU h = Menu(static_cast<UINT>(menuID));
    for (int i = 0; i < ::GetMenuItemCount(h); ++i)
        if (::GetMenuItemID(h, i) == static_cast<UINT>(itemID + commandOffset))
            *pos = i;
    return *pos >= 0 ? S_OK : E_INVALIDARG;
}

HRESULT Frame::GetStatusBar(IDispatch** pp)
{
    *pp = nullptr;
    return Log().Call("GetStatusBar", "GetStatusBar") ? Give(&statusBar, pp) : E_FAIL;
}

void* Frame::Extra(REFIID riid) { return events.Container(riid); }

HRESULT Application::GetFrame(IDispatch** pp)
{
    *pp = nullptr;
    return Log().Call("GetFrame", "GetFrame") ? Give(&frame, pp) : E_FAIL;
}

void* Application::Extra(REFIID riid) { return events.Container(riid); }

HRESULT Service::GetApplication(IDispatch** pp)
{
    *pp = nullptr;
    return Log().Call("GetApplication", "GetApplication") ? Give(&application, pp) : E_FAIL;
}

HRESULT Service::GetCommandIDBase(LONG* p) { return Answer("GetCommandIDBase", p, commandBase); }
HRESULT Service::IsActive(LONG* p) { return Answer("IsActive", p, active); }
HRESULT Service::SetReady(LONG b) { return Answer("SetReady", &ready, b); }
void* Service::Extra(REFIID riid) { return events.Container(riid); }

HRESULT Service::GetCurrentUser(BSTR* pUser, BSTR* pPath)
{
    if (!Log().Call("GetCurrentUser", "GetCurrentUser"))
        return E_FAIL;
    *pUser = Wide(user);
    *pPath = Wide(dataFile);
    return S_OK;
}

bool Service::AllReleased() const
{
    return refs == 1 && application.refs == 1 && application.frame.refs == 1 && application.frame.statusBar.refs == 1
        && !events.sink && !application.events.sink && !application.frame.events.sink;
}

// ------------------------------------------------------------------ site

Site::Site(Service* pService)
    : hwnd(::CreateWindowExA(0, "STATIC", "container", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 400,
                             300, nullptr, nullptr, nullptr, nullptr)),
      service(pService)
{
}

Site::~Site()
{
    ::DestroyWindow(hwnd);
}

HRESULT Site::QueryInterface(REFIID riid, void** ppv)
{
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
        *ppv = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite))
        *ppv = static_cast<IOleInPlaceSite*>(this);
    else if (IsEqualIID(riid, IID_IServiceProvider) && service)
        *ppv = static_cast<IServiceProvider*>(this);
    return *ppv ? S_OK : E_NOINTERFACE;
}

HRESULT Site::GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc, LPRECT pos, LPRECT clip,
                               LPOLEINPLACEFRAMEINFO)
{
    *ppFrame = nullptr;
    *ppDoc = nullptr;
    ::GetClientRect(hwnd, pos);
    *clip = *pos;
    return S_OK;
}

HRESULT Site::QueryService(REFGUID guid, REFIID riid, void** ppv)
{
    *ppv = nullptr;
    if (!service || !IsEqualGUID(guid, IID_IAddOnService))
        return E_NOINTERFACE;
    return service->QueryInterface(riid, ppv);
}

// ---------------------------------------------------------------- module

Module LoadModule(const std::string& path)
{
    Module m = {};
    m.path = path;
    m.handle = ::LoadLibraryA(path.c_str());
    if (m.handle) {
        auto proc = [&](const char* name) { return reinterpret_cast<void*>(::GetProcAddress(m.handle, name)); };
        m.CanUnloadNow = reinterpret_cast<decltype(m.CanUnloadNow)>(proc("DllCanUnloadNow"));
        m.GetClassObject = reinterpret_cast<decltype(m.GetClassObject)>(proc("DllGetClassObject"));
        m.Register = reinterpret_cast<decltype(m.Register)>(proc("DllRegisterServer"));
        m.Unregister = reinterpret_cast<decltype(m.Unregister)>(proc("DllUnregisterServer"));
    }
    return m;
}

const Module& Ocx()
{
    static const Module module = [] {
        char path[MAX_PATH];
        DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
        std::string dir(path, n);
        dir.erase(dir.rfind('\\') + 1);
        return LoadModule(dir + "TessalyExt.ocx");
    }();
    return module;
}

} // namespace fake
