// Alphabetical sort of a memo table against std::sort of the same texts with
// the same comparison. Prints "ratio sort_alphabetical_vs_std_sort = X.XX"
// after the runs (lower is better for us; the target is at most 2).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "BenchRatio.h"
#include "Iterator.h"
#include "TessalyTable.h"

using namespace NorvaneCommon;

namespace {

const int kMemoCount = 10000;

// Random Shift-JIS: ASCII, half-width katakana and double-byte characters,
// 10 to 200 bytes per text.
std::vector<CString> MakeTexts()
{
    std::mt19937 rng(20240607);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::vector<CString> texts;
    texts.reserve(kMemoCount);
    for (int i = 0; i < kMemoCount; ++i) {
        const int target = pick(10, 200);
        std::string s;
        while (static_cast<int>(s.size()) < target) {
            const int kind = pick(0, 2);
            if (kind == 0) {
                s += static_cast<char>(pick(0x20, 0x7E));
            } else if (kind == 1) {
                s += static_cast<char>(pick(0xA1, 0xDF));
            } else if (static_cast<int>(s.size()) + 2 <= target) {
                const int lead = pick(0, 1) ? pick(0x81, 0x9F) : pick(0xE0, 0xEF);
                int trail = pick(0x40, 0xFB);
                if (trail >= 0x7F)
                    ++trail;   // 0x40-0x7E, 0x80-0xFC
                s += static_cast<char>(lead);
                s += static_cast<char>(trail);
            }
        }
        texts.emplace_back(s.c_str());
    }
    return texts;
}

const std::vector<CString>& Texts()
{
    static const std::vector<CString> texts = MakeTexts();
    return texts;
}

void BM_SortByAlphabetical(benchmark::State& state)
{
    CTessalyTable table;
    for (const CString& text : Texts()) {
        CTessalyRecord* pRecord = new CTessalyRecord;
        pRecord->SetMemo(text);
        table.AppendRecord(pRecord);
    }
    CTessalyIterator it(table);
    for (auto _ : state) {
        // Each sort discards the previous view and builds its keys anew.
        it.SortByAlphabetical();
        benchmark::ClobberMemory();
    }
    CGenRecord* pFirst = nullptr;
    it.FindFirst(pFirst, 0);
    benchmark::DoNotOptimize(pFirst);
}

void BM_StdSortSameTexts(benchmark::State& state)
{
    std::vector<CString> work;
    for (auto _ : state) {
        state.PauseTiming();
        work = Texts();   // unsorted again; copying is not what is measured
        state.ResumeTiming();
        std::sort(work.begin(), work.end(),
                  [](const CString& a, const CString& b) { return afx::MbsCompare932(a, b) < 0; });
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(work.data());
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Texts();   // built once, outside every measurement
    // The two run in alternating rounds and the best round of each counts,
    // so a burst of load on the machine does not land on one side only.
    const int kRounds = 5;
    for (int round = 0; round < kRounds; ++round) {
        benchmark::RegisterBenchmark("BM_SortByAlphabetical", BM_SortByAlphabetical)
            ->Unit(benchmark::kMicrosecond)
            ->MinTime(0.2);
        benchmark::RegisterBenchmark("BM_StdSortSameTexts", BM_StdSortSameTexts)
            ->Unit(benchmark::kMicrosecond)
            ->MinTime(0.2);
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.PrintRatio("sort_alphabetical_vs_std_sort", "BM_SortByAlphabetical", "BM_StdSortSameTexts") ? 0 : 1;
}
