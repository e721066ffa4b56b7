// The generic data file layer, through a table whose records keep their data
// bytes as stored, so that nothing here depends on the memo format.
#include "GenTable.h"
#include "Category.h"
#include "shared/data/DataFileBuilder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

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
    LONG Open(const std::string& path, UINT flags = CFile::modeReadWrite)
    {
        CString s(path.c_str());
        return OpenFrom(s, flags, "ignored");
    }

protected:
    CGenRecord* ConstructRecord(StorageRecordType* p, CGenCoder*) override { return new CRawRecord(p); }
};

Bytes Seq(std::size_t n, unsigned char start)
{
    Bytes b(n);
    std::iota(b.begin(), b.end(), start);
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
    b.records = {RecordPlan{0x00ABCDEF, 0, 3, 0, 40, 0, "", true, Bytes(), false},
                 RecordPlan{2, attr::Update | attr::Private, 15, 0, 40, 0, "", true, Seq(3, 0x61), false},
                 RecordPlan{0xFFFFFFFF, 0, 0, 0, 40, 0, "", true, Seq(13, 0x80), false}};
    return b;
}

} // namespace

// Line breaks both ways, which flags make a record modified, index order.
TEST(GenRecord, LineBreaksFlagsAndOrder)
{
    CString s("one\ntwo\n\nthree");
    EXPECT_NE(0, CGenRecord::SubstNLwithCR(s));
    EXPECT_STREQ("one\r\ntwo\r\n\r\nthree", s);
    EXPECT_NE(0, CGenRecord::SubstCRwithNL(s));
    EXPECT_STREQ("one\ntwo\n\nthree", s);
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
    EXPECT_EQ(1, a.Compare(b));   // indexes compare unsigned
    EXPECT_EQ(-1, b.Compare(a));
    EXPECT_EQ(0, a.Compare(a));
}

// Records and blocks are found through the offsets the file gives, stale
// positions are not trusted, the application-info data's size is its
// capacity. Written back: the usual offsets, positions zero, no bytes left
// over, the category block as it was unless the manager was asked for.
TEST(GenTable, SaveReproducesTheFile)
{
    TempDir dir;
    DataFileBuilder b = GenericFile();
    b.useAppInfoData = false;
    b.appInfoDataOffset = 64;   // eight bytes between the block header and its data
    b.SetCategory(2, "Moved", 42);
    b.renamedWord = 0x0006;
    b.lastUniqueID = 9;
    b.records[0].indexField = 77;
    b.records[2].indexField = 5;
    b.records[1].dataOffset = 48;
    b.trailing = Seq(30, 0x90);
    auto build = [&b] {
        Bytes image = b.Build();
        PutLE32(image, b.AppInfoOffset() + 48, 0);   // length in use
        return image;
    };
    const std::string path = dir.Path("generic.dat");
    ASSERT_TRUE(WriteFileBytes(path, build()));

    for (bool rename : {false, true}) {
        CRawTable table;
        ASSERT_EQ(TableOK, table.Open(path));
        ASSERT_EQ(3, table.GetRecordCount());
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(static_cast<DWORD>(i), table.GetRecord(i)->GetIndex());
            EXPECT_EQ(b.records[i].data, table.Raw(i)->data);
            EXPECT_EQ(b.records[i].id, table.GetRecord(i)->GetID());
            EXPECT_EQ(b.records[i].category, table.GetRecord(i)->GetCategory());
        }
        EXPECT_TRUE(table.GetRecord(1)->IsUpdate() && table.GetRecord(1)->IsPrivate());
        EXPECT_EQ(nullptr, table.GetRecord(3));
        EXPECT_EQ(nullptr, table.GetRecord(-1));
        if (rename) {
            CCategoryMgr* mgr = table.GetCategoryManager();
            ASSERT_NE(nullptr, mgr);
            EXPECT_EQ(mgr, table.GetCategoryManager());   // made once
            CCategory* cat = nullptr;
            ASSERT_EQ(CatErrNone, mgr->FindIndex(2, cat));
            EXPECT_STREQ("Moved", cat->GetName());
            EXPECT_EQ(42u, cat->GetID());
            CString name("Renamed");
            ASSERT_EQ(CatErrNone, mgr->Rename(2, name));
            b.SetCategory(2, "Renamed", 42);
            b.renamedWord = 1 << 2;
            b.lastUniqueID = 0;
        }
        ASSERT_EQ(TableOK, table.Save());
        EXPECT_EQ(65520u, table.Raw(0)->roomOffered);
        b.records[0].indexField = b.records[2].indexField = 0;
        b.records[1].dataOffset = 40;
        b.trailing.clear();
        EXPECT_EQ(build(), ReadFileBytes(path));
        EXPECT_EQ(std::vector<std::string>{"generic.dat"}, dir.List());
    }
}

// A missing file is not opened; one that vanished is not made anew; one
// opened for reading only is never written. Reopening discards what the
// table held, the category manager too.
TEST(GenTable, OpenAndSaveRefusalsAndReopening)
{
    TempDir dir;
    CRawTable table;
    EXPECT_EQ(TableCannotOpen, table.Open(dir.Path("absent.dat")));
    EXPECT_EQ(TableCannotOpen, table.Save());
    EXPECT_TRUE(dir.List().empty());   // Save created nothing

    const std::string path = dir.Path("ro.dat");
    const Bytes image = GenericFile().Build();
    ASSERT_TRUE(WriteFileBytes(path, image));
    ASSERT_EQ(TableOK, table.Open(path, CFile::modeRead));
    table.AppendRecord(new CRawRecord(Seq(4, 9)));
    EXPECT_EQ(TableCannotOpen, table.Save());
    EXPECT_EQ(image, ReadFileBytes(path));

    ASSERT_EQ(TableOK, table.Open(path));
    ASSERT_NE(nullptr, table.GetCategoryManager());
    ASSERT_TRUE(RemoveFile(path));
    EXPECT_EQ(TableCannotOpen, table.Save());
    EXPECT_TRUE(dir.List().empty());

    DataFileBuilder empty;
    empty.hasAppInfo = false;
    const Bytes header = empty.Build();
    ASSERT_TRUE(WriteFileBytes(path, header));
    ASSERT_EQ(TableOK, table.Open(path));
    EXPECT_EQ(0, table.GetRecordCount());
    EXPECT_EQ(nullptr, table.GetCategoryManager());
    EXPECT_EQ(TableOK, table.Save());
    EXPECT_EQ(header, ReadFileBytes(path));
}

// Every inconsistency is refused as a whole: nothing is loaded, and a later
// Save does not write over the file.
TEST(GenTable, DamagedFilesLoadNothing)
{
    const DataFileBuilder b = GenericFile();
    const Bytes good = b.Build();
    const std::size_t app = b.AppInfoOffset(), sort = b.SortInfoOffset();
    const std::size_t appSize = b.AppInfoSize(), sortSize = b.SortInfoSize();
    const std::size_t last = b.RecordOffset(2), lastSize = GetLE32(good, last), end = good.size();
    const std::size_t n = static_cast<std::size_t>(-1);

    const struct {
        const char* name;
        std::size_t offset;   // of a 32-bit field set to value; n = none
        std::size_t value;
        std::size_t size;     // the file cut or grown (with zeros) to this; n = as is
    } cases[] = {
        {"empty file", n, 0, 0},
        {"short header", n, 0, 83},
        {"header size 83", 0, 83, n},
        {"header size 85", 0, 85, n},
        {"negative app-info size", 76, 0xFFFFFFFF, n},
        {"negative sort-info size", 80, 0x80000000, n},
        {"app-info past the end", 76, end, n},
        {"app-info smaller than its header", 76, 20, n},
        {"app-info size differs from its block", 76, appSize + 8, n},
        {"app-info block says another size", app, appSize - 8, n},
        {"sort-info block says another size", sort, sortSize + 1, n},
        {"sort-info past the end", n, 0, sort + sortSize - 1},
        {"app-info data offset inside the header", app + 8, 55, n},
        {"app-info data offset past the block", app + 8, appSize + 1, n},
        {"app-info data offset huge", app + 8, 0xFFFFFFF0, n},
        {"app-info capacity past the block", app + 44, appSize - 56 + 1, n},
        {"app-info capacity huge", app + 44, 0xFFFFFFFF, n},
        {"record count one too many", 72, 4, n},
        {"record count beyond the file", 72, 0x7FFFFFFF, n},
        {"negative record count", 72, 0xFFFFFFFF, n},
        {"record count one too many, room for a header", 72, 4, end + 39},
        {"record size 0", last, 0, n},
        {"record size 39", last, 39, n},
        {"record size past the end", last, lastSize + 1, n},
        {"record size over the limit", last, 65521, last + 65521},
        {"record cut short", n, 0, end - 1},
        {"record data offset inside the header", last + 8, 39, n},
        {"record data offset past the record", last + 8, lastSize + 1, n},
        {"record data length past the record", last + 36, GetLE32(good, last + 36) + 1, n},
        {"record data length huge", last + 36, 0xFFFFFFF8, n},
    };

    TempDir dir;
    const std::string goodPath = dir.Path("good.dat");
    const std::string path = dir.Path("damaged.dat");
    ASSERT_TRUE(WriteFileBytes(goodPath, good));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bad = good;
        if (c.offset != n)
            PutLE32(bad, c.offset, static_cast<std::uint32_t>(c.value));
        if (c.size != n)
            bad.resize(c.size, 0);
        ASSERT_TRUE(WriteFileBytes(path, bad));

        CRawTable table;
        ASSERT_EQ(TableOK, table.Open(goodPath));   // something loaded before
        ASSERT_NE(nullptr, table.GetCategoryManager());
        EXPECT_EQ(TableDamaged, table.Open(path));
        EXPECT_EQ(0, table.GetRecordCount());
        EXPECT_EQ(nullptr, table.GetCategoryManager());
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
    ASSERT_EQ(TableOK, table.Open(path));
    {
        CFile holder;
        ASSERT_TRUE(holder.Open(path.c_str(), CFile::modeReadWrite | CFile::shareExclusive));
        table.Raw(0)->data = Seq(8, 1);
        EXPECT_EQ(TableCannotOpen, table.Save());
        CRawTable other;
        EXPECT_EQ(TableCannotOpen, other.Open(path));
    }
    EXPECT_EQ(image, ReadFileBytes(path));
    EXPECT_EQ(std::vector<std::string>{"held.dat"}, dir.List());
}
#endif
