// The handheld database manager against the Sync Manager stand-in, with the
// failures it must log and return.
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
using Bytes = std::vector<std::uint8_t>;
using Entries = std::vector<std::vector<long>>;   // message, error, record ID

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

class RecordingLog : public CSyncLog {
public:
    void LogError(unsigned message, LONG error) override { Add(message, error, 0); }
    void LogRecord(unsigned message, const CSyncRecord& r, LONG error) override { Add(message, error, r.GetID()); }
    void LogCreateFailure(const char*, DWORD, DWORD, DWORD, DWORD, LONG e) override { Add(MSG_CREATE_FAILED, e, 0); }
    void Add(unsigned message, LONG error, DWORD id) { entries.push_back({long(message), long(error), long(id)}); }
    Entries entries;
};

class HandheldDbTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TessalyHostClearFailures();
        TessalyHostServeFolder(dir.Path().c_str());
    }
    // Records 100..104: 101, 103 and 104 dirty; 102 in category 2; 103 private; 104 deleted.
    void PutSample(const Bytes& appInfo = {})
    {
        PdbDatabase db;
        db.name = kName;
        db.creator = FourCC("Vqxa");
        db.type = FourCC("DATA");
        db.uniqueIdSeed = 500;
        db.hasAppInfo = !appInfo.empty();
        db.appInfo = appInfo;
        const std::uint8_t attrs[] = {0x00, 0x40, 0x02, 0x40 | 0x10, 0x80 | 0x40};
        for (std::uint32_t i = 0; i < 5; ++i)
            db.records.push_back({attrs[i], 100 + i, 0, 0, i == 4 ? Bytes() : B("memo " + std::to_string(i))});
        ASSERT_EQ(PdbResult::OK, WritePdbFile(dir.File(std::string(kName) + ".pdb"), db));
    }
    PdbDatabase Get()
    {
        PdbDatabase db;
        EXPECT_EQ(PdbResult::OK, ReadPdbFile(dir.File(std::string(kName) + ".pdb"), db));
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
    std::unique_ptr<CHandheldDb> Opened(LONG syncType, DWORD caps = 3)
    {
        auto h = Make(syncType, caps);
        EXPECT_EQ(0, h->Open());
        return h;
    }
    testsupport::TempDir dir;
    RecordingLog log;
};

TEST_F(HandheldDbTest, OpensBySyncTypeAndCloses)
{
    for (LONG type : {0, 1, 2, 5})
        EXPECT_EQ(CONDUIT_HANDHELD_MISSING, Make(type)->Open()) << type;
    for (LONG type : {8, -1})
        EXPECT_EQ(CONDUIT_BAD_SYNC_TYPE, Make(type)->Open()) << type;
    auto nothing = Make(6);
    EXPECT_EQ(0, nothing->Open());
    EXPECT_FALSE(nothing->IsOpen());
    TessalyHostFailCall("SyncCreateDB", 1, 0x2030);
    EXPECT_EQ(0x2030, Make(3)->Open());

    // Desktop overwrites handheld: no database to delete, and that is fine.
    auto create = Make(3);
    create->SetFlags(0x0008);
    create->SetVersion(4);
    ASSERT_EQ(0, create->Open());
    EXPECT_EQ(CONDUIT_ALREADY_OPEN, create->Open());
    ASSERT_EQ(0, create->Close(1));
    EXPECT_EQ(CONDUIT_NOT_OPEN, create->Close(1));
    const PdbDatabase db = Get();
    EXPECT_EQ("Vqxa DATA 8 4", FourCCText(db.creator) + " " + FourCCText(db.type) + " " + std::to_string(db.attributes) +
                                   " " + std::to_string(db.version));

    // An existing database is replaced by an empty one.
    PutSample();
    Opened(7);
    EXPECT_TRUE(Get().records.empty());

    // Closing resets the sync flags unless told not to, and reports the reset's failure first.
    PutSample();
    Opened(1)->Close(0);
    Opened(1);   // destroying an open manager closes it without the reset
    EXPECT_TRUE(Get().records[1].IsDirty());
    auto h = Opened(1);
    ASSERT_EQ(0, h->Close(1));
    for (const PdbRecord& r : Get().records)
        EXPECT_FALSE(r.IsDirty());

    ASSERT_EQ(0, h->Open());
    TessalyHostFailCall("SyncResetSyncFlags", 1, 0x2002);
    TessalyHostFailCall("SyncCloseDB", 1, 0x2003);
    EXPECT_EQ(0x2002, h->Close(1));
    EXPECT_FALSE(h->IsOpen());
    EXPECT_EQ((Entries{{MSG_CREATE_FAILED, 0x2030, 0}, {MSG_RESET_FLAGS_FAILED, 0x2002, 0}, {MSG_CLOSE_FAILED, 0x2003, 0}}),
              log.entries);
}

TEST_F(HandheldDbTest, LoadsModifiedRecordsInTheFastSyncAndAllInTheSlowSyncAndReadsById)
{
    PutSample();
    auto fast = Opened(0);
    ASSERT_EQ(0, fast->Load());
    EXPECT_EQ(10, fast->GetCapacity()) << "twice the record count";
    EXPECT_EQ(3, fast->GetRecordCount());
    EXPECT_EQ((std::vector<LONG>{1, 3, 4}),
              (std::vector<LONG>{fast->FindPositionById(101), fast->FindPositionById(103), fast->FindPositionById(104)}))
        << "kept at their indexes";
    EXPECT_EQ(CSyncRecord::StatusDeleted | CSyncRecord::StatusModified, fast->FindById(104)->GetFlags());
    // The rest come from the handheld by position, and a copy of each is kept.
    std::vector<DWORD> ids;
    CSyncRecord r;
    LONG e;
    fast->StartAll();
    while ((e = fast->Next(r)) == 0)
        ids.push_back(r.GetID());
    EXPECT_EQ(CONDUIT_NO_MORE, e);
    EXPECT_EQ((std::vector<DWORD>{100, 101, 102, 103, 104}), ids);
    EXPECT_EQ(5, fast->GetRecordCount());

    ASSERT_EQ(0, fast->ReadById(102, r, 1));
    EXPECT_EQ(2, r.GetPosition());
    EXPECT_EQ(SYNC_NOT_FOUND, fast->ReadById(999, r, 0));
    EXPECT_EQ(999u, r.GetID()) << "the asked ID stays";
    EXPECT_EQ(0u, r.GetCategory() + r.GetDataLength()) << "the rest is cleared";
    EXPECT_EQ(SYNC_NOT_FOUND, fast->ReadById(999, r, 1));
    fast->Close(0);

    auto slow = Opened(1);
    ASSERT_EQ(0, slow->Load());
    EXPECT_EQ(5, slow->GetRecordCount());
    EXPECT_EQ(5u, slow->GetHandheldCount());
    slow->Close(0);
    // A read failure ends the load and is logged with the place it happened.
    auto failing = Opened(1);
    TessalyHostFailCall("SyncReadRecordByIndex", 3, 0x2010);
    EXPECT_EQ(0x2010, failing->Load());
    EXPECT_EQ(2, failing->GetRecordCount());
    EXPECT_EQ((Entries{{MSG_HH_READ_FAILED, SYNC_NOT_FOUND, 999}, {MSG_HH_READ_FAILED, 0x2010, long(CSyncRecord::NoID)}}),
              log.entries);
}

TEST_F(HandheldDbTest, AddsWritesReplacesAndDeletesRecordsAndMovesCategories)
{
    PutSample();
    auto h = Opened(1);
    CSyncRecord add;
    add.SetID(0);
    add.SetData("fresh", 5);
    add.SetCategory(3);
    add.SetFlags(CSyncRecord::StatusModified | CSyncRecord::StatusNew);
    ASSERT_EQ(0, h->AddRecord(add));
    EXPECT_EQ(500u, add.GetID());
    EXPECT_EQ(5, add.GetPosition());
    EXPECT_EQ(0u, add.GetFlags()) << "adding clears the status";
    EXPECT_EQ(3, Get().records.at(5).attributes) << "not dirty, category 3";
    add.SetModified(1);
    ASSERT_EQ(0, h->WriteRecord(add));
    EXPECT_TRUE(Get().records[5].IsDirty()) << "writing keeps the status";

    CSyncRecord replace;
    replace.SetID(100);
    replace.SetData("replaced", 8);
    EXPECT_EQ(CONDUIT_RECORD_NOT_FOUND, h->ReplaceAtPosition(replace));
    replace.SetPosition(0);
    ASSERT_EQ(0, h->ReplaceAtPosition(replace));
    EXPECT_EQ(B("replaced"), Get().records[0].data);
    EXPECT_EQ(8u, h->GetAt(0)->GetDataLength()) << "the copy in memory too";
    std::vector<char> big(70000, 'x');
    replace.SetData(big.data(), static_cast<DWORD>(big.size()));
    EXPECT_EQ(CONDUIT_BUFFER_TOO_SMALL, h->AddRecord(replace));

    CSyncRecord del;
    del.SetID(101);
    ASSERT_EQ(0, h->DeleteRecord(del));
    EXPECT_EQ(SYNC_NOT_FOUND, h->DeleteRecord(del));
    EXPECT_EQ(5u, Get().records.size());
    ASSERT_EQ(0, h->PurgeDeleted());
    EXPECT_EQ(4u, Get().records.size());
    TessalyHostFailCall("SyncPurgeDeletedRecs", 1, 0x2020);
    EXPECT_EQ(0x2020, h->PurgeDeleted());
    EXPECT_EQ((Entries{{MSG_PURGE_FAILED, 0x2020, 0}}), log.entries);

    // 100, 102, 103 and 500 are left: their IDs in position order; categories moved and removed.
    DWORD ids[4] = {};
    DWORD n = 3;
    EXPECT_EQ(CONDUIT_BUFFER_TOO_SMALL, h->ReadRecordIdList(ids, &n));
    ASSERT_EQ(0, h->ReadRecordIdList(ids, &n));
    EXPECT_EQ((std::vector<DWORD>{100, 102, 103, 500}), std::vector<DWORD>(ids, ids + n));
    EXPECT_EQ(CONDUIT_CATEGORY_INDEX_TOO_HIGH, h->ChangeCategory(16, 0));
    EXPECT_EQ(CONDUIT_CATEGORY_INDEX_TOO_HIGH, h->ChangeCategory(0, 16));
    EXPECT_EQ(CONDUIT_CATEGORY_INDEX_TOO_HIGH, h->MoveOrRemoveCategory(16, 1));
    ASSERT_EQ(0, h->MoveOrRemoveCategory(2, 0));
    EXPECT_EQ(0u, Get().records[1].Category());
    ASSERT_EQ(0, h->ChangeCategory(0, 4));
    ASSERT_EQ(0, h->MoveOrRemoveCategory(4, 1));
    EXPECT_EQ(1u, Get().records.size()) << "all but the record in category 3 were in category 4";

    // A resource database takes the resource calls.
    auto res = Make(3);
    res->SetName("Resources");
    res->SetFlags(SYNC_DB_RESOURCE);
    ASSERT_EQ(0, res->Open());
    del.SetID(7);
    del.SetData("res", 3);
    EXPECT_EQ(0, res->AddRecord(del));
    EXPECT_EQ(0, res->DeleteRecord(del));
    EXPECT_EQ(SYNC_NOT_FOUND, res->DeleteRecord(del));
}

TEST_F(HandheldDbTest, CategoriesComeFromAndGoBackToTheAppInfoBlock)
{
    for (DWORD caps : {CDbManager::CapAppInfo, CDbManager::CapCategories}) {
        PutSample(Bytes(276, 0));
        EXPECT_EQ(CONDUIT_NO_CATEGORIES, Opened(1, caps)->LoadCategories()) << caps;
    }
    PutSample();
    EXPECT_EQ(CONDUIT_NO_APPINFO, Opened(1)->LoadCategories());
    PutSample(Bytes(275, 0));
    auto h = Opened(1);
    EXPECT_EQ(CONDUIT_APPINFO_TOO_SHORT, h->LoadCategories());
    EXPECT_EQ(nullptr, h->GetCategoryList());
    h->Close(0);

    Bytes block(276, 0);
    std::strcpy(reinterpret_cast<char*>(&block[2]), "Unfiled");
    std::strcpy(reinterpret_cast<char*>(&block[2 + 16]), "Work");
    block[1] = 0x02;   // Work renamed on the handheld
    block[258 + 1] = 7;
    block.insert(block.end(), {'K', 'E', 'P', 'T'});
    PutSample(block);
    h = Opened(1);
    ASSERT_EQ(0, h->LoadCategories());
    CCategoryList* list = h->GetCategoryList();
    ASSERT_TRUE(list);
    EXPECT_TRUE(list->IsChanged());
    EXPECT_EQ(B("KEPT"), Bytes(h->GetExtra(), h->GetExtra() + h->GetExtraLength()));

    CPCategory home;
    home.SetName("Home");
    home.SetID(130);
    ASSERT_EQ(0, list->AddAndMarkChanged(home));
    ASSERT_EQ(0, h->SaveAppInfo());
    block[1] = 0;   // renamed flags written as 0
    std::strcpy(reinterpret_cast<char*>(&block[2 + 32]), "Home");
    block[258 + 2] = 130;
    EXPECT_EQ(block, Get().appInfo) << "the bytes after the categories stay";

    // Nothing changed: nothing written.
    list->SetChanged(0);
    const std::uint32_t mod = Get().modNumber;
    ASSERT_EQ(0, h->SaveAppInfo());
    EXPECT_EQ(mod, Get().modNumber);

    Bytes huge(65520 - 276 + 1);
    EXPECT_EQ(CONDUIT_TOO_LONG, h->SetExtra(static_cast<DWORD>(huge.size()), huge.data()));
    ASSERT_EQ(0, h->SetExtra(3, reinterpret_cast<const BYTE*>("new")));
    ASSERT_EQ(0, h->SaveAppInfo());
    block.resize(276);
    block.insert(block.end(), {'n', 'e', 'w'});
    EXPECT_EQ(block, Get().appInfo);
}

} // namespace
