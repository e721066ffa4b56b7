// Numbers of the library's dialogs, controls and strings. Clients find them
// through the resource chain, so the numbers are fixed.
#pragma once

#define IDD_SHOW_COLUMNS        6001
#define IDC_COLUMN_LIST         6002
#define IDC_COLUMN_UP           6003
#define IDC_COLUMN_DOWN         6004

#define IDD_PASSWORD            6005
#define IDC_USER_NAME           6006
#define IDC_PASSWORD            6007
#define IDC_HINT                6008

#define IDD_CATEGORY_NAME       6009
#define IDC_CATEGORY_NAME       6010

#define IDS_NEW_CATEGORY        6011
#define IDS_RENAME_CATEGORY     6012
#define IDS_ENTER_CATEGORY_NAME 6013

#define IDD_DELETE_CATEGORY     6014
#define IDC_MOVE_TO_UNFILED     6015
#define IDC_DELETE_ALL          6016

#define IDD_EDIT_CATEGORIES     6017
#define IDC_CATEGORY_LIST       6002
#define IDC_CATEGORY_NEW        6018
#define IDC_CATEGORY_DELETE     6016
#define IDC_CATEGORY_RENAME     6019

#define IDS_TOO_MANY_CATEGORIES 6020
#define IDS_CATEGORY_EXISTS     6021
#define IDS_SELECT_TO_DELETE    6022
#define IDS_SELECT_TO_RENAME    6023
#define IDS_MERGE_CATEGORIES    6024
#define IDS_DUPLICATE_CATEGORY  6025
#define IDS_EDIT_CATEGORIES     6026

// Texts of the category box and the column chooser. Outside the numbers
// that clients use; the documented ones end at 6026.
#define IDS_ALL_CATEGORIES      6027
#define IDS_UNFILED             6028
#define IDS_EDIT_CATEGORIES_CMD 6029
#define IDS_COLUMN_HEADING      6030
#define IDS_TAB_FONT            6031
#define IDS_LOGO_FONT           6032
