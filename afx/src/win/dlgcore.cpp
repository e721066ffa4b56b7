// Modal dialogs from resource templates, and dialog data exchange.
#include "afx/afxwin.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

// Thrown by CDataExchange::Fail, caught by UpdateData.
struct DataExchangeFailed {};

} // namespace

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;   // the dialog's own handling is in AfxWndProc
    CDialog* pDlg = reinterpret_cast<CDialog*>(lParam);
    // From here on every message of the dialog goes through AfxWndProc, whose
    // default is the dialog manager's procedure, which in turn calls this.
    if (!pDlg->SubclassWindow(hWnd))
        return TRUE;
    return AfxCallWndProc(pDlg, hWnd, WM_INITDIALOG, 0, lParam);
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_lpszTemplateName(MAKEINTRESOURCEA(nIDTemplate)), m_pParentWnd(pParentWnd)
{
}

CDialog::CDialog(LPCSTR lpszTemplateName, CWnd* pParentWnd)
    : m_lpszTemplateName(lpszTemplateName), m_pParentWnd(pParentWnd)
{
}

INT_PTR CDialog::DoModal()
{
    AfxInitCommonControls();
    HINSTANCE hInst = AfxFindResourceHandle(m_lpszTemplateName, MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    HWND hWndParent = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!hWndParent) {
        CWnd* pMain = AfxGetMainWnd();
        if (pMain && pMain != this && pMain->m_hWnd && ::IsWindowEnabled(pMain->m_hWnd))
            hWndParent = pMain->m_hWnd;
    }
    INT_PTR result = ::DialogBoxParamA(hInst, m_lpszTemplateName, hWndParent, AfxDlgProc,
                                       reinterpret_cast<LPARAM>(this));
    CWnd::DeleteTempMap();
    return result;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd)
{
    return Create(MAKEINTRESOURCEA(nIDTemplate), pParentWnd);
}

BOOL CDialog::Create(LPCSTR lpszTemplateName, CWnd* pParentWnd)
{
    if (m_hWnd)
        return FALSE;
    AfxInitCommonControls();
    m_lpszTemplateName = lpszTemplateName;
    if (pParentWnd)
        m_pParentWnd = pParentWnd;
    HINSTANCE hInst = AfxFindResourceHandle(m_lpszTemplateName, MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    HWND hWnd = ::CreateDialogParamA(hInst, m_lpszTemplateName, m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr,
                                     AfxDlgProc, reinterpret_cast<LPARAM>(this));
    // AfxDlgProc bound the window at WM_INITDIALOG; a refused init destroys it.
    if (!hWnd)
        return FALSE;
    return m_hWnd == hWnd;
}

void CDialog::EndDialog(int nResult)
{
    ::EndDialog(m_hWnd, nResult);
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        return OnInitDialog();
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;   // the dialog manager focuses the first control
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam)
{
    // The dialog manager turns Enter and Escape into these two commands.
    switch (LOWORD(wParam)) {
    case IDOK:
        if (HIWORD(wParam) == BN_CLICKED) {
            OnOK();
            return TRUE;
        }
        break;
    case IDCANCEL:
        if (HIWORD(wParam) == BN_CLICKED) {
            OnCancel();
            return TRUE;
        }
        break;
    default:
        break;
    }
    return CWnd::OnCommand(wParam, lParam);
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const DataExchangeFailed&) {
        return FALSE;
    }
    return TRUE;
}

CDataExchange::CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd), m_hWndLastControl(nullptr)
{
}

HWND CDataExchange::PrepareCtrl(int nIDC)
{
    HWND hWndCtrl = ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
    if (!hWndCtrl)
        throw DataExchangeFailed();
    m_hWndLastControl = hWndCtrl;
    return hWndCtrl;
}

void CDataExchange::Fail()
{
    if (m_bSaveAndValidate && m_hWndLastControl) {
        ::SetFocus(m_hWndLastControl);
        ::SendMessageA(m_hWndLastControl, EM_SETSEL, 0, -1);
    }
    throw DataExchangeFailed();
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        CWnd::FromHandle(hWndCtrl)->GetWindowText(value);
    else
        ::SetWindowTextA(hWndCtrl, value);
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value)
{
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        CString text;
        CWnd::FromHandle(hWndCtrl)->GetWindowText(text);
        text.Trim();
        char* end = nullptr;
        long v = std::strtol(text, &end, 10);
        if (text.IsEmpty() || *end != '\0' || v < INT_MIN || v > INT_MAX) {
            AfxMessageBox("Enter an integer.", MB_OK | MB_ICONEXCLAMATION);
            pDX->Fail();
        }
        value = static_cast<int>(v);
    } else {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%d", value);
        ::SetWindowTextA(hWndCtrl, buf);
    }
}

void DDX_Radio(CDataExchange* pDX, int nIDC, int& value)
{
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        value = -1;
    // The group runs from this button to the next control that starts a group.
    int index = 0;
    for (HWND h = hWndCtrl; h; h = ::GetWindow(h, GW_HWNDNEXT), ++index) {
        if (h != hWndCtrl && (::GetWindowLongA(h, GWL_STYLE) & WS_GROUP))
            break;
        if (!(::SendMessageA(h, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON))
            continue;
        if (pDX->m_bSaveAndValidate) {
            if (value == -1 && ::SendMessageA(h, BM_GETCHECK, 0, 0) == BST_CHECKED)
                value = index;
        } else {
            ::SendMessageA(h, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    }
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd)
        return;
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (!rControl.SubclassWindow(hWndCtrl))
        pDX->Fail();
}
