// The installer's application object: reads the command line, shows the
// usage text or runs the progress dialog, and ends.
#pragma once

#include "afx/afxwin.h"

class CInstallerApp : public CWinApp {
public:
    CInstallerApp();
    BOOL InitInstance() override;
};
