// The category editor and its two small dialogs. The editor changes the
// live category manager and the table's records at once; closing it undoes
// nothing, and IsModified tells the caller that the file needs saving.
#pragma once

#include "NvComnApi.h"
#include "afx/afxwin.h"

namespace NorvaneCommon {

class CCategory;
class CCategoryMgr;
class CGenTable;

class NVCOMN_API CInputCategoryNameDlg : public CDialog {
public:
    explicit CInputCategoryNameDlg(CWnd* pParent = nullptr);
    ~CInputCategoryNameDlg() override;

    void SetNewMode(int bNewMode) { m_bNewMode = bNewMode; }
    // The category whose name is edited; not owned.
    void SetCategory(CCategory* pCategory) { m_pCategory = pCategory; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

    int m_bNewMode;
    CCategory* m_pCategory;
    CEdit m_edtName;
};

class NVCOMN_API CDeleteCategoryDlg : public CDialog {
public:
    explicit CDeleteCategoryDlg(CWnd* pParent = nullptr);
    ~CDeleteCategoryDlg() override;

    int m_nDeleteMode;   // 0: move the memos to Unfiled, 1: delete them

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};

class NVCOMN_API CEditCategoryDlg : public CDialog {
public:
    explicit CEditCategoryDlg(CWnd* pParent = nullptr);
    ~CEditCategoryDlg() override;

    void SetCurrentIndex(unsigned long nIndex) { m_nCurrentIndex = nIndex; }
    // Also takes the table's category manager. Not owned.
    void SetTable(CGenTable* pTable);
    void SetModified(int bModified) { m_bModified = bModified; }
    int IsModified() const { return m_bModified; }
    void SetupCategoryList();

    // The category to select; (unsigned long)-1 selects nothing.
    unsigned long m_nCurrentIndex;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnDestroy() override;

    void OnBnClickedNew();
    void OnBnClickedDelete();
    void OnBnClickedRename();

    CGenTable* m_pTable;
    CCategoryMgr* m_pCategoryMgr;
    int m_bModified;
    CListBox m_lstCategory;

private:
    // The index of the selected entry's category, or -1 with no selection.
    int GetSelectedIndex() const;
    // Every record of category nFrom that is not deleted: to nTo and updated,
    // or, with nTo -1, marked deleted.
    void MoveRecords(int nFrom, int nTo);
};

} // namespace NorvaneCommon
