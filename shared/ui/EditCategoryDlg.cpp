#include "EditCategoryDlg.h"

#include "Category.h"
#include "Comn.h"
#include "GenTable.h"
#include "Iterator.h"
#include "NvComnRes.h"

namespace NorvaneCommon {

// ------------------------------------------------------------- name entry

CInputCategoryNameDlg::CInputCategoryNameDlg(CWnd* pParent)
    : CDialog(IDD_CATEGORY_NAME, pParent), m_bNewMode(1), m_pCategory(nullptr)
{
}

CInputCategoryNameDlg::~CInputCategoryNameDlg() {}

void CInputCategoryNameDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CATEGORY_NAME, m_edtName);
}

BOOL CInputCategoryNameDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    CString title;
    AfxLoadString(m_bNewMode ? IDS_NEW_CATEGORY : IDS_RENAME_CATEGORY, title);
    SetWindowText(title);
    m_edtName.SetWindowText(m_pCategory ? static_cast<LPCSTR>(m_pCategory->GetName()) : "");
    m_edtName.SetSel(0, -1);
    // A category name holds 15 bytes on the handheld.
    m_edtName.LimitText(15);
    m_edtName.SetFocus();
    return FALSE;
}

void CInputCategoryNameDlg::OnOK()
{
    CString name;
    m_edtName.GetWindowText(name);
    if (name.IsEmpty()) {
        CComn::MessageBoxA(IDS_ENTER_CATEGORY_NAME, m_bNewMode ? IDS_NEW_CATEGORY : IDS_RENAME_CATEGORY,
                           MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (m_pCategory)
        m_pCategory->SetName(name);
    EndDialog(IDOK);
}

// ----------------------------------------------------------- delete choice

CDeleteCategoryDlg::CDeleteCategoryDlg(CWnd* pParent) : CDialog(IDD_DELETE_CATEGORY, pParent), m_nDeleteMode(0) {}

CDeleteCategoryDlg::~CDeleteCategoryDlg() {}

void CDeleteCategoryDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Radio(pDX, IDC_MOVE_TO_UNFILED, m_nDeleteMode);
}

// ------------------------------------------------------------------ editor

CEditCategoryDlg::CEditCategoryDlg(CWnd* pParent)
    : CDialog(IDD_EDIT_CATEGORIES, pParent), m_nCurrentIndex(static_cast<unsigned long>(-1)), m_pTable(nullptr),
      m_pCategoryMgr(nullptr), m_bModified(0)
{
}

CEditCategoryDlg::~CEditCategoryDlg() {}

void CEditCategoryDlg::SetTable(CGenTable* pTable)
{
    m_pTable = pTable;
    m_pCategoryMgr = pTable ? pTable->GetCategoryManager() : nullptr;
}

BOOL CEditCategoryDlg::OnInitDialog()
{
    CComn::SetSyncOK(0);
    CDialog::OnInitDialog();
    m_lstCategory.SubclassDlgItem(IDC_CATEGORY_LIST, this);
    SetupCategoryList();
    m_lstCategory.SetFocus();
    return FALSE;
}

void CEditCategoryDlg::OnDestroy()
{
    CDialog::OnDestroy();
    CComn::SetSyncOK(1);
}

void CEditCategoryDlg::SetupCategoryList()
{
    if (!m_lstCategory.m_hWnd)
        return;
    m_lstCategory.ResetContent();
    if (!m_pCategoryMgr)
        return;
    CCategory* pCategory = nullptr;
    for (CatError rc = m_pCategoryMgr->FindFirst(pCategory); rc == CatErrNone && pCategory;
         rc = m_pCategoryMgr->FindNext(pCategory)) {
        if (pCategory->GetIndex() == 0)
            continue;   // Unfiled can be neither renamed nor deleted
        int n = m_lstCategory.AddString(pCategory->GetName());
        if (n >= 0)
            m_lstCategory.SetItemData(n, pCategory->GetIndex());
    }
    const int count = m_lstCategory.GetCount();
    for (int i = 0; i < count; ++i) {
        if (static_cast<DWORD>(m_lstCategory.GetItemData(i)) == static_cast<DWORD>(m_nCurrentIndex)) {
            m_lstCategory.SetCurSel(i);
            break;
        }
    }
}

int CEditCategoryDlg::GetSelectedIndex() const
{
    int sel = m_lstCategory.GetCurSel();
    return sel == LB_ERR ? -1 : static_cast<int>(m_lstCategory.GetItemData(sel));
}

void CEditCategoryDlg::OnOK()
{
    int index = GetSelectedIndex();
    if (index < 0) {
        EndDialog(IDCANCEL);
        return;
    }
    m_nCurrentIndex = static_cast<unsigned long>(index);
    EndDialog(IDOK);
}

BOOL CEditCategoryDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDC_CATEGORY_NEW:
            OnBnClickedNew();
            return TRUE;
        case IDC_CATEGORY_DELETE:
            OnBnClickedDelete();
            return TRUE;
        case IDC_CATEGORY_RENAME:
            OnBnClickedRename();
            return TRUE;
        default:
            break;
        }
    }
    return CDialog::OnCommand(wParam, lParam);
}

void CEditCategoryDlg::MoveRecords(int nFrom, int nTo)
{
    if (!m_pTable)
        return;
    CGenIterator it(*m_pTable);
    it.SortByRecordIndex();
    CGenRecord* pRecord = nullptr;
    for (LONG rc = it.FindFirst(pRecord, 1); rc == 0 && pRecord; rc = it.FindNext(pRecord, 1)) {
        if (static_cast<int>(pRecord->GetCategory()) != nFrom)
            continue;
        if (nTo < 0) {
            pRecord->SetDeleted(1);
        } else {
            pRecord->SetCategory(static_cast<DWORD>(nTo));
            pRecord->SetUpdate(1);
        }
    }
}

void CEditCategoryDlg::OnBnClickedNew()
{
    if (!m_pCategoryMgr)
        return;
    CCategory category;
    if (m_pCategoryMgr->Add(&category) != CatErrNone) {
        CComn::MessageBoxA(IDS_TOO_MANY_CATEGORIES, IDS_NEW_CATEGORY, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    const int index = static_cast<int>(category.GetIndex());

    CInputCategoryNameDlg dlg(this);
    dlg.SetNewMode(1);
    dlg.SetCategory(&category);
    if (dlg.DoModal() != IDOK) {
        m_pCategoryMgr->Delete(index);
        return;
    }

    CString name = category.GetName();
    CCategory* pFound = nullptr;
    if (m_pCategoryMgr->FindName(name, pFound) != CatErrNone) {
        m_pCategoryMgr->Rename(index, name);
        m_bModified = 1;
        m_nCurrentIndex = static_cast<unsigned long>(index);
        SetupCategoryList();
    } else {
        CString format, text;
        AfxLoadString(IDS_CATEGORY_EXISTS, format);
        text.Format(format, static_cast<LPCSTR>(name));
        CComn::MessageBoxA(text, IDS_DUPLICATE_CATEGORY, MB_OK | MB_ICONEXCLAMATION);
        m_pCategoryMgr->Delete(index);
    }
}

void CEditCategoryDlg::OnBnClickedDelete()
{
    const int index = GetSelectedIndex();
    if (index < 0) {
        CComn::MessageBoxA(IDS_SELECT_TO_DELETE, IDS_EDIT_CATEGORIES, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    CCategory* pCategory = nullptr;
    if (!m_pCategoryMgr || m_pCategoryMgr->FindIndex(index, pCategory) != CatErrNone)
        return;

    CDeleteCategoryDlg dlg(this);
    dlg.m_nDeleteMode = 0;
    if (dlg.DoModal() != IDOK)
        return;

    MoveRecords(index, dlg.m_nDeleteMode == 1 ? -1 : 0);
    m_pCategoryMgr->Delete(index);
    m_bModified = 1;
    m_nCurrentIndex = static_cast<unsigned long>(-1);
    SetupCategoryList();
}

void CEditCategoryDlg::OnBnClickedRename()
{
    const int index = GetSelectedIndex();
    if (index < 0) {
        CComn::MessageBoxA(IDS_SELECT_TO_RENAME, IDS_EDIT_CATEGORIES, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    CCategory* pCategory = nullptr;
    if (!m_pCategoryMgr || m_pCategoryMgr->FindIndex(index, pCategory) != CatErrNone)
        return;
    CCategory copy(*pCategory);
    const CString oldName = pCategory->GetName();

    CInputCategoryNameDlg dlg(this);
    dlg.SetNewMode(0);
    dlg.SetCategory(&copy);
    if (dlg.DoModal() != IDOK)
        return;

    CString name = copy.GetName();
    CCategory* pOther = nullptr;
    if (m_pCategoryMgr->FindName(name, pOther) != CatErrNone || static_cast<int>(pOther->GetIndex()) == index) {
        m_pCategoryMgr->Rename(index, name);
        m_bModified = 1;
        SetupCategoryList();
        return;
    }

    const int other = static_cast<int>(pOther->GetIndex());
    const CString otherName = pOther->GetName();
    CString format, text;
    AfxLoadString(IDS_MERGE_CATEGORIES, format);
    text.Format(format, static_cast<LPCSTR>(otherName), static_cast<LPCSTR>(oldName),
                static_cast<LPCSTR>(otherName));
    if (CComn::MessageBoxA(text, IDS_EDIT_CATEGORIES, MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK)
        return;
    MoveRecords(index, other);
    m_nCurrentIndex = static_cast<unsigned long>(other);
    m_pCategoryMgr->Delete(index);
    m_bModified = 1;
    SetupCategoryList();
}

} // namespace NorvaneCommon
