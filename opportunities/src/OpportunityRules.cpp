#include "pellwick/opportunities/OpportunityRules.h"

#include "pellwick/ErrorReport.h"
#include "pellwick/clsStage.h"
#include "pellwick/savequote/SaveQuoteRules.h"

#include <algorithm>
#include <limits>
#include <set>
#include <tessary/Encoding.h>

namespace pellwick::opportunities {
namespace {

QString Text(const tessary::RpcStruct& record, const char* field) {
    return QString::fromStdString(record.Item(field).StringValue());
}

std::optional<double> Number(const tessary::RpcStruct& record, const char* field) {
    const tessary::RpcValue& value = record.Item(field);
    if (value.IsEmpty())
        return std::nullopt;
    return value.DoubleValue();
}

// A date member: its automation date, or its text when it reads as no date.
void ReadDate(const tessary::RpcStruct& record, const char* field, double& date, QString& text) {
    date = record.Item(field).DateValue();
    if (date == 0)
        text = Text(record, field);
}

OpportunityCell RevenueCell(const std::optional<double>& revenue) {
    if (!revenue)
        return {QString(), QVariant(std::numeric_limits<double>::lowest())};
    return {QString::number(*revenue, 'f', 2), QVariant(*revenue)};
}

// A date shown to the minute and sorted by its full ISO text; one read as no date keeps
// its text for both.
OpportunityCell DateCell(double date, const QString& unread) {
    if (date == 0)
        return {unread, unread};
    const tessary::DateParts p = tessary::PartsFromAutomationDate(date);
    const QString iso = QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d", p.year, p.month, p.day,
                                          p.hour, p.minute, p.second);
    return {iso.left(16).replace(QLatin1Char('T'), QLatin1Char(' ')), iso};
}

// Text for comparing notes: one kind of line end, no blanks at the end.
QString Comparable(QString text) {
    text.replace(kCrLf, QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

QString WithoutTrailingSpace(QString text) {
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

savequote::OpportunityInput QuoteInput(std::int32_t value, std::int32_t contactId,
                                       const QuoteFacts& quote) {
    savequote::OpportunityInput input;
    input.value = value;
    input.contactId = contactId;
    input.updateRevenue = true;
    input.revenue = quote.total;
    input.title = savequote::QuoteCaption(quote.name, quote.number);
    return input;
}

} // namespace

ContactSource WhoseOpportunities(std::int32_t givenContactId, bool documentOpen) {
    if (givenContactId >= 1)
        return ContactSource::Given;
    return documentOpen ? ContactSource::QuoteEmails : ContactSource::Search;
}

const tessary::RpcArray& OpportunityFields() {
    static const tessary::RpcArray fields = [] {
        tessary::RpcArray names;
        for (const char* name :
             {"Id", "ContactID", "OpportunityTitle", "OpportunityNotes", "StageID",
              "ProjectedRevenueLow", "ProjectedRevenueHigh", "DateCreated", "LastUpdated"})
            names.AddString(name);
        return names;
    }();
    return fields;
}

tessary::RpcStruct ContactOpportunitiesQuery(std::int32_t contactId) {
    tessary::RpcStruct query;
    query.AddInteger("ContactID", contactId);
    return query;
}

OpportunityRow OpportunityFromRecord(const tessary::RpcStruct& record) {
    OpportunityRow row;
    row.id = record.Item("Id").IntegerValue();
    row.title = Text(record, "OpportunityTitle");
    row.stageId = record.Item("StageID").IntegerValue();
    row.revenueLow = Number(record, "ProjectedRevenueLow");
    row.revenueHigh = Number(record, "ProjectedRevenueHigh");
    ReadDate(record, "DateCreated", row.created, row.createdText);
    ReadDate(record, "LastUpdated", row.updated, row.updatedText);
    row.notes = Text(record, "OpportunityNotes");
    return row;
}

std::vector<OpportunityRow> NewestFirst(std::vector<OpportunityRow> rows) {
    std::set<std::int32_t> seen;
    std::vector<OpportunityRow> unique;
    for (OpportunityRow& row : rows)
        if (seen.insert(row.id).second)
            unique.push_back(std::move(row));
    std::stable_sort(unique.begin(), unique.end(),
                     [](const OpportunityRow& a, const OpportunityRow& b) { return a.id > b.id; });
    return unique;
}

const std::array<QString, kOpportunityColumnCount>& OpportunityColumnCaptions() {
    static const std::array<QString, kOpportunityColumnCount> captions = {
        QStringLiteral("Title"),       QStringLiteral("Stage"),
        QStringLiteral("Revenue Low"), QStringLiteral("Revenue High"),
        QStringLiteral("Created"),     QStringLiteral("Last Updated"),
        QStringLiteral("Id")};
    return captions;
}

QString StageText(std::int32_t stageId, const StageCollection* stages) {
    if (stageId == 0)
        return QString();
    const QString key = QString::number(stageId);
    if (stages)
        if (const std::shared_ptr<clsStage> stage = stages->Value(key))
            return stage->m_strStageName;
    return QStringLiteral("(Stage ") + key + QLatin1Char(')');
}

std::array<OpportunityCell, kOpportunityColumnCount>
OpportunityCells(const OpportunityRow& row, const StageCollection* stages) {
    const auto text = [](const QString& shown) { return OpportunityCell{shown, shown.toLower()}; };
    std::array<OpportunityCell, kOpportunityColumnCount> cells;
    cells[ColTitle] = text(row.title);
    cells[ColStage] = text(StageText(row.stageId, stages));
    cells[ColRevenueLow] = RevenueCell(row.revenueLow);
    cells[ColRevenueHigh] = RevenueCell(row.revenueHigh);
    cells[ColCreated] = DateCell(row.created, row.createdText);
    cells[ColUpdated] = DateCell(row.updated, row.updatedText);
    cells[ColId] = {QString::number(row.id), QVariant(row.id)};
    return cells;
}

EnabledActions ActionsFor(const ActionInputs& in) {
    const bool idle = !in.busy;
    return {idle && in.contact && in.quote && in.stage, idle && in.row && in.quote,
            idle && in.row && in.stage && in.rowStageId != in.pickedStageId, idle && in.row, idle};
}

tessary::RpcStruct NewOpportunityRecord(std::int32_t contactId, const QuoteFacts& quote,
                                        std::int32_t stageId) {
    savequote::OpportunityInput input = QuoteInput(savequote::kNewOpportunity, contactId, quote);
    input.addNotes = true;
    input.notes = quote.notes;
    tessary::RpcStruct record = savequote::PlanOpportunity(input).record;
    record.AddInteger("StageID", stageId);
    return record;
}

std::optional<QString> NotesWithQuote(const QString& existing, const QString& quoteNotes) {
    const QString added = Comparable(quoteNotes);
    if (added.isEmpty() || Comparable(existing).contains(added))
        return std::nullopt;
    const QString kept = WithoutTrailingSpace(existing);
    const QString appended = WithoutTrailingSpace(quoteNotes);
    return kept.isEmpty() ? appended : kept + kCrLf + kCrLf + appended;
}

tessary::RpcStruct UpdateFromQuoteRecord(std::int32_t contactId, const QuoteFacts& quote,
                                         bool appendNotes, const QString& existingNotes) {
    // Any existing Id plans an update; the record does not carry it.
    savequote::OpportunityInput input = QuoteInput(1, contactId, quote);
    if (appendNotes)
        if (const std::optional<QString> notes = NotesWithQuote(existingNotes, quote.notes)) {
            input.addNotes = true;
            input.notes = *notes;
        }
    savequote::OpportunityPlan plan = savequote::PlanOpportunity(input);
    return plan.write == savequote::OpportunityWrite::Update ? plan.record : tessary::RpcStruct();
}

tessary::RpcStruct MoveToStageRecord(std::int32_t stageId) {
    tessary::RpcStruct record;
    record.AddInteger("StageID", stageId);
    return record;
}

} // namespace pellwick::opportunities
