// A slow sync through the conduit's engine and the Sync Manager stand-in, of
// 2,000 and of 20,000 memo records with 10% changed on each side, against
// reading and writing the same files without the conduit. Prints
//   ratio sync_per_record_cost_20000_vs_2000 = X.XX   (target at most 1.5)
//   ratio sync_vs_file_io_2000 = X.XX, ratio sync_vs_file_io_20000 = X.XX (target at most 3)
#include "BenchRatio.h"

#include "PdbFile.h"
#include "SyncDriver.h"
#include "SyncMgr.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace tessaly;

namespace {

const char kName[] = "Tessaly-Vqxa";

std::vector<std::uint8_t> ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void Put32(std::vector<std::uint8_t>& b, size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// The desktop data file with the records given (ID, attribute bits, data).
std::vector<std::uint8_t> DesktopFile(const std::vector<std::uint8_t>& appInfo,
                                      const std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>>& recs,
                                      const std::vector<std::uint16_t>& attrs)
{
    std::vector<std::uint8_t> out(84, 0);
    Put32(out, 0, 84);
    out[4] = 1;
    std::memcpy(&out[6], kName, sizeof kName);
    Put32(out, 72, static_cast<std::uint32_t>(recs.size()));
    Put32(out, 76, static_cast<std::uint32_t>(56 + appInfo.size()));
    std::vector<std::uint8_t> block(56, 0);
    Put32(block, 0, static_cast<std::uint32_t>(56 + appInfo.size()));
    block[4] = 0x02;
    block[5] = 0x10;
    Put32(block, 8, 56);
    Put32(block, 44, static_cast<std::uint32_t>(appInfo.size()));
    Put32(block, 48, static_cast<std::uint32_t>(appInfo.size()));
    out.insert(out.end(), block.begin(), block.end());
    out.insert(out.end(), appInfo.begin(), appInfo.end());
    for (size_t i = 0; i < recs.size(); ++i) {
        std::vector<std::uint8_t> h(40, 0);
        Put32(h, 0, static_cast<std::uint32_t>(40 + recs[i].second.size()));
        Put32(h, 4, 0x1002);
        Put32(h, 8, 40);
        Put32(h, 16, recs[i].first);
        h[24] = static_cast<std::uint8_t>(attrs[i]);
        Put32(h, 36, static_cast<std::uint32_t>(recs[i].second.size()));
        out.insert(out.end(), h.begin(), h.end());
        out.insert(out.end(), recs[i].second.begin(), recs[i].second.end());
    }
    return out;
}

struct Fixture {
    std::string dir, hh, pc;
    std::vector<std::uint8_t> pdb, data, backup;
};

// Memo-sized records; every tenth changed on the handheld, every tenth (others) on the desktop.
const Fixture& Make(int n)
{
    static std::map<int, Fixture> made;
    auto it = made.find(n);
    if (it != made.end())
        return it->second;
    Fixture f;
    f.dir = (fs::temp_directory_path() / ("tessaly-syncbench-" + std::to_string(getpid()) + "-" + std::to_string(n)))
                .string();
    f.hh = f.dir + "/hh";
    f.pc = f.dir + "/pc";
    fs::create_directories(f.hh);
    fs::create_directories(f.pc);
    std::vector<std::uint8_t> app(276 + 48, 0);
    std::strcpy(reinterpret_cast<char*>(&app[2]), "Unfiled");
    PdbDatabase db;
    db.name = kName;
    db.creator = FourCC("Vqxa");
    db.type = FourCC("DATA");
    db.hasAppInfo = true;
    db.appInfo = app;
    db.uniqueIdSeed = static_cast<std::uint32_t>(8 * n);
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> recs, old;
    std::vector<std::uint16_t> attrs, clean;
    for (int i = 0; i < n; ++i) {
        std::uint32_t id = 1 + static_cast<std::uint32_t>(i) * 7;
        std::vector<std::uint8_t> text(96, static_cast<std::uint8_t>(i));
        text[0] = static_cast<std::uint8_t>(i >> 8);
        PdbRecord r;
        r.uniqueId = id;
        r.data = text;
        old.push_back({id, text});
        clean.push_back(0);
        std::uint16_t a = 0;
        if (i % 10 == 3) {   // changed on the handheld
            r.attributes = kPdbRecDirty;
            r.data[1] ^= 0xFF;
        }
        if (i % 10 == 7) {   // changed on the desktop
            text[2] ^= 0xFF;
            a = 0x1;
        }
        db.records.push_back(r);
        recs.push_back({id, text});
        attrs.push_back(a);
    }
    SerializePdb(db, f.pdb);
    f.data = DesktopFile(app, recs, attrs);
    f.backup = DesktopFile(app, old, clean);
    return made[n] = f;
}

void Restore(const Fixture& f)
{
    WriteAll(f.hh + "/" + kName + ".pdb", f.pdb);
    WriteAll(f.pc + "/record.dat", f.data);
    WriteAll(f.pc + "/record.BAK", f.backup);
}

void SlowSync(benchmark::State& state, int n)
{
    const Fixture& f = Make(n);
    TessalyHostDeferWrites(1);
    for (auto _ : state) {
        state.PauseTiming();
        Restore(f);
        state.ResumeTiming();
        TessalyHostServeFolder(f.hh.c_str());
        CSyncProperties props;
        std::memset(&props, 0, sizeof props);
        props.m_SyncType = 1;
        std::strcpy(props.m_PathName, f.pc.c_str());
        std::strcpy(props.m_LocalName, "record.dat");
        static char name[] = "Tessaly-Vqxa";
        props.m_RemoteName[0] = name;
        props.m_nRemoteCount = 1;
        CSyncDriver driver(props, 3);
        if (driver.Run() != 0)
            state.SkipWithError("the sync failed");
        TessalyHostServeFolder(nullptr);
    }
    TessalyHostDeferWrites(0);
}

// The same files read and written whole: the handheld database, the data file and its backup.
void FileIo(benchmark::State& state, int n)
{
    const Fixture& f = Make(n);
    for (auto _ : state) {
        state.PauseTiming();
        Restore(f);
        state.ResumeTiming();
        const std::string pdb = f.hh + "/" + kName + ".pdb", data = f.pc + "/record.dat";
        std::vector<std::uint8_t> a = ReadAll(pdb), b = ReadAll(data);
        ReadAll(f.pc + "/record.BAK");
        WriteAll(pdb, a);
        WriteAll(data, b);
        WriteAll(f.pc + "/record.BAK", b);
        benchmark::DoNotOptimize(a.data());
    }
}

void BM_SlowSync2000(benchmark::State& s) { SlowSync(s, 2000); }
void BM_SlowSync20000(benchmark::State& s) { SlowSync(s, 20000); }
void BM_FileIo2000(benchmark::State& s) { FileIo(s, 2000); }
void BM_FileIo20000(benchmark::State& s) { FileIo(s, 20000); }
BENCHMARK(BM_SlowSync2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SlowSync20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileIo2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileIo20000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    RatioReporter reporter;
    if (!RunBenchmarks(argc, argv, reporter))
        return 1;
    for (int n : {2000, 20000}) {
        std::error_code ec;
        fs::remove_all(Make(n).dir, ec);
    }
    const double small = reporter.Best("BM_SlowSync2000") / 2000, large = reporter.Best("BM_SlowSync20000") / 20000;
    if (small <= 0 || large <= 0) {
        std::fprintf(stderr, "ratio sync_per_record_cost_20000_vs_2000: both sizes must run\n");
        return 1;
    }
    const double perRecord = large / small;
    std::printf("ratio sync_per_record_cost_20000_vs_2000 = %.2f (target <= 1.50)\n", perRecord);
    bool ok = perRecord <= 1.5;
    ok = reporter.PrintRatio("sync_vs_file_io_2000", "BM_SlowSync2000", "BM_FileIo2000") && ok;
    ok = reporter.PrintRatio("sync_vs_file_io_20000", "BM_SlowSync20000", "BM_FileIo20000") && ok;
    ok = ok && reporter.Best("BM_SlowSync2000") <= 3 * reporter.Best("BM_FileIo2000") &&
         reporter.Best("BM_SlowSync20000") <= 3 * reporter.Best("BM_FileIo20000");
    return ok ? 0 : 2;
}
