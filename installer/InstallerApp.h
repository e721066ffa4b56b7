// The installer's application object: reads the command line, shows the
// usage text or runs the progress dialog, and ends with the outcome as its
// exit status.
#pragma once

#include "afx/afxwin.h"

class CInstallerApp : public CWinApp {
public:
    CInstallerApp();
    BOOL InitInstance() override;
    int ExitInstance() override;

private:
    // The program's exit status: 0 all done, 1 something failed, 2 an existing
    // registration was kept (see CInstallerDlg::Outcome).
    int m_nExitCode = 0;
};
