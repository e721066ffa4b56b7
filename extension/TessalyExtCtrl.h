// The ActiveX control that Palm Desktop creates for the memo view: it fills
// its window with the view, connects an event sink to the host's add-on
// service, application and frame objects, and shows the view's status in
// the host's status bar.
#pragma once

#include "MainDlg.h"
#include "PalmDesktop.h"
#include "SinkObject.h"
#include "afx/afxctl.h"

class CTessalyExtCtrl : public COleControl, private CSinkView {
public:
    static const COleControlClass s_class;

    CTessalyExtCtrl();
    ~CTessalyExtCtrl() override;

    // The event sink, null outside Palm Desktop (no add-on service).
    SinkObject* GetSink() const { return m_pSink; }

protected:
    void OnSetClientSite() override;
    int OnCreate() override;
    void OnDraw(CDC* pDC, const CRect& rcBounds, const CRect& rcInvalid) override;
    void OnSize(UINT nType, int cx, int cy) override;
    void OnSetFocus(CWnd* pOldWnd) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // CSinkView: the memo view's methods while its window exists.
    void OpenDataFile(const CString& strUserName, const CString& strDataFile) override;
    void SaveDataFile() override;
    void Activate(BOOL bActive) override;
    void RunCommand(UINT nID) override;
    void GetCommandState(UINT nID, int& bHandled, int& bEnabled, int& bChecked, int& nReserved) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void FindStart(const CString& strText, BOOL bMatchCase, BOOL bWholeWord) override;
    BOOL FindNext(CString& strFirstLine, CString& strSecondLine, int& nRecordIndex) override;
    void FindGoTo(int nRecordIndex, BOOL bShow) override;
    void EditCategories() override;
    void ShowColumns() override;
    CMainDlg* View() { return m_dlgMain.m_hWnd ? &m_dlgMain : nullptr; }

    void ReleaseSink();
    // Pane 1 of the host's status bar: "position / count", or empty.
    void ShowStatus(int nPosition, int nCount);

    CMainDlg m_dlgMain;
    PalmDesktop::IAddOnService* m_pService;
    SinkObject* m_pSink;
};

// The property page: a placeholder, the control has no settings.
class CTessalyExtPropPage : public COlePropertyPage {
public:
    CTessalyExtPropPage();
};
