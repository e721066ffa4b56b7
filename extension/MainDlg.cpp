// Placeholder of the memo view until its behaviour lands.
#include "MainDlg.h"

CMainDlg::CMainDlg() : CResizeDialog(IDD) {}
CMainDlg::~CMainDlg() {}
BOOL CMainDlg::Create(CWnd*) { return FALSE; }
void CMainDlg::OpenDataFile(const CString&, const CString&) {}
void CMainDlg::SaveDataFile() {}
void CMainDlg::Activate(BOOL) {}
void CMainDlg::RunCommand(UINT) {}
void CMainDlg::GetCommandState(UINT, int& bHandled, int& bEnabled, int& bChecked, int& nReserved)
{
    bHandled = bEnabled = bChecked = nReserved = 0;
}
BOOL CMainDlg::PreTranslateMessage(MSG*) { return FALSE; }
void CMainDlg::FindStart(const CString&, BOOL, BOOL) {}
BOOL CMainDlg::FindNext(CString&, CString&, int&) { return FALSE; }
void CMainDlg::FindGoTo(int, BOOL) {}
void CMainDlg::EditCategories() {}
void CMainDlg::ShowColumns() {}
