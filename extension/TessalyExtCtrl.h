// The ActiveX control that Palm Desktop creates for the memo view: it fills
// its window with the view, connects an event sink to the host's add-on
// service, application and frame objects, and shows the view's status in
// the host's status bar.
#pragma once

#include "MainDlg.h"
#include "PalmDesktop.h"
#include "afx/afxctl.h"

class SinkObject;

class CTessalyExtCtrl : public COleControl {
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
