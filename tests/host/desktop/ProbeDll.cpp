// DesktopProbe.dll: the probe control as an in-process server, so that
// desktop.exe creates it by its ProgID like any add-on's control.
#include "ProbeControl.h"

#include <olectl.h>

#include <string>

namespace {

HINSTANCE g_module;
LONG g_locks;

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        IUnknown* p = probe::Create();
        HRESULT hr = p->QueryInterface(riid, ppv);
        p->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        lock ? InterlockedIncrement(&g_locks) : InterlockedDecrement(&g_locks);
        return S_OK;
    }
} g_factory;

const char kClsid[] = "CLSID\\{6E1B7C2A-3F4D-4E8B-9A51-2C7D0E9F1A33}";

bool Set(const std::string& key, const char* value, const std::string& data)
{
    HKEY k;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) !=
        ERROR_SUCCESS)
        return false;
    bool ok = RegSetValueExA(k, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                             static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
    RegCloseKey(k);
    return ok;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        g_module = instance;
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    if (clsid != probe::CLSID_Probe) {
        *ppv = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return g_factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return probe::LiveObjects() == 0 && g_locks == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(g_module, path, sizeof path);
    std::string clsid = kClsid;
    bool ok = Set(clsid, nullptr, "Desktop Probe Control") && Set(clsid + "\\InprocServer32", nullptr, std::string(path, n)) &&
              Set(clsid + "\\InprocServer32", "ThreadingModel", "Apartment") &&
              Set(std::string(probe::kProgId) + "\\CLSID", nullptr, "{6E1B7C2A-3F4D-4E8B-9A51-2C7D0E9F1A33}");
    return ok ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer()
{
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (std::string(kClsid) + "\\InprocServer32").c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, kClsid);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (std::string(probe::kProgId) + "\\CLSID").c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, probe::kProgId);
    return S_OK;
}
