#pragma once
// What the Save Quote window tests share: the program pointed at a fresh CRM sandbox,
// reading the CRM and its call log, and acting on the window's lists.

#include "SandboxProcess.h"
#include "pellwick/ProgramState.h"
#include "pellwick/modMain.h"
#include "pellwick/modQWAPI.h"
#include "pellwick/testing/CoreTestScope.h"
#include "pellwick/testing/CrmRecords.h"

#include <QComboBox>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <map>
#include <memory>
#include <string>
#include <tessary/DataService.h>
#include <tessary/clsHelpers.h>
#include <tessary/clsInfusionsoftAPI.h>
#include <vector>

namespace savequote_testing {

using pellwick::testing::Record;
using pellwick::testing::Records;

inline const char* kApiKey = "savequote-test-key";

// A demo CRM of its own (records in memory) and the program's connection to it.
inline sandbox::SandboxOptions CrmOptions(std::vector<std::string> extraArgs = {}) {
    sandbox::SandboxOptions options;
    options.apiKey = kApiKey;
    options.extraArgs = {"--memory"};
    options.extraArgs.insert(options.extraArgs.end(), extraArgs.begin(), extraArgs.end());
    return options;
}
inline sandbox::SandboxProcess StartCrm(std::vector<std::string> extraArgs = {}) {
    return sandbox::SandboxProcess(CrmOptions(std::move(extraArgs)));
}

inline bool ConnectTo(const sandbox::SandboxProcess& crm,
                      const pellwick::testing::CoreTestScope& scope) {
    pellwick::WriteInfusionsoftAppNameToRegistry(QStringLiteral("demo"));
    pellwick::WriteInfusionsoftAPIKeyToRegistry(QString::fromLatin1(kApiKey));
    scope.useLocalEndpoint(crm.port(), QString::fromStdString(crm.caFile()));
    return pellwick::SetupInfusionsoftConnection();
}

// How many logged calls of `method` there were (on `table`, when given), over either
// interface.
inline int Calls(const sandbox::SandboxProcess& crm, const std::string& method,
                 const std::string& table = std::string()) {
    int n = 0;
    for (const sandbox::LoggedCall& call : crm.calls())
        n += sandbox::IsCallOf(call, method, table);
    return n;
}

// Makes the next calls of the XML-RPC `method` (on `table`) misbehave as `fault` says, or
// on REST v2 the operation that does what it does.
inline void FailNext(sandbox::SandboxProcess& crm, sandbox::FaultOptions fault,
                     const std::string& method, const std::string& table = {}) {
    if (pellwick::testing::TestsUseRestV2()) {
        fault.method = sandbox::RestOperationsFor(method, table).front();
    } else {
        fault.method = method;
        fault.table = table;
    }
    crm.setFault(fault);
}
// The next `count` such calls fail in `mode`.
inline void FailNext(sandbox::SandboxProcess& crm, const std::string& mode,
                     const std::string& method, const std::string& table = {}, int count = 1) {
    FailNext(crm, sandbox::FaultOptions{.mode = mode, .count = count}, method, table);
}

// A text member of the record sent with the first call of `method` on `table`, as the
// CRM received it (on REST v2, the member of the body that carries it).
inline QString SentText(const sandbox::SandboxProcess& crm, const std::string& method,
                        const std::string& table, const std::string& member) {
    static const std::map<std::string, std::string> restMembers = {
        {"OpportunityTitle", "opportunity_title"}, {"OpportunityNotes", "opportunity_notes"}};
    for (const sandbox::LoggedCall& call : crm.calls()) {
        if (!sandbox::IsCallOf(call, method, table))
            continue;
        if (call.interface == "rest")
            return QString::fromStdString(call.body.at(restMembers.at(member)).get<std::string>());
        return QString::fromStdString(call.params[2].value.at(member).at("value"));
    }
    return QString();
}

inline QStringList Entries(const QComboBox* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->itemText(i);
    return texts;
}

// The user picks an entry.
inline void Pick(QComboBox* list, int index) {
    list->setCurrentIndex(index);
    emit list->activated(index);
}

// The user picks the entry with this value.
inline void PickValue(QComboBox* list, int value) {
    Pick(list, list->findData(value));
}

// The host stand-in's sample quote (DocNo "Q1001", Sold To Marion Okafor) in a fake host.
inline void LoadSampleQuote(pellwick::testing::FakeQuoteWerksApp& host) {
    QFile file(QString::fromUtf8(PELLWICK_SAMPLE_QUOTE));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("sample quote not found");
    const QJsonObject quote = QJsonDocument::fromJson(file.readAll()).object();
    for (auto it = quote.begin(); it != quote.end(); ++it)
        host.setField(it.key(), it.value().toVariant());
}

inline QString DebugLog(const pellwick::testing::CoreTestScope& scope) {
    QFile log(scope.debugLogPath());
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

} // namespace savequote_testing
