// The module's object count, class factories, class registration and type
// library helpers.
#include "afx/afxctl.h"

#include <algorithm>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

// Per module: this library is linked into each module on its own.
LONG g_nLockCount = 0;

std::vector<COleObjectFactory*>& Factories()
{
    static std::vector<COleObjectFactory*> list;
    return list;
}

CString GuidString(REFGUID guid)
{
    WCHAR wide[40];
    ::StringFromGUID2(guid, wide, 40);
    char narrow[40];
    ::WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}

// One key below HKEY_CLASSES_ROOT with its default value and, when a name is
// given, one named value.
bool SetKey(const CString& path, LPCSTR pszDefault, LPCSTR pszName = nullptr, LPCSTR pszValue = nullptr)
{
    HKEY hKey = nullptr;
    if (::RegCreateKeyExA(HKEY_CLASSES_ROOT, path, 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = true;
    if (pszDefault)
        ok = ::RegSetValueExA(hKey, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(pszDefault),
                              static_cast<DWORD>(lstrlenA(pszDefault) + 1)) == ERROR_SUCCESS;
    if (ok && pszName)
        ok = ::RegSetValueExA(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(pszValue),
                              static_cast<DWORD>(lstrlenA(pszValue) + 1)) == ERROR_SUCCESS;
    ::RegCloseKey(hKey);
    return ok;
}

// The keys that every class of this module has: the CLSID's key (replaced
// whole) with its type name, ProgID and in-process server, and the ProgID's key.
bool RegisterClassKeys(HINSTANCE hInstance, REFCLSID clsid, LPCSTR pszProgID, UINT idTypeName, CString& clsidKey,
                       CString& modulePath)
{
    CString typeName = AfxLoadModuleString(idTypeName);
    CString clsidText = GuidString(clsid);
    clsidKey = "CLSID\\" + clsidText;
    AfxRegDeleteTree(HKEY_CLASSES_ROOT, clsidKey);
    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(hInstance, path, sizeof path);
    if (n == 0 || n >= sizeof path)
        return false;
    modulePath = CString(path, static_cast<int>(n));
    return SetKey(clsidKey, typeName) && SetKey(clsidKey + "\\ProgID", pszProgID)
        && SetKey(clsidKey + "\\InprocServer32", path, "ThreadingModel", "Apartment")
        && SetKey(pszProgID, typeName) && SetKey(CString(pszProgID) + "\\CLSID", clsidText);
}

} // namespace

// ------------------------------------------------------------- module state

void AfxOleLockApp() { ::InterlockedIncrement(&g_nLockCount); }
void AfxOleUnlockApp() { ::InterlockedDecrement(&g_nLockCount); }
LONG AfxOleGetLockCount() { return g_nLockCount; }
HRESULT AfxDllCanUnloadNow() { return g_nLockCount > 0 ? S_FALSE : S_OK; }

HINSTANCE AfxGetModuleInstance()
{
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

CString AfxGetModulePath()
{
    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(AfxGetModuleInstance(), path, sizeof path);
    return n < sizeof path ? CString(path, static_cast<int>(n)) : CString();
}

CString AfxLoadModuleString(UINT nID)
{
    char buf[1024];
    int n = ::LoadStringA(AfxGetModuleInstance(), nID, buf, sizeof buf);
    return CString(buf, n > 0 ? n : 0);
}

BSTR AfxAllocBSTR(LPCSTR psz)
{
    int cch = ::MultiByteToWideChar(CP_ACP, 0, psz, -1, nullptr, 0);
    BSTR bstr = cch > 0 ? ::SysAllocStringLen(nullptr, static_cast<UINT>(cch - 1)) : nullptr;
    if (bstr)
        ::MultiByteToWideChar(CP_ACP, 0, psz, -1, bstr, cch);
    return bstr;
}

CString AfxBSTRToString(BSTR bstr)
{
    int cch = static_cast<int>(::SysStringLen(bstr));
    if (cch == 0)
        return CString();
    int cb = ::WideCharToMultiByte(CP_ACP, 0, bstr, cch, nullptr, 0, nullptr, nullptr);
    CString result;
    char* p = result.GetBuffer(cb);
    ::WideCharToMultiByte(CP_ACP, 0, bstr, cch, p, cb, nullptr, nullptr);
    result.ReleaseBuffer(cb);
    return result;
}

LPOLESTR AfxAllocTaskWideString(LPCSTR psz)
{
    int cch = ::MultiByteToWideChar(CP_ACP, 0, psz, -1, nullptr, 0);
    LPOLESTR p = static_cast<LPOLESTR>(::CoTaskMemAlloc(static_cast<SIZE_T>(cch) * sizeof(OLECHAR)));
    if (p)
        ::MultiByteToWideChar(CP_ACP, 0, psz, -1, p, cch);
    return p;
}

CString AfxStringFromGUID(REFGUID guid)
{
    return GuidString(guid);
}

// ------------------------------------------------------------ class factories

COleObjectFactory::COleObjectFactory(REFCLSID clsid, CreateFunc pfnCreate)
    : m_clsid(clsid), m_pfnCreate(pfnCreate), m_cRef(0)
{
    Factories().push_back(this);
}

COleObjectFactory::~COleObjectFactory()
{
    auto& list = Factories();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

BOOL COleObjectFactory::UpdateRegistryAll(BOOL bRegister)
{
    for (COleObjectFactory* p : Factories())
        if (!p->UpdateRegistry(bRegister))
            return FALSE;
    return TRUE;
}

HRESULT COleObjectFactory::DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    for (COleObjectFactory* p : Factories())
        if (IsEqualCLSID(p->m_clsid, rclsid))
            return p->QueryInterface(riid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT COleObjectFactory::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG COleObjectFactory::AddRef()
{
    AfxOleLockApp();
    return static_cast<ULONG>(::InterlockedIncrement(&m_cRef));
}

ULONG COleObjectFactory::Release()
{
    LONG n = ::InterlockedDecrement(&m_cRef);
    AfxOleUnlockApp();
    return static_cast<ULONG>(n);   // a static object: never deleted
}

HRESULT COleObjectFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter)
        return CLASS_E_NOAGGREGATION;
    return m_pfnCreate(riid, ppv);
}

HRESULT COleObjectFactory::LockServer(BOOL fLock)
{
    if (fLock)
        AfxOleLockApp();
    else
        AfxOleUnlockApp();
    return S_OK;
}

BOOL COleControlFactory::UpdateRegistry(BOOL bRegister)
{
    if (!bRegister)
        return AfxOleUnregisterClass(*m_cls.pClsid, m_cls.pszProgID);
    return AfxOleRegisterControlClass(AfxGetModuleInstance(), m_cls);
}

BOOL COlePropertyPageFactory::UpdateRegistry(BOOL bRegister)
{
    if (!bRegister)
        return AfxOleUnregisterClass(GetClassID(), m_pszProgID);
    return AfxOleRegisterPropertyPageClass(AfxGetModuleInstance(), GetClassID(), m_pszProgID, m_idTypeName);
}

// --------------------------------------------------------- class registration

BOOL AfxOleRegisterControlClass(HINSTANCE hInstance, const COleControlClass& cls)
{
    CString key, path;
    if (!RegisterClassKeys(hInstance, *cls.pClsid, cls.pszProgID, cls.idTypeName, key, path))
        return FALSE;
    CString misc, bitmap, version;
    misc.Format("%lu", static_cast<unsigned long>(cls.dwMiscStatus));
    bitmap.Format("%s, %u", static_cast<LPCSTR>(path), cls.idBitmap);
    version.Format("%u.%u", cls.wVerMajor, cls.wVerMinor);
    // The status bits apply to every aspect; DVASPECT_CONTENT (1) names them.
    return SetKey(key + "\\Control", nullptr) && SetKey(key + "\\MiscStatus", "0")
        && SetKey(key + "\\MiscStatus\\1", misc) && SetKey(key + "\\ToolboxBitmap32", bitmap)
        && SetKey(key + "\\TypeLib", GuidString(*cls.pTypeLib)) && SetKey(key + "\\Version", version);
}

BOOL AfxOleRegisterPropertyPageClass(HINSTANCE hInstance, REFCLSID clsid, LPCSTR pszProgID, UINT idTypeName)
{
    CString key, path;
    return RegisterClassKeys(hInstance, clsid, pszProgID, idTypeName, key, path);
}

BOOL AfxOleUnregisterClass(REFCLSID clsid, LPCSTR pszProgID)
{
    LONG rc1 = AfxRegDeleteTree(HKEY_CLASSES_ROOT, "CLSID\\" + GuidString(clsid));
    LONG rc2 = pszProgID ? AfxRegDeleteTree(HKEY_CLASSES_ROOT, pszProgID) : ERROR_SUCCESS;
    // A class that was never registered is removed already.
    return (rc1 == ERROR_SUCCESS || rc1 == ERROR_FILE_NOT_FOUND) && (rc2 == ERROR_SUCCESS || rc2 == ERROR_FILE_NOT_FOUND);
}

LONG AfxRegDeleteTree(HKEY hKeyParent, LPCSTR pszSubKey)
{
    HKEY hKey = nullptr;
    LONG rc = ::RegOpenKeyExA(hKeyParent, pszSubKey, 0, KEY_READ | KEY_WRITE, &hKey);
    if (rc != ERROR_SUCCESS)
        return rc;
    char name[256];
    for (;;) {
        // Always the first subkey: the ones before it are gone.
        DWORD cch = sizeof name;
        if (::RegEnumKeyExA(hKey, 0, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        rc = AfxRegDeleteTree(hKey, name);
        if (rc != ERROR_SUCCESS)
            break;
    }
    ::RegCloseKey(hKey);
    LONG rcDelete = ::RegDeleteKeyA(hKeyParent, pszSubKey);
    return rc != ERROR_SUCCESS && rc != ERROR_NO_MORE_ITEMS ? rc : rcDelete;
}

// ------------------------------------------------------------ type libraries

HRESULT AfxLoadModuleTypeLib(ITypeLib** ppTypeLib)
{
    *ppTypeLib = nullptr;
    CString path = AfxGetModulePath();
    BSTR wide = AfxAllocBSTR(path);
    if (!wide)
        return E_OUTOFMEMORY;
    HRESULT hr = ::LoadTypeLibEx(wide, REGKIND_NONE, ppTypeLib);
    ::SysFreeString(wide);
    return hr;
}

HRESULT AfxGetModuleTypeInfo(REFGUID guid, ITypeInfo** ppTInfo)
{
    ITypeLib* pTypeLib = nullptr;
    HRESULT hr = AfxLoadModuleTypeLib(&pTypeLib);
    if (FAILED(hr))
        return hr;
    hr = pTypeLib->GetTypeInfoOfGuid(guid, ppTInfo);
    pTypeLib->Release();
    return hr;
}

HRESULT AfxNoDispatchNames(UINT cNames, DISPID* rgDispId)
{
    if (!rgDispId)
        return E_POINTER;
    for (UINT i = 0; i < cNames; ++i)
        rgDispId[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT AfxOleRegisterTypeLib(REFGUID tlid)
{
    ITypeLib* pTypeLib = nullptr;
    HRESULT hr = AfxLoadModuleTypeLib(&pTypeLib);
    if (FAILED(hr))
        return hr;
    TLIBATTR* pAttr = nullptr;
    hr = pTypeLib->GetLibAttr(&pAttr);
    if (SUCCEEDED(hr)) {
        bool same = IsEqualGUID(tlid, GUID_NULL) || IsEqualGUID(pAttr->guid, tlid);
        pTypeLib->ReleaseTLibAttr(pAttr);
        if (!same)
            hr = TYPE_E_LIBNOTREGISTERED;
    }
    if (SUCCEEDED(hr)) {
        // The help file lies beside the module.
        CString path = AfxGetModulePath();
        CString dir = path.Left(path.ReverseFind('\\') + 1);
        BSTR widePath = AfxAllocBSTR(path);
        BSTR wideDir = AfxAllocBSTR(dir);
        hr = widePath && wideDir ? ::RegisterTypeLib(pTypeLib, widePath, wideDir) : E_OUTOFMEMORY;
        ::SysFreeString(widePath);
        ::SysFreeString(wideDir);
    }
    pTypeLib->Release();
    return hr;
}

HRESULT AfxOleUnregisterTypeLib(REFGUID tlid, WORD wVerMajor, WORD wVerMinor)
{
    // A library that is not registered is unregistered already.
    CString key;
    key.Format("TypeLib\\%s\\%x.%x", static_cast<LPCSTR>(GuidString(tlid)), wVerMajor, wVerMinor);
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, key, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return S_OK;
    ::RegCloseKey(hKey);
    return ::UnRegisterTypeLib(tlid, wVerMajor, wVerMinor, 0, SYS_WIN32);
}
