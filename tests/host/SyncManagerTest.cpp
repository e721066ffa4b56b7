// The Sync Manager stand-in over a folder of .pdb files: every operation,
// what reaches the file (read back by the reference reader and by another
// process), damaged files, and planned failures.
#include "PdbReference.h"
#include "SyncMgr.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

const char kDb[] = "Tessaly-Vqxa";
using Bytes = std::vector<std::uint8_t>;
using Ids = std::vector<uint32_t>;

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A memo-like database with one record of each kind the handheld keeps.
ref::Database Sample()
{
    ref::Database db;
    db.name = kDb;
    db.modNumber = 7;
    db.seed = 100;
    db.appInfo = B(std::string(276, '\0') + "kept");
    db.sortInfo = B("SORT");
    db.records = {
        {0x00, 11, B("plain record")},
        {0x40 | 0x10 | 3, 12, B("dirty private cat3")},
        {0x80 | 0x40, 13, {}},                  // deleted
        {0x80 | 0x40 | 3, 14, B("archived")},   // archived: deleted with data
        {0x40 | 3, 15, B("dirty cat3")},
    };
    return db;
}

// "ID ATTRIBUTES DATA", the attributes in hex, for one-line comparisons.
std::string Show(uint32_t id, unsigned attributes, const std::string& data)
{
    char head[32];
    std::snprintf(head, sizeof head, "%u %02x ", id, attributes);
    return head + data;
}
// The file's records, each as Show gives it, separated by " | ".
std::string All(const ref::Database& db)
{
    std::string s;
    for (const ref::Record& r : db.records)
        s += (s.empty() ? "" : " | ") + Show(r.id, r.attr, std::string(r.data.begin(), r.data.end()));
    return s;
}

// A record in transit, with a buffer of the largest record's size.
struct Raw {
    SyncRawRecord r = {};
    Bytes buf = Bytes(65520);
    explicit Raw(SyncDbHandle h, uint32_t id = 0, const std::string& data = "", int category = 0, uint8_t attributes = 0)
    {
        r.dbHandle = h;
        r.recordId = id;
        r.category = static_cast<int16_t>(category);
        r.attributes = attributes;
        r.pData = buf.data();
        r.bufferSize = static_cast<uint16_t>(buf.size());
        Set(data);
    }
    void Set(const std::string& s)
    {
        std::memcpy(buf.data(), s.data(), s.size());
        r.dataLength = static_cast<uint32_t>(s.size());
    }
    std::string Data() const { return std::string(buf.begin(), buf.begin() + r.dataLength); }
    // As Show, with the category after the attributes.
    std::string Shown() const { return Show(r.recordId, r.attributes, std::to_string(r.category) + " " + Data()); }
};

// The IDs a reading call hands out one after the other, up to "not found".
Ids Collect(SyncDbHandle h, SyncErr (*read)(SyncRawRecord*), int category = 0)
{
    Ids ids;
    for (;;) {
        Raw r(h, 0, "", category);
        if (SyncErr e = read(&r.r)) {
            EXPECT_EQ(SYNCERR_NOT_FOUND, e);
            return ids;
        }
        ids.push_back(+r.r.recordId);
    }
}

class SyncManagerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(0, TessalyHostServeFolder(dir.Path().c_str())); }
    void TearDown() override
    {
        TessalyHostServeFolder(nullptr);
        TessalyHostClearFailures();
        TessalyHostDeferWrites(0);
    }
    std::string DbFile() const { return dir.File(std::string(kDb) + ".pdb"); }
    void Put(const ref::Database& db) { testsupport::WriteBytes(DbFile(), ref::Write(db)); }
    ref::Database Get() { return ref::Read(testsupport::ReadBytes(DbFile())); }
    SyncDbHandle Open(uint8_t mode = SYNC_MODE_READ_WRITE, const ref::Database& db = Sample())
    {
        Put(db);
        SyncDbHandle h = 0;
        EXPECT_EQ(0, SyncOpenDB(kDb, 0, &h, mode));
        return h;
    }
    testsupport::TempDir dir;
};

TEST_F(SyncManagerTest, ReadsEveryKindOfRecordOfAFileWrittenByTheReferenceWriter)
{
    const ref::Database db = Sample();
    SyncDbHandle h = Open(SYNC_MODE_READ);
    const char* const want[] = {"11 00 0 plain record", "12 50 3 dirty private cat3", "13 c0 0 ", "14 c8 3 archived",
                                "15 40 3 dirty cat3"};
    for (uint16_t i = 0; i < 5; ++i) {
        Raw byIndex(h), byId(h, db.records[i].id);
        byIndex.r.recordIndex = i;
        ASSERT_EQ(0, SyncReadRecordByIndex(&byIndex.r));
        EXPECT_EQ(want[i], byIndex.Shown());
        ASSERT_EQ(0, SyncReadRecordById(&byId.r));
        EXPECT_EQ(want[i], byId.Shown());
        EXPECT_EQ(i, byId.r.recordIndex + 0);
    }
    Raw none(h, 99);
    none.r.recordIndex = 5;
    EXPECT_EQ(SYNCERR_NOT_FOUND, SyncReadRecordByIndex(&none.r));
    EXPECT_EQ(SYNCERR_NOT_FOUND, SyncReadRecordById(&none.r));
    // Modified records in order; live records of category 3 (14 is deleted).
    EXPECT_EQ((Ids{12, 13, 14, 15}), Collect(h, SyncReadNextModifiedRec));
    EXPECT_EQ((Ids{12, 15}), Collect(h, SyncReadNextRecInCategory, 3));

    Bytes block(280);
    SyncBlockDesc d = {"", 280, 0, block.data(), 0};   // exactly the app-info block's size
    ASSERT_EQ(0, SyncReadDBAppInfoBlock(h, &d));
    EXPECT_EQ(db.appInfo, Bytes(block.begin(), block.begin() + d.bytesUsed));
    ASSERT_EQ(0, SyncReadDBSortInfoBlock(h, &d));
    EXPECT_EQ(db.sortInfo, Bytes(block.begin(), block.begin() + d.bytesUsed));

    // Record IDs in position order, each big-endian.
    uint32_t ids[3] = {};
    SyncPositionMap map = {h, 0, 1, 3, 0, ids};   // from index 1, room for 3
    ASSERT_EQ(0, SyncReadPositionXMap(&map));
    ASSERT_EQ(3, map.numEntries + 0);
    const uint8_t* b = reinterpret_cast<const uint8_t*>(ids);
    EXPECT_EQ((Bytes{0, 0, 0, 12, 0, 0, 0, 13, 0, 0, 0, 14}), Bytes(b, b + 12));
    EXPECT_EQ(0, SyncCloseDB(h));
}

TEST_F(SyncManagerTest, EveryChangeIsInTheFileBeforeTheCallReturns)
{
    SyncDbHandle h = Open();
    Raw add(h, 0, "new memo", 5, SYNC_REC_PRIVATE);
    ASSERT_EQ(0, SyncWriteRec(&add.r));
    EXPECT_EQ("100 10 5 new memo", add.Shown()) << "the unique-ID seed gives the new ID";
    EXPECT_EQ(5, add.r.recordIndex + 0);
    ref::Database db = Get();
    EXPECT_EQ("11 00 plain record | 12 53 dirty private cat3 | 13 c0  | 14 c3 archived | 15 43 dirty cat3 | 100 15 new memo",
              All(db));
    EXPECT_EQ(101u, db.seed);
    EXPECT_EQ(8u, db.modNumber);

    // An archived write keeps its data; a deleted one loses it.
    Raw replace(h, 11, "changed", 1, SYNC_REC_DIRTY), archive(h, 15, "keep me", 0, SYNC_REC_DELETED | SYNC_REC_ARCHIVED),
        drop(h, 100, "lose me", 0, SYNC_REC_DELETED), del(h, 12);
    for (Raw* w : {&replace, &archive, &drop})
        ASSERT_EQ(0, SyncWriteRec(&w->r));
    EXPECT_EQ(0, replace.r.recordIndex + 0);
    ASSERT_EQ(0, SyncDeleteRec(&del.r));
    EXPECT_EQ(SYNCERR_NOT_FOUND, SyncDeleteRec(&del.r));
    ASSERT_EQ(0, SyncChangeCategory(h, 3, 15));   // the last category there is
    EXPECT_EQ("11 41 changed | 13 c0  | 14 cf archived | 15 80 keep me | 100 80 ", All(Get()));
    ASSERT_EQ(0, SyncChangeCategory(h, 15, 7));
    EXPECT_EQ(SYNCERR_BAD_ARGUMENT, SyncChangeCategory(h, 16, 0));
    ASSERT_EQ(0, SyncResetSyncFlags(h));
    EXPECT_EQ("11 01 changed | 13 80  | 14 87 archived | 15 80 keep me | 100 80 ", All(Get()));

    std::string app(300, 'a');
    SyncBlockDesc d = {"", 300, 300, reinterpret_cast<uint8_t*>(&app[0]), 0};
    ASSERT_EQ(0, SyncWriteDBAppInfoBlock(h, &d));
    EXPECT_EQ(B(app), Get().appInfo);
    ASSERT_EQ(0, SyncPurgeAllRecsInCategory(h, 7));
    EXPECT_EQ("11 01 changed | 13 80  | 15 80 keep me | 100 80 ", All(Get()));
    ASSERT_EQ(0, SyncPurgeDeletedRecs(h));
    db = Get();
    EXPECT_EQ("11 01 changed", All(db));
    EXPECT_EQ(B("SORT"), db.sortInfo) << "the sort-info block survives every change";
    EXPECT_EQ(0, SyncCloseDB(h));
}

TEST_F(SyncManagerTest, CreatingOpeningAndDeletingDatabases)
{
    SyncDbHandle h = 0;
    EXPECT_EQ(SYNCERR_NOT_FOUND, SyncOpenDB(kDb, 0, &h, SYNC_MODE_READ));
    EXPECT_EQ(SYNCERR_NOT_FOUND, SyncDeleteDB(kDb, 0));
    SyncCreateDbRequest req = {0, 0x56717861, 0x0008, 0, "Tessaly-Vqxa", 0x44415441, 2, {}};   // "Vqxa", "DATA"
    ASSERT_EQ(0, SyncCreateDB(&req));
    ref::Database made = Get();
    EXPECT_EQ("Vqxa DATA 2 8", made.creator + " " + made.type + " " + std::to_string(made.version) + " " +
                                   std::to_string(made.flags));
    SyncCreateDbRequest again = req;
    EXPECT_EQ(SYNCERR_EXISTS, SyncCreateDB(&again));
    EXPECT_EQ(SYNCERR_TOO_MANY_OPEN, SyncOpenDB(kDb, 0, &h, SYNC_MODE_READ)) << "one handle per database";
    EXPECT_NE(0, SyncDeleteDB(kDb, 0)) << "an open database stays";
    EXPECT_EQ(0, SyncCloseDB(req.dbHandle));
    EXPECT_EQ(SYNCERR_BAD_HANDLE, SyncCloseDB(req.dbHandle));
    EXPECT_EQ(0, SyncDeleteDB(kDb, 0));
    EXPECT_FALSE(testsupport::FileExists(DbFile()));

    // Names the file system cannot take still make a file of their own.
    SyncCreateDbRequest odd = {0, 0, 0, 0, "a/b:c", 0, 0, {}};
    ASSERT_EQ(0, SyncCreateDB(&odd));
    EXPECT_EQ(0, SyncCloseDB(odd.dbHandle));
    EXPECT_EQ(0, SyncOpenDB("a/b:c", 0, &h, SYNC_MODE_READ));
    EXPECT_EQ(SYNCERR_BAD_ARGUMENT, SyncOpenDB("", 0, &h, SYNC_MODE_READ));
    EXPECT_EQ(SYNCERR_NOT_FOUND, SyncOpenDB("a/b:c", 1, &h, SYNC_MODE_READ)) << "there is only card 0";
}

TEST_F(SyncManagerTest, ResourceDatabasesKeepResourcesByTypeAndId)
{
    SyncCreateDbRequest req = {0, 0, SYNC_DB_RESOURCE, 0, "Res", 0, 0, {}};
    ASSERT_EQ(0, SyncCreateDB(&req));
    Raw a(req.dbHandle, 1000, "first"), b(req.dbHandle, 1001, "second");
    a.r.resourceType = b.r.resourceType = 0x74535452;   // "tSTR"
    ASSERT_EQ(0, SyncWriteResourceRec(&a.r));
    ASSERT_EQ(0, SyncWriteResourceRec(&b.r));
    a.Set("again");
    ASSERT_EQ(0, SyncWriteResourceRec(&a.r));
    EXPECT_EQ(0, a.r.recordIndex + 0) << "same type and ID: replaced";
    EXPECT_EQ(SYNCERR_WRONG_KIND, SyncWriteRec(&a.r));
    ASSERT_EQ(0, SyncDeleteResourceRec(&b.r));
    EXPECT_EQ(SYNCERR_NOT_FOUND, SyncDeleteResourceRec(&b.r));
    EXPECT_EQ(0, SyncCloseDB(req.dbHandle));
    // Another process finds what is left in the file.
    const std::string out = dir.File("dump.txt");
    ASSERT_EQ(0, testsupport::RunBeside("sync_dump", {dir.Path(), "Res"}, out));
    const Bytes dump = testsupport::ReadBytes(out);
    std::string text(dump.begin(), dump.end());
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    EXPECT_EQ("count 1\nrecord 0 id 1000 attr 00 cat 0 len 5 data 616761696e\n", text);
}

TEST_F(SyncManagerTest, CallsThatCannotBeHonouredSaySo)
{
    SyncDbHandle ro = Open(SYNC_MODE_READ);
    Raw w(ro, 11, "x");
    EXPECT_EQ(SYNCERR_READ_ONLY, SyncWriteRec(&w.r));
    EXPECT_EQ(SYNCERR_READ_ONLY, SyncPurgeDeletedRecs(ro));
    w.r.bufferSize = 4;
    EXPECT_EQ(SYNCERR_BUFFER_TOO_SMALL, SyncReadRecordById(&w.r));
    EXPECT_EQ(12u, w.r.dataLength + 0) << "the needed size is told";
    w.r.bufferSize = 12;   // exactly the record's length
    EXPECT_EQ(0, SyncReadRecordById(&w.r));
    EXPECT_EQ("plain record", w.Data());
    Raw stray(77);
    EXPECT_EQ(SYNCERR_BAD_HANDLE, SyncReadRecordByIndex(&stray.r));
    EXPECT_EQ(SYNCERR_BAD_ARGUMENT, SyncReadRecordByIndex(nullptr));
    EXPECT_EQ(0, SyncCloseDB(ro));

    SyncDbHandle rw = Open();
    Raw exact(rw, 11, "abc");
    EXPECT_EQ(SYNCERR_WRONG_KIND, SyncWriteResourceRec(&exact.r)) << "a record database has no resources";
    exact.r.bufferSize = 3;
    EXPECT_EQ(0, SyncWriteRec(&exact.r)) << "a length that fills the lent buffer";
    exact.r.bufferSize = 2;
    EXPECT_EQ(SYNCERR_BAD_ARGUMENT, SyncWriteRec(&exact.r)) << "a length beyond the lent buffer";
    SyncBlockDesc block = {"", 2, 3, exact.buf.data(), 0};
    EXPECT_EQ(SYNCERR_BAD_ARGUMENT, SyncWriteDBAppInfoBlock(rw, &block));
    EXPECT_EQ(0, SyncCloseDB(rw));

    SyncConduitHandle c = 0;
    EXPECT_EQ(0, SyncRegisterConduit(&c));
    EXPECT_EQ(SYNCERR_BAD_HANDLE, SyncUnRegisterConduit(c + 1));
    EXPECT_EQ(0, SyncUnRegisterConduit(c));
    TessalyHostServeFolder(nullptr);
    EXPECT_EQ(SYNCERR_NO_HANDHELD, SyncRegisterConduit(&c));
    SyncSystemInfo info;
    EXPECT_EQ(SYNCERR_NO_HANDHELD, SyncReadSystemInfo(&info));
}

// The seed's last value below 2^24 is used, then it wraps; taken IDs are passed over.
TEST_F(SyncManagerTest, NewUniqueIdsAvoidTakenOnesAndStayBelow2To24)
{
    const struct {
        uint32_t seed;
        Ids ids;
    } cases[] = {{12, {16}}, {0xFFFFFF, {0xFFFFFF, 1}}};   // 12 to 15 are taken
    for (const auto& c : cases) {
        ref::Database db = Sample();
        db.seed = c.seed;
        SyncDbHandle h = Open(SYNC_MODE_READ_WRITE, db);
        for (uint32_t want : c.ids) {
            Raw a(h);
            ASSERT_EQ(0, SyncWriteRec(&a.r));
            EXPECT_EQ(want, a.r.recordId + 0);
        }
        Raw tooBig(h, 0x1000000);
        EXPECT_EQ(SYNCERR_BAD_ARGUMENT, SyncWriteRec(&tooBig.r));
        EXPECT_EQ(0, SyncCloseDB(h));
    }
}

TEST_F(SyncManagerTest, DamagedFilesAreRefusedAndLeftAlone)
{
    const Bytes good = ref::Write(Sample());
    auto with = [&good](std::size_t at, std::uint32_t v, int bytes = 4) {
        Bytes f = good;
        ref::PutBE(f, at, v, bytes);
        return f;
    };
    const struct {
        const char* what;
        Bytes bytes;
    } cases[] = {
        {"shorter than a header", Bytes(good.begin(), good.begin() + 77)},
        {"record offset past the end", with(78 + 8 * 2, static_cast<std::uint32_t>(good.size() + 1))},
        {"record offsets out of order", with(78 + 8 * 3, 200)},
        {"app-info offset inside the record list", with(52, 80)},
        {"app-info after sort-info", with(52, 78 + 8 * 5 + 280 + 1)},
        {"count the file cannot hold", with(76, 0x1000, 2)},
        {"chained record list", with(72, 1)},
    };
    for (const auto& c : cases) {
        testsupport::WriteBytes(DbFile(), c.bytes);
        SyncDbHandle h = 0;
        EXPECT_EQ(SYNCERR_DAMAGED, SyncOpenDB(kDb, 0, &h, SYNC_MODE_READ_WRITE)) << c.what;
        EXPECT_EQ(c.bytes, testsupport::ReadBytes(DbFile())) << c.what;
    }
}

TEST_F(SyncManagerTest, FailedChangesLeaveFileAndMemoryAsTheyWere)
{
    // A planned failure hits the chosen call once.
    EXPECT_EQ(SYNCERR_BAD_ARGUMENT, TessalyHostFailCall("NoSuchCall", 1, 5));
    EXPECT_EQ(SYNCERR_BAD_ARGUMENT, TessalyHostFailCall("SyncWriteRec", 0, 5));
    ASSERT_EQ(0, TessalyHostFailCall("SyncWriteRec", 2, 0x2005));
    SyncDbHandle h = Open();
    for (SyncErr want : {0, 0x2005, 0}) {
        Raw w(h, 0, "one");
        const Bytes before = testsupport::ReadBytes(DbFile());
        EXPECT_EQ(want, SyncWriteRec(&w.r));
        EXPECT_EQ(want != 0, before == testsupport::ReadBytes(DbFile())) << "the file changes when the call succeeds";
    }
    // A folder where the new file would go makes writing fail.
    const Bytes before = testsupport::ReadBytes(DbFile());
    std::filesystem::create_directory(DbFile() + ".new");
    Raw w(h, 11, "lost");
    EXPECT_EQ(SYNCERR_FILE, SyncWriteRec(&w.r));
    EXPECT_EQ(SYNCERR_FILE, SyncPurgeDeletedRecs(h));
    EXPECT_EQ(before, testsupport::ReadBytes(DbFile()));
    ASSERT_EQ(0, SyncReadRecordById(&w.r));
    EXPECT_EQ("plain record", w.Data());
    EXPECT_EQ((Ids{12, 13, 14, 15}), Collect(h, SyncReadNextModifiedRec)) << "the deleted records are still there";
    ASSERT_EQ(0, TessalyHostFailCall("SyncCloseDB", 1, -7));
    EXPECT_EQ(-7, SyncCloseDB(h));
    EXPECT_EQ(0, SyncCloseDB(h));
}

TEST_F(SyncManagerTest, DeferredWritesReachTheFileWhenTheDatabaseCloses)
{
    TessalyHostDeferWrites(1);
    SyncDbHandle h = Open();
    Raw add(h, 0, "held back", 0, SYNC_REC_DIRTY), next(h);
    ASSERT_EQ(0, SyncWriteRec(&add.r));
    ASSERT_EQ(0, SyncReadNextModifiedRec(&next.r));   // 12; the reading cursor stays on 15 as 13 and 14 go
    ASSERT_EQ(0, SyncPurgeDeletedRecs(h));
    EXPECT_EQ((Ids{15, 100}), Collect(h, SyncReadNextModifiedRec));
    EXPECT_EQ(5u, Get().records.size()) << "nothing written yet";
    add.Set("");
    ASSERT_EQ(0, SyncReadRecordById(&add.r));
    EXPECT_EQ("100 40 0 held back", add.Shown());
    ASSERT_EQ(0, SyncCloseDB(h));
    EXPECT_EQ("11 00 plain record | 12 53 dirty private cat3 | 15 43 dirty cat3 | 100 40 held back", All(Get()));
}

} // namespace
