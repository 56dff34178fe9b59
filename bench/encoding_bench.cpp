// Base64 encoding and MD5 over one buffer. The buffer is the file named by
// PELLWICK_BENCH_DATA (run.sh passes the same file to coreutils and md5sum),
// or 64 MiB of pseudo-random bytes.

#include "tessary/Encoding.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace {

const std::string& Data() {
    static const std::string data = [] {
        if (const char* path = std::getenv("PELLWICK_BENCH_DATA")) {
            std::ifstream in(path, std::ios::binary);
            if (!in)
                throw std::runtime_error(std::string("cannot read ") + path);
            return std::string(std::istreambuf_iterator<char>(in), {});
        }
        std::string bytes(64 << 20, '\0');
        std::mt19937_64 rng(42);
        for (std::size_t i = 0; i + 8 <= bytes.size(); i += 8) {
            const auto v = rng();
            std::memcpy(&bytes[i], &v, 8);
        }
        return bytes;
    }();
    return data;
}

void BM_EncodeBase64(benchmark::State& state) {
    const std::string& data = Data();
    for (auto _ : state) {
        std::string text = tessary::EncodeBase64(data);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_EncodeBase64)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DecodeBase64(benchmark::State& state) {
    const std::string text = tessary::EncodeBase64(Data());
    for (auto _ : state) {
        std::string bytes = tessary::DecodeBase64(text);
        benchmark::DoNotOptimize(bytes.data());
    }
    // Counted in decoded bytes, like the encoder.
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Data().size()));
}
BENCHMARK(BM_DecodeBase64)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MD5(benchmark::State& state) {
    const std::string& data = Data();
    for (auto _ : state) {
        std::string hex = tessary::MD5Hex(data);
        benchmark::DoNotOptimize(hex.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_MD5)->Unit(benchmark::kMillisecond)->UseRealTime();

// The block size of the column compared with `openssl speed -evp md5`.
void BM_MD5_16KiB(benchmark::State& state) {
    const std::string_view block = std::string_view(Data()).substr(0, 16384);
    for (auto _ : state) {
        std::string hex = tessary::MD5Hex(block);
        benchmark::DoNotOptimize(hex.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * block.size()));
}
BENCHMARK(BM_MD5_16KiB);

} // namespace

BENCHMARK_MAIN();
