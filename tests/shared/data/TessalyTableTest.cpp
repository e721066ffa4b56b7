#include "TessalyTable.h"
#include "Category.h"
#include "shared/data/DataFileBuilder.h"

#include <gtest/gtest.h>

using namespace NorvaneCommon;
using namespace testdata;

namespace {

// Shift-JIS text: "メモ" and "ヒント".
const std::string kMemoSjis = "\x83\x81\x83\x82";
const std::string kHintSjis = "\x83\x71\x83\x93\x83\x67";
// MD5("secret") but for its last byte, 0x69.
const std::string kMd5Secret = "\x5e\xbe\x22\x94\xec\xd0\xe0\xf0\x8e\xab\x76\x90\xd2\xa6\xee";

// Exposes the password checks for direct questions.
class CTable : public CTessalyTable {
public:
    using CTessalyTable::IsPasswordOK;
    using CTessalyTable::IsPasswordSpecified;

    CTessalyRecord* Memo(int i) const { return static_cast<CTessalyRecord*>(GetRecord(i)); }
    std::string MemoText(int i) const { return Memo(i)->GetMemo().GetString(); }
    std::string Hint()
    {
        CString h;
        GetPasswdHint(h);
        return h.GetString();
    }
    LONG Open(const std::string& path, const char* password)
    {
        CString s(path.c_str());
        return OpenFrom(s, CFile::modeReadWrite, password);
    }
};

// A memo file as the handheld leaves it: categories, a hint, memos of
// several lengths, line breaks, Shift-JIS text and attribute bits.
DataFileBuilder HandheldFile(bool withPassword)
{
    DataFileBuilder b;
    b.SetCategory(0, "Unfiled", 0);
    b.SetCategory(1, "Bank", 1);
    b.SetCategory(4, kMemoSjis, 200);
    if (withPassword)
        b.SetPassword("secret");
    b.hint = kHintSjis + " 42";
    b.hasSortInfo = true;   // a sort-info block of its header alone
    b.AddMemo("", 0x00100001, 0, 0);
    b.AddMemo("first line\nsecond line\n", 0x00100002, attr::Private, 1);
    b.AddMemo(kMemoSjis + "\n" + kMemoSjis, 0x00100003, attr::Update | attr::Archived, 4);
    b.AddMemo(std::string(300, 'x'), 0x00100004, attr::Deleted, 1).leading = 0x41;
    b.AddMemo("abcde", 0x00100005, attr::New, 0).leading = 0x00;
    return b;
}

std::string WithCRLF(const std::string& lf)
{
    CString text(lf.c_str());
    text.Replace("\n", "\r\n");
    return text.GetString();
}

} // namespace

// Which password opens which file; all sixteen digest bytes count. A
// refused password loads the header and the blocks only (the hint and the
// categories, for asking again), and the half-loaded table writes nothing;
// one that opens reads every memo and writes the file back as it was. A
// file without a password ignores one, and so does a file without an
// application-info block.
TEST(TessalyTable, PasswordsThatOpenAndThatDoNot)
{
    const struct {
        const char* file;   // the file's password; null for none
        bool appInfo;
        const char* given;
        LONG result;
        std::string digest = "";   // stored instead of the password's
    } cases[] = {
        {"secret", true, nullptr, TableBadPassword}, {"secret", true, "", TableBadPassword},
        {"secret", true, "Secret", TableBadPassword}, {"secret", true, "secret ", TableBadPassword},
        {"secret", true, "secre", TableBadPassword},  {"secret", true, "secret", TableOK},
        {"secret", true, "secret", TableOK, kMd5Secret + "\x69"},
        {"secret", true, "secret", TableBadPassword, kMd5Secret + "\x68"},
        {"secret", true, nullptr, TableBadPassword, std::string(15, '\0') + "\x01"},
        // The empty password is the digest of no bytes, and Blowfish's standard tables.
        {"", true, nullptr, TableBadPassword},        {"", true, " ", TableBadPassword},
        {"", true, "", TableOK},
        {nullptr, true, "anything", TableOK},         {nullptr, false, nullptr, TableOK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file ? c.file : "(none)") + " / " + (c.given ? c.given : "(null)"));
        TempDir dir;
        DataFileBuilder b = HandheldFile(c.file != nullptr);
        if (c.file)
            b.password = c.file;
        b.digest = ToBytes(c.digest);
        b.hasAppInfo = c.appInfo;
        const Bytes image = b.Build();
        const std::string path = dir.Path("record.dat");
        ASSERT_TRUE(WriteFileBytes(path, image));
        CTable table;
        EXPECT_EQ(c.result, table.Open(path, c.given));
        EXPECT_EQ(c.appInfo ? kHintSjis + " 42" : "", table.Hint());
        EXPECT_EQ(c.appInfo ? 3 : -1, table.GetCategoryManager() ? table.GetCategoryManager()->GetCount() : -1);
        EXPECT_EQ(c.file != nullptr, table.IsPasswordSpecified() != 0);
        if (c.result != TableOK) {
            EXPECT_EQ(0, table.GetRecordCount());
            EXPECT_EQ(TableCannotOpen, table.Save());
            if (!c.digest.empty())
                continue;
            // The caller asks again on the same table.
            ASSERT_EQ(TableOK, table.Open(path, c.file));
        }
        ASSERT_EQ(5, table.GetRecordCount());
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(WithCRLF(b.records[i].text), table.MemoText(i)) << i;
            EXPECT_EQ(b.records[i].leading, table.Memo(i)->GetLeadingByte()) << i;
            EXPECT_EQ(b.records[i].id, table.Memo(i)->GetID()) << i;
            EXPECT_EQ(b.records[i].category, table.Memo(i)->GetCategory()) << i;
        }
        EXPECT_EQ(c.file != nullptr, table.IsPasswordOK(c.file ? c.file : "anything") != 0);
        ASSERT_EQ(TableOK, table.Save());
        EXPECT_EQ(image, ReadFileBytes(path));
        EXPECT_EQ(std::vector<std::string>{"record.dat"}, dir.List());
    }
}

// New and edited memos: the stored length is the text with single line
// feeds plus three, rounded up to 8, up to a 65,520-byte record (a memo of
// 65,477 bytes); the leading byte of a handheld memo is kept; appended memos
// take the next index. The file written is the one composed here, and reads
// back with every memo and index. One byte over the limit is refused whole,
// on writing and on reading, and the file stays as it was.
TEST(TessalyTable, NewAndEditedMemosAsStored)
{
    const std::string longest = std::string(65474, 'm') + "\n\ne";
    struct {
        std::string memo;   // as in memory
        std::string stored; // with single line feeds
        std::size_t length;
    } const cases[] = {
        {"", "", 8},
        {"abcde", "abcde", 8},
        {"abcdef", "abcdef", 16},
        {"0123456789abc", "0123456789abc", 16},
        {"0123456789abcd", "0123456789abcd", 24},
        {"ab\r\ncd\r\n", "ab\ncd\n", 16},
        {"lone\rcr", "lone\rcr", 16},
        {kMemoSjis + "\r\n" + kMemoSjis, kMemoSjis + "\n" + kMemoSjis, 16},
        {WithCRLF(longest), longest, 65480},
    };
    for (bool withPassword : {false, true}) {
        SCOPED_TRACE(withPassword ? "with password" : "without password");
        TempDir dir;
        DataFileBuilder b = HandheldFile(false);
        if (withPassword)
            b.SetPassword("\x83\x70\x83\x58");   // Shift-JIS password bytes
        const std::string path = dir.Path("record.dat");
        ASSERT_TRUE(WriteFileBytes(path, b.Build()));

        CTable table;
        ASSERT_EQ(TableOK, table.Open(path, b.password.c_str()));
        table.Memo(3)->SetMemo(CString("short"));
        table.Memo(3)->SetUpdate(1);
        b.records[3].text = "short";
        b.records[3].attributes |= attr::Update;
        for (const auto& c : cases) {
            CTessalyRecord* r = new CTessalyRecord;
            r->SetMemo(CString(c.memo.c_str()));
            r->SetCategory(1);
            r->SetUpdate(1);
            table.AppendRecord(r);
            EXPECT_EQ(b.records.size(), r->GetIndex());
            b.AddMemo(c.stored, 0, attr::Update, 1);
        }
        ASSERT_EQ(TableOK, table.Save());
        const Bytes saved = ReadFileBytes(path);
        EXPECT_EQ(b.Build(), saved);
        for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
            EXPECT_EQ(cases[i].length, GetLE32(saved, b.RecordOffset(5 + i) + 36)) << i;

        CTable again;
        ASSERT_EQ(TableOK, again.Open(path, b.password.c_str()));
        ASSERT_EQ(static_cast<LONG>(b.records.size()), again.GetRecordCount());
        for (int i = 0; i < again.GetRecordCount(); ++i) {
            EXPECT_EQ(i < 5 ? WithCRLF(b.records[i].text) : cases[i - 5].memo, again.MemoText(i)) << i;
            EXPECT_EQ(static_cast<DWORD>(i), again.Memo(i)->GetIndex());
        }
        EXPECT_EQ(0x41, again.Memo(3)->GetLeadingByte());

        again.Memo(2)->SetMemo(CString((longest + "x").c_str()));
        EXPECT_EQ(TableDamaged, again.Save());
        EXPECT_EQ(saved, ReadFileBytes(path));
        EXPECT_EQ(std::vector<std::string>{"record.dat"}, dir.List());
        b.records[2].text = longest + "x";
        ASSERT_TRUE(WriteFileBytes(path, b.Build()));
        EXPECT_EQ(TableDamaged, again.Open(path, b.password.c_str()));
    }
}

// The hint reads to its NUL, or to the end of data that has none; data that
// ends right before the hint gives no hint and is still a valid file.
TEST(TessalyTable, HintReadsToItsNulOrTheEndOfTheData)
{
    TempDir dir;
    const std::string path = dir.Path("record.dat");
    DataFileBuilder b = HandheldFile(true);
    b.hint = "first";
    b.appInfoTail = ToBytes("second");
    const Bytes whole = b.BuildAppInfoData();
    b.useAppInfoData = true;
    for (std::size_t size : {whole.size(), layout::Hint + 3, std::size_t(layout::Hint)}) {
        b.appInfoData.assign(whole.begin(), whole.begin() + size);
        ASSERT_TRUE(WriteFileBytes(path, b.Build()));
        CTable table;
        EXPECT_EQ(TableBadPassword, table.Open(path, nullptr));
        EXPECT_EQ(size == whole.size() ? "first" : size > layout::Hint ? "fir" : "", table.Hint()) << size;
        EXPECT_EQ(TableOK, table.Open(path, "secret"));
    }
}

// Stored data only a damaged or foreign file has. Of a length that is not a
// multiple of 8, whole blocks are deciphered and the tail is taken as
// stored; a lead byte before a line feed stays as it is. Memo data without
// its NUL, and application-info data too short for the digest, make the
// file damaged: nothing is loaded and nothing written.
TEST(TessalyTable, OddAndDamagedStoredData)
{
    const struct {
        std::string data;              // the last memo's data, enciphered but for a tail
        const char* memo;              // as read; null = damaged
        std::size_t appInfoSize = 0;   // the application-info data cut to this; 0 = whole
    } cases[] = {
        {std::string("\x20\0abcdefgh\0\0", 12), "abcdefgh"},
        {std::string("\x20\0abcdefgh\0\0\0", 13), "abcdefgh"},
        {std::string("\x20\0abcdefghijklmn\0\0\0\0\0", 21), "abcdefghijklmn"},
        {std::string("\x41\0a\0", 4), "a"},   // no whole block at all
        {std::string("\x20\0a\x83\nb\0\0", 8), "a\x83\nb"},
        {std::string("\x20\0abcdefghijklmn", 16), nullptr},
        {std::string("\x20\0", 2), nullptr},
        {"", nullptr},
        {std::string("\x41\0a\0", 4), nullptr, layout::Hint - 1},
        {std::string("\x41\0a\0", 4), nullptr, 100},
    };
    TempDir dir;
    const std::string path = dir.Path("record.dat");
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        DataFileBuilder b = HandheldFile(true);
        b.records.back() = RecordPlan::Raw(ToBytes(c.data));
        b.records.back().encipher = true;
        if (c.appInfoSize) {
            b.appInfoData = b.BuildAppInfoData();
            b.appInfoData.resize(c.appInfoSize);
            b.useAppInfoData = true;
        }
        const Bytes image = b.Build();
        ASSERT_TRUE(WriteFileBytes(path, image));
        CTable table;
        if (c.memo) {
            ASSERT_EQ(TableOK, table.Open(path, "secret"));
            EXPECT_EQ(c.memo, table.MemoText(4));
            continue;
        }
        EXPECT_EQ(TableDamaged, table.Open(path, "secret"));
        EXPECT_EQ(0, table.GetRecordCount());
        EXPECT_EQ(nullptr, table.GetCategoryManager());
        EXPECT_EQ("", table.Hint());
        EXPECT_EQ(TableCannotOpen, table.Save());
        EXPECT_EQ(image, ReadFileBytes(path));
    }
}
