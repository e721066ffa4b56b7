// The generic data file layer, through a table whose records keep their data
// bytes as stored, so that nothing here depends on the memo format.
#include "GenTable.h"
#include "Category.h"
#include "shared/data/DataFileBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace NorvaneCommon;
using namespace testdata;

namespace {

class CRawRecord : public CGenRecord {
public:
    explicit CRawRecord(const Bytes& d) : data(d) {}
    explicit CRawRecord(StorageRecordType* p) : CGenRecord(p), data(p->Data(), p->Data() + p->dwDataLength) {}

    void ConvertToStorageRecord(StorageRecordType* p, CGenCoder* pCoder) override
    {
        CGenRecord::ConvertToStorageRecord(p, pCoder);
        roomOffered = p->dwDataLength;
        if (data.size() <= roomOffered && !data.empty())
            std::memcpy(p->Data(), data.data(), data.size());
        p->dwDataLength = static_cast<DWORD>(data.size());
    }

    Bytes data;
    DWORD roomOffered = 0;
};

class CRawTable : public CGenTable {
public:
    CRawRecord* Raw(int i) const { return static_cast<CRawRecord*>(GetRecord(i)); }
    CGenCoder* coderSeen = reinterpret_cast<CGenCoder*>(1);

protected:
    CGenRecord* ConstructRecord(StorageRecordType* p, CGenCoder* pCoder) override
    {
        coderSeen = pCoder;
        return new CRawRecord(p);
    }
};

LONG Open(CGenTable& table, const std::string& path, const char* password = nullptr,
          UINT flags = CFile::modeReadWrite)
{
    CString s(path.c_str());
    return table.OpenFrom(s, flags, password);
}

Bytes Seq(std::size_t n, unsigned char start)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<unsigned char>(start + i);
    return b;
}

// A generic file: app-info data of no particular layout, a sort-info block,
// records whose data lengths are not multiples of anything.
DataFileBuilder GenericFile()
{
    DataFileBuilder b;
    b.dbName = "Generic-Test";
    b.useAppInfoData = true;
    b.appInfoData = Seq(100, 1);
    b.hasSortInfo = true;
    b.sortInfo = Seq(10, 0x40);
    RecordPlan r0 = RecordPlan::Raw(Bytes());
    r0.id = 0x00ABCDEF;
    r0.category = 3;
    RecordPlan r1 = RecordPlan::Raw(Seq(3, 0x61));
    r1.id = 2;
    r1.attributes = attr::Update | attr::Private;
    r1.category = 15;
    RecordPlan r2 = RecordPlan::Raw(Seq(13, 0x80));
    r2.id = 0xFFFFFFFF;
    b.records = {r0, r1, r2};
    return b;
}

} // namespace

// ------------------------------------------------------------------ record

TEST(GenRecord, ByteOrderFlagsAndUnsignedIndexOrder)
{
    EXPECT_EQ(0x44332211u, CGenRecord::SwapDWordToIntel(0x11223344u));
    EXPECT_EQ(0x44332211u, CGenRecord::SwapDWordToMotor(0x11223344u));
    EXPECT_EQ(0x3412, CGenRecord::FlipWord(0x1234));
    CString s("one\ntwo\n\nthree");
    EXPECT_NE(0, CGenRecord::SubstNLwithCR(s));
    EXPECT_STREQ("one\r\ntwo\r\n\r\nthree", s);
    EXPECT_NE(0, CGenRecord::SubstCRwithNL(s));
    EXPECT_STREQ("one\ntwo\n\nthree", s);
    // No line break, or a lone CR: unchanged and reported as such.
    for (const char* text : {"", "plain", "a\rb", "\r"}) {
        CString t(text);
        EXPECT_EQ(0, CGenRecord::SubstNLwithCR(t)) << text;
        EXPECT_EQ(0, CGenRecord::SubstCRwithNL(t)) << text;
        EXPECT_STREQ(text, t);
    }
    // Any one state flag makes a record modified; Private is no state flag.
    void (CGenRecord::*setters[])(int) = {&CGenRecord::SetUpdate, &CGenRecord::SetDeleted, &CGenRecord::SetArchived,
                                          &CGenRecord::SetNew};
    for (auto set : setters) {
        CGenRecord rec;
        rec.SetPrivate(1);
        EXPECT_TRUE(rec.IsNone());
        (rec.*set)(1);
        EXPECT_TRUE(rec.IsModified());
        rec.SetNone();
        EXPECT_TRUE(rec.IsNone() && rec.IsPrivate());
    }
    CGenRecord a, b;
    a.SetIndex(0x80000000u);
    b.SetIndex(1);
    EXPECT_EQ(1, a.Compare(b));
    EXPECT_EQ(-1, b.Compare(a));
    b.SetIndex(0x80000000u);
    EXPECT_EQ(0, a.Compare(b));
}

// ------------------------------------------------------------------- table

TEST(GenTable, MissingFileAndEmptyFile)
{
    TempDir dir;
    CRawTable table;
    EXPECT_EQ(TableCannotOpen, Open(table, dir.Path("absent.dat")));
    EXPECT_EQ(0, table.GetRecordCount());
    EXPECT_EQ(TableCannotOpen, table.Save());
    EXPECT_TRUE(dir.List().empty());   // Save created nothing

    DataFileBuilder b;
    b.hasAppInfo = false;
    const Bytes image = b.Build();
    ASSERT_EQ(84u, image.size());
    const std::string path = dir.Path("empty.dat");
    ASSERT_TRUE(WriteFileBytes(path, image));
    ASSERT_EQ(TableOK, Open(table, path));
    EXPECT_EQ(0, table.GetRecordCount());
    EXPECT_EQ(nullptr, table.GetCategoryManager());
    EXPECT_EQ(TableOK, table.Save());
    EXPECT_EQ(image, ReadFileBytes(path));
}

TEST(GenTable, SaveReproducesTheFileByteForByte)
{
    TempDir dir;
    DataFileBuilder b = GenericFile();
    b.records[0].indexField = 77;   // stale positions are not trusted...
    b.records[2].indexField = 5;
    const std::string path = dir.Path("generic.dat");
    ASSERT_TRUE(WriteFileBytes(path, b.Build()));

    CRawTable table;
    ASSERT_EQ(TableOK, Open(table, path, "ignored"));
    EXPECT_EQ(nullptr, table.coderSeen);   // no password here, so no coder
    ASSERT_EQ(3, table.GetRecordCount());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(static_cast<DWORD>(i), table.GetRecord(i)->GetIndex());
        EXPECT_EQ(b.records[i].data, table.Raw(i)->data);
        EXPECT_EQ(b.records[i].id, table.GetRecord(i)->GetID());
        EXPECT_EQ(b.records[i].category, table.GetRecord(i)->GetCategory());
    }
    EXPECT_TRUE(table.GetRecord(1)->IsUpdate());
    EXPECT_TRUE(table.GetRecord(1)->IsPrivate());
    EXPECT_EQ(nullptr, table.GetRecord(3));
    EXPECT_EQ(nullptr, table.GetRecord(-1));

    ASSERT_EQ(TableOK, table.Save());
    EXPECT_EQ(65520u, table.Raw(0)->roomOffered);
    // ...and are written back as zero.
    b.records[0].indexField = 0;
    b.records[2].indexField = 0;
    EXPECT_EQ(b.Build(), ReadFileBytes(path));
    EXPECT_EQ(std::vector<std::string>{"generic.dat"}, dir.List());
}

TEST(GenTable, BlocksAreFoundThroughTheirOwnOffsets)
{
    TempDir dir;
    DataFileBuilder b;
    b.appInfoDataOffset = 64;   // eight bytes between the block header and its data
    b.SetCategory(2, "Moved", 42);
    RecordPlan r = RecordPlan::Raw(Seq(6, 0x10));
    r.dataOffset = 48;
    b.records.push_back(r);
    b.trailing = Seq(30, 0x90);   // left behind by an older, longer file
    const std::string path = dir.Path("offsets.dat");
    ASSERT_TRUE(WriteFileBytes(path, b.Build()));

    CRawTable table;
    ASSERT_EQ(TableOK, Open(table, path));
    ASSERT_EQ(1, table.GetRecordCount());
    EXPECT_EQ(Seq(6, 0x10), table.Raw(0)->data);
    CCategoryMgr* mgr = table.GetCategoryManager();
    ASSERT_NE(nullptr, mgr);
    EXPECT_EQ(mgr, table.GetCategoryManager());   // made once
    CCategory* cat = nullptr;
    ASSERT_EQ(CatErrNone, mgr->FindIndex(2, cat));
    EXPECT_STREQ("Moved", cat->GetName());
    EXPECT_EQ(42u, cat->GetID());

    // The record is written back in the usual form, the trailing bytes are gone.
    ASSERT_EQ(TableOK, table.Save());
    b.records[0].dataOffset = 40;
    b.trailing.clear();
    EXPECT_EQ(b.Build(), ReadFileBytes(path));
}

// A file that vanished is not made anew; one opened for reading only is
// never written.
TEST(GenTable, SaveRefusals)
{
    TempDir dir;
    const std::string path = dir.Path("ro.dat");
    const Bytes image = GenericFile().Build();
    ASSERT_TRUE(WriteFileBytes(path, image));
    CRawTable table;
    ASSERT_EQ(TableOK, Open(table, path, nullptr, CFile::modeRead));
    table.AppendRecord(new CRawRecord(Seq(4, 9)));
    EXPECT_EQ(TableCannotOpen, table.Save());
    EXPECT_EQ(image, ReadFileBytes(path));

    ASSERT_EQ(TableOK, Open(table, path));
    ASSERT_TRUE(RemoveFile(path));
    EXPECT_EQ(TableCannotOpen, table.Save());
    EXPECT_TRUE(dir.List().empty());
}

TEST(GenTable, ReopeningDiscardsThePreviousFile)
{
    TempDir dir;
    DataFileBuilder a = GenericFile();
    a.useAppInfoData = false;
    a.SetCategory(1, "First", 1);
    DataFileBuilder b;
    b.hasAppInfo = false;
    b.records.push_back(RecordPlan::Raw(Seq(1, 0)));
    ASSERT_TRUE(WriteFileBytes(dir.Path("a.dat"), a.Build()));
    ASSERT_TRUE(WriteFileBytes(dir.Path("b.dat"), b.Build()));

    CRawTable table;
    ASSERT_EQ(TableOK, Open(table, dir.Path("a.dat")));
    ASSERT_NE(nullptr, table.GetCategoryManager());
    EXPECT_EQ(1, table.GetCategoryManager()->GetCount());
    ASSERT_EQ(TableOK, Open(table, dir.Path("b.dat")));
    EXPECT_EQ(1, table.GetRecordCount());
    EXPECT_EQ(nullptr, table.GetCategoryManager());
}

// Every inconsistency is refused as a whole: nothing is loaded, and a later
// Save does not write over the file.
TEST(GenTable, DamagedFilesLoadNothing)
{
    const DataFileBuilder b = GenericFile();
    const Bytes good = b.Build();
    const std::size_t app = b.AppInfoOffset(), sort = b.SortInfoOffset();
    const std::size_t appSize = b.AppInfoSize(), sortSize = b.SortInfoSize();
    const std::size_t last = b.RecordOffset(2);

    struct Case {
        const char* name;
        std::function<void(Bytes&)> damage;
    };
    const std::vector<Case> cases = {
        {"empty file", [](Bytes& x) { x.clear(); }},
        {"short header", [](Bytes& x) { Truncate(x, 83); }},
        {"header size 83", [](Bytes& x) { Corrupt32(x, 0, 83); }},
        {"header size 0", [](Bytes& x) { Corrupt32(x, 0, 0); }},
        {"negative app-info size", [](Bytes& x) { Corrupt32(x, 76, 0xFFFFFFFF); }},
        {"negative sort-info size", [](Bytes& x) { Corrupt32(x, 80, 0x80000000); }},
        {"app-info past the end", [&](Bytes& x) { Corrupt32(x, 76, static_cast<std::uint32_t>(x.size())); }},
        {"app-info smaller than its header", [&](Bytes& x) { Corrupt32(x, 76, 20); }},
        {"app-info size differs from its block",
         [&](Bytes& x) { Corrupt32(x, 76, static_cast<std::uint32_t>(appSize + 8)); }},
        {"app-info block says another size",
         [&](Bytes& x) { Corrupt32(x, app, static_cast<std::uint32_t>(appSize - 8)); }},
        {"sort-info block says another size",
         [&](Bytes& x) { Corrupt32(x, sort, static_cast<std::uint32_t>(sortSize + 1)); }},
        {"sort-info past the end", [&](Bytes& x) { Truncate(x, sort + sortSize - 1); }},
        {"app-info data offset inside the header", [&](Bytes& x) { Corrupt32(x, app + 8, 55); }},
        {"app-info data offset past the block",
         [&](Bytes& x) { Corrupt32(x, app + 8, static_cast<std::uint32_t>(appSize + 1)); }},
        {"app-info data offset huge", [&](Bytes& x) { Corrupt32(x, app + 8, 0xFFFFFFF0); }},
        {"app-info capacity past the block",
         [&](Bytes& x) { Corrupt32(x, app + 44, static_cast<std::uint32_t>(appSize - 56 + 1)); }},
        {"app-info capacity huge", [&](Bytes& x) { Corrupt32(x, app + 44, 0xFFFFFFFF); }},
        {"record count one too many", [](Bytes& x) { Corrupt32(x, 72, 4); }},
        {"record count beyond the file", [](Bytes& x) { Corrupt32(x, 72, 0x7FFFFFFF); }},
        {"negative record count", [](Bytes& x) { Corrupt32(x, 72, 0xFFFFFFFF); }},
        {"record count one too many, room for a header",
         [](Bytes& x) {
             Corrupt32(x, 72, 4);
             x.resize(x.size() + 39, 0);
         }},
        {"record size 0", [&](Bytes& x) { Corrupt32(x, last, 0); }},
        {"record size 39", [&](Bytes& x) { Corrupt32(x, last, 39); }},
        {"record size past the end", [&](Bytes& x) { Corrupt32(x, last, GetLE32(x, last) + 1); }},
        {"record size over the limit",
         [&](Bytes& x) {
             Corrupt32(x, last, 65521);
             x.resize(last + 65521, 0);
         }},
        {"record cut short", [](Bytes& x) { Truncate(x, x.size() - 1); }},
        {"record data offset inside the header", [&](Bytes& x) { Corrupt32(x, last + 8, 39); }},
        {"record data offset past the record", [&](Bytes& x) { Corrupt32(x, last + 8, GetLE32(x, last) + 1); }},
        {"record data length past the record", [&](Bytes& x) { Corrupt32(x, last + 36, GetLE32(x, last + 36) + 1); }},
        {"record data length huge", [&](Bytes& x) { Corrupt32(x, last + 36, 0xFFFFFFF8); }},
    };

    TempDir dir;
    const std::string goodPath = dir.Path("good.dat");
    const std::string path = dir.Path("damaged.dat");
    ASSERT_TRUE(WriteFileBytes(goodPath, good));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bad = good;
        c.damage(bad);
        ASSERT_TRUE(WriteFileBytes(path, bad));

        CRawTable table;
        ASSERT_EQ(TableOK, Open(table, goodPath));   // something loaded before
        ASSERT_NE(nullptr, table.GetCategoryManager());
        EXPECT_EQ(TableDamaged, Open(table, path));
        EXPECT_EQ(0, table.GetRecordCount());
        EXPECT_EQ(nullptr, table.GetCategoryManager());
        EXPECT_EQ(nullptr, table.GetRecord(0));
        EXPECT_EQ(TableCannotOpen, table.Save());
        EXPECT_EQ(bad, ReadFileBytes(path));
    }
    EXPECT_EQ((std::vector<std::string>{"damaged.dat", "good.dat"}), dir.List());
}

#if defined(_WIN32)
// Windows enforces sharing: a file held exclusively by another handle can
// neither be opened nor saved over.
TEST(GenTable, FileHeldByAnotherHandle)
{
    TempDir dir;
    const std::string path = dir.Path("held.dat");
    const Bytes image = GenericFile().Build();
    ASSERT_TRUE(WriteFileBytes(path, image));
    CRawTable table;
    ASSERT_EQ(TableOK, Open(table, path));
    {
        CFile holder;
        ASSERT_TRUE(holder.Open(path.c_str(), CFile::modeReadWrite | CFile::shareExclusive));
        table.Raw(0)->data = Seq(8, 1);
        EXPECT_EQ(TableCannotOpen, table.Save());
        CRawTable other;
        EXPECT_EQ(TableCannotOpen, Open(other, path));
    }
    EXPECT_EQ(image, ReadFileBytes(path));
    EXPECT_EQ(std::vector<std::string>{"held.dat"}, dir.List());
}
#endif
