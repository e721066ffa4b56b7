// Opening a 10,000-memo enciphered data file against the least any reader
// must do: read the file's bytes and decipher every record in one buffer.
// Prints "ratio open_vs_read_and_decipher = X.XX" (target: at most 2).
#include "BenchRatio.h"
#include "Blowfish.h"
#include "MemoFile.h"
#include "TessalyTable.h"

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>
#include <unistd.h>

using namespace NorvaneCommon;

namespace {

const char kPassword[] = "bench-pass";
const int kMemos = 10000;

std::string MakeFile()
{
    std::string path = "/tmp/tessaly_openbench_" + std::to_string(getpid()) + ".dat";
    if (!tessaly::WriteEmptyMemoFile(path, kPassword, "hint"))
        std::abort();
    CTessalyTable table;
    CString p(path.c_str());
    if (table.OpenFrom(p, CFile::modeReadWrite, kPassword) != TableOK)
        std::abort();
    std::mt19937 rng(10000);
    for (int i = 0; i < kMemos; ++i) {
        std::string text;
        int len = std::uniform_int_distribution<int>(20, 400)(rng);
        for (int j = 0; j < len; ++j)
            text += (j % 40 == 39) ? '\n' : static_cast<char>('a' + rng() % 26);
        CTessalyRecord* r = new CTessalyRecord;
        CString memo(text.c_str());
        CGenRecord::SubstNLwithCR(memo);
        r->SetMemo(memo);
        table.AppendRecord(r);
    }
    if (table.Save() != TableOK)
        std::abort();
    return path;
}

const std::string& File()
{
    static const std::string path = MakeFile();
    return path;
}

void BM_OpenTable(benchmark::State& state)
{
    CString path(File().c_str());
    for (auto _ : state) {
        CTessalyTable table;
        if (table.OpenFrom(path, CFile::modeRead, kPassword) != TableOK || table.GetRecordCount() != kMemos)
            state.SkipWithError("open failed");
        benchmark::DoNotOptimize(table.GetRecordCount());
    }
}
BENCHMARK(BM_OpenTable)->Unit(benchmark::kMillisecond);

// The reference: the file read into one buffer, the key set once, every
// record's data deciphered in place.
void BM_ReadAndDecipher(benchmark::State& state)
{
    for (auto _ : state) {
        FILE* f = std::fopen(File().c_str(), "rb");
        std::fseek(f, 0, SEEK_END);
        std::vector<unsigned char> bytes(static_cast<size_t>(std::ftell(f)));
        std::fseek(f, 0, SEEK_SET);
        if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size())
            state.SkipWithError("read failed");
        std::fclose(f);
        CBlowfishCoder coder;
        coder.SetPassword(kPassword);
        DBFileHeader header;
        std::memcpy(&header, bytes.data(), sizeof header);
        size_t pos = kHeaderSize + header.lAppInfoSize + header.lSortInfoSize;
        for (LONG i = 0; i < header.lRecordCount; ++i) {
            StorageRecordType rec;
            std::memcpy(&rec, &bytes[pos], sizeof rec);
            DecodeMemoData(&coder, &bytes[pos + rec.dwDataOffset], rec.dwDataLength);
            pos += rec.dwRecordSize;
        }
        benchmark::DoNotOptimize(bytes.data());
    }
}
BENCHMARK(BM_ReadAndDecipher)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    RatioReporter reporter;
    bool ok = RunBenchmarks(argc, argv, reporter) &&
              reporter.PrintRatio("open_vs_read_and_decipher", "BM_OpenTable", "BM_ReadAndDecipher");
    std::remove(File().c_str());
    return ok ? 0 : 1;
}
