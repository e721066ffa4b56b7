// The installer's progress dialog, which also holds the settings of a run and
// does the registration work once it is on screen.
#pragma once

#include "afx/afxcmn.h"
#include "resource.h"

// Posted by the dialog to itself to start the work.
#define WM_RAVELIN_START (WM_USER + 100)
static_assert(WM_RAVELIN_START == 1124, "the private message that starts the work");

class CInstallerDlg : public CDialog {
public:
    enum { IDD = IDD_RAVELIN_DIALOG };

    CInstallerDlg(bool bInstall, const CString& strIniPath, CWnd* pParent = nullptr);

    // How the run ended, for the exit status of the program: a setup program
    // cannot see the message boxes, so it learns the outcome from this.
    enum Outcome { OutcomeDone = 0, OutcomeFailed = 1, OutcomeKept = 2 };
    int GetOutcome() const { return m_nOutcome; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnPaint() override;
    HCURSOR OnQueryDragIcon() override;

    LRESULT OnStart(WPARAM wParam, LPARAM lParam);
    void ReadConduitSettings();
    void ReadNotifierSettings();
    void InstallConduit();
    void UninstallConduit();
    void InstallNotifier();
    void UninstallNotifier();
    void Fail(UINT nMessageID);
    void Kept();
    void ShowStatus(UINT nID);
    void StepProgress();
    CString ReadString(const char* pszSection, const char* pszKey) const;

    HICON m_hIcon;
    CProgressCtrl m_wndProgress;
    CEdit m_wndStatus;

    bool m_bInstall;
    CString m_strIniPath;
    CString m_strCreatorId;
    CString m_strConduit;
    CString m_strDirectory;
    CString m_strFile;
    CString m_strRemoteDatabase;
    CString m_strName;
    int m_nPriority;
    CString m_strNotifier;
    bool m_bConduitWork;     // false: no creator ID, or install refused by message 136
    bool m_bChanged;
    int m_nStepTotal;
    int m_nOutcome;          // OutcomeFailed once any step failed; OutcomeKept for a refused overwrite
};
