// Decoding one DataService.query answer of contact records with the library's
// XML-RPC codec. The answer is the file named by PELLWICK_BENCH_ANSWER (run.sh
// writes it with make_contact_answer.py and times Python's xmlrpc.client.loads on
// the same bytes).

#include "XmlRpcCodec.h"
#include "tessary/RpcRequest.h"
#include "tessary/RpcValue.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

namespace {

std::string ReadAnswer() {
    const char* path = std::getenv("PELLWICK_BENCH_ANSWER");
    if (path == nullptr)
        throw std::runtime_error("PELLWICK_BENCH_ANSWER names no file (run bench/run.sh)");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error(std::string("cannot read ") + path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The number of records in a decoded answer; 0 when it did not decode as one array.
std::size_t RecordCount(const tessary::RpcResponse& response) {
    if (response.Status() != tessary::RpcStatus::ParamsReturned)
        return 0;
    const auto records = response.Params().Item(1).ArrayValue();
    return records ? records->Count() : 0;
}

void BM_DecodeContactAnswer(benchmark::State& state) {
    const std::string answer = ReadAnswer();
    const std::size_t records = RecordCount(tessary::detail::DecodeResponse(answer));
    if (records == 0) {
        state.SkipWithError("the answer does not decode as an array of records");
        return;
    }
    for (auto _ : state) {
        // The copy is part of the work: the decoder parses its own buffer in place.
        tessary::RpcResponse response = tessary::detail::DecodeResponse(answer);
        benchmark::DoNotOptimize(response);
    }
    state.counters["records"] = static_cast<double>(records);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * answer.size()));
}
BENCHMARK(BM_DecodeContactAnswer)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
