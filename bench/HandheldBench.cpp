// Reading a handheld database through the conduit's handheld manager and the
// Sync Manager stand-in: every record by index (the slow sync's load), then
// each by ID from the handheld and from memory. The cost per record must not
// grow with the database: prints
// "ratio handheld_per_record_cost_20000_vs_2000 = X.XX" (target at most 1.5).
#include "BenchRatio.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>


#include "HandheldDb.h"
#include "PdbFile.h"
#include "SyncMgr.h"

namespace fs = std::filesystem;
using namespace tessaly;

namespace {

const char kName[] = "Tessaly-Vqxa";

// A handheld folder with n memo-sized records, made once per size.
const std::string& Folder(int n)
{
    static std::map<int, std::string> folders;
    auto it = folders.find(n);
    if (it != folders.end())
        return it->second;
    std::string dir = (fs::temp_directory_path() / ("tessaly-bench-" + std::to_string(getpid()) + "-" +
                                                    std::to_string(n))).string();
    fs::create_directories(dir);
    PdbDatabase db;
    db.name = kName;
    db.creator = FourCC("Vqxa");
    db.type = FourCC("DATA");
    for (int i = 0; i < n; ++i) {
        PdbRecord r;
        r.uniqueId = 1 + static_cast<std::uint32_t>(i) * 7;   // IDs with gaps, as a used handheld has
        r.attributes = static_cast<std::uint8_t>(i % 16);
        r.data.assign(64, static_cast<std::uint8_t>(i));
        db.records.push_back(r);
    }
    if (WritePdbFile(dir + "/" + kName + ".pdb", db) != PdbResult::OK)
        std::abort();
    return folders[n] = dir;
}

void BM_ReadByIndexThenById(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    TessalyHostServeFolder(Folder(n).c_str());
    std::vector<DWORD> ids(static_cast<size_t>(n));
    for (auto _ : state) {
        CHandheldDb db(1, 3, nullptr);
        db.SetName(kName);
        if (db.Open() || db.Load() || db.GetRecordCount() != n)
            state.SkipWithError("cannot load the database");
        DWORD count = static_cast<DWORD>(n);
        db.ReadRecordIdList(ids.data(), &count);
        CSyncRecord rec;
        for (DWORD id : ids) {
            if (db.ReadById(id, rec, 0) != 0 || db.ReadCopyById(id, rec) != 0)
                state.SkipWithError("a record is missing");
        }
        db.Close(0);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * n);
}
BENCHMARK(BM_ReadByIndexThenById)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    RatioReporter reporter;
    bool ran = RunBenchmarks(argc, argv, reporter);
    TessalyHostServeFolder(nullptr);
    for (int n : {2000, 20000}) {
        std::error_code ec;
        fs::remove_all(Folder(n), ec);
    }
    // Cost per record at 20,000 against that at 2,000 (target at most 1.5).
    return ran && reporter.PrintRatio("handheld_per_record_cost_20000_vs_2000", "BM_ReadByIndexThenById/20000",
                                      "BM_ReadByIndexThenById/2000", 2000.0 / 20000.0) ? 0 : 1;
}
