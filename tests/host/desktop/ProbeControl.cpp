#include "ProbeControl.h"

#include "PalmDesktop.h"

#include <olectl.h>
#include <servprov.h>

#include <cstdio>

namespace probe {

using namespace PalmDesktop;

namespace {

LONG g_live = 0;
DWORD g_lastCookies[3] = {};

std::string Narrow(BSTR b)
{
    if (!b)
        return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, b, static_cast<int>(SysStringLen(b)), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    if (n)
        WideCharToMultiByte(CP_ACP, 0, b, static_cast<int>(SysStringLen(b)), &s[0], n, nullptr, nullptr);
    return s;
}

BSTR Wide(const std::string& s)
{
    int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    BSTR b = SysAllocStringLen(nullptr, static_cast<UINT>(n));
    if (n)
        MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), b, n);
    return b;
}

void Write(const std::string& line)
{
    Log().push_back(line);
    char path[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("TESSALY_PROBE_LOG", path, sizeof path);
    if (n == 0 || n >= sizeof path)
        return;
    HANDLE h = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    std::string text = line + "\n";
    DWORD written;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(h);
}

class Probe;

// One event interface of the probe.
class Sink : public IDispatch {
public:
    Sink(Probe* owner, REFIID iid, int set) : m_owner(owner), m_iid(iid), m_set(set) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override
    {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* dp, VARIANT*, EXCEPINFO*,
                                     UINT*) override;

private:
    Probe* m_owner;
    IID m_iid;
    int m_set;
};

class Probe : public IOleObject, public IOleInPlaceObject, public IOleInPlaceActiveObject, public IPersistStreamInit {
public:
    Probe()
        : m_sinks{Sink(this, DIID_ServiceEvents, 0), Sink(this, DIID_ApplicationEvents, 1),
                  Sink(this, DIID_FrameEvents, 2)}
    {
        InterlockedIncrement(&g_live);
        for (DWORD& c : g_lastCookies)
            c = 0;
    }
    virtual ~Probe()
    {
        InterlockedDecrement(&g_live);
        Write("destroyed");
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IOleObject)
            *ppv = static_cast<IOleObject*>(this);
        else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject)
            *ppv = static_cast<IOleInPlaceObject*>(this);
        else if (riid == IID_IOleInPlaceActiveObject)
            *ppv = static_cast<IOleInPlaceActiveObject*>(this);
        else if (riid == IID_IPersistStreamInit)
            *ppv = static_cast<IPersistStreamInit*>(this);
        else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG n = InterlockedDecrement(&m_refs);
        if (n == 0)
            delete this;
        return static_cast<ULONG>(n);
    }

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override
    {
        if (!site) {
            Disconnect();
            Release(m_frame);
            Release(m_application);
            Release(m_service);
            Release(m_site);
            Write("site none");
            return S_OK;
        }
        site->AddRef();
        Release(m_site);
        m_site = site;
        IServiceProvider* sp = nullptr;
        if (SUCCEEDED(site->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&sp))) && sp) {
            sp->QueryService(IID_IAddOnService, IID_IAddOnService, reinterpret_cast<void**>(&m_service));
            sp->Release();
        }
        IDispatch* d = nullptr;
        if (m_service && SUCCEEDED(m_service->GetApplication(&d)) && d) {
            d->QueryInterface(IID_IApplication, reinterpret_cast<void**>(&m_application));
            d->Release();
        }
        if (m_application && SUCCEEDED(m_application->GetFrame(&d)) && d) {
            d->QueryInterface(IID_IFrame, reinterpret_cast<void**>(&m_frame));
            d->Release();
        }
        Write(std::string("site service=") + (m_service ? "1" : "0") + " application=" +
              (m_application ? "1" : "0") + " frame=" + (m_frame ? "1" : "0"));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** pp) override
    {
        *pp = m_site;
        if (m_site)
            m_site->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close(DWORD) override
    {
        InPlaceDeactivate();
        Write("close");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT rect) override
    {
        if (verb != OLEIVERB_INPLACEACTIVATE && verb != OLEIVERB_UIACTIVATE && verb != OLEIVERB_SHOW)
            return OLEOBJ_E_NOVERBS;
        if (!m_hwnd) {
            HRESULT hr = Activate(site ? site : m_site, parent, rect);
            if (FAILED(hr))
                return hr;
        }
        if (verb == OLEIVERB_UIACTIVATE && !m_uiActive && m_inPlaceSite) {
            m_uiActive = true;
            m_inPlaceSite->OnUIActivate();
            if (m_inPlaceFrame)
                m_inPlaceFrame->SetActiveObject(this, L"Probe");
            SetFocus(m_hwnd);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override
    {
        *clsid = CLSID_Probe;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR*) override { return OLE_S_USEREG; }
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD, SIZEL*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD* status) override
    {
        *status = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                  OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override
    {
        *phwnd = m_hwnd;
        return m_hwnd ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override
    {
        if (!m_hwnd)
            return S_OK;
        UIDeactivate();
        DestroyWindow(m_hwnd);
        m_hwnd = nullptr;
        if (m_inPlaceSite) {
            m_inPlaceSite->OnInPlaceDeactivate();
            Release(m_inPlaceSite);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UIDeactivate() override
    {
        if (!m_uiActive)
            return S_OK;
        m_uiActive = false;
        if (m_inPlaceFrame)
            m_inPlaceFrame->SetActiveObject(nullptr, nullptr);
        Release(m_inPlaceFrame);
        if (m_inPlaceSite)
            m_inPlaceSite->OnUIDeactivate(FALSE);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT pos, LPCRECT) override
    {
        if (m_hwnd && pos)
            MoveWindow(m_hwnd, pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top, TRUE);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }

    // IPersistStreamInit
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override { return GetUserClassID(clsid); }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Load(LPSTREAM) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Save(LPSTREAM, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InitNew() override
    {
        Write("init-new");
        return S_OK;
    }

    HRESULT OnEvent(int set, DISPID id, DISPPARAMS* dp);

private:
    template <class T>
    static void Release(T*& p)
    {
        if (p)
            p->Release();
        p = nullptr;
    }

    HRESULT Activate(IOleClientSite* site, HWND parent, LPCRECT rect)
    {
        if (!site || FAILED(site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&m_inPlaceSite))))
            return E_UNEXPECTED;
        if (m_inPlaceSite->CanInPlaceActivate() != S_OK) {
            Release(m_inPlaceSite);
            return E_FAIL;
        }
        m_inPlaceSite->OnInPlaceActivate();
        HWND host = nullptr;
        m_inPlaceSite->GetWindow(&host);
        IOleInPlaceUIWindow* doc = nullptr;
        RECT pos = {}, clip = {};
        OLEINPLACEFRAMEINFO info = {};
        info.cb = sizeof info;
        m_inPlaceSite->GetWindowContext(&m_inPlaceFrame, &doc, &pos, &clip, &info);
        if (doc)
            doc->Release();
        Write(std::string("in-place parent=") + (host == parent ? "match" : "other") +
              " frame=" + (info.hwndFrame ? "1" : "0"));
        static bool registered = false;
        if (!registered) {
            WNDCLASSA wc = {};
            wc.lpfnWndProc = DefWindowProcA;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
            wc.lpszClassName = "ProbeControl";
            RegisterClassA(&wc);
            registered = true;
        }
        RECT rc = rect ? *rect : pos;
        m_hwnd = CreateWindowExA(0, "ProbeControl", "Probe", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, rc.left,
                                 rc.top, rc.right - rc.left, rc.bottom - rc.top, host ? host : parent, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        HWND edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "Probe", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 8, 8, 300,
                                    120, m_hwnd, nullptr, GetModuleHandleA(nullptr), nullptr);
        (void)edit;
        Connect();
        if (m_service) {
            BSTR user = nullptr, file = nullptr;
            if (SUCCEEDED(m_service->GetCurrentUser(&user, &file)) && SysStringLen(user))
                Write("open " + Narrow(user) + " " + Narrow(file));
            SysFreeString(user);
            SysFreeString(file);
            LONG active = 0;
            if (SUCCEEDED(m_service->IsActive(&active)) && active)
                OnActivate(1);
            m_service->SetReady(1);
        }
        return S_OK;
    }

    void Connect()
    {
        IUnknown* sources[3] = {m_service, m_application, m_frame};
        const IID* iids[3] = {&DIID_ServiceEvents, &DIID_ApplicationEvents, &DIID_FrameEvents};
        for (int i = 0; i < 3; ++i) {
            if (!sources[i])
                continue;
            IConnectionPointContainer* cpc = nullptr;
            IConnectionPoint* cp = nullptr;
            if (SUCCEEDED(sources[i]->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc))) &&
                SUCCEEDED(cpc->FindConnectionPoint(*iids[i], &cp))) {
                cp->Advise(&m_sinks[i], &m_cookies[i]);
                cp->Release();
            }
            if (cpc)
                cpc->Release();
            g_lastCookies[i] = m_cookies[i];
        }
        Write("connected " + std::to_string(m_cookies[0]) + " " + std::to_string(m_cookies[1]) + " " +
              std::to_string(m_cookies[2]));
    }

    void Disconnect()
    {
        IUnknown* sources[3] = {m_service, m_application, m_frame};
        const IID* iids[3] = {&DIID_ServiceEvents, &DIID_ApplicationEvents, &DIID_FrameEvents};
        for (int i = 0; i < 3; ++i) {
            if (!m_cookies[i] || !sources[i])
                continue;
            IConnectionPointContainer* cpc = nullptr;
            IConnectionPoint* cp = nullptr;
            if (SUCCEEDED(sources[i]->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc))) &&
                SUCCEEDED(cpc->FindConnectionPoint(*iids[i], &cp))) {
                HRESULT hr = cp->Unadvise(m_cookies[i]);
                Write("unadvise " + std::to_string(m_cookies[i]) + (SUCCEEDED(hr) ? " ok" : " failed"));
                cp->Release();
            }
            if (cpc)
                cpc->Release();
            m_cookies[i] = 0;
        }
    }

    HMENU ViewMenu()
    {
        LONG bar = 0, pos = -1;
        if (!m_frame || FAILED(m_frame->GetMenuBar(&bar)) || FAILED(m_frame->GetMenuPosition(MenuView, 0, &pos)))
            return nullptr;
        return GetSubMenu(reinterpret_cast<HMENU>(static_cast<INT_PTR>(bar)), pos);
    }

    // The host's command of an item, read from its menu.
    UINT HostCommand(UINT menu, UINT item)
    {
        LONG bar = 0, menuPos = -1, itemPos = -1;
        if (!m_frame || FAILED(m_frame->GetMenuBar(&bar)) || FAILED(m_frame->GetMenuPosition(menu, 0, &menuPos)) ||
            FAILED(m_frame->GetMenuPosition(menu, item, &itemPos)))
            return 0;
        HMENU sub = GetSubMenu(reinterpret_cast<HMENU>(static_cast<INT_PTR>(bar)), menuPos);
        return sub ? GetMenuItemID(sub, itemPos) : 0;
    }

    void OnActivate(LONG flag)
    {
        Write("activate " + std::to_string(flag));
        HMENU view = ViewMenu();
        if (!view)
            return;
        if (flag) {
            LONG base = 0;
            m_service->GetCommandIDBase(&base);
            m_ownCommand = static_cast<UINT>(base + 100);
            AppendMenuA(view, MF_SEPARATOR, 0, nullptr);
            AppendMenuA(view, MF_STRING, m_ownCommand, "Probe columns...");
            m_copyCommand = HostCommand(MenuEdit, CmdEditCopy);
            m_cutCommand = HostCommand(MenuEdit, CmdEditCut);
            m_saveCommand = HostCommand(MenuFile, CmdFileSave);
        } else {
            LONG p = -1;
            if (SUCCEEDED(m_frame->GetMenuPosition(MenuView, CmdViewSmall, &p))) {
                DeleteMenu(view, static_cast<UINT>(p + 1), MF_BYPOSITION);
                DeleteMenu(view, static_cast<UINT>(p + 1), MF_BYPOSITION);
            }
        }
    }

    void SetPane(const std::string& text)
    {
        IDispatch* d = nullptr;
        IStatusBar* bar = nullptr;
        if (m_frame && SUCCEEDED(m_frame->GetStatusBar(&d)) && d &&
            SUCCEEDED(d->QueryInterface(IID_IStatusBar, reinterpret_cast<void**>(&bar)))) {
            BSTR b = Wide(text);
            bar->SetPaneText(1, b);
            SysFreeString(b);
            bar->Release();
        }
        if (d)
            d->Release();
    }

    LONG m_refs = 1;
    Sink m_sinks[3];
    DWORD m_cookies[3] = {};
    IOleClientSite* m_site = nullptr;
    IOleInPlaceSite* m_inPlaceSite = nullptr;
    IOleInPlaceFrame* m_inPlaceFrame = nullptr;
    IAddOnService* m_service = nullptr;
    IApplication* m_application = nullptr;
    IFrame* m_frame = nullptr;
    HWND m_hwnd = nullptr;
    bool m_uiActive = false;
    UINT m_ownCommand = 0, m_copyCommand = 0, m_cutCommand = 0, m_saveCommand = 0;
    std::string m_findText;
    bool m_matchCase = false;
    int m_findAt = 0;

    friend class Sink;
};

HRESULT STDMETHODCALLTYPE Sink::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == m_iid) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}
ULONG STDMETHODCALLTYPE Sink::AddRef() { return m_owner->AddRef(); }
ULONG STDMETHODCALLTYPE Sink::Release() { return m_owner->Release(); }
HRESULT STDMETHODCALLTYPE Sink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* dp, VARIANT*, EXCEPINFO*, UINT*)
{
    return m_owner->OnEvent(m_set, id, dp);
}

// The arguments of an event, checked against the types the host must pass.
struct Args {
    DISPPARAMS* dp;
    bool ok = true;
    VARIANTARG* At(UINT i, VARTYPE vt)
    {
        if (!dp || i >= dp->cArgs) {
            ok = false;
            return nullptr;
        }
        VARIANTARG* v = &dp->rgvarg[dp->cArgs - 1 - i];
        if (V_VT(v) != vt) {
            ok = false;
            return nullptr;
        }
        return v;
    }
    LONG Long(UINT i)
    {
        VARIANTARG* v = At(i, VT_I4);
        return v ? V_I4(v) : 0;
    }
    std::string Text(UINT i)
    {
        VARIANTARG* v = At(i, VT_BSTR);
        return v ? Narrow(V_BSTR(v)) : std::string();
    }
    LONG* OutLong(UINT i)
    {
        static LONG dummy;
        VARIANTARG* v = At(i, VT_I4 | VT_BYREF);
        return v ? V_I4REF(v) : &dummy;
    }
    void SetText(UINT i, const std::string& s)
    {
        VARIANTARG* v = At(i, VT_BSTR | VT_BYREF);
        if (v) {
            SysFreeString(*V_BSTRREF(v));
            *V_BSTRREF(v) = Wide(s);
        }
    }
    bool Count(UINT n)
    {
        if (!dp || dp->cArgs != n)
            ok = false;
        return ok;
    }
};

// The refusal of this process, else the one another process left in the
// registry (HKCU\Software\DesktopProbe, Refuse).
std::string Refusal()
{
    if (!RefuseMessage().empty())
        return RefuseMessage();
    char buf[512];
    DWORD type = 0, size = sizeof buf - 1;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\DesktopProbe", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::string();
    LONG rc = RegQueryValueExA(key, "Refuse", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ)
        return std::string();
    buf[size] = '\0';
    return buf;
}

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

} // namespace

const char* const kMemos[3] = {"Apple pie\r\nsweet and warm", "Banana\r\nyellow", "apple tree"};

HRESULT Probe::OnEvent(int set, DISPID id, DISPPARAMS* dp)
{
    Args a{dp};
    std::string name = (set == 0 ? "service " : set == 1 ? "application " : "frame ") + std::to_string(id);
    if (set == 1) {
        if (id == evHotSyncQuery && a.Count(3)) {
            std::string user = a.Text(0);
            LONG* allowed = a.OutLong(1);
            if (a.ok) {
                std::string refusal = Refusal();
                *allowed = refusal.empty() ? 1 : 0;
                a.SetText(2, refusal);
            }
            Write("hotsync-query " + user + (a.ok ? "" : " bad-arguments"));
        } else {
            Write(name);
        }
        return a.ok ? S_OK : DISP_E_TYPEMISMATCH;
    }
    if (set == 2) {
        Write(name);
        return S_OK;
    }
    switch (id) {
    case evActivate: {
        LONG flag = a.Count(1) ? a.Long(0) : 0;
        if (a.ok)
            OnActivate(flag);
        break;
    }
    case evUserChanged:
    case evSave: {
        std::string user = a.Count(2) ? a.Text(0) : "", file = a.Text(1);
        if (!a.ok)
            break;
        if (id == evSave) {
            Write("save " + user + " " + file);
        } else {
            bool exists = GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES;
            Write("user " + user + " " + file + (exists ? " exists" : " missing"));
            SetPane("user " + user);
        }
        break;
    }
    case evCommand: {
        LONG cmd = a.Count(2) ? a.Long(0) : 0;
        LONG* handled = a.OutLong(1);
        if (!a.ok)
            break;
        *handled = cmd != 0 && (static_cast<UINT>(cmd) == m_ownCommand || static_cast<UINT>(cmd) == m_copyCommand);
        Write("command " + std::to_string(cmd) + " " + std::to_string(*handled));
        break;
    }
    case evCommandState: {
        LONG cmd = a.Count(5) ? a.Long(0) : 0;
        LONG* out[4] = {a.OutLong(1), a.OutLong(2), a.OutLong(3), a.OutLong(4)};
        if (!a.ok)
            break;
        UINT c = static_cast<UINT>(cmd);
        *out[0] = c && (c == m_copyCommand || c == m_cutCommand);
        *out[1] = c && c == m_copyCommand;
        *out[2] = c && (c == m_copyCommand || c == m_cutCommand);   // checked but greyed: each out is its own
        *out[3] = 0;
        break;
    }
    case evCommandHelp: {
        LONG cmd = a.Count(3) ? a.Long(0) : 0;
        LONG* handled = a.OutLong(1);
        if (!a.ok)
            break;
        *handled = cmd && static_cast<UINT>(cmd) == m_ownCommand;
        if (*handled)
            a.SetText(2, "Choose the columns the probe shows");
        break;
    }
    case evQuery8:
    case evQuery9: {
        LONG* answer = a.Count(1) ? a.OutLong(0) : nullptr;
        if (a.ok)
            *answer = 0;
        Write(name);
        break;
    }
    case evPreTranslate: {
        bool n = a.Count(8);
        LONG msg = a.Long(1), wParam = a.Long(2);
        LONG* handled = a.OutLong(7);
        if (!n || !a.ok)
            break;
        *handled = msg == WM_KEYDOWN && wParam == VK_F8;
        if (msg == WM_KEYDOWN)
            Write("key " + std::to_string(wParam) + " " + std::to_string(*handled));
        break;
    }
    case evFindStart: {
        std::string text = a.Count(3) ? a.Text(0) : "";
        LONG matchCase = a.Long(1), word = a.Long(2);
        if (!a.ok)
            break;
        m_matchCase = matchCase == 1;
        m_findText = m_matchCase ? text : Lower(text);
        m_findAt = 0;
        Write("find " + text + " " + std::to_string(matchCase) + " " + std::to_string(word));
        break;
    }
    case evFindNext: {
        a.Count(4);
        LONG* index = a.OutLong(2);
        LONG* found = a.OutLong(3);
        if (!a.ok)
            break;
        *found = 0;
        while (m_findAt < 3) {
            std::string memo = kMemos[m_findAt++];
            if ((m_matchCase ? memo : Lower(memo)).find(m_findText) == std::string::npos)
                continue;
            size_t cr = memo.find('\r');
            a.SetText(0, memo.substr(0, cr));
            a.SetText(1, cr == std::string::npos ? "" : memo.substr(cr + 2));
            *index = m_findAt;
            *found = 1;
            break;
        }
        break;
    }
    case evFindGoTo: {
        LONG index = a.Count(2) ? a.Long(0) : 0, show = a.Long(1);
        if (a.ok)
            Write("goto " + std::to_string(index) + " " + std::to_string(show));
        break;
    }
    default:
        Write(name);
        break;
    }
    if (!a.ok)
        Write(name + " bad-arguments");
    return a.ok ? S_OK : DISP_E_TYPEMISMATCH;
}

std::vector<std::string>& Log()
{
    static std::vector<std::string> log;
    return log;
}

std::string& RefuseMessage()
{
    static std::string message;
    return message;
}

IUnknown* Create() { return static_cast<IOleObject*>(new Probe); }

void LastCookies(DWORD cookies[3])
{
    for (int i = 0; i < 3; ++i)
        cookies[i] = g_lastCookies[i];
}

LONG LiveObjects() { return g_live; }

} // namespace probe
