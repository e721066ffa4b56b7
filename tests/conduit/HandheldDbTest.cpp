// The handheld database manager against the Sync Manager stand-in: opening
// by sync type, closing, loading, record operations, categories and the
// app-info block, with the failures it must log and return.
#include "HandheldDb.h"
#include "PdbFile.h"
#include "SyncLog.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace tessaly;

namespace {

const char kName[] = "Tessaly-Vqxa";

struct Entry {
    unsigned message;
    LONG error;
    DWORD id;
};

class RecordingLog : public CSyncLog {
public:
    void LogError(unsigned nMessage, LONG lError) override { entries.push_back({nMessage, lError, 0}); }
    void LogRecord(unsigned nMessage, const CSyncRecord& rec, LONG lError) override
    {
        entries.push_back({nMessage, lError, rec.GetID()});
    }
    void LogCreateFailure(const char*, DWORD, DWORD, DWORD, DWORD, LONG lError) override
    {
        entries.push_back({MSG_CREATE_FAILED, lError, 0});
    }
    std::vector<Entry> entries;
};

std::vector<std::uint8_t> Bytes(const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); }

class HandheldDbTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TessalyHostClearFailures();
        TessalyHostServeFolder(dir.Path().c_str());
    }
    void TearDown() override
    {
        TessalyHostServeFolder(nullptr);
        TessalyHostClearFailures();
    }
    std::string File() const { return dir.File(std::string(kName) + ".pdb"); }
    // Records 100..104: 101, 103 and 104 dirty; 102 in category 2; 103 private; 104 deleted.
    void PutSample(std::vector<std::uint8_t> appInfo = {})
    {
        PdbDatabase db;
        db.name = kName;
        db.creator = FourCC("Vqxa");
        db.type = FourCC("DATA");
        db.uniqueIdSeed = 500;
        db.hasAppInfo = !appInfo.empty();
        db.appInfo = appInfo;
        db.hasSortInfo = true;
        db.sortInfo = Bytes("sort");
        const std::uint8_t attrs[] = {0x00, 0x40, 0x02, 0x40 | 0x10, 0x80 | 0x40};
        for (std::uint32_t i = 0; i < 5; ++i) {
            PdbRecord r;
            r.uniqueId = 100 + i;
            r.attributes = attrs[i];
            if (i != 4)
                r.data = Bytes("memo " + std::to_string(i));
            db.records.push_back(r);
        }
        ASSERT_EQ(PdbResult::OK, WritePdbFile(File(), db));
    }
    PdbDatabase Get()
    {
        PdbDatabase db;
        EXPECT_EQ(PdbResult::OK, ReadPdbFile(File(), db));
        return db;
    }
    std::unique_ptr<CHandheldDb> Make(LONG syncType, DWORD caps = 3)
    {
        auto h = std::make_unique<CHandheldDb>(syncType, caps, &log);
        h->SetName(kName);
        h->SetCreator(FourCC("Vqxa"));
        h->SetType(FourCC("DATA"));
        return h;
    }
    // The sample, opened by a manager of the sync type.
    std::unique_ptr<CHandheldDb> OpenSample(LONG syncType, DWORD caps = 3)
    {
        PutSample();
        auto h = Make(syncType, caps);
        EXPECT_EQ(0, h->Open());
        return h;
    }
    std::vector<DWORD> Drain(CHandheldDb& h)
    {
        std::vector<DWORD> ids;
        CSyncRecord r;
        LONG e;
        while ((e = h.Next(r)) == 0)
            ids.push_back(r.GetID());
        EXPECT_EQ(CONDUIT_NO_MORE, e);
        return ids;
    }
    testsupport::TempDir dir;
    RecordingLog log;
};

TEST_F(HandheldDbTest, OpensBySyncType)
{
    for (LONG type : {0, 1, 2, 5})
        EXPECT_EQ(CONDUIT_HANDHELD_MISSING, Make(type)->Open()) << type;
    for (LONG type : {8, -1})
        EXPECT_EQ(CONDUIT_BAD_SYNC_TYPE, Make(type)->Open()) << type;
    auto nothing = Make(6);
    EXPECT_EQ(0, nothing->Open());
    EXPECT_FALSE(nothing->IsOpen());

    // Desktop overwrites handheld: no database to delete, and that is fine.
    auto create = Make(3);
    create->SetFlags(0x0008);
    create->SetVersion(4);
    ASSERT_EQ(0, create->Open());
    EXPECT_EQ(CONDUIT_ALREADY_OPEN, create->SetName("Other"));
    EXPECT_EQ(CONDUIT_ALREADY_OPEN, create->Open());
    ASSERT_EQ(0, create->Close(1));
    EXPECT_EQ(CONDUIT_NOT_OPEN, create->Close(1));
    PdbDatabase db = Get();
    EXPECT_EQ("Vqxa", FourCCText(db.creator));
    EXPECT_EQ("DATA", FourCCText(db.type));
    EXPECT_EQ(0x0008, db.attributes);
    EXPECT_EQ(4, db.version);

    // An existing database is replaced by an empty one.
    auto again = OpenSample(7);
    again->Close(0);
    EXPECT_TRUE(Get().records.empty());
    EXPECT_TRUE(log.entries.empty());
}

TEST_F(HandheldDbTest, ClosingResetsTheSyncFlagsUnlessToldNotAndReportsTheResetFailureFirst)
{
    OpenSample(1)->Close(0);
    EXPECT_TRUE(Get().records[1].IsDirty());
    OpenSample(1);   // destroying an open manager closes it without the reset
    EXPECT_TRUE(Get().records[1].IsDirty());
    auto h = Make(1);
    ASSERT_EQ(0, h->Open()) << "the destroyed manager closed its database";
    ASSERT_EQ(0, h->Close(1));
    for (const PdbRecord& r : Get().records)
        EXPECT_FALSE(r.IsDirty());

    ASSERT_EQ(0, h->Open());
    TessalyHostFailCall("SyncResetSyncFlags", 1, 0x2002);
    TessalyHostFailCall("SyncCloseDB", 1, 0x2003);
    EXPECT_EQ(0x2002, h->Close(1));
    EXPECT_FALSE(h->IsOpen());
    ASSERT_EQ(2u, log.entries.size());
    EXPECT_EQ(MSG_RESET_FLAGS_FAILED, log.entries[0].message);
    EXPECT_EQ(MSG_CLOSE_FAILED, log.entries[1].message);
    EXPECT_EQ(0x2003, log.entries[1].error);
}

TEST_F(HandheldDbTest, LoadsModifiedRecordsInTheFastSyncAndAllInTheSlowSync)
{
    auto fast = OpenSample(0);
    ASSERT_EQ(0, fast->Load());
    EXPECT_EQ(10, fast->GetCapacity()) << "twice the record count";
    EXPECT_EQ(3, fast->GetRecordCount());
    EXPECT_EQ(1, fast->FindPositionById(101)) << "kept at its index";
    EXPECT_EQ(3, fast->FindPositionById(103));
    EXPECT_EQ(4, fast->FindPositionById(104));
    EXPECT_TRUE(fast->FindById(103)->IsPrivate());
    EXPECT_EQ(CSyncRecord::StatusDeleted | CSyncRecord::StatusModified, fast->FindById(104)->GetFlags());
    // The rest come from the handheld by position, and a copy of each is kept.
    fast->StartAll();
    EXPECT_EQ((std::vector<DWORD>{100, 101, 102, 103, 104}), Drain(*fast));
    EXPECT_EQ(5, fast->GetRecordCount());
    fast->StartCategory(2);
    EXPECT_EQ((std::vector<DWORD>{102}), Drain(*fast));
    fast->Close(0);

    auto slow = Make(1);
    ASSERT_EQ(0, slow->Open());
    ASSERT_EQ(0, slow->Load());
    EXPECT_EQ(5, slow->GetRecordCount());
    EXPECT_EQ(5u, slow->GetHandheldCount());
    EXPECT_EQ(2u, slow->FindById(102)->GetCategory());
    slow->Close(0);

    // A read failure ends the load and is logged.
    auto failing = Make(1);
    ASSERT_EQ(0, failing->Open());
    TessalyHostFailCall("SyncReadRecordByIndex", 3, 0x2010);
    EXPECT_EQ(0x2010, failing->Load());
    ASSERT_EQ(1u, log.entries.size());
    EXPECT_EQ(MSG_HH_READ_FAILED, log.entries[0].message);
    EXPECT_EQ(0x2010, log.entries[0].error);
    EXPECT_EQ(2, failing->GetRecordCount());
}

TEST_F(HandheldDbTest, ReadsByIdWithOrWithoutLoggingAFailure)
{
    auto h = OpenSample(0);
    CSyncRecord r;
    ASSERT_EQ(0, h->ReadById(102, r, 1));
    EXPECT_EQ(2, r.GetPosition());
    EXPECT_EQ(Bytes("memo 2"), std::vector<std::uint8_t>(r.GetData(), r.GetData() + r.GetDataLength()));
    EXPECT_EQ(SYNC_NOT_FOUND, h->ReadById(999, r, 0));
    EXPECT_EQ(999u, r.GetID()) << "the asked ID stays";
    EXPECT_EQ(0u, r.GetCategory());
    EXPECT_EQ(0u, r.GetDataLength());
    EXPECT_TRUE(log.entries.empty());
    EXPECT_EQ(SYNC_NOT_FOUND, h->ReadById(999, r, 1));
    ASSERT_EQ(1u, log.entries.size());
    EXPECT_EQ(999u, log.entries[0].id);
}

TEST_F(HandheldDbTest, AddsWritesReplacesAndDeletesRecords)
{
    auto h = OpenSample(1);
    CSyncRecord add;
    add.SetID(0);
    add.SetData("fresh", 5);
    add.SetCategory(3);
    add.SetFlags(CSyncRecord::StatusModified | CSyncRecord::StatusNew);
    add.SetUnvisited(1);
    ASSERT_EQ(0, h->AddRecord(add));
    EXPECT_EQ(500u, add.GetID());
    EXPECT_EQ(5, add.GetPosition());
    EXPECT_EQ(0u, add.GetFlags()) << "adding clears the status";
    PdbDatabase db = Get();
    ASSERT_EQ(6u, db.records.size());
    EXPECT_EQ(3, db.records[5].attributes) << "not dirty, category 3";

    add.SetModified(1);
    ASSERT_EQ(0, h->WriteRecord(add));
    EXPECT_TRUE(Get().records[5].IsDirty()) << "writing keeps the status";

    CSyncRecord replace;
    replace.SetID(100);
    replace.SetData("replaced", 8);
    EXPECT_EQ(CONDUIT_RECORD_NOT_FOUND, h->ReplaceAtPosition(replace));
    replace.SetPosition(0);
    ASSERT_EQ(0, h->ReplaceAtPosition(replace));
    EXPECT_EQ(Bytes("replaced"), Get().records[0].data);
    EXPECT_EQ(8u, h->GetAt(0)->GetDataLength()) << "the copy in memory too";

    CSyncRecord tooBig;
    std::vector<char> big(70000, 'x');
    tooBig.SetData(big.data(), static_cast<DWORD>(big.size()));
    EXPECT_EQ(CONDUIT_BUFFER_TOO_SMALL, h->AddRecord(tooBig));

    CSyncRecord del;
    del.SetID(101);
    ASSERT_EQ(0, h->DeleteRecord(del));
    EXPECT_EQ(SYNC_NOT_FOUND, h->DeleteRecord(del));
    EXPECT_EQ(5u, Get().records.size());
    ASSERT_EQ(0, h->PurgeDeleted());
    EXPECT_EQ(4u, Get().records.size());
    TessalyHostFailCall("SyncPurgeDeletedRecs", 1, 0x2020);
    EXPECT_EQ(0x2020, h->PurgeDeleted());
    ASSERT_EQ(1u, log.entries.size());
    EXPECT_EQ(MSG_PURGE_FAILED, log.entries[0].message);
}

TEST_F(HandheldDbTest, AResourceDatabaseTakesResourceCalls)
{
    auto h = Make(3);
    h->SetName("Resources");
    h->SetFlags(SYNC_DB_RESOURCE);
    EXPECT_FALSE(h->IsRecordDb());
    ASSERT_EQ(0, h->Open());
    CSyncRecord r;
    r.SetID(7);
    r.SetData("res", 3);
    ASSERT_EQ(0, h->AddRecord(r));
    EXPECT_EQ(0, r.GetPosition());
    PdbDatabase db;
    ASSERT_EQ(PdbResult::OK, ReadPdbFile(dir.File("Resources.prc"), db));
    ASSERT_EQ(1u, db.records.size());
    EXPECT_EQ(7, db.records[0].resourceId);
    ASSERT_EQ(0, h->DeleteRecord(r));
    ASSERT_EQ(PdbResult::OK, ReadPdbFile(dir.File("Resources.prc"), db));
    EXPECT_TRUE(db.records.empty());
}

TEST_F(HandheldDbTest, ReadsIdsInPositionOrderAndMovesAndRemovesCategories)
{
    auto h = OpenSample(1);
    DWORD ids[5] = {};
    DWORD n = 4;
    EXPECT_EQ(CONDUIT_BUFFER_TOO_SMALL, h->ReadRecordIdList(ids, &n));
    EXPECT_EQ(5u, n);
    ASSERT_EQ(0, h->ReadRecordIdList(ids, &n));
    EXPECT_EQ(5u, n);
    EXPECT_EQ((std::vector<DWORD>{100, 101, 102, 103, 104}), std::vector<DWORD>(ids, ids + 5));

    EXPECT_EQ(CONDUIT_CATEGORY_INDEX_TOO_HIGH, h->ChangeCategory(16, 0));
    EXPECT_EQ(CONDUIT_CATEGORY_INDEX_TOO_HIGH, h->ChangeCategory(0, 16));
    EXPECT_EQ(CONDUIT_CATEGORY_INDEX_TOO_HIGH, h->MoveOrRemoveCategory(16, 1));
    ASSERT_EQ(0, h->MoveOrRemoveCategory(2, 0));
    EXPECT_EQ(0u, Get().records[2].Category());
    ASSERT_EQ(0, h->ChangeCategory(0, 4));
    ASSERT_EQ(0, h->MoveOrRemoveCategory(4, 1));
    EXPECT_TRUE(Get().records.empty()) << "every record was in category 4";
}

TEST_F(HandheldDbTest, CategoriesComeFromAndGoBackToTheAppInfoBlock)
{
    std::vector<std::uint8_t> block(276, 0);
    std::strcpy(reinterpret_cast<char*>(&block[2]), "Unfiled");
    std::strcpy(reinterpret_cast<char*>(&block[2 + 16]), "Work");
    block[1] = 0x02;
    block[258 + 1] = 7;
    block.insert(block.end(), {'K', 'E', 'P', 'T'});
    PutSample(block);
    auto h = Make(1);
    ASSERT_EQ(0, h->Open());
    ASSERT_EQ(0, h->LoadCategories());
    CCategoryList* list = h->GetCategoryList();
    ASSERT_TRUE(list);
    EXPECT_EQ(2, list->GetCount());
    EXPECT_EQ(7, list->GetByIndex(1)->GetID());
    EXPECT_TRUE(list->IsChanged()) << "Work was renamed on the handheld";
    ASSERT_EQ(4u, h->GetExtraLength());
    EXPECT_EQ(0, std::memcmp(h->GetExtra(), "KEPT", 4));

    CPCategory home;
    home.SetName("Home");
    home.SetID(130);
    ASSERT_EQ(0, list->AddAndMarkChanged(home));
    ASSERT_EQ(0, h->SaveAppInfo());
    PdbDatabase db = Get();
    ASSERT_EQ(280u, db.appInfo.size());
    EXPECT_EQ(0, db.appInfo[1]) << "renamed flags written as 0";
    EXPECT_STREQ("Home", reinterpret_cast<const char*>(&db.appInfo[2 + 32]));
    EXPECT_EQ(130, db.appInfo[258 + 2]);
    EXPECT_EQ(0, std::memcmp(&db.appInfo[276], "KEPT", 4)) << "the bytes after the categories stay";

    // Nothing changed: nothing written.
    list->SetChanged(0);
    const std::uint32_t mod = Get().modNumber;
    ASSERT_EQ(0, h->SaveAppInfo());
    EXPECT_EQ(mod, Get().modNumber);

    std::vector<BYTE> huge(65520 - 276 + 1);
    EXPECT_EQ(CONDUIT_TOO_LONG, h->SetExtra(static_cast<DWORD>(huge.size()), huge.data()));
    ASSERT_EQ(0, h->SetExtra(3, reinterpret_cast<const BYTE*>("new")));
    ASSERT_EQ(0, h->SaveAppInfo());
    db = Get();
    ASSERT_EQ(279u, db.appInfo.size());
    EXPECT_EQ(0, std::memcmp(&db.appInfo[276], "new", 3));

    BYTE sort[16];
    DWORD len = 0;
    ASSERT_EQ(0, h->ReadSortInfo(sort, sizeof sort, &len));
    EXPECT_EQ(Bytes("sort"), std::vector<std::uint8_t>(sort, sort + len));
}

TEST_F(HandheldDbTest, CategoriesNeedTheCapabilityAndABlockLongEnough)
{
    for (DWORD caps : {CDbManager::CapAppInfo, CDbManager::CapCategories})
        EXPECT_EQ(CONDUIT_NO_CATEGORIES, OpenSample(1, caps)->LoadCategories()) << caps;
    EXPECT_EQ(CONDUIT_NO_APPINFO, OpenSample(1)->LoadCategories());
    PutSample(std::vector<std::uint8_t>(275, 0));
    auto shortBlock = Make(1);
    ASSERT_EQ(0, shortBlock->Open());
    EXPECT_EQ(CONDUIT_APPINFO_TOO_SHORT, shortBlock->LoadCategories());
    EXPECT_EQ(nullptr, shortBlock->GetCategoryList());
}

} // namespace
