// The memo view: a child dialog that fills the extension control, listing
// the memos of the open desktop data file with a preview, and the methods
// through which the control serves Palm Desktop's events (open, save,
// activation, commands and their state, find).
#pragma once

#include "ListCtrlEx.h"
#include "Prefs.h"
#include "ResizeDialog.h"
#include "TabLinkCtrl.h"
#include "TessalyTable.h"
#include "Iterator.h"

#include <vector>

class CMainDlg : public NorvaneCommon::CResizeDialog {
public:
    enum { IDD = 202 };
    // Posted to the parent each time the preview changes: wParam the list
    // position of the previewed memo (-1 for none), lParam the item count.
    static const UINT WM_STATUSMESSAGE = WM_USER + 0x1000;

    CMainDlg();
    ~CMainDlg() override;

    // Creates the view from its template as a child of pParent.
    BOOL Create(CWnd* pParent);

    // Palm Desktop names a user: open that user's data file, asking for the
    // password while the stored one does not open it.
    void OpenDataFile(const CString& strUserName, const CString& strDataFile);
    // Palm Desktop's save request: the preference file, and the data file
    // when something changed since the open.
    void SaveDataFile();
    // The view becomes (non-zero) or stops being the active one.
    void Activate(BOOL bActive);

    // The view's own commands (ids of the view's menus and buttons).
    void RunCommand(UINT nID);
    // The command-state rule; every output is set.
    void GetCommandState(UINT nID, int& bHandled, int& bEnabled, int& bChecked, int& nReserved);
    // Alt+L/R/C switch views; everything else gets dialog handling.
    BOOL PreTranslateMessage(MSG* pMsg);

    // Palm Desktop's Find.
    void FindStart(const CString& strText, BOOL bMatchCase, BOOL bWholeWord);
    BOOL FindNext(CString& strFirstLine, CString& strSecondLine, int& nRecordIndex);
    void FindGoTo(int nRecordIndex, BOOL bShow);

    // The category editor and the column chooser, also run from Palm Desktop's menus.
    void EditCategories();
    void ShowColumns();

    // State for the control and for tests.
    BOOL IsFileOpen() const { return m_bFileOpen; }
    BOOL IsModified() const { return m_bModified; }
    // The open memo table; null while no data file is open.
    NorvaneCommon::CTessalyTable* GetTable() { return m_bFileOpen ? &m_table : nullptr; }
    int GetCurrentCategory() const { return m_prefs.m_nCategoryFilter; }
    int GetCurrentRecord() const { return m_prefs.m_nSelectedIndex; }
    // Refills the list, selecting the memo with that record index when listed.
    void RefillList(int nSelectIndex);
    // The context menu for a point of the list in screen coordinates, with
    // every item's state set; null over the header or outside the list.
    // The menu owns the popup returned.
    HMENU BuildContextMenu(CMenu& menu, CPoint ptScreen);

    // Splits a memo into the list's first and second line.
    static void SplitLines(const CString& strMemo, CString& strFirst, CString& strSecond);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    void OnPaint() override;
    void OnDestroy() override;
    void OnSize(UINT nType, int cx, int cy) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // The record with that index; null when there is none (or it is deleted
    // and bSkipDeleted is set).
    NorvaneCommon::CTessalyRecord* FindRecord(int nIndex, BOOL bSkipDeleted);
    // Before a batch of AddItem: where the columns stand and the category
    // names, so that each item costs no lookups.
    void PrepareItemColumns();
    int AddItem(NorvaneCommon::CTessalyRecord* pRecord);
    // The text of one cell (by control index) of the memo with that index.
    void ItemText(int nIndex, int nSubItem, char* pszBuffer, int nMax);
    void Preview(int nIndex);
    void PostStatus(int nPosition);
    int FindItem(int nIndex) const;
    CString CategoryName(DWORD dwCategory);
    void SetupCategoryBox();
    void SetView(int nTab);
    void UpdateMenuStates(HMENU hMenu);
    void AppendCategoryCommands(HMENU hMenu);
    void ShowContextMenu(CPoint ptScreen);
    void ShowCategoryMenu(CPoint ptScreen);
    // Removes the list item; a removed preview is cleared.
    void RemoveItem(int nItem);
    void PreviewFirstSelected();

    void OnNewMemo();
    void OnEditMemo();
    void RunEditor(int nIndex);
    void OnDelete();
    void OnUndo();
    void OnCut();
    void OnCopy();
    void OnPaste();
    void OnSelectAll();
    void OnMoveToCategory(int nCategory);
    void OnHideColumn();
    void OnCategoryChanged();
    void OnListKeyDown(UINT nVKey);

    void ClearPassword();

    NorvaneCommon::CTessalyTable m_table;
    NorvaneCommon::CTessalyIterator m_iterAlpha;
    NorvaneCommon::CTessalyIterator m_iterFind;
    NorvaneCommon::CTessalyPrefsTable m_prefs;
    NorvaneCommon::CCategoryMgr* m_pCategoryMgr;
    CString m_strUserName;
    CString m_strDataFile;
    CString m_strPassword;
    BOOL m_bFileOpen;
    BOOL m_bModified;
    // A failed save was reported; the next failures in a row stay quiet.
    BOOL m_bSaveFailureShown;
    std::vector<int> m_undoList;

    CString m_strFindText;
    BOOL m_bFindMatchCase;
    BOOL m_bFindWholeWord;   // kept; Palm Desktop's third flag has no effect here
    NorvaneCommon::CGenRecord* m_pFindRecord;   // where the search stands
    BOOL m_bFindEnd;

    NorvaneCommon::CListCtrlEx m_list;
    NorvaneCommon::CTabLinkCtrl m_tab;
    CComboBox m_cboCategory;
    CComboBox m_cboSort;
    CEdit m_edtPreview;
    CImageList m_imlSmall;
    CImageList m_imlLarge;
    int m_nControlIndex[3];    // by column id: the control's index, -1 when hidden
    CString m_strCategoryNames[16];
};
