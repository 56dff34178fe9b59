#include "rest/NoteMapping.h"

#include "rest/RestFilter.h"

#include <algorithm>

namespace tessary::detail {
namespace {

// ContactAction fields with no counterpart on a note: left out when written.
constexpr const char* kNoCounterpart[] = {"ActionDate",   "CompletionDate", "EndDate",
                                          "CreationDate", "UserID",         "OpportunityId",
                                          "Priority",     "ObjectType",     "IsAppointment"};

constexpr std::pair<const char*, const char*> kWritten[] = {
    {"ActionDescription", "title"}, {"CreationNotes", "text"}, {"ActionType", "type"}};

// The title filter: a bare value matches anywhere in the title, "text*" at its start.
void PlanTitle(QueryPlan& plan, const FieldRule& rule, const std::string& pattern) {
    const bool inner = pattern.size() > 2 && pattern.front() == '%' && pattern.back() == '%';
    const std::string text = inner ? pattern.substr(1, pattern.size() - 2) : pattern;
    if (inner && text.find('%') == std::string::npos && CanCarry(text)) {
        plan.clauses.push_back("title==" + text);
        return;
    }
    const FilterValue value = ReadPattern(pattern);
    PlanMember(plan, rule, RpcValue::String(pattern));
    if (value.form == FilterValue::Form::Exact) // the server's match is wider: narrowed here
        plan.checks.push_back([read = rule.read, pattern](const Json& note) {
            return PatternMatches(pattern, read(note).StringValue());
        });
}

} // namespace

NoteMapping::NoteMapping(RestSession& session, UserMapping& users)
    : TableMapping("ContactAction"), session_(session), users_(users),
      fields_("ContactAction",
              {
                  {"Id", "id", "id", IdAt("id", "ContactAction")},
                  {"ContactId", "contact_id", "contact_id", IdAt("contact_id", "Contact")},
                  {"ActionDescription", "title", "title", TextAt("title")},
                  {"CreationNotes", "text", "", TextAt("text")},
                  {"ActionType", "type", "", TextAt("type")},
                  {"CreationDate", "create_time", "", TimeAt("create_time")},
                  {"LastUpdated", "update_time", "", TimeAt("update_time")},
              }) {}

RpcValue NoteMapping::Query(const RpcStruct& query, std::int32_t limit, std::int32_t page,
                            const RpcArray& fields) {
    std::string path = "/notes";
    QueryPlan plan;
    for (const auto& [name, value] : query.Members()) {
        std::int32_t contact = 0;
        if (name == "ContactId" && IdOfValue(value, contact)) {
            path = "/contacts/" + IdText(contact) + "/notes";
            plan.none = contact <= 0;
        } else if (name == "ActionDescription")
            PlanTitle(plan, fields_.Rule(name), value.StringValue());
        else
            PlanMember(plan, fields_.Rule(name), value);
    }
    const ListSource notes{path, "notes", {}, 1000};
    try {
        return ReadRecordPage(session_, notes, plan, fields_, fields, limit, page);
    } catch (const RestHttpError& e) {
        // A contact that does not exist has no notes, as XML-RPC answers.
        if (e.Status() != 404 || path == "/notes")
            throw;
        return RpcValue::Array(std::make_shared<RpcArray>());
    }
}

std::optional<Json> NoteMapping::Find(std::int32_t id) {
    const Json answer = session_.Call(HttpMethod::Get, "/notes",
                                      {{"filter", "id==" + IdText(id)}, {"page_size", "1"}});
    const auto notes = answer.is_object() ? answer.find("notes") : answer.end();
    if (!answer.is_object() || notes == answer.end() || !notes->is_array() || notes->empty())
        return std::nullopt;
    return notes->front();
}

RpcValue NoteMapping::Load(std::int32_t id, const RpcArray& fields) {
    const auto note = Find(id);
    if (!note)
        RecordNotFound("ContactAction", id);
    return RpcValue::Struct(std::make_shared<RpcStruct>(fields_.Record(*note, fields)));
}

RpcValue NoteMapping::Add(const RpcStruct& values) {
    std::int32_t contact = 0;
    if (!IdOfValue(values.Item("ContactId"), contact) || contact <= 0)
        throw RestFault("400", "[InvalidParameter]A note needs the ContactId of its contact");
    Json body = Json::object();
    for (const auto& member : values.Members()) {
        const std::string& name = member.first; // clang 14 cannot capture a structured binding
        const RpcValue& value = member.second;
        const auto written = std::find_if(std::begin(kWritten), std::end(kWritten),
                                          [&](const auto& f) { return name == f.first; });
        if (written != std::end(kWritten))
            body[written->second] = value.StringValue();
        else if (std::find_if(std::begin(kNoCounterpart), std::end(kNoCounterpart),
                              [&](const char* f) { return name == f; }) != std::end(kNoCounterpart))
            LeftOut("ContactAction." + name + " has no counterpart on a note; it was left out");
        else if (name != "ContactId")
            NoFieldFound("ContactAction", name);
    }
    body["user_id"] = users_.OwnUserId();
    const Json created =
        session_.Call(HttpMethod::Post, "/contacts/" + IdText(contact) + "/notes", {}, &body);
    return RpcValue::Integer(Id32(created.value("id", Json()), "ContactAction"));
}

RpcValue NoteMapping::Delete(std::int32_t id) {
    const auto note = Find(id);
    if (!note)
        return RpcValue::Boolean(false);
    const std::int32_t contact = Id32(note->value("contact_id", Json()), "Contact");
    return RpcValue::Boolean(session_
                                 .CallIfFound(HttpMethod::Delete, "/contacts/" + IdText(contact) +
                                                                      "/notes/" + IdText(id))
                                 .has_value());
}

} // namespace tessary::detail
