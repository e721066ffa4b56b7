// A report-style list whose columns the user may hide, show again and
// reorder, with the layout kept in the application's profile; and the
// column chooser that edits it. Columns are named for good by the index they
// were inserted at (the column id), whatever their present position.
#pragma once

#include "NvComnApi.h"
#include "afx/afxcmn.h"

#include <vector>

namespace NorvaneCommon {

class NVCOMN_API CListCtrlEx : public CListCtrl {
public:
    struct CColumnData {
        int nColumnID;
        CString strLabel;
        int nFormat;
        int nWidth;
        int nSubItem;
        BOOL bVisible;
    };

    CListCtrlEx();
    ~CListCtrlEx() override;

    int InsertColumn(int nCol, LPCSTR lpszColumnHeading, int nFormat = LVCFMT_LEFT, int nWidth = -1,
                     int nSubItem = -1);
    // By column id: a hidden column stores nothing and answers 1.
    BOOL SetItemText(int nItem, int nColumnID, LPCSTR lpszText);
    int GetColumnCount() const;
    int GetColumnLabel(int nColumnID, CString& strLabel) const;
    int RemoveColumn(int nColumnID);
    int GetOrderVisibleArray(int* pColumnIDs, int* pVisible, int nCount);
    int SetOrderVisibleArray(int nCount, const int* pColumnIDs, const int* pVisible);
    int GetViewEx() const;
    int SetViewEx(int nView);
    void SaveColumnPlacement(LPCSTR lpszSection, LPCSTR lpszEntry);
    void LoadColumnPlacement(LPCSTR lpszSection, LPCSTR lpszEntry);
    void DoContextMenu(CPoint point, UINT nShowID, UINT nHideID, CWnd* pOwner);
    int GetLastSelectedColumn();

private:
    int IsVisible(int nColumnID) const;
    void SortColumnPlacementArray();
    void RevertActualColumnPlacement();
    // Reads one group ("(k) id width ...") from the tokens at rPos, moving
    // the records it names from rRemaining to the end of rResult.
    int GetColumnPlacement(const std::vector<CString>& tokens, size_t& rPos, std::vector<CColumnData>& rRemaining,
                           std::vector<CColumnData>& rResult, BOOL bVisible);
    CColumnData* Find(int nColumnID);
    // The control index of a visible column: the visible columns with a
    // smaller id. Sorts first.
    int ControlIndex(int nColumnID);

    std::vector<CColumnData> m_columns;
    int m_nLastHeaderItem;
};

class NVCOMN_API CShowColumnsDlg : public CDialog {
public:
    explicit CShowColumnsDlg(CWnd* pParent = nullptr);
    ~CShowColumnsDlg() override;

    void SetTargetListCtrl(CListCtrlEx* pListCtrl) { m_pTarget = pListCtrl; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

    void OnBnClickedUp();
    void OnBnClickedDown();
    void OnLvnItemchangedList(NMHDR* pNMHDR, LRESULT* pResult);

    CListCtrl m_lstColumns;
    CListCtrlEx* m_pTarget;

private:
    void MoveListItem(int nFrom, int nTo);
    int InsertListItem(int nItem, int nColumnID, BOOL bChecked);
};

} // namespace NorvaneCommon
