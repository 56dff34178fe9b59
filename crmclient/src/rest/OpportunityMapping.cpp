#include "rest/OpportunityMapping.h"

#include <algorithm>
#include <limits>

namespace tessary::detail {
namespace {

std::string IdTextOf(const Json& value) {
    return value.is_string() ? value.get<std::string>() : value.is_number() ? value.dump() : "";
}

bool IsDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// Lead fields written as they are named in a request, and how.
enum class Kind { Id, Text, Number };
struct WrittenField {
    const char* name;
    const char* property;
    Kind kind;
};
constexpr WrittenField kWritten[] = {
    {"ContactID", "contact_id", Kind::Id},
    {"StageID", "stage_id", Kind::Id},
    {"OpportunityTitle", "opportunity_title", Kind::Text},
    {"OpportunityNotes", "opportunity_notes", Kind::Text},
    {"ProjectedRevenueLow", "projected_revenue_low", Kind::Number},
    {"ProjectedRevenueHigh", "projected_revenue_high", Kind::Number},
};

const ListSource kStages{"/opportunities/stages", "stages", {}, 1000};

} // namespace

StageMapping::StageMapping(RestSession& session)
    : TableMapping("Stage"), session_(session),
      fields_("Stage",
              {
                  {"Id", "id", "", IdAt("id", "Stage")},
                  {"StageName", "name", "", TextAt("name")},
                  {"StageOrder", "order", "", IntegerAt("order")},
                  {"TargetNumDays", "target_number_days", "", IntegerAt("target_number_days")},
              }) {}

RpcValue StageMapping::Query(const RpcStruct& query, std::int32_t limit, std::int32_t page,
                             const RpcArray& fields) {
    return ReadRecordPage(session_, kStages, PlanQuery(fields_, query), fields_, fields, limit,
                          page);
}

const std::string& StageMapping::DefaultStageId() {
    if (!defaultStage_.empty())
        return defaultStage_;
    const auto config =
        session_.CallIfFound(HttpMethod::Get, "/settings/applications:getConfiguration");
    std::string named;
    if (config && config->is_object() && config->contains("opportunity"))
        named = IdTextOf((*config)["opportunity"].value("default_stage", Json()));
    if (IsDigits(named))
        return defaultStage_ = named;
    const Json stages = ReadWholeList(session_, kStages, {}, 10000);
    const Json* first = nullptr;
    for (const Json& stage : stages) {
        if (!named.empty() && TextOf(stage, "name") == named)
            return defaultStage_ = IdTextOf(stage.value("id", Json()));
        const auto order = [](const Json& s) {
            return s.value("order", std::numeric_limits<std::int64_t>::max());
        };
        if (!first || order(stage) < order(*first))
            first = &stage;
    }
    if (!first)
        throw RestFault("400", "[InvalidParameter]The CRM has no opportunity stage to put a "
                               "new opportunity in");
    return defaultStage_ = IdTextOf(first->value("id", Json()));
}

OpportunityMapping::OpportunityMapping(RestSession& session, StageMapping& stages)
    : TableMapping("Lead"), session_(session), stages_(stages),
      fields_("Lead",
              {
                  {"Id", "id", "", IdAt("id", "Lead")},
                  {"ContactID", "contact", "contact_id",
                   [](const Json& r) {
                       return r.contains("contact") ? IdIn("contact", "id", "Contact")(r)
                                                    : IdAt("contact_id", "Contact")(r);
                   }},
                  {"OpportunityTitle", "opportunity_title", "opportunity_title",
                   TextAt("opportunity_title")},
                  {"OpportunityNotes", "opportunity_notes", "", TextAt("opportunity_notes")},
                  {"ProjectedRevenueLow", "projected_revenue_low", "",
                   NumberAt("projected_revenue_low")},
                  {"ProjectedRevenueHigh", "projected_revenue_high", "",
                   NumberAt("projected_revenue_high")},
                  {"StageID", "stage", "stage_id", IdIn("stage", "id", "Stage")},
                  {"DateCreated", "created_time", "", TimeAt("created_time")},
                  {"LastUpdated", "last_updated_time", "", TimeAt("last_updated_time")},
              }) {}

RpcValue OpportunityMapping::Query(const RpcStruct& query, std::int32_t limit, std::int32_t page,
                                   const RpcArray& fields) {
    CheckPaging(limit, page);
    std::int32_t id = 0;
    if (query.Count() == 1 && query.Exists("Id") && IdOfValue(query.Item("Id"), id)) {
        const auto lead =
            page == 0 ? session_.CallIfFound(HttpMethod::Get, "/opportunities/" + IdText(id))
                      : std::nullopt;
        return RecordArray(fields_, lead ? Json::array({*lead}) : Json::array(), fields);
    }
    const ListSource leads{"/opportunities", "opportunities", {}, 1000};
    Json records = ReadQueryPage(session_, leads, PlanQuery(fields_, query), limit, page);
    SortById(records, "Lead");
    return RecordArray(fields_, records, fields);
}

RpcValue OpportunityMapping::Load(std::int32_t id, const RpcArray& fields) {
    const auto lead = session_.CallIfFound(HttpMethod::Get, "/opportunities/" + IdText(id));
    if (!lead)
        RecordNotFound("Lead", id);
    return RpcValue::Struct(std::make_shared<RpcStruct>(fields_.Record(*lead, fields)));
}

Json OpportunityMapping::Body(const RpcStruct& values, std::vector<std::string>& sent) const {
    Json body = Json::object();
    for (const auto& member : values.Members()) {
        const std::string& name = member.first; // clang 14 cannot capture a structured binding
        const RpcValue& value = member.second;
        const auto field = std::find_if(std::begin(kWritten), std::end(kWritten),
                                        [&](const WrittenField& f) { return name == f.name; });
        if (field == std::end(kWritten))
            NoFieldFound("Lead", name);
        if (field->kind == Kind::Id)
            body[field->property] = IdText(value.IntegerValue());
        else if (field->kind == Kind::Number)
            body[field->property] = value.DoubleValue();
        else
            body[field->property] = value.StringValue();
        sent.push_back(field->property);
    }
    return body;
}

RpcValue OpportunityMapping::Add(const RpcStruct& values) {
    std::vector<std::string> sent;
    Json body = Body(values, sent);
    if (!body.contains("stage_id"))
        body["stage_id"] = stages_.DefaultStageId();
    const Json created = session_.Call(HttpMethod::Post, "/opportunities", {}, &body);
    return RpcValue::Integer(Id32(created.value("id", Json()), "Lead"));
}

RpcValue OpportunityMapping::Update(std::int32_t id, const RpcStruct& values) {
    std::vector<std::string> sent;
    const Json body = Body(values, sent);
    QueryParams mask;
    for (const std::string& property : sent)
        mask.emplace_back("update_mask", property);
    session_.Call(HttpMethod::Patch, "/opportunities/" + IdText(id), mask, &body);
    return RpcValue::Integer(id);
}

RpcValue OpportunityMapping::Delete(std::int32_t id) {
    return RpcValue::Boolean(
        session_.CallIfFound(HttpMethod::Delete, "/opportunities/" + IdText(id)).has_value());
}

} // namespace tessary::detail
