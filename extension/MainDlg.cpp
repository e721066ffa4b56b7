#include "MainDlg.h"

#include "Category.h"
#include "Comn.h"
#include "EditCategoryDlg.h"
#include "EditRecordDlg.h"
#include "PasswdDlg.h"
#include "ViewRes.h"

#include "afx/mbcs.h"

#include <algorithm>
#include <cstring>

using namespace NorvaneCommon;

namespace {

const char kPrefsFileName[] = "UiPrefs.DAT";
const char kProfileTab[] = "Tab";
const char kProfileHeading[] = "Heading";
const char kProfileCard[] = "Card ";
const int kTabHeight = 26;
const int kFrameBottom = 25;
const int kMaxPastePart = 32767;
const int kAllCategories = -1;
const int kEditCategoriesEntry = -2;
const COLORREF kTabBackground = RGB(222, 184, 135);
const COLORREF kTransparent = RGB(255, 0, 255);
// Column ids of the list.
enum { ColContent = 0, ColCategory = 1, ColContent2 = 2 };

CString Res(UINT nID)
{
    CString s;
    AfxLoadString(nID, s);
    return s;
}

// Overwrites the text in memory before letting it go.
void WipeString(CString& s)
{
    const int n = s.GetLength();
    if (n > 0) {
        char* p = s.GetBuffer(n);
        ::SecureZeroMemory(p, static_cast<SIZE_T>(n));
        s.ReleaseBuffer(0);
    }
    s.Empty();
}

// The longest head of the text, at most nMax bytes, that does not split a
// double-byte character.
int CutLength(const char* p, int nLength, int nMax)
{
    if (nLength <= nMax)
        return nLength;
    int n = 0;
    while (n < nMax) {
        const int step = afx::CharLength932(p + n, static_cast<size_t>(nLength - n));
        if (n + step > nMax)
            break;
        n += step;
    }
    return n > 0 ? n : 1;
}

void Draw3dRect(CDC& dc, const CRect& r, COLORREF crTopLeft, COLORREF crBottomRight)
{
    CRect edge(r.left, r.top, r.right - 1, r.top + 1);
    dc.FillSolidRect(&edge, crTopLeft);
    edge = CRect(r.left, r.top, r.left + 1, r.bottom - 1);
    dc.FillSolidRect(&edge, crTopLeft);
    edge = CRect(r.right - 1, r.top, r.right, r.bottom);
    dc.FillSolidRect(&edge, crBottomRight);
    edge = CRect(r.left, r.bottom - 1, r.right, r.bottom);
    dc.FillSolidRect(&edge, crBottomRight);
}

} // namespace

CMainDlg::CMainDlg()
    : CResizeDialog(IDD), m_iterAlpha(m_table), m_iterFind(m_table), m_pCategoryMgr(nullptr), m_bFileOpen(FALSE),
      m_bModified(FALSE), m_bSaveFailureShown(FALSE), m_bFindMatchCase(FALSE), m_bFindWholeWord(FALSE),
      m_pFindRecord(nullptr), m_bFindEnd(TRUE)
{
    for (int i = 0; i < 3; ++i)
        m_nControlIndex[i] = i;
    m_prefs.m_nCategoryFilter = kAllCategories;
    m_prefs.m_nSelectedIndex = -1;
}

CMainDlg::~CMainDlg()
{
    // The layout is kept while the handlers can still run.
    if (m_hWnd)
        DestroyWindow();
    ClearPassword();
}

BOOL CMainDlg::Create(CWnd* pParent)
{
    return CDialog::Create(IDD, pParent);
}

void CMainDlg::ClearPassword()
{
    WipeString(m_strPassword);
}

// ------------------------------------------------------------ set-up, layout

BOOL CMainDlg::OnInitDialog()
{
    CResizeDialog::OnInitDialog();
    m_list.SubclassDlgItem(IDC_LIST, this);
    m_cboCategory.SubclassDlgItem(IDC_CATEGORY, this);
    m_cboSort.SubclassDlgItem(IDC_SORT, this);
    m_edtPreview.SubclassDlgItem(IDC_MEMO, this);

    CRect client;
    GetClientRect(&client);
    CRect rcTab(0, client.bottom - kTabHeight, client.right, client.bottom);
    if (m_tab.Create(IDC_TAB, rcTab, this)) {
        m_tab.SetBKColor(kTabBackground);
        m_tab.SetHandCursorID(IDC_HAND_CURSOR);
        m_tab.SetURI(Res(IDS_LINK_LABEL), Res(IDS_LINK_TARGET));
        m_tab.AppendTab(Res(IDS_TAB_LIST));
        m_tab.AppendTab(Res(IDS_TAB_LARGE));
        m_tab.AppendTab(Res(IDS_TAB_SMALL));
    }

    m_nHSplitCursorID = IDC_HSPLIT_CURSOR;
    AddResizeControl(IDC_SORT, MarginRight);
    AddResizeControl(IDC_LIST, StretchH | StretchV);
    AddResizeControl(IDC_MEMO, MoveH | StretchV);
    AddResizeControl(IDC_NEW, MoveV);
    AddResizeControl(IDC_EDIT, MoveV);
    AddResizeControl(IDC_TAB, StretchH | MoveV);
    SetControlMinSize(IDC_LIST, CSize(100, -1));
    SetControlMinSize(IDC_MEMO, CSize(100, -1));
    AddControlRelation(IDC_LIST, IDC_MEMO, 2, 1);

    m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP);
    m_list.SetViewEx(LVS_REPORT);
    m_list.InsertColumn(ColContent, Res(IDS_HEAD_CONTENT), LVCFMT_LEFT, 150);
    m_list.InsertColumn(ColCategory, Res(IDS_HEAD_CATEGORY), LVCFMT_LEFT, 100);
    m_list.InsertColumn(ColContent2, Res(IDS_HEAD_CONTENT2), LVCFMT_LEFT, 100);
    m_list.LoadColumnPlacement("", kProfileHeading);
    if (m_imlSmall.Create(IDB_SMALLIMAGES, 16, 1, kTransparent))
        m_list.SetImageList(&m_imlSmall, LVSIL_SMALL);
    if (m_imlLarge.Create(IDB_LARGEIMAGES, 32, 1, kTransparent))
        m_list.SetImageList(&m_imlLarge, LVSIL_NORMAL);

    int nTab = 0;
    if (CWinApp* pApp = AfxGetApp())
        nTab = static_cast<int>(pApp->GetProfileInt("", kProfileTab, 0));
    if (nTab < 0 || nTab > 2)
        nTab = 0;
    m_tab.SetCurSel(nTab);
    SetView(nTab);

    int n = m_cboSort.AddString(Res(IDS_SORT_SYLLABARY));
    if (n >= 0) {
        m_cboSort.SetItemData(n, 0);
        m_cboSort.SetCurSel(n);
    }

    // Nothing to show or change until Palm Desktop names a user.
    EnableWindow(FALSE);
    return TRUE;
}

void CMainDlg::OnOK() {}
void CMainDlg::OnCancel() {}

void CMainDlg::OnDestroy()
{
    if (CWinApp* pApp = AfxGetApp()) {
        m_list.SaveColumnPlacement("", kProfileHeading);
        SaveResizePlacements("", kProfileCard);
        pApp->WriteProfileInt("", kProfileTab, m_tab.GetCurSel());
    }
    if (m_tab.m_hWnd)
        m_tab.DestroyWindow();
    ClearPassword();
    CResizeDialog::OnDestroy();
}

void CMainDlg::OnSize(UINT nType, int cx, int cy)
{
    CResizeDialog::OnSize(nType, cx, cy);
    // The frame follows the client area; the old one must not stay.
    Invalidate();
}

void CMainDlg::OnPaint()
{
    CPaintDC dc(this);
    CRect r;
    GetClientRect(&r);
    r.bottom -= kFrameBottom;
    if (r.Height() < 20 || r.Width() < 20)
        return;
    const COLORREF black = RGB(0, 0, 0);
    Draw3dRect(dc, r, ::GetSysColor(COLOR_BTNFACE), black);
    r = CRect(r.left + 1, r.top + 1, r.right - 2, r.bottom - 1);
    Draw3dRect(dc, r, ::GetSysColor(COLOR_BTNHIGHLIGHT), ::GetSysColor(COLOR_BTNSHADOW));
    r = CRect(r.left + 6, r.top + 6, r.right - 6, r.bottom - 6);
    Draw3dRect(dc, r, ::GetSysColor(COLOR_BTNSHADOW), ::GetSysColor(COLOR_BTNHIGHLIGHT));
    r = CRect(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1);
    Draw3dRect(dc, r, black, black);
}

void CMainDlg::SetView(int nTab)
{
    static const int views[] = {LVS_REPORT, LVS_ICON, LVS_SMALLICON};
    if (nTab >= 0 && nTab < 3 && m_list.m_hWnd) {
        m_list.SetViewEx(views[nTab]);
        // The old view's pixels must not stay behind the new one's.
        m_list.RedrawWindow(nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }
}

void CMainDlg::Activate(BOOL bActive)
{
    if (bActive) {
        LoadResizePlacements("", kProfileCard);
        RefillList(GetCurrentRecord());
    } else {
        SaveResizePlacements("", kProfileCard);
    }
}

// ---------------------------------------------------------- open and save

void CMainDlg::OpenDataFile(const CString& strUserName, const CString& strDataFile)
{
    m_undoList.clear();
    // The items name records of the table about to be read again.
    m_list.SendMessage(WM_SETREDRAW, FALSE);
    m_list.DeleteAllItems();
    m_list.SendMessage(WM_SETREDRAW, TRUE);
    m_list.RedrawWindow(nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    if (strUserName != m_strUserName)
        ClearPassword();
    m_strUserName = strUserName;
    m_strDataFile = strDataFile;

    CString strPrefs = strDataFile;
    CPrefsTable::ReplaseBaseName(strPrefs, kPrefsFileName);
    m_prefs.OpenFrom(strPrefs, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite);
    m_bModified = FALSE;
    m_bSaveFailureShown = FALSE;
    m_bFindEnd = TRUE;
    m_pFindRecord = nullptr;

    m_bFileOpen = FALSE;
    LONG result = TableCannotOpen;
    // No user, no file: the view stays empty.
    while (!strUserName.IsEmpty() && !strDataFile.IsEmpty()) {
        m_pCategoryMgr = nullptr;
        CString strPath = m_strDataFile;
        try {
            result = m_table.OpenFrom(strPath, CFile::modeReadWrite, m_strPassword);
        } catch (...) {
            result = TableCannotOpen;
        }
        if (result == TableOK) {
            m_pCategoryMgr = m_table.GetCategoryManager();
            break;
        }
        if (result != TableBadPassword)
            break;
        CPasswdDlg dlg(this);
        dlg.m_strUserName = m_strUserName;
        dlg.m_strPassword = m_strPassword;
        m_table.GetPasswdHint(dlg.m_strHint);
        const INT_PTR answer = dlg.DoModal();
        if (answer == IDOK) {
            ClearPassword();
            m_strPassword = dlg.m_strPassword;
        }
        WipeString(dlg.m_strPassword);
        if (answer != IDOK)
            break;
    }
    m_bFileOpen = result == TableOK;
    EnableWindow(m_bFileOpen);
    SetupCategoryBox();
    RefillList(GetCurrentRecord());
}

void CMainDlg::SaveDataFile()
{
    m_prefs.Save();
    if (!m_bModified || !m_bFileOpen)
        return;
    LONG result;
    try {
        result = m_table.Save();
    } catch (...) {
        result = TableCannotOpen;
    }
    if (result == TableOK) {
        m_bSaveFailureShown = FALSE;
        return;
    }
    // The file is as it was and the changes are still here; the next save
    // request tries again. One message per run of failures is enough.
    if (!m_bSaveFailureShown) {
        m_bSaveFailureShown = TRUE;
        CComn::MessageBoxA(IDS_SAVE_FAILED, IDS_CAPTION, MB_OK | MB_ICONEXCLAMATION);
    }
}

void CMainDlg::SetupCategoryBox()
{
    CComn::SetupCategoryList(&m_cboCategory, m_bFileOpen ? m_pCategoryMgr : nullptr,
                             static_cast<unsigned long>(GetCurrentCategory()), TRUE);
}

// ------------------------------------------------------ list and preview

NorvaneCommon::CTessalyRecord* CMainDlg::FindRecord(int nIndex, BOOL bSkipDeleted)
{
    if (!m_bFileOpen || nIndex < 0)
        return nullptr;
    // Record indexes are positions in the table; look there first.
    CGenRecord* pRecord = m_table.GetRecord(nIndex);
    if (!pRecord || static_cast<int>(pRecord->GetIndex()) != nIndex) {
        pRecord = nullptr;
        for (int i = 0; i < m_table.GetRecordCount(); ++i) {
            CGenRecord* p = m_table.GetRecord(i);
            if (p && static_cast<int>(p->GetIndex()) == nIndex) {
                pRecord = p;
                break;
            }
        }
    }
    if (!pRecord || (bSkipDeleted && pRecord->IsDeleted()))
        return nullptr;
    return static_cast<CTessalyRecord*>(pRecord);
}

void CMainDlg::SplitLines(const CString& strMemo, CString& strFirst, CString& strSecond)
{
    const int cr = strMemo.Find('\r');
    strFirst = cr < 0 ? strMemo : strMemo.Left(cr);
    const int lf = strMemo.Find('\n');
    if (lf < 0) {
        strSecond.Empty();
        return;
    }
    const int next = strMemo.Find('\r', lf + 1);
    strSecond = next < 0 ? strMemo.Mid(lf + 1) : strMemo.Mid(lf + 1, next - lf - 1);
}

CString CMainDlg::CategoryName(DWORD dwCategory)
{
    CCategory* pCategory = nullptr;
    if (m_pCategoryMgr && m_pCategoryMgr->FindIndex(static_cast<int>(dwCategory), pCategory) == CatErrNone && pCategory)
        return pCategory->GetName();
    return CString();
}

void CMainDlg::PrepareItemColumns()
{
    // A shown column's control index counts the shown columns of lower id.
    int ids[3] = {}, visible[3] = {};
    int shown[3] = {1, 1, 1};
    if (m_list.GetOrderVisibleArray(ids, visible, 3)) {
        shown[0] = shown[1] = shown[2] = 0;
        for (int i = 0; i < 3; ++i)
            if (visible[i] && ids[i] >= 0 && ids[i] < 3)
                shown[ids[i]] = 1;
    }
    int index = 0;
    for (int id = 0; id < 3; ++id)
        m_nControlIndex[id] = shown[id] ? index++ : -1;
    for (int i = 0; i < 16; ++i)
        m_strCategoryNames[i] = CategoryName(static_cast<DWORD>(i));
}

int CMainDlg::AddItem(CTessalyRecord* pRecord)
{
    // The texts come from the record when the list shows them (ItemText),
    // so an item costs no copies and always shows the record as it is.
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = m_list.GetItemCount();
    item.pszText = LPSTR_TEXTCALLBACKA;
    item.iImage = 0;
    item.lParam = static_cast<LPARAM>(pRecord->GetIndex());
    return static_cast<int>(m_list.SendMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void CMainDlg::ItemText(int nIndex, int nSubItem, char* pszBuffer, int nMax)
{
    if (!pszBuffer || nMax <= 0)
        return;
    pszBuffer[0] = '\0';
    int nColumn = -1;
    for (int id = 0; id < 3; ++id)
        if (m_nControlIndex[id] == nSubItem)
            nColumn = id;
    CTessalyRecord* pRecord = FindRecord(nIndex, FALSE);
    if (!pRecord || nColumn < 0)
        return;
    CString strFirst, strSecond;
    const char* pszText = "";
    if (nColumn == ColCategory) {
        const DWORD dwCategory = pRecord->GetCategory();
        pszText = dwCategory < 16 ? m_strCategoryNames[dwCategory].GetString() : "";
    } else {
        SplitLines(pRecord->GetMemo(), strFirst, strSecond);
        pszText = nColumn == ColContent ? strFirst.GetString() : strSecond.GetString();
    }
    // Cut at a character boundary when the list's buffer is short.
    const int length = static_cast<int>(std::strlen(pszText));
    const int n = CutLength(pszText, length, nMax - 1);
    std::memcpy(pszBuffer, pszText, static_cast<size_t>(std::min(n, length)));
    pszBuffer[std::min(n, length)] = '\0';
}

int CMainDlg::FindItem(int nIndex) const
{
    if (nIndex < 0)
        return -1;
    const int count = m_list.GetItemCount();
    for (int i = 0; i < count; ++i)
        if (static_cast<int>(m_list.GetItemData(i)) == nIndex)
            return i;
    return -1;
}

void CMainDlg::RefillList(int nSelectIndex)
{
    if (!m_hWnd)
        return;
    int nFilter = GetCurrentCategory();
    const int nSel = m_cboCategory.GetCurSel();
    if (nSel != CB_ERR) {
        const int data = static_cast<int>(m_cboCategory.GetItemData(nSel));
        if (data != kEditCategoriesEntry)
            nFilter = data;
    }

    m_list.SendMessage(WM_SETREDRAW, FALSE);
    m_list.DeleteAllItems();
    if (!m_bFileOpen) {
        // Nothing listed and nothing previewed; the stored choices stay.
        m_list.SendMessage(WM_SETREDRAW, TRUE);
        m_list.RedrawWindow(nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
        m_edtPreview.SetWindowText("");
        if (CWnd* pEdit = GetDlgItem(IDC_EDIT))
            pEdit->EnableWindow(FALSE);
        PostStatus(-1);
        return;
    }
    m_iterAlpha.SortByAlphabetical();
    PrepareItemColumns();
    int nFound = -1;
    CGenRecord* pRecord = nullptr;
    for (LONG rc = m_iterAlpha.FindFirst(pRecord, TRUE); rc == 0 && pRecord; rc = m_iterAlpha.FindNext(pRecord, TRUE)) {
        if (nFilter != kAllCategories && static_cast<int>(pRecord->GetCategory()) != nFilter)
            continue;
        const int n = AddItem(static_cast<CTessalyRecord*>(pRecord));
        if (nFound < 0 && n >= 0 && static_cast<int>(pRecord->GetIndex()) == nSelectIndex)
            nFound = n;
    }
    m_list.SendMessage(WM_SETREDRAW, TRUE);
    m_list.RedrawWindow(nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);

    if (nFound >= 0) {
        Preview(nSelectIndex);
        m_list.SetFocus();
        m_list.SetSelectionMark(nFound);
        m_list.SetItemState(nFound, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        m_list.EnsureVisible(nFound, FALSE);
    } else {
        Preview(-1);
    }
    m_prefs.m_nCategoryFilter = nFilter;
}

void CMainDlg::Preview(int nIndex)
{
    CTessalyRecord* pRecord = nIndex == -1 ? nullptr : FindRecord(nIndex, TRUE);
    CWnd* pEdit = GetDlgItem(IDC_EDIT);
    int nPosition = -1;
    if (!pRecord) {
        nIndex = -1;
        m_edtPreview.SetWindowText("");
        if (pEdit)
            pEdit->EnableWindow(FALSE);
    } else {
        m_edtPreview.SetWindowText(pRecord->GetMemo());
        if (pEdit)
            pEdit->EnableWindow(TRUE);
        nPosition = FindItem(nIndex);
    }
    m_prefs.m_nSelectedIndex = nIndex;
    PostStatus(nPosition);
}

void CMainDlg::PostStatus(int nPosition)
{
    HWND hParent = ::GetParent(m_hWnd);
    if (hParent)
        ::PostMessageA(hParent, WM_STATUSMESSAGE, static_cast<WPARAM>(nPosition),
                       static_cast<LPARAM>(m_list.GetItemCount()));
}

void CMainDlg::PreviewFirstSelected()
{
    const int n = m_list.GetNextItem(-1, LVNI_SELECTED);
    Preview(n < 0 ? -1 : static_cast<int>(m_list.GetItemData(n)));
}

void CMainDlg::RemoveItem(int nItem)
{
    const int nIndex = static_cast<int>(m_list.GetItemData(nItem));
    m_list.DeleteItem(nItem);
    // A memo that left the list is no longer offered for editing.
    if (nIndex == GetCurrentRecord())
        Preview(-1);
    else
        PostStatus(FindItem(GetCurrentRecord()));
}

// ------------------------------------------------------------ messages

BOOL CMainDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT nID = LOWORD(wParam);
    const UINT nCode = HIWORD(wParam);
    // Enter and Escape do not close the view.
    if (nID == IDOK || nID == IDCANCEL)
        return TRUE;
    if (lParam) {
        if (nID == IDC_CATEGORY) {
            if (nCode == CBN_SELCHANGE)
                OnCategoryChanged();
            return TRUE;
        }
        if ((nID == IDC_NEW || nID == IDC_EDIT) && nCode == BN_CLICKED) {
            RunCommand(nID);
            return TRUE;
        }
        return CResizeDialog::OnCommand(wParam, lParam);
    }
    RunCommand(nID);
    return TRUE;
}

BOOL CMainDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const NMHDR* pHdr = reinterpret_cast<const NMHDR*>(lParam);
    if (!pHdr || pHdr->hwndFrom != m_list.m_hWnd)
        return CResizeDialog::OnNotify(wParam, lParam, pResult);
    switch (pHdr->code) {
    case LVN_GETDISPINFOA: {
        NMLVDISPINFOA* pInfo = reinterpret_cast<NMLVDISPINFOA*>(lParam);
        if (pInfo->item.mask & LVIF_TEXT)
            ItemText(static_cast<int>(m_list.GetItemData(pInfo->item.iItem)), pInfo->item.iSubItem, pInfo->item.pszText,
                     pInfo->item.cchTextMax);
        break;
    }
    case NM_CLICK: {
        PreviewFirstSelected();
        const NMITEMACTIVATE* pAct = reinterpret_cast<const NMITEMACTIVATE*>(lParam);
        LVHITTESTINFO hit = {};
        hit.pt = pAct->ptAction;
        const int nItem = static_cast<int>(m_list.SendMessage(LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
        const int nCategoryIndex = m_nControlIndex[ColCategory];
        if (nItem >= 0 && m_list.GetViewEx() == LVS_REPORT && nCategoryIndex >= 0 && hit.iSubItem == nCategoryIndex) {
            CPoint pt(pAct->ptAction.x, pAct->ptAction.y);
            m_list.ClientToScreen(&pt);
            ShowCategoryMenu(pt);
        }
        break;
    }
    case NM_DBLCLK:
        PreviewFirstSelected();
        RunCommand(m_list.GetNextItem(-1, LVNI_SELECTED) >= 0 ? ID_EDIT_MEMO : ID_NEW_MEMO);
        break;
    case NM_RCLICK:
        PreviewFirstSelected();
        break;
    case LVN_KEYDOWN:
        OnListKeyDown(reinterpret_cast<const NMLVKEYDOWN*>(lParam)->wVKey);
        break;
    default:
        return CResizeDialog::OnNotify(wParam, lParam, pResult);
    }
    *pResult = 0;
    return TRUE;
}

void CMainDlg::OnListKeyDown(UINT nVKey)
{
    int nFlags;
    switch (nVKey) {
    case VK_UP: nFlags = LVNI_ABOVE; break;
    case VK_DOWN: nFlags = LVNI_BELOW; break;
    case VK_LEFT: nFlags = LVNI_TOLEFT; break;
    case VK_RIGHT: nFlags = LVNI_TORIGHT; break;
    default: return;
    }
    const int nFirst = m_list.GetNextItem(-1, LVNI_SELECTED);
    if (nFirst < 0)
        return;
    const int nNext = m_list.GetNextItem(nFirst, nFlags);
    if (nNext >= 0 && nNext != nFirst)
        Preview(static_cast<int>(m_list.GetItemData(nNext)));
}

LRESULT CMainDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CONTEXTMENU: {
        HWND hFrom = reinterpret_cast<HWND>(wParam);
        CPoint pt(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        CHeaderCtrl* pHeader = m_list.GetHeaderCtrl();
        HWND hHeader = pHeader ? pHeader->m_hWnd : nullptr;
        CRect rcHeader;
        if (hHeader)
            ::GetWindowRect(hHeader, &rcHeader);
        if (hHeader && (hFrom == hHeader || (hFrom == m_list.m_hWnd && m_list.GetViewEx() == LVS_REPORT
                                             && rcHeader.PtInRect(pt)))) {
            m_list.DoContextMenu(pt, ID_SHOW_COLUMNS, ID_HIDE_COLUMN, this);
            return 0;
        }
        if (hFrom == m_list.m_hWnd) {
            ShowContextMenu(pt);
            return 0;
        }
        break;
    }
    case WM_INITMENUPOPUP:
        UpdateMenuStates(reinterpret_cast<HMENU>(wParam));
        return 0;
    case WM_CTLCOLORSTATIC:
        // The read-only preview reads like paper, not like a disabled field.
        if (reinterpret_cast<HWND>(lParam) == m_edtPreview.m_hWnd) {
            HDC hDC = reinterpret_cast<HDC>(wParam);
            ::SetTextColor(hDC, ::GetSysColor(COLOR_WINDOWTEXT));
            ::SetBkColor(hDC, ::GetSysColor(COLOR_WINDOW));
            return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
        }
        break;
    default:
        if (message == CTabLinkCtrl::WM_TABCHANGED) {
            SetView(static_cast<int>(wParam));
            return 0;
        }
        break;
    }
    return CResizeDialog::WindowProc(message, wParam, lParam);
}

BOOL CMainDlg::PreTranslateMessage(MSG* pMsg)
{
    if (!pMsg || !m_hWnd)
        return FALSE;
    if (pMsg->message == WM_SYSKEYDOWN) {
        int nTab = -1;
        switch (pMsg->wParam) {
        case 'L': nTab = 0; break;
        case 'R': nTab = 1; break;
        case 'C': nTab = 2; break;
        default: break;
        }
        if (nTab >= 0) {
            m_tab.SetCurSel(nTab);
            SetView(nTab);
            return TRUE;
        }
    }
    return ::IsDialogMessageA(m_hWnd, pMsg);
}

// ------------------------------------------------------------- menus

void CMainDlg::UpdateMenuStates(HMENU hMenu)
{
    const int count = ::GetMenuItemCount(hMenu);
    for (int i = 0; i < count; ++i) {
        const UINT nID = ::GetMenuItemID(hMenu, i);
        if (nID == 0 || nID == static_cast<UINT>(-1))
            continue;
        int bHandled, bEnabled, bChecked, nReserved;
        GetCommandState(nID, bHandled, bEnabled, bChecked, nReserved);
        if (!bHandled)
            continue;
        ::EnableMenuItem(hMenu, nID, MF_BYCOMMAND | (bEnabled ? MF_ENABLED : MF_GRAYED));
        ::CheckMenuItem(hMenu, nID, MF_BYCOMMAND | (bChecked ? MF_CHECKED : MF_UNCHECKED));
    }
}

void CMainDlg::AppendCategoryCommands(HMENU hMenu)
{
    const int count = m_cboCategory.GetCount();
    for (int i = 0; i < count; ++i) {
        const int data = static_cast<int>(m_cboCategory.GetItemData(i));
        if (data == kAllCategories || data == kEditCategoriesEntry || data < 0 || data > 15)
            continue;
        CString text;
        m_cboCategory.GetLBText(i, text);
        ::AppendMenuA(hMenu, MF_STRING, ID_MOVE_CATEGORY_FIRST + data, text);
    }
}

HMENU CMainDlg::BuildContextMenu(CMenu& menu, CPoint ptScreen)
{
    LVHITTESTINFO hit = {};
    hit.pt = ptScreen;
    m_list.ScreenToClient(&hit.pt);
    const int nItem = static_cast<int>(m_list.SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (!menu.LoadMenu(IDR_CONTEXTMENU))
        return nullptr;
    HMENU hPopup = ::GetSubMenu(menu.m_hMenu, nItem >= 0 ? 0 : 1);
    if (!hPopup)
        return nullptr;
    if (nItem >= 0) {
        HMENU hCategories = ::CreatePopupMenu();
        if (hCategories) {
            AppendCategoryCommands(hCategories);
            ::AppendMenuA(hPopup, MF_POPUP, reinterpret_cast<UINT_PTR>(hCategories), Res(IDS_CATEGORY_MENU));
        }
    }
    UpdateMenuStates(hPopup);
    return hPopup;
}

void CMainDlg::ShowContextMenu(CPoint ptScreen)
{
    if (ptScreen.x == -1 && ptScreen.y == -1) {
        // From the keyboard: at the first selected memo, or the list's corner.
        CRect rect(0, 0, 0, 0);
        const int n = m_list.GetNextItem(-1, LVNI_SELECTED);
        if (n >= 0) {
            rect.left = LVIR_LABEL;
            m_list.SendMessage(LVM_GETITEMRECT, n, reinterpret_cast<LPARAM>(&rect));
        }
        ptScreen = CPoint(rect.left + 4, rect.top + 4);
        m_list.ClientToScreen(&ptScreen);
    }
    CMenu menu;
    HMENU hPopup = BuildContextMenu(menu, ptScreen);
    if (hPopup)
        ::TrackPopupMenu(hPopup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, ptScreen.x, ptScreen.y, 0, m_hWnd, nullptr);
}

void CMainDlg::ShowCategoryMenu(CPoint ptScreen)
{
    CMenu menu;
    if (!menu.CreatePopupMenu())
        return;
    AppendCategoryCommands(menu.m_hMenu);
    menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, ptScreen.x, ptScreen.y, this);
}

// ----------------------------------------------------------- commands

void CMainDlg::GetCommandState(UINT nID, int& bHandled, int& bEnabled, int& bChecked, int& nReserved)
{
    bHandled = 1;
    bEnabled = 0;
    bChecked = 0;
    nReserved = 0;
    const BOOL bPreviewFocus = m_edtPreview.m_hWnd && ::GetFocus() == m_edtPreview.m_hWnd;
    if (bPreviewFocus) {
        switch (nID) {
        case ID_EDIT_COPY_CMD: {
            int nStart = 0, nEnd = 0;
            m_edtPreview.GetSel(nStart, nEnd);
            bEnabled = nStart != nEnd;
            break;
        }
        case ID_EDIT_SELECT_ALL_CMD:
            bEnabled = 1;
            break;
        case ID_DELETE_MEMO:
        case ID_EDIT_CUT_CMD:
        case ID_EDIT_PASTE_CMD:
        case ID_EDIT_UNDO_CMD:
            break;
        default:
            bHandled = 0;
            break;
        }
        return;
    }
    const int count = m_list.m_hWnd ? m_list.GetItemCount() : 0;
    switch (nID) {
    case ID_DELETE_MEMO:
    case IDC_EDIT:
    case ID_EDIT_MEMO:
    case ID_EDIT_COPY_CMD:
    case ID_EDIT_CUT_CMD:
        bEnabled = count > 0 && GetCurrentRecord() != -1;
        break;
    case ID_EDIT_PASTE_CMD:
        // Nothing is pasted into a file that is not open.
        bEnabled = m_bFileOpen && ::IsClipboardFormatAvailable(CF_TEXT);
        break;
    case ID_EDIT_SELECT_ALL_CMD:
        bEnabled = count > 0;
        break;
    case ID_EDIT_UNDO_CMD:
        bEnabled = !m_undoList.empty();
        break;
    default:
        bHandled = 0;
        break;
    }
}

void CMainDlg::RunCommand(UINT nID)
{
    if (nID == ID_SHOW_COLUMNS) {
        ShowColumns();
        return;
    }
    if (nID == ID_HIDE_COLUMN) {
        OnHideColumn();
        return;
    }
    // Every other command works on the open file.
    if (!m_bFileOpen)
        return;
    switch (nID) {
    case IDC_NEW:
    case ID_NEW_MEMO:
        OnNewMemo();
        break;
    case IDC_EDIT:
    case ID_EDIT_MEMO:
        OnEditMemo();
        break;
    case ID_DELETE_MEMO:
        OnDelete();
        break;
    case ID_EDIT_CUT_CMD:
        OnCut();
        break;
    case ID_EDIT_COPY_CMD:
        OnCopy();
        break;
    case ID_EDIT_PASTE_CMD:
        OnPaste();
        break;
    case ID_EDIT_UNDO_CMD:
        OnUndo();
        break;
    case ID_EDIT_SELECT_ALL_CMD:
        OnSelectAll();
        break;
    default:
        if (nID >= ID_MOVE_CATEGORY_FIRST && nID <= ID_MOVE_CATEGORY_LAST)
            OnMoveToCategory(static_cast<int>(nID) - ID_MOVE_CATEGORY_FIRST);
        break;
    }
}

void CMainDlg::OnNewMemo()
{
    RunEditor(-1);
}

void CMainDlg::OnEditMemo()
{
    if (GetCurrentRecord() != -1)
        RunEditor(GetCurrentRecord());
}

void CMainDlg::RunEditor(int nIndex)
{
    // A memo that was deleted or cut meanwhile is not edited.
    if (nIndex != -1 && !FindRecord(nIndex, TRUE))
        return;
    // Owned by the view, so that Palm Desktop's window waits for it and the
    // memo cannot be deleted underneath the editor.
    CEditRecordDlg dlg(this);
    dlg.m_nRecordIndex = nIndex;
    dlg.m_nCategory = static_cast<unsigned long>(GetCurrentCategory());
    dlg.m_pTable = &m_table;
    dlg.DoModal();
    m_bModified = TRUE;
    if (dlg.m_nRecordIndex != -1)
        RefillList(dlg.m_nRecordIndex);
}

void CMainDlg::OnDelete()
{
    if (m_list.GetNextItem(-1, LVNI_SELECTED) < 0)
        return;
    if (CComn::MessageBoxA(IDS_CONFIRM_DELETE, IDS_DELETE_CAPTION, MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return;
    m_undoList.clear();
    for (int n = m_list.GetNextItem(-1, LVNI_SELECTED); n >= 0; n = m_list.GetNextItem(n - 1, LVNI_SELECTED)) {
        const int nIndex = static_cast<int>(m_list.GetItemData(n));
        if (CTessalyRecord* pRecord = FindRecord(nIndex, FALSE)) {
            pRecord->SetDeleted(1);
            m_bModified = TRUE;
            m_undoList.push_back(nIndex);
        }
        RemoveItem(n);
    }
}

void CMainDlg::OnUndo()
{
    if (m_undoList.empty())
        return;
    for (int nIndex : m_undoList) {
        if (CTessalyRecord* pRecord = FindRecord(nIndex, FALSE)) {
            pRecord->SetDeleted(0);
            m_bModified = TRUE;
        }
    }
    RefillList(GetCurrentRecord());
    m_list.SetFocus();
    int nLast = -1;
    const int count = m_list.GetItemCount();
    for (int i = 0; i < count; ++i) {
        const int nIndex = static_cast<int>(m_list.GetItemData(i));
        const bool bRestored = std::find(m_undoList.begin(), m_undoList.end(), nIndex) != m_undoList.end();
        m_list.SetItemState(i, bRestored ? LVIS_SELECTED : 0, LVIS_SELECTED);
        if (bRestored)
            nLast = nIndex;
    }
    m_undoList.clear();
    if (nLast != -1)
        Preview(nLast);
}

void CMainDlg::OnCut()
{
    // The preview is read-only: nothing to cut there.
    if (::GetFocus() == m_edtPreview.m_hWnd)
        return;
    OnCopy();
    for (int n = m_list.GetNextItem(-1, LVNI_SELECTED); n >= 0; n = m_list.GetNextItem(n - 1, LVNI_SELECTED)) {
        if (CTessalyRecord* pRecord = FindRecord(static_cast<int>(m_list.GetItemData(n)), FALSE)) {
            pRecord->SetDeleted(1);
            m_bModified = TRUE;
        }
        RemoveItem(n);
    }
}

void CMainDlg::OnCopy()
{
    if (::GetFocus() == m_edtPreview.m_hWnd) {
        m_edtPreview.SendMessage(WM_COPY);
        return;
    }
    CString text;
    bool bFirst = true;
    for (int n = m_list.GetNextItem(-1, LVNI_SELECTED); n >= 0; n = m_list.GetNextItem(n, LVNI_SELECTED)) {
        CTessalyRecord* pRecord = FindRecord(static_cast<int>(m_list.GetItemData(n)), TRUE);
        if (!pRecord)
            continue;
        if (!bFirst)
            text += '\f';
        text += pRecord->GetMemo();
        bFirst = false;
    }
    const SIZE_T size = static_cast<SIZE_T>(text.GetLength()) + 1;
    HGLOBAL hMem = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size);
    if (!hMem)
        return;
    if (void* p = ::GlobalLock(hMem)) {
        std::memcpy(p, text.GetString(), size);
        ::GlobalUnlock(hMem);
    } else {
        ::GlobalFree(hMem);
        return;
    }
    if (!::OpenClipboard(m_hWnd)) {
        ::GlobalFree(hMem);
        return;
    }
    if (!::EmptyClipboard() || !::SetClipboardData(CF_TEXT, hMem))
        ::GlobalFree(hMem);
    ::CloseClipboard();
}

void CMainDlg::OnPaste()
{
    CString text;
    if (!::OpenClipboard(m_hWnd))
        return;
    if (HGLOBAL hMem = ::GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(::GlobalLock(hMem))) {
            // Never past the block, terminated or not.
            const SIZE_T size = ::GlobalSize(hMem);
            const char* end = static_cast<const char*>(std::memchr(p, '\0', size));
            text = CString(p, static_cast<int>(end ? end - p : static_cast<ptrdiff_t>(size)));
            ::GlobalUnlock(hMem);
        }
    }
    ::CloseClipboard();
    if (text.IsEmpty())
        return;

    const int nCategory = GetCurrentCategory() == kAllCategories ? 0 : GetCurrentCategory();
    PrepareItemColumns();
    bool bAdded = false;
    const char* p = text.GetString();
    const int length = text.GetLength();
    int start = 0;
    while (start <= length) {
        int stop = start;
        while (stop < length && p[stop] != '\f')
            ++stop;
        // Form feeds are single-byte characters outside every trail byte
        // range, so a byte scan finds only real ones.
        int pos = start;
        while (pos < stop) {
            const int n = CutLength(p + pos, stop - pos, kMaxPastePart);
            CTessalyRecord* pRecord = new CTessalyRecord;
            pRecord->SetMemo(CString(p + pos, n));
            pRecord->SetCategory(static_cast<DWORD>(nCategory));
            pRecord->SetUpdate(1);
            m_table.AppendRecord(pRecord);
            AddItem(pRecord);
            bAdded = true;
            pos += n;
        }
        start = stop + 1;
    }
    if (bAdded) {
        m_iterAlpha.SortByAlphabetical();
        m_bModified = TRUE;
        PostStatus(FindItem(GetCurrentRecord()));
    }
}

void CMainDlg::OnSelectAll()
{
    if (::GetFocus() == m_edtPreview.m_hWnd) {
        m_edtPreview.SetSel(0, -1, FALSE);
        return;
    }
    m_list.SetFocus();
    m_list.SetItemState(-1, LVIS_SELECTED, LVIS_SELECTED);
}

void CMainDlg::OnMoveToCategory(int nCategory)
{
    const int nCurrent = GetCurrentCategory();
    int n = m_list.GetNextItem(-1, LVNI_SELECTED);
    while (n >= 0) {
        CTessalyRecord* pRecord = FindRecord(static_cast<int>(m_list.GetItemData(n)), TRUE);
        if (pRecord) {
            pRecord->SetCategory(static_cast<DWORD>(nCategory));
            pRecord->SetUpdate(1);
            m_bModified = TRUE;
        }
        if (pRecord && nCurrent != kAllCategories && nCurrent != nCategory) {
            RemoveItem(n);
            n = m_list.GetNextItem(n - 1, LVNI_SELECTED);
        } else {
            m_list.SendMessage(LVM_REDRAWITEMS, n, n);
            n = m_list.GetNextItem(n, LVNI_SELECTED);
        }
    }
}

void CMainDlg::OnHideColumn()
{
    const int nColumn = m_list.GetLastSelectedColumn();
    if (nColumn > 0 || (nColumn == 0 && m_list.GetColumnCount() > 1)) {
        m_list.RemoveColumn(nColumn);
        PrepareItemColumns();
        m_list.Invalidate();
    }
}

void CMainDlg::OnCategoryChanged()
{
    const int nSel = m_cboCategory.GetCurSel();
    if (nSel == CB_ERR)
        return;
    if (static_cast<int>(m_cboCategory.GetItemData(nSel)) == kEditCategoriesEntry) {
        EditCategories();
        return;
    }
    RefillList(GetCurrentRecord());
}

void CMainDlg::EditCategories()
{
    if (!m_bFileOpen) {
        SetupCategoryBox();
        return;
    }
    CEditCategoryDlg dlg(this);
    dlg.SetCurrentIndex(static_cast<unsigned long>(GetCurrentCategory()));
    dlg.SetTable(&m_table);
    dlg.DoModal();
    if (dlg.IsModified())
        m_bModified = TRUE;
    m_prefs.m_nCategoryFilter = static_cast<int>(dlg.m_nCurrentIndex);
    SetupCategoryBox();
    RefillList(GetCurrentRecord());
}

void CMainDlg::ShowColumns()
{
    NorvaneCommon::CShowColumnsDlg dlg(this);
    dlg.SetTargetListCtrl(&m_list);
    if (dlg.DoModal() == IDOK)
        RefillList(GetCurrentRecord());
}

// ---------------------------------------------------------------- find

void CMainDlg::FindStart(const CString& strText, BOOL bMatchCase, BOOL bWholeWord)
{
    m_strFindText = strText;
    m_bFindMatchCase = bMatchCase;
    m_bFindWholeWord = bWholeWord;
    if (!m_bFindMatchCase)
        m_strFindText.MakeLower();
    m_pFindRecord = nullptr;
    m_bFindEnd = TRUE;
    if (!m_bFileOpen)
        return;
    m_iterFind.SortByRecordIndex();
    CGenRecord* pRecord = nullptr;
    if (m_iterFind.FindFirst(pRecord, TRUE) == 0 && pRecord) {
        m_pFindRecord = pRecord;
        m_bFindEnd = FALSE;
    }
}

BOOL CMainDlg::FindNext(CString& strFirstLine, CString& strSecondLine, int& nRecordIndex)
{
    BOOL bFound = FALSE;
    while (!m_bFindEnd && m_pFindRecord) {
        // A memo deleted since the search started is skipped.
        if (!m_pFindRecord->IsDeleted()) {
            const CString& strMemo = static_cast<CTessalyRecord*>(m_pFindRecord)->GetMemo();
            if (m_bFindMatchCase) {
                bFound = strMemo.Find(m_strFindText) >= 0;
            } else {
                CString strLower = strMemo;
                strLower.MakeLower();
                bFound = strLower.Find(m_strFindText) >= 0;
            }
            if (bFound) {
                SplitLines(strMemo, strFirstLine, strSecondLine);
                nRecordIndex = static_cast<int>(m_pFindRecord->GetIndex());
            }
        }
        CGenRecord* pNext = nullptr;
        if (m_iterFind.FindNext(pNext, TRUE) == 0 && pNext) {
            m_pFindRecord = pNext;
        } else {
            m_pFindRecord = nullptr;
            m_bFindEnd = TRUE;
        }
        if (bFound)
            break;
    }
    return bFound;
}

void CMainDlg::FindGoTo(int nRecordIndex, BOOL bShow)
{
    CTessalyRecord* pRecord = FindRecord(nRecordIndex, TRUE);
    if (!pRecord)
        return;
    const int nCategory = static_cast<int>(pRecord->GetCategory());
    if (GetCurrentCategory() != kAllCategories && GetCurrentCategory() != nCategory) {
        const int count = m_cboCategory.GetCount();
        for (int i = 0; i < count; ++i) {
            if (static_cast<int>(m_cboCategory.GetItemData(i)) == nCategory) {
                m_cboCategory.SetCurSel(i);
                break;
            }
        }
    }
    if (bShow)
        RefillList(nRecordIndex);
    else
        m_prefs.m_nSelectedIndex = nRecordIndex;
}
