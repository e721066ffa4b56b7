// The category editor on a real table, driven under Wine through its
// buttons and child dialogs; the table's records are checked afterwards.
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

namespace {

const std::string kEditorTitle = Ansi(u8"カテゴリの編集");
const std::string kNewTitle = Ansi(u8"新規カテゴリー");
const std::string kRenameTitle = Ansi(u8"カテゴリー名の変更");
const std::string kDeleteTitle = Ansi(u8"カテゴリの削除");

// List entries as "name=index", the selection marked "*".
std::vector<std::string> ListEntries(HWND hDlg)
{
    HWND h = ::GetDlgItem(hDlg, 6002);
    std::vector<std::string> out;
    int count = static_cast<int>(::SendMessageA(h, LB_GETCOUNT, 0, 0));
    int sel = static_cast<int>(::SendMessageA(h, LB_GETCURSEL, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[64] = {};
        ::SendMessageA(h, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        out.push_back((i == sel ? "*" : "") + std::string(text) + "="
                      + std::to_string(static_cast<int>(::SendMessageA(h, LB_GETITEMDATA, i, 0))));
    }
    return out;
}

void Select(HWND hDlg, const char* name)
{
    HWND h = ::GetDlgItem(hDlg, 6002);
    int i = static_cast<int>(::SendMessageA(h, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name)));
    ::SendMessageA(h, LB_SETCURSEL, i, 0);
}

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitNvComnDLL();
        testdata::DataFileBuilder b;
        b.SetCategory(0, "Unfiled", 0);
        b.SetCategory(1, "Bank", 1);
        b.SetCategory(2, "Home", 2);
        b.SetCategory(3, "Work", 3);
        b.lastUniqueID = 3;
        b.AddMemo("bank 1", 101, 0, 1);
        b.AddMemo("home", 102, 0, 2);
        b.AddMemo("bank, deleted before", 103, testdata::attr::Deleted, 1);
        b.AddMemo("unfiled", 104, 0, 0);
        b.AddMemo("bank 2", 105, 0, 1);
        m_path = m_dir.File("record.dat");
        testsupport::WriteBytes(m_path, b.Build());
        CString path(m_path.c_str());
        ASSERT_EQ(m_table.OpenFrom(path, CFile::modeReadWrite, nullptr), 0);
        ASSERT_NE(m_table.GetCategoryManager(), nullptr);
    }

    // "category/flags" of each record: u updated, d deleted.
    std::vector<std::string> Records()
    {
        std::vector<std::string> out;
        for (int i = 0; i < m_table.GetRecordCount(); ++i) {
            CGenRecord* r = m_table.GetRecord(i);
            out.push_back(std::to_string(r->GetCategory()) + "/" + (r->IsUpdate() ? "u" : "") + (r->IsDeleted() ? "d" : ""));
        }
        return out;
    }

    std::string CategoryName(int index)
    {
        CCategory* p = nullptr;
        return m_table.GetCategoryManager()->FindIndex(index, p) == CatErrNone ? std::string(p->GetName()) : "<none>";
    }

    testsupport::TempDir m_dir;
    std::string m_path;
    CTessalyTable m_table;
};

} // namespace

TEST_F(EditorTest, NewCategoryHoldsTheInterlockFromOpeningToClosing)
{
    CEditCategoryDlg dlg;
    dlg.SetCurrentIndex(2);
    dlg.SetTable(&m_table);
    std::vector<std::string> atStart, afterNew;
    int syncWhileOpen = -1;
    std::string nameAtStart;
    LRESULT limit = 0;
    Script script({
        On(kEditorTitle, [&](HWND h) {
            atStart = ListEntries(h);
            syncWhileOpen = CComn::SyncOK();
            Click(h, 6018);
        }),
        On(kNewTitle, [&](HWND h) {
            nameAtStart = ItemText(h, 6010);
            limit = ::SendMessageA(::GetDlgItem(h, 6010), EM_GETLIMITTEXT, 0, 0);
            SetItemText(h, 6010, "bank");   // differs from "Bank" in case only: another category
            Click(h, IDOK);
        }),
        On(kEditorTitle, [&](HWND h) {
            afterNew = ListEntries(h);
            Click(h, IDOK);
        }),
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(atStart, (std::vector<std::string>{"Bank=1", "*Home=2", "Work=3"}));
    EXPECT_EQ(syncWhileOpen, 0);
    EXPECT_NE(CComn::SyncOK(), 0);
    EXPECT_EQ(nameAtStart, "");
    EXPECT_EQ(limit, 15);
    EXPECT_EQ(afterNew, (std::vector<std::string>{"*bank=4", "Bank=1", "Home=2", "Work=3"}));
    EXPECT_EQ(dlg.m_nCurrentIndex, 4u);
    EXPECT_NE(dlg.IsModified(), 0);
    EXPECT_EQ(CategoryName(4), "bank");
}

TEST_F(EditorTest, NewIsRefusedForADuplicateAnEmptyNameAndAFullList)
{
    const int before = m_table.GetCategoryManager()->GetCount();
    std::string dupText, dupCaption, emptyText, emptyCaption;
    CEditCategoryDlg dlg;
    dlg.SetCurrentIndex(1);
    dlg.SetTable(&m_table);
    int countAfterCancel = -1;
    Script script({
        On(kEditorTitle, [](HWND h) { Click(h, 6018); }),
        On(kNewTitle, [](HWND h) {
            SetItemText(h, 6010, "Bank");
            Click(h, IDOK);
        }),
        AnswerBox(&dupText, &dupCaption),
        On(kEditorTitle, [](HWND h) { Click(h, 6018); }),
        On(kNewTitle, [](HWND h) { Click(h, IDOK); }),   // empty: the entry stays open
        AnswerBox(&emptyText, &emptyCaption),
        On(kNewTitle, [](HWND h) { Click(h, IDCANCEL); }),
        On(kEditorTitle, [&](HWND h) {
            countAfterCancel = m_table.GetCategoryManager()->GetCount();
            Click(h, IDCANCEL);
        }),
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(dupText, Ansi(u8"カテゴリ「Bank」は既に存在します。"));
    EXPECT_EQ(dupCaption, Ansi(u8"カテゴリの重複"));
    EXPECT_EQ(emptyText, Ansi(u8"カテゴリー名を入力してください。"));
    EXPECT_EQ(emptyCaption, kNewTitle);
    EXPECT_EQ(countAfterCancel, before);
    EXPECT_EQ(m_table.GetCategoryManager()->GetCount(), before);
    EXPECT_EQ(dlg.IsModified(), 0);

    // Fill every slot; New then says so and changes nothing.
    for (int i = 4; i < 16; ++i) {
        CCategory c;
        ASSERT_EQ(m_table.GetCategoryManager()->Add(&c), CatErrNone);
        CString name;
        name.Format("C%02d", i);
        m_table.GetCategoryManager()->Rename(i, name);
    }
    std::string fullText, fullCaption;
    size_t listSize = 0;
    Script full({
        On(kEditorTitle, [](HWND h) { Click(h, 6018); }),
        AnswerBox(&fullText, &fullCaption),
        On(kEditorTitle, [&](HWND h) {
            listSize = ListEntries(h).size();
            Click(h, IDCANCEL);
        }),
    });
    CEditCategoryDlg dlg2;
    dlg2.SetTable(&m_table);
    dlg2.DoModal();
    EXPECT_TRUE(full.Finished());
    EXPECT_EQ(fullText, Ansi(u8"カテゴリーは最大 15 種類まで設定できます。"));
    EXPECT_EQ(fullCaption, kNewTitle);
    EXPECT_EQ(listSize, 15u);
    EXPECT_EQ(m_table.GetCategoryManager()->GetCount(), 16);
}

TEST_F(EditorTest, RenamePlainToItsOwnNameAndMergeOntoAnother)
{
    CEditCategoryDlg dlg;
    dlg.SetCurrentIndex(3);
    dlg.SetTable(&m_table);
    std::string shownName, renameTitle, question, questionCaption;
    std::vector<std::string> afterRename, afterRefusedMerge, afterMerge;
    Script script({
        On(kEditorTitle, [](HWND h) { Click(h, 6019); }),
        On(kRenameTitle, [&](HWND h) {
            shownName = ItemText(h, 6010);
            SetItemText(h, 6010, "Job");
            Click(h, IDOK);
        }),
        On(kEditorTitle, [&](HWND h) {
            afterRename = ListEntries(h);
            Click(h, 6019);
        }),
        On(kRenameTitle, [](HWND h) { Click(h, IDOK); }),   // its own name: no question
        On(kEditorTitle, [](HWND h) {
            Select(h, "Bank");
            Click(h, 6019);
        }),
        On(kRenameTitle, [](HWND h) {
            SetItemText(h, 6010, "Home");
            Click(h, IDOK);
        }),
        AnswerBox(nullptr, nullptr, IDCANCEL),
        On(kEditorTitle, [&](HWND h) {
            afterRefusedMerge = ListEntries(h);
            Click(h, 6019);
        }),
        On(kRenameTitle, [](HWND h) {
            SetItemText(h, 6010, "Home");
            Click(h, IDOK);
        }),
        AnswerBox(&question, &questionCaption, IDOK),
        On(kEditorTitle, [&](HWND h) {
            afterMerge = ListEntries(h);
            Click(h, IDOK);
        }),
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(shownName, "Work");
    EXPECT_EQ(afterRename, (std::vector<std::string>{"Bank=1", "Home=2", "*Job=3"}));
    EXPECT_EQ(afterRefusedMerge, (std::vector<std::string>{"*Bank=1", "Home=2", "Job=3"}));
    EXPECT_EQ(question, Ansi(u8"カテゴリ「Home」が既に存在するため、「Bank」の全てのレコードが「Home」に追加されます。よろしいですか？"));
    EXPECT_EQ(questionCaption, kEditorTitle);
    EXPECT_EQ(afterMerge, (std::vector<std::string>{"*Home=2", "Job=3"}));
    EXPECT_EQ(dlg.m_nCurrentIndex, 2u);
    EXPECT_NE(dlg.IsModified(), 0);
    EXPECT_EQ(CategoryName(1), "<none>");
    EXPECT_EQ(CategoryName(3), "Job");
    // The deleted memo of Bank is left as it was.
    EXPECT_EQ(Records(), (std::vector<std::string>{"2/u", "2/", "1/d", "0/", "2/u"}));
}

TEST_F(EditorTest, DeleteMovesToUnfiledOrDeletesAndOkWithoutSelectionCancels)
{
    CEditCategoryDlg dlg;
    dlg.SetCurrentIndex(1);
    dlg.SetTable(&m_table);
    int modeShown = -1;
    std::vector<std::string> afterMove, afterDelete;
    Script script({
        On(kEditorTitle, [](HWND h) { Click(h, 6016); }),
        On(kDeleteTitle, [&](HWND h) {
            modeShown = ::IsDlgButtonChecked(h, 6015) == BST_CHECKED ? 0 : 1;
            Click(h, IDOK);
        }),
        On(kEditorTitle, [&](HWND h) {
            afterMove = ListEntries(h);
            Select(h, "Home");
            Click(h, 6016);
        }),
        On(kDeleteTitle, [](HWND h) {
            ::CheckRadioButton(h, 6015, 6016, 6016);
            Click(h, IDOK);
        }),
        On(kEditorTitle, [&](HWND h) {
            afterDelete = ListEntries(h);
            Click(h, IDOK);
        }),
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(modeShown, 0);
    EXPECT_EQ(afterMove, (std::vector<std::string>{"Home=2", "Work=3"}));
    EXPECT_EQ(afterDelete, (std::vector<std::string>{"Work=3"}));
    EXPECT_EQ(dlg.m_nCurrentIndex, static_cast<unsigned long>(-1));
    EXPECT_NE(dlg.IsModified(), 0);
    EXPECT_EQ(Records(), (std::vector<std::string>{"0/u", "2/d", "1/d", "0/", "0/u"}));
    EXPECT_EQ(CategoryName(1), "<none>");
    EXPECT_EQ(CategoryName(2), "<none>");
}

TEST_F(EditorTest, DeleteAndRenameAskForASelectionAndCancelsChangeNothing)
{
    CEditCategoryDlg dlg;
    dlg.SetTable(&m_table);   // no current index: nothing selected
    std::string deleteText, deleteCaption, renameText, renameCaption;
    Script script({
        On(kEditorTitle, [](HWND h) { Click(h, 6016); }),
        AnswerBox(&deleteText, &deleteCaption),
        On(kEditorTitle, [](HWND h) { Click(h, 6019); }),
        AnswerBox(&renameText, &renameCaption),
        On(kEditorTitle, [](HWND h) {
            Select(h, "Home");
            Click(h, 6016);
        }),
        On(kDeleteTitle, [](HWND h) { Click(h, IDCANCEL); }),
        On(kEditorTitle, [](HWND h) { Click(h, 6019); }),
        On(kRenameTitle, [](HWND h) {
            SetItemText(h, 6010, "Changed");
            Click(h, IDCANCEL);
        }),
        On(kEditorTitle, [](HWND h) { Click(h, IDCANCEL); }),
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(deleteText, Ansi(u8"削除する前にカテゴリーを選択してください。"));
    EXPECT_EQ(deleteCaption, kEditorTitle);
    EXPECT_EQ(renameText, Ansi(u8"名前を変更する前にカテゴリーを選択してください。"));
    EXPECT_EQ(renameCaption, kEditorTitle);
    EXPECT_EQ(dlg.IsModified(), 0);
    EXPECT_EQ(CategoryName(2), "Home");
    EXPECT_EQ(Records(), (std::vector<std::string>{"1/", "2/", "1/d", "0/", "1/"}));
}
