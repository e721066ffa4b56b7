// HotSync operations end to end: category and app-info reconciliation, the
// files the conduit writes, damaged input, and a failure injected at every
// Sync Manager call of an operation.
#include "SyncFixture.h"

#include "DesktopDb.h"
#include "HsLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

using namespace synctest;
using tessaly::PdbDatabase;
using tessaly::PdbRecord;

namespace {

PdbRecord Rec(std::uint32_t id, const std::string& text, unsigned category, std::uint8_t flags = 0)
{
    PdbRecord r;
    r.uniqueId = id;
    r.attributes = static_cast<std::uint8_t>(flags | category);
    r.data = B(text);
    return r;
}

std::vector<std::string> Names(const Bytes& app)
{
    std::vector<std::string> out;
    for (int i = 0; i < 16; ++i) {
        const char* p = reinterpret_cast<const char*>(&app[2 + 16 * i]);
        std::string name(p, strnlen(p, 16));
        if (!name.empty())
            out.push_back(std::to_string(i) + "=" + name + "#" + std::to_string(app[258 + i]));
    }
    return out;
}

// Names at indexes 1.. with the IDs given.
Bytes Categories(const std::vector<std::pair<std::string, int>>& cats, std::uint16_t renamed = 0,
                 const std::string& extra = "")
{
    Bytes a(276, 0);
    a[0] = static_cast<std::uint8_t>(renamed >> 8);
    a[1] = static_cast<std::uint8_t>(renamed);
    std::strcpy(reinterpret_cast<char*>(&a[2]), "Unfiled");
    int index = 1;
    for (const auto& c : cats) {
        if (!c.first.empty()) {
            std::memcpy(&a[2 + 16 * index], c.first.data(), std::min<size_t>(c.first.size(), 15));
            a[258 + index] = static_cast<std::uint8_t>(c.second);
        }
        ++index;
    }
    a.insert(a.end(), extra.begin(), extra.end());
    return a;
}

bool Logged(const std::vector<std::string>& log, const std::string& part)
{
    return std::any_of(log.begin(), log.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; });
}

struct CategoryWorld : World {
    void Put(const Bytes& hhApp, const std::vector<PdbRecord>& hhRecs, const Bytes& pcApp,
             const std::vector<DeskRecord>& pcRecs)
    {
        PdbDatabase hh = NewHandheld(hhApp);
        hh.records = hhRecs;
        PutHandheld(hh);
        DeskFile pc;
        pc.appInfo = pcApp;
        pc.records = pcRecs;
        PutDesktop(pc);
    }
};

} // namespace

TEST(CategorySync, EqualListsNeedNoWork)
{
    CategoryWorld w;
    Bytes app = Categories({{"Work", 1}}, 0x0002);
    w.Put(app, {Rec(1, "h", 1)}, app, {{1, 0, 1, B("h")}});
    std::vector<std::string> log;
    ASSERT_EQ(0, w.Sync(1, 1, &log));
    // No category is moved, renamed or deleted; the renamed flags are cleared.
    EXPECT_EQ(Names(app), Names(w.GetHandheld().appInfo));
    EXPECT_EQ(Names(app), Names(w.GetDesktop().appInfo));
    EXPECT_EQ(0, w.GetHandheld().appInfo[1]);
    EXPECT_EQ(Summary(w.GetHandheld()), Summary(w.GetDesktop()));

    // Lists that differ only in an ID are not equal: the desktop takes the handheld's.
    CategoryWorld v;
    v.Put(Categories({{"Work", 1}}), {}, Categories({{"Work", 9}}), {});
    ASSERT_EQ(0, v.Sync(0));
    EXPECT_EQ(Names(app), Names(v.GetDesktop().appInfo));
}

TEST(CategorySync, SameNameAtAnotherIndexMovesDesktopRecords)
{
    CategoryWorld w;
    // The same two categories at swapped indexes, one also with another ID.
    w.Put(Categories({{"Work", 1}, {"Home", 2}}), {Rec(1, "h", 2)}, Categories({{"Home", 9}, {"Work", 1}}),
          {{1, 0, 1, B("h")}, {0, 0x9, 1, B("new")}, {0, 0x9, 2, B("work")}});
    ASSERT_EQ(0, w.Sync(0));
    DeskFile pc = w.GetDesktop();
    EXPECT_EQ(Names(w.GetHandheld().appInfo), Names(pc.appInfo));
    EXPECT_EQ((std::vector<std::string>{"0=Unfiled#0", "1=Work#1", "2=Home#2"}), Names(pc.appInfo));
    for (const auto& r : pc.records)
        EXPECT_EQ(S(r.data) == "work" ? 1u : 2u, r.category) << S(r.data);
    EXPECT_EQ(Summary(w.GetHandheld()), Summary(pc));
}

// Renamed on the desktop alone, the handheld takes the name; renamed on
// both, the handheld's name stays. The renamed flags are written as 0.
TEST(CategorySync, RenamesOnOneSideOrBoth)
{
    for (std::uint16_t hhRenamed : {0, 2}) {
        CategoryWorld w;
        w.Put(Categories({{hhRenamed ? "Job" : "Work", 1}}, hhRenamed), {}, Categories({{"Office", 1}}, 0x0002), {});
        ASSERT_EQ(0, w.Sync(0));
        const std::string name = hhRenamed ? "1=Job#1" : "1=Office#1";
        EXPECT_EQ((std::vector<std::string>{"0=Unfiled#0", name}), Names(w.GetHandheld().appInfo));
        EXPECT_EQ(Names(w.GetHandheld().appInfo), Names(w.GetDesktop().appInfo));
        EXPECT_EQ(0, w.GetHandheld().appInfo[1]);
    }
}

TEST(CategorySync, NoRoomForDesktopCategories)
{
    CategoryWorld w;
    std::vector<std::pair<std::string, int>> hh, pc;
    for (int i = 1; i <= 14; ++i)
        hh.push_back({"H" + std::to_string(i), i});
    for (int i = 1; i <= 15; ++i)
        pc.push_back({"P" + std::to_string(i), 100 + i});
    std::vector<DeskRecord> recs;
    for (std::uint32_t i = 1; i <= 15; ++i)
        recs.push_back({0, 0x9, i, B("p" + std::to_string(i))});
    w.Put(Categories(hh), {}, Categories(pc), recs);
    std::vector<std::string> log;
    // First-sync indicator 2: nothing counts as deleted on either side.
    ASSERT_EQ(0, w.Sync(0, 2, &log));
    std::vector<std::string> names = Names(w.GetHandheld().appInfo);
    ASSERT_EQ(16u, names.size());
    EXPECT_EQ("15=P1#101", names[15]);
    EXPECT_TRUE(Logged(log, "Only 15 categories are allowed.  All records in local category P2 were changed to 'Unfiled'."));
    EXPECT_TRUE(Logged(log, "-- Local category P15 has been deleted."));
    EXPECT_FALSE(Logged(log, "local category P1 "));
    PdbDatabase after = w.GetHandheld();
    ASSERT_EQ(15u, after.records.size());
    for (const auto& r : after.records)
        EXPECT_EQ(S(r.data) == "p1" ? 15u : 0u, r.Category()) << S(r.data);
    EXPECT_EQ(Summary(after), Summary(w.GetDesktop()));
}

TEST(CategorySync, SameNameTwiceOnTheHandheldMerges)
{
    CategoryWorld w;
    w.Put(Categories({{"Work", 1}, {"Work", 2}}), {Rec(1, "one", 1), Rec(2, "two", 2)}, Categories({{"Work", 1}}),
          {{1, 0, 1, B("one")}});
    ASSERT_EQ(0, w.Sync(0));
    PdbDatabase hh = w.GetHandheld();
    EXPECT_EQ((std::vector<std::string>{"0=Unfiled#0", "1=Work#1"}), Names(hh.appInfo));
    for (const auto& r : hh.records)
        EXPECT_EQ(1u, r.Category());
    EXPECT_EQ(Summary(hh), Summary(w.GetDesktop()));
}

TEST(CategorySync, FirstSyncIndicator)
{
    // The handheld has Home, the desktop Play; neither has the other.
    auto run = [](std::uint32_t indicator, LONG type, std::vector<std::string>& log) {
        CategoryWorld w;
        w.Put(Categories({{"Home", 1}}), {Rec(1, "h", 1)}, Categories({{"Play", 5}}), {{0, 0x9, 1, B("p")}});
        EXPECT_EQ(0, w.Sync(type, indicator, &log));
        EXPECT_EQ(Names(w.GetHandheld().appInfo), Names(w.GetDesktop().appInfo));
        EXPECT_EQ(Summary(w.GetHandheld()), Summary(w.GetDesktop()));
        std::vector<std::string> out = Names(w.GetHandheld().appInfo), recs;
        for (const auto& s : Summary(w.GetHandheld()))
            recs.push_back(s.substr(s.find(':') + 1));
        std::sort(recs.begin(), recs.end());
        out.insert(out.end(), recs.begin(), recs.end());
        return out;
    };
    std::vector<std::string> log;
    // 2: nothing is deleted; Play is placed beside Home.
    EXPECT_EQ((std::vector<std::string>{"0=Unfiled#0", "1=Home#1", "2=Play#5", "h:1", "p:2"}), run(2, 0, log));
    EXPECT_FALSE(Logged(log, "has been deleted"));
    // 1: the handheld's categories count as changed, so Home stays; Play was
    // deleted on the handheld and its records go to Unfiled.
    EXPECT_EQ((std::vector<std::string>{"0=Unfiled#0", "1=Home#1", "h:1", "p:0"}), run(1, 0, log));
    EXPECT_TRUE(Logged(log, "4 -- Remote category Play has been deleted."));
    // Other values, fast sync: each side's missing category counts as deleted.
    EXPECT_EQ((std::vector<std::string>{"0=Unfiled#0", "h:0", "p:0"}), run(0, 0, log));
    EXPECT_TRUE(Logged(log, "4 -- Remote category Play has been deleted."));
    EXPECT_TRUE(Logged(log, "4 -- Local category Home has been deleted."));
    // Other values, slow sync: as 1.
    EXPECT_EQ((std::vector<std::string>{"0=Unfiled#0", "1=Home#1", "h:1", "p:0"}), run(0, 1, log));
}

TEST(AppInfoSync, HandheldPasswordBytesWin)
{
    CategoryWorld w;
    const std::string hhExtra(48, 'H'), pcExtra(48, 'P');
    w.Put(Categories({{"Work", 1}}, 0, hhExtra), {}, Categories({{"Work", 1}}, 0, pcExtra), {});
    ASSERT_EQ(0, w.Sync(0));
    Bytes pc = w.GetDesktop().appInfo;
    ASSERT_EQ(276u + 48u, pc.size());
    EXPECT_EQ(hhExtra, std::string(pc.begin() + 276, pc.end()));
    // Only the desktop has them: they go to the handheld.
    CategoryWorld v;
    v.Put(Categories({{"Work", 1}}), {}, Categories({{"Work", 1}}, 0, pcExtra), {});
    ASSERT_EQ(0, v.Sync(0));
    Bytes hh = v.GetHandheld().appInfo;
    EXPECT_EQ(pcExtra, std::string(hh.begin() + 276, hh.end()));
}

TEST(DesktopFile, WrittenExactlyAndBackedUp)
{
    CategoryWorld w;
    w.Put(Categories({{"Work", 1}}), {Rec(5, "x", 1, 0x40), Rec(6, "private", 0, 0x10)}, Categories({{"Work", 1}}),
          {{5, 0, 1, B("x")}, {6, 0x10, 0, B("private")}, {0, 0x9, 1, B("new")}});
    std::vector<std::string> log;
    ASSERT_EQ(0, w.Sync(0, 0, &log));
    Bytes bytes = testsupport::ReadBytes(w.DataFile());
    DeskFile f;
    std::string why;
    ASSERT_TRUE(ParseDeskFile(bytes, f, &why)) << why;
    for (const auto& r : f.records)
        EXPECT_EQ(S(r.data) == "private" ? 0x10 : 0, r.attributes) << S(r.data);
    EXPECT_EQ(bytes, testsupport::ReadBytes(w.Desktop() + "/record.BAK"));
    EXPECT_FALSE(w.HasFile("record.dat.new"));
    // The log: three empty entries, then the conduit's name at the end.
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ("19 ", log[0]);
    EXPECT_EQ("20 ", log[1]);
    EXPECT_EQ("19 ", log[2]);
    EXPECT_EQ("20 Tessaly Conduit", log.back());
}

// The longest record the desktop file holds (65,480 data bytes: 65,520 with
// its header) and one byte under it go both ways, through the conduit's
// reader and writer of the desktop file and its raw buffer for the handheld.
// One byte over stops the run and leaves the desktop file as it was.
TEST(DesktopFile, LongestRecordsBothWays)
{
    for (std::size_t n : {65479u, 65480u, 65481u}) {
        SCOPED_TRACE(n);
        CategoryWorld w;
        const std::string hh(n, 'h'), pc(n, 'p');
        w.Put(Categories({}), {Rec(1, hh, 0, 0x40)}, Categories({}), {{0, 0x9, 0, B(pc)}});
        const Bytes before = testsupport::ReadBytes(w.DataFile());
        if (n > 65480) {
            EXPECT_NE(0, w.Sync(0));
            EXPECT_EQ(before, testsupport::ReadBytes(w.DataFile()));
            continue;
        }
        ASSERT_EQ(0, w.Sync(0));
        std::multiset<std::string> want = {hh, pc}, got, gotHh;
        for (const auto& r : w.GetDesktop().records)
            got.insert(S(r.data));
        for (const auto& r : w.GetHandheld().records)
            gotHh.insert(S(r.data));
        EXPECT_TRUE(want == got);
        EXPECT_TRUE(want == gotHh);
    }
}

// The application-info block holds at most 65,535 bytes after its header.
TEST(DesktopFile, LongestAppInfoBlock)
{
    for (std::size_t n : {65534u, 65535u, 65536u}) {
        World w;
        DeskFile f;
        f.appInfo = Categories({{"Work", 1}}, 0, std::string(n - 276, 'x'));
        w.PutDesktop(f);
        CDesktopDb db("Tessaly-Vqxa", w.Desktop().c_str(), "record.dat", 3, 3, nullptr);
        ASSERT_EQ(0, db.Open());
        EXPECT_EQ(n > 65535 ? LONG(CONDUIT_READ_APPINFO_FAILED) : 0, db.Load()) << n;
        EXPECT_EQ(n > 65535 ? 0 : n, db.GetAppInfoLength()) << n;
    }
}

TEST(DesktopFile, EmptyOrDamagedFileEndsTheRunAndStaysAsItWas)
{
    CategoryWorld w;
    w.Put(Categories({}), {Rec(1, "h", 0)}, Categories({}), {});
    testsupport::WriteBytes(w.DataFile(), Bytes());
    std::vector<std::string> log;
    EXPECT_EQ(CONDUIT_NO_APPINFO, w.Sync(0, 0, &log));
    EXPECT_EQ("21 Tessaly Conduit", log.back());
    EXPECT_TRUE(testsupport::ReadBytes(w.DataFile()).empty());

    DeskFile f;
    f.appInfo = Categories({});
    f.records.push_back({1, 0, 0, B("hello")});
    const Bytes good = ComposeDeskFile(f);
    // A record whose size runs past the end; one whose size is below its header; a cut block.
    std::vector<Bytes> damaged;
    damaged.push_back(Bytes(good.begin(), good.end() - 2));
    Bytes small = good;
    small[good.size() - 45] = 3;
    small[good.size() - 44] = 0;
    damaged.push_back(small);
    damaged.push_back(Bytes(good.begin(), good.begin() + 100));
    for (const Bytes& d : damaged) {
        testsupport::WriteBytes(w.DataFile(), d);
        LONG rc = w.Sync(0);
        EXPECT_NE(0, rc);
        EXPECT_EQ(d, testsupport::ReadBytes(w.DataFile()));
        EXPECT_EQ(1u, w.GetHandheld().records.size());
    }
}

TEST(Archives, PerCategoryFilesAppendAndFallBackToUnfiled)
{
    CategoryWorld w;
    w.Put(Categories({{"A.b/c", 1}}), {Rec(1, "one", 1, 0x80 | 0x40), Rec(2, "two", 7, 0x80 | 0x40)},
          Categories({{"A.b/c", 1}}), {{1, 0, 1, B("one")}, {2, 0, 7, B("two")}});
    ASSERT_EQ(0, w.Sync(0));
    // A full stop and a slash become underscores; ".ARC" is appended.
    ASSERT_TRUE(w.HasFile("A_b_c.ARC"));
    EXPECT_EQ((std::vector<std::string>{"1:one:1"}), Summary(w.GetDesktop("A_b_c.ARC")));
    // No category at index 7 on the handheld: the Unfiled archive.
    EXPECT_EQ((std::vector<std::string>{"2:two:7"}), Summary(w.GetDesktop("Unfiled.ARC")));
    EXPECT_TRUE(w.GetDesktop().records.empty());
    EXPECT_TRUE(w.GetHandheld().records.empty());

    PdbDatabase hh = w.GetHandheld();
    hh.records.push_back(Rec(3, "three", 1, 0x80 | 0x40));
    w.PutHandheld(hh);
    DeskFile pc = w.GetDesktop();
    pc.records.push_back({3, 0, 1, B("three")});
    w.PutDesktop(pc);
    ASSERT_EQ(0, w.Sync(0));
    EXPECT_EQ((std::vector<std::string>{"1:one:1", "3:three:1"}), Summary(w.GetDesktop("A_b_c.ARC")));
}

TEST(OverwriteSync, MissingSidesSwitchTheSyncType)
{
    // No handheld database: the desktop file makes it.
    CategoryWorld w;
    DeskFile pc;
    pc.appInfo = Categories({{"Work", 1}}, 0, "digest");
    pc.records = {{7, 0, 1, B("kept")}};
    w.PutDesktop(pc);
    ASSERT_EQ(0, w.Sync(1));
    EXPECT_EQ((std::vector<std::string>{"7:kept:1"}), Summary(w.GetHandheld()));
    EXPECT_EQ(pc.appInfo, w.GetHandheld().appInfo);

    // No desktop file: the handheld makes it.
    CategoryWorld v;
    PdbDatabase hh = v.NewHandheld(Categories({{"Work", 1}}, 0, "digest"));
    hh.records = {Rec(9, "memo", 1)};
    v.PutHandheld(hh);
    ASSERT_EQ(0, v.Sync(0));
    DeskFile made = v.GetDesktop();
    EXPECT_EQ("Tessaly-Vqxa", made.name);
    EXPECT_EQ(hh.appInfo, made.appInfo);
    EXPECT_EQ((std::vector<std::string>{"9:memo:1"}), Summary(made));

    // Nothing: no registering, no log.
    std::vector<std::string> log;
    EXPECT_EQ(0, v.Sync(6, 0, &log));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(CONDUIT_SYNC_TYPE_TOO_HIGH, v.Sync(8));
    EXPECT_EQ(CONDUIT_BAD_SYNC_TYPE, v.Sync(-1));
}

TEST(OverwriteSync, AnUnreadableDesktopFileLeavesTheHandheldAlone)
{
    CategoryWorld w;
    w.Put(Categories({}), {Rec(1, "keep me", 0)}, Categories({}), {});
    const Bytes pdb = testsupport::ReadBytes(w.PdbPath());
    Bytes damaged = testsupport::ReadBytes(w.DataFile());
    damaged.resize(90);
    testsupport::WriteBytes(w.DataFile(), damaged);
    EXPECT_NE(0, w.Sync(3));
    EXPECT_EQ(pdb, testsupport::ReadBytes(w.PdbPath()));
    std::remove(w.DataFile().c_str());
    EXPECT_EQ(CONDUIT_FILE_OPEN_FAILED, w.Sync(3));
    EXPECT_EQ(pdb, testsupport::ReadBytes(w.PdbPath()));
}

// Every memo text of a side, live or waiting to be archived, and of the archives.
std::multiset<std::string> AllTexts(const World& w)
{
    std::multiset<std::string> out;
    for (const auto& r : w.GetHandheld().records)
        if (!r.data.empty())
            out.insert(S(r.data));
    for (const auto& r : w.GetDesktop().records)
        out.insert(S(r.data));
    for (const auto& f : testsupport::ListFiles(w.Desktop()))
        if (f.size() > 4 && f.substr(f.size() - 4) == ".ARC")
            for (const auto& r : w.GetDesktop(f).records)
                out.insert(S(r.data));
    return out;
}

TEST(FailureSweep, EveryCallFailsInTurnAndNothingIsLost)
{
    const char* const ops[] = {"SyncReadSystemInfo", "SyncRegisterConduit", "SyncOpenDB", "SyncGetDBRecordCount",
                               "SyncChangeCategory", "SyncReadPositionXMap", "SyncCloseDB", "SyncResetSyncFlags",
                               "SyncWriteRec", "SyncDeleteRec", "SyncReadRecordById", "SyncReadRecordByIndex",
                               "SyncReadNextModifiedRec", "SyncReadDBAppInfoBlock", "SyncWriteDBAppInfoBlock",
                               "SyncPurgeDeletedRecs", "SyncUnRegisterConduit"};
    const SyncErr code = 0x400A;
    int failures = 0;
    for (LONG type : {0, 1}) {
        for (const char* op : ops) {
            for (int nth = 1; nth < 40; ++nth) {
                CategoryWorld w;
                // Changes on both sides: modified, new, deleted, archived, a
                // handheld category the desktop lacks and the other way round.
                w.Put(Categories({{"Work", 1}, {"Home", 2}}, 0, "digest"),
                      {Rec(1, "same", 1), Rec(2, "hh-mod", 1, 0x40), Rec(3, "hh-new", 2, 0x40),
                       Rec(4, "to-delete", 0, 0x80 | 0x40), Rec(5, "hh-arch", 1, 0x80 | 0x40), Rec(6, "both-a", 0, 0x40)},
                      Categories({{"Work", 1}, {"Play", 7}}, 0, "digest"),
                      {{1, 0, 1, B("same")}, {2, 0, 1, B("old")}, {4, 0, 0, B("to-delete")}, {5, 0, 1, B("hh-arch")},
                       {6, 0x1, 0, B("both-b")}, {0, 0x9, 2, B("pc-new")}, {8, 0x5, 0, B("pc-arch")}});
                w.PutDesktop(w.GetDesktop(), "record.BAK");
                const Bytes before = testsupport::ReadBytes(w.DataFile());
                std::multiset<std::string> texts = AllTexts(w);
                texts.erase("to-delete");
                texts.erase("to-delete");
                texts.erase("old");

                TessalyHostFailCall(op, nth, code);
                LONG rc = w.Sync(type);
                TessalyHostClearFailures();
                if (rc == 0)
                    break;
                ++failures;
                std::string where = std::string(op) + " #" + std::to_string(nth) + " type " + std::to_string(type);
                EXPECT_EQ(code, rc) << where;
                Bytes now = testsupport::ReadBytes(w.DataFile());
                DeskFile parsed;
                EXPECT_TRUE(now == before || ParseDeskFile(now, parsed)) << where;
                EXPECT_FALSE(w.HasFile("record.dat.new")) << where;
                std::multiset<std::string> after = AllTexts(w);
                for (const auto& t : texts)
                    EXPECT_TRUE(after.count(t)) << where << ": lost " << t;
                // The next operation goes through and loses nothing either. (It
                // may leave copies: what the failed one gave the handheld
                // before the desktop file was written comes back once more.)
                ASSERT_EQ(0, w.Sync(type)) << where;
                after = AllTexts(w);
                for (const auto& t : texts)
                    EXPECT_TRUE(after.count(t)) << where << ": lost afterwards " << t;
            }
        }
    }
    EXPECT_GT(failures, 30);
}

TEST(SyncLog, FailureMessagesWithTheirActivityCodes)
{
    struct Case {
        const char* op;
        int nth;
        LONG type;
        const char* entry;
    };
    const Case cases[] = {
        {"SyncPurgeDeletedRecs", 1, 0, "10 Could not purge the deleted records on Palm organizer. 400a"},
        {"SyncResetSyncFlags", 1, 0, "18 Could not clear Palm organizer's status flags. Error Code 400a"},
        {"SyncCloseDB", 1, 0, "22  -- Could not close remote database. Error Code 400a"},
        {"SyncCreateDB", 1, 3, "-1  -- Failed to create HH Database: DB Name Tessaly-Vqxa, Creator ID 56717861, Error 16394"},
        {"SyncWriteRec", 1, 3, "9  -- HH failed to add record: Record ID 7, Error 16394"},
        {"SyncReadRecordById", 1, 0, "8  -- HH failed to read record: Record ID 8, Error 16394"},
    };
    for (const Case& c : cases) {
        CategoryWorld w;
        // Record 8 is on the handheld only, and not modified: the count check reads it.
        w.Put(Categories({}), {Rec(7, "seven", 0), Rec(8, "eight", 0), Rec(9, "gone", 0, 0x80 | 0x40)}, Categories({}),
              {{7, 0, 0, B("seven")}});
        TessalyHostFailCall(c.op, c.nth, 0x400A);
        std::vector<std::string> log;
        EXPECT_EQ(0x400A, w.Sync(c.type, 0, &log)) << c.op;
        TessalyHostClearFailures();
        EXPECT_TRUE(Logged(log, c.entry)) << c.op << ": " << (log.size() > 3 ? log[3] : "");
        EXPECT_EQ("21 Tessaly Conduit", log.back());
    }
}

TEST(SyncLog, TextsAreFormattedSafely)
{
    EXPECT_EQ("Record ID 5", FormatConduitText("Record ID %u", {"5"}));
    EXPECT_EQ("a 1 b 2", FormatConduitText("a %1s b %2u", {"1", "2"}));
    // Conversions beyond the arguments, and unknown ones, stay as text.
    EXPECT_EQ("x %s %n %% 100%", FormatConduitText("x %s %n %%%% 100%", {}));
    EXPECT_EQ(511u, FormatConduitText(std::string(600, 'a'), {}).size());
}
