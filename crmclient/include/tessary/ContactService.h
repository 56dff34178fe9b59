#pragma once
// The CRM's contact methods ("ContactService.*"). A call fails when the answer's
// status is not ParamsReturned: the "XML RPC Error" box is shown and the operation
// returns the default named in its comment. Unexpected failures (no answer at all,
// a normal answer holding no value, a dead connection) show the "Tessary Error"
// report and return the same default (std::nullopt where noted).

#include "tessary/Export.h"
#include "tessary/RpcValue.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tessary {

class clsInfusionsoftAPI;

// A connection's contact methods (clsInfusionsoftAPI::ContactService()).
class TESSARY_API ContactService {
public:
    // "ContactService.add": the new contact's Id; 0 when the call failed,
    // std::nullopt on an unexpected failure.
    std::optional<std::int32_t> Add(const RpcStruct& p_sctData);
    // "ContactService.update": the Id returned; 0 when the call failed,
    // std::nullopt on an unexpected failure.
    std::optional<std::int32_t> Update(std::int32_t p_lngContactId, const RpcStruct& p_sctData);
    // "ContactService.findByEmail": the matching contacts (array of structs, possibly
    // empty); nullptr on failure.
    std::shared_ptr<RpcArray> FindByEmail(const std::string& p_strEmail,
                                          const RpcArray& p_arrSelectedFields);
    // "ContactService.load": the contact; nullptr on failure.
    std::shared_ptr<RpcStruct> Load(std::int32_t p_lngID, const RpcArray& p_arrSelectedFields);
    // The two-Id calls send the contact Id first.
    // "ContactService.addToCampaign": the flag returned; false on failure.
    bool AddToCampaign(std::int32_t p_lngContactId, std::int32_t p_lngCampaignId);
    // "ContactService.getNextCampaignStep": the next step's Id; 0 on failure.
    std::int32_t GetNextCampaignStep(std::int32_t p_lngContactId, std::int32_t p_lngCampaignId);
    // "ContactService.pauseCampaign": the flag returned; false on failure.
    bool PauseCampaign(std::int32_t p_lngContactId, std::int32_t p_lngCampaignId);
    // "ContactService.removeFromCampaign": the flag returned; false on failure.
    bool RemoveFromCampaign(std::int32_t p_lngContactId, std::int32_t p_lngCampaignId);
    // "ContactService.resumeCampaignForContact": the flag returned; false on failure.
    bool ResumeCampaignForContact(std::int32_t p_lngContactId, std::int32_t p_lngCampaignId);
    // "ContactService.rescheduleCampaignStep": the int returned; 0 on failure.
    std::int32_t RescheduleCampaignStep(const RpcArray& p_arrContactIds,
                                        std::int32_t p_lngCampaignStepId);
    // "ContactService.addToGroup" (a tag): the flag returned; false on failure.
    bool AddToGroup(std::int32_t p_lngContactId, std::int32_t p_lngGroupId);
    // "ContactService.removeFromGroup": the flag returned; false on failure.
    bool RemoveFromGroup(std::int32_t p_lngContactId, std::int32_t p_lngGroupId);
    // "ContactService.runActionSequence": the array the server returns; nullptr on
    // failure.
    std::shared_ptr<RpcArray> RunActionSequence(std::int32_t p_lngContactId,
                                                std::int32_t p_lngActionSetId);

private:
    friend class clsInfusionsoftAPI;
    explicit ContactService(std::weak_ptr<clsInfusionsoftAPI> connection)
        : connection_(std::move(connection)) {}
    std::weak_ptr<clsInfusionsoftAPI> connection_;
};

} // namespace tessary
