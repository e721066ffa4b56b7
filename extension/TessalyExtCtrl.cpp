#include "TessalyExtCtrl.h"

#include "NvComnApi.h"
#include "TessalyExtRes.h"
#include "TessalyExt_h.h"

using namespace PalmDesktop;

extern "C" NVCOMN_API void InitNvComnDLL(void);

const COleControlClass CTessalyExtCtrl::s_class = {
    &CLSID_TessalyExt,
    "TESSALYEXT.TessalyExtCtrl.1",
    IDS_TESSALYEXT,
    IDB_TESSALYEXT,
    OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE
        | OLEMISC_SETCLIENTSITEFIRST,
    &LIBID_TessalyExtLib,
    1,
    0,
};

CTessalyExtCtrl::CTessalyExtCtrl() : COleControl(s_class), m_pService(nullptr), m_pSink(nullptr)
{
    InitNvComnDLL();
    InitializeIIDs(&DIID__DTessalyExt, &DIID__DTessalyExtEvents);
}

CTessalyExtCtrl::~CTessalyExtCtrl()
{
    // The view's window goes before the view object does.
    if (m_hWnd)
        DestroyWindow();
    ReleaseSink();
}

void CTessalyExtCtrl::ReleaseSink()
{
    if (m_pSink) {
        m_pSink->Detach();
        m_pSink->Release();
        m_pSink = nullptr;
    }
    if (m_pService) {
        m_pService->Release();
        m_pService = nullptr;
    }
}

void CTessalyExtCtrl::OnSetClientSite()
{
    // A new site (or none) ends whatever the old one gave.
    ReleaseSink();
    IOleClientSite* pSite = GetClientSite();
    if (!pSite)
        return;
    IServiceProvider* pProvider = nullptr;
    if (FAILED(pSite->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&pProvider))) || !pProvider)
        return;
    if (FAILED(pProvider->QueryService(IID_IAddOnService, IID_IAddOnService, reinterpret_cast<void**>(&m_pService))))
        m_pService = nullptr;
    pProvider->Release();
    if (!m_pService)
        return;   // outside Palm Desktop: no sink
    m_pSink = new (std::nothrow) SinkObject;
    if (m_pSink)
        m_pSink->SetService(m_pService);
}

int CTessalyExtCtrl::OnCreate()
{
    // The view fills the control; without it the control still stands,
    // showing its own picture.
    if (m_dlgMain.Create(this)) {
        CRect rc;
        GetClientRect(rc);
        m_dlgMain.MoveWindow(0, 0, rc.Width(), rc.Height(), TRUE);
        m_dlgMain.ShowWindow(SW_SHOW);
        m_dlgMain.SetFocus();
    }
    if (!m_pSink)
        return 0;
    m_pSink->SetView(this);
    m_pSink->Connect();

    // The user Palm Desktop shows now, and whether the view is active already.
    BSTR bstrUser = nullptr, bstrPath = nullptr;
    if (SUCCEEDED(m_pService->GetCurrentUser(&bstrUser, &bstrPath))) {
        CString user = AfxBSTRToString(bstrUser);
        if (!user.IsEmpty())
            OpenDataFile(user, AfxBSTRToString(bstrPath));
    }
    ::SysFreeString(bstrUser);
    ::SysFreeString(bstrPath);
    LONG bActive = 0;
    if (SUCCEEDED(m_pService->IsActive(&bActive)) && bActive)
        m_pSink->Activate(1);
    m_pService->SetReady(1);
    return 0;
}

void CTessalyExtCtrl::OnDraw(CDC* pDC, const CRect& rcBounds, const CRect&)
{
    ::FillRect(*pDC, &rcBounds, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    HGDIOBJ hOldBrush = pDC->SelectObject(::GetStockObject(NULL_BRUSH));
    ::Ellipse(*pDC, rcBounds.left, rcBounds.top, rcBounds.right, rcBounds.bottom);
    pDC->SelectObject(hOldBrush);
}

void CTessalyExtCtrl::OnSize(UINT nType, int cx, int cy)
{
    COleControl::OnSize(nType, cx, cy);
    if (m_dlgMain.m_hWnd) {
        m_dlgMain.MoveWindow(0, 0, cx, cy, TRUE);
        m_dlgMain.Invalidate();
    }
}

void CTessalyExtCtrl::OnSetFocus(CWnd* pOldWnd)
{
    COleControl::OnSetFocus(pOldWnd);
    if (m_dlgMain.m_hWnd)
        m_dlgMain.SetFocus();
}

LRESULT CTessalyExtCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == CMainDlg::WM_STATUSMESSAGE) {
        ShowStatus(static_cast<int>(wParam), static_cast<int>(lParam));
        return 0;
    }
    return COleControl::WindowProc(message, wParam, lParam);
}

void CTessalyExtCtrl::ShowStatus(int nPosition, int nCount)
{
    CString text;
    if (nPosition >= 0 && nCount > 0)
        text.Format("%d / %d", nPosition + 1, nCount);
    // Reached anew each time: the host may have replaced any of them.
    IDispatch* pDisp = nullptr;
    IApplication* pApplication = nullptr;
    IFrame* pFrame = nullptr;
    IStatusBar* pStatusBar = nullptr;
    if (m_pService && SUCCEEDED(m_pService->GetApplication(&pDisp)) && pDisp) {
        if (FAILED(pDisp->QueryInterface(IID_IApplication, reinterpret_cast<void**>(&pApplication))))
            pApplication = nullptr;
        pDisp->Release();
        pDisp = nullptr;
    }
    if (pApplication && SUCCEEDED(pApplication->GetFrame(&pDisp)) && pDisp) {
        if (FAILED(pDisp->QueryInterface(IID_IFrame, reinterpret_cast<void**>(&pFrame))))
            pFrame = nullptr;
        pDisp->Release();
        pDisp = nullptr;
    }
    if (pFrame && SUCCEEDED(pFrame->GetStatusBar(&pDisp)) && pDisp) {
        if (FAILED(pDisp->QueryInterface(IID_IStatusBar, reinterpret_cast<void**>(&pStatusBar))))
            pStatusBar = nullptr;
        pDisp->Release();
    }
    if (pStatusBar) {
        if (BSTR bstrText = AfxAllocBSTR(text)) {
            pStatusBar->SetPaneText(1, bstrText);
            ::SysFreeString(bstrText);
        }
        pStatusBar->Release();
    }
    if (pFrame)
        pFrame->Release();
    if (pApplication)
        pApplication->Release();
}

// ------------------------------------------------ the view, for the sink

void CTessalyExtCtrl::OpenDataFile(const CString& strUserName, const CString& strDataFile)
{
    if (CMainDlg* pView = View())
        pView->OpenDataFile(strUserName, strDataFile);
}

void CTessalyExtCtrl::SaveDataFile()
{
    if (CMainDlg* pView = View())
        pView->SaveDataFile();
}

void CTessalyExtCtrl::Activate(BOOL bActive)
{
    if (CMainDlg* pView = View())
        pView->Activate(bActive);
}

void CTessalyExtCtrl::RunCommand(UINT nID)
{
    if (CMainDlg* pView = View())
        pView->RunCommand(nID);
}

void CTessalyExtCtrl::GetCommandState(UINT nID, int& bHandled, int& bEnabled, int& bChecked, int& nReserved)
{
    bHandled = bEnabled = bChecked = nReserved = 0;
    if (CMainDlg* pView = View())
        pView->GetCommandState(nID, bHandled, bEnabled, bChecked, nReserved);
}

BOOL CTessalyExtCtrl::PreTranslateMessage(MSG* pMsg)
{
    CMainDlg* pView = View();
    return pView ? pView->PreTranslateMessage(pMsg) : FALSE;
}

void CTessalyExtCtrl::FindStart(const CString& strText, BOOL bMatchCase, BOOL bWholeWord)
{
    if (CMainDlg* pView = View())
        pView->FindStart(strText, bMatchCase, bWholeWord);
}

BOOL CTessalyExtCtrl::FindNext(CString& strFirstLine, CString& strSecondLine, int& nRecordIndex)
{
    CMainDlg* pView = View();
    return pView ? pView->FindNext(strFirstLine, strSecondLine, nRecordIndex) : FALSE;
}

void CTessalyExtCtrl::FindGoTo(int nRecordIndex, BOOL bShow)
{
    if (CMainDlg* pView = View())
        pView->FindGoTo(nRecordIndex, bShow);
}

void CTessalyExtCtrl::EditCategories()
{
    if (CMainDlg* pView = View())
        pView->EditCategories();
}

void CTessalyExtCtrl::ShowColumns()
{
    if (CMainDlg* pView = View())
        pView->ShowColumns();
}

CTessalyExtPropPage::CTessalyExtPropPage() : COlePropertyPage(IDD_PROPPAGE_TESSALYEXT, IDS_TESSALYEXT_PPG_CAPTION) {}
