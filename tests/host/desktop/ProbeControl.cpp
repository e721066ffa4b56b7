#include "ProbeControl.h"

#include "ComBase.h"
#include "PalmDesktop.h"

#include <servprov.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>

namespace probe {

using namespace PalmDesktop;

namespace {

LONG g_live = 0;
const char kAnswers[] = "Software\\DesktopProbe";

void Write(const std::string& line)
{
    Log().push_back(line);
    char path[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("TESSALY_PROBE_LOG", path, sizeof path);
    if (n && n < sizeof path)
        std::ofstream(path, std::ios::app) << line << "\n";
}

std::vector<std::string> Split(const std::string& s, char sep)
{
    std::vector<std::string> parts(1);
    for (char c : s)
        if (c == sep)
            parts.emplace_back();
        else
            parts.back() += c;
    return parts;
}

// The registry value naming the longest leading part of `line`, with its data.
std::pair<std::string, std::string> Lookup(std::string name)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kAnswers, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    std::pair<std::string, std::string> found;
    for (;;) {
        char buf[1024];
        DWORD type = 0, size = sizeof buf - 1;
        if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) == ERROR_SUCCESS) {
            buf[size] = '\0';
            found = {name, buf};
            break;
        }
        size_t space = name.rfind(' ');
        if (space == std::string::npos)
            break;
        name.resize(space);
    }
    RegCloseKey(key);
    return found;
}

class Probe;

// Counted among the live objects.
struct Live : desktop::RefCounted {
    Live() { InterlockedIncrement(&g_live); }
    ~Live() override { InterlockedDecrement(&g_live); }
};

class Sink : public IDispatch, public Live {
public:
    Sink(const std::string& tag, const char* set, REFIID iid) : m_tag(tag), m_set(set), m_iid(iid) {}
    DESKTOP_REFCOUNT
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = riid == IID_IUnknown || riid == IID_IDispatch || riid == m_iid ? this : nullptr;
        return *ppv ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* dp, VARIANT*, EXCEPINFO*,
                                     UINT*) override;

    Probe* owner = nullptr;   // told of activation

private:
    std::string m_tag, m_set;
    IID m_iid;
    std::map<std::string, size_t> m_calls;   // answers used, by value and data
};

#define PROBE_NOTIMPL(name, ...) \
    HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override { return E_NOTIMPL; }

class Probe : public IOleObject, public IOleInPlaceObject, public Live {
public:
    ~Probe() override
    {
        for (Sink* s : m_sinks)
            s->owner = nullptr, s->Release();
        Write("destroyed");
    }
    DESKTOP_REFCOUNT
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IOleObject)
            *ppv = static_cast<IOleObject*>(this);
        else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject)
            *ppv = static_cast<IOleInPlaceObject*>(this);
        else
            *ppv = nullptr;
        return *ppv ? (AddRef(), S_OK) : E_NOINTERFACE;
    }

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override
    {
        if (!site) {
            int undone = 0;
            for (int i = 0; i < 3; ++i)
                undone += m_cookies[i] && SUCCEEDED(Point(i)->Unadvise(m_cookies[i]));
            Write("disconnected " + std::to_string(undone));
            Drop(m_frame), Drop(m_application), Drop(m_service), Drop(m_site);
            return S_OK;
        }
        (m_site = site)->AddRef();
        IServiceProvider* sp = nullptr;
        IDispatch* d = nullptr;
        if (SUCCEEDED(site->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&sp)))) {
            sp->QueryService(IID_IAddOnService, IID_IAddOnService, reinterpret_cast<void**>(&m_service));
            sp->Release();
        }
        if (m_service && SUCCEEDED(m_service->GetApplication(&d)))
            d->QueryInterface(IID_IApplication, reinterpret_cast<void**>(&m_application)), d->Release();
        if (m_application && SUCCEEDED(m_application->GetFrame(&d)))
            d->QueryInterface(IID_IFrame, reinterpret_cast<void**>(&m_frame)), d->Release();
        const char* sets[] = {"service", "application", "frame"};
        const IID* iids[] = {&DIID_ServiceEvents, &DIID_ApplicationEvents, &DIID_FrameEvents};
        for (int i = 0; i < 3; ++i) {
            m_sinks[i] = new Sink("", sets[i], *iids[i]);
            m_sinks[i]->owner = this;
            if (IConnectionPoint* p = Point(i))
                p->Advise(m_sinks[i], &m_cookies[i]);
        }
        return S_OK;
    }
    PROBE_NOTIMPL(GetClientSite, IOleClientSite**)
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close(DWORD) override { return InPlaceDeactivate(); }
    PROBE_NOTIMPL(SetMoniker, DWORD, IMoniker*)
    PROBE_NOTIMPL(GetMoniker, DWORD, DWORD, IMoniker**)
    PROBE_NOTIMPL(InitFromData, IDataObject*, BOOL, DWORD)
    PROBE_NOTIMPL(GetClipboardData, DWORD, IDataObject**)
    // Any verb activates it in place, once.
    HRESULT STDMETHODCALLTYPE DoVerb(LONG, LPMSG, IOleClientSite*, LONG, HWND parent, LPCRECT rc) override
    {
        if (m_hwnd)
            return S_OK;
        if (!m_site || FAILED(m_site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&m_inPlace))))
            return E_UNEXPECTED;
        m_inPlace->OnInPlaceActivate();
        m_hwnd = CreateWindowExA(0, "STATIC", "DesktopProbe", WS_CHILD | WS_VISIBLE, rc->left, rc->top,
                                 rc->right - rc->left, rc->bottom - rc->top, parent, nullptr, nullptr, nullptr);
        if (!m_service)
            return S_OK;
        BSTR user = nullptr, file = nullptr;
        LONG active = 0;
        m_service->GetCurrentUser(&user, &file);
        m_service->GetCommandIDBase(&m_base);
        Write("open " + desktop::BstrToAnsi(user) + " " + desktop::BstrToAnsi(file) + " base " + std::to_string(m_base));
        SysFreeString(user);
        SysFreeString(file);
        if (SUCCEEDED(m_service->IsActive(&active)) && active)
            Activate(1);
        m_service->SetReady(1);
        return S_OK;
    }
    PROBE_NOTIMPL(EnumVerbs, IEnumOLEVERB**)
    PROBE_NOTIMPL(Update)
    PROBE_NOTIMPL(IsUpToDate)
    PROBE_NOTIMPL(GetUserClassID, CLSID*)
    PROBE_NOTIMPL(GetUserType, DWORD, LPOLESTR*)
    PROBE_NOTIMPL(SetExtent, DWORD, SIZEL*)
    PROBE_NOTIMPL(GetExtent, DWORD, SIZEL*)
    PROBE_NOTIMPL(Advise, IAdviseSink*, DWORD*)
    PROBE_NOTIMPL(Unadvise, DWORD)
    PROBE_NOTIMPL(EnumAdvise, IEnumSTATDATA**)
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD* status) override { return *status = 0, S_OK; }
    PROBE_NOTIMPL(SetColorScheme, LOGPALETTE*)

    // IOleInPlaceObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override { return (*phwnd = m_hwnd) ? S_OK : E_FAIL; }
    PROBE_NOTIMPL(ContextSensitiveHelp, BOOL)
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override
    {
        if (m_hwnd)
            DestroyWindow(m_hwnd), m_inPlace->OnInPlaceDeactivate(), Drop(m_inPlace);
        m_hwnd = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UIDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT rc, LPCRECT) override
    {
        MoveWindow(m_hwnd, rc->left, rc->top, rc->right - rc->left, rc->bottom - rc->top, TRUE);
        return S_OK;
    }
    PROBE_NOTIMPL(ReactivateAndUndo)

    // Its own item in the View menu while it is the active view.
    void Activate(LONG active)
    {
        LONG bar = 0, view = -1;
        if (!m_frame || FAILED(m_frame->GetMenuBar(&bar)) || FAILED(m_frame->GetMenuPosition(MenuView, 0, &view)))
            return;
        HMENU menu = GetSubMenu(reinterpret_cast<HMENU>(static_cast<INT_PTR>(bar)), view);
        DeleteMenu(menu, static_cast<UINT>(m_base + 100), MF_BYCOMMAND);
        if (active)
            AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(m_base + 100), "Probe item");
    }

private:
    template <class T>
    static void Drop(T*& p)
    {
        if (p)
            p->Release();
        p = nullptr;
    }
    // The connection point of event set i (no reference kept).
    IConnectionPoint* Point(int i)
    {
        IUnknown* sources[] = {m_service, m_application, m_frame};
        const IID* iids[] = {&DIID_ServiceEvents, &DIID_ApplicationEvents, &DIID_FrameEvents};
        IConnectionPointContainer* cpc = nullptr;
        IConnectionPoint* point = nullptr;
        if (sources[i] &&
            SUCCEEDED(sources[i]->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc)))) {
            cpc->FindConnectionPoint(*iids[i], &point);
            cpc->Release();
        }
        if (point)
            point->Release();   // the source holds it
        return point;
    }

    LONG m_base = 0;
    Sink* m_sinks[3] = {};
    DWORD m_cookies[3] = {};
    IOleClientSite* m_site = nullptr;
    IOleInPlaceSite* m_inPlace = nullptr;
    IAddOnService* m_service = nullptr;
    IApplication* m_application = nullptr;
    IFrame* m_frame = nullptr;
    HWND m_hwnd = nullptr;
};

HRESULT STDMETHODCALLTYPE Sink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* dp, VARIANT*, EXCEPINFO*, UINT*)
{
    std::string line = m_tag + m_set + " " + std::to_string(id);
    std::vector<VARIANTARG*> outs;
    for (UINT i = dp ? dp->cArgs : 0; i-- > 0;) {   // DISPPARAMS hold them last first
        VARIANTARG* v = &dp->rgvarg[i];
        if (V_VT(v) == VT_I4)
            line += " " + std::to_string(V_I4(v));
        else if (V_VT(v) == VT_BSTR)
            line += " " + desktop::BstrToAnsi(V_BSTR(v));
        else if (V_VT(v) == (VT_I4 | VT_BYREF) || V_VT(v) == (VT_BSTR | VT_BYREF))
            outs.push_back(v);
        else
            line += " ?" + std::to_string(V_VT(v));
    }
    Write(line);
    auto answer = Lookup(line);
    std::vector<std::string> calls = Split(answer.second, ';');
    // The last answer stands for every later call.
    size_t call = std::min(m_calls[answer.first + "=" + answer.second]++, calls.size() - 1);
    if (!answer.first.empty()) {
        std::vector<std::string> values = Split(calls[call], '|');
        for (size_t i = 0; i < outs.size() && i < values.size(); ++i) {
            if (V_VT(outs[i]) == (VT_I4 | VT_BYREF)) {
                *V_I4REF(outs[i]) = std::atol(values[i].c_str());
            } else {
                SysFreeString(*V_BSTRREF(outs[i]));
                *V_BSTRREF(outs[i]) = desktop::AnsiToBstr(values[i]);
            }
        }
    }
    if (owner && id == evActivate && m_set == "service" && dp->cArgs == 1 && V_VT(&dp->rgvarg[0]) == VT_I4)
        owner->Activate(V_I4(&dp->rgvarg[0]));
    return S_OK;
}

} // namespace

std::vector<std::string>& Log()
{
    static std::vector<std::string> log;
    return log;
}

void Answer(const std::string& line, const char* answers)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kAnswers, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    if (answers)
        RegSetValueExA(key, line.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(answers),
                       static_cast<DWORD>(strlen(answers) + 1));
    else
        RegDeleteValueA(key, line.c_str());
    RegCloseKey(key);
}

IDispatch* NewSink(const std::string& tag, const char* set, REFIID events) { return new Sink(tag, set, events); }
IUnknown* NewControl() { return static_cast<IOleObject*>(new Probe); }
LONG LiveObjects() { return g_live; }

} // namespace probe

// As DesktopProbe.dll, an in-process server of the control, so that
// desktop.exe creates it by its ProgID like any add-on's control.
namespace {

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = riid == IID_IUnknown || riid == IID_IClassFactory ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        desktop::ComPtr<IUnknown> p(probe::NewControl());
        return p->QueryInterface(riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
} g_factory;

} // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    *ppv = nullptr;
    return clsid == probe::CLSID_Probe ? g_factory.QueryInterface(riid, ppv) : CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() { return probe::LiveObjects() ? S_FALSE : S_OK; }
