#pragma once
// The contact search apart from its window: which CRM queries a search text makes, and
// the list row that each returned record gives.

#include "pellwick/CrmAccess.h"

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace tessary {
class RpcArray;
class RpcStruct;
} // namespace tessary

namespace pellwick {

// One query: field name -> match value, in the order the members are sent.
using ContactQuery = std::vector<std::pair<QString, QString>>;

// The text without blanks (spaces) at either end; tabs and other white space stay.
QString TrimBlanks(const QString& text);
// The search box's text as it is searched: every tab removed, then blanks trimmed.
QString ContactSearchText(const QString& input);
// Digit text whose value fits a CRM Id (32-bit signed). Longer digit runs, signs and
// separators are not numeric: an "Id" beyond 32 bits draws a fault from the CRM.
bool IsNumericSearchText(const QString& text);
// The queries for the search box's text, in the order they run; none for a text that is
// empty once tabs and blanks are gone.
std::vector<ContactQuery> ContactSearchQueries(const QString& input);
// A query as the CRM takes it: a struct of text members.
tessary::RpcStruct ContactQueryData(const ContactQuery& query);
// The fields every search asks for: "Id", "Company", "FirstName", "LastName", "Email",
// "Phone1".
const tessary::RpcArray& ContactSearchFields();

// Column positions of the contact list.
enum ContactColumn { ColId, ColCompany, ColFirstName, ColLastName, ColPhone1, ColEmail };
inline constexpr int kContactColumnCount = 6;

// One row of the contact list: its key ("c" + Id) and its column texts. A field the
// record does not carry is empty text.
struct ContactRow {
    QString key;
    std::array<QString, kContactColumnCount> columns;
};
ContactRow ContactRowFromRecord(const tessary::RpcStruct& record);
// The Id a row key names: the first character dropped, blanks trimmed, read as a 32-bit
// number. Throws ProgramError (type mismatch, or overflow) when it names none.
std::int32_t ContactIdFromKey(const QString& key);

// The most records one contact query gives (its first page); a query that gives this
// many may have left others out.
inline constexpr int kContactQueryLimit = 1000;
// The results label: "None Found", or the count and " Contacts"; when a query was cut
// at its limit, also that not every match is listed and the search should be narrowed.
QString SearchResultsText(int total, bool cut);

// Runs one "Contact" query (limit 1000, first page) with the given data and fields: the
// records, or null when the call gave no result set.
using ContactQueryRunner = std::function<std::shared_ptr<tessary::RpcArray>(
    const tessary::RpcStruct& queryData, const tessary::RpcArray& selectedFields)>;
// The runner through the CRM door's connection; throws ProgramError when there is none.
ContactQueryRunner
SharedConnectionContactQuery(std::function<CrmServices()> crm = CrmServicesOrThrow);

} // namespace pellwick
