#include "Comn.h"

#include "Category.h"
#include "NvComnRes.h"

namespace NorvaneCommon {

int CComn::m_nSyncOK = 0;

int CComn::SyncOK()
{
    return m_nSyncOK == 0;
}

void CComn::SetSyncOK(int bFlag)
{
    if (bFlag)
        --m_nSyncOK;
    else
        ++m_nSyncOK;
    // More closings than openings must not leave synchronization refused
    // for good.
    if (m_nSyncOK < 0)
        m_nSyncOK = 0;
}

int CComn::MessageBoxA(UINT nIDText, UINT nIDCaption, UINT nType)
{
    CString text;
    AfxLoadString(nIDText, text);
    return MessageBoxA(text, nIDCaption, nType);
}

int CComn::MessageBoxA(LPCSTR lpszText, UINT nIDCaption, UINT nType)
{
    CString caption;
    AfxLoadString(nIDCaption, caption);
    // Above a modal dialog of the main window when one is open.
    HWND hWndOwner = nullptr;
    CWnd* pMain = AfxGetMainWnd();
    if (pMain && pMain->m_hWnd && ::IsWindow(pMain->m_hWnd))
        hWndOwner = ::GetLastActivePopup(pMain->m_hWnd);
    return ::MessageBoxA(hWndOwner, lpszText, caption, nType);
}

void CComn::SetupCategoryList(CComboBox* pComboBox, CCategoryMgr* pCategoryMgr, unsigned long nIndex, int bAll)
{
    while (pComboBox->GetCount() > 0) {
        if (pComboBox->DeleteString(0) == CB_ERR)
            break;
    }
    if (!pCategoryMgr)
        return;

    CCategory* pCategory = nullptr;
    for (CatError rc = pCategoryMgr->FindFirst(pCategory); rc == CatErrNone && pCategory;
         rc = pCategoryMgr->FindNext(pCategory)) {
        if (pCategory->GetIndex() == 0)
            continue;
        int n = pComboBox->AddString(pCategory->GetName());
        if (n >= 0)
            pComboBox->SetItemData(n, pCategory->GetIndex());
    }

    CString text;
    if (bAll) {
        AfxLoadString(IDS_ALL_CATEGORIES, text);
        int n = pComboBox->InsertString(0, text);
        if (n >= 0)
            pComboBox->SetItemData(n, static_cast<DWORD_PTR>(-1));
    }
    AfxLoadString(IDS_UNFILED, text);
    int n = pComboBox->InsertString(-1, text);
    if (n >= 0)
        pComboBox->SetItemData(n, 0);
    AfxLoadString(IDS_EDIT_CATEGORIES_CMD, text);
    n = pComboBox->InsertString(-1, text);
    if (n >= 0)
        pComboBox->SetItemData(n, static_cast<DWORD_PTR>(-2));

    const int count = pComboBox->GetCount();
    for (int i = 0; i < count; ++i) {
        if (static_cast<DWORD>(pComboBox->GetItemData(i)) == static_cast<DWORD>(nIndex)) {
            pComboBox->SetCurSel(i);
            return;
        }
    }
    for (int i = 0; i < count; ++i) {
        if (pComboBox->GetItemData(i) == 0) {
            pComboBox->SetCurSel(i);
            return;
        }
    }
}

} // namespace NorvaneCommon
