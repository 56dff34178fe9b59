// Filling the contact search list: one search whose three queries return 1,000 records
// each, run through the window (rows built, looked up by key, listed and drawn), beside a
// plain loop that only reads the same records. The CRM is left out: the queries answer
// from memory, so the figures are the client's own time.
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include "pellwick/contacts/frmContacts.h"

#include <QApplication>
#include <QLineEdit>
#include <QString>
#include <benchmark/benchmark.h>
#include <string>
#include <tessary/RpcValue.h>
#include <vector>

namespace {

using pellwick::frmContacts;

// Three answers of 1,000 contacts. Distinct: 3,000 different contacts; overlapping: every
// query finds the same 1,000 (a company and a last name beginning alike), so 2,000 records
// are looked up and skipped.
std::vector<std::shared_ptr<tessary::RpcArray>> Answers(bool distinct) {
    std::vector<std::shared_ptr<tessary::RpcArray>> answers;
    for (int query = 0; query < 3; ++query) {
        auto records = std::make_shared<tessary::RpcArray>();
        records->Reserve(1000);
        for (int i = 0; i < 1000; ++i) {
            const int id = 1 + i + (distinct ? query * 1000 : 0);
            const std::string n = std::to_string(id);
            auto record = std::make_shared<tessary::RpcStruct>();
            record->AddInteger("Id", id);
            record->AddString("Company", "Harbour Supplies " + n);
            record->AddString("FirstName", "First" + n);
            record->AddString("LastName", "Harbourne" + n);
            record->AddString("Email", "contact" + n + "@harbour.example");
            record->AddString("Phone1", "603-555-" + n);
            records->AddStruct(std::move(record));
        }
        answers.push_back(std::move(records));
    }
    return answers;
}

// The search as the user runs it: the window on screen, one word (three queries), the
// list drawn before the clock stops.
void BM_SearchFillsTheList(benchmark::State& state) {
    const auto answers = Answers(state.range(0) != 0);
    std::size_t next = 0;
    frmContacts::Calls calls;
    calls.QueryContacts = [&](const tessary::RpcStruct&, const tessary::RpcArray&) {
        return answers[next++ % answers.size()];
    };
    calls.SendContactToQuoteWerks = [](std::int16_t, std::int32_t) {};
    frmContacts window(nullptr, calls);
    window.findChild<QLineEdit*>(QStringLiteral("txtSearch"))->setText(QStringLiteral("Harbour"));
    window.show();
    QApplication::processEvents();
    for (auto _ : state) {
        window.cmdSearch_Click();
        window.repaint(); // the list laid out and drawn, as the user sees it
        QApplication::processEvents();
    }
    state.counters["records"] = 3000;
}
BENCHMARK(BM_SearchFillsTheList)
    ->ArgName("distinct")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond);

// The floor: every member of every record read once, nothing built.
void BM_ReadTheRecordsOnly(benchmark::State& state) {
    const auto answers = Answers(true);
    for (auto _ : state) {
        std::size_t total = 0;
        for (const auto& records : answers)
            for (const tessary::RpcValue& element : records->Elements()) {
                const auto record = element.StructValue();
                total += static_cast<std::size_t>(record->Item("Id").IntegerValue());
                for (const char* name : {"Company", "FirstName", "LastName", "Phone1", "Email"})
                    total += record->Item(name).TextPointer()->size();
            }
        benchmark::DoNotOptimize(total);
    }
    state.counters["records"] = 3000;
}
BENCHMARK(BM_ReadTheRecordsOnly)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
