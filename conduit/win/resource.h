// Resource numbers of the conduit.
#pragma once

#define IDD_ACTION_CURRENT 101     // with the current settings
#define IDD_ACTION 399             // the action group alone
#define IDB_SYNC 103
#define IDB_PC_TO_HH 104
#define IDB_HH_TO_PC 105
#define IDB_NOTHING 106

#define IDC_ACTION_GROUP 403
#define IDC_SYNC 404
#define IDC_PC_TO_HH 405
#define IDC_HH_TO_PC 406
#define IDC_NOTHING 407
#define IDC_DEFAULT 411
#define IDC_PIC_SYNC 1000
#define IDC_PIC_PC_TO_HH 1001
#define IDC_PIC_HH_TO_PC 1002
#define IDC_PIC_NOTHING 1003
#define IDC_DEFAULT_TEXT 1004
#define IDC_NEXT_TEXT 1005
#define IDC_CURRENT_GROUP 1006
#define IDC_HELP_BUTTON 9
#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif

#define IDS_CONDUIT_NAME 1
#define IDS_CURRENT_SETTINGS 8004
#define IDS_ACTION_SYNC 8005
#define IDS_ACTION_PC_TO_HH 8006
#define IDS_ACTION_HH_TO_PC 8007
#define IDS_ACTION_NOTHING 8008
#define IDS_ACTION_GROUP 8009
