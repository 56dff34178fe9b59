#include "rest/CampaignMapping.h"

#include <cctype>

namespace tessary::detail {
namespace {

constexpr std::size_t kMostCampaigns = 10000;

bool Published(const Json& campaign) {
    const auto it = campaign.find("published_status");
    if (it == campaign.end())
        return false;
    if (it->is_boolean())
        return it->get<bool>();
    std::string text = it->is_string() ? it->get<std::string>() : std::string();
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text == "true" || text == "published";
}

std::string IdTextOf(const Json& record) {
    const Json id = record.value("id", Json());
    return id.is_string() ? id.get<std::string>() : id.dump();
}

} // namespace

CampaignMapping::CampaignMapping(RestSession& session)
    : TableMapping("ActionSequence"), session_(session),
      fields_("ActionSequence", {
                                    {"Id", "", "", IdAt("id", "campaign sequence")},
                                    {"TemplateName", "", "", TextAt("template_name")},
                                }) {}

// Every published campaign's sequences as {id, template_name}, in Id order.
Json CampaignMapping::Sequences() {
    const ListSource campaigns{"/campaigns", "campaigns", {}, 1000};
    Json records = Json::array();
    for (const Json& campaign : ReadWholeList(session_, campaigns, {}, kMostCampaigns)) {
        if (!campaign.is_object() || !Published(campaign))
            continue;
        const std::string campaignId = IdTextOf(campaign);
        const Json answer =
            session_.Call(HttpMethod::Get, "/campaigns/" + PathPart(campaignId) + "/sequences");
        const Json sequences =
            answer.is_object() ? answer.value("sequences", Json::array()) : Json::array();
        for (const Json& sequence : sequences) {
            const std::int32_t id = Id32(sequence.value("id", Json()), "campaign sequence");
            campaignOf_[id] = campaignId;
            records.push_back(
                {{"id", id},
                 {"template_name", TextOf(campaign, "name") + " - " + TextOf(sequence, "name")}});
        }
    }
    SortById(records, "campaign sequence");
    return records;
}

RpcValue CampaignMapping::Query(const RpcStruct& query, std::int32_t limit, std::int32_t page,
                                const RpcArray& fields) {
    CheckPaging(limit, page);
    const QueryPlan plan = PlanQuery(fields_, query);
    Json kept = Json::array();
    for (Json& record : Sequences())
        if (plan.Keeps(record))
            kept.push_back(std::move(record));
    return RecordArray(fields_, CutPage(std::move(kept), limit, page), fields);
}

RpcValue CampaignMapping::Run(std::int32_t contact, std::int32_t sequence) {
    if (!campaignOf_.count(sequence))
        Sequences();
    const auto campaign = campaignOf_.find(sequence);
    if (campaign == campaignOf_.end())
        RecordNotFound("ActionSequence", sequence);
    const Json body = {{"contact_ids", Json::array({IdText(contact)})}};
    const Json answer = session_.Call(HttpMethod::Post,
                                      "/campaigns/" + PathPart(campaign->second) + "/sequences/" +
                                          IdText(sequence) + ":addContacts",
                                      {}, &body);
    const Json results =
        answer.is_object() ? answer.value("add_to_sequence_results", Json::object()) : Json();
    const std::string result = TextOf(results, IdText(contact).c_str());
    if (result.empty())
        throw RestUnreadableAnswer("The CRM's answer names no result for contact " +
                                   IdText(contact));
    auto record = std::make_shared<RpcStruct>();
    record->AddString("Action", "Add to campaign sequence");
    record->AddString("Message", result);
    record->AddBoolean("IsError", result != "SUCCESS" && result != "ALREADY_IN_SEQUENCE");
    auto array = std::make_shared<RpcArray>();
    array->AddStruct(std::move(record));
    return RpcValue::Array(std::move(array));
}

} // namespace tessary::detail
