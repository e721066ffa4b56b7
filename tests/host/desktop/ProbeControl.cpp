#include "ProbeControl.h"

#include "ComBase.h"
#include "PalmDesktop.h"
#include "afx/afxctl.h"

#include <servprov.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>

namespace probe {

using namespace PalmDesktop;

namespace {

LONG g_live = 0;
const char kAnswers[] = "Software\\DesktopProbe";
const char* const kSets[] = {"service", "application", "frame"};
const IID* const kEvents[] = {&DIID_ServiceEvents, &DIID_ApplicationEvents, &DIID_FrameEvents};

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

// The value naming the longest leading part of `line`, with its data.
std::pair<std::string, std::string> Lookup(std::string name)
{
    for (;;) {
        char buf[1024] = "";
        DWORD size = sizeof buf - 1;
        if (SHGetValueA(HKEY_CURRENT_USER, kAnswers, name.c_str(), nullptr, buf, &size) == ERROR_SUCCESS)
            return {name, buf};
        size_t space = name.rfind(' ');
        if (space == std::string::npos)
            return {};
        name.resize(space);
    }
}

class Probe;

// Counted among the live objects.
struct Live {
    Live() { InterlockedIncrement(&g_live); }
    ~Live() { InterlockedDecrement(&g_live); }
};

class Sink : public IDispatch, public desktop::RefCounted, Live {
public:
    Sink(const std::string& tag, int set) : m_tag(tag), m_set(set) {}
    DESKTOP_REFCOUNT
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = riid == IID_IUnknown || riid == IID_IDispatch || riid == *kEvents[m_set] ? this : nullptr;
        return *ppv ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* dp, VARIANT*, EXCEPINFO*,
                                     UINT*) override;

    Probe* owner = nullptr;   // told of activation

private:
    std::string m_tag;
    int m_set;
    std::map<std::string, size_t> m_calls;   // answers used, by value and data
};

const CLSID kProbeClsid = {0x6E1B7C2A, 0x3F4D, 0x4E8B, {0x9A, 0x51, 0x2C, 0x7D, 0x0E, 0x9F, 0x1A, 0x33}};
const COleControlClass kProbeClass = {&kProbeClsid, kProgId, 0, 0, 0, nullptr, 1, 0};

class Probe : public COleControl, Live {
public:
    Probe() : COleControl(kProbeClass) {}
    ~Probe() override
    {
        for (Sink* s : m_sinks)
            s->owner = nullptr, s->Release();
        Write("destroyed");
    }

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

protected:
    // The host objects from the site, a sink on each; without a site, undone.
    void OnSetClientSite() override
    {
        if (!GetClientSite()) {
            int undone = 0;
            for (int i = 0; i < 3; ++i)
                undone += m_cookies[i] && SUCCEEDED(Point(i)->Unadvise(m_cookies[i]));
            Write("disconnected " + std::to_string(undone));
            m_frame.Reset(), m_application.Reset(), m_service.Reset();
            return;
        }
        IDispatch* d = nullptr;
        IUnknown_QueryService(GetClientSite(), IID_IAddOnService, IID_IAddOnService, reinterpret_cast<void**>(&m_service));
        if (m_service && SUCCEEDED(m_service->GetApplication(&d)))
            d->QueryInterface(IID_IApplication, reinterpret_cast<void**>(&m_application)), d->Release();
        if (m_application && SUCCEEDED(m_application->GetFrame(&d)))
            d->QueryInterface(IID_IFrame, reinterpret_cast<void**>(&m_frame)), d->Release();
        for (int i = 0; i < 3; ++i) {
            (m_sinks[i] = new Sink("", i))->owner = this;
            if (IConnectionPoint* p = Point(i))
                p->Advise(m_sinks[i], &m_cookies[i]);
        }
    }
    // Shown in place: what the host tells it, and ready.
    int OnCreate() override
    {
        ::SetWindowTextA(m_hWnd, "DesktopProbe");
        if (!m_service)
            return 0;
        BSTR user = nullptr, file = nullptr;
        LONG active = 0;
        m_service->GetCurrentUser(&user, &file);
        m_service->GetCommandIDBase(&m_base);
        Write("open " + desktop::BstrToAnsi(user) + " " + desktop::BstrToAnsi(file) + " base " + std::to_string(m_base));
        SysFreeString(user), SysFreeString(file);
        if (SUCCEEDED(m_service->IsActive(&active)) && active)
            Activate(1);
        m_service->SetReady(1);
        return 0;
    }

private:
    // The connection point of event set i (no reference kept: the source holds it).
    IConnectionPoint* Point(int i)
    {
        IUnknown* sources[] = {m_service.Get(), m_application.Get(), m_frame.Get()};
        desktop::ComPtr<IConnectionPointContainer> cpc;
        IConnectionPoint* point = nullptr;
        if (sources[i] &&
            SUCCEEDED(sources[i]->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc))))
            cpc->FindConnectionPoint(*kEvents[i], &point);
        return point ? (point->Release(), point) : nullptr;
    }

    LONG m_base = 0;
    Sink* m_sinks[3] = {};
    DWORD m_cookies[3] = {};
    desktop::ComPtr<IAddOnService> m_service;
    desktop::ComPtr<IApplication> m_application;
    desktop::ComPtr<IFrame> m_frame;
};

HRESULT STDMETHODCALLTYPE Sink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* dp, VARIANT*, EXCEPINFO*, UINT*)
{
    std::string line = m_tag + kSets[m_set] + " " + std::to_string(id);
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
    std::vector<std::string> values = Split(calls[call], '|');
    for (size_t i = 0; !answer.first.empty() && i < outs.size() && i < values.size(); ++i) {
        if (V_VT(outs[i]) == (VT_I4 | VT_BYREF)) {
            *V_I4REF(outs[i]) = std::atol(values[i].c_str());
        } else {
            SysFreeString(*V_BSTRREF(outs[i]));
            *V_BSTRREF(outs[i]) = desktop::AnsiToBstr(values[i]);
        }
    }
    if (owner && id == evActivate && m_set == 0 && dp->cArgs == 1 && V_VT(&dp->rgvarg[0]) == VT_I4)
        owner->Activate(V_I4(&dp->rgvarg[0]));
    return S_OK;
}

// As DesktopProbe.dll, the server of the control, so that desktop.exe
// creates it by its ProgID as any add-on's.
COleControlFactory g_factory(kProbeClass, AfxCreateObject<Probe>);

} // namespace

std::vector<std::string>& Log()
{
    static std::vector<std::string> log;
    return log;
}

void Answer(const std::string& line, const char* answers)
{
    if (answers)
        SHSetValueA(HKEY_CURRENT_USER, kAnswers, line.c_str(), REG_SZ, answers, static_cast<DWORD>(strlen(answers) + 1));
    else
        SHDeleteValueA(HKEY_CURRENT_USER, kAnswers, line.c_str());
}

IDispatch* NewSink(const std::string& tag, int set) { return new Sink(tag, set); }
LONG LiveObjects() { return g_live; }

} // namespace probe

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    return COleObjectFactory::DllGetClassObject(clsid, riid, ppv);
}
STDAPI DllCanUnloadNow() { return AfxDllCanUnloadNow(); }
