// HotSync operations end to end: category and app-info reconciliation, the
// files the conduit writes, damaged input, and a failure injected at every
// Sync Manager call of an operation.
#include "SyncFixture.h"

#include "DesktopDb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>

using namespace synctest;
using tessaly::PdbDatabase;
using tessaly::PdbRecord;

namespace {

using Strings = std::vector<std::string>;

// "text:category" of each live handheld record.
std::string TextCategories(const PdbDatabase& db)
{
    Strings out;
    for (const auto& r : db.records)
        if (!r.IsDeleted())
            out.push_back(S(r.data) + ":" + std::to_string(r.Category()));
    return SortAndJoin(out);
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

} // namespace

// After every operation both sides hold the same list with the renamed flags
// cleared, the same records in the same categories (private ones kept
// private), and the same bytes after the category part (the handheld's win;
// the desktop's go over when the handheld has none); the backup is the file.
TEST(CategorySync, Reconciliation)
{
    // Fourteen on the handheld, room for one of the desktop's three.
    std::vector<std::pair<std::string, int>> fourteen;
    for (int i = 1; i <= 14; ++i)
        fourteen.push_back({"H" + std::to_string(i), i});
    const Bytes work = Categories({{"Work", 1}}), home = Categories({{"Home", 1}}), play = Categories({{"Play", 5}});
    const std::vector<PdbRecord> h = {Rec(1, "h", 1)};
    const std::vector<DeskRecord> p = {{0, 0x9, 1, B("p")}};
    const std::string hhExtra(48, 'H'), pcExtra(48, 'P'), remotePlay = "4 -- Remote category Play has been deleted.";
    const struct {
        const char* what;
        Bytes hhApp;
        std::vector<PdbRecord> hh;
        Bytes pcApp;
        std::vector<DeskRecord> pc;
        LONG type;
        std::uint32_t firstSync;
        std::string names, records{};
        Strings logged{};   // "!" first: not logged
        std::string extra{};
    } cases[] = {
        {"equal lists", Categories({{"Work", 1}}, 2), {Rec(1, "h", 1), Rec(2, "private", 0, 0x10)},
         Categories({{"Work", 1}}, 2), {{1, 0, 1, B("h")}, {2, 0x10, 0, B("private")}}, 1, 1, "1=Work#1",
         "h:1 private:0", {"!deleted"}},
        {"differing only in an ID: the handheld's", work, {}, Categories({{"Work", 9}}), {}, 0, 0, "1=Work#1"},
        {"same names at swapped indexes", Categories({{"Work", 1}, {"Home", 2}}), {Rec(1, "h", 2)},
         Categories({{"Home", 9}, {"Work", 1}}), {{1, 0, 1, B("h")}, {0, 0x9, 1, B("new")}, {0, 0x9, 2, B("work")}},
         0, 0, "1=Work#1 2=Home#2", "h:2 new:2 work:1"},
        {"renamed on the desktop alone", work, {}, Categories({{"Office", 1}}, 2), {}, 0, 0, "1=Office#1"},
        {"renamed on both", Categories({{"Job", 1}}, 2), {}, Categories({{"Office", 1}}, 2), {}, 0, 0, "1=Job#1"},
        {"one name twice on the handheld", Categories({{"Work", 1}, {"Work", 2}}), {Rec(1, "one", 1), Rec(2, "two", 2)},
         work, {{1, 0, 1, B("one")}}, 0, 0, "1=Work#1", "one:1 two:1"},
        // The first-sync indicator. 2: nothing is deleted, Play is placed beside Home.
        {"first sync 2", home, h, play, p, 0, 2, "1=Home#1 2=Play#5", "h:1 p:2", {"!deleted"}},
        // 1, and any value in a slow sync: the handheld's categories count as changed.
        {"first sync 1", home, h, play, p, 0, 1, "1=Home#1", "h:1 p:0", {remotePlay, "!Local category"}},
        {"slow sync", home, h, play, p, 1, 0, "1=Home#1", "h:1 p:0", {remotePlay, "!Local category"}},
        // Other values, fast sync: each side's missing category counts as deleted.
        {"first sync 0", home, h, play, p, 0, 0, "", "h:0 p:0", {remotePlay, "4 -- Local category Home has been deleted."}},
        {"no room for the desktop's", Categories(fourteen), {}, Categories({{"P1", 101}, {"P2", 102}, {"P3", 103}}),
         {{0, 0x9, 1, B("p1")}, {0, 0x9, 2, B("p2")}, {0, 0x9, 3, B("p3")}}, 0, 2, Names(Categories(fourteen)) + " 15=P1#101",
         "p1:15 p2:0 p3:0",
         {"Only 15 categories are allowed.  All records in local category P2 were changed to 'Unfiled'.",
          "Only 15 categories are allowed.  All records in local category P3 were changed to 'Unfiled'.",
          "-- Local category P3 has been deleted.", "!local category P1 "}},
        {"the handheld's bytes after the categories", Categories({{"Work", 1}}, 0, hhExtra), {},
         Categories({{"Work", 1}}, 0, pcExtra), {}, 0, 0, "1=Work#1", "", {}, hhExtra},
        {"the desktop's bytes, the handheld has none", work, {}, Categories({{"Work", 1}}, 0, pcExtra), {}, 0, 0,
         "1=Work#1", "", {}, pcExtra},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        World w;
        w.Put(c.hhApp, c.hh, c.pcApp, c.pc);
        Strings log;
        ASSERT_EQ(0, w.Sync(c.type, c.firstSync, &log));
        const PdbDatabase hh = w.GetHandheld();
        const DeskFile pc = w.GetDesktop();
        ASSERT_GE(hh.appInfo.size(), 276u);
        EXPECT_STREQ("Unfiled", reinterpret_cast<const char*>(&hh.appInfo[2]));
        EXPECT_EQ(c.names, Names(hh.appInfo));
        EXPECT_EQ(0, hh.appInfo[0] | hh.appInfo[1]);
        EXPECT_EQ(hh.appInfo, pc.appInfo);
        EXPECT_EQ(c.extra, std::string(hh.appInfo.begin() + 276, hh.appInfo.end()));
        EXPECT_EQ(c.records, TextCategories(hh));
        EXPECT_EQ(Summary(hh), Summary(pc));
        EXPECT_EQ(testsupport::ReadBytes(w.DataFile()), testsupport::ReadBytes(w.Desktop() + "/record.BAK"));
        // Three empty entries first, the conduit's name at the end.
        ASSERT_GE(log.size(), 4u);
        EXPECT_EQ((Strings{"19 ", "20 ", "19 "}), Strings(log.begin(), log.begin() + 3));
        EXPECT_EQ("20 Tessaly Conduit", log.back());
        for (const auto& l : c.logged)
            EXPECT_EQ(l[0] != '!', Logged(log, l.substr(l[0] == '!'))) << l;
    }
}

// The longest record the desktop file holds (65,480 data bytes: 65,520 with
// its header) and one byte under it go both ways, through the conduit's
// reader and writer of the desktop file and its raw buffer for the handheld.
// One byte over stops the run and leaves the desktop file as it was.
TEST(DesktopFile, LongestRecordsBothWays)
{
    for (std::size_t n : {65479u, 65480u, 65481u}) {
        SCOPED_TRACE(n);
        World w;
        const std::string hh(n, 'h'), pc(n, 'p');
        w.Put(Categories({}), {Rec(1, hh, 0, 0x40)}, Categories({}), {{0, 0x9, 0, B(pc)}});
        const Bytes before = testsupport::ReadBytes(w.DataFile());
        if (n > 65480) {
            EXPECT_NE(0, w.Sync(0));
            EXPECT_EQ(before, testsupport::ReadBytes(w.DataFile()));
            continue;
        }
        ASSERT_EQ(0, w.Sync(0));
        EXPECT_TRUE((std::multiset<std::string>{hh, hh, pc, pc}) == AllTexts(w));
        EXPECT_TRUE(Summary(w.GetHandheld()) == Summary(w.GetDesktop()));
    }
}

// The application-info block holds at most 65,535 bytes after its header.
TEST(DesktopFile, LongestAppInfoBlock)
{
    for (std::size_t n : {65534u, 65535u, 65536u}) {
        World w;
        w.PutDesktop({Categories({{"Work", 1}}, 0, std::string(n - 276, 'x')), {}});
        CDesktopDb db("Tessaly-Vqxa", w.Desktop().c_str(), "record.dat", 3, 3, nullptr);
        ASSERT_EQ(0, db.Open());
        EXPECT_EQ(n > 65535 ? LONG(CONDUIT_READ_APPINFO_FAILED) : 0, db.Load()) << n;
        EXPECT_EQ(n > 65535 ? 0 : n, db.GetAppInfoLength()) << n;
    }
}

// An empty, damaged or missing desktop file ends the run; the file and the
// handheld stay as they were. Desktop overwrites handheld reads it before anything.
TEST(DesktopFile, EmptyOrDamagedFileEndsTheRun)
{
    const Bytes good = ComposeDeskFile({Categories({}), {{1, 0, 0, B("hello")}}});
    // A record whose size runs past the end; one whose size is below its header; a cut block.
    Bytes small = good;
    small[good.size() - 45] = 3;
    small[good.size() - 44] = 0;
    const std::vector<Bytes> damaged = {Bytes(), Bytes(good.begin(), good.end() - 2), small,
                                        Bytes(good.begin(), good.begin() + 100), Bytes(good.begin(), good.begin() + 90)};
    for (LONG type : {0, 3}) {
        for (const Bytes& d : damaged) {
            SCOPED_TRACE(std::to_string(type) + " " + std::to_string(d.size()));
            World w;
            w.Put(Categories({}), {Rec(1, "h", 0)}, Categories({}), {});
            // For desktop overwrites handheld an empty file is a desktop without records: no file instead.
            if (d.empty() && type == 3)
                std::remove(w.DataFile().c_str());
            else
                testsupport::WriteBytes(w.DataFile(), d);
            const Bytes pdb = testsupport::ReadBytes(w.PdbPath());
            Strings log;
            const LONG rc = w.Sync(type, 0, &log);
            EXPECT_NE(0, rc);
            if (d.empty()) {
                EXPECT_EQ(type == 0 ? CONDUIT_NO_APPINFO : CONDUIT_FILE_OPEN_FAILED, rc);
            }
            EXPECT_TRUE(!log.empty() && log.back() == "21 Tessaly Conduit");
            EXPECT_EQ(d, testsupport::ReadBytes(w.DataFile()));
            EXPECT_EQ(pdb, testsupport::ReadBytes(w.PdbPath()));
        }
    }
}

TEST(Archives, PerCategoryFilesAppendAndFallBackToUnfiled)
{
    World w;
    w.Put(Categories({{"A.b/c", 1}}), {Rec(1, "one", 1, 0x80 | 0x40), Rec(2, "two", 7, 0x80 | 0x40)},
          Categories({{"A.b/c", 1}}), {{1, 0, 1, B("one")}, {2, 0, 7, B("two")}});
    ASSERT_EQ(0, w.Sync(0));
    // A full stop and a slash become underscores; ".ARC" is appended.
    ASSERT_TRUE(w.HasFile("A_b_c.ARC"));
    EXPECT_EQ((Strings{"1:one:1"}), Summary(w.GetDesktop("A_b_c.ARC")));
    // No category at index 7 on the handheld: the Unfiled archive.
    EXPECT_EQ((Strings{"2:two:7"}), Summary(w.GetDesktop("Unfiled.ARC")));
    EXPECT_TRUE(w.GetDesktop().records.empty());
    EXPECT_TRUE(w.GetHandheld().records.empty());

    w.Put(Categories({{"A.b/c", 1}}), {Rec(3, "three", 1, 0x80 | 0x40)}, Categories({{"A.b/c", 1}}),
          {{3, 0, 1, B("three")}});
    ASSERT_EQ(0, w.Sync(0));
    EXPECT_EQ((Strings{"1:one:1", "3:three:1"}), Summary(w.GetDesktop("A_b_c.ARC")));
}

// No handheld database: the desktop file makes it (a missing desktop file:
// Compatibility.HotSyncForAnotherApplication).
TEST(OverwriteSync, MissingSidesSwitchTheSyncType)
{
    World w;
    const DeskFile pc{Categories({{"Work", 1}}, 0, "digest"), {{7, 0, 1, B("kept")}}};
    w.PutDesktop(pc);
    ASSERT_EQ(0, w.Sync(1));
    EXPECT_EQ((Strings{"7:kept:1"}), Summary(w.GetHandheld()));
    EXPECT_EQ(pc.appInfo, w.GetHandheld().appInfo);

    // Nothing: no registering, no log.
    Strings log;
    EXPECT_EQ(0, w.Sync(6, 0, &log));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(CONDUIT_SYNC_TYPE_TOO_HIGH, w.Sync(8));
    EXPECT_EQ(CONDUIT_BAD_SYNC_TYPE, w.Sync(-1));
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
                World w;
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
                texts.erase("old");

                TessalyHostFailCall(op, nth, code);
                LONG rc = w.Sync(type);
                TessalyHostClearFailures();
                if (rc == 0)
                    break;
                ++failures;
                std::string where = std::string(op) + " #" + std::to_string(nth) + " type " + std::to_string(type);
                EXPECT_EQ(code, rc) << where;
                const Bytes now = testsupport::ReadBytes(w.DataFile());
                DeskFile parsed;
                EXPECT_TRUE(now == before || ParseDeskFile(now, parsed)) << where;
                EXPECT_FALSE(w.HasFile("record.dat.new")) << where;
                // The next operation goes through and loses nothing either. (It
                // may leave copies: what the failed one gave the handheld
                // before the desktop file was written comes back once more.)
                for (bool next : {false, true}) {
                    if (next) {
                        ASSERT_EQ(0, w.Sync(type)) << where;
                    }
                    std::multiset<std::string> after = AllTexts(w);
                    for (const auto& t : texts)
                        EXPECT_TRUE(after.count(t)) << where << (next ? ": lost afterwards " : ": lost ") << t;
                }
            }
        }
    }
    EXPECT_GT(failures, 30);
}

TEST(SyncLog, FailureMessagesWithTheirActivityCodes)
{
    const struct {
        const char* op;
        LONG type;
        const char* entry;
    } cases[] = {
        {"SyncPurgeDeletedRecs", 0, "10 Could not purge the deleted records on Palm organizer. 400a"},
        {"SyncResetSyncFlags", 0, "18 Could not clear Palm organizer's status flags. Error Code 400a"},
        {"SyncCloseDB", 0, "22  -- Could not close remote database. Error Code 400a"},
        {"SyncCreateDB", 3, "-1  -- Failed to create HH Database: DB Name Tessaly-Vqxa, Creator ID 56717861, Error 16394"},
        {"SyncWriteRec", 3, "9  -- HH failed to add record: Record ID 7, Error 16394"},
        {"SyncReadRecordById", 0, "8  -- HH failed to read record: Record ID 8, Error 16394"},
    };
    for (const auto& c : cases) {
        World w;
        // Record 8 is on the handheld only, and not modified: the count check reads it.
        w.Put(Categories({}), {Rec(7, "seven", 0), Rec(8, "eight", 0), Rec(9, "gone", 0, 0x80 | 0x40)}, Categories({}),
              {{7, 0, 0, B("seven")}});
        TessalyHostFailCall(c.op, 1, 0x400A);
        Strings log;
        EXPECT_EQ(0x400A, w.Sync(c.type, 0, &log)) << c.op;
        TessalyHostClearFailures();
        EXPECT_TRUE(Logged(log, c.entry)) << c.op << ": " << (log.size() > 3 ? log[3] : "");
        EXPECT_TRUE(!log.empty() && log.back() == "21 Tessaly Conduit") << c.op;
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
