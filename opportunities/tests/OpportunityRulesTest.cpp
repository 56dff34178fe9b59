// The opportunities window's decisions without widgets: whose opportunities, the rows and
// their order and sorting, which actions can act, and what each action sends.

#include "pellwick/opportunities/OpportunityRules.h"

#include "pellwick/clsStage.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <tessary/Encoding.h>

using namespace pellwick;
using namespace pellwick::opportunities;

namespace {

const QString kQuoteNotes =
    QStringLiteral("Introduction Notes:\r\nThank you.\r\n\r\nInternal Notes:\r\nMargin agreed.");
const QuoteFacts kQuote{QStringLiteral("Q1001"), QStringLiteral("Office network refresh"),
                        kQuoteNotes, 12480.5};

// The members of a record as "name=value" in order (values read as text).
QStringList Members(const tessary::RpcStruct& record) {
    QStringList members;
    for (const auto& [name, value] : record.Members())
        members << QString::fromStdString(name + "=" + value.StringValue());
    return members;
}

tessary::RpcStruct Lead(tessary::RpcValue id, std::int32_t stage) {
    tessary::RpcStruct record;
    record.AddValue("Id", std::move(id));
    record.AddString("OpportunityTitle", "Office plumbing refit");
    record.AddInteger("StageID", stage);
    return record;
}

} // namespace

TEST(OpportunityRules, WhoseOpportunities) {
    EXPECT_EQ(WhoseOpportunities(51, true), ContactSource::Given);
    EXPECT_EQ(WhoseOpportunities(51, false), ContactSource::Given);
    EXPECT_EQ(WhoseOpportunities(0, true), ContactSource::QuoteEmails);
    EXPECT_EQ(WhoseOpportunities(-2, true), ContactSource::QuoteEmails); // a new-contact entry
    EXPECT_EQ(WhoseOpportunities(0, false), ContactSource::Search);
}

TEST(OpportunityRules, RowsNewestFirstWithTheirCellsAndSortKeys) {
    StageCollection stages;
    stages.Add(QStringLiteral("4"), std::make_shared<clsStage>(clsStage{4, "Quote Sent"}));

    tessary::RpcStruct full = Lead(tessary::RpcValue::String(" 7 "), 4); // an Id as text
    full.AddDouble("ProjectedRevenueLow", 12480.5);
    full.AddInteger("ProjectedRevenueHigh", 900);
    full.AddValue("DateCreated", tessary::RpcValue::DateTimeIso("20261102T09:30:10"));
    full.AddString("LastUpdated", "2026-11-03T10:00:00.000+0000"); // no date the library reads
    full.AddString("OpportunityNotes", "Two floors.");
    const OpportunityRow seven = OpportunityFromRecord(full);
    const OpportunityRow sparse = OpportunityFromRecord(Lead(tessary::RpcValue::Integer(12), 99));

    // Each Id once, the first record read; the largest Id first.
    const std::vector<OpportunityRow> rows =
        NewestFirst({seven, sparse, OpportunityFromRecord(Lead(tessary::RpcValue::Integer(7), 0))});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].id, 12);
    EXPECT_EQ(rows[1].id, 7);
    EXPECT_EQ(rows[1].stageId, 4);
    EXPECT_EQ(rows[1].notes, QStringLiteral("Two floors."));

    QStringList texts;
    for (const OpportunityCell& cell : OpportunityCells(seven, &stages))
        texts << cell.text;
    EXPECT_EQ(texts, (QStringList{"Office plumbing refit", "Quote Sent", "12480.50", "900.00",
                                  "2026-11-02 09:30", "2026-11-03T10:00:00.000+0000", "7"}));
    texts.clear();
    for (const OpportunityCell& cell : OpportunityCells(sparse, &stages))
        texts << cell.text;
    EXPECT_EQ(texts, (QStringList{"Office plumbing refit", "(Stage 99)", "", "", "", "", "12"}));
    EXPECT_EQ(StageText(0, &stages), QString());
    EXPECT_EQ(StageText(4, nullptr), QStringLiteral("(Stage 4)"));

    // Numbers sort by value (900 before 12480.50, a missing revenue below both), dates by
    // the full time, Ids as numbers.
    const auto less = [](const OpportunityCell& a, const OpportunityCell& b) {
        return QVariant::compare(a.sortKey, b.sortKey) == QPartialOrdering::Less;
    };
    const auto cellsOf = [&](const OpportunityRow& row) { return OpportunityCells(row, &stages); };
    EXPECT_TRUE(less(cellsOf(seven)[ColRevenueHigh], cellsOf(seven)[ColRevenueLow]));
    EXPECT_TRUE(less(cellsOf(sparse)[ColRevenueLow], cellsOf(seven)[ColRevenueHigh]));
    EXPECT_TRUE(less(cellsOf(seven)[ColId], cellsOf(sparse)[ColId]));
    OpportunityRow later = seven;
    later.created += 30.0 / 86400; // the same minute shown, a later time sorted
    EXPECT_EQ(cellsOf(later)[ColCreated].text, cellsOf(seven)[ColCreated].text);
    EXPECT_TRUE(less(cellsOf(seven)[ColCreated], cellsOf(later)[ColCreated]));
}

TEST(OpportunityRules, EachActionOnlyWhenItCanAct) {
    ActionInputs ready;
    ready.contact = ready.quote = ready.row = ready.stage = true;
    ready.rowStageId = 3;
    ready.pickedStageId = 4;
    EXPECT_EQ(ActionsFor(ready), (EnabledActions{true, true, true, true, true}));

    ActionInputs in = ready;
    in.pickedStageId = 3; // already in that stage
    EXPECT_EQ(ActionsFor(in), (EnabledActions{true, true, false, true, true}));
    in = ready;
    in.quote = false; // nothing to take from the quote; the stage can still change
    EXPECT_EQ(ActionsFor(in), (EnabledActions{false, false, true, true, true}));
    in = ready;
    in.row = false;
    EXPECT_EQ(ActionsFor(in), (EnabledActions{true, false, false, false, true}));
    in = ready;
    in.stage = false;
    EXPECT_EQ(ActionsFor(in), (EnabledActions{false, true, false, true, true}));
    in = ready;
    in.busy = true; // a write runs: nothing else starts
    EXPECT_EQ(ActionsFor(in), EnabledActions{});
}

TEST(OpportunityRules, NewFromQuoteSendsTheQuoteInTheStagePicked) {
    EXPECT_EQ(
        Members(NewOpportunityRecord(51, kQuote, 3)),
        (QStringList{"ContactID=51", "ProjectedRevenueHigh=12480.5", "ProjectedRevenueLow=12480.5",
                     "OpportunityTitle=Office network refresh <Q1001>",
                     "OpportunityNotes=" + kQuoteNotes, "StageID=3"}));
    // A total that is no number and no notes: both left out.
    EXPECT_EQ(Members(NewOpportunityRecord(51, {"Q2", "Spares", "", std::nullopt}, 1)),
              (QStringList{"ContactID=51", "OpportunityTitle=Spares <Q2>", "StageID=1"}));
}

TEST(OpportunityRules, NotesAreAppendedOnce) {
    const QString appended = QStringLiteral("Two floors.\r\n\r\n") + kQuoteNotes;
    EXPECT_EQ(NotesWithQuote(QStringLiteral("Two floors.\n"), kQuoteNotes), appended);
    EXPECT_EQ(NotesWithQuote(appended, kQuoteNotes), std::nullopt);
    // The CRM may hand the notes back with other line ends and without the trailing ones.
    QString lf = kQuoteNotes;
    EXPECT_EQ(NotesWithQuote(lf.replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                             kQuoteNotes + QStringLiteral("\r\n\r\n")),
              std::nullopt);
    EXPECT_EQ(NotesWithQuote(QString(), kQuoteNotes + QStringLiteral("\r\n\r\n")), kQuoteNotes);
    EXPECT_EQ(NotesWithQuote(QStringLiteral("Anything"), QStringLiteral(" \r\n")), std::nullopt);
}

TEST(OpportunityRules, UpdateFromQuoteAndMoveToStage) {
    const QStringList revenue{"ContactID=51", "ProjectedRevenueHigh=12480.5",
                              "ProjectedRevenueLow=12480.5"};
    EXPECT_EQ(Members(UpdateFromQuoteRecord(51, kQuote, true, QStringLiteral("Two floors."))),
              revenue + QStringList{"OpportunityNotes=Two floors.\r\n\r\n" + kQuoteNotes});
    EXPECT_EQ(Members(UpdateFromQuoteRecord(51, kQuote, true, kQuoteNotes)), revenue);
    EXPECT_EQ(Members(UpdateFromQuoteRecord(51, kQuote, false, QString())), revenue);
    QuoteFacts noTotal = kQuote;
    noTotal.total.reset();
    EXPECT_EQ(UpdateFromQuoteRecord(51, noTotal, true, kQuoteNotes).Count(), 0u);
    EXPECT_EQ(Members(UpdateFromQuoteRecord(51, noTotal, true, QString())),
              (QStringList{"ContactID=51", "OpportunityNotes=" + kQuoteNotes}));
    EXPECT_EQ(Members(MoveToStageRecord(5)), QStringList{"StageID=5"});
}
