#include "rest/RestQuery.h"

#include "Guard.h"
#include "rest/RecordPageParser.h"
#include "rest/RestFilter.h"
#include "rest/TableMapping.h"

#include <algorithm>

namespace tessary::detail {
namespace {

// The most records read to match on our side: 20 pages of 1,000.
constexpr std::size_t kMostRecordsRead = 20000;

std::string NumberText(const RpcValue& value) {
    if (value.Type() == RpcType::Boolean)
        return value.BooleanValue() ? "true" : "false";
    return value.StringValue();
}

// The API's record Id filters: "id", "contact_id", "company_id", ...
bool IsIdFilter(const std::string& filter) {
    return filter == "id" || (filter.size() > 3 && filter.ends_with("_id"));
}

bool IsNumber(const RpcValue& value) {
    return value.Type() == RpcType::Integer || value.Type() == RpcType::Double ||
           value.Type() == RpcType::Boolean;
}

} // namespace

bool QueryPlan::Keeps(const Json& record) const {
    return std::all_of(checks.begin(), checks.end(),
                       [&](const auto& check) { return check(record); });
}

QueryParams QueryPlan::Params(QueryParams extra) const {
    if (!clauses.empty())
        extra.insert(extra.begin(), {"filter", JoinClauses(clauses)});
    return extra;
}

void PlanMember(QueryPlan& plan, const FieldRule& rule, const RpcValue& value) {
    const Reader read = rule.read;
    std::int32_t id = 0;
    if (IsIdFilter(rule.filter) && IdOfValue(value, id) && id <= 0) {
        plan.none = true;
        return;
    }
    if (IsNumber(value)) {
        if (!rule.filter.empty()) {
            plan.clauses.push_back(rule.filter + "==" + NumberText(value));
            return;
        }
        const double wanted = value.DoubleValue();
        plan.checks.push_back([read, wanted](const Json& r) {
            const RpcValue got = read(r);
            return !got.IsEmpty() && got.DoubleValue() == wanted;
        });
    } else {
        const std::string pattern = value.StringValue();
        const FilterValue filter = ReadPattern(pattern);
        if (filter.form == FilterValue::Form::Any)
            return;
        if (filter.form != FilterValue::Form::OurSide && !rule.filter.empty()) {
            plan.clauses.push_back(Clause(rule.filter, filter));
            return;
        }
        plan.checks.push_back([read, pattern](const Json& r) {
            return PatternMatches(pattern, read(r).StringValue());
        });
    }
    if (!rule.property.empty())
        plan.properties.push_back(rule.property);
}

QueryPlan PlanQuery(const FieldTable& table, const RpcStruct& query) {
    QueryPlan plan;
    for (const auto& [name, value] : query.Members())
        PlanMember(plan, table.Rule(name), value);
    return plan;
}

void CheckPaging(std::int32_t limit, std::int32_t page) {
    if (limit < 1 || limit > 1000)
        throw RestFault("400", "[InvalidParameter]Limit must be between 1 and 1000, got " +
                                   std::to_string(limit));
    if (page < 0)
        throw RestFault("400",
                        "[InvalidParameter]Page must not be negative, got " + std::to_string(page));
}

Json ReadQueryPage(RestSession& session, const ListSource& list, const QueryPlan& plan,
                   std::int32_t limit, std::int32_t page) {
    CheckPaging(limit, page);
    if (plan.none)
        return Json::array();
    const QueryParams params = plan.Params(list.params);
    if (plan.checks.empty() && limit <= list.largestPage) {
        bool more = false;
        return session.Page(list.path, params, list.listKey, limit, page, more);
    }
    const std::size_t skip = static_cast<std::size_t>(page) * static_cast<std::size_t>(limit);
    const std::size_t want = skip + static_cast<std::size_t>(limit);
    Json kept = Json::array();
    std::size_t read = 0;
    bool complete = false;
    session.EachPage(list.path, params, list.listKey, list.largestPage, [&](Json& records) {
        if (read >= kMostRecordsRead)
            throw LibraryError(kGeneralFailure,
                               "The search cannot be narrowed on the server; more than 20,000 "
                               "records would have to be read");
        read += records.size();
        for (Json& record : records)
            if (plan.Keeps(record) && kept.size() < want)
                kept.push_back(std::move(record));
        complete = kept.size() >= want;
        return !complete;
    });
    return CutPage(std::move(kept), limit, page);
}

RpcValue ReadRecordPage(RestSession& session, const ListSource& list, const QueryPlan& plan,
                        const FieldTable& table, const RpcArray& fields, std::int32_t limit,
                        std::int32_t page) {
    CheckPaging(limit, page);
    if (plan.none)
        return RpcValue::Array(std::make_shared<RpcArray>());
    auto rules = table.Rules(fields);
    if (!plan.checks.empty() || limit > list.largestPage || !RecordPageParser::CanRead(rules))
        return RecordArray(table, ReadQueryPage(session, list, plan, limit, page), fields);
    RecordPageParser parser(list.listKey, std::move(rules), session.Buffers());
    const auto found = session.WalkTo(
        list.path, plan.Params(list.params), limit, page,
        [&](const std::string& body, std::string& next) { return parser.Parse(body, next); });
    return RpcValue::Array(found ? parser.Records() : std::make_shared<RpcArray>());
}

Json ReadWholeList(RestSession& session, const ListSource& list, const QueryPlan& plan,
                   std::size_t most) {
    Json kept = Json::array();
    if (plan.none)
        return kept;
    std::size_t read = 0;
    session.EachPage(list.path, plan.Params(list.params), list.listKey, list.largestPage,
                     [&](Json& records) {
                         read += records.size();
                         if (read > most)
                             throw LibraryError(kGeneralFailure,
                                                "The list at " + list.path + " holds more than " +
                                                    std::to_string(most) +
                                                    " records, more than can be read for a search");
                         for (Json& record : records)
                             if (plan.Keeps(record))
                                 kept.push_back(std::move(record));
                         return true;
                     });
    return kept;
}

Json CutPage(Json all, std::int32_t limit, std::int32_t page) {
    const std::size_t from = static_cast<std::size_t>(page) * static_cast<std::size_t>(limit);
    Json out = Json::array();
    for (std::size_t i = from; i < all.size() && i < from + static_cast<std::size_t>(limit); ++i)
        out.push_back(std::move(all[i]));
    return out;
}

void SortById(Json& records, const std::string& record) {
    std::vector<std::pair<std::int32_t, Json>> keyed;
    keyed.reserve(records.size());
    for (Json& r : records)
        keyed.emplace_back(r.is_object() && r.contains("id") ? Id32(r["id"], record) : 0,
                           std::move(r));
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    records = Json::array();
    for (auto& [id, r] : keyed)
        records.push_back(std::move(r));
}

} // namespace tessary::detail
