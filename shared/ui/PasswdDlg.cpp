#include "PasswdDlg.h"

#include "NvComnRes.h"

namespace NorvaneCommon {

CPasswdDlg::CPasswdDlg(CWnd* pParent) : CDialog(IDD_PASSWORD, pParent) {}

CPasswdDlg::~CPasswdDlg() {}

void CPasswdDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
}

BOOL CPasswdDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetDlgItemText(IDC_USER_NAME, m_strUserName);
    SetDlgItemText(IDC_PASSWORD, m_strPassword);
    SetDlgItemText(IDC_HINT, m_strHint);
    return TRUE;   // the first tab stop, the password, takes the focus
}

void CPasswdDlg::OnOK()
{
    GetDlgItemText(IDC_PASSWORD, m_strPassword);
    EndDialog(IDOK);
}

} // namespace NorvaneCommon
