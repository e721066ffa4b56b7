#include "InstallerDlg.h"

#include "CondMgr.h"
#include "HsApi.h"

#include <vector>

namespace {

// Results of the Conduit Manager that the work depends on.
const LONG kConduitExists = -1005;
const LONG kNotifierExists = -1019;

} // namespace

CInstallerDlg::CInstallerDlg(bool bInstall, const CString& strIniPath, CWnd* pParent)
    : CDialog(IDD, pParent), m_hIcon(AfxGetApp()->LoadIcon(IDR_MAINFRAME)), m_bInstall(bInstall),
      m_strIniPath(strIniPath), m_nPriority(2), m_bConduitWork(false), m_bChanged(false), m_nStepTotal(0),
      m_nOutcome(OutcomeDone)
{
}

void CInstallerDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROGRESS, m_wndProgress);
    DDX_Control(pDX, IDC_STATUS, m_wndStatus);
}

LRESULT CInstallerDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_RAVELIN_START)
        return OnStart(wParam, lParam);
    return CDialog::WindowProc(message, wParam, lParam);
}

BOOL CInstallerDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    m_nStepTotal = 0;
    ShowStatus(IDS_STATUS_READING);
    ReadConduitSettings();
    ReadNotifierSettings();

    m_bChanged = false;
    m_wndProgress.SetRange32(0, m_nStepTotal);
    m_wndProgress.SetStep(1);

    // Work starts once the dialog is on screen.
    PostMessage(WM_RAVELIN_START);
    return TRUE;
}

CString CInstallerDlg::ReadString(const char* pszSection, const char* pszKey) const
{
    // Grow the buffer until the value fits, so that a long path is never cut.
    std::vector<char> buf(512);
    for (;;) {
        DWORD n = ::GetPrivateProfileStringA(pszSection, pszKey, "", buf.data(), static_cast<DWORD>(buf.size()),
                                             m_strIniPath);
        if (n + 1 < buf.size() || buf.size() >= 65536)
            return CString(buf.data(), static_cast<int>(n < buf.size() ? n : buf.size() - 1));
        buf.resize(buf.size() * 2);
    }
}

void CInstallerDlg::ReadConduitSettings()
{
    m_strCreatorId = ReadString("Conduit", "CreatorId");
    m_strConduit = ReadString("Conduit", "Conduit");
    m_strDirectory = ReadString("Conduit", "Directory");
    m_strFile = ReadString("Conduit", "File");
    m_strRemoteDatabase = ReadString("Conduit", "RemoteDatabase");
    m_strName = ReadString("Conduit", "Name");
    m_nPriority = static_cast<int>(::GetPrivateProfileIntA("Conduit", "Priority", 2, m_strIniPath));

    m_bConduitWork = !m_strCreatorId.IsEmpty();
    if (m_bConduitWork && m_bInstall &&
        (m_strConduit.IsEmpty() || m_strDirectory.IsEmpty() || m_strFile.IsEmpty())) {
        AfxMessageBox(IDS_CONDUIT_KEYS_MISSING, MB_OK);
        m_bConduitWork = false;
        m_nOutcome = OutcomeFailed;
    }
    if (m_bConduitWork)
        ++m_nStepTotal;
}

void CInstallerDlg::ReadNotifierSettings()
{
    m_strNotifier = ReadString("Notifier", "Notifier");
    if (!m_strNotifier.IsEmpty())
        ++m_nStepTotal;
}

LRESULT CInstallerDlg::OnStart(WPARAM, LPARAM)
{
    if (m_bConduitWork) {
        if (m_bInstall)
            InstallConduit();
        else
            UninstallConduit();
    }
    if (!m_strNotifier.IsEmpty()) {
        if (m_bInstall)
            InstallNotifier();
        else
            UninstallNotifier();
    }
    if (m_bChanged) {
        ShowStatus(IDS_STATUS_DONE);
        HotSyncRefreshConduits();
    }
    OnOK();
    return 0;
}

void CInstallerDlg::InstallConduit()
{
    ShowStatus(IDS_STATUS_INSTALL_CONDUIT);
    LONG result = CondMgrCreateEntry(m_strCreatorId, CONDMGR_TYPE_APPLICATION);
    if (result == kConduitExists && AfxMessageBox(IDS_CONDUIT_EXISTS, MB_OKCANCEL | MB_ICONQUESTION) == IDOK) {
        CondMgrRemoveEntry(m_strCreatorId);
        result = CondMgrCreateEntry(m_strCreatorId, CONDMGR_TYPE_APPLICATION);
    }
    if (result == 0)
        result = CondMgrSetConduit(m_strCreatorId, m_strConduit);
    if (result == 0)
        result = CondMgrSetDirectory(m_strCreatorId, m_strDirectory);
    if (result == 0)
        result = CondMgrSetFile(m_strCreatorId, m_strFile);
    if (result == 0 && !m_strRemoteDatabase.IsEmpty())
        result = CondMgrSetRemoteDatabase(m_strCreatorId, m_strRemoteDatabase);
    if (result == 0 && !m_strName.IsEmpty())
        result = CondMgrSetName(m_strCreatorId, m_strName);
    if (result == 0)
        result = CondMgrSetPriority(m_strCreatorId, m_nPriority);

    if (result == 0)
        m_bChanged = true;
    else if (result != kConduitExists)
        Fail(IDS_CONDUIT_INSTALL_FAILED);
    else
        Kept();
    StepProgress();
}

void CInstallerDlg::UninstallConduit()
{
    ShowStatus(IDS_STATUS_UNINSTALL_CONDUIT);
    if (CondMgrRemoveEntry(m_strCreatorId) < 0)
        Fail(IDS_CONDUIT_UNINSTALL_FAILED);
    else
        m_bChanged = true;
    StepProgress();
}

void CInstallerDlg::InstallNotifier()
{
    ShowStatus(IDS_STATUS_INSTALL_NOTIFIER);
    LONG result = CondMgrRegisterNotifier(m_strNotifier);
    if (result == kNotifierExists && AfxMessageBox(IDS_NOTIFIER_EXISTS, MB_OKCANCEL | MB_ICONQUESTION) == IDOK) {
        CondMgrRemoveNotifier(m_strNotifier);
        result = CondMgrRegisterNotifier(m_strNotifier);
    }
    if (result == 0)
        m_bChanged = true;
    else if (result != kNotifierExists)
        Fail(IDS_NOTIFIER_INSTALL_FAILED);
    else
        Kept();
    StepProgress();
}

void CInstallerDlg::UninstallNotifier()
{
    ShowStatus(IDS_STATUS_UNINSTALL_NOTIFIER);
    if (CondMgrRemoveNotifier(m_strNotifier) != 0)
        Fail(IDS_NOTIFIER_UNINSTALL_FAILED);
    else
        m_bChanged = true;
    StepProgress();
}

void CInstallerDlg::Fail(UINT nMessageID)
{
    m_nOutcome = OutcomeFailed;
    AfxMessageBox(nMessageID, MB_OK);
}

void CInstallerDlg::Kept()
{
    if (m_nOutcome == OutcomeDone)
        m_nOutcome = OutcomeKept;
}

void CInstallerDlg::ShowStatus(UINT nID)
{
    CString text;
    text.LoadString(nID);
    m_wndStatus.SetWindowText(text);
    // All the work runs inside one message handler: paint the line now.
    m_wndStatus.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CInstallerDlg::StepProgress()
{
    m_wndProgress.StepIt();
}

void CInstallerDlg::OnPaint()
{
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    RECT rect;
    GetClientRect(&rect);
    int x = (rect.right - rect.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (rect.bottom - rect.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CInstallerDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}
