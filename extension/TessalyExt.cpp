// TessalyExt.ocx as a COM server: its application object, its class
// factories, the four exports, and its add-on entry in Palm Desktop.
#include "PalmDesktop.h"
#include "SinkObject.h"
#include "TessalyExtCtrl.h"
#include "TessalyExtRes.h"
#include "TessalyExt_h.h"

using namespace PalmDesktop;

namespace {

// {08116123-12A5-4C13-A8B0-7A9F6D7E6615}
const CLSID CLSID_TessalyExtPropPage = {0x08116123, 0x12A5, 0x4C13, {0xA8, 0xB0, 0x7A, 0x9F, 0x6D, 0x7E, 0x66, 0x15}};
// {53C54B3E-E6F4-406E-A006-FF212F223CEA}
const GUID APPID_TessalyExt = {0x53C54B3E, 0xE6F4, 0x406E, {0xA0, 0x06, 0xFF, 0x21, 0x2F, 0x22, 0x3C, 0xEA}};

// The module's settings live under Software\Norvane\TessalyExt from the
// moment it loads. In a program that has an application object of its own,
// that one keeps serving the program (see CWinApp); this one still serves
// the module's registration.
class CTessalyExtApp : public CWinApp {
public:
    CTessalyExtApp() : CWinApp("TessalyExt") { SetRegistryKey("Norvane"); }
};

CTessalyExtApp theApp;

COleControlFactory g_ctrlFactory(CTessalyExtCtrl::s_class, AfxCreateObject<CTessalyExtCtrl>);
COlePropertyPageFactory g_pageFactory(CLSID_TessalyExtPropPage, "TESSALYEXT.TessalyExtPropPage.1",
                                      IDS_TESSALYEXT_PPG, AfxCreateObject<CTessalyExtPropPage>);
// The event sink is registered by its script, not by the framework.
HRESULT CreateSink(REFIID riid, void** ppv) { return AfxCreateObject<SinkObject>(riid, ppv); }
COleObjectFactory g_sinkFactory(CLSID_SinkObject, CreateSink);

// The self-registration result codes.
const HRESULT kSelfRegTypeLib = static_cast<HRESULT>(0x80040200);   // SELFREG_E_TYPELIB
const HRESULT kSelfRegClass = static_cast<HRESULT>(0x80040201);     // SELFREG_E_CLASS

HRESULT RunScript(UINT nID, BOOL bRegister)
{
    CRegistrar registrar;
    registrar.AddReplacement("APPID", AfxStringFromGUID(APPID_TessalyExt));
    registrar.AddReplacement("MODULE", AfxGetModulePath());
    return registrar.ResourceRegister(AfxGetModuleInstance(), nID, bRegister);
}

// The embedded type library's registration, whichever library it is.
HRESULT UnregisterEmbeddedTypeLib()
{
    ITypeLib* pTypeLib = nullptr;
    HRESULT hr = AfxLoadModuleTypeLib(&pTypeLib);
    if (FAILED(hr))
        return hr;
    TLIBATTR* pAttr = nullptr;
    hr = pTypeLib->GetLibAttr(&pAttr);
    if (SUCCEEDED(hr)) {
        hr = AfxOleUnregisterTypeLib(pAttr->guid, pAttr->wMajorVerNum, pAttr->wMinorVerNum);
        pTypeLib->ReleaseTLibAttr(pAttr);
    }
    pTypeLib->Release();
    return hr;
}

// A BSTR that frees itself.
class CBstr {
public:
    explicit CBstr(LPCSTR psz) : m_bstr(AfxAllocBSTR(psz)) {}
    ~CBstr() { ::SysFreeString(m_bstr); }
    CBstr(const CBstr&) = delete;
    CBstr& operator=(const CBstr&) = delete;
    operator BSTR() const { return m_bstr; }

private:
    BSTR m_bstr;
};

const DWORD kAddOnManagerContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER
                                   | CLSCTX_REMOTE_SERVER;

// Palm Desktop's add-on manager, or null when Palm Desktop is not installed.
IAddOnManager* CreateAddOnManager()
{
    IAddOnManager* pManager = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_AddOnManager, nullptr, kAddOnManagerContext, IID_IAddOnManager,
                                  reinterpret_cast<void**>(&pManager))))
        return nullptr;
    return pManager;
}

// Removes the entry named "Tessaly" when there is one.
HRESULT RemoveAddOn(IAddOnManager* pManager)
{
    CBstr name("Tessaly");
    IAddOn* pAddOn = nullptr;
    if (!name)
        return E_OUTOFMEMORY;
    HRESULT hr = pManager->FindAddOn(name, &pAddOn);
    if (SUCCEEDED(hr) && pAddOn) {
        hr = pAddOn->Remove();
        pAddOn->Release();
    }
    return hr;
}

// The entry "Tessaly", made anew; a failing call ends it where it stands.
HRESULT RegisterAddOn(IAddOnManager* pManager)
{
    HRESULT hr = RemoveAddOn(pManager);
    if (FAILED(hr))
        return hr;
    // Plain concatenation: the setup program writes the folder as it likes.
    CString folder = theApp.GetProfileString("", "InstallPath", "c:");
    CBstr name("Tessaly"), description(folder + "\\TessalyExt.html"), largeBitmap(folder + "\\TessalyExt32.bmp"),
        smallBitmap(folder + "\\TessalyExt16.bmp"), caption("&Tessaly"), database("Tessaly-Vqxa"),
        dataFile("record.dat");
    if (!name || !description || !largeBitmap || !smallBitmap || !caption || !database || !dataFile)
        return E_OUTOFMEMORY;
    const LONG nCreatorID = ('V' << 24) | ('q' << 16) | ('x' << 8) | 'a';
    IAddOn* pAddOn = nullptr;
    hr = pManager->CreateAddOn(name, nCreatorID, description, largeBitmap, &pAddOn);
    if (SUCCEEDED(hr) && !pAddOn)
        hr = E_POINTER;
    if (SUCCEEDED(hr))
        hr = pAddOn->put_MenuCaption(caption);
    if (SUCCEEDED(hr))
        hr = pAddOn->put_NameText(name);
    if (SUCCEEDED(hr))
        hr = pAddOn->put_DatabaseName(database);
    if (SUCCEEDED(hr))
        hr = pAddOn->put_DataFileName(dataFile);
    if (SUCCEEDED(hr))
        hr = pAddOn->put_SmallBitmap(smallBitmap);
    if (SUCCEEDED(hr))
        hr = pAddOn->put_Flag(1);
    if (pAddOn)
        pAddOn->Release();
    return hr;
}

// Runs one add-on step with COM ready on this thread; its outcome is the
// step's own and never the export's.
void WithAddOnManager(HRESULT (*pfnStep)(IAddOnManager*))
{
    HRESULT hrInit = ::CoInitialize(nullptr);
    if (IAddOnManager* pManager = CreateAddOnManager()) {
        pfnStep(pManager);
        pManager->Release();
    }
    if (SUCCEEDED(hrInit))
        ::CoUninitialize();
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH) {
        theApp.m_hInstance = hInstance;
        ::DisableThreadLibraryCalls(hInstance);
        // Where the module's application object serves the process, the
        // module's resources come first, before the host program's.
        if (AfxGetApp() == &theApp)
            AfxSetResourceHandle(hInstance);
    } else if (dwReason == DLL_PROCESS_DETACH && AfxGetResourceHandle() == hInstance) {
        AfxSetResourceHandle(nullptr);
    }
    return TRUE;
}

STDAPI DllCanUnloadNow()
{
    return AfxDllCanUnloadNow();
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    // The script-registered class first, then the framework's factories.
    if (IsEqualCLSID(rclsid, CLSID_SinkObject)) {
        if (!ppv)
            return E_POINTER;
        return g_sinkFactory.QueryInterface(riid, ppv);
    }
    return COleObjectFactory::DllGetClassObject(rclsid, riid, ppv);
}

STDAPI DllRegisterServer()
{
    RunScript(IDR_TESSALYEXT, TRUE);
    HRESULT hr = RunScript(IDR_SINKOBJECT, TRUE);
    if (SUCCEEDED(hr))
        hr = AfxOleRegisterTypeLib(GUID_NULL);
    if (FAILED(hr))
        return hr;
    if (FAILED(AfxOleRegisterTypeLib(LIBID_TessalyExtLib)))
        return kSelfRegTypeLib;
    if (!COleObjectFactory::UpdateRegistryAll(TRUE))
        return kSelfRegClass;
    WithAddOnManager(RegisterAddOn);
    return S_OK;
}

STDAPI DllUnregisterServer()
{
    RunScript(IDR_TESSALYEXT, FALSE);
    HRESULT hr = RunScript(IDR_SINKOBJECT, FALSE);
    if (SUCCEEDED(hr))
        hr = UnregisterEmbeddedTypeLib();
    if (FAILED(hr))
        return hr;
    if (FAILED(AfxOleUnregisterTypeLib(LIBID_TessalyExtLib, 1, 0)))
        return kSelfRegTypeLib;
    if (!COleObjectFactory::UpdateRegistryAll(FALSE))
        return kSelfRegClass;
    WithAddOnManager(RemoveAddOn);
    return S_OK;
}
