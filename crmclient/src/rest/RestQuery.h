#pragma once
// An XML-RPC query on a REST list: which members go to the server as filter
// clauses and which are matched on our side, and page P of L matches read from
// the list's pages.

#include "rest/RestRecords.h"
#include "rest/RestSession.h"

#include <functional>
#include <string>
#include <vector>

namespace tessary::detail {

struct QueryPlan {
    std::vector<std::string> clauses;                     // sent in the filter
    std::vector<std::function<bool(const Json&)>> checks; // matched on our side
    std::vector<std::string> properties;                  // what the checks read
    // A record Id of 0 or less was asked for: no record has one, so nothing is sent (the
    // API refuses such an Id in a filter, where XML-RPC finds nothing).
    bool none = false;
    bool Keeps(const Json& record) const;
    // The query parameters: the filter (when there are clauses) and `extra`.
    QueryParams Params(QueryParams extra = {}) const;
};

// Adds one query member: a clause when the field has a filter and the value can
// be carried (a number, "text" or "text%"), nothing for "%", else a check.
void PlanMember(QueryPlan& plan, const FieldRule& rule, const RpcValue& value);
// Every member of the query, by the table's rules.
QueryPlan PlanQuery(const FieldTable& table, const RpcStruct& query);

// Where a list comes from.
struct ListSource {
    std::string path;
    std::string listKey;
    QueryParams params; // besides the filter and the paging
    int largestPage = 1000;
};

// XML-RPC's bounds on a query's limit (1..1000) and page (from 0); a fault otherwise.
void CheckPaging(std::int32_t limit, std::int32_t page);

// Page `page` of `limit` records kept by the plan: the server's own page when
// nothing is matched on our side, else the list read until that page of matches
// is complete (failing rather than answering with part of the list past 20,000
// records read).
Json ReadQueryPage(RestSession& session, const ListSource& list, const QueryPlan& plan,
                   std::int32_t limit, std::int32_t page);

// The same page as XML-RPC records with the fields asked for. A page straight from
// the server whose fields are all leaves is read with simdjson (RecordPageParser),
// without a Json of the answer.
RpcValue ReadRecordPage(RestSession& session, const ListSource& list, const QueryPlan& plan,
                        const FieldTable& table, const RpcArray& fields, std::int32_t limit,
                        std::int32_t page);

// Every record of the list kept by the plan; past `most` records read it fails.
Json ReadWholeList(RestSession& session, const ListSource& list, const QueryPlan& plan,
                   std::size_t most);

// Page `page` of `limit` of a whole list.
Json CutPage(Json all, std::int32_t limit, std::int32_t page);

// The records in the order of their Ids (the API's Ids as numbers).
void SortById(Json& records, const std::string& record);

} // namespace tessary::detail
