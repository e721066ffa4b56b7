// Small stand-ins for the parts of Palm Desktop that the control module
// meets: the add-on manager with its entries, the add-on service with the
// application, frame and status bar objects and their event connections,
// and an in-place container site. Every call is logged; a call named in
// HostLog::failing returns E_FAIL.
#pragma once

#include "PalmDesktop.h"
#include "afx/afxctl.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace fake {

struct HostLog {
    std::vector<std::string> calls;
    std::set<std::string> failing;
    // Logs the call; false when it is to fail.
    bool Call(const std::string& entry, const std::string& name);
    bool Called(const std::string& entry) const;
    void Clear() { calls.clear(); failing.clear(); }
};
HostLog& Log();

std::string Narrow(BSTR bstr);
// Text in the ANSI code page (932 under the tests' Wine) from UTF-8.
std::string Ansi(const char* utf8);

// IUnknown and IDispatch of a fake: counted references, never deleted (the
// test owns the object), answering IUnknown, IDispatch and its own IID.
template <class I>
class Dispatch : public I {
public:
    explicit Dispatch(REFIID iid) : m_iid(iid) {}
    LONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, m_iid)) {
            *ppv = static_cast<I*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = Extra(riid);
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* p) override { *p = 0; return S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

protected:
    virtual void* Extra(REFIID) { return nullptr; }

private:
    IID m_iid;
};

// ------------------------------------------------------ the add-on manager

class AddOn final : public Dispatch<PalmDesktop::IAddOn> {
public:
    AddOn() : Dispatch(PalmDesktop::IID_IAddOn) {}
    std::map<std::string, std::string> props;   // name, creator, description, large, caption, ...
    bool removed = false;

    HRESULT Set(const char* name, const std::string& value);
#define FAKE_GET(n) HRESULT STDMETHODCALLTYPE n(BSTR*) override { return E_NOTIMPL; }
#define FAKE_RES(n) HRESULT STDMETHODCALLTYPE n() override { return E_NOTIMPL; }
    FAKE_GET(get_Name)
    HRESULT STDMETHODCALLTYPE get_CreatorID(LONG*) override { return E_NOTIMPL; }
    FAKE_GET(get_MenuCaption)
    HRESULT STDMETHODCALLTYPE put_MenuCaption(BSTR b) override { return Set("put_MenuCaption", Narrow(b)); }
    FAKE_GET(get_NameText)
    HRESULT STDMETHODCALLTYPE put_NameText(BSTR b) override { return Set("put_NameText", Narrow(b)); }
    FAKE_GET(get_Description)
    HRESULT STDMETHODCALLTYPE put_Description(BSTR b) override { return Set("put_Description", Narrow(b)); }
    FAKE_GET(get_DataFileName)
    HRESULT STDMETHODCALLTYPE put_DataFileName(BSTR b) override { return Set("put_DataFileName", Narrow(b)); }
    FAKE_GET(get_DatabaseName)
    HRESULT STDMETHODCALLTYPE put_DatabaseName(BSTR b) override { return Set("put_DatabaseName", Narrow(b)); }
    FAKE_GET(get_LargeBitmap)
    HRESULT STDMETHODCALLTYPE put_LargeBitmap(BSTR b) override { return Set("put_LargeBitmap", Narrow(b)); }
    FAKE_RES(Reserved21) FAKE_RES(Reserved22)
    FAKE_GET(get_SmallBitmap)
    HRESULT STDMETHODCALLTYPE put_SmallBitmap(BSTR b) override { return Set("put_SmallBitmap", Narrow(b)); }
    FAKE_RES(Reserved25) FAKE_RES(Reserved26) FAKE_RES(Reserved27) FAKE_RES(Reserved28) FAKE_RES(Reserved29)
    FAKE_RES(Reserved30)
    HRESULT STDMETHODCALLTYPE get_Flag(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Flag(LONG n) override { return Set("put_Flag", std::to_string(n)); }
    FAKE_RES(Reserved33) FAKE_RES(Reserved34) FAKE_RES(Reserved35) FAKE_RES(Reserved36) FAKE_RES(Reserved37)
    HRESULT STDMETHODCALLTYPE Remove() override;
};

class AddOnManager : public Dispatch<PalmDesktop::IAddOnManager> {
public:
    AddOnManager() : Dispatch(PalmDesktop::IID_IAddOnManager) {}
    ~AddOnManager();
    std::vector<AddOn*> entries;   // removed ones leave the list
    HRESULT STDMETHODCALLTYPE get_Count(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Item(LONG, PalmDesktop::IAddOn**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateAddOn(BSTR name, LONG creator, BSTR description, BSTR large,
                                          PalmDesktop::IAddOn** pp) override;
    FAKE_RES(Reserved10)
    HRESULT STDMETHODCALLTYPE FindAddOn(BSTR name, PalmDesktop::IAddOn** pp) override;
    // The one entry named "Tessaly", or null.
    AddOn* Find(const std::string& name) const;
};

// Registers a class object for Palm Desktop's add-on manager in this
// process for its lifetime; with `installed` false the creation fails as
// for a class that is not registered.
class ManagerRegistration : public IClassFactory {
public:
    explicit ManagerRegistration(AddOnManager& manager, bool installed = true);
    ~ManagerRegistration();
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    AddOnManager& m_manager;
    bool m_installed;
    DWORD m_cookie = 0;
};

// ----------------------------------------------- the add-on's host objects

// One connection point that takes one sink; Fire calls it.
class EventSource : public IConnectionPointContainer, public IConnectionPoint {
public:
    explicit EventSource(REFIID iid) : m_iid(iid) {}
    IDispatch* sink = nullptr;
    DWORD cookie = 0;
    int advises = 0;
    // Arguments in parameter order; returns Invoke's result.
    HRESULT Fire(DISPID dispid, std::vector<VARIANT> args);
    // The container side, for the owner's QueryInterface.
    void* Container(REFIID riid);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** pp) override;
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* pUnk, DWORD* pCookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

private:
    IID m_iid;
};

VARIANT Long(LONG n);
VARIANT Text(const char* ansi);
VARIANT OutLong(LONG* p);
VARIANT OutText(BSTR* p);

class StatusBar : public Dispatch<PalmDesktop::IStatusBar> {
public:
    StatusBar() : Dispatch(PalmDesktop::IID_IStatusBar) {}
    std::map<LONG, std::string> panes;
    FAKE_RES(Reserved7) FAKE_RES(Reserved8)
    HRESULT STDMETHODCALLTYPE SetPaneText(LONG nPane, BSTR text) override;
};

// The frame's menu bar holds menus 18001-18004 with the mapped items; the
// host numbers each item's command as its item ID + commandOffset.
class Frame : public Dispatch<PalmDesktop::IFrame> {
public:
    Frame();
    ~Frame();
    HMENU menuBar;
    LONG commandOffset = 1000;
    StatusBar statusBar;
    EventSource events{PalmDesktop::DIID_FrameEvents};
    HMENU Menu(UINT menuID) const;
    // The texts of a menu's items ("-" for a separator) with their IDs.
    std::vector<std::pair<std::string, UINT>> Items(UINT menuID) const;

    FAKE_RES(Reserved7) FAKE_RES(Reserved8) FAKE_RES(Reserved9)
    HRESULT STDMETHODCALLTYPE GetMenuBar(LONG* phMenu) override;
    FAKE_RES(Reserved11) FAKE_RES(Reserved12)
    HRESULT STDMETHODCALLTYPE GetMenuPosition(LONG menuID, LONG itemID, LONG* pos) override;
    HRESULT STDMETHODCALLTYPE GetStatusBar(IDispatch** pp) override;

protected:
    void* Extra(REFIID riid) override;
};

class Application : public Dispatch<PalmDesktop::IApplication> {
public:
    Application() : Dispatch(PalmDesktop::IID_IApplication) {}
    Frame frame;
    EventSource events{PalmDesktop::DIID_ApplicationEvents};
    FAKE_RES(Reserved7) FAKE_RES(Reserved8) FAKE_RES(Reserved9) FAKE_RES(Reserved10) FAKE_RES(Reserved11)
    FAKE_RES(Reserved12) FAKE_RES(Reserved13) FAKE_RES(Reserved14) FAKE_RES(Reserved15)
    HRESULT STDMETHODCALLTYPE GetFrame(IDispatch** pp) override;

protected:
    void* Extra(REFIID riid) override;
};

class Service : public Dispatch<PalmDesktop::IAddOnService> {
public:
    Service() : Dispatch(PalmDesktop::IID_IAddOnService) {}
    Application application;
    EventSource events{PalmDesktop::DIID_ServiceEvents};
    LONG commandBase = 30000;
    std::string user, dataFile;
    LONG active = 0;
    LONG ready = 0;
    HRESULT STDMETHODCALLTYPE GetApplication(IDispatch** pp) override;
    FAKE_RES(Reserved8) FAKE_RES(Reserved9) FAKE_RES(Reserved10) FAKE_RES(Reserved11)
    HRESULT STDMETHODCALLTYPE GetCommandIDBase(LONG* p) override;
    FAKE_RES(Reserved13) FAKE_RES(Reserved14) FAKE_RES(Reserved15)
    HRESULT STDMETHODCALLTYPE GetCurrentUser(BSTR* pUser, BSTR* pPath) override;
    HRESULT STDMETHODCALLTYPE IsActive(LONG* p) override;
    FAKE_RES(Reserved18)
    HRESULT STDMETHODCALLTYPE SetReady(LONG b) override;
    // Every reference the objects hold back to their owners is gone.
    bool AllReleased() const;

protected:
    void* Extra(REFIID riid) override;
};
#undef FAKE_GET
#undef FAKE_RES

// An in-place container site in a window of its own; it offers the service
// through IServiceProvider unless it is null (a container that is not Palm
// Desktop).
class Site : public IOleClientSite, public IOleInPlaceSite, public IServiceProvider {
public:
    explicit Site(Service* pService);
    ~Site();
    HWND hwnd;
    Service* service;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** pp) override { *pp = nullptr; return E_NOINTERFACE; }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* p) override { *p = hwnd; return S_OK; }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc, LPRECT pos,
                                               LPRECT clip, LPOLEINPLACEFRAMEINFO) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID guid, REFIID riid, void** ppv) override;
};

// The control module, loaded once for the test program.
struct Module {
    HMODULE handle;
    HRESULT(STDAPICALLTYPE* CanUnloadNow)();
    HRESULT(STDAPICALLTYPE* GetClassObject)(REFCLSID, REFIID, void**);
    HRESULT(STDAPICALLTYPE* Register)();
    HRESULT(STDAPICALLTYPE* Unregister)();
    std::string path;
};
const Module& Ocx();
// Loads a module (a copy of the control module, say) and binds its exports.
Module LoadModule(const std::string& path);

} // namespace fake
