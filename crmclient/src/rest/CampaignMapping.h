#pragma once
// Action sets (table "ActionSequence", runActionSequence) as the published
// campaigns' sequences: REST v2 has no action sets. Each sequence is one record
// "<campaign> - <sequence>"; the sequence -> campaign map is kept per connection.

#include "rest/RestQuery.h"
#include "rest/TableMapping.h"

#include <map>

namespace tessary::detail {

class CampaignMapping final : public TableMapping {
public:
    explicit CampaignMapping(RestSession& session);
    RpcValue Query(const RpcStruct& query, std::int32_t limit, std::int32_t page,
                   const RpcArray& fields) override;
    // Adds the contact to the sequence: XML-RPC's answer, one struct
    // {Action, Message, IsError}.
    RpcValue Run(std::int32_t contact, std::int32_t sequence);

private:
    Json Sequences();

    RestSession& session_;
    FieldTable fields_;
    std::map<std::int32_t, std::string> campaignOf_;
};

} // namespace tessary::detail
