#include "pellwick/savequote/CommitJournal.h"

#include "pellwick/StateFiles.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <array>
#include <utility>

namespace pellwick::savequote {
namespace {

constexpr int kJournalVersion = 1;

const std::array<std::pair<StepKind, const char*>, 8> kKinds = {{
    {StepKind::Contact, "contact"},
    {StepKind::QuoteFile, "quoteFile"},
    {StepKind::Pdf, "pdf"},
    {StepKind::ActionSet, "actionSet"},
    {StepKind::Opportunity, "opportunity"},
    {StepKind::Note, "note"},
    {StepKind::Pages, "pages"},
    {StepKind::Settings, "settings"},
}};
const std::array<std::pair<StepState, const char*>, 5> kStates = {{
    {StepState::NotRun, "notRun"},
    {StepState::Running, "running"},
    {StepState::Done, "done"},
    {StepState::Failed, "failed"},
    {StepState::Uncertain, "uncertain"},
}};

template <class Enum, std::size_t N>
QString NameOf(const std::array<std::pair<Enum, const char*>, N>& names, Enum value) {
    for (const auto& [known, name] : names)
        if (known == value)
            return QString::fromLatin1(name);
    return QString();
}

template <class Enum, std::size_t N>
std::optional<Enum> ValueOf(const std::array<std::pair<Enum, const char*>, N>& names,
                            const QString& text) {
    for (const auto& [known, name] : names)
        if (text == QLatin1String(name))
            return known;
    return std::nullopt;
}

QJsonValue OptionalId(const std::optional<std::int32_t>& value) {
    return value ? QJsonValue(*value) : QJsonValue();
}

std::optional<std::int32_t> OptionalIdFrom(const QJsonValue& value) {
    return value.isDouble() ? std::optional(value.toInt()) : std::nullopt;
}

// The check boxes, by the names the settings store gives them.
const std::array<std::pair<const char*, bool CommitChoices::*>, 9> kFlags = {{
    {"addQuoteDocNo", &CommitChoices::addQuoteDocNo},
    {"uploadQuoteFile", &CommitChoices::uploadQuoteFile},
    {"uploadQuotePDF", &CommitChoices::uploadQuotePDF},
    {"uploadQuotePDFEnabled", &CommitChoices::uploadQuotePDFEnabled},
    {"openContactRecord", &CommitChoices::openContactRecord},
    {"addNotes", &CommitChoices::addNotes},
    {"addNotesEnabled", &CommitChoices::addNotesEnabled},
    {"updateProjectedRevenue", &CommitChoices::updateProjectedRevenue},
    {"openOpportunityRecord", &CommitChoices::openOpportunityRecord},
}};

QJsonObject ChoicesJson(const CommitChoices& choices) {
    QJsonObject json;
    for (const auto& [name, flag] : kFlags)
        json.insert(QLatin1String(name), choices.*flag);
    json.insert(QStringLiteral("opportunity"), OptionalId(choices.opportunity));
    json.insert(QStringLiteral("actionSet"), OptionalId(choices.actionSet));
    json.insert(QStringLiteral("createdOpportunity"), choices.createdOpportunity);
    return json;
}

CommitChoices ChoicesFrom(const QJsonObject& json) {
    CommitChoices choices;
    for (const auto& [name, flag] : kFlags)
        choices.*flag = json.value(QLatin1String(name)).toBool();
    choices.opportunity = OptionalIdFrom(json.value(QStringLiteral("opportunity")));
    choices.actionSet = OptionalIdFrom(json.value(QStringLiteral("actionSet")));
    choices.createdOpportunity = json.value(QStringLiteral("createdOpportunity")).toInt();
    return choices;
}

QJsonObject StepJson(const CommitStep& step) {
    return {{QStringLiteral("kind"), NameOf(kKinds, step.kind)},
            {QStringLiteral("name"), step.name},
            {QStringLiteral("state"), NameOf(kStates, step.state)},
            {QStringLiteral("id"), step.id},
            {QStringLiteral("outcome"), step.outcome},
            {QStringLiteral("lookUpFirst"), step.lookUpFirst}};
}

std::optional<CommitStep> StepFrom(const QJsonObject& json) {
    const auto kind = ValueOf(kKinds, json.value(QStringLiteral("kind")).toString());
    const auto state = ValueOf(kStates, json.value(QStringLiteral("state")).toString());
    if (!kind || !state)
        return std::nullopt;
    return CommitStep{*kind,
                      json.value(QStringLiteral("name")).toString(),
                      *state,
                      json.value(QStringLiteral("id")).toInt(),
                      json.value(QStringLiteral("outcome")).toString(),
                      json.value(QStringLiteral("lookUpFirst")).toBool()};
}

} // namespace

QByteArray JournalBytes(const CommitJournal& journal) {
    QJsonArray steps;
    for (const CommitStep& step : journal.steps.Steps())
        steps.append(StepJson(step));
    const QJsonObject contact{{QStringLiteral("id"), journal.contact.id},
                              {QStringLiteral("firstName"), journal.contact.firstName},
                              {QStringLiteral("lastName"), journal.contact.lastName},
                              {QStringLiteral("email"), journal.contact.email}};
    const QJsonObject json{{QStringLiteral("version"), kJournalVersion},
                           {QStringLiteral("quoteNo"), journal.quoteNo},
                           {QStringLiteral("contactEntry"), journal.contactEntry},
                           {QStringLiteral("contact"), contact},
                           {QStringLiteral("choices"), ChoicesJson(journal.choices)},
                           {QStringLiteral("opportunityBase"), journal.opportunityBase},
                           {QStringLiteral("steps"), steps}};
    return QJsonDocument(json).toJson();
}

std::optional<CommitJournal> JournalFromBytes(const QByteArray& bytes) {
    const QJsonObject json = QJsonDocument::fromJson(bytes).object();
    if (json.value(QStringLiteral("version")).toInt() != kJournalVersion)
        return std::nullopt;
    CommitJournal journal;
    journal.quoteNo = json.value(QStringLiteral("quoteNo")).toString();
    journal.contactEntry = json.value(QStringLiteral("contactEntry")).toInt();
    const QJsonObject contact = json.value(QStringLiteral("contact")).toObject();
    journal.contact = {contact.value(QStringLiteral("id")).toInt(),
                       contact.value(QStringLiteral("firstName")).toString(),
                       contact.value(QStringLiteral("lastName")).toString(),
                       contact.value(QStringLiteral("email")).toString()};
    journal.choices = ChoicesFrom(json.value(QStringLiteral("choices")).toObject());
    journal.opportunityBase = json.value(QStringLiteral("opportunityBase")).toInt();
    std::vector<CommitStep> steps;
    for (const QJsonValue& value : json.value(QStringLiteral("steps")).toArray()) {
        std::optional<CommitStep> step = StepFrom(value.toObject());
        if (!step)
            return std::nullopt;
        steps.push_back(std::move(*step));
    }
    journal.steps = CommitSteps::FromSteps(std::move(steps));
    return journal;
}

QString JournalFileName(const QString& quoteNo) {
    const QByteArray hash =
        QCryptographicHash::hash(quoteNo.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("SaveQuote-") + QString::fromLatin1(hash.left(32)) +
           QStringLiteral(".journal");
}

bool SaveJournal(const CommitJournal& journal, QString* why) {
    return WriteStateFile(JournalFileName(journal.quoteNo), JournalBytes(journal), why);
}

std::optional<CommitJournal> LoadJournal(const QString& quoteNo) {
    const std::optional<QByteArray> bytes = ReadStateFile(JournalFileName(quoteNo));
    std::optional<CommitJournal> journal = bytes ? JournalFromBytes(*bytes) : std::nullopt;
    // Another quote's journal under a colliding name is none of this one's.
    if (!journal || journal->quoteNo != quoteNo)
        return std::nullopt;
    journal->steps.RunningBecomeUncertain();
    return journal;
}

void RemoveJournal(const QString& quoteNo) {
    RemoveStateFile(JournalFileName(quoteNo));
}

} // namespace pellwick::savequote
