// Every cell of the six state tables, end to end: a handheld database and a
// desktop data file are set up so that one pair of records has the cell's
// status codes, a HotSync operation runs through the Sync Manager stand-in,
// and what both sides, the archive and the log hold afterwards is compared
// with what the cell's steps must produce.
#include "SyncFixture.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace synctest;

namespace {

const int None = -1;

// Record 100 with the handheld status code hh (contents "a") and the desktop
// status code pc (contents "b", or "a" when same), beside record 200 ("k")
// that nothing changes. The outcome: the texts both sides hold ("hh=.. pc=.."
// when the sides differ in records or IDs), the archive, the conflicts
// logged, and "flags-left" when a status flag survived on the desktop.
std::string RunCell(int type, int hh, int pc, std::uint32_t pcId, bool same)
{
    World w;
    const Bytes app = CategoryBlock({"Work"});
    std::vector<tessaly::PdbRecord> hhRecs = {Rec(200, "k", 1)};
    std::vector<DeskRecord> pcRecs = {{200, 0, 1, B("k")}};
    DeskFile backup{app, pcRecs};   // the state after the previous operation: the handheld's record as it is now
    if (hh != None) {
        // The stand-in keeps an archived record as a deleted one with its data,
        // so it reports archived records as 3 (or 7 when modified); 2 and 6 do not arise.
        const bool data = hh != 0x1 && hh != 0x5;
        hhRecs.push_back(Rec(100, data ? "a" : "", 1, (hh & 0x4 ? 0x40 : 0) | (hh & 0x1 ? 0x80 : 0)));
        backup.records.push_back({100, 0, 1, B("a")});
    }
    if (pc != None) {
        const int bits = (pc & 0x4 ? 0x1 : 0) | (pc & 0x1 ? 0x2 : 0) | (pc & 0x2 ? 0x4 : 0) | (pc & 0x8);
        pcRecs.push_back({pcId, static_cast<std::uint16_t>(bits), 1, B(same ? "a" : "b")});
    }
    w.Put(app, hhRecs, app, pcRecs);
    w.PutDesktop(backup, "record.BAK");

    std::vector<std::string> log;
    const LONG rc = w.Sync(type, 0, &log);
    std::vector<std::string> hhText, pcText, arcText, conflicts;
    const tessaly::PdbDatabase after = w.GetHandheld();
    for (const auto& r : after.records)
        if (!r.IsDeleted())
            hhText.push_back(S(r.data));
    const DeskFile pcAfter = w.GetDesktop();
    bool flagsClear = true;
    for (const auto& r : pcAfter.records) {
        pcText.push_back(S(r.data));
        flagsClear = flagsClear && r.attributes == 0;
    }
    for (const auto& r : w.GetDesktop("Work.ARC").records)
        arcText.push_back(S(r.data));
    for (const auto& line : log)
        for (const std::string c : {"3328 modified on both", "3334 deleted on the other"})
            if (line.find(c.substr(5)) != std::string::npos)
                conflicts.push_back(c.substr(0, 4));
    std::string out = rc ? "rc=" + std::to_string(rc) + " " : "";
    const std::string hhTexts = SortAndJoin(hhText, ","), pcTexts = SortAndJoin(pcText, ",");
    out += Summary(after) == Summary(pcAfter) ? hhTexts : "hh=" + hhTexts + " pc=" + pcTexts;
    if (!arcText.empty())
        out += " arc=" + SortAndJoin(arcText, ",");
    if (!conflicts.empty())
        out += " log=" + SortAndJoin(conflicts, ",");
    return out + (rc == 0 && !flagsClear ? " flags-left" : "");
}

// Per sync type, cells "HH PC: outcome when the contents differ / when they
// are equal" (the second only where the cell compares them), separated by
// "|". Codes in hex, "-" for no record, "@0" for a desktop record without an ID.
const struct {
    int type;
    const char* cells;
} kTables[] = {
    // Fast sync, handheld records (codes 1 and 3, not modified, are never read in a fast sync).
    {0, "4 -: a,k | 4 20: a,k | 4 4: a,b,k log=3328 / a,k | 4 1: a,k log=3334 | 4 5: a,k log=3334 "
        "| 4 2: a,k log=3334 | 4 6: a,b,k log=3328 / a,k arc=a | 4 8: a,b,k"},
    {0, "5 -: k | 5 20: k | 5 4: b,k log=3334 | 5 1: k | 5 5: k | 5 2: k arc=b | 5 6: k arc=b | 5 8: b,k"},
    {0, "7 -: k arc=a | 7 20: k arc=a | 7 4: a,b,k log=3328 / k arc=a | 7 1: k arc=a | 7 5: k arc=a "
        "| 7 2: k arc=a | 7 6: k arc=a,b / k arc=a | 7 8: b,k"},
    // Slow sync, handheld records.
    {1, "20 -: a,k | 20 20: a,b,k log=3328 / a,k | 20 4: b,k / a,k | 20 1: k / k | 20 5: k / k "
        "| 20 2: k arc=b / k arc=a | 20 6: k arc=b / k arc=a | 20 8: a,b,k log=3328 / a,k"},
    {1, "4 -: a,k | 4 20: a,k / a,k | 4 4: a,b,k log=3328 / a,k | 4 1: a,k / k | 4 5: a,k / k "
        "| 4 2: a,k log=3334 / k arc=a | 4 6: a,b,k log=3328 / k arc=a | 4 8: hh=a,k pc=b,k / a,k"},
    {1, "1 -: k | 1 20: k / k | 1 4: b,k log=3334 / a,k log=3334 | 1 1: k / k | 1 5: k / k "
        "| 1 2: k arc=b / k arc=a | 1 6: k arc=b / k arc=a | 1 8: b,k / a,k"},
    {1, "5 -: k | 5 20: k / k | 5 4: b,k log=3334 / a,k log=3334 | 5 1: k / k | 5 5: k / k "
        "| 5 2: k arc=b / k arc=a | 5 6: k arc=b / k arc=a | 5 8: b,k / a,k"},
    {1, "3 -: k arc=a | 3 20: k arc=a / k arc=a | 3 4: b,k / k arc=a | 3 1: k arc=a / k arc=a "
        "| 3 5: k arc=a / k arc=a | 3 2: k arc=a,b / k arc=a | 3 6: k arc=a,b / k arc=a | 3 8: b,k / a,k"},
    {1, "7 -: k arc=a | 7 20: k arc=a / k arc=a | 7 4: a,b,k log=3328,3334 / k arc=a | 7 1: k arc=a / k arc=a "
        "| 7 5: k arc=a / k arc=a | 7 2: k arc=a,b / k arc=a | 7 6: k arc=a,b / k arc=a | 7 8: b,k / a,k"},
    // Fast sync, desktop records the handheld pass left.
    {0, "20 20: hh=a,k pc=b,k | 20 4: b,k | 20 1: k | 20 5: k | 20 2: k arc=b | 20 6: k arc=b | 20 3: k arc=b "
        "| 20 7: k arc=b"},
    {0, "- 8: b,k | - c: b,k | - 9: k | - d: k | - a: k arc=b | - e: k arc=b | - 4@0: b,k | - 20@0: b,k"},
    // Slow sync, desktop records the handheld lacks.
    {1, "- 20: k | - 4: b,k | - 1: k | - 5: k | - 2: k arc=b | - 6: k arc=b | - 3: k arc=b | - 7: k arc=b "
        "| - 8: b,k | - c: b,k | - 9: k | - d: k | - a: k arc=b | - e: k arc=b"},
    // Desktop overwrites handheld.
    {3, "20 20: b,k | 20 4: b,k | 20 1: k | 20 5: k | 20 2: k arc=b | 20 6: k arc=b | 20 3: k arc=b "
        "| 20 7: k arc=b | 20 8: b,k | 20 c: b,k | 20 9: k | 20 d: k | 20 a: k arc=b | 20 e: k arc=b"},
    // Handheld overwrites desktop.
    {2, "20 20: a,k | 4 20: a,k | 1 20: k | 5 20: k | 3 20: k arc=a | 7 20: k arc=a"},
};

} // namespace

TEST(StateTables, EveryCell)
{
    int runs = 0;
    for (const auto& t : kTables) {
        std::istringstream cells(t.cells);
        for (std::string cell; std::getline(cells, cell, '|');) {
            std::istringstream in(cell);
            std::string hh, pc, outcome;
            in >> hh >> pc;
            std::getline(in >> std::ws, outcome);
            pc.pop_back();   // the colon
            const size_t at = pc.find('@');
            const std::uint32_t id = at == std::string::npos ? 100 : std::stoul(pc.substr(at + 1));
            auto code = [](const std::string& s) { return s == "-" ? None : std::stoi(s, nullptr, 16); };
            const size_t slash = outcome.find(" / ");
            for (bool same : {false, true}) {
                if (same && slash == std::string::npos)
                    continue;
                std::string want = same ? outcome.substr(slash + 3) : outcome.substr(0, slash);
                want.erase(want.find_last_not_of(' ') + 1);
                ++runs;
                EXPECT_EQ(want, RunCell(t.type, code(hh), code(pc.substr(0, at)), id, same))
                    << "type " << t.type << " hh " << hh << " pc " << pc << (same ? " same" : " differ");
            }
        }
    }
    EXPECT_EQ(168, runs);
}
