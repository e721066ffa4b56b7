#pragma once

#define IDD_TEST            200
#define IDC_TEXT            201
#define IDC_NUMBER          202
#define IDC_BAR             203

#define IDS_JAPANESE        400
#define IDS_EMPTY           401
#define IDS_LAST_OF_BLOCK   415
#define IDS_FIRST_OF_BLOCK  416
#define IDS_SHARED          420
#define IDS_LIBRARY_ONLY    421
#define IDS_MISSING         430
