#include "InstallerApp.h"

#include "CommandLine.h"
#include "InstallerDlg.h"
#include "resource.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

CInstallerApp theApp;

CInstallerApp::CInstallerApp() {}

BOOL CInstallerApp::InitInstance()
{
    CString strErrors;
    ravelin::CommandLine cl = ravelin::ParseCommandLine(__argc, __argv, strErrors);
    if (!strErrors.IsEmpty()) {
        std::fputs(strErrors, stderr);
        std::fflush(stderr);
    }
    if (cl.bUsage) {
        AfxMessageBox(IDS_USAGE, MB_OK);
        return FALSE;
    }

    // The program's own path, however long; the settings file must still fit
    // the platform's path limit.
    std::vector<char> module(MAX_PATH);
    DWORD n;
    while ((n = ::GetModuleFileNameA(nullptr, module.data(), static_cast<DWORD>(module.size()))) >= module.size() &&
           module.size() < 32768)
        module.resize(module.size() * 2);
    CString strIniPath;
    if (n == 0 || n >= module.size() ||
        !ravelin::BuildIniPath(CString(module.data(), static_cast<int>(n)), cl.strIniName, strIniPath)) {
        AfxMessageBox(IDS_INI_PATH_TOO_LONG, MB_OK | MB_ICONSTOP);
        m_nExitCode = CInstallerDlg::OutcomeFailed;
        return FALSE;
    }

    CInstallerDlg dlg(cl.bInstall, strIniPath);
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    m_nExitCode = dlg.GetOutcome();
    // The dialog has done the work; end without a message loop.
    return FALSE;
}

int CInstallerApp::ExitInstance()
{
    return m_nExitCode;
}
