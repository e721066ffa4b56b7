// The memo editor: a resizable modal dialog in which the user writes a new
// memo or changes one and chooses its category. HotSync is refused while it
// is open, and it remembers its last position and size.
#pragma once

#include "ResizeDialog.h"
#include "TessalyTable.h"

class CEditRecordDlg : public NorvaneCommon::CResizeDialog {
public:
    enum { IDD = 215 };

    explicit CEditRecordDlg(CWnd* pParent = nullptr);
    ~CEditRecordDlg() override;

    // -1 for a new memo; after OK the saved memo's record index.
    int m_nRecordIndex;
    // The list's category, (unsigned long)-1 for all; an edited memo's own
    // category replaces it.
    unsigned long m_nCategory;
    // Not owned.
    NorvaneCommon::CTessalyTable* m_pTable;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnDestroy() override;
    void OnSize(UINT nType, int cx, int cy) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnCategoryChanged();
    void RunEditCommand(UINT nID);
    // The accelerators reach the dialog through a message filter of the
    // modal loop, which offers no other hook.
    static LRESULT CALLBACK MsgFilterProc(int nCode, WPARAM wParam, LPARAM lParam);

    NorvaneCommon::CTessalyRecord* m_pRecord;
    HACCEL m_hAccel;
    HHOOK m_hFilter;
    BOOL m_bInitialized;
    BOOL m_bSyncBlocked;
    CSize m_sizeMin;
    CEdit m_edtMemo;
    CComboBox m_cboCategory;
};
