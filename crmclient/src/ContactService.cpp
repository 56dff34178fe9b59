#include "tessary/ContactService.h"

#include "Guard.h"
#include "ServiceCall.h"

namespace tessary {

using detail::Expect;
using detail::Guarded;
using detail::Invoke;
using detail::LockConnection;
using detail::SendKey;

namespace {

// The calls that send the contact Id and one more Id, in that order.
std::optional<RpcValue> InvokeTwoIds(const std::weak_ptr<clsInfusionsoftAPI>& connection,
                                     const char* method, Expect expect, std::int32_t contactId,
                                     std::int32_t otherId) {
    auto api = LockConnection(connection);
    return Invoke(*api, method, SendKey::Yes, expect, [&](RpcParamList& p) {
        p.AddInteger(contactId);
        p.AddInteger(otherId);
    });
}

} // namespace

std::optional<std::int32_t> ContactService::Add(const RpcStruct& p_sctData) {
    return Guarded("Add", std::optional<std::int32_t>(), [&] {
        auto api = LockConnection(connection_);
        const auto result = Invoke(*api, "ContactService.add", SendKey::Yes, Expect::Integer,
                                   [&](RpcParamList& p) { p.AddStruct(p_sctData); });
        return std::optional<std::int32_t>(result ? result->IntegerValue() : 0);
    });
}

std::optional<std::int32_t> ContactService::Update(std::int32_t p_lngContactId,
                                                   const RpcStruct& p_sctData) {
    return Guarded("Update", std::optional<std::int32_t>(), [&] {
        auto api = LockConnection(connection_);
        const auto result = Invoke(*api, "ContactService.update", SendKey::Yes, Expect::Integer,
                                   [&](RpcParamList& p) {
                                       p.AddInteger(p_lngContactId);
                                       p.AddStruct(p_sctData);
                                   });
        return std::optional<std::int32_t>(result ? result->IntegerValue() : 0);
    });
}

std::shared_ptr<RpcArray> ContactService::FindByEmail(const std::string& p_strEmail,
                                                      const RpcArray& p_arrSelectedFields) {
    return Guarded("FindByEmail", std::shared_ptr<RpcArray>(), [&] {
        auto api = LockConnection(connection_);
        const auto result = Invoke(*api, "ContactService.findByEmail", SendKey::Yes, Expect::Array,
                                   [&](RpcParamList& p) {
                                       p.AddString(p_strEmail);
                                       p.AddArray(p_arrSelectedFields);
                                   });
        return result ? result->ArrayValue() : nullptr;
    });
}

std::shared_ptr<RpcStruct> ContactService::Load(std::int32_t p_lngID,
                                                const RpcArray& p_arrSelectedFields) {
    return Guarded("Load", std::shared_ptr<RpcStruct>(), [&] {
        auto api = LockConnection(connection_);
        const auto result =
            Invoke(*api, "ContactService.load", SendKey::Yes, Expect::Struct, [&](RpcParamList& p) {
                p.AddInteger(p_lngID);
                p.AddArray(p_arrSelectedFields);
            });
        return result ? result->StructValue() : nullptr;
    });
}

bool ContactService::AddToCampaign(std::int32_t p_lngContactId, std::int32_t p_lngCampaignId) {
    return Guarded("AddToCampaign", false, [&] {
        const auto r = InvokeTwoIds(connection_, "ContactService.addToCampaign", Expect::Boolean,
                                    p_lngContactId, p_lngCampaignId);
        return r ? r->BooleanValue() : false;
    });
}

std::int32_t ContactService::GetNextCampaignStep(std::int32_t p_lngContactId,
                                                 std::int32_t p_lngCampaignId) {
    return Guarded("GetNextCampaignStep", std::int32_t{0}, [&] {
        const auto r = InvokeTwoIds(connection_, "ContactService.getNextCampaignStep",
                                    Expect::Integer, p_lngContactId, p_lngCampaignId);
        return r ? r->IntegerValue() : 0;
    });
}

bool ContactService::PauseCampaign(std::int32_t p_lngContactId, std::int32_t p_lngCampaignId) {
    return Guarded("PauseCampaign", false, [&] {
        const auto r = InvokeTwoIds(connection_, "ContactService.pauseCampaign", Expect::Boolean,
                                    p_lngContactId, p_lngCampaignId);
        return r ? r->BooleanValue() : false;
    });
}

bool ContactService::RemoveFromCampaign(std::int32_t p_lngContactId, std::int32_t p_lngCampaignId) {
    return Guarded("RemoveFromCampaign", false, [&] {
        const auto r = InvokeTwoIds(connection_, "ContactService.removeFromCampaign",
                                    Expect::Boolean, p_lngContactId, p_lngCampaignId);
        return r ? r->BooleanValue() : false;
    });
}

bool ContactService::ResumeCampaignForContact(std::int32_t p_lngContactId,
                                              std::int32_t p_lngCampaignId) {
    return Guarded("ResumeCampaignForContact", false, [&] {
        const auto r = InvokeTwoIds(connection_, "ContactService.resumeCampaignForContact",
                                    Expect::Boolean, p_lngContactId, p_lngCampaignId);
        return r ? r->BooleanValue() : false;
    });
}

std::int32_t ContactService::RescheduleCampaignStep(const RpcArray& p_arrContactIds,
                                                    std::int32_t p_lngCampaignStepId) {
    return Guarded("RescheduleCampaignStep", std::int32_t{0}, [&] {
        auto api = LockConnection(connection_);
        const auto result = Invoke(*api, "ContactService.rescheduleCampaignStep", SendKey::Yes,
                                   Expect::Integer, [&](RpcParamList& p) {
                                       p.AddArray(p_arrContactIds);
                                       p.AddInteger(p_lngCampaignStepId);
                                   });
        return result ? result->IntegerValue() : 0;
    });
}

bool ContactService::AddToGroup(std::int32_t p_lngContactId, std::int32_t p_lngGroupId) {
    return Guarded("AddToGroup", false, [&] {
        const auto r = InvokeTwoIds(connection_, "ContactService.addToGroup", Expect::Boolean,
                                    p_lngContactId, p_lngGroupId);
        return r ? r->BooleanValue() : false;
    });
}

bool ContactService::RemoveFromGroup(std::int32_t p_lngContactId, std::int32_t p_lngGroupId) {
    return Guarded("RemoveFromGroup", false, [&] {
        const auto r = InvokeTwoIds(connection_, "ContactService.removeFromGroup", Expect::Boolean,
                                    p_lngContactId, p_lngGroupId);
        return r ? r->BooleanValue() : false;
    });
}

std::shared_ptr<RpcArray> ContactService::RunActionSequence(std::int32_t p_lngContactId,
                                                            std::int32_t p_lngActionSetId) {
    return Guarded("RunActionSequence", std::shared_ptr<RpcArray>(), [&] {
        const auto r = InvokeTwoIds(connection_, "ContactService.runActionSequence", Expect::Array,
                                    p_lngContactId, p_lngActionSetId);
        return r ? r->ArrayValue() : nullptr;
    });
}

} // namespace tessary
