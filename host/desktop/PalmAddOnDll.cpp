// PalmAddOn.dll: the in-process COM server of the add-on manager. Its
// registration also registers Palm Desktop's two type libraries, which it
// carries as resources "TYPELIB" 1 (the add-on service) and 2 (the
// application, frame and status bar objects).
#include "AddOnManager.h"
#include "ComBase.h"
#include "PalmDesktop.h"

#include <windows.h>
#include <olectl.h>

#include <string>

namespace {

HINSTANCE g_module;
LONG g_locks;

const char kClsidKey[] = "CLSID\\{BE44897A-EB38-11D5-823F-00C04FA03755}";

class ClassFactory : public IClassFactory, public desktop::RefCounted {
public:
    DESKTOP_REFCOUNT
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return desktop::CreateAddOnManager(riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        if (lock)
            InterlockedIncrement(&g_locks);
        else
            InterlockedDecrement(&g_locks);
        return S_OK;
    }
};

std::wstring ModulePath()
{
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH);
    return std::wstring(path, n);
}

HRESULT RegisterTypeLibrary(int index)
{
    std::wstring res = ModulePath() + L"\\" + std::to_wstring(index);
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadTypeLibEx(res.c_str(), REGKIND_NONE, &lib);
    if (FAILED(hr))
        return hr;
    // The registered path names the resource, or the second library would
    // be found as the first.
    std::wstring dir = ModulePath();
    dir = dir.substr(0, dir.find_last_of(L'\\') + 1);
    hr = RegisterTypeLib(lib, &res[0], &dir[0]);
    lib->Release();
    return hr;
}

LONG SetString(HKEY key, const char* sub, const char* value, const std::string& data)
{
    HKEY k;
    LONG rc = RegCreateKeyExA(key, sub, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = RegSetValueExA(k, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>(data.size() + 1));
    RegCloseKey(k);
    return rc;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (rclsid != PalmDesktop::CLSID_AddOnManager)
        return CLASS_E_CLASSNOTAVAILABLE;
    ClassFactory* f = new ClassFactory;
    HRESULT hr = f->QueryInterface(riid, ppv);
    f->Release();
    return hr;
}

STDAPI DllCanUnloadNow()
{
    return desktop::g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(g_module, path, sizeof path);
    std::string module(path, n);
    std::string clsid = kClsidKey;
    if (SetString(HKEY_CLASSES_ROOT, clsid.c_str(), nullptr, "Palm Desktop Add-on Manager") != ERROR_SUCCESS ||
        SetString(HKEY_CLASSES_ROOT, (clsid + "\\InprocServer32").c_str(), nullptr, module) != ERROR_SUCCESS ||
        SetString(HKEY_CLASSES_ROOT, (clsid + "\\InprocServer32").c_str(), "ThreadingModel", "Apartment") !=
            ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    if (FAILED(RegisterTypeLibrary(1)) || FAILED(RegisterTypeLibrary(2)))
        return SELFREG_E_TYPELIB;
    return S_OK;
}

// The add-on entries stay: they belong to the add-ons, which remove their own.
STDAPI DllUnregisterServer()
{
    HRESULT result = S_OK;
    LONG rc = RegDeleteKeyA(HKEY_CLASSES_ROOT, (std::string(kClsidKey) + "\\InprocServer32").c_str());
    if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND)
        rc = RegDeleteKeyA(HKEY_CLASSES_ROOT, kClsidKey);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
        result = SELFREG_E_CLASS;
    // Type libraries that are not registered are no failure here.
    UnRegisterTypeLib(PalmDesktop::LIBID_AddOnService, 1, 0, LOCALE_NEUTRAL, SYS_WIN32);
    UnRegisterTypeLib(PalmDesktop::LIBID_Application, 1, 0, LOCALE_NEUTRAL, SYS_WIN32);
    return result;
}
