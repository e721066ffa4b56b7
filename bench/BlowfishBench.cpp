// Throughput of our Blowfish ECB against OpenSSL's over the same buffer.
// Prints "ratio blowfish_throughput_ours_vs_openssl = X.XX" (higher is
// better for us) after the runs.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/blowfish.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "Blowfish.h"

namespace {

const unsigned int kBufSize = 64 * 1024;
const char kKey[] = "benchmark password 0123456789";

std::vector<unsigned char> MakeBuffer()
{
    std::vector<unsigned char> buf(kBufSize);
    for (unsigned int i = 0; i < kBufSize; ++i)
        buf[i] = static_cast<unsigned char>(i * 131 + 7);
    return buf;
}

void BM_BlowfishOurs(benchmark::State& state)
{
    NorvaneCommon::Blowfish bf;
    bf.Set_Passwd(kKey);
    std::vector<unsigned char> buf = MakeBuffer();
    for (auto _ : state) {
        bf.Encrypt(buf.data(), kBufSize);
        benchmark::DoNotOptimize(buf.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBufSize);
}
BENCHMARK(BM_BlowfishOurs);

void BM_BlowfishOpenSsl(benchmark::State& state)
{
    BF_KEY key;
    BF_set_key(&key, static_cast<int>(std::strlen(kKey)), reinterpret_cast<const unsigned char*>(kKey));
    std::vector<unsigned char> buf = MakeBuffer();
    for (auto _ : state) {
        // OpenSSL's ECB interface takes one block per call.
        for (unsigned int i = 0; i < kBufSize; i += 8)
            BF_ecb_encrypt(&buf[i], &buf[i], &key, BF_ENCRYPT);
        benchmark::DoNotOptimize(buf.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBufSize);
}
BENCHMARK(BM_BlowfishOpenSsl);

// Console output as usual, plus the best time per iteration of each
// benchmark (over repetitions, if any), for the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // No colour codes when the output goes to a file or a log, so the ratio
    // line stays greppable.
    RatioReporter()
        : ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular)
    {
    }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0)
                continue;
            const double perIter = run.real_accumulated_time / static_cast<double>(run.iterations);
            const std::string name = run.run_name.function_name;
            auto it = m_best.find(name);
            if (it == m_best.end() || perIter < it->second)
                m_best[name] = perIter;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    bool Ratio(double* pRatio) const
    {
        auto ours = m_best.find("BM_BlowfishOurs");
        auto ref = m_best.find("BM_BlowfishOpenSsl");
        if (ours == m_best.end() || ref == m_best.end() || ours->second <= 0)
            return false;
        *pRatio = ref->second / ours->second;  // same bytes per iteration
        return true;
    }

private:
    std::map<std::string, double> m_best;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    double ratio = 0;
    if (!reporter.Ratio(&ratio)) {
        std::fprintf(stderr, "ratio blowfish_throughput_ours_vs_openssl: both benchmarks must run\n");
        return 1;
    }
    std::printf("ratio blowfish_throughput_ours_vs_openssl = %.2f\n", ratio);
    return 0;
}
