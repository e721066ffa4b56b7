// Numbers of the memo view's resources and controls. The control module's
// resource script includes View.rc, so these share its number space.
#pragma once

// Dialogs.
#define IDD_MAINDLG             202
#define IDD_EDITRECORD          215

// Controls of the memo view and the memo editor.
#define IDC_CATEGORY            203
#define IDC_NEW                 204
#define IDC_EDIT                206
#define IDC_LIST                207
#define IDC_MEMO                209
#define IDC_SORT                211
#define IDC_TAB                 213
#define IDC_MEMO_FRAME          214

// Menus, accelerators, pictures.
#define IDR_CONTEXTMENU         217
#define IDR_EDITACCEL           218
#define IDB_LARGEIMAGES         210
#define IDB_SMALLIMAGES         212
#define IDC_HSPLIT_CURSOR       205
#define IDC_HAND_CURSOR         208
#define IDI_MEMO                216

// Commands of the view besides the buttons.
#define ID_DELETE_MEMO          14
#define ID_NEW_MEMO             15
#define ID_EDIT_MEMO            16
#define ID_MOVE_CATEGORY_FIRST  20     // + category index
#define ID_MOVE_CATEGORY_LAST   35
#define ID_SHOW_COLUMNS         400
#define ID_HIDE_COLUMN          401
#define ID_EDIT_COPY_CMD        57634
#define ID_EDIT_CUT_CMD         57635
#define ID_EDIT_PASTE_CMD       57637
#define ID_EDIT_SELECT_ALL_CMD  57642
#define ID_EDIT_UNDO_CMD        57643

// Strings.
#define IDS_CAPTION             8
#define IDS_ENTER_MEMO          13
#define IDS_CONFIRM_DELETE      15
#define IDS_DELETE_CAPTION      16
#define IDS_SHOW_COLUMNS        400
#define IDS_HIDE_COLUMN         401
#define IDS_SAVE_FAILED         402
#define IDS_TAB_LIST            403
#define IDS_TAB_LARGE           404
#define IDS_TAB_SMALL           405
#define IDS_HEAD_CONTENT        406
#define IDS_HEAD_CATEGORY       407
#define IDS_HEAD_CONTENT2       408
#define IDS_SORT_SYLLABARY      409
#define IDS_CATEGORY_MENU       410
#define IDS_LINK_LABEL          411
#define IDS_LINK_TARGET         412
#define IDS_MEMO_TOO_LONG       413
