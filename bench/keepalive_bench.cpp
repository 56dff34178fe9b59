// One small CRM call ("DataService.load" of a contact) against the local sandbox:
// on one connection object that keeps its HTTPS connection alive, and on a new
// connection object per call, which pays the TCP and TLS set-up every time.
// run.sh starts the sandbox and passes PELLWICK_BENCH_SANDBOX_PORT, _CA and _KEY.

#include "tessary/DataService.h"
#include "tessary/RpcValue.h"
#include "tessary/clsInfusionsoftAPI.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr)
        throw std::runtime_error(std::string(name) + " is not set (run bench/run.sh)");
    return value;
}

std::shared_ptr<tessary::clsInfusionsoftAPI> NewConnection() {
    static const int port = std::stoi(Env("PELLWICK_BENCH_SANDBOX_PORT"));
    static const std::string ca = Env("PELLWICK_BENCH_SANDBOX_CA");
    static const std::string key = Env("PELLWICK_BENCH_SANDBOX_KEY");
    auto api = tessary::clsInfusionsoftAPI::Create();
    api->SetupConnection("demo", key);
    api->SetServiceDomain("localhost");
    api->SetServicePort(port);
    api->SetCABundleFile(ca);
    return api;
}

const tessary::RpcArray& Fields() {
    static const tessary::RpcArray fields = [] {
        tessary::RpcArray f;
        for (const char* name : {"Id", "FirstName", "LastName", "Email"})
            f.AddString(name);
        return f;
    }();
    return fields;
}

// One call; false when it did not bring the contact back.
bool LoadContact(tessary::clsInfusionsoftAPI& api) {
    const auto record = api.DataService()->Load("Contact", 1, Fields());
    return record && record->Item("Id").IntegerValue() == 1;
}

void BM_CallKeptAlive(benchmark::State& state) {
    const auto api = NewConnection();
    for (auto _ : state) {
        if (!LoadContact(*api)) {
            state.SkipWithError("the call failed");
            break;
        }
    }
}
BENCHMARK(BM_CallKeptAlive)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CallNewConnection(benchmark::State& state) {
    for (auto _ : state) {
        const auto api = NewConnection();
        if (!LoadContact(*api)) {
            state.SkipWithError("the call failed");
            break;
        }
    }
}
BENCHMARK(BM_CallNewConnection)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
