// Throughput of our Blowfish ECB against OpenSSL's over the same buffer.
// Prints "ratio blowfish_throughput_ours_vs_openssl = X.XX" (higher is
// better for us) after the runs.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/blowfish.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "BenchRatio.h"
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

} // namespace

int main(int argc, char** argv)
{
    RatioReporter reporter;
    if (!RunBenchmarks(argc, argv, reporter))
        return 1;
    // Higher is better for us: OpenSSL's time over ours for the same bytes.
    return reporter.PrintRatio("blowfish_throughput_ours_vs_openssl", "BM_BlowfishOpenSsl", "BM_BlowfishOurs") ? 0 : 1;
}
