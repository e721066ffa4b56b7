// The library's dialogs and controls on sample data, for people to look at
// and try. "gallery" opens a window like the memo view with buttons for the
// dialogs; "gallery --shot NAME RECTFILE" opens one of them alone, writes its
// window rectangle to RECTFILE once it is on screen and closes it a little
// later, for the screenshot script.
#include "GalleryRes.h"

#include "Category.h"
#include "Comn.h"
#include "EditCategoryDlg.h"
#include "ListCtrlEx.h"
#include "MemoFile.h"
#include "PasswdDlg.h"
#include "ResizeDialog.h"
#include "TabLinkCtrl.h"
#include "TessalyTable.h"

#include <cstdio>
#include <cstring>
#include <string>

using namespace NorvaneCommon;

extern "C" NVCOMN_API void InitNvComnDLL(void);

namespace {

CString Res(UINT id)
{
    CString s;
    AfxLoadString(id, s);
    return s;
}

// A memo file in the temporary folder with three categories and four memos.
bool MakeSampleTable(CTessalyTable& table)
{
    char dir[MAX_PATH];
    ::GetTempPathA(sizeof dir, dir);
    std::string path = std::string(dir) + "tessaly-gallery.dat";
    if (!tessaly::WriteEmptyMemoFile(path, "", ""))
        return false;
    CString p(path.c_str());
    if (table.OpenFrom(p, CFile::modeReadWrite, "") != 0)
        return false;
    CCategoryMgr* mgr = table.GetCategoryManager();
    if (!mgr)
        return false;
    for (UINT id = IDS_CATEGORY_1; id <= IDS_CATEGORY_3; ++id) {
        CCategory c;
        if (mgr->Add(&c) == CatErrNone) {
            CString name = Res(id);
            mgr->Rename(static_cast<int>(c.GetIndex()), name);
        }
    }
    const int categories[] = {1, 2, 3, 0};
    for (int i = 0; i < 4; ++i) {
        CTessalyRecord* r = new CTessalyRecord;
        r->SetMemo(Res(IDS_MEMO_1 + i));
        r->SetCategory(categories[i]);
        table.AppendRecord(r);
    }
    return true;
}

class CGalleryDlg : public CResizeDialog {
public:
    CGalleryDlg() : CResizeDialog(IDD_GALLERY) {}
    CTessalyTable* m_pTable = nullptr;
    CListCtrlEx m_list;

protected:
    CComboBox m_box;
    CTabLinkCtrl m_tabs;

    BOOL OnInitDialog() override
    {
        CResizeDialog::OnInitDialog();
        m_box.SubclassDlgItem(IDC_CATEGORY_BOX, this);
        m_list.SubclassDlgItem(IDC_MEMO_LIST, this);
        m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP);
        m_list.InsertColumn(0, Res(IDS_COLUMN_MEMO), LVCFMT_LEFT, 150, 0);
        m_list.InsertColumn(1, Res(IDS_COLUMN_CATEGORY), LVCFMT_LEFT, 70, 1);
        m_list.InsertColumn(2, Res(IDS_COLUMN_SIZE), LVCFMT_RIGHT, 50, 2);
        Refill();

        CRect client;
        GetClientRect(&client);
        m_tabs.Create(IDC_TAB_STRIP, CRect(0, client.bottom - 26, client.right, client.bottom), this);
        m_tabs.SetBKColor(RGB(222, 184, 135));
        m_tabs.SetHandCursorID(32649);
        m_tabs.SetURI("Norvane", "https://example.org/");
        m_tabs.AppendTab(Res(IDS_TAB_LIST));
        m_tabs.AppendTab(Res(IDS_TAB_CARDS));

        AddResizeControl(IDC_MEMO_LIST, StretchV);
        AddResizeControl(IDC_PREVIEW, StretchH | StretchV);
        AddResizeControl(IDC_TAB_STRIP, StretchH | MoveV);
        SetControlMinSize(IDC_MEMO_LIST, CSize(100, 0));
        SetControlMinSize(IDC_PREVIEW, CSize(100, 0));
        AddControlRelation(IDC_MEMO_LIST, IDC_PREVIEW, 2, 1);
        m_nHSplitCursorID = 32644;   // the system's left-right arrows
        SetDlgItemText(IDC_PREVIEW, Res(IDS_MEMO_1));
        return TRUE;
    }

    void Refill()
    {
        CComn::SetupCategoryList(&m_box, m_pTable ? m_pTable->GetCategoryManager() : nullptr, 1, 1);
        m_list.DeleteAllItems();
        if (!m_pTable)
            return;
        for (int i = 0; i < m_pTable->GetRecordCount(); ++i) {
            CTessalyRecord* r = static_cast<CTessalyRecord*>(m_pTable->GetRecord(i));
            if (r->IsDeleted())
                continue;
            int n = m_list.InsertItem(m_list.GetItemCount(), r->GetMemo());
            CCategory* c = nullptr;
            CString category = m_pTable->GetCategoryManager()->FindIndex(r->GetCategory(), c) == CatErrNone
                ? c->GetName() : CString();
            m_list.SetItemText(n, 1, category);
            CString size;
            size.Format("%d", r->GetMemo().GetLength());
            m_list.SetItemText(n, 2, size);
        }
    }

    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        switch (LOWORD(wParam)) {
        case IDC_SHOW_PASSWORD: {
            CPasswdDlg dlg(this);
            dlg.m_strUserName = Res(IDS_SAMPLE_USER);
            dlg.m_strHint = Res(IDS_SAMPLE_HINT);
            dlg.DoModal();
            return TRUE;
        }
        case IDC_SHOW_EDITOR: {
            CEditCategoryDlg dlg(this);
            dlg.SetCurrentIndex(1);
            dlg.SetTable(m_pTable);
            dlg.DoModal();
            Refill();
            return TRUE;
        }
        case IDC_SHOW_COLUMNS: {
            CShowColumnsDlg dlg(this);
            dlg.SetTargetListCtrl(&m_list);
            dlg.DoModal();
            return TRUE;
        }
        case IDS_SHOW_COLUMNS: {
            CShowColumnsDlg dlg(this);
            dlg.SetTargetListCtrl(&m_list);
            dlg.DoModal();
            return TRUE;
        }
        case IDS_HIDE_COLUMN:
            m_list.RemoveColumn(m_list.GetLastSelectedColumn());
            return TRUE;
        default:
            break;
        }
        return CResizeDialog::OnCommand(wParam, lParam);
    }

    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override
    {
        NMHDR* p = reinterpret_cast<NMHDR*>(lParam);
        if (p->code == NM_RCLICK && p->hwndFrom == m_list.GetHeaderCtrl()->m_hWnd) {
            POINT pt;
            ::GetCursorPos(&pt);
            m_list.DoContextMenu(CPoint(pt.x, pt.y), IDS_SHOW_COLUMNS, IDS_HIDE_COLUMN, this);
            *pResult = 1;
            return TRUE;
        }
        return CResizeDialog::OnNotify(wParam, lParam, pResult);
    }
};

// Screenshot mode: the top dialog's rectangle is written once it shows.
std::string g_rectFile;
int g_ticks = 0;

BOOL CALLBACK FindTop(HWND hWnd, LPARAM lParam)
{
    char cls[16] = {};
    ::GetClassNameA(hWnd, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") == 0 && ::IsWindowVisible(hWnd) && ::IsWindowEnabled(hWnd)) {
        *reinterpret_cast<HWND*>(lParam) = hWnd;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK ShotTimer(HWND, UINT, UINT_PTR, DWORD)
{
    HWND top = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindTop, reinterpret_cast<LPARAM>(&top));
    if (!top)
        return;
    ++g_ticks;
    if (g_ticks == 10) {
        RECT r;
        ::GetWindowRect(top, &r);
        if (FILE* f = std::fopen(g_rectFile.c_str(), "w")) {
            std::fprintf(f, "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
            std::fclose(f);
        }
    } else if (g_ticks >= 40) {
        ::PostMessageA(top, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        g_ticks = 30;   // close what is under it soon, without a second picture
    }
}

void CALLBACK OpenChooser(HWND, UINT, UINT_PTR id, DWORD)
{
    CWnd* main = AfxGetMainWnd();
    if (main && main->m_hWnd && ::IsWindowVisible(main->m_hWnd)) {
        ::KillTimer(nullptr, id);
        main->PostMessage(WM_COMMAND, MAKEWPARAM(IDC_SHOW_COLUMNS, BN_CLICKED), 0);
    }
}

class CGalleryApp : public CWinApp {
public:
    CGalleryApp() : CWinApp("TessalyGallery") {}

    BOOL InitInstance() override
    {
        SetRegistryKey("Norvane");
        InitNvComnDLL();
        CTessalyTable table;
        MakeSampleTable(table);

        std::string cmd = m_lpCmdLine ? m_lpCmdLine : "";
        char name[64] = {}, rectFile[MAX_PATH] = {};
        if (std::sscanf(cmd.c_str(), "--shot %63s %259s", name, rectFile) == 2) {
            g_rectFile = rectFile;
            ::SetTimer(nullptr, 0, 100, ShotTimer);
            Shot(name, table);
            return FALSE;
        }
        CGalleryDlg dlg;
        dlg.m_pTable = &table;
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
        return FALSE;
    }

    void Shot(const std::string& name, CTessalyTable& table)
    {
        if (name == "password") {
            CPasswdDlg dlg;
            dlg.m_strUserName = Res(IDS_SAMPLE_USER);
            dlg.m_strPassword = "secret";
            dlg.m_strHint = Res(IDS_SAMPLE_HINT);
            dlg.DoModal();
        } else if (name == "categories") {
            CEditCategoryDlg dlg;
            dlg.SetCurrentIndex(2);
            dlg.SetTable(&table);
            dlg.DoModal();
        } else if (name == "category-name") {
            CCategory c;
            CInputCategoryNameDlg dlg;
            dlg.SetNewMode(1);
            dlg.SetCategory(&c);
            dlg.DoModal();
        } else if (name == "delete-category") {
            CDeleteCategoryDlg dlg;
            dlg.DoModal();
        } else if (name == "columns") {
            CGalleryDlg host;   // the chooser edits the gallery's list
            host.m_pTable = &table;
            m_pMainWnd = &host;
            ::SetTimer(nullptr, 0, 150, OpenChooser);
            host.DoModal();
            m_pMainWnd = nullptr;
        } else if (name == "gallery") {
            CGalleryDlg dlg;
            dlg.m_pTable = &table;
            dlg.DoModal();
        }
    }
};

CGalleryApp theApp;

} // namespace
