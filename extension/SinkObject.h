// The control's event sink: it holds Palm Desktop's add-on service,
// application and frame objects, receives their events and turns them into
// calls on the memo view, mapping the host's menu commands onto the view's.
#pragma once

#include "TessalyExt_h.h"
#include "PalmDesktop.h"
#include "afx/afxctl.h"

// The memo view as the sink sees it: the control answers for its CMainDlg
// while the view's window exists, and ignores the calls otherwise.
class CSinkView {
public:
    virtual void OpenDataFile(const CString& strUserName, const CString& strDataFile) = 0;
    virtual void SaveDataFile() = 0;
    virtual void Activate(BOOL bActive) = 0;
    virtual void RunCommand(UINT nID) = 0;
    virtual void GetCommandState(UINT nID, int& bHandled, int& bEnabled, int& bChecked, int& nReserved) = 0;
    virtual BOOL PreTranslateMessage(MSG* pMsg) = 0;
    virtual void FindStart(const CString& strText, BOOL bMatchCase, BOOL bWholeWord) = 0;
    virtual BOOL FindNext(CString& strFirstLine, CString& strSecondLine, int& nRecordIndex) = 0;
    virtual void FindGoTo(int nRecordIndex, BOOL bShow) = 0;
    virtual void EditCategories() = 0;
    virtual void ShowColumns() = 0;

protected:
    ~CSinkView() = default;
};

class SinkObject final : public ISinkObject {
public:
    enum EventSet { ServiceEvents, ApplicationEvents, FrameEvents, EventSetCount };

    SinkObject();
    SinkObject(const SinkObject&) = delete;
    SinkObject& operator=(const SinkObject&) = delete;

    // Keeps the service and asks it for the application object and that for
    // the frame object; a failing step leaves the later ones null.
    void SetService(PalmDesktop::IAddOnService* pService);
    void SetView(CSinkView* pView) { m_pView = pView; }
    // Advises each event set on its object; a set that cannot connect stays 0.
    void Connect();
    // Unadvises every connected set, forgets the view and lets the host's
    // objects go, so that a late event finds nothing to act on.
    void Detach();
    DWORD GetCookie(EventSet set) const { return m_dwCookie[set]; }

    // Service event 1: the view becomes active (non-zero) or inactive.
    void Activate(LONG bActive);

    // IUnknown, IDispatch (ISinkObject has no members of its own)
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                            DISPID* rgDispId) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                     UINT* puArgErr) override;

private:
    // One event interface's implementation: its own identity, living as
    // long as the sink does.
    class EventDispatch : public IDispatch {
    public:
        EventDispatch(SinkObject* pOwner, EventSet set) : m_pOwner(pOwner), m_set(set) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
        ULONG STDMETHODCALLTYPE AddRef() override { return m_pOwner->AddRef(); }
        ULONG STDMETHODCALLTYPE Release() override { return m_pOwner->Release(); }
        HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
        HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override;
        HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId) override;
        HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS* pDispParams, VARIANT*,
                                         EXCEPINFO*, UINT*) override;

    private:
        SinkObject* m_pOwner;
        EventSet m_set;
    };

    ~SinkObject();

    IUnknown* EventSource(EventSet set) const;
    HRESULT OnServiceEvent(DISPID dispid, DISPPARAMS* pParams);
    HRESULT OnApplicationEvent(DISPID dispid, DISPPARAMS* pParams);
    void RunCommand(LONG nCommand, LONG* pbHandled);
    void GetCommandState(LONG nCommand, LONG* pbHandled, LONG* pbEnabled, LONG* pbChecked, LONG* pnReserved);
    // The host's View menu (18003) within its menu bar, or null.
    HMENU GetViewMenu(HMENU* phMenuBar = nullptr) const;

    LONG m_cRef;
    EventDispatch m_events[EventSetCount];
    CSinkView* m_pView;
    PalmDesktop::IAddOnService* m_pService;
    PalmDesktop::IApplication* m_pApplication;
    PalmDesktop::IFrame* m_pFrame;
    DWORD m_dwCookie[EventSetCount];
    // The host's command IDs of the mapped menu items, as read at activation
    // (-1 while unknown), and the control's own item in the View menu.
    std::vector<LONG> m_hostCommands;
    LONG m_nOwnCommand;
    bool m_bMenuAdded;
};
