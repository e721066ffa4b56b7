// The Sync Manager stand-in over a folder of .pdb files: every operation,
// what reaches the file (read back by the reference reader and by another
// process), damaged files, and planned failures.
#include "PdbReference.h"
#include "SyncMgr.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

using testsupport::TempDir;

namespace {

const char kDb[] = "Tessaly-Vqxa";

std::vector<std::uint8_t> Bytes(const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); }

// A memo-like database with one record of each kind the handheld keeps.
ref::Database Sample()
{
    ref::Database db;
    db.name = kDb;
    db.type = "DATA";
    db.creator = "Vqxa";
    db.version = 3;
    db.created = 0xB0000000;
    db.modNumber = 7;
    db.seed = 100;
    db.hasAppInfo = true;
    db.appInfo = Bytes(std::string(276, '\0') + "kept");
    db.hasSortInfo = true;
    db.sortInfo = Bytes("SORT");
    db.records = {
        {0x00, 11, Bytes("plain record")},
        {0x40 | 0x10 | 3, 12, Bytes("dirty private cat3")},
        {0x80 | 0x40, 13, {}},                      // deleted
        {0x80 | 0x40 | 2, 14, Bytes("archived")},   // archived: deleted with data
        {0x40 | 3, 15, Bytes("dirty cat3")},
    };
    return db;
}

struct Raw {
    SyncRawRecord r = {};
    std::vector<std::uint8_t> buf = std::vector<std::uint8_t>(65520);
    explicit Raw(SyncDbHandle h)
    {
        r.dbHandle = h;
        r.pData = buf.data();
        r.bufferSize = static_cast<uint16_t>(buf.size());
    }
    std::string Data() const { return std::string(buf.begin(), buf.begin() + r.dataLength); }
    void Set(const std::string& s)
    {
        std::memcpy(buf.data(), s.data(), s.size());
        r.dataLength = static_cast<uint32_t>(s.size());
    }
};

Raw Rec(SyncDbHandle h, uint32_t id, const std::string& data, int category = 0, uint8_t attributes = 0)
{
    Raw r(h);
    r.Set(data);
    r.r.recordId = id;
    r.r.category = static_cast<int16_t>(category);
    r.r.attributes = attributes;
    return r;
}

// The IDs a reading call hands out one after the other, up to "not found".
std::vector<uint32_t> Collect(SyncDbHandle h, SyncErr (*read)(SyncRawRecord*), int category = 0)
{
    std::vector<uint32_t> ids;
    for (;;) {
        Raw r(h);
        r.r.category = static_cast<int16_t>(category);
        SyncErr e = read(&r.r);
        if (e != 0) {
            EXPECT_EQ(SYNCERR_NOT_FOUND, e);
            return ids;
        }
        ids.push_back(+r.r.recordId);
    }
}

class SyncManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TessalyHostClearFailures();
        ASSERT_EQ(0, TessalyHostServeFolder(dir.Path().c_str()));
    }
    void TearDown() override
    {
        TessalyHostServeFolder(nullptr);
        TessalyHostClearFailures();
    }
    std::string DbFile() const { return dir.File(std::string(kDb) + ".pdb"); }
    void Put(const ref::Database& db) { testsupport::WriteBytes(DbFile(), ref::Write(db)); }
    ref::Database Get()
    {
        ref::Database db;
        std::string why;
        EXPECT_TRUE(ref::Read(testsupport::ReadBytes(DbFile()), db, why)) << why;
        return db;
    }
    SyncDbHandle Open(uint8_t mode = SYNC_MODE_READ_WRITE)
    {
        SyncDbHandle h = 0;
        EXPECT_EQ(0, SyncOpenDB(kDb, 0, &h, mode));
        EXPECT_NE(0, h);
        return h;
    }
    // The database as another process sees it through the stand-in.
    std::vector<std::string> DumpInFreshProcess(const char* name = kDb)
    {
        std::string out = dir.File("dump.txt");
        EXPECT_EQ(0, testsupport::RunBeside("sync_dump", {dir.Path(), name}, out));
        std::ifstream in(out);
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);)
            lines.push_back(l.substr(0, l.find_last_not_of("\r") + 1));
        return lines;
    }
    TempDir dir;
};

TEST_F(SyncManagerTest, ReadsEveryKindOfRecordOfAFileWrittenByTheReferenceWriter)
{
    Put(Sample());
    SyncDbHandle h = Open(SYNC_MODE_READ);
    uint16_t count = 0;
    ASSERT_EQ(0, SyncGetDBRecordCount(h, &count));
    EXPECT_EQ(5, count);

    struct Want {
        uint32_t id;
        uint8_t attr;
        int cat;
        std::string data;
    } want[] = {{11, 0x00, 0, "plain record"},
                {12, SYNC_REC_DIRTY | SYNC_REC_PRIVATE, 3, "dirty private cat3"},
                {13, SYNC_REC_DELETED | SYNC_REC_DIRTY, 0, ""},
                {14, SYNC_REC_DELETED | SYNC_REC_ARCHIVED | SYNC_REC_DIRTY, 2, "archived"},
                {15, SYNC_REC_DIRTY, 3, "dirty cat3"}};
    for (uint16_t i = 0; i < 5; ++i) {
        Raw byIndex(h);
        byIndex.r.recordIndex = i;
        ASSERT_EQ(0, SyncReadRecordByIndex(&byIndex.r));
        EXPECT_EQ(want[i].id, +byIndex.r.recordId);
        EXPECT_EQ(want[i].attr, +byIndex.r.attributes) << i;
        EXPECT_EQ(want[i].cat, +byIndex.r.category);
        EXPECT_EQ(want[i].data, byIndex.Data());
        Raw byId(h);
        byId.r.recordId = want[i].id;
        ASSERT_EQ(0, SyncReadRecordById(&byId.r));
        EXPECT_EQ(i, +byId.r.recordIndex);
        EXPECT_EQ(want[i].data, byId.Data());
    }
    Raw past(h);
    past.r.recordIndex = 5;
    EXPECT_EQ(SYNCERR_NOT_FOUND, SyncReadRecordByIndex(&past.r));
    Raw unknown(h);
    unknown.r.recordId = 99;
    EXPECT_EQ(SYNCERR_NOT_FOUND, SyncReadRecordById(&unknown.r));

    // Modified records in order; live records of category 3.
    EXPECT_EQ((std::vector<uint32_t>{12, 13, 14, 15}), Collect(h, SyncReadNextModifiedRec));
    EXPECT_EQ((std::vector<uint32_t>{12, 15}), Collect(h, SyncReadNextRecInCategory, 3));

    std::vector<uint8_t> block(65520);
    SyncBlockDesc d = {};
    d.bufferSize = 65520;
    d.pBuffer = block.data();
    ASSERT_EQ(0, SyncReadDBAppInfoBlock(h, &d));
    EXPECT_EQ(280, +d.bytesUsed);
    EXPECT_EQ(0, std::memcmp(block.data() + 276, "kept", 4));
    ASSERT_EQ(0, SyncReadDBSortInfoBlock(h, &d));
    EXPECT_EQ(4, +d.bytesUsed);
    EXPECT_EQ(0, std::memcmp(block.data(), "SORT", 4));

    // Record IDs in position order, each big-endian.
    uint32_t ids[8] = {};
    SyncPositionMap map = {};
    map.dbHandle = h;
    map.firstIndex = 1;
    map.maxEntries = 3;
    map.pIds = ids;
    ASSERT_EQ(0, SyncReadPositionXMap(&map));
    ASSERT_EQ(3, +map.numEntries);
    const uint8_t* b = reinterpret_cast<const uint8_t*>(ids);
    EXPECT_EQ(0, b[0] | b[1] | b[2]);
    EXPECT_EQ(12, b[3]);
    EXPECT_EQ(14, b[11]);
    EXPECT_EQ(0, SyncCloseDB(h));
}

TEST_F(SyncManagerTest, EveryChangeIsInTheFileBeforeTheCallReturns)
{
    Put(Sample());
    SyncDbHandle h = Open();

    Raw add = Rec(h, 0, "new memo", 5, SYNC_REC_PRIVATE);
    ASSERT_EQ(0, SyncWriteRec(&add.r));
    EXPECT_EQ(100u, +add.r.recordId) << "the unique-ID seed gives the new ID";
    EXPECT_EQ(5, +add.r.recordIndex);
    ref::Database db = Get();
    ASSERT_EQ(6u, db.records.size());
    EXPECT_EQ(100u, db.records[5].id);
    EXPECT_EQ(0x10 | 5, db.records[5].attr);
    EXPECT_EQ(Bytes("new memo"), db.records[5].data);
    EXPECT_EQ(101u, db.seed);
    EXPECT_EQ(8u, db.modNumber);

    Raw replace = Rec(h, 11, "changed", 1, SYNC_REC_DIRTY);
    ASSERT_EQ(0, SyncWriteRec(&replace.r));
    EXPECT_EQ(0, +replace.r.recordIndex);
    db = Get();
    EXPECT_EQ(0x40 | 1, db.records[0].attr);
    EXPECT_EQ(Bytes("changed"), db.records[0].data);

    // An archived write keeps its data; a deleted one loses it.
    Raw archive = Rec(h, 15, "keep me", 0, SYNC_REC_DELETED | SYNC_REC_ARCHIVED);
    ASSERT_EQ(0, SyncWriteRec(&archive.r));
    Raw drop = Rec(h, 100, "lose me", 0, SYNC_REC_DELETED);
    ASSERT_EQ(0, SyncWriteRec(&drop.r));
    db = Get();
    EXPECT_EQ(Bytes("keep me"), db.records[4].data);
    EXPECT_EQ(0x80, db.records[4].attr);
    EXPECT_TRUE(db.records[5].data.empty());

    Raw del(h);
    del.r.recordId = 12;
    ASSERT_EQ(0, SyncDeleteRec(&del.r));
    EXPECT_EQ(SYNCERR_NOT_FOUND, SyncDeleteRec(&del.r));
    db = Get();
    ASSERT_EQ(5u, db.records.size());
    EXPECT_EQ(13u, db.records[1].id);

    ASSERT_EQ(0, SyncChangeCategory(h, 2, 15));   // the last category there is
    EXPECT_EQ(15, Get().records[2].attr & 0x0F);
    ASSERT_EQ(0, SyncChangeCategory(h, 15, 7));
    EXPECT_EQ(7, Get().records[2].attr & 0x0F);
    EXPECT_EQ(SYNCERR_BAD_ARGUMENT, SyncChangeCategory(h, 16, 0));

    std::string app(300, 'a');
    SyncBlockDesc d = {};
    d.bufferSize = 300;
    d.bytesUsed = 300;
    d.pBuffer = reinterpret_cast<uint8_t*>(&app[0]);
    ASSERT_EQ(0, SyncWriteDBAppInfoBlock(h, &d));
    EXPECT_EQ(Bytes(app), Get().appInfo);

    ASSERT_EQ(0, SyncResetSyncFlags(h));
    for (const ref::Record& r : Get().records)
        EXPECT_EQ(0, r.attr & 0x40) << r.id;

    ASSERT_EQ(0, SyncPurgeAllRecsInCategory(h, 7));
    db = Get();
    ASSERT_EQ(4u, db.records.size());
    EXPECT_EQ(15u, db.records[2].id);

    ASSERT_EQ(0, SyncPurgeDeletedRecs(h));
    db = Get();
    ASSERT_EQ(1u, db.records.size()) << "13, 15 and 100 were deleted";
    EXPECT_EQ(11u, db.records[0].id);
    EXPECT_EQ(Bytes("SORT"), db.sortInfo) << "the sort-info block survives every change";
    EXPECT_EQ(0, SyncCloseDB(h));

    // Another process sees the same through the stand-in.
    std::vector<std::string> dump = DumpInFreshProcess();
    ASSERT_EQ(4u, dump.size());
    EXPECT_EQ("count 1", dump[0]);
    EXPECT_EQ("record 0 id 11 attr 00 cat 1 len 7 data 6368616e676564", dump[1]);
    std::string appHex;
    for (int i = 0; i < 300; ++i)
        appHex += "61";
    EXPECT_EQ("appinfo len 300 data " + appHex, dump[2]);
    EXPECT_EQ("sortinfo len 4 data 534f5254", dump[3]);
}

TEST_F(SyncManagerTest, CreatingOpeningAndDeletingDatabases)
{
    SyncDbHandle h = 0;
    EXPECT_EQ(SYNCERR_NOT_FOUND, SyncOpenDB(kDb, 0, &h, SYNC_MODE_READ));
    EXPECT_EQ(SYNCERR_NOT_FOUND, SyncDeleteDB(kDb, 0));

    SyncCreateDbRequest req = {};
    std::strcpy(req.name, kDb);
    req.dbFlags = 0x0008;
    req.creator = 0x56717861;   // "Vqxa"
    req.dbType = 0x44415441;    // "DATA"
    req.version = 2;
    ASSERT_EQ(0, SyncCreateDB(&req));
    ref::Database made = Get();
    EXPECT_EQ("Vqxa", made.creator);
    EXPECT_EQ("DATA", made.type);
    EXPECT_EQ(2, made.version);
    SyncCreateDbRequest again = req;
    EXPECT_EQ(SYNCERR_EXISTS, SyncCreateDB(&again));
    EXPECT_EQ(SYNCERR_TOO_MANY_OPEN, SyncOpenDB(kDb, 0, &h, SYNC_MODE_READ)) << "one handle per database";
    EXPECT_NE(0, SyncDeleteDB(kDb, 0)) << "an open database stays";
    EXPECT_EQ(0x0008, Get().flags);
    EXPECT_EQ(0, SyncCloseDB(+req.dbHandle));
    EXPECT_EQ(SYNCERR_BAD_HANDLE, SyncCloseDB(+req.dbHandle));
    EXPECT_EQ(0, SyncDeleteDB(kDb, 0));
    EXPECT_FALSE(testsupport::FileExists(DbFile()));

    // Names the file system cannot take still make a file of their own.
    SyncCreateDbRequest odd = {};
    std::strcpy(odd.name, "a/b:c");
    ASSERT_EQ(0, SyncCreateDB(&odd));
    EXPECT_EQ(0, SyncCloseDB(+odd.dbHandle));
    EXPECT_EQ(0, SyncOpenDB("a/b:c", 0, &h, SYNC_MODE_READ));
    EXPECT_EQ(0, SyncCloseDB(h));
    EXPECT_EQ(SYNCERR_BAD_ARGUMENT, SyncOpenDB("", 0, &h, SYNC_MODE_READ));
    EXPECT_EQ(SYNCERR_NOT_FOUND, SyncOpenDB("a/b:c", 1, &h, SYNC_MODE_READ)) << "there is only card 0";
}

TEST_F(SyncManagerTest, ResourceDatabasesKeepResourcesByTypeAndId)
{
    SyncCreateDbRequest req = {};
    std::strcpy(req.name, "Res");
    req.dbFlags = SYNC_DB_RESOURCE;
    ASSERT_EQ(0, SyncCreateDB(&req));
    EXPECT_TRUE(testsupport::FileExists(dir.File("Res.prc")));
    Raw a(req.dbHandle);
    a.Set("first");
    a.r.resourceType = 0x74535452;   // "tSTR"
    a.r.recordId = 1000;
    ASSERT_EQ(0, SyncWriteResourceRec(&a.r));
    EXPECT_EQ(0, +a.r.recordIndex);
    Raw b = a;
    b.r.pData = b.buf.data();
    b.r.recordId = 1001;
    ASSERT_EQ(0, SyncWriteResourceRec(&b.r));
    EXPECT_EQ(1, +b.r.recordIndex);
    a.Set("again");
    ASSERT_EQ(0, SyncWriteResourceRec(&a.r));
    EXPECT_EQ(0, +a.r.recordIndex) << "same type and ID: replaced";
    EXPECT_EQ(SYNCERR_WRONG_KIND, SyncWriteRec(&a.r));

    Raw del(req.dbHandle);
    del.r.resourceType = 0x74535452;
    del.r.recordId = 1001;
    ASSERT_EQ(0, SyncDeleteResourceRec(&del.r));
    EXPECT_EQ(SYNCERR_NOT_FOUND, SyncDeleteResourceRec(&del.r));
    EXPECT_EQ(0, SyncCloseDB(req.dbHandle));

    std::vector<std::string> dump = DumpInFreshProcess("Res");
    ASSERT_GE(dump.size(), 2u);
    EXPECT_EQ(0u, dump[0].find("count 1"));
    EXPECT_EQ(0u, dump[1].find("record 0 id 1000 attr 00 cat 0 len 5 data 616761696e")) << dump[1];
}

TEST_F(SyncManagerTest, CallsThatCannotBeHonouredSaySo)
{
    Put(Sample());
    SyncDbHandle ro = Open(SYNC_MODE_READ);
    Raw w(ro);
    w.Set("x");
    EXPECT_EQ(SYNCERR_READ_ONLY, SyncWriteRec(&w.r));
    EXPECT_EQ(SYNCERR_READ_ONLY, SyncPurgeDeletedRecs(ro));
    Raw small(ro);
    small.r.recordId = 11;
    small.r.bufferSize = 4;
    EXPECT_EQ(SYNCERR_BUFFER_TOO_SMALL, SyncReadRecordById(&small.r));
    EXPECT_EQ(12u, +small.r.dataLength) << "the needed size is told";
    small.r.bufferSize = 12;   // exactly the record's length
    EXPECT_EQ(0, SyncReadRecordById(&small.r));
    EXPECT_EQ("plain record", small.Data());
    Raw stray(77);
    EXPECT_EQ(SYNCERR_BAD_HANDLE, SyncReadRecordByIndex(&stray.r));
    EXPECT_EQ(SYNCERR_BAD_ARGUMENT, SyncReadRecordByIndex(nullptr));
    EXPECT_EQ(0, SyncCloseDB(ro));
    SyncDbHandle rw = Open();
    w.r.dbHandle = rw;
    EXPECT_EQ(SYNCERR_WRONG_KIND, SyncWriteResourceRec(&w.r)) << "a record database has no resources";
    Raw liar(rw);
    liar.r.bufferSize = 2;
    liar.r.dataLength = 3;
    EXPECT_EQ(SYNCERR_BAD_ARGUMENT, SyncWriteRec(&liar.r)) << "a length beyond the lent buffer";
    Raw exact = Rec(rw, 11, "abc");
    exact.r.bufferSize = 3;
    EXPECT_EQ(0, SyncWriteRec(&exact.r)) << "a length that fills the lent buffer";
    SyncBlockDesc block = {};
    block.pBuffer = liar.buf.data();
    block.bufferSize = 2;
    block.bytesUsed = 3;
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

TEST_F(SyncManagerTest, NewUniqueIdsAvoidTakenOnesAndStayBelow2To24)
{
    ref::Database db = Sample();
    db.seed = 12;    // taken
    Put(db);
    SyncDbHandle h = Open();
    Raw a(h);
    ASSERT_EQ(0, SyncWriteRec(&a.r));
    EXPECT_EQ(16u, +a.r.recordId) << "12 to 15 are taken";
    EXPECT_EQ(0, SyncCloseDB(h));

    db = Get();
    db.seed = 0xFFFFFF;
    db.records[0].id = 0xFFFFFF;
    Put(db);
    h = Open();
    Raw b(h);
    ASSERT_EQ(0, SyncWriteRec(&b.r));
    EXPECT_EQ(1u, +b.r.recordId) << "the seed wraps below 2^24";
    Raw tooBig(h);
    tooBig.r.recordId = 0x1000000;
    EXPECT_EQ(SYNCERR_BAD_ARGUMENT, SyncWriteRec(&tooBig.r));
    EXPECT_EQ(0, SyncCloseDB(h));
}

TEST_F(SyncManagerTest, DamagedFilesAreRefusedAndLeftAlone)
{
    const std::vector<std::uint8_t> good = ref::Write(Sample());
    auto put32 = [](std::vector<std::uint8_t> f, std::size_t at, std::uint32_t v) {
        f[at] = v >> 24;
        f[at + 1] = (v >> 16) & 0xFF;
        f[at + 2] = (v >> 8) & 0xFF;
        f[at + 3] = v & 0xFF;
        return f;
    };
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        {"shorter than a header", std::vector<std::uint8_t>(good.begin(), good.begin() + 77)},
        {"record offset past the end", put32(good, 78 + 8 * 2, static_cast<std::uint32_t>(good.size() + 1))},
        {"record offsets out of order", put32(good, 78 + 8 * 3, 200)},
        {"app-info offset inside the record list", put32(good, 52, 80)},
        {"app-info after sort-info", put32(good, 52, 78 + 8 * 5 + 280 + 1)},
        {"count the file cannot hold", [&] {
             auto f = good;
             f[76] = 0x10;
             f[77] = 0x00;
             return f;
         }()},
        {"chained record list", put32(good, 72, 1)},
    };
    for (const Case& c : cases) {
        testsupport::WriteBytes(DbFile(), c.bytes);
        SyncDbHandle h = 0;
        EXPECT_EQ(SYNCERR_DAMAGED, SyncOpenDB(kDb, 0, &h, SYNC_MODE_READ_WRITE)) << c.what;
        EXPECT_EQ(0, h);
        if (h)
            SyncCloseDB(h);
        EXPECT_EQ(c.bytes, testsupport::ReadBytes(DbFile())) << c.what;
    }
}

TEST_F(SyncManagerTest, AChangeThatCannotBeWrittenLeavesFileAndMemoryAsTheyWere)
{
    Put(Sample());
    const auto before = testsupport::ReadBytes(DbFile());
    SyncDbHandle h = Open();
    // A folder where the new file would go makes the write fail.
    std::filesystem::create_directory(DbFile() + ".new");
    Raw w(h);
    w.Set("lost");
    w.r.recordId = 11;
    EXPECT_EQ(SYNCERR_FILE, SyncWriteRec(&w.r));
    EXPECT_EQ(SYNCERR_FILE, SyncPurgeDeletedRecs(h));
    EXPECT_EQ(before, testsupport::ReadBytes(DbFile()));
    Raw r(h);
    r.r.recordId = 11;
    ASSERT_EQ(0, SyncReadRecordById(&r.r));
    EXPECT_EQ("plain record", r.Data());
    uint16_t count = 0;
    SyncGetDBRecordCount(h, &count);
    EXPECT_EQ(5, count);
    EXPECT_EQ(0, SyncCloseDB(h));
}

TEST_F(SyncManagerTest, PlannedFailuresHitTheChosenCallOnce)
{
    Put(Sample());
    EXPECT_EQ(SYNCERR_BAD_ARGUMENT, TessalyHostFailCall("NoSuchCall", 1, 5));
    EXPECT_EQ(SYNCERR_BAD_ARGUMENT, TessalyHostFailCall("SyncWriteRec", 0, 5));
    ASSERT_EQ(0, TessalyHostFailCall("SyncWriteRec", 2, 0x2005));
    SyncDbHandle h = Open();
    Raw w(h);
    w.Set("one");
    EXPECT_EQ(0, SyncWriteRec(&w.r));
    const auto before = testsupport::ReadBytes(DbFile());
    w.r.recordId = 0;
    EXPECT_EQ(0x2005, SyncWriteRec(&w.r));
    EXPECT_EQ(before, testsupport::ReadBytes(DbFile()));
    w.r.recordId = 0;
    EXPECT_EQ(0, SyncWriteRec(&w.r));

    ASSERT_EQ(0, TessalyHostFailCall("SyncCloseDB", 1, -7));
    EXPECT_EQ(-7, SyncCloseDB(h));
    EXPECT_EQ(0, SyncCloseDB(h));
}

} // namespace

TEST_F(SyncManagerTest, DeferredWritesReachTheFileWhenTheDatabaseCloses)
{
    Put(Sample());
    TessalyHostDeferWrites(1);
    SyncDbHandle h = Open();
    Raw add(h);
    add.Set("held back");
    add.r.recordId = 0;
    ASSERT_EQ(0, SyncWriteRec(&add.r));
    ASSERT_EQ(0, SyncPurgeDeletedRecs(h));
    EXPECT_EQ(5u, Get().records.size()) << "nothing written yet";
    Raw back(h);
    back.r.recordId = add.r.recordId;
    ASSERT_EQ(0, SyncReadRecordById(&back.r));
    EXPECT_EQ("held back", back.Data());
    ASSERT_EQ(0, SyncCloseDB(h));
    TessalyHostDeferWrites(0);
    ref::Database db = Get();
    ASSERT_FALSE(db.records.empty());
    EXPECT_EQ(+add.r.recordId, db.records.back().id);
}
