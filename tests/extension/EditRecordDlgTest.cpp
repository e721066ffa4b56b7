// The memo editor opened from the view under Wine: new and existing memos,
// OK, Cancel and the empty-text message, its category box, its placement and
// minimum size, its edit commands and the HotSync refusal while it is open.
#include "Comn.h"
#include "ViewHarness.h"
#include "ViewRes.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace viewtest;
using namespace uitest;
using NorvaneCommon::CComn;
using Strings = std::vector<std::string>;

namespace {

const std::string kEditTitle = Ansi(u8"メモの編集");

std::string ComboText(HWND hDlg)
{
    HWND h = ::GetDlgItem(hDlg, IDC_CATEGORY);
    const int sel = static_cast<int>(::SendMessageA(h, CB_GETCURSEL, 0, 0));
    char text[64] = {};
    if (sel >= 0)
        ::SendMessageA(h, CB_GETLBTEXT, sel, reinterpret_cast<LPARAM>(text));
    return text;
}

void ChooseCombo(HWND hDlg, int data)
{
    HWND h = ::GetDlgItem(hDlg, IDC_CATEGORY);
    for (int i = 0; i < static_cast<int>(::SendMessageA(h, CB_GETCOUNT, 0, 0)); ++i)
        if (static_cast<int>(::SendMessageA(h, CB_GETITEMDATA, i, 0)) == data)
            ::SendMessageA(h, CB_SETCURSEL, i, 0);
    ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_CATEGORY, CBN_SELCHANGE), reinterpret_cast<LPARAM>(h));
}

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = WinPath(m_dir.File("record.dat"));
        MemoFilePlan s;
        s.categories = {"Bank", "Work"};
        s.memos = {{"Alpha", 1}, {"Bravo", 2}};
        ASSERT_TRUE(MakeMemoFile(m_path, s));
        h.view->OpenDataFile("user", CString(m_path.c_str()));
        ASSERT_TRUE(h.view->IsFileOpen());
    }

    // Runs the command with one scripted look at the editor.
    void Run(UINT nID, std::function<void(HWND)> act, std::vector<Step> more = {})
    {
        std::vector<Step> steps = {On(kEditTitle, act)};
        steps.insert(steps.end(), more.begin(), more.end());
        Script s(steps);
        h.view->RunCommand(nID);
        EXPECT_TRUE(s.Finished());
        h.Pump();
    }

    testsupport::TempDir m_dir;
    std::string m_path;
    ViewHarness h;
};

} // namespace

TEST_F(EditorTest, NewAndExistingMemosStartInTheRightCategoryAndEndAsChosen)
{
    struct Case {
        int listCategory;
        UINT command;
        int current;           // record previewed before the command
        const char* text;      // typed; null cancels
        int chooseCategory;    // -3 keeps the box as it is
        std::string startsAt;  // the category box when the editor opens
        std::string record;    // the record afterwards, as ReadBack shows it
    } cases[] = {
        {-1, ID_NEW_MEMO, -1, "Charlie", -3, Ansi(u8"未分類"), "Charlie|0|u|0"},
        {2, ID_NEW_MEMO, -1, "Delta", 1, "Work", "Delta|1|u|0"},
        {-1, ID_NEW_MEMO, -1, nullptr, -3, Ansi(u8"未分類"), "|0|d|0"},
        {-1, ID_EDIT_MEMO, 0, "Alpha 2", -3, "Bank", "Alpha 2|1|u|1001"},
        {-1, IDC_EDIT, 1, nullptr, 0, "Work", "Bravo|2||1002"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(MakeMemoFile(m_path, {"", "", {"Bank", "Work"}, {{"Alpha", 1}, {"Bravo", 2}}}));
        h.view->OpenDataFile("user", CString(m_path.c_str()));
        h.ChooseCategory(c.listCategory);
        h.view->RefillList(c.current);
        std::string startsAt;
        int sync = -1;
        Run(c.command, [&](HWND d) {
            startsAt = ComboText(d);
            sync = CComn::SyncOK();
            if (c.chooseCategory != -3)
                ChooseCombo(d, c.chooseCategory);
            if (c.text) {
                SetItemText(d, IDC_MEMO, c.text);
                Click(d, IDOK);
            } else {
                Click(d, IDCANCEL);
            }
        });
        SCOPED_TRACE(c.record);
        EXPECT_EQ(startsAt, c.startsAt);
        EXPECT_EQ(sync, 0);
        EXPECT_NE(CComn::SyncOK(), 0);
        EXPECT_TRUE(h.view->IsModified());
        if (c.text && c.chooseCategory == -3)
            EXPECT_EQ(h.Preview(), c.text);
        h.view->SaveDataFile();
        Strings records = ReadBack(m_path, "");
        const size_t at = c.command == ID_NEW_MEMO ? 2 : static_cast<size_t>(c.current);
        ASSERT_GT(records.size(), at);
        EXPECT_EQ(records[at], c.record);
        EXPECT_EQ(records.size(), c.command == ID_NEW_MEMO ? 3u : 2u);
    }
}

TEST_F(EditorTest, AnEmptyMemoIsRefusedWithAMessageAndTheEditorStaysOpen)
{
    std::string text, caption;
    bool stillOpen = false;
    Run(ID_NEW_MEMO, [](HWND d) { Click(d, IDOK); },
        {AnswerBox(&text, &caption), On(kEditTitle, [&](HWND d) {
             stillOpen = true;
             SetItemText(d, IDC_MEMO, "typed");
             Click(d, IDOK);
         })});
    EXPECT_EQ(text, Ansi(u8"メモを入力してください。"));
    EXPECT_EQ(caption, "MyTessaly");
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(h.Items(), (Strings{"Alpha", "Bravo", "*typed"}));
}

TEST_F(EditorTest, PlacementIsRestoredButNeverBelowTheTemplateSize)
{
    RECT first = {}, second = {};
    MINMAXINFO limits = {};
    SIZE templateSize = {};
    Run(ID_NEW_MEMO, [&](HWND d) {
        RECT r;
        ::GetWindowRect(d, &r);
        templateSize = {r.right - r.left, r.bottom - r.top};
        ::SetWindowPos(d, nullptr, 50, 60, templateSize.cx + 120, templateSize.cy + 80, SWP_NOZORDER);
        ::GetWindowRect(d, &first);
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(h.app.GetProfileInt("", "EditRecordDlgLeft", -1), static_cast<UINT>(first.left));
    EXPECT_EQ(h.app.GetProfileInt("", "EditRecordDlgBottom", -1), static_cast<UINT>(first.bottom));
    Run(ID_NEW_MEMO, [&](HWND d) {
        ::GetWindowRect(d, &second);
        ::SendMessageA(d, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
        // The memo grows with the dialog.
        RECT memo;
        ::GetWindowRect(::GetDlgItem(d, IDC_MEMO), &memo);
        EXPECT_GT(memo.right - memo.left, 101);
        Click(d, IDCANCEL);
    });
    EXPECT_TRUE(::EqualRect(&first, &second));
    EXPECT_EQ(limits.ptMinTrackSize.x, templateSize.cx);
    EXPECT_EQ(limits.ptMinTrackSize.y, templateSize.cy);
}

TEST_F(EditorTest, EditCommandsActOnTheMemoText)
{
    h.view->RefillList(0);
    std::string afterCut, afterPaste, selected;
    Run(ID_EDIT_MEMO, [&](HWND d) {
        HWND e = ::GetDlgItem(d, IDC_MEMO);
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(d, IDC_NEW)));
        EXPECT_EQ(::SendMessageA(e, EM_GETLIMITTEXT, 0, 0), 32767);
        auto command = [d](UINT id) { ::SendMessageA(d, WM_COMMAND, MAKEWPARAM(id, 1), 0); };
        command(ID_EDIT_SELECT_ALL_CMD);
        DWORD start = 0, end = 0;
        ::SendMessageA(e, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        selected = std::to_string(start) + "-" + std::to_string(end);
        command(ID_EDIT_CUT_CMD);
        afterCut = WindowText(e);
        command(ID_EDIT_PASTE_CMD);
        command(ID_EDIT_PASTE_CMD);
        afterPaste = WindowText(e);
        Click(d, IDOK);
    });
    EXPECT_EQ(selected, "0-5");
    EXPECT_EQ(afterCut, "");
    EXPECT_EQ(afterPaste, "AlphaAlpha");
    EXPECT_EQ(h.Preview(), "AlphaAlpha");
}

TEST_F(EditorTest, CtrlAReachesTheEditorThroughItsAccelerators)
{
    h.view->RefillList(1);
    std::string selected;
    Run(ID_EDIT_MEMO, [&](HWND d) {
        HWND e = ::GetDlgItem(d, IDC_MEMO);
        ::SetForegroundWindow(d);
        ::SetFocus(e);
        ::SendMessageA(e, EM_SETSEL, 0, 0);
        INPUT keys[4] = {};
        const WORD vk[4] = {VK_CONTROL, 'A', 'A', VK_CONTROL};
        for (int i = 0; i < 4; ++i) {
            keys[i].type = INPUT_KEYBOARD;
            keys[i].ki.wVk = vk[i];
            keys[i].ki.dwFlags = (i >= 2) ? KEYEVENTF_KEYUP : 0;
        }
        ::SendInput(4, keys, sizeof(INPUT));
    }, {[&](HWND d) {
        if (!d)
            return false;
        DWORD start = 0, end = 0;
        ::SendMessageA(::GetDlgItem(d, IDC_MEMO), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        if (end == 0)
            return false;   // the keys are still on their way
        selected = std::to_string(start) + "-" + std::to_string(end);
        Click(d, IDCANCEL);
        return true;
    }});
    EXPECT_EQ(selected, "0-5");
}

TEST_F(EditorTest, TheCategoryEditorOpensFromTheBoxAndHotSyncStaysRefused)
{
    int syncInEditor = -1;
    std::string after;
    Run(ID_NEW_MEMO, [](HWND d) { ChooseCombo(d, -2); },
        {On(Ansi(u8"カテゴリの編集"), [&](HWND c) {
             syncInEditor = CComn::SyncOK();
             Click(c, IDOK);
         }),
         On(kEditTitle, [&](HWND d) {
             after = ComboText(d);
             SetItemText(d, IDC_MEMO, "x");
             Click(d, IDOK);
         })});
    EXPECT_EQ(syncInEditor, 0);
    EXPECT_EQ(after, Ansi(u8"未分類"));
    EXPECT_NE(CComn::SyncOK(), 0);
}
