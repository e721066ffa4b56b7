// Resource IDs of desktop.exe. Strings numbered by a menu, item or command
// ID are that menu's or item's caption or that command's help text.
#pragma once

#define IDI_DESKTOP 1
#define IDR_ACCEL 2

#define IDC_USERLABEL 100
#define IDC_USER 101
#define IDC_HOTSYNC 102
#define IDC_VIEW 103
#define IDC_STATUS 104
#define IDC_ADDON_FIRST 200   // the add-on bar's buttons, one per add-on
#define IDC_ADDON_LAST 299

// The View menu's items that switch to an add-on.
#define ID_VIEW_ADDON_FIRST 21000
#define ID_VIEW_ADDON_LAST 21099

// Opens menu wParam (18001-18004) as a person would and answers the state
// (MF_GRAYED, MF_CHECKED) of command lParam in it: Wine keeps a program's
// menus to that program, so a test in another process asks this way.
#define WM_APP_MENUSTATE (WM_APP + 1)

#define IDD_FIND 300
#define IDC_FIND_TEXT 301
#define IDC_FIND_CASE 302
#define IDC_FIND_WORD 303
#define IDC_FIND_START 304
#define IDC_FIND_LIST 305
#define IDC_FIND_GOTO 306
#define IDC_FIND_STATUS 307

#define IDD_HOTSYNC_LOG 400
#define IDC_LOG_TEXT 401

#define IDS_TITLE 1000
#define IDS_USER 1001
#define IDS_HOTSYNC 1002
#define IDS_READY 1003
#define IDS_USAGE 1004
#define IDS_NO_USER 1005
#define IDS_NO_HANDHELD 1006
#define IDS_NO_CONTROL 1007
#define IDS_HOTSYNC_DONE 1008
#define IDS_HOTSYNC_FAILED 1009
#define IDS_HOTSYNC_NOT_RUN 1010
#define IDS_FIND_NONE 1011
#define IDS_FIND_COUNT 1012
#define IDS_COL_FIRST 1013
#define IDS_COL_SECOND 1014
#define IDS_NO_ADDONS 1015
