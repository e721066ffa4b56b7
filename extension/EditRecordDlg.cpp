#include "EditRecordDlg.h"

#include "Category.h"
#include "Comn.h"
#include "EditCategoryDlg.h"
#include "Iterator.h"
#include "ViewRes.h"

using namespace NorvaneCommon;

namespace {

const int kMemoEditLimit = 32767;
const unsigned long kAllCategories = static_cast<unsigned long>(-1);
const char kPlacementLeft[] = "EditRecordDlgLeft";
const char kPlacementTop[] = "EditRecordDlgTop";
const char kPlacementRight[] = "EditRecordDlgRight";
const char kPlacementBottom[] = "EditRecordDlgBottom";

// The one open memo editor of the thread; the editor is modal, so there is
// never a second.
CEditRecordDlg* g_pActiveEditor = nullptr;

} // namespace

CEditRecordDlg::CEditRecordDlg(CWnd* pParent)
    : CResizeDialog(IDD, pParent), m_nRecordIndex(-1), m_nCategory(kAllCategories), m_pTable(nullptr),
      m_pRecord(nullptr), m_hAccel(nullptr), m_hFilter(nullptr), m_bInitialized(FALSE), m_bSyncBlocked(FALSE)
{
}

CEditRecordDlg::~CEditRecordDlg()
{
    // A window that never got as far as its destruction still gives back
    // the HotSync refusal it took.
    if (m_bSyncBlocked)
        CComn::SetSyncOK(1);
    if (m_hFilter)
        ::UnhookWindowsHookEx(m_hFilter);
    if (g_pActiveEditor == this)
        g_pActiveEditor = nullptr;
}

BOOL CEditRecordDlg::OnInitDialog()
{
    CComn::SetSyncOK(0);
    m_bSyncBlocked = TRUE;
    CResizeDialog::OnInitDialog();
    m_edtMemo.SubclassDlgItem(IDC_MEMO, this);
    m_cboCategory.SubclassDlgItem(IDC_CATEGORY, this);

    LPCSTR accel = MAKEINTRESOURCEA(IDR_EDITACCEL);
    m_hAccel = ::LoadAcceleratorsA(AfxFindResourceHandle(accel, MAKEINTRESOURCEA(9) /* RT_ACCELERATOR */), accel);
    g_pActiveEditor = this;
    m_hFilter = ::SetWindowsHookExA(WH_MSGFILTER, MsgFilterProc, nullptr, ::GetCurrentThreadId());

    CRect rect;
    GetWindowRect(&rect);
    m_sizeMin = CSize(rect.Width(), rect.Height());

    AddResizeControl(IDC_MEMO_FRAME, StretchH | StretchV);
    AddResizeControl(IDC_MEMO, StretchH | StretchV);
    AddResizeControl(IDOK, MoveH);
    AddResizeControl(IDCANCEL, MoveH);
    AddResizeControl(IDC_NEW, MoveH);
    AddResizeControl(static_cast<UINT>(-1), MoveH | MoveV);
    AddResizeControl(IDC_CATEGORY, MoveH | MoveV);

    if (CWinApp* pApp = AfxGetApp()) {
        int left = static_cast<int>(pApp->GetProfileInt("", kPlacementLeft, -1));
        int top = static_cast<int>(pApp->GetProfileInt("", kPlacementTop, -1));
        int right = static_cast<int>(pApp->GetProfileInt("", kPlacementRight, -1));
        int bottom = static_cast<int>(pApp->GetProfileInt("", kPlacementBottom, -1));
        if (left != -1 && top != -1 && right != -1 && bottom != -1)
            SetWindowPos(nullptr, left, top, right - left, bottom - top, SWP_NOZORDER | SWP_NOACTIVATE);
    }

    if (CWinApp* pApp = AfxGetApp())
        SetIcon(pApp->LoadIcon(IDI_MEMO), TRUE);

    CString strMemo;
    if (m_pTable) {
        if (m_nRecordIndex == -1) {
            m_pRecord = new CTessalyRecord;
            m_pTable->AppendRecord(m_pRecord);
        } else {
            CTessalyIterator iter(*m_pTable);
            iter.SortByRecordIndex();
            CGenRecord* pRecord = nullptr;
            if (iter.FindByRecordIndex(m_nRecordIndex, pRecord, TRUE) == 0 && pRecord) {
                m_pRecord = static_cast<CTessalyRecord*>(pRecord);
                m_nCategory = m_pRecord->GetCategory();
            }
        }
    }
    if (!m_pRecord) {
        // A memo that is gone (or no table) cannot be edited.
        EndDialog(IDCANCEL);
        return TRUE;
    }
    m_pRecord->GetMemo(strMemo);
    if (m_nCategory == kAllCategories)
        m_nCategory = 0;

    CComn::SetupCategoryList(&m_cboCategory, m_pTable->GetCategoryManager(), m_nCategory, FALSE);

    m_edtMemo.SetWindowText(strMemo);
    m_edtMemo.SetSel(strMemo.GetLength(), strMemo.GetLength(), TRUE);
    m_edtMemo.LimitText(kMemoEditLimit);
    m_edtMemo.SetFocus();
    m_bInitialized = TRUE;
    return FALSE;   // the focus is set
}

void CEditRecordDlg::OnOK()
{
    CString strMemo;
    m_edtMemo.GetWindowText(strMemo);
    if (strMemo.IsEmpty()) {
        CComn::MessageBoxA(IDS_ENTER_MEMO, IDS_CAPTION, MB_OK | MB_ICONINFORMATION);
        m_edtMemo.SetFocus();
        return;
    }
    // Double-byte text within the edit's character limit can still be more
    // than one stored memo holds; such a memo could never be saved.
    CString strStored = strMemo;
    CGenRecord::SubstCRwithNL(strStored);
    if (static_cast<DWORD>(strStored.GetLength()) > kMaxMemoText) {
        CComn::MessageBoxA(IDS_MEMO_TOO_LONG, IDS_CAPTION, MB_OK | MB_ICONINFORMATION);
        m_edtMemo.SetFocus();
        return;
    }
    m_pRecord->SetMemo(strMemo);
    m_pRecord->SetCategory(m_nCategory);
    m_pRecord->SetUpdate(1);
    m_nRecordIndex = static_cast<int>(m_pRecord->GetIndex());
    EndDialog(IDOK);
}

void CEditRecordDlg::OnCancel()
{
    // The new memo was appended at once; it stays in the table as deleted.
    if (m_nRecordIndex == -1 && m_pRecord)
        m_pRecord->SetDeleted(1);
    EndDialog(IDCANCEL);
}

BOOL CEditRecordDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT nID = LOWORD(wParam);
    const UINT nCode = HIWORD(wParam);
    if (nID == IDC_CATEGORY && lParam) {
        if (nCode == CBN_SELCHANGE)
            OnCategoryChanged();
        return TRUE;
    }
    switch (nID) {
    case ID_EDIT_COPY_CMD:
    case ID_EDIT_CUT_CMD:
    case ID_EDIT_PASTE_CMD:
    case ID_EDIT_UNDO_CMD:
    case ID_EDIT_SELECT_ALL_CMD:
        if (!lParam) {   // an accelerator or a menu, never a control
            RunEditCommand(nID);
            return TRUE;
        }
        break;
    case IDC_NEW:
        return TRUE;   // shown, never active
    default:
        break;
    }
    return CResizeDialog::OnCommand(wParam, lParam);
}

void CEditRecordDlg::RunEditCommand(UINT nID)
{
    switch (nID) {
    case ID_EDIT_COPY_CMD:
        m_edtMemo.SendMessage(WM_COPY);
        break;
    case ID_EDIT_CUT_CMD:
        m_edtMemo.SendMessage(WM_CUT);
        break;
    case ID_EDIT_PASTE_CMD:
        m_edtMemo.SendMessage(WM_PASTE);
        break;
    case ID_EDIT_UNDO_CMD:
        m_edtMemo.SendMessage(EM_UNDO);
        break;
    case ID_EDIT_SELECT_ALL_CMD:
        m_edtMemo.SetSel(0, -1, FALSE);
        m_edtMemo.SendMessage(EM_SCROLLCARET);
        break;
    default:
        break;
    }
}

void CEditRecordDlg::OnCategoryChanged()
{
    int nSel = m_cboCategory.GetCurSel();
    if (nSel == CB_ERR)
        return;
    const DWORD_PTR data = m_cboCategory.GetItemData(nSel);
    if (static_cast<int>(data) != -2) {
        m_nCategory = static_cast<unsigned long>(data);
        return;
    }
    CEditCategoryDlg dlg(this);
    dlg.SetCurrentIndex(m_nCategory);
    dlg.SetTable(m_pTable);
    dlg.DoModal();
    CComn::SetupCategoryList(&m_cboCategory, m_pTable->GetCategoryManager(), dlg.m_nCurrentIndex, FALSE);
    // The category box falls back to Unfiled when the editor left no
    // category chosen (or removed it); the memo follows the box.
    nSel = m_cboCategory.GetCurSel();
    m_nCategory = nSel == CB_ERR ? 0 : static_cast<unsigned long>(m_cboCategory.GetItemData(nSel));
}

void CEditRecordDlg::OnDestroy()
{
    CRect rect;
    GetWindowRect(&rect);
    if (CWinApp* pApp = AfxGetApp()) {
        pApp->WriteProfileInt("", kPlacementTop, rect.top);
        pApp->WriteProfileInt("", kPlacementLeft, rect.left);
        pApp->WriteProfileInt("", kPlacementBottom, rect.bottom);
        pApp->WriteProfileInt("", kPlacementRight, rect.right);
    }
    if (m_hFilter) {
        ::UnhookWindowsHookEx(m_hFilter);
        m_hFilter = nullptr;
    }
    if (g_pActiveEditor == this)
        g_pActiveEditor = nullptr;
    CResizeDialog::OnDestroy();
    if (m_bSyncBlocked) {
        m_bSyncBlocked = FALSE;
        CComn::SetSyncOK(1);
    }
}

void CEditRecordDlg::OnSize(UINT nType, int cx, int cy)
{
    CResizeDialog::OnSize(nType, cx, cy);
    // The group box is drawn on the dialog's background; its old edges go.
    Invalidate();
}

LRESULT CEditRecordDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_GETMINMAXINFO && m_bInitialized) {
        MINMAXINFO* pInfo = reinterpret_cast<MINMAXINFO*>(lParam);
        pInfo->ptMinTrackSize.x = m_sizeMin.cx;
        pInfo->ptMinTrackSize.y = m_sizeMin.cy;
        return 0;
    }
    return CResizeDialog::WindowProc(message, wParam, lParam);
}

LRESULT CALLBACK CEditRecordDlg::MsgFilterProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    CEditRecordDlg* pDlg = g_pActiveEditor;
    if (nCode >= 0 && pDlg && pDlg->m_hAccel && pDlg->m_hWnd) {
        MSG* pMsg = reinterpret_cast<MSG*>(lParam);
        if ((pMsg->hwnd == pDlg->m_hWnd || ::IsChild(pDlg->m_hWnd, pMsg->hwnd))
            && ::TranslateAcceleratorA(pDlg->m_hWnd, pDlg->m_hAccel, pMsg))
            return TRUE;
    }
    return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
}
