#pragma once
// The opportunities window's decisions, apart from its widgets: whose opportunities it
// lists, the rows and their order, which actions can act, and the records the actions
// send. The quote's title, notes and revenue follow the Save Quote window's rules.

#include "pellwick/ProgramState.h"

#include <QString>
#include <QVariant>
#include <array>
#include <cstdint>
#include <optional>
#include <tessary/RpcValue.h>
#include <vector>

namespace pellwick::opportunities {

// Whose opportunities are listed: the contact the caller names (1 or more); else the
// contacts matching the open quote's e-mail addresses; with no quote open, the one the
// user picks in the contact search.
enum class ContactSource { Given, QuoteEmails, Search };
ContactSource WhoseOpportunities(std::int32_t givenContactId, bool documentOpen);

// The "Lead" fields the list reads; the contact's opportunities are queried by
// "ContactID" alone.
const tessary::RpcArray& OpportunityFields();
tessary::RpcStruct ContactOpportunitiesQuery(std::int32_t contactId);

// One opportunity as read. Dates are automation dates (0: none); a date the library
// could not read as one keeps its text.
struct OpportunityRow {
    std::int32_t id = 0;
    QString title;
    std::int32_t stageId = 0;
    std::optional<double> revenueLow;
    std::optional<double> revenueHigh;
    double created = 0;
    double updated = 0;
    QString createdText;
    QString updatedText;
    QString notes;
};
OpportunityRow OpportunityFromRecord(const tessary::RpcStruct& record);
// Each Id once (the first record read), newest (largest Id) first.
std::vector<OpportunityRow> NewestFirst(std::vector<OpportunityRow> rows);

// The list's columns, their captions, and one row's cells: the shown text and the key
// the column sorts by (numbers and dates by value, text ignoring case).
enum OpportunityColumn {
    ColTitle,
    ColStage,
    ColRevenueLow,
    ColRevenueHigh,
    ColCreated,
    ColUpdated,
    ColId
};
inline constexpr int kOpportunityColumnCount = 7;
const std::array<QString, kOpportunityColumnCount>& OpportunityColumnCaptions();
struct OpportunityCell {
    QString text;
    QVariant sortKey;
};
std::array<OpportunityCell, kOpportunityColumnCount>
OpportunityCells(const OpportunityRow& row, const StageCollection* stages);
// The stage's name; empty for none (0); "(Stage <Id>)" for a stage the collection lacks.
QString StageText(std::int32_t stageId, const StageCollection* stages);

// Which actions can act now.
struct ActionInputs {
    bool busy = false;    // a write is running
    bool contact = false; // a CRM contact is chosen
    bool quote = false;   // the window was opened with a quote open
    bool row = false;     // an opportunity is selected
    bool stage = false;   // a stage is picked
    std::int32_t rowStageId = 0;
    std::int32_t pickedStageId = 0;
};
struct EnabledActions {
    bool newFromQuote = false;
    bool updateFromQuote = false;
    bool moveToStage = false;
    bool openPage = false;
    bool find = false;
    friend bool operator==(const EnabledActions&, const EnabledActions&) = default;
};
EnabledActions ActionsFor(const ActionInputs& in);

// What the open quote gives an opportunity, read when an action writes.
struct QuoteFacts {
    QString number;
    QString name;
    QString notes; // the four notes joined as Save Quote joins them
    std::optional<double> total;
};

// "New from Quote": the contact, the quote's total as both revenue fields (left out
// when it is no number), the quote's name and number as the title, its notes (when
// there are any) and the stage.
tessary::RpcStruct NewOpportunityRecord(std::int32_t contactId, const QuoteFacts& quote,
                                        std::int32_t stageId);

// The opportunity's notes with the quote's appended: nothing to write when the quote has
// no notes or the opportunity already holds them (line ends and trailing blanks aside);
// the quote's notes alone when it has none; else both, a blank line between.
std::optional<QString> NotesWithQuote(const QString& existing, const QString& quoteNotes);

// "Update from Quote": the contact, the quote's total as both revenue fields and, when
// asked, the notes NotesWithQuote gives. Empty when there is nothing to write.
tessary::RpcStruct UpdateFromQuoteRecord(std::int32_t contactId, const QuoteFacts& quote,
                                         bool appendNotes, const QString& existingNotes);

// "Move to Stage": the stage alone.
tessary::RpcStruct MoveToStageRecord(std::int32_t stageId);

} // namespace pellwick::opportunities
