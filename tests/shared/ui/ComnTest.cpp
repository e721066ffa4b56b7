// The common services and the password dialog, driven under Wine.
#include "Category.h"
#include "Comn.h"
#include "PasswdDlg.h"
#include "UiDriver.h"

#include <gtest/gtest.h>

extern "C" __declspec(dllimport) void InitNvComnDLL(void);

using namespace NorvaneCommon;
using namespace uitest;

namespace {

// A sorted drop-down list on a hidden window, as the extension's category box.
class ComboBoxFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitNvComnDLL();
        m_hParent = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
        HWND hCombo = ::CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL, 0, 0,
                                        150, 200, m_hParent, nullptr, nullptr, nullptr);
        ASSERT_TRUE(m_box.Attach(hCombo));
    }
    void TearDown() override
    {
        m_box.Detach();
        ::DestroyWindow(m_hParent);
    }

    // Entries as "text=data", in box order, with the selection marked "*".
    std::vector<std::string> Entries()
    {
        std::vector<std::string> out;
        for (int i = 0; i < m_box.GetCount(); ++i) {
            CString text;
            m_box.GetLBText(i, text);
            out.push_back((i == m_box.GetCurSel() ? "*" : "") + std::string(text) + "="
                          + std::to_string(static_cast<int>(m_box.GetItemData(i))));
        }
        return out;
    }

    static void AddCategory(CCategoryMgr& mgr, const char* name)
    {
        CCategory c;
        ASSERT_EQ(mgr.Add(&c), CatErrNone);
        CString s(name);
        mgr.Rename(static_cast<int>(c.GetIndex()), s);
    }

    HWND m_hParent = nullptr;
    CComboBox m_box;
};

const std::string kAll = Ansi(u8"すべて");
const std::string kUnfiled = Ansi(u8"未分類");
const std::string kEdit = Ansi(u8"カテゴリの編集...");

} // namespace

TEST(CComn, CounterCountsOpenWindowsAndNeverGoesNegative)
{
    ASSERT_NE(CComn::SyncOK(), 0);
    CComn::SetSyncOK(1);   // a closing without an opening
    EXPECT_EQ(CComn::m_nSyncOK, 0);
    EXPECT_NE(CComn::SyncOK(), 0);

    CComn::SetSyncOK(0);
    CComn::SetSyncOK(0);
    EXPECT_EQ(CComn::m_nSyncOK, 2);
    CComn::SetSyncOK(1);
    EXPECT_EQ(CComn::SyncOK(), 0);   // one of two still open
    CComn::SetSyncOK(7);              // any non-zero flag closes
    EXPECT_NE(CComn::SyncOK(), 0);
    EXPECT_EQ(CComn::m_nSyncOK, 0);
}

TEST_F(ComboBoxFixture, WithoutManagerTheBoxIsEmptied)
{
    m_box.AddString("left over");
    CComn::SetupCategoryList(&m_box, nullptr, 0, 1);
    EXPECT_EQ(m_box.GetCount(), 0);
    EXPECT_EQ(m_box.GetCurSel(), CB_ERR);
}

TEST_F(ComboBoxFixture, EntriesOrderDataAndSelection)
{
    CCategoryMgr mgr;
    AddCategory(mgr, "Unfiled");   // index 0, never listed by name
    AddCategory(mgr, "Work");
    AddCategory(mgr, "Bank");
    AddCategory(mgr, "Home");
    m_box.AddString("left over");

    // Names sorted by the box; All first; Unfiled and the command last.
    CComn::SetupCategoryList(&m_box, &mgr, 1, 1);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"" + kAll + "=-1", "Bank=2", "Home=3", "*Work=1",
                                                   kUnfiled + "=0", kEdit + "=-2"}));

    // Without All; -1 as index then names nothing and Unfiled is chosen.
    CComn::SetupCategoryList(&m_box, &mgr, static_cast<unsigned long>(-1), 0);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Bank=2", "Home=3", "Work=1", "*" + kUnfiled + "=0", kEdit + "=-2"}));

    // -1 with All selects All; -2 selects the command entry.
    CComn::SetupCategoryList(&m_box, &mgr, static_cast<unsigned long>(-1), 1);
    EXPECT_EQ(m_box.GetCurSel(), 0);
    CComn::SetupCategoryList(&m_box, &mgr, static_cast<unsigned long>(-2), 1);
    EXPECT_EQ(m_box.GetCurSel(), 5);

    // A deleted category's index selects Unfiled.
    mgr.Delete(3);
    CComn::SetupCategoryList(&m_box, &mgr, 3, 1);
    EXPECT_EQ(Entries(), (std::vector<std::string>{kAll + "=-1", "Bank=2", "Work=1", "*" + kUnfiled + "=0", kEdit + "=-2"}));
}

TEST_F(ComboBoxFixture, OnlyUnfiledWithAll)
{
    CCategoryMgr mgr;
    AddCategory(mgr, "Unfiled");
    CComn::SetupCategoryList(&m_box, &mgr, 0, 1);
    EXPECT_EQ(Entries(), (std::vector<std::string>{kAll + "=-1", "*" + kUnfiled + "=0", kEdit + "=-2"}));
}

TEST(CComn, MessageBoxTextsAndCaptionsFromStringNumbers)
{
    InitNvComnDLL();
    std::string text, caption, text2, caption2;
    Script script({AnswerBox(&text, &caption, IDCANCEL), AnswerBox(&text2, &caption2, IDOK)});
    EXPECT_EQ(CComn::MessageBoxA(6020, 6011, MB_OKCANCEL | MB_ICONEXCLAMATION), IDCANCEL);
    // A caption number without a string gives an empty caption.
    EXPECT_EQ(CComn::MessageBoxA("plain text", 5999, MB_OK | MB_ICONINFORMATION), IDOK);
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(text, Ansi(u8"カテゴリーは最大 15 種類まで設定できます。"));
    EXPECT_EQ(caption, Ansi(u8"新規カテゴリー"));
    EXPECT_EQ(text2, "plain text");
    EXPECT_EQ(caption2, "");
}

TEST(CPasswdDlg, ShowsTheTextsMasksAndReturnsWhatWasTyped)
{
    InitNvComnDLL();
    const std::string title = Ansi(u8"パスワード入力");
    CPasswdDlg dlg;
    dlg.m_strUserName = "Taro";
    dlg.m_strPassword = "last try";
    dlg.m_strHint = "first line\r\nsecond line\r\nthird\r\nfourth\r\nfifth";
    std::string user, password, hint, prompt;
    LONG passwordStyle = 0, hintStyle = 0, userStyle = 0;
    TCHAR mask = 0;
    HWND focus = nullptr, passwordEdit = nullptr;
    Script script({On(title, [&](HWND h) {
        user = ItemText(h, 6006);
        password = ItemText(h, 6007);
        hint = ItemText(h, 6008);
        passwordEdit = ::GetDlgItem(h, 6007);
        passwordStyle = ::GetWindowLongA(passwordEdit, GWL_STYLE);
        hintStyle = ::GetWindowLongA(::GetDlgItem(h, 6008), GWL_STYLE);
        userStyle = ::GetWindowLongA(::GetDlgItem(h, 6006), GWL_STYLE);
        mask = static_cast<TCHAR>(::SendMessageA(passwordEdit, EM_GETPASSWORDCHAR, 0, 0));
        focus = ::GetFocus();
        SetItemText(h, 6007, "typed");
        SetItemText(h, 6006, "not read back");
        Click(h, IDOK);
    })});
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(user, "Taro");
    EXPECT_EQ(password, "last try");
    EXPECT_EQ(hint, "first line\r\nsecond line\r\nthird\r\nfourth\r\nfifth");
    EXPECT_TRUE(passwordStyle & ES_PASSWORD);
    EXPECT_NE(mask, 0);
    EXPECT_EQ(focus, passwordEdit);
    EXPECT_TRUE(hintStyle & ES_READONLY);
    EXPECT_TRUE(hintStyle & WS_VSCROLL);
    EXPECT_TRUE(hintStyle & ES_MULTILINE);
    EXPECT_TRUE(userStyle & ES_READONLY);
    EXPECT_STREQ(dlg.m_strPassword, "typed");
    EXPECT_STREQ(dlg.m_strUserName, "Taro");
}

TEST(CPasswdDlg, OkWithoutTypingKeepsAndCancelRestoresTheCallersPassword)
{
    InitNvComnDLL();
    const std::string title = Ansi(u8"パスワード入力");
    CPasswdDlg dlg;
    dlg.m_strPassword = "given";
    {
        Script script({On(title, [](HWND h) { Click(h, IDOK); })});
        EXPECT_EQ(dlg.DoModal(), IDOK);
        EXPECT_TRUE(script.Finished());
        EXPECT_STREQ(dlg.m_strPassword, "given");
    }
    {
        Script script({On(title, [](HWND h) {
            SetItemText(h, 6007, "typed then cancelled");
            Click(h, IDCANCEL);
        })});
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        EXPECT_TRUE(script.Finished());
        EXPECT_STREQ(dlg.m_strPassword, "given");
    }
    // An empty password is returned like any other.
    {
        Script script({On(title, [](HWND h) {
            SetItemText(h, 6007, "");
            Click(h, IDOK);
        })});
        EXPECT_EQ(dlg.DoModal(), IDOK);
        EXPECT_STREQ(dlg.m_strPassword, "");
    }
}
