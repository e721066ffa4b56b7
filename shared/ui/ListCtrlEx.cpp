#include "ListCtrlEx.h"

#include "NvComnRes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace NorvaneCommon {

namespace {

std::vector<CString> SplitAtBlanks(const CString& text)
{
    std::vector<CString> tokens;
    const char* p = text;
    while (*p) {
        while (*p == ' ')
            ++p;
        const char* start = p;
        while (*p && *p != ' ')
            ++p;
        if (p > start)
            tokens.push_back(CString(start, static_cast<int>(p - start)));
    }
    return tokens;
}

// The whole token as a decimal integer.
bool ReadDecimal(const CString& token, int& value)
{
    int used = -1;
    return std::sscanf(token, "%d%n", &value, &used) == 1 && used == token.GetLength();
}

} // namespace

CListCtrlEx::CListCtrlEx() : m_nLastHeaderItem(-1) {}

CListCtrlEx::~CListCtrlEx() {}

CListCtrlEx::CColumnData* CListCtrlEx::Find(int nColumnID)
{
    for (CColumnData& c : m_columns)
        if (c.nColumnID == nColumnID)
            return &c;
    return nullptr;
}

int CListCtrlEx::ControlIndex(int nColumnID)
{
    SortColumnPlacementArray();
    int index = 0;
    for (const CColumnData& c : m_columns) {
        if (!c.bVisible)
            break;
        if (c.nColumnID == nColumnID)
            return index;
        ++index;
    }
    return -1;
}

int CListCtrlEx::InsertColumn(int nCol, LPCSTR lpszColumnHeading, int nFormat, int nWidth, int nSubItem)
{
    int result = CListCtrl::InsertColumn(nCol, lpszColumnHeading, nFormat, nWidth, nSubItem);
    if (result < 0)
        return -1;
    CColumnData c;
    c.nColumnID = nCol;
    c.strLabel = lpszColumnHeading ? lpszColumnHeading : "";
    c.nFormat = nFormat;
    c.nWidth = nWidth;
    c.nSubItem = nSubItem;
    c.bVisible = TRUE;
    m_columns.push_back(c);
    return result;
}

BOOL CListCtrlEx::SetItemText(int nItem, int nColumnID, LPCSTR lpszText)
{
    if (!Find(nColumnID))
        return FALSE;
    if (!IsVisible(nColumnID))
        return TRUE;
    return CListCtrl::SetItemText(nItem, ControlIndex(nColumnID), lpszText);
}

int CListCtrlEx::GetColumnCount() const
{
    return static_cast<int>(m_columns.size());
}

int CListCtrlEx::GetColumnLabel(int nColumnID, CString& strLabel) const
{
    for (const CColumnData& c : m_columns) {
        if (c.nColumnID == nColumnID) {
            strLabel = c.strLabel;
            return 1;
        }
    }
    return 0;
}

int CListCtrlEx::IsVisible(int nColumnID) const
{
    for (const CColumnData& c : m_columns)
        if (c.nColumnID == nColumnID)
            return c.bVisible ? 1 : 0;
    return 1;
}

void CListCtrlEx::SortColumnPlacementArray()
{
    // Visible by ascending id, then the hidden ones in their present order.
    std::stable_sort(m_columns.begin(), m_columns.end(), [](const CColumnData& a, const CColumnData& b) {
        if (a.bVisible && b.bVisible)
            return a.nColumnID < b.nColumnID;
        return a.bVisible && !b.bVisible;
    });
}

void CListCtrlEx::RevertActualColumnPlacement()
{
    SortColumnPlacementArray();
    if (GetViewEx() != LVS_REPORT || !m_hWnd)
        return;
    CHeaderCtrl* pHeader = GetHeaderCtrl();
    int n = pHeader ? pHeader->GetItemCount() : 0;
    const int count = GetColumnCount();
    int visible = 0;
    for (const CColumnData& c : m_columns)
        visible += c.bVisible ? 1 : 0;
    // A header that does not hold exactly the visible columns cannot be
    // mapped onto the records; keep them as they are.
    if (n != visible)
        return;
    std::vector<int> order(static_cast<size_t>(n));
    if (n > 0 && !pHeader->GetOrderArray(order.data(), n))
        return;
    std::vector<CColumnData> result;
    for (int p = 0; p < count; ++p) {
        if (p < n) {
            if (order[p] < 0 || order[p] >= n)
                return;
            CColumnData c = m_columns[order[p]];
            c.nWidth = GetColumnWidth(order[p]);
            result.push_back(c);
        } else {
            result.push_back(m_columns[p]);
        }
    }
    m_columns = result;
}

int CListCtrlEx::RemoveColumn(int nColumnID)
{
    if (nColumnID == 0)
        return 0;
    int index = ControlIndex(nColumnID);
    CColumnData* c = Find(nColumnID);
    if (!c || !c->bVisible || index < 0)
        return 0;
    c->nWidth = GetColumnWidth(index);
    c->bVisible = FALSE;
    DeleteColumn(index);
    return 1;
}

int CListCtrlEx::GetOrderVisibleArray(int* pColumnIDs, int* pVisible, int nCount)
{
    if (nCount != GetColumnCount())
        return 0;
    RevertActualColumnPlacement();
    for (int i = 0; i < nCount; ++i) {
        pColumnIDs[i] = m_columns[i].nColumnID;
        pVisible[i] = m_columns[i].bVisible ? 1 : 0;
    }
    return 1;
}

int CListCtrlEx::SetOrderVisibleArray(int nCount, const int* pColumnIDs, const int* pVisible)
{
    if (nCount != GetColumnCount())
        return 0;
    std::vector<int> desired;
    for (int j = 0; j < nCount; ++j) {
        if (pVisible[j] != 1) {
            RemoveColumn(pColumnIDs[j]);
            continue;
        }
        CColumnData* c = Find(pColumnIDs[j]);
        if (!c)
            continue;
        desired.push_back(pColumnIDs[j]);
        if (!c->bVisible) {
            c->bVisible = TRUE;
            const CColumnData shown = *c;
            CListCtrl::InsertColumn(ControlIndex(shown.nColumnID), shown.strLabel, shown.nFormat, shown.nWidth,
                                    shown.nSubItem);
        }
    }
    SortColumnPlacementArray();
    int visible = 0;
    for (const CColumnData& c : m_columns)
        visible += c.bVisible ? 1 : 0;
    // A refused id 0 leaves a shown column out of the desired order; the
    // display order then stays as it is.
    if (static_cast<int>(desired.size()) == visible && visible > 0) {
        std::vector<int> order;
        for (int id : desired)
            order.push_back(ControlIndex(id));
        SetColumnOrderArray(visible, order.data());
    }
    return 1;
}

int CListCtrlEx::GetViewEx() const
{
    return static_cast<int>(GetStyle() & LVS_TYPEMASK);
}

int CListCtrlEx::SetViewEx(int nView)
{
    int previous = GetViewEx();
    if (nView != previous && previous == LVS_REPORT)
        RevertActualColumnPlacement();
    ModifyStyle(LVS_TYPEMASK, static_cast<DWORD>(nView) & LVS_TYPEMASK);
    return previous;
}

void CListCtrlEx::SaveColumnPlacement(LPCSTR lpszSection, LPCSTR lpszEntry)
{
    RevertActualColumnPlacement();
    CString shown, hidden, pair;
    int nShown = 0, nHidden = 0;
    for (const CColumnData& c : m_columns) {
        pair.Format("%i %i ", c.nColumnID, c.nWidth);
        if (c.bVisible) {
            shown += pair;
            ++nShown;
        } else {
            hidden += pair;
            ++nHidden;
        }
    }
    CString text;
    text.Format("(%i) %s(%i) %s", nShown, static_cast<LPCSTR>(shown), nHidden, static_cast<LPCSTR>(hidden));
    if (CWinApp* pApp = AfxGetApp())
        pApp->WriteProfileString(lpszSection, lpszEntry, text);
}

int CListCtrlEx::GetColumnPlacement(const std::vector<CString>& tokens, size_t& rPos,
                                    std::vector<CColumnData>& rRemaining, std::vector<CColumnData>& rResult,
                                    BOOL bVisible)
{
    if (rPos >= tokens.size())
        return 0;
    int k = 0, used = -1;
    const CString& head = tokens[rPos++];
    if (std::sscanf(head, "(%i)%n", &k, &used) != 1 || used != head.GetLength() || k < 0)
        return 0;
    for (int i = 0; i < k; ++i) {
        int id = 0, width = 0;
        if (rPos + 1 >= tokens.size() || !ReadDecimal(tokens[rPos], id) || !ReadDecimal(tokens[rPos + 1], width))
            return 0;
        rPos += 2;
        auto it = std::find_if(rRemaining.begin(), rRemaining.end(),
                               [id](const CColumnData& c) { return c.nColumnID == id; });
        if (it == rRemaining.end())
            return 0;
        CColumnData c = *it;
        c.nWidth = width;
        c.bVisible = bVisible;
        rRemaining.erase(it);
        rResult.push_back(c);
    }
    return 1;
}

void CListCtrlEx::LoadColumnPlacement(LPCSTR lpszSection, LPCSTR lpszEntry)
{
    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return;
    CString text = pApp->GetProfileString(lpszSection, lpszEntry);
    if (text.IsEmpty())
        return;
    std::vector<CString> tokens = SplitAtBlanks(text);
    std::vector<CColumnData> remaining = m_columns, result;
    size_t pos = 0;
    if (!GetColumnPlacement(tokens, pos, remaining, result, TRUE))
        return;
    const size_t visibleCount = result.size();
    if (!GetColumnPlacement(tokens, pos, remaining, result, FALSE))
        return;
    // A column the text does not name would stay in the control without a
    // record, and every later position would be off by it: refuse the text.
    if (!remaining.empty() || visibleCount == 0)
        return;

    // The columns in the control now, ascending by id.
    SortColumnPlacementArray();
    std::vector<int> present;
    for (const CColumnData& c : m_columns)
        if (c.bVisible)
            present.push_back(c.nColumnID);
    m_columns = result;

    auto indexOf = [&present](int id) {
        auto it = std::find(present.begin(), present.end(), id);
        return it == present.end() ? -1 : static_cast<int>(it - present.begin());
    };
    for (const CColumnData& c : m_columns) {
        int index = indexOf(c.nColumnID);
        if (!c.bVisible && index >= 0) {
            DeleteColumn(index);
            present.erase(present.begin() + index);
        } else if (c.bVisible && index < 0) {
            auto at = std::lower_bound(present.begin(), present.end(), c.nColumnID);
            int insertAt = static_cast<int>(at - present.begin());
            CListCtrl::InsertColumn(insertAt, c.strLabel, c.nFormat, c.nWidth, c.nSubItem);
            present.insert(at, c.nColumnID);
        }
    }
    std::vector<int> order;
    for (const CColumnData& c : m_columns) {
        if (!c.bVisible)
            continue;
        int index = indexOf(c.nColumnID);
        SetColumnWidth(index, c.nWidth);
        order.push_back(index);
    }
    SetColumnOrderArray(static_cast<int>(order.size()), order.data());
}

void CListCtrlEx::DoContextMenu(CPoint point, UINT nShowID, UINT nHideID, CWnd* pOwner)
{
    CString showText, hideText;
    AfxLoadString(nShowID, showText);
    AfxLoadString(nHideID, hideText);
    CMenu menu;
    if (!menu.CreatePopupMenu())
        return;
    menu.AppendMenu(MF_STRING, nShowID, showText);
    menu.AppendMenu(MF_STRING, nHideID, hideText);

    CHeaderCtrl* pHeader = GetHeaderCtrl();
    if (pHeader && pHeader->m_hWnd) {
        CPoint pt = point;
        pHeader->ScreenToClient(&pt);
        const int n = pHeader->GetItemCount();
        for (int i = 0; i < n; ++i) {
            CRect rect;
            if (pHeader->GetItemRect(i, &rect) && rect.PtInRect(pt)) {
                m_nLastHeaderItem = i;
                if (i == 0)
                    menu.EnableMenuItem(nHideID, MF_BYCOMMAND | MF_GRAYED | MF_DISABLED);
                break;
            }
        }
    }
    menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, pOwner);
}

int CListCtrlEx::GetLastSelectedColumn()
{
    if (m_nLastHeaderItem < 0)
        return -1;
    SortColumnPlacementArray();
    int index = 0;
    for (const CColumnData& c : m_columns) {
        if (!c.bVisible)
            break;
        if (index++ == m_nLastHeaderItem)
            return c.nColumnID;
    }
    return -1;
}

// ----------------------------------------------------------- column chooser

CShowColumnsDlg::CShowColumnsDlg(CWnd* pParent) : CDialog(IDD_SHOW_COLUMNS, pParent), m_pTarget(nullptr) {}

CShowColumnsDlg::~CShowColumnsDlg() {}

void CShowColumnsDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_COLUMN_LIST, m_lstColumns);
}

int CShowColumnsDlg::InsertListItem(int nItem, int nColumnID, BOOL bChecked)
{
    CString label;
    if (m_pTarget)
        m_pTarget->GetColumnLabel(nColumnID, label);
    // Text and id in one step: a box cleared on an item whose id is not yet
    // set would be taken for column 0's.
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = nItem;
    item.pszText = const_cast<LPSTR>(static_cast<LPCSTR>(label));
    item.lParam = nColumnID;
    int n = static_cast<int>(m_lstColumns.SendMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (n >= 0)
        m_lstColumns.SetCheck(n, bChecked);
    return n;
}

BOOL CShowColumnsDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_lstColumns.SetExtendedStyle(m_lstColumns.GetExtendedStyle() | LVS_EX_CHECKBOXES);
    CRect client;
    m_lstColumns.GetClientRect(&client);
    CString heading;
    AfxLoadString(IDS_COLUMN_HEADING, heading);
    m_lstColumns.InsertColumn(0, heading, LVCFMT_LEFT, client.Width());
    if (m_pTarget) {
        const int n = m_pTarget->GetColumnCount();
        std::vector<int> ids(static_cast<size_t>(n)), visible(static_cast<size_t>(n));
        if (n > 0 && m_pTarget->GetOrderVisibleArray(ids.data(), visible.data(), n))
            for (int i = 0; i < n; ++i)
                InsertListItem(i, ids[i], visible[i]);
    }
    m_lstColumns.SetFocus();
    m_lstColumns.SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    m_lstColumns.SetSelectionMark(0);
    return FALSE;
}

void CShowColumnsDlg::MoveListItem(int nFrom, int nTo)
{
    const int id = static_cast<int>(m_lstColumns.GetItemData(nFrom));
    const BOOL checked = m_lstColumns.GetCheck(nFrom);
    m_lstColumns.DeleteItem(nFrom);
    int n = InsertListItem(nTo, id, checked);
    m_lstColumns.SetFocus();
    m_lstColumns.SetItemState(n, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    m_lstColumns.SetSelectionMark(n);
    m_lstColumns.EnsureVisible(n, FALSE);
}

void CShowColumnsDlg::OnBnClickedUp()
{
    int sel = m_lstColumns.GetNextItem(-1, LVNI_SELECTED);
    int count = m_lstColumns.GetItemCount();
    if (sel < 0 || count < 2)
        return;
    MoveListItem(sel, sel == 0 ? count - 1 : sel - 1);
}

void CShowColumnsDlg::OnBnClickedDown()
{
    int sel = m_lstColumns.GetNextItem(-1, LVNI_SELECTED);
    int count = m_lstColumns.GetItemCount();
    if (sel < 0 || count < 2)
        return;
    MoveListItem(sel, sel == count - 1 ? 0 : sel + 1);
}

void CShowColumnsDlg::OnLvnItemchangedList(NMHDR* pNMHDR, LRESULT* pResult)
{
    const NMLISTVIEW* p = reinterpret_cast<const NMLISTVIEW*>(pNMHDR);
    *pResult = 0;
    if (p->iItem < 0 || !(p->uChanged & LVIF_STATE))
        return;
    if (!((p->uOldState ^ p->uNewState) & LVIS_STATEIMAGEMASK))
        return;
    // Column 0 always shows.
    if ((p->uNewState & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(1)
        && m_lstColumns.GetItemData(p->iItem) == 0)
        m_lstColumns.SetCheck(p->iItem, TRUE);
}

BOOL CShowColumnsDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDC_COLUMN_UP) {
            OnBnClickedUp();
            return TRUE;
        }
        if (LOWORD(wParam) == IDC_COLUMN_DOWN) {
            OnBnClickedDown();
            return TRUE;
        }
    }
    return CDialog::OnCommand(wParam, lParam);
}

BOOL CShowColumnsDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    NMHDR* pHdr = reinterpret_cast<NMHDR*>(lParam);
    if (pHdr && pHdr->idFrom == IDC_COLUMN_LIST && pHdr->code == LVN_ITEMCHANGED) {
        OnLvnItemchangedList(pHdr, pResult);
        return TRUE;
    }
    return CDialog::OnNotify(wParam, lParam, pResult);
}

void CShowColumnsDlg::OnOK()
{
    const int n = m_lstColumns.GetItemCount();
    std::vector<int> ids(static_cast<size_t>(n)), visible(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        ids[i] = static_cast<int>(m_lstColumns.GetItemData(i));
        visible[i] = m_lstColumns.GetCheck(i) ? 1 : 0;
    }
    if (m_pTarget && n > 0)
        m_pTarget->SetOrderVisibleArray(n, ids.data(), visible.data());
    EndDialog(IDOK);
}

} // namespace NorvaneCommon
