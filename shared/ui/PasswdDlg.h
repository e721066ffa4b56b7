// The dialog in which the user types the password of an enciphered data
// file. It checks nothing; the caller tries the password and asks again.
#pragma once

#include "NvComnApi.h"
#include "afx/afxwin.h"

namespace NorvaneCommon {

class NVCOMN_API CPasswdDlg : public CDialog {
public:
    explicit CPasswdDlg(CWnd* pParent = nullptr);
    ~CPasswdDlg() override;

    CString m_strUserName;   // shown, read-only
    CString m_strPassword;   // shown masked; read back on OK only
    CString m_strHint;       // shown, read-only

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
};

} // namespace NorvaneCommon
