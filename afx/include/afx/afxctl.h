// The ActiveX half of the framework (32-bit Windows only): the module's
// count of live objects and locks, class factories with the registry keys of
// a control and a property page class, type library helpers, a registrar for
// the module's "REGISTRY" scripts, connection points, the control base class
// that an in-place container hosts, and the property page base class.
//
// Each module that links this library (the control module, a test program)
// has its own object count and its own list of factories.
#pragma once

#include "afx/afxwin.h"

#include <ocidl.h>
#include <olectl.h>

#include <new>
#include <utility>
#include <vector>

// -------------------------------------------------- the module's object count

// Every live object and every lock (IClassFactory::LockServer, a held class
// object) counts once; DllCanUnloadNow answers from this count.
void AfxOleLockApp();
void AfxOleUnlockApp();
LONG AfxOleGetLockCount();
// S_OK when nothing lives and nothing is locked, S_FALSE otherwise.
HRESULT AfxDllCanUnloadNow();

// The module that links this library (the .ocx, not the program).
HINSTANCE AfxGetModuleInstance();
CString AfxGetModulePath();
// A string resource of this module itself, in the ANSI code page.
CString AfxLoadModuleString(UINT nID);
// A copy of the text as a BSTR (null when out of memory), and back.
BSTR AfxAllocBSTR(LPCSTR psz);
CString AfxBSTRToString(BSTR bstr);
// A GUID in registry form, braces included.
CString AfxStringFromGUID(REFGUID guid);
// A task-allocated wide copy, for the out strings of OLE interfaces.
LPOLESTR AfxAllocTaskWideString(LPCSTR psz);

// ------------------------------------------------------------ class factories

// A class object of this module. Factories are static objects; each one
// registers itself in the module's list, which DllGetClassObject searches.
class COleObjectFactory : public IClassFactory {
public:
    // Creates an instance and asks it for riid; the instance starts at one
    // reference and is released once the answer is taken.
    using CreateFunc = HRESULT (*)(REFIID riid, void** ppv);

    COleObjectFactory(REFCLSID clsid, CreateFunc pfnCreate);
    virtual ~COleObjectFactory();
    COleObjectFactory(const COleObjectFactory&) = delete;
    COleObjectFactory& operator=(const COleObjectFactory&) = delete;

    REFCLSID GetClassID() const { return m_clsid; }

    // Writes (TRUE) or removes (FALSE) the class's registry keys; a plain
    // factory has none of its own (a registry script describes its class).
    virtual BOOL UpdateRegistry(BOOL bRegister) { return TRUE; }
    // Every factory of the module, in order; FALSE at the first failure.
    static BOOL UpdateRegistryAll(BOOL bRegister);
    // The factory of that class, asked for riid; CLASS_E_CLASSNOTAVAILABLE
    // for a class this module does not serve.
    static HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);

    // A reference to the factory locks the module, as LockServer does.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override;

private:
    CLSID m_clsid;
    CreateFunc m_pfnCreate;
    LONG m_cRef;
};

// The fixed description of a control class: what its factory registers and
// what the control tells its container.
struct COleControlClass {
    const CLSID* pClsid;
    LPCSTR pszProgID;
    UINT idTypeName;       // string resource
    UINT idBitmap;         // toolbox bitmap resource
    DWORD dwMiscStatus;    // OLEMISC_ bits
    const GUID* pTypeLib;
    WORD wVerMajor;
    WORD wVerMinor;
};

// The registry keys of a control class below HKEY_CLASSES_ROOT: the CLSID's
// key (type name, ProgID, Control, MiscStatus, ToolboxBitmap32, TypeLib,
// Version, InprocServer32 with apartment threading) and the ProgID's key.
BOOL AfxOleRegisterControlClass(HINSTANCE hInstance, const COleControlClass& cls);
// A property page class: type name, ProgID and InprocServer32 with
// apartment threading.
BOOL AfxOleRegisterPropertyPageClass(HINSTANCE hInstance, REFCLSID clsid, LPCSTR pszProgID, UINT idTypeName);
// Removes the CLSID's key and the ProgID's key with everything below them.
BOOL AfxOleUnregisterClass(REFCLSID clsid, LPCSTR pszProgID);

class COleControlFactory : public COleObjectFactory {
public:
    COleControlFactory(const COleControlClass& cls, CreateFunc pfnCreate)
        : COleObjectFactory(*cls.pClsid, pfnCreate), m_cls(cls) {}
    BOOL UpdateRegistry(BOOL bRegister) override;

private:
    const COleControlClass& m_cls;
};

class COlePropertyPageFactory : public COleObjectFactory {
public:
    COlePropertyPageFactory(REFCLSID clsid, LPCSTR pszProgID, UINT idTypeName, CreateFunc pfnCreate)
        : COleObjectFactory(clsid, pfnCreate), m_pszProgID(pszProgID), m_idTypeName(idTypeName) {}
    BOOL UpdateRegistry(BOOL bRegister) override;

private:
    LPCSTR m_pszProgID;
    UINT m_idTypeName;
};

// Creation functions for the factories: a new object of class T, asked for riid.
template <class T>
HRESULT AfxCreateObject(REFIID riid, void** ppv)
{
    T* p = new (std::nothrow) T;
    if (!p)
        return E_OUTOFMEMORY;
    HRESULT hr = p->QueryInterface(riid, ppv);
    p->Release();
    return hr;
}

// ------------------------------------------------------------ type libraries

// The type library embedded in this module as resource "TYPELIB" 1.
HRESULT AfxLoadModuleTypeLib(ITypeLib** ppTypeLib);
// The description of guid in that library.
HRESULT AfxGetModuleTypeInfo(REFGUID guid, ITypeInfo** ppTInfo);
// IDispatch::GetIDsOfNames of an interface without names of its own.
HRESULT AfxNoDispatchNames(UINT cNames, DISPID* rgDispId);
// Registers the embedded type library; fails when it is not the library tlid
// (a module carrying another library must not pass for this one). With
// GUID_NULL, whichever library the module carries.
HRESULT AfxOleRegisterTypeLib(REFGUID tlid);
// S_OK also when that version is not registered.
HRESULT AfxOleUnregisterTypeLib(REFGUID tlid, WORD wVerMajor, WORD wVerMinor);

// ------------------------------------------------------------------ registrar

// Runs registry scripts: keys below a root key (HKCR, HKCU, HKLM), each
// optionally marked NoRemove (kept when removing) or ForceRemove (replaced
// whole when registering), with a default value `= s 'text'` or `= d 'n'`
// and a block `{ ... }` of subkeys and named values `val name = s 'text'`.
// %NAME% stands for a replacement and %% for a percent sign. A script is
// read whole before anything is written, so a faulty one changes nothing.
class CRegistrar {
public:
    void AddReplacement(LPCSTR pszKey, LPCSTR pszItem);
    HRESULT ResourceRegister(HINSTANCE hInstance, UINT nID, BOOL bRegister);
    HRESULT StringRegister(LPCSTR pszScript, BOOL bRegister);

private:
    std::vector<std::pair<CString, CString>> m_replacements;
};

// Deletes a key with everything below it.
LONG AfxRegDeleteTree(HKEY hKeyParent, LPCSTR pszSubKey);

// ---------------------------------------------------------- connection points

// One outgoing interface of an object: its sinks, by cookie. It lives inside
// its object and shares the object's reference count.
class CConnectionPoint : public IConnectionPoint {
public:
    CConnectionPoint(IUnknown* pOwner, IConnectionPointContainer* pContainer, REFIID iid);
    ~CConnectionPoint();
    CConnectionPoint(const CConnectionPoint&) = delete;
    CConnectionPoint& operator=(const CConnectionPoint&) = delete;

    REFIID GetIID() const { return m_iid; }
    void SetIID(REFIID iid) { m_iid = iid; }
    // The connected sinks, in the order they came.
    std::vector<IUnknown*> GetSinks() const;
    void UnadviseAll();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* pIID) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** ppEnum) override;

private:
    IUnknown* m_pOwner;
    IConnectionPointContainer* m_pContainer;
    IID m_iid;
    DWORD m_nextCookie;
    std::vector<std::pair<DWORD, IUnknown*>> m_sinks;
};

// ------------------------------------------------------------- the control

// An ActiveX control: a window object that a container activates in place
// as a child of its own window. Derived classes give the class description,
// set the dispatch and event interface IDs in their constructor, and act in
// OnSetClientSite, OnCreate, OnDraw and the window handlers.
class COleControl : public CWnd,
                    public IOleObject,
                    public IOleInPlaceObject,
                    public IOleInPlaceActiveObject,
                    public IViewObject2,
                    public IPersistStreamInit,
                    public IOleControl,
                    public IProvideClassInfo2,
                    public IConnectionPointContainer,
                    public IDispatch {
public:
    // The version stamp of the persisted property set (1.0).
    static const DWORD PropertySetVersion = 0x10000;

    explicit COleControl(const COleControlClass& cls);
    ~COleControl() override;

    IOleClientSite* GetClientSite() const { return m_pClientSite; }
    BOOL IsInPlaceActive() const { return m_bInPlaceActive; }
    BOOL IsUIActive() const { return m_bUIActive; }

    // IUnknown, shared by every interface of the control.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* pClientSite) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** ppClientSite) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close(DWORD dwSaveOption) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** ppmk) override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** ppDataObject) override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG iVerb, LPMSG lpmsg, IOleClientSite* pActiveSite, LONG lindex,
                                     HWND hwndParent, LPCRECT lprcPosRect) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) override;
    HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* pClsid) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD dwFormOfType, LPOLESTR* pszUserType) override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD dwDrawAspect, SIZEL* psizel) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD dwDrawAspect, SIZEL* psizel) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* pAdvSink, DWORD* pdwConnection) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwConnection) override;
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** ppenumAdvise) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD dwAspect, DWORD* pdwStatus) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleWindow (of IOleInPlaceObject and IOleInPlaceActiveObject alike)
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    // IOleInPlaceObject
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT lprcPosRect, LPCRECT lprcClipRect) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return INPLACE_E_NOTUNDOABLE; }
    // IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG lpmsg) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }

    // IViewObject2
    HRESULT STDMETHODCALLTYPE Draw(DWORD dwDrawAspect, LONG lindex, void* pvAspect, DVTARGETDEVICE* ptd,
                                   HDC hdcTargetDev, HDC hdcDraw, LPCRECTL lprcBounds, LPCRECTL lprcWBounds,
                                   BOOL(STDMETHODCALLTYPE* pfnContinue)(ULONG_PTR), ULONG_PTR dwContinue) override;
    HRESULT STDMETHODCALLTYPE GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* pAdvSink) override;
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* pAspects, DWORD* pAdvf, IAdviseSink** ppAdvSink) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD dwDrawAspect, LONG lindex, DVTARGETDEVICE* ptd,
                                        LPSIZEL lpsizel) override;

    // IPersistStreamInit: the property set is the version stamp alone.
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override { return m_bModified ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE Load(LPSTREAM pStm) override;
    HRESULT STDMETHODCALLTYPE Save(LPSTREAM pStm, BOOL fClearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* pCbSize) override;
    HRESULT STDMETHODCALLTYPE InitNew() override { return S_OK; }

    // IOleControl
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* pCI) override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL) override { return S_OK; }

    // IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** ppTI) override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD dwGuidKind, GUID* pGUID) override;

    // IConnectionPointContainer: the control's events.
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

    // IDispatch of the primary dispatch interface, described by the type
    // library; it has no members of its own here.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                            DISPID* rgDispId) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                     UINT* puArgErr) override;

protected:
    void InitializeIIDs(const IID* piidPrimary, const IID* piidEvents);

    // After the site is recorded (or cleared, with no site).
    virtual void OnSetClientSite() {}
    // After the control's window exists; -1 fails the activation.
    virtual int OnCreate() { return 0; }
    // Paints the control into rcBounds.
    virtual void OnDraw(CDC* pDC, const CRect& rcBounds, const CRect& rcInvalid) {}
    // A keystroke that the container offers while the control is UI-active;
    // TRUE when the control used it.
    virtual BOOL OnTranslateAccelerator(MSG* pMsg) { return FALSE; }

    void OnPaint() override;
    void OnSetFocus(CWnd* pOldWnd) override;

private:
    HRESULT InPlaceActivate(LONG iVerb, IOleClientSite* pActiveSite, HWND hwndParent, LPCRECT lprcPosRect);
    HRESULT UIActivate();
    void ReleaseInPlaceSite();

    const COleControlClass& m_cls;
    LONG m_cRef;
    IID m_iidPrimary;
    IID m_iidEvents;
    IOleClientSite* m_pClientSite;
    IOleInPlaceSite* m_pInPlaceSite;
    IOleInPlaceFrame* m_pInPlaceFrame;
    IOleInPlaceUIWindow* m_pInPlaceDoc;
    IOleAdviseHolder* m_pOleAdviseHolder;
    IAdviseSink* m_pViewAdviseSink;
    DWORD m_dwViewAdviseAspects;
    DWORD m_dwViewAdviseFlags;
    CConnectionPoint m_eventPoint;
    SIZEL m_sizeExtent;   // HIMETRIC
    BOOL m_bInPlaceActive;
    BOOL m_bUIActive;
    BOOL m_bModified;
};

// ------------------------------------------------------- the property page

// A property page: a child dialog that a property frame places in its own
// window. It holds no settings of its own.
class COlePropertyPage : public CDialog, public IPropertyPage {
public:
    COlePropertyPage(UINT idTemplate, UINT idCaption);
    ~COlePropertyPage() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* pPageSite) override;
    HRESULT STDMETHODCALLTYPE Activate(HWND hWndParent, LPCRECT pRect, BOOL bModal) override;
    HRESULT STDMETHODCALLTYPE Deactivate() override;
    HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* pPageInfo) override;
    HRESULT STDMETHODCALLTYPE SetObjects(ULONG cObjects, IUnknown** ppUnk) override;
    HRESULT STDMETHODCALLTYPE Show(UINT nCmdShow) override;
    HRESULT STDMETHODCALLTYPE Move(LPCRECT pRect) override;
    HRESULT STDMETHODCALLTYPE IsPageDirty() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Apply() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Help(LPCOLESTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* pMsg) override;

protected:
    // Enter and Escape belong to the property frame, not to the page.
    void OnOK() override {}
    void OnCancel() override {}

private:
    UINT m_idTemplate;
    UINT m_idCaption;
    LONG m_cRef;
    IPropertyPageSite* m_pPageSite;
};
