#pragma once
// Opportunities (table "Lead") on /opportunities and their stages (table
// "Stage") on /opportunities/stages. A new opportunity needs a stage: the given
// StageID, else the application's default stage, read once per connection.

#include "rest/RestQuery.h"
#include "rest/TableMapping.h"

namespace tessary::detail {

class StageMapping final : public TableMapping {
public:
    explicit StageMapping(RestSession& session);
    RpcValue Query(const RpcStruct& query, std::int32_t limit, std::int32_t page,
                   const RpcArray& fields) override;
    // The Id of the stage new opportunities get: the application's default (an
    // Id or a stage's name), else the first stage by order.
    const std::string& DefaultStageId();

private:
    RestSession& session_;
    FieldTable fields_;
    std::string defaultStage_;
};

class OpportunityMapping final : public TableMapping {
public:
    OpportunityMapping(RestSession& session, StageMapping& stages);
    RpcValue Query(const RpcStruct& query, std::int32_t limit, std::int32_t page,
                   const RpcArray& fields) override;
    RpcValue Load(std::int32_t id, const RpcArray& fields) override;
    RpcValue Add(const RpcStruct& values) override;
    RpcValue Update(std::int32_t id, const RpcStruct& values) override;
    RpcValue Delete(std::int32_t id) override;

private:
    Json Body(const RpcStruct& values, std::vector<std::string>& sent) const;

    RestSession& session_;
    StageMapping& stages_;
    FieldTable fields_;
};

} // namespace tessary::detail
