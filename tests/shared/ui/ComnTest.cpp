// The common services and the password dialog, driven under Wine.
#include "Category.h"
#include "Comn.h"
#include "PasswdDlg.h"
#include "UiDriver.h"

#include <gtest/gtest.h>

extern "C" __declspec(dllimport) void InitNvComnDLL(void);

using namespace NorvaneCommon;
using namespace uitest;

TEST(CComn, CounterCountsOpenWindowsAndNeverGoesNegative)
{
    CComn::SetSyncOK(1);   // a closing without an opening
    CComn::SetSyncOK(0);
    CComn::SetSyncOK(0);
    CComn::SetSyncOK(1);
    EXPECT_EQ(CComn::SyncOK(), 0);   // one of two still open
    CComn::SetSyncOK(7);              // any non-zero flag closes
    EXPECT_NE(CComn::SyncOK(), 0);
}

TEST(CComn, CategoryListEntriesOrderDataAndSelection)
{
    InitNvComnDLL();
    HWND hParent = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
    CComboBox box;   // sorted, as the extension's category box
    ASSERT_TRUE(box.Attach(::CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL,
                                             0, 0, 150, 200, hParent, nullptr, nullptr, nullptr)));
    CCategoryMgr mgr;
    for (const char* name : {"Unfiled", "Work", "Bank", "Home"}) {   // Unfiled is index 0, never listed by name
        CCategory c;
        ASSERT_EQ(mgr.Add(&c), CatErrNone);
        CString s(name);
        mgr.Rename(static_cast<int>(c.GetIndex()), s);
    }
    const std::string all = Ansi(u8"すべて=-1 "), unfiled = Ansi(u8"未分類=0 "), edit = Ansi(u8"カテゴリの編集...=-2 ");
    // Names sorted by the box; All first; Unfiled and the command last. An
    // index that names nothing (one deleted, say) selects Unfiled, -1 All,
    // -2 the command.
    const struct {
        CCategoryMgr* mgr;
        long index;
        int withAll;
        std::string entries;
    } rows[] = {
        {nullptr, 0, 1, ""},
        {&mgr, 1, 1, all + "Bank=2 Home=3 *Work=1 " + unfiled + edit},
        {&mgr, -1, 0, "Bank=2 Home=3 Work=1 *" + unfiled + edit},
        {&mgr, -1, 1, "*" + all + "Bank=2 Home=3 Work=1 " + unfiled + edit},
        {&mgr, -2, 1, all + "Bank=2 Home=3 Work=1 " + unfiled + "*" + edit},
        {&mgr, 9, 1, all + "Bank=2 Home=3 Work=1 *" + unfiled + edit},
    };
    for (const auto& row : rows) {
        box.AddString("left over");
        CComn::SetupCategoryList(&box, row.mgr, static_cast<unsigned long>(row.index), row.withAll);
        std::string entries;
        for (int i = 0; i < box.GetCount(); ++i) {
            CString text;
            box.GetLBText(i, text);
            entries += (i == box.GetCurSel() ? "*" : "") + std::string(text) + "="
                + std::to_string(static_cast<int>(box.GetItemData(i))) + " ";
        }
        EXPECT_EQ(entries, row.entries) << row.index;
    }
    box.Detach();
    ::DestroyWindow(hParent);
}

TEST(CPasswdDlg, ShowsTheTextsMasksAndReturnsWhatWasTypedOnOkOnly)
{
    InitNvComnDLL();
    const char hint[] = "first line\r\nsecond line\r\nthird\r\nfourth\r\nfifth";
    CPasswdDlg dlg;
    dlg.m_strUserName = "Taro";
    dlg.m_strPassword = "given";
    dlg.m_strHint = hint;
    // Untouched, OK returns the caller's password; typed, Cancel keeps it and
    // OK returns what was typed, an empty one like any other. The user name
    // is never read back.
    const struct {
        const char* typed;
        int button;
        const char* result;
    } rows[] = {{nullptr, IDOK, "given"}, {"typed then cancelled", IDCANCEL, "given"}, {"typed", IDOK, "typed"},
                {"", IDOK, ""}};
    for (const auto& row : rows) {
        std::string shown;
        const Step step = On(Ansi(u8"パスワード入力"), [&](HWND h) {
            auto style = [h](int id) { return ::GetWindowLongA(::GetDlgItem(h, id), GWL_STYLE); };
            shown = ItemText(h, 6006) + "|" + ItemText(h, 6007) + "|" + ItemText(h, 6008);
            EXPECT_TRUE(style(6007) & ES_PASSWORD);
            EXPECT_NE(::SendDlgItemMessageA(h, 6007, EM_GETPASSWORDCHAR, 0, 0), 0);
            EXPECT_EQ(::GetFocus(), ::GetDlgItem(h, 6007));
            EXPECT_TRUE(style(6006) & style(6008) & ES_READONLY);
            if (row.typed) {
                SetItemText(h, 6007, row.typed);
                SetItemText(h, 6006, "not read back");
            }
            Click(h, row.button);
        });
        EXPECT_EQ(RunModal(dlg, {step}), row.button);
        EXPECT_EQ(shown, std::string("Taro|given|") + hint);
        EXPECT_STREQ(dlg.m_strPassword, row.result);
        EXPECT_STREQ(dlg.m_strUserName, "Taro");
        dlg.m_strPassword = "given";
    }
}
