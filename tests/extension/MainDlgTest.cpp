// The memo view hosted as the control hosts it, and its memo editor, driven
// under Wine through their real windows: the password rules, saving, the
// status message, Find, the clipboard, Delete and Undo, category moves,
// views, and what the saved file holds afterwards.
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
const std::string kCategoriesTitle = Ansi(u8"カテゴリの編集");

// Types into the password prompt and presses the button ("" cancels),
// adding the user name it shows to `shown`.
Step Password(const char* typed, std::string* shown = nullptr)
{
    return On(Ansi(u8"パスワード入力"), [=](HWND h) {
        if (shown)
            *shown += ItemText(h, 6006) + ";";
        SetItemText(h, 6007, typed);
        Click(h, *typed ? IDOK : IDCANCEL);
    });
}

// Four memos in three categories; "Delta" deleted before the view opens.
MemoFilePlan Basic(const std::string& password = "pw")
{
    MemoFilePlan s;
    s.password = password;
    s.hint = "hint";
    s.categories = {"Bank", "Work"};
    s.memos = {{"Charlie\r\nthird line", 2},
               {"Alpha\r\nsecond of alpha\r\nmore", 1},
               {"Delta deleted BANK", 1, true},
               {"Bravo bank", 0},
               {"Echo", 1}};
    return s;
}

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = WinPath(m_dir.File("record.dat"));
        ASSERT_TRUE(MakeMemoFile(m_path, Basic()));
    }

    // Opens m_path for "user" with the right password typed once.
    void Open(const std::string& user = "user")
    {
        Script s({Password("pw")});
        h.view->OpenDataFile(CString(user.c_str()), CString(m_path.c_str()));
        ASSERT_TRUE(s.Finished());
        ASSERT_TRUE(h.view->IsFileOpen());
        h.Pump();
    }

    testsupport::TempDir m_dir;
    std::string m_path;
    ViewHarness h;
};

} // namespace

TEST_F(ViewTest, PasswordIsAskedOnlyWhenTheStoredOneDoesNotOpenTheFile)
{
    const std::string other = WinPath(m_dir.File("plain.dat"));
    MemoFilePlan plain = Basic("");
    ASSERT_TRUE(MakeMemoFile(other, plain));
    struct Case {
        const char* user;
        std::string file;
        std::vector<const char*> typed;   // one prompt each; "" cancels
        bool open;
    } cases[] = {
        {"anna", m_path, {"wrong", "pw"}, true},   // wrong, then right
        {"anna", m_path, {}, true},                 // same user: the stored password
        {"bert", m_path, {""}, false},             // another user: asked, cancelled
        {"bert", m_path, {"pw"}, true},            // asked again at the next open
        {"carl", other, {}, true},                 // no password on the file
    };
    for (const Case& c : cases) {
        std::vector<Step> steps;
        std::string shown, expected;
        for (const char* typed : c.typed)
            steps.push_back(Password(typed, &shown)), expected += std::string(c.user) + ";";
        std::vector<std::string> extra;
        steps.push_back(Watch(&extra));
        Script s(steps);
        h.view->OpenDataFile(CString(c.user), CString(c.file.c_str()));
        h.Pump();
        SCOPED_TRACE(std::string(c.user) + " " + c.file);
        EXPECT_EQ(s.StepsDone(), c.typed.size());
        EXPECT_TRUE(extra.empty());
        EXPECT_EQ(shown, expected);
        EXPECT_EQ(h.view->IsFileOpen() != FALSE, c.open);
        EXPECT_EQ(::IsWindowEnabled(h.view->m_hWnd) != FALSE, c.open);
        EXPECT_EQ(h.Items().size(), c.open ? 4u : 0u);
        EXPECT_EQ(::SendDlgItemMessageA(h.view->m_hWnd, IDC_CATEGORY, CB_GETCOUNT, 0, 0), c.open ? 5 : 0);
    }
}

TEST_F(ViewTest, NoCommandTouchesATableThatWasNeverOpened)
{
    EXPECT_FALSE(::IsWindowEnabled(h.view->m_hWnd));
    EXPECT_TRUE(h.Items().empty());
    h.SetClipboardText("pasted");
    std::vector<std::string> seen;
    Script s({Watch(&seen)});
    for (UINT id : std::vector<UINT>{ID_EDIT_PASTE_CMD, ID_NEW_MEMO, ID_EDIT_MEMO, ID_DELETE_MEMO, ID_EDIT_UNDO_CMD, 21})
        h.view->RunCommand(id);
    h.view->EditCategories();
    h.view->SaveDataFile();
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(h.State(ID_EDIT_PASTE_CMD), "1/0");
    EXPECT_EQ(h.view->GetTable(), nullptr);
    EXPECT_FALSE(h.view->IsModified());
}

TEST_F(ViewTest, SaveWritesTheDataFileAfterAChangeAndTellsOfAFailureOnce)
{
    Open();
    const std::string prefs = m_dir.File("UiPrefs.DAT");
    // Whether the data file was written since the last look.
    auto written = [&]() {
        const bool yes = testsupport::ReadBytes(m_path) != std::vector<std::uint8_t>{'x'};
        testsupport::WriteBytes(m_path, {'x'});
        return yes;
    };
    testsupport::RemoveFile(prefs);
    written();
    h.view->SaveDataFile();
    EXPECT_TRUE(testsupport::FileExists(prefs));
    EXPECT_FALSE(written());   // nothing changed yet

    // A HotSync operation that holds the file makes a save fail: the file
    // stays as it is, the changes stay, and the user hears of it once per run
    // of failures.
    h.SetClipboardText("new memo");
    h.view->RunCommand(ID_EDIT_PASTE_CMD);
    std::vector<std::string> boxes;
    Script s({Watch(&boxes)});
    std::string outcome;
    for (bool locked : {false, false, true, true, false, true}) {
        HANDLE hLock = locked ? ::CreateFileA(m_path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr) : nullptr;
        h.view->SaveDataFile();
        if (hLock)
            ::CloseHandle(hLock);
        outcome += written() ? "w" : "-";
    }
    EXPECT_EQ(outcome, "ww--w-");
    EXPECT_TRUE(h.view->IsModified());
    const std::string text = "box:" + Ansi(u8"メモのデータファイルを保存できませんでした。ディスクの空き容量が不足しているか、HotSync 操作などでファイルが使用中です。変更は失われていません。次の保存で再試行します。");
    EXPECT_EQ(boxes, (Strings{text, text}));
}

TEST_F(ViewTest, StatusMessageCarriesThePositionAndTheCount)
{
    Open();
    const int echo = 4;   // record index of "Echo", the fourth of four listed
    h.host.statuses.clear();
    h.view->RefillList(echo);
    h.Pump();
    ASSERT_FALSE(h.host.statuses.empty());
    EXPECT_EQ(h.host.statuses.back(), std::make_pair(3, 4));
    EXPECT_EQ(h.Items(), (Strings{"Alpha", "Bravo bank", "Charlie", "*Echo"}));
    h.ChooseCategory(2);   // "Work": Charlie alone, not selected
    h.Pump();
    EXPECT_EQ(h.host.statuses.back(), std::make_pair(-1, 1));
}

TEST_F(ViewTest, FindMatchesCaseAsAskedAndSkipsDeletedMemos)
{
    Open();
    // What the search finds from where it stands, as "index:first|second".
    auto rest = [&]() {
        Strings found;
        CString first, second;
        for (int index = -1; h.view->FindNext(first, second, index);)
            found.push_back(std::to_string(index) + ":" + first.GetString() + "|" + second.GetString());
        return found;
    };
    const struct {
        const char* text;
        BOOL matchCase;
        Strings found;
    } cases[] = {
        {"BANK", FALSE, {"3:Bravo bank|"}},
        {"BANK", TRUE, {}},
        {"a", TRUE, {"0:Charlie|third line", "1:Alpha|second of alpha", "3:Bravo bank|"}},
        {"ALPHA", FALSE, {"1:Alpha|second of alpha"}},
    };
    for (const auto& c : cases) {
        h.view->FindStart(c.text, c.matchCase, FALSE);
        EXPECT_EQ(rest(), c.found) << c.text << " " << c.matchCase;
    }
    // A memo cut while the search runs is not found, not even the one the
    // search already stands on.
    h.view->FindStart("a", TRUE, FALSE);
    CString first, second;
    int index = -1;
    ASSERT_TRUE(h.view->FindNext(first, second, index));   // Charlie; Alpha is next
    h.Select({0});
    h.view->RunCommand(ID_EDIT_CUT_CMD);
    EXPECT_EQ(rest(), (Strings{"3:Bravo bank|"}));
    h.view->FindGoTo(2, TRUE);   // deleted: nothing happens
    h.view->FindGoTo(0, TRUE);
    EXPECT_EQ(h.view->GetCurrentRecord(), 0);
    EXPECT_EQ(h.Preview(), "Charlie\r\nthird line");
}

TEST_F(ViewTest, PasteMakesMemosOfAtMost32767BytesInTheShownCategory)
{
    struct Case {
        std::string text;
        int category;       // the category box's choice
        Strings added;      // as ReadBack shows them
    } cases[] = {
        {std::string(70000, 'x'), -1,
         {"xxxxxxxx..<32767>|0|u|0", "xxxxxxxx..<32767>|0|u|0", "xxxxxxxx..<4466>|0|u|0"}},
        {"one\f\ftwo\f", 2, {"one|2|u|0", "two|2|u|0"}},
        {"\f\f", 1, {}},
        // A cut never splits a double-byte character.
        {std::string(32766, 'y') + Ansi(u8"漢"), 0, {"yyyyyyyy..<32766>|0|u|0", Ansi(u8"漢") + "|0|u|0"}},
    };
    int round = 0;
    for (const Case& c : cases) {
        ASSERT_TRUE(MakeMemoFile(m_path, Basic()));
        Open("user" + std::to_string(++round));
        h.ChooseCategory(c.category);
        const size_t before = h.Items().size();
        h.SetClipboardText(c.text);
        EXPECT_EQ(h.State(ID_EDIT_PASTE_CMD), "1/1");
        h.view->RunCommand(ID_EDIT_PASTE_CMD);
        EXPECT_EQ(h.Items().size(), before + c.added.size());
        h.view->SaveDataFile();
        Strings records = ReadBack(m_path, "pw");
        EXPECT_EQ(Strings(records.begin() + 5, records.end()), c.added) << c.category;
    }
}

TEST_F(ViewTest, CopyDeleteAndUndoAndACutThatIsNeverUndone)
{
    Open();
    h.Select({0, 1, 3});   // copying joins the memos with form feeds
    h.view->RunCommand(ID_EDIT_COPY_CMD);
    EXPECT_EQ(h.ClipboardText(), "Alpha\r\nsecond of alpha\r\nmore\fBravo bank\fEcho");
    h.view->RefillList(1);   // "Alpha" previewed
    EXPECT_EQ(h.Preview(), "Alpha\r\nsecond of alpha\r\nmore");
    h.Select({0, 2});        // Alpha, Charlie
    std::vector<std::string> seen;
    {
        std::string text, caption;
        Script s({AnswerBox(&text, &caption, IDCANCEL)});
        h.view->RunCommand(ID_DELETE_MEMO);
        EXPECT_EQ(text, Ansi(u8"選択したメモを削除しますか？"));
        EXPECT_EQ(caption, Ansi(u8"メモの削除"));
        EXPECT_EQ(h.Items().size(), 4u);
        Script t({AnswerBox(nullptr, nullptr, IDOK), Watch(&seen)});
        h.view->RunCommand(ID_DELETE_MEMO);
        EXPECT_EQ(t.StepsDone(), 1u);
        EXPECT_EQ(h.Items(), (Strings{"Bravo bank", "Echo"}));
        // The previewed memo went: nothing is offered for editing any more.
        EXPECT_EQ(h.Preview(), "");
        EXPECT_FALSE(h.EditEnabled());
        EXPECT_EQ(h.State(ID_EDIT_MEMO), "1/0");
        h.view->RunCommand(ID_EDIT_MEMO);
        h.view->RunCommand(IDC_EDIT);
    }
    EXPECT_TRUE(seen.empty());

    h.Select({0});   // Bravo: cut, never undone
    h.view->RunCommand(ID_EDIT_CUT_CMD);
    EXPECT_EQ(h.ClipboardText(), "Bravo bank");
    EXPECT_EQ(h.State(ID_EDIT_UNDO_CMD), "1/1");
    h.view->RefillList(4);   // Echo selected: the undo leaves it unselected
    h.view->RunCommand(ID_EDIT_UNDO_CMD);
    EXPECT_EQ(h.Items(), (Strings{"*Alpha", "*Charlie", "Echo"}));
    EXPECT_EQ(h.State(ID_EDIT_UNDO_CMD), "1/0");
    EXPECT_TRUE(seen.empty());
    h.view->SaveDataFile();
    EXPECT_EQ(ReadBack(m_path, "pw"), (Strings{"Charlie\r\nthird line|2||1001", "Alpha\r\nsecond of alpha\r\nmore|1||1002",
                                               "Delta deleted BANK|1|d|1003", "Bravo bank|0|d|1004", "Echo|1||1005"}));
}

TEST_F(ViewTest, MovingAMemoLeavesAFilteredListOrRenamesItsCell)
{
    Open();
    h.ChooseCategory(1);   // Bank: Alpha, Echo
    EXPECT_EQ(h.Items(), (Strings{"Alpha", "Echo"}));
    h.Select({1});
    h.view->RunCommand(ID_MOVE_CATEGORY_FIRST + 2);
    EXPECT_EQ(h.Items(), (Strings{"Alpha"}));
    h.ChooseCategory(-1);
    h.Select({1});   // Bravo bank
    h.view->RunCommand(ID_MOVE_CATEGORY_FIRST + 1);
    EXPECT_EQ(h.Items(1), (Strings{"Bank", "*Bank", "Work", "Work"}));
    h.view->SaveDataFile();
    EXPECT_EQ(ReadBack(m_path, "pw")[3], "Bravo bank|1|u|1004");
    EXPECT_EQ(ReadBack(m_path, "pw")[4], "Echo|2|u|1005");
}

// With the focus in the preview only copying and selecting its text count.
TEST_F(ViewTest, WithTheFocusInThePreviewOnlyItsTextIsCopied)
{
    Open();
    h.SetClipboardText("x");
    h.view->RefillList(3);   // Bravo bank selected and previewed
    HWND hPreview = ::GetDlgItem(h.view->m_hWnd, IDC_MEMO);
    ::SetFocus(hPreview);
    ::SendMessageA(hPreview, EM_SETSEL, 0, 0);
    EXPECT_EQ(h.State(ID_EDIT_COPY_CMD) + h.State(ID_DELETE_MEMO) + h.State(ID_EDIT_PASTE_CMD) + h.State(ID_NEW_MEMO), "1/01/01/00/0");
    h.view->RunCommand(ID_EDIT_SELECT_ALL_CMD);
    EXPECT_EQ(h.State(ID_EDIT_COPY_CMD), "1/1");
    h.view->RunCommand(ID_EDIT_CUT_CMD);
    EXPECT_EQ(h.Items().size(), 4u);
}

TEST_F(ViewTest, HidingAColumnFromTheHeaderMenuKeepsEveryCellInItsColumn)
{
    Open();
    HWND hHeader = ListView_GetHeader(::GetDlgItem(h.view->m_hWnd, IDC_LIST));
    CRect r;
    Header_GetItemRect(hHeader, 1, &r);   // "カテゴリ"
    ::MapWindowPoints(hHeader, nullptr, reinterpret_cast<POINT*>(&r), 2);
    Script s({[](HWND) { return ::EndMenu() != FALSE; }});
    ::SendMessageA(h.view->m_hWnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hHeader), MAKELPARAM(r.left + 5, r.top + 5));
    h.view->RunCommand(ID_HIDE_COLUMN);
    EXPECT_EQ(Header_GetItemCount(hHeader), 2);
    EXPECT_EQ(h.Items(1), (Strings{"second of alpha", "", "third line", ""}));
    h.SetClipboardText("pasted\r\nits second line");
    h.view->RunCommand(ID_EDIT_PASTE_CMD);
    EXPECT_EQ(h.Items(1).back(), "its second line");
}

// Arrow keys preview the neighbour of the selection; Alt keys switch the
// views.
TEST_F(ViewTest, KeysMoveThePreviewAndSwitchTheViews)
{
    Open();
    h.view->RefillList(3);   // Bravo bank, second of four
    const struct { WPARAM key; int previewed; } keys[] = {{VK_DOWN, 0}, {VK_DOWN, 4}, {VK_UP, 0}, {VK_UP, 3}, {VK_HOME, 3}};
    for (const auto& k : keys) {
        ::SendDlgItemMessageA(h.view->m_hWnd, IDC_LIST, WM_KEYDOWN, k.key, 0);
        EXPECT_EQ(h.view->GetCurrentRecord(), k.previewed) << k.key;
    }
    const struct { WPARAM key; int style; } views[] = {{'R', LVS_ICON}, {'C', LVS_SMALLICON}, {'L', LVS_REPORT}, {'R', LVS_ICON}};
    for (const auto& v : views) {
        MSG m = {h.view->m_hWnd, WM_SYSKEYDOWN, v.key, 0, 0, {0, 0}};
        EXPECT_TRUE(h.view->PreTranslateMessage(&m));
        h.Pump();
        EXPECT_EQ(h.ListStyle(), v.style) << static_cast<char>(v.key);
    }
}

// ---------------------------------------------------------- the memo editor
// New and existing memos, OK, Cancel and the empty-text message, its category
// box, its edit commands and the HotSync refusal while it is open.

namespace {

std::string Selection(HWND hEdit)
{
    DWORD start = 0, end = 0;
    ::SendMessageA(hEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return std::to_string(start) + "-" + std::to_string(end);
}

class EditorTest : public ViewTest {
protected:
    // An unprotected file: Alpha in Bank, Bravo in Work.
    void SetUp() override
    {
        ViewTest::SetUp();
        ASSERT_TRUE(MakeMemoFile(m_path, {"", "", {"Bank", "Work"}, {{"Alpha", 1}, {"Bravo", 2}}}));
        h.view->OpenDataFile("user", CString(m_path.c_str()));
        ASSERT_TRUE(h.view->IsFileOpen());
    }
    // Runs the command with one scripted look at the editor.
    void Run(UINT nID, std::function<void(HWND)> act, std::vector<Step> more = {})
    {
        more.insert(more.begin(), On(kEditTitle, act));
        Script s(more);
        h.view->RunCommand(nID);
        EXPECT_TRUE(s.Finished());
        h.Pump();
    }
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
        SetUp();
        h.ChooseCategory(c.listCategory);
        h.view->RefillList(c.current);
        std::string startsAt;
        int sync = -1;
        Run(c.command, [&](HWND d) {
            startsAt = ItemText(d, IDC_CATEGORY);
            sync = CComn::SyncOK();
            if (c.chooseCategory != -3)
                ChooseCategory(d, c.chooseCategory, true);
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
        if (c.text && c.chooseCategory == -3) {
            EXPECT_EQ(h.Preview(), c.text);
        }
        h.view->SaveDataFile();
        Strings records = ReadBack(m_path, "");
        const size_t at = c.command == ID_NEW_MEMO ? 2 : static_cast<size_t>(c.current);
        EXPECT_EQ(records.size() > at ? records[at] : "<none>", c.record);
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

// Its edit commands, and Ctrl+A through its accelerators, act on the memo text.
TEST_F(EditorTest, EditCommandsAndCtrlAActOnTheMemoText)
{
    h.view->RefillList(0);
    std::string seen;   // "selection:text" after each command
    Run(ID_EDIT_MEMO, [&](HWND d) {
        HWND e = ::GetDlgItem(d, IDC_MEMO);
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(d, IDC_NEW)));
        EXPECT_EQ(::SendMessageA(e, EM_GETLIMITTEXT, 0, 0), 32767);
        for (UINT id : {ID_EDIT_SELECT_ALL_CMD, ID_EDIT_CUT_CMD, ID_EDIT_PASTE_CMD, ID_EDIT_PASTE_CMD}) {
            ::SendMessageA(d, WM_COMMAND, MAKEWPARAM(id, 1), 0);
            seen += Selection(e) + ":" + WindowText(e) + " ";
        }
        Click(d, IDOK);
    });
    EXPECT_EQ(seen, "0-5:Alpha 0-0: 5-5:Alpha 10-10:AlphaAlpha ");
    EXPECT_EQ(h.Preview(), "AlphaAlpha");

    h.view->RefillList(1);
    Run(ID_EDIT_MEMO, [&](HWND d) {
        ::SetForegroundWindow(d);
        ::SetFocus(::GetDlgItem(d, IDC_MEMO));
        ::SendDlgItemMessageA(d, IDC_MEMO, EM_SETSEL, 0, 0);
        INPUT keys[4] = {};
        for (int i = 0; i < 4; ++i)
            keys[i].type = INPUT_KEYBOARD, keys[i].ki.wVk = i % 3 ? 'A' : VK_CONTROL, keys[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
        ::SendInput(4, keys, sizeof(INPUT));
    }, {[&](HWND d) {
        // Done once the keys have arrived.
        if (!d || (seen = Selection(::GetDlgItem(d, IDC_MEMO))) == "0-0")
            return false;
        Click(d, IDCANCEL);
        return true;
    }});
    EXPECT_EQ(seen, "0-5");
}

// The category editor opens from the box; HotSync stays refused after it.
TEST_F(EditorTest, TheCategoryEditorOpensFromTheBox)
{
    std::string after;
    Run(ID_NEW_MEMO, [](HWND d) { ChooseCategory(d, -2, true); },
        {On(kCategoriesTitle, [&](HWND c) { Click(c, IDOK); }),
         On(kEditTitle, [&](HWND d) {
             after = ItemText(d, IDC_CATEGORY);
             SetItemText(d, IDC_MEMO, "x");
             Click(d, IDOK);
         })});
    EXPECT_EQ(after, Ansi(u8"未分類"));
    EXPECT_NE(CComn::SyncOK(), 0);
}
