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
};
