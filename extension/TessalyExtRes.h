// Resource numbers of the control module (the memo view's are in ViewRes.h).
#pragma once

#define IDB_TESSALYEXT            1     // toolbox bitmap
#define IDS_TESSALYEXT            1     // type name of the control
#define IDS_TESSALYEXT_PPG        2     // type name of the property page
#define IDR_TESSALYEXT            103   // registry script: the AppID
#define IDR_SINKOBJECT            104   // registry script: the event sink class
#define IDS_TESSALYEXT_PPG_CAPTION 200
#define IDD_PROPPAGE_TESSALYEXT   201

// Texts that the control gives Palm Desktop.
#define IDS_SHOW_COLUMNS_ITEM     500   // its own item in the View menu
#define IDS_SHOW_COLUMNS_HELP     501   // that item's help text
#define IDS_HOTSYNC_REFUSED       502   // why a HotSync operation cannot start now
