// Resource numbers of the installer.
#pragma once

#define IDD_RAVELIN_DIALOG              102
#define IDR_MAINFRAME                   128

#define IDS_USAGE                       130
#define IDS_STATUS_READING              131
#define IDS_STATUS_INSTALL_CONDUIT      132
#define IDS_STATUS_UNINSTALL_CONDUIT    133
#define IDS_STATUS_INSTALL_NOTIFIER     134
#define IDS_STATUS_UNINSTALL_NOTIFIER   135
#define IDS_CONDUIT_KEYS_MISSING        136
#define IDS_CONDUIT_EXISTS              137
#define IDS_CONDUIT_INSTALL_FAILED      138
#define IDS_CONDUIT_UNINSTALL_FAILED    139
#define IDS_NOTIFIER_EXISTS             140
#define IDS_NOTIFIER_INSTALL_FAILED     141
#define IDS_NOTIFIER_UNINSTALL_FAILED   142
#define IDS_STATUS_DONE                 143
#define IDS_INI_PATH_TOO_LONG           144

#define IDC_STATUS                      1000
#define IDC_PROGRESS                    1001

#ifndef IDC_STATIC
#define IDC_STATIC                      (-1)
#endif
