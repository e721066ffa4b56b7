#include "TessalyTable.h"
#include "Category.h"
#include "shared/data/DataFileBuilder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace NorvaneCommon;
using namespace testdata;

namespace {

// Shift-JIS text: "メモ" and "ヒント".
const std::string kMemoSjis = "\x83\x81\x83\x82";
const std::string kHintSjis = "\x83\x71\x83\x93\x83\x67";

Bytes FromHex(const char* hex)
{
    Bytes out;
    for (; hex[0] && hex[1]; hex += 2)
        out.push_back(static_cast<unsigned char>(std::stoul(std::string(hex, 2), nullptr, 16)));
    return out;
}

// Exposes the password checks for direct questions.
class CTable : public CTessalyTable {
public:
    using CTessalyTable::IsPasswordOK;
    using CTessalyTable::IsPasswordSpecified;

    CTessalyRecord* Memo(int i) const { return static_cast<CTessalyRecord*>(GetRecord(i)); }
    std::string MemoText(int i) const
    {
        const CString& m = Memo(i)->GetMemo();
        return std::string(m.GetString(), m.GetLength());
    }
    std::string Hint()
    {
        CString h;
        GetPasswdHint(h);
        return std::string(h.GetString(), h.GetLength());
    }
};

LONG Open(CGenTable& table, const std::string& path, const char* password)
{
    CString s(path.c_str());
    return table.OpenFrom(s, CFile::modeReadWrite, password);
}

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
    b.AddMemo("", 0x00100001, 0, 0);
    b.AddMemo("first line\nsecond line\n", 0x00100002, attr::Private, 1);
    b.AddMemo(kMemoSjis + "\n" + kMemoSjis, 0x00100003, attr::Update | attr::Archived, 4);
    b.AddMemo(std::string(300, 'x'), 0x00100004, attr::Deleted, 1).leading = 0x41;
    b.AddMemo("abcde", 0x00100005, attr::New, 0).leading = 0x00;
    return b;
}

std::string WithCRLF(const std::string& lf)
{
    std::string out;
    for (char c : lf) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// The record data as stored in a saved file.
Bytes StoredData(const Bytes& file, const DataFileBuilder& layout, std::size_t i)
{
    std::size_t off = layout.RecordOffset(i);
    std::uint32_t len = GetLE32(file, off + 36);
    return Bytes(file.begin() + off + 40, file.begin() + off + 40 + len);
}

} // namespace

// Which password opens which file. A refused one loads the header and the
// blocks only (the hint and the categories, for asking again), and the
// half-loaded table writes nothing; one that opens reads every memo and
// writes the file back as it was. A file without a password ignores one,
// and so does a file without an application-info block.
TEST(TessalyTable, PasswordsThatOpenAndThatDoNot)
{
    const struct {
        const char* file;   // the file's password; null for none
        bool appInfo;
        const char* given;
        LONG result;
    } cases[] = {
        {"secret", true, nullptr, TableBadPassword}, {"secret", true, "", TableBadPassword},
        {"secret", true, "Secret", TableBadPassword}, {"secret", true, "secret ", TableBadPassword},
        {"secret", true, "secre", TableBadPassword},  {"secret", true, "secret", TableOK},
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
        b.hasAppInfo = c.appInfo;
        const Bytes image = b.Build();
        const std::string path = dir.Path("record.dat");
        ASSERT_TRUE(WriteFileBytes(path, image));
        CTable table;
        EXPECT_EQ(c.result, Open(table, path, c.given));
        EXPECT_EQ(c.appInfo ? kHintSjis + " 42" : "", table.Hint());
        EXPECT_EQ(c.appInfo ? 3 : -1, table.GetCategoryManager() ? table.GetCategoryManager()->GetCount() : -1);
        EXPECT_EQ(c.file != nullptr, table.IsPasswordSpecified() != 0);
        if (c.result != TableOK) {
            EXPECT_EQ(0, table.GetRecordCount());
            EXPECT_EQ(TableCannotOpen, table.Save());
            // The caller asks again on the same table.
            ASSERT_EQ(TableOK, Open(table, path, c.file));
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

// All sixteen digest bytes count, for whether there is a password and for
// whether it matches.
TEST(TessalyTable, EveryDigestByteCounts)
{
    TempDir dir;
    const std::string path = dir.Path("record.dat");
    DataFileBuilder b = HandheldFile(true);
    CTable table;
    b.digest = FromHex("00000000000000000000000000000001");
    ASSERT_TRUE(WriteFileBytes(path, b.Build()));
    EXPECT_EQ(TableBadPassword, Open(table, path, nullptr));
    EXPECT_TRUE(table.IsPasswordSpecified());
    b.digest = FromHex("5ebe2294ecd0e0f08eab7690d2a6ee68");   // MD5("secret") with its last bit flipped
    ASSERT_TRUE(WriteFileBytes(path, b.Build()));
    EXPECT_EQ(TableBadPassword, Open(table, path, "secret"));
    b.digest = FromHex("5ebe2294ecd0e0f08eab7690d2a6ee69");   // MD5("secret")
    ASSERT_TRUE(WriteFileBytes(path, b.Build()));
    EXPECT_EQ(TableOK, Open(table, path, "secret"));
    EXPECT_FALSE(table.IsPasswordOK("secreT"));
    EXPECT_FALSE(table.IsPasswordOK(nullptr));
}

TEST(TessalyTable, StoredLengthsAndLayoutOfNewMemos)
{
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
    };
    for (bool withPassword : {false, true}) {
        SCOPED_TRACE(withPassword ? "with password" : "without password");
        TempDir dir;
        DataFileBuilder b;
        if (withPassword)
            b.SetPassword("\x83\x70\x83\x58");   // Shift-JIS password bytes
        const std::string path = dir.Path("record.dat");
        ASSERT_TRUE(WriteFileBytes(path, b.Build()));

        CTable table;
        ASSERT_EQ(TableOK, Open(table, path, b.password.c_str()));
        for (const auto& c : cases) {
            CTessalyRecord* r = new CTessalyRecord;
            r->SetMemo(CString(c.memo.c_str()));
            r->SetUpdate(1);
            table.AppendRecord(r);
            b.AddMemo(c.stored, 0, attr::Update);
        }
        ASSERT_EQ(TableOK, table.Save());
        const Bytes saved = ReadFileBytes(path);
        EXPECT_EQ(b.Build(), saved);

        for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
            EXPECT_EQ(cases[i].length, GetLE32(saved, b.RecordOffset(i) + 36)) << i;
            EXPECT_EQ(cases[i].length + 40, GetLE32(saved, b.RecordOffset(i))) << i;
        }
        Bytes empty = StoredData(saved, b, 0);
        if (withPassword)
            DataFileBuilder::DecipherBE(empty, b.password);
        EXPECT_EQ(FromHex("2000000000000000"), empty);

        CTable again;
        ASSERT_EQ(TableOK, Open(again, path, b.password.c_str()));
        for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
            EXPECT_EQ(cases[i].memo, again.MemoText(static_cast<int>(i))) << i;
            EXPECT_EQ(static_cast<DWORD>(i), again.Memo(static_cast<int>(i))->GetIndex());
            EXPECT_TRUE(again.Memo(static_cast<int>(i))->IsUpdate());
            EXPECT_EQ(0u, again.Memo(static_cast<int>(i))->GetID());
        }
    }
}

TEST(TessalyTable, AppendedMemoFollowsHandheldMemos)
{
    TempDir dir;
    DataFileBuilder b = HandheldFile(true);
    const std::string path = dir.Path("record.dat");
    ASSERT_TRUE(WriteFileBytes(path, b.Build()));

    CTable table;
    ASSERT_EQ(TableOK, Open(table, path, "secret"));
    CTessalyRecord* r = new CTessalyRecord;
    EXPECT_EQ(0x20, r->GetLeadingByte());
    r->SetMemo(CString("from the desktop\r\n"));
    r->SetCategory(1);
    r->SetUpdate(1);
    EXPECT_EQ(0, table.AppendRecord(r));
    EXPECT_EQ(5u, r->GetIndex());
    // Edits keep the leading byte that came from the handheld.
    table.Memo(3)->SetMemo(CString("short"));
    table.Memo(3)->SetUpdate(1);
    ASSERT_EQ(TableOK, table.Save());

    b.AddMemo("from the desktop\n", 0, attr::Update, 1);
    b.records[3].text = "short";
    b.records[3].attributes |= attr::Update;
    EXPECT_EQ(b.Build(), ReadFileBytes(path));

    CTable again;
    ASSERT_EQ(TableOK, Open(again, path, "secret"));
    ASSERT_EQ(6, again.GetRecordCount());
    EXPECT_EQ("from the desktop\r\n", again.MemoText(5));
    EXPECT_EQ(0x41, again.Memo(3)->GetLeadingByte());
    EXPECT_EQ(0x00, again.Memo(4)->GetLeadingByte());
}

// Data whose length is not a multiple of 8 (only a damaged or foreign file
// has it): whole blocks are deciphered, the tail is taken as stored.
TEST(TessalyTable, TailShorterThanABlockIsTakenAsStored)
{
    struct {
        const char* data;
        std::size_t length;
        const char* memo;
    } const cases[] = {
        {"\x20\0abcdefgh\0\0", 12, "abcdefgh"},
        {"\x20\0abcdefgh\0\0\0", 13, "abcdefgh"},
        {"\x20\0abcdefghijklmn\0\0\0\0\0", 21, "abcdefghijklmn"},
        {"\x41\0a\0", 4, "a"},   // no whole block at all
    };
    TempDir dir;
    const std::string path = dir.Path("record.dat");
    DataFileBuilder b;
    b.SetPassword("secret");
    for (const auto& c : cases) {
        RecordPlan r;
        r.useData = true;
        r.data = Bytes(c.data, c.data + c.length);
        b.records.push_back(r);
    }
    ASSERT_TRUE(WriteFileBytes(path, b.Build()));
    // The tail really is plain in the file.
    EXPECT_EQ('g', ReadFileBytes(path)[b.RecordOffset(0) + 40 + 8]);

    CTable table;
    ASSERT_EQ(TableOK, Open(table, path, "secret"));
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        EXPECT_EQ(cases[i].memo, table.MemoText(static_cast<int>(i))) << i;
    EXPECT_EQ(0x41, table.Memo(3)->GetLeadingByte());
}

// The longest memo the format holds is 65,477 bytes once CR LF is a single
// LF: a 65,520-byte record. One byte under and at the limit are written and
// read back, by this table and from a file composed without it; one byte
// over is refused whole, and the file stays as it was.
TEST(TessalyTable, MemoLengthLimit)
{
    for (const char* password : {"", "secret"}) {
        SCOPED_TRACE(*password ? "with password" : "without password");
        for (std::size_t n : {65476u, 65477u, 65478u}) {
            SCOPED_TRACE(n);
            TempDir dir;
            const std::string path = dir.Path("record.dat");
            DataFileBuilder b = HandheldFile(*password != 0);
            ASSERT_TRUE(WriteFileBytes(path, b.Build()));
            const std::string text = std::string(n - 3, 'm') + "\n\n" + std::string(1, 'e');
            CTable table;
            ASSERT_EQ(TableOK, Open(table, path, password));
            table.Memo(2)->SetMemo(CString(WithCRLF(text).c_str()));
            if (n > 65477) {
                const Bytes before = ReadFileBytes(path);
                EXPECT_EQ(TableDamaged, table.Save());
                EXPECT_EQ(before, ReadFileBytes(path));
                EXPECT_EQ(std::vector<std::string>{"record.dat"}, dir.List());
                // Nor is a composed file with such a record read.
                b.records[2].text = text;
                ASSERT_TRUE(WriteFileBytes(path, b.Build()));
                EXPECT_EQ(TableDamaged, Open(table, path, password));
                continue;
            }
            ASSERT_EQ(TableOK, table.Save());
            b.records[2].text = text;
            const Bytes composed = b.Build();
            EXPECT_EQ(composed, ReadFileBytes(path));
            EXPECT_EQ(65520u, GetLE32(composed, b.RecordOffset(2)));
            CTable again;
            ASSERT_EQ(TableOK, Open(again, path, password));
            EXPECT_EQ(WithCRLF(text), again.MemoText(2));
            EXPECT_EQ(WithCRLF(b.records[3].text), again.MemoText(3));
        }
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
    for (std::size_t size : {whole.size(), layout::Hint + 3, std::size_t(layout::Hint)}) {
        b.useAppInfoData = true;
        b.appInfoData.assign(whole.begin(), whole.begin() + size);
        ASSERT_TRUE(WriteFileBytes(path, b.Build()));
        CTable table;
        EXPECT_EQ(TableBadPassword, Open(table, path, nullptr));
        EXPECT_EQ(size == whole.size() ? "first" : size > layout::Hint ? "fir" : "", table.Hint()) << size;
        EXPECT_EQ(TableOK, Open(table, path, "secret"));
    }
}

TEST(TessalyTable, DamagedMemoFilesLoadNothing)
{
    struct Case {
        const char* name;
        bool withPassword;
        void (*damage)(DataFileBuilder&);
    };
    const Case cases[] = {
        {"app-info data without the digest", false,
         [](DataFileBuilder& b) {
             b.appInfoData = b.BuildAppInfoData();
             b.useAppInfoData = true;
             b.appInfoData.resize(layout::Hint - 1);
         }},
        {"app-info data shorter than the category block", true,
         [](DataFileBuilder& b) {
             b.useAppInfoData = true;
             b.appInfoData = Bytes(100, 0);
         }},
        {"memo without NUL", false,
         [](DataFileBuilder& b) { b.records.back() = RecordPlan::Raw(ToBytes(std::string("\x20\0abcdef", 8))); }},
        {"deciphered memo without NUL", true,
         [](DataFileBuilder& b) {
             RecordPlan r;
             r.useData = true;
             r.data = ToBytes(std::string("\x20\0abcdefghijklmn", 16));
             b.records.back() = r;
         }},
        {"memo data of two bytes", true,
         [](DataFileBuilder& b) { b.records.back() = RecordPlan::Raw(ToBytes(std::string("\x20\0", 2))); }},
        {"memo data empty", false, [](DataFileBuilder& b) { b.records.back() = RecordPlan::Raw(Bytes()); }},
    };
    TempDir dir;
    const std::string path = dir.Path("record.dat");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DataFileBuilder b = HandheldFile(c.withPassword);
        c.damage(b);
        const Bytes image = b.Build();
        ASSERT_TRUE(WriteFileBytes(path, image));

        CTable table;
        EXPECT_EQ(TableDamaged, Open(table, path, "secret"));
        EXPECT_EQ(0, table.GetRecordCount());
        EXPECT_EQ(nullptr, table.GetCategoryManager());
        EXPECT_EQ("", table.Hint());
        EXPECT_EQ(TableCannotOpen, table.Save());
        EXPECT_EQ(image, ReadFileBytes(path));
    }
}
