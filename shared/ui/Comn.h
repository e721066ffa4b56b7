// Services shared by the library's dialogs and the extension: the
// synchronization interlock, message boxes from string numbers, and the
// category selection box.
#pragma once

#include "NvComnApi.h"
#include "afx/afxwin.h"

namespace NorvaneCommon {

class CCategoryMgr;

class NVCOMN_API CComn {
public:
    // Non-zero when no open window forbids synchronization.
    static int SyncOK();
    // 0: a window that forbids synchronization opens; non-zero: one closes.
    static void SetSyncOK(int bFlag);

    // Texts and captions are string numbers looked up client first, then in
    // this library; a number without a string gives the empty text.
    static int MessageBoxA(LPCSTR lpszText, UINT nIDCaption, UINT nType);
    static int MessageBoxA(UINT nIDText, UINT nIDCaption, UINT nType);

    // Item data: the category index (0 for Unfiled), -1 for All, -2 for the
    // entry that opens the category editor.
    static void SetupCategoryList(CComboBox* pComboBox, CCategoryMgr* pCategoryMgr, unsigned long nIndex,
                                  int bAll);

    static int m_nSyncOK;
};

} // namespace NorvaneCommon
