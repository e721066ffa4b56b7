// Every cell of the six state tables, end to end: a handheld database and a
// desktop data file are set up so that one pair of records has the cell's
// status codes, a HotSync operation runs through the Sync Manager stand-in,
// and what both sides, the archive and the log hold afterwards is compared
// with what the cell's steps must produce.
#include "SyncFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace synctest;
using tessaly::PdbRecord;

namespace {

enum Side { None = -1 };

// Handheld status code -> .pdb attributes and whether the record keeps its data.
// The stand-in keeps an archived record as a deleted one with data, so it
// reports archived records as 3 (or 7 when modified); 2 and 6 do not arise.
bool HandheldRecord(int code, PdbRecord& r)
{
    switch (code) {
    case 0x20: r.attributes = 0; return true;
    case 0x4: r.attributes = tessaly::kPdbRecDirty; return true;
    case 0x1: r.attributes = tessaly::kPdbRecDeleted; return false;
    case 0x5: r.attributes = tessaly::kPdbRecDeleted | tessaly::kPdbRecDirty; return false;
    case 0x3: r.attributes = tessaly::kPdbRecDeleted; return true;
    case 0x7: r.attributes = tessaly::kPdbRecDeleted | tessaly::kPdbRecDirty; return true;
    default: return false;
    }
}

// Desktop status code -> file attribute bits.
std::uint16_t DesktopBits(int code)
{
    if (code == 0x20)
        return 0;
    std::uint16_t bits = 0;
    if (code & 0x4)
        bits |= 0x1;
    if (code & 0x1)
        bits |= 0x2;
    if (code & 0x2)
        bits |= 0x4;
    if (code & 0x8)
        bits |= 0x8;
    return bits;
}

std::string Join(const std::vector<std::string>& v)
{
    std::string out;
    for (const auto& s : v)
        out += (out.empty() ? "" : ",") + s;
    return out;
}

struct Setup {
    int type;          // sync type
    int hh;            // handheld status code of record 100, or None
    int pc;            // desktop status code, or None
    bool same;         // the desktop record's contents equal the handheld's
    std::uint32_t pcId; // the desktop record's ID (100 pairs it with the handheld's)
};

// Runs the cell and describes the outcome: result, the texts on each side,
// the archive, the conflict entries of the log, and whether both sides hold
// the same records under the same IDs afterwards.
std::string RunCell(const Setup& s)
{
    World w;
    const Bytes app = CategoryBlock({"Work"});
    tessaly::PdbDatabase hh = w.NewHandheld(app);
    PdbRecord keep;
    keep.uniqueId = 200;
    keep.attributes = 1;
    keep.data = B("k");
    hh.records.push_back(keep);
    if (s.hh != None) {
        PdbRecord a;
        a.uniqueId = 100;
        if (HandheldRecord(s.hh, a))
            a.data = B("a");
        a.attributes |= 1;
        hh.records.push_back(a);
    }
    w.PutHandheld(hh);

    DeskFile pc;
    pc.appInfo = app;
    pc.records.push_back({200, 0, 1, B("k")});
    if (s.pc != None)
        pc.records.push_back({s.pcId, DesktopBits(s.pc), 1, B(s.same ? "a" : "b")});
    w.PutDesktop(pc);
    // The state after the previous operation: the handheld's record as it is now.
    DeskFile backup = pc;
    backup.records.resize(1);
    if (s.hh != None)
        backup.records.push_back({100, 0, 1, B("a")});
    w.PutDesktop(backup, "record.BAK");

    std::vector<std::string> log;
    LONG rc = w.Sync(s.type, 0, &log);

    std::vector<std::string> hhText, pcText, arcText;
    tessaly::PdbDatabase after = w.GetHandheld();
    for (const auto& r : after.records)
        if (!r.IsDeleted())
            hhText.push_back(S(r.data));
    DeskFile pcAfter = w.GetDesktop();
    bool flagsClear = true;
    for (const auto& r : pcAfter.records) {
        pcText.push_back(S(r.data));
        flagsClear = flagsClear && r.attributes == 0;
    }
    if (w.HasFile("Work.ARC"))
        for (const auto& r : w.GetDesktop("Work.ARC").records)
            arcText.push_back(S(r.data));
    std::sort(hhText.begin(), hhText.end());
    std::sort(pcText.begin(), pcText.end());
    std::sort(arcText.begin(), arcText.end());
    std::string conflicts;
    for (const auto& line : log) {
        if (line.find("modified on both") != std::string::npos)
            conflicts += "3328;";
        if (line.find("deleted on the other") != std::string::npos)
            conflicts += "3334;";
    }
    const bool inStep = Summary(after) == Summary(pcAfter);
    char buf[400];
    std::snprintf(buf, sizeof buf, "rc=%ld hh=%s pc=%s arc=%s log=%s%s%s", static_cast<long>(rc), Join(hhText).c_str(),
                  Join(pcText).c_str(), Join(arcText).c_str(), conflicts.c_str(), inStep ? "" : " apart",
                  rc == 0 && !flagsClear ? " flags-left" : "");
    return buf;
}

// One row per pair of status codes: the outcome when the two records'
// contents differ and when they are equal (null where the row has no such cell).
struct Cell {
    int type, hh, pc;
    std::uint32_t pcId;
    const char* differ;
    const char* same;
};

const int x = None;

void RunAll(const char* table, const std::vector<Cell>& cells)
{
    const bool print = std::getenv("TESSALY_PRINT_CELLS") != nullptr;
    for (const Cell& c : cells)
        for (bool same : {false, true}) {
            const char* expected = same ? c.same : c.differ;
            if (!expected)
                continue;
            std::string got = RunCell({c.type, c.hh, c.pc, same, c.pcId});
            if (print)
                std::printf("%s %d 0x%x 0x%x %d %u: \"%s\"\n", table, c.type, c.hh, c.pc, same, c.pcId, got.c_str());
            EXPECT_EQ(expected, got) << table << " type " << c.type << std::hex << " hh " << c.hh << " pc " << c.pc
                                     << (same ? " same" : " differ") << std::dec << " id " << c.pcId;
        }
}

// Rows 1 and 3 need a deleted record that the handheld did not mark
// modified, which the fast sync never reads.
const std::vector<Cell> kFastHandheld = {
    {0, 0x4, x, 100, "rc=0 hh=a,k pc=a,k arc= log=", nullptr},
    {0, 0x4, 0x20, 100, "rc=0 hh=a,k pc=a,k arc= log=", nullptr},
    {0, 0x4, 0x4, 100, "rc=0 hh=a,b,k pc=a,b,k arc= log=3328;", "rc=0 hh=a,k pc=a,k arc= log="},
    {0, 0x4, 0x1, 100, "rc=0 hh=a,k pc=a,k arc= log=3334;", nullptr},
    {0, 0x4, 0x5, 100, "rc=0 hh=a,k pc=a,k arc= log=3334;", nullptr},
    {0, 0x4, 0x2, 100, "rc=0 hh=a,k pc=a,k arc= log=3334;", nullptr},
    {0, 0x4, 0x6, 100, "rc=0 hh=a,b,k pc=a,b,k arc= log=3328;", "rc=0 hh=a,k pc=a,k arc=a log="},
    {0, 0x4, 0x8, 100, "rc=0 hh=a,b,k pc=a,b,k arc= log=", nullptr},
    {0, 0x5, x, 100, "rc=0 hh=k pc=k arc= log=", nullptr},
    {0, 0x5, 0x20, 100, "rc=0 hh=k pc=k arc= log=", nullptr},
    {0, 0x5, 0x4, 100, "rc=0 hh=b,k pc=b,k arc= log=3334;", nullptr},
    {0, 0x5, 0x1, 100, "rc=0 hh=k pc=k arc= log=", nullptr},
    {0, 0x5, 0x5, 100, "rc=0 hh=k pc=k arc= log=", nullptr},
    {0, 0x5, 0x2, 100, "rc=0 hh=k pc=k arc=b log=", nullptr},
    {0, 0x5, 0x6, 100, "rc=0 hh=k pc=k arc=b log=", nullptr},
    {0, 0x5, 0x8, 100, "rc=0 hh=b,k pc=b,k arc= log=", nullptr},
    {0, 0x7, x, 100, "rc=0 hh=k pc=k arc=a log=", nullptr},
    {0, 0x7, 0x20, 100, "rc=0 hh=k pc=k arc=a log=", nullptr},
    {0, 0x7, 0x4, 100, "rc=0 hh=a,b,k pc=a,b,k arc= log=3328;", "rc=0 hh=k pc=k arc=a log="},
    {0, 0x7, 0x1, 100, "rc=0 hh=k pc=k arc=a log=", nullptr},
    {0, 0x7, 0x5, 100, "rc=0 hh=k pc=k arc=a log=", nullptr},
    {0, 0x7, 0x2, 100, "rc=0 hh=k pc=k arc=a log=", nullptr},
    {0, 0x7, 0x6, 100, "rc=0 hh=k pc=k arc=a,b log=", "rc=0 hh=k pc=k arc=a log="},
    {0, 0x7, 0x8, 100, "rc=0 hh=b,k pc=b,k arc= log=", nullptr},
};

const std::vector<Cell> kSlowHandheld = {
    {1, 0x20, x, 100, "rc=0 hh=a,k pc=a,k arc= log=", nullptr},
    {1, 0x20, 0x20, 100, "rc=0 hh=a,b,k pc=a,b,k arc= log=3328;", "rc=0 hh=a,k pc=a,k arc= log="},
    {1, 0x20, 0x4, 100, "rc=0 hh=b,k pc=b,k arc= log=", "rc=0 hh=a,k pc=a,k arc= log="},
    {1, 0x20, 0x1, 100, "rc=0 hh=k pc=k arc= log=", "rc=0 hh=k pc=k arc= log="},
    {1, 0x20, 0x5, 100, "rc=0 hh=k pc=k arc= log=", "rc=0 hh=k pc=k arc= log="},
    {1, 0x20, 0x2, 100, "rc=0 hh=k pc=k arc=b log=", "rc=0 hh=k pc=k arc=a log="},
    {1, 0x20, 0x6, 100, "rc=0 hh=k pc=k arc=b log=", "rc=0 hh=k pc=k arc=a log="},
    {1, 0x20, 0x8, 100, "rc=0 hh=a,b,k pc=a,b,k arc= log=3328;", "rc=0 hh=a,k pc=a,k arc= log="},
    {1, 0x4, x, 100, "rc=0 hh=a,k pc=a,k arc= log=", nullptr},
    {1, 0x4, 0x20, 100, "rc=0 hh=a,k pc=a,k arc= log=", "rc=0 hh=a,k pc=a,k arc= log="},
    {1, 0x4, 0x4, 100, "rc=0 hh=a,b,k pc=a,b,k arc= log=3328;", "rc=0 hh=a,k pc=a,k arc= log="},
    {1, 0x4, 0x1, 100, "rc=0 hh=a,k pc=a,k arc= log=", "rc=0 hh=k pc=k arc= log="},
    {1, 0x4, 0x5, 100, "rc=0 hh=a,k pc=a,k arc= log=", "rc=0 hh=k pc=k arc= log="},
    {1, 0x4, 0x2, 100, "rc=0 hh=a,k pc=a,k arc= log=3334;", "rc=0 hh=k pc=k arc=a log="},
    {1, 0x4, 0x6, 100, "rc=0 hh=a,b,k pc=a,b,k arc= log=3328;", "rc=0 hh=k pc=k arc=a log="},
    {1, 0x4, 0x8, 100, "rc=0 hh=a,k pc=b,k arc= log= apart", "rc=0 hh=a,k pc=a,k arc= log="},
    {1, 0x1, x, 100, "rc=0 hh=k pc=k arc= log=", nullptr},
    {1, 0x1, 0x20, 100, "rc=0 hh=k pc=k arc= log=", "rc=0 hh=k pc=k arc= log="},
    {1, 0x1, 0x4, 100, "rc=0 hh=b,k pc=b,k arc= log=3334;", "rc=0 hh=a,k pc=a,k arc= log=3334;"},
    {1, 0x1, 0x1, 100, "rc=0 hh=k pc=k arc= log=", "rc=0 hh=k pc=k arc= log="},
    {1, 0x1, 0x5, 100, "rc=0 hh=k pc=k arc= log=", "rc=0 hh=k pc=k arc= log="},
    {1, 0x1, 0x2, 100, "rc=0 hh=k pc=k arc=b log=", "rc=0 hh=k pc=k arc=a log="},
    {1, 0x1, 0x6, 100, "rc=0 hh=k pc=k arc=b log=", "rc=0 hh=k pc=k arc=a log="},
    {1, 0x1, 0x8, 100, "rc=0 hh=b,k pc=b,k arc= log=", "rc=0 hh=a,k pc=a,k arc= log="},
    {1, 0x5, x, 100, "rc=0 hh=k pc=k arc= log=", nullptr},
    {1, 0x5, 0x20, 100, "rc=0 hh=k pc=k arc= log=", "rc=0 hh=k pc=k arc= log="},
    {1, 0x5, 0x4, 100, "rc=0 hh=b,k pc=b,k arc= log=3334;", "rc=0 hh=a,k pc=a,k arc= log=3334;"},
    {1, 0x5, 0x1, 100, "rc=0 hh=k pc=k arc= log=", "rc=0 hh=k pc=k arc= log="},
    {1, 0x5, 0x5, 100, "rc=0 hh=k pc=k arc= log=", "rc=0 hh=k pc=k arc= log="},
    {1, 0x5, 0x2, 100, "rc=0 hh=k pc=k arc=b log=", "rc=0 hh=k pc=k arc=a log="},
    {1, 0x5, 0x6, 100, "rc=0 hh=k pc=k arc=b log=", "rc=0 hh=k pc=k arc=a log="},
    {1, 0x5, 0x8, 100, "rc=0 hh=b,k pc=b,k arc= log=", "rc=0 hh=a,k pc=a,k arc= log="},
    {1, 0x3, x, 100, "rc=0 hh=k pc=k arc=a log=", nullptr},
    {1, 0x3, 0x20, 100, "rc=0 hh=k pc=k arc=a log=", "rc=0 hh=k pc=k arc=a log="},
    {1, 0x3, 0x4, 100, "rc=0 hh=b,k pc=b,k arc= log=", "rc=0 hh=k pc=k arc=a log="},
    {1, 0x3, 0x1, 100, "rc=0 hh=k pc=k arc=a log=", "rc=0 hh=k pc=k arc=a log="},
    {1, 0x3, 0x5, 100, "rc=0 hh=k pc=k arc=a log=", "rc=0 hh=k pc=k arc=a log="},
    {1, 0x3, 0x2, 100, "rc=0 hh=k pc=k arc=a,b log=", "rc=0 hh=k pc=k arc=a log="},
    {1, 0x3, 0x6, 100, "rc=0 hh=k pc=k arc=a,b log=", "rc=0 hh=k pc=k arc=a log="},
    {1, 0x3, 0x8, 100, "rc=0 hh=b,k pc=b,k arc= log=", "rc=0 hh=a,k pc=a,k arc= log="},
    {1, 0x7, x, 100, "rc=0 hh=k pc=k arc=a log=", nullptr},
    {1, 0x7, 0x20, 100, "rc=0 hh=k pc=k arc=a log=", "rc=0 hh=k pc=k arc=a log="},
    {1, 0x7, 0x4, 100, "rc=0 hh=a,b,k pc=a,b,k arc= log=3328;3334;", "rc=0 hh=k pc=k arc=a log="},
    {1, 0x7, 0x1, 100, "rc=0 hh=k pc=k arc=a log=", "rc=0 hh=k pc=k arc=a log="},
    {1, 0x7, 0x5, 100, "rc=0 hh=k pc=k arc=a log=", "rc=0 hh=k pc=k arc=a log="},
    {1, 0x7, 0x2, 100, "rc=0 hh=k pc=k arc=a,b log=", "rc=0 hh=k pc=k arc=a log="},
    {1, 0x7, 0x6, 100, "rc=0 hh=k pc=k arc=a,b log=", "rc=0 hh=k pc=k arc=a log="},
    {1, 0x7, 0x8, 100, "rc=0 hh=b,k pc=b,k arc= log=", "rc=0 hh=a,k pc=a,k arc= log="},
};

const std::vector<Cell> kFastDesktop = {
    {0, 0x20, 0x20, 100, "rc=0 hh=a,k pc=b,k arc= log= apart", nullptr},
    {0, 0x20, 0x4, 100, "rc=0 hh=b,k pc=b,k arc= log=", nullptr},
    {0, 0x20, 0x1, 100, "rc=0 hh=k pc=k arc= log=", nullptr},
    {0, 0x20, 0x5, 100, "rc=0 hh=k pc=k arc= log=", nullptr},
    {0, 0x20, 0x2, 100, "rc=0 hh=k pc=k arc=b log=", nullptr},
    {0, 0x20, 0x6, 100, "rc=0 hh=k pc=k arc=b log=", nullptr},
    {0, 0x20, 0x3, 100, "rc=0 hh=k pc=k arc=b log=", nullptr},
    {0, 0x20, 0x7, 100, "rc=0 hh=k pc=k arc=b log=", nullptr},
    {0, x, 0x8, 100, "rc=0 hh=b,k pc=b,k arc= log=", nullptr},
    {0, x, 0xc, 100, "rc=0 hh=b,k pc=b,k arc= log=", nullptr},
    {0, x, 0x9, 100, "rc=0 hh=k pc=k arc= log=", nullptr},
    {0, x, 0xd, 100, "rc=0 hh=k pc=k arc= log=", nullptr},
    {0, x, 0xa, 100, "rc=0 hh=k pc=k arc=b log=", nullptr},
    {0, x, 0xe, 100, "rc=0 hh=k pc=k arc=b log=", nullptr},
    {0, x, 0x4, 0, "rc=0 hh=b,k pc=b,k arc= log=", nullptr},
    {0, x, 0x20, 0, "rc=0 hh=b,k pc=b,k arc= log=", nullptr},
};

const std::vector<Cell> kSlowDesktop = {
    {1, x, 0x20, 100, "rc=0 hh=k pc=k arc= log=", nullptr},
    {1, x, 0x4, 100, "rc=0 hh=b,k pc=b,k arc= log=", nullptr},
    {1, x, 0x1, 100, "rc=0 hh=k pc=k arc= log=", nullptr},
    {1, x, 0x5, 100, "rc=0 hh=k pc=k arc= log=", nullptr},
    {1, x, 0x2, 100, "rc=0 hh=k pc=k arc=b log=", nullptr},
    {1, x, 0x6, 100, "rc=0 hh=k pc=k arc=b log=", nullptr},
    {1, x, 0x3, 100, "rc=0 hh=k pc=k arc=b log=", nullptr},
    {1, x, 0x7, 100, "rc=0 hh=k pc=k arc=b log=", nullptr},
    {1, x, 0x8, 100, "rc=0 hh=b,k pc=b,k arc= log=", nullptr},
    {1, x, 0xc, 100, "rc=0 hh=b,k pc=b,k arc= log=", nullptr},
    {1, x, 0x9, 100, "rc=0 hh=k pc=k arc= log=", nullptr},
    {1, x, 0xd, 100, "rc=0 hh=k pc=k arc= log=", nullptr},
    {1, x, 0xa, 100, "rc=0 hh=k pc=k arc=b log=", nullptr},
    {1, x, 0xe, 100, "rc=0 hh=k pc=k arc=b log=", nullptr},
};

const std::vector<Cell> kDesktopToHandheld = {
    {3, 0x20, 0x20, 100, "rc=0 hh=b,k pc=b,k arc= log=", nullptr},
    {3, 0x20, 0x4, 100, "rc=0 hh=b,k pc=b,k arc= log=", nullptr},
    {3, 0x20, 0x1, 100, "rc=0 hh=k pc=k arc= log=", nullptr},
    {3, 0x20, 0x5, 100, "rc=0 hh=k pc=k arc= log=", nullptr},
    {3, 0x20, 0x2, 100, "rc=0 hh=k pc=k arc=b log=", nullptr},
    {3, 0x20, 0x6, 100, "rc=0 hh=k pc=k arc=b log=", nullptr},
    {3, 0x20, 0x3, 100, "rc=0 hh=k pc=k arc=b log=", nullptr},
    {3, 0x20, 0x7, 100, "rc=0 hh=k pc=k arc=b log=", nullptr},
    {3, 0x20, 0x8, 100, "rc=0 hh=b,k pc=b,k arc= log=", nullptr},
    {3, 0x20, 0xc, 100, "rc=0 hh=b,k pc=b,k arc= log=", nullptr},
    {3, 0x20, 0x9, 100, "rc=0 hh=k pc=k arc= log=", nullptr},
    {3, 0x20, 0xd, 100, "rc=0 hh=k pc=k arc= log=", nullptr},
    {3, 0x20, 0xa, 100, "rc=0 hh=k pc=k arc=b log=", nullptr},
    {3, 0x20, 0xe, 100, "rc=0 hh=k pc=k arc=b log=", nullptr},
};

const std::vector<Cell> kHandheldToDesktop = {
    {2, 0x20, 0x20, 100, "rc=0 hh=a,k pc=a,k arc= log=", nullptr},
    {2, 0x4, 0x20, 100, "rc=0 hh=a,k pc=a,k arc= log=", nullptr},
    {2, 0x1, 0x20, 100, "rc=0 hh=k pc=k arc= log=", nullptr},
    {2, 0x5, 0x20, 100, "rc=0 hh=k pc=k arc= log=", nullptr},
    {2, 0x3, 0x20, 100, "rc=0 hh=k pc=k arc=a log=", nullptr},
    {2, 0x7, 0x20, 100, "rc=0 hh=k pc=k arc=a log=", nullptr},
};

} // namespace

TEST(StateTables, FastHandheldTable) { RunAll("FastHandheldTable", kFastHandheld); }
TEST(StateTables, SlowHandheldTable) { RunAll("SlowHandheldTable", kSlowHandheld); }
TEST(StateTables, FastDesktopTable) { RunAll("FastDesktopTable", kFastDesktop); }
TEST(StateTables, SlowDesktopTable) { RunAll("SlowDesktopTable", kSlowDesktop); }
TEST(StateTables, DesktopToHandheldTable) { RunAll("DesktopToHandheldTable", kDesktopToHandheld); }
TEST(StateTables, HandheldToDesktopTable) { RunAll("HandheldToDesktopTable", kHandheldToDesktop); }
