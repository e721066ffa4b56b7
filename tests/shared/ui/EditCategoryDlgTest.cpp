// The category editor on a real table, driven under Wine through its
// buttons and child dialogs; each step logs what it saw, and the table's
// records are checked afterwards.
#include "Category.h"
#include "Comn.h"
#include "EditCategoryDlg.h"
#include "TessalyTable.h"
#include "UiDriver.h"
#include "shared/data/DataFileBuilder.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

extern "C" __declspec(dllimport) void InitNvComnDLL(void);

using namespace NorvaneCommon;
using namespace uitest;
using Log = std::vector<std::string>;

namespace {

const std::string kEditor = Ansi(u8"カテゴリの編集");
const std::string kNew = Ansi(u8"新規カテゴリー");
const std::string kRename = Ansi(u8"カテゴリー名の変更");
const int kList = 6002, kNameEdit = 6010, kNewButton = 6018, kDeleteButton = 6016, kRenameButton = 6019;

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitNvComnDLL();
        testdata::DataFileBuilder b;
        const char* names[] = {"Unfiled", "Bank", "Home", "Work"};
        for (int i = 0; i < 4; ++i)
            b.SetCategory(i, names[i], static_cast<std::uint8_t>(i));
        b.lastUniqueID = 3;
        b.AddMemo("bank 1", 101, 0, 1);
        b.AddMemo("home", 102, 0, 2);
        b.AddMemo("bank, deleted before", 103, testdata::attr::Deleted, 1);
        b.AddMemo("unfiled", 104, 0, 0);
        b.AddMemo("bank 2", 105, 0, 1);
        CString path(m_dir.File("record.dat").c_str());
        testsupport::WriteBytes(static_cast<LPCSTR>(path), b.Build());
        ASSERT_EQ(m_table.OpenFrom(path, CFile::modeReadWrite, nullptr), 0);
        ASSERT_NE(m_table.GetCategoryManager(), nullptr);
    }

    // On the editor: logs its list as "name=index" (the selection marked
    // "*"), selects `select` if given and clicks `button`.
    Step Editor(int button, const char* select = nullptr)
    {
        return On(kEditor, [this, button, select](HWND h) {
            HWND list = ::GetDlgItem(h, kList);
            const int count = static_cast<int>(::SendMessageA(list, LB_GETCOUNT, 0, 0));
            const int sel = static_cast<int>(::SendMessageA(list, LB_GETCURSEL, 0, 0));
            std::string entries;
            for (int i = 0; i < count; ++i) {
                char text[64] = {};
                ::SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
                entries += std::string(i ? " " : "") + (i == sel ? "*" : "") + text + "="
                    + std::to_string(static_cast<int>(::SendMessageA(list, LB_GETITEMDATA, i, 0)));
            }
            m_log.push_back(entries + (CComn::SyncOK() ? " (sync allowed while open)" : ""));
            if (select)
                ::SendMessageA(list, LB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(select));
            Click(h, button);
        });
    }

    // On a name entry: logs the name shown and its limit, types `name`
    // unless it is null and clicks `button`.
    Step Name(const std::string& title, const char* name, int button = IDOK)
    {
        return On(title, [this, name, button](HWND h) {
            m_log.push_back("[" + ItemText(h, kNameEdit) + "] max "
                            + std::to_string(::SendDlgItemMessageA(h, kNameEdit, EM_GETLIMITTEXT, 0, 0)));
            if (name)
                SetItemText(h, kNameEdit, name);
            Click(h, button);
        });
    }

    // On the delete choice: logs the choice offered, takes "delete" if asked
    // and clicks `button`.
    Step DeleteChoice(bool deleteMemos, int button = IDOK)
    {
        return On(Ansi(u8"カテゴリの削除"), [this, deleteMemos, button](HWND h) {
            m_log.push_back(::IsDlgButtonChecked(h, 6015) == BST_CHECKED ? "move offered" : "delete offered");
            if (deleteMemos)
                ::CheckRadioButton(h, 6015, 6016, 6016);
            Click(h, button);
        });
    }

    INT_PTR Run(CEditCategoryDlg& dlg, std::vector<Step> steps)
    {
        dlg.SetTable(&m_table);
        INT_PTR result = RunModal(dlg, std::move(steps));
        EXPECT_NE(CComn::SyncOK(), 0);
        return result;
    }

    // "category/flags" of each record: u updated, d deleted.
    std::string Records()
    {
        std::string out;
        for (int i = 0; i < m_table.GetRecordCount(); ++i) {
            CGenRecord* r = m_table.GetRecord(i);
            out += std::to_string(r->GetCategory()) + "/" + (r->IsUpdate() ? "u" : "") + (r->IsDeleted() ? "d " : " ");
        }
        return out;
    }

    testsupport::TempDir m_dir;
    CTessalyTable m_table;
    Log m_log;
};

} // namespace

TEST_F(EditorTest, NewTakesANameOfFifteenBytesDifferingInCaseToo)
{
    CEditCategoryDlg dlg;
    dlg.SetCurrentIndex(2);
    EXPECT_EQ(Run(dlg, {Editor(kNewButton), Name(kNew, "bank"), Editor(IDOK)}), IDOK);
    EXPECT_EQ(m_log, (Log{"Bank=1 *Home=2 Work=3", "[] max 15", "*bank=4 Bank=1 Home=2 Work=3"}));
    EXPECT_EQ(dlg.m_nCurrentIndex, 4u);
    EXPECT_NE(dlg.IsModified(), 0);
}

TEST_F(EditorTest, RefusedAndCancelledEditsChangeNothing)
{
    CEditCategoryDlg dlg;   // no current index: nothing selected
    const std::string none = "Bank=1 Home=2 Work=3";
    EXPECT_EQ(Run(dlg, {Editor(kDeleteButton), AnswerBox(&m_log), Editor(kRenameButton), AnswerBox(&m_log),
                        Editor(kNewButton), Name(kNew, "Bank"), AnswerBox(&m_log),
                        // An empty name keeps the entry open.
                        Editor(kNewButton), Name(kNew, nullptr), AnswerBox(&m_log), Name(kNew, "X", IDCANCEL),
                        Editor(kDeleteButton, "Home"), DeleteChoice(true, IDCANCEL),
                        Editor(kRenameButton), Name(kRename, "Changed", IDCANCEL), Editor(IDCANCEL)}),
              IDCANCEL);
    EXPECT_EQ(m_log, (Log{none, Ansi(u8"削除する前にカテゴリーを選択してください。 / ") + kEditor,
                          none, Ansi(u8"名前を変更する前にカテゴリーを選択してください。 / ") + kEditor,
                          none, "[] max 15", Ansi(u8"カテゴリ「Bank」は既に存在します。 / カテゴリの重複"),
                          none, "[] max 15", Ansi(u8"カテゴリー名を入力してください。 / ") + kNew, "[] max 15",
                          none, "move offered", "Bank=1 *Home=2 Work=3", "[Home] max 15", "Bank=1 *Home=2 Work=3"}));
    EXPECT_EQ(m_table.GetCategoryManager()->GetCount(), 4);
    EXPECT_EQ(dlg.IsModified(), 0);
    EXPECT_EQ(Records(), "1/ 2/ 1/d 0/ 1/ ");

    // With every slot taken New says so and adds nothing.
    for (int i = 4; i < 16; ++i) {
        CCategory c;
        ASSERT_EQ(m_table.GetCategoryManager()->Add(&c), CatErrNone);
    }
    m_log.clear();
    CEditCategoryDlg full;
    Run(full, {Editor(kNewButton), AnswerBox(&m_log), Editor(IDCANCEL)});
    ASSERT_EQ(m_log.size(), 3u);
    EXPECT_EQ(m_log[1], Ansi(u8"カテゴリーは最大 15 種類まで設定できます。 / ") + kNew);
    EXPECT_EQ(m_log[2], m_log[0]);
    EXPECT_EQ(m_table.GetCategoryManager()->GetCount(), 16);
}

TEST_F(EditorTest, RenamePlainToItsOwnNameAndMergeOntoAnother)
{
    CEditCategoryDlg dlg;
    dlg.SetCurrentIndex(3);
    EXPECT_EQ(Run(dlg, {Editor(kRenameButton), Name(kRename, "Job"),
                        Editor(kRenameButton), Name(kRename, nullptr),   // its own name: no question
                        Editor(kRenameButton, "Bank"), Name(kRename, "Home"), AnswerBox(&m_log, IDCANCEL),
                        Editor(kRenameButton), Name(kRename, "Home"), AnswerBox(&m_log), Editor(IDOK)}),
              IDOK);
    const std::string merge = Ansi(u8"カテゴリ「Home」が既に存在するため、「Bank」の全てのレコードが「Home」に"
                                   u8"追加されます。よろしいですか？ / ") + kEditor;
    EXPECT_EQ(m_log, (Log{"Bank=1 Home=2 *Work=3", "[Work] max 15", "Bank=1 Home=2 *Job=3", "[Job] max 15",
                          "Bank=1 Home=2 *Job=3", "[Bank] max 15", merge, "*Bank=1 Home=2 Job=3", "[Bank] max 15",
                          merge, "*Home=2 Job=3"}));
    EXPECT_EQ(dlg.m_nCurrentIndex, 2u);
    EXPECT_NE(dlg.IsModified(), 0);
    // The deleted memo of Bank is left as it was.
    EXPECT_EQ(Records(), "2/u 2/ 1/d 0/ 2/u ");
}

TEST_F(EditorTest, DeleteMovesToUnfiledOrDeletesAndOkWithoutSelectionCancels)
{
    CEditCategoryDlg dlg;
    dlg.SetCurrentIndex(1);
    EXPECT_EQ(Run(dlg, {Editor(kDeleteButton), DeleteChoice(false), Editor(kDeleteButton, "Home"),
                        DeleteChoice(true), Editor(IDOK)}),
              IDCANCEL);
    EXPECT_EQ(m_log, (Log{"*Bank=1 Home=2 Work=3", "move offered", "Home=2 Work=3", "move offered", "Work=3"}));
    EXPECT_EQ(dlg.m_nCurrentIndex, static_cast<unsigned long>(-1));
    EXPECT_NE(dlg.IsModified(), 0);
    EXPECT_EQ(Records(), "0/u 2/d 1/d 0/ 0/u ");
}
