#include "tessary/DataService.h"

#include "Guard.h"
#include "ServiceCall.h"

namespace tessary {

using detail::Expect;
using detail::Guarded;
using detail::Invoke;
using detail::LockConnection;
using detail::Quiet;
using detail::SendKey;

std::int32_t DataService::Add(const std::string& p_strTable, const RpcStruct& p_sctValues) {
    return Guarded("Add", std::int32_t{0}, [&] {
        auto api = LockConnection(connection_);
        const auto result =
            Invoke(*api, "DataService.add", SendKey::Yes, Expect::Integer, [&](RpcParamList& p) {
                p.AddString(p_strTable);
                p.AddStruct(p_sctValues);
            });
        return result ? result->IntegerValue() : 0;
    });
}

std::shared_ptr<RpcStruct> DataService::Load(const std::string& p_strTable, std::int32_t p_lngID,
                                             const RpcArray& p_arrFields) {
    return Guarded("Load", std::shared_ptr<RpcStruct>(), [&] {
        auto api = LockConnection(connection_);
        const auto result =
            Invoke(*api, "DataService.load", SendKey::Yes, Expect::Struct, [&](RpcParamList& p) {
                p.AddString(p_strTable);
                p.AddInteger(p_lngID);
                p.AddArray(p_arrFields);
            });
        return result ? result->StructValue() : nullptr;
    });
}

std::optional<std::int32_t> DataService::Update(const std::string& p_strTable, std::int32_t p_lngID,
                                                const RpcStruct& p_sctValues) {
    return Guarded("Update", std::optional<std::int32_t>(), [&] {
        auto api = LockConnection(connection_);
        const auto result =
            Invoke(*api, "DataService.update", SendKey::Yes, Expect::Integer, [&](RpcParamList& p) {
                p.AddString(p_strTable);
                p.AddInteger(p_lngID);
                p.AddStruct(p_sctValues);
            });
        return std::optional<std::int32_t>(result ? result->IntegerValue() : 0);
    });
}

bool DataService::Delete(const std::string& p_strTable, std::int32_t p_lngID) {
    return Guarded("Delete", false, [&] {
        auto api = LockConnection(connection_);
        const auto result = Invoke(
            *api, "DataService.delete", SendKey::Yes, Expect::Boolean,
            [&](RpcParamList& p) {
                p.AddString(p_strTable);
                p.AddInteger(p_lngID);
            },
            Quiet::RecordNotFound);
        return result ? result->BooleanValue() : false;
    });
}

std::shared_ptr<RpcArray> DataService::FindByField(const std::string& p_strTable,
                                                   std::int32_t p_lngLimit, std::int32_t p_lngPage,
                                                   const std::string& p_strFieldName,
                                                   const RpcValue& p_varFieldValue,
                                                   const RpcArray& p_arrSelectedFields) {
    return Guarded("FindByField", std::shared_ptr<RpcArray>(), [&] {
        auto api = LockConnection(connection_);
        const auto result = Invoke(
            *api, "DataService.findByField", SendKey::Yes, Expect::Array,
            [&](RpcParamList& p) {
                p.AddString(p_strTable);
                p.AddInteger(p_lngLimit);
                p.AddInteger(p_lngPage);
                p.AddString(p_strFieldName);
                switch (p_varFieldValue.Type()) {
                case RpcType::Boolean:
                case RpcType::Integer:
                case RpcType::Double:
                case RpcType::String:
                    p.AddValue(p_varFieldValue);
                    break;
                default:
                    break; // dates and the rest are not sent; the server says what is missing
                }
                p.AddArray(p_arrSelectedFields);
            },
            Quiet::UnparsedWithoutParams);
        return result ? result->ArrayValue() : nullptr;
    });
}

std::shared_ptr<RpcArray> DataService::Query(const std::string& p_strTable, std::int32_t p_lngLimit,
                                             std::int32_t p_lngPage,
                                             const RpcStruct& p_sctQueryData,
                                             const RpcArray& p_arrSelectedFields) {
    return Guarded("Query", std::shared_ptr<RpcArray>(), [&] {
        auto api = LockConnection(connection_);
        const auto result = Invoke(
            *api, "DataService.query", SendKey::Yes, Expect::Array,
            [&](RpcParamList& p) {
                p.AddString(p_strTable);
                p.AddInteger(p_lngLimit);
                p.AddInteger(p_lngPage);
                p.AddStruct(p_sctQueryData);
                p.AddArray(p_arrSelectedFields);
            },
            Quiet::UnparsedWithoutParams);
        return result ? result->ArrayValue() : nullptr;
    });
}

std::optional<std::int32_t> DataService::AddCustomField(const std::string& p_strContext,
                                                        const std::string& p_strDisplayName,
                                                        const std::string& p_strDataType,
                                                        std::int32_t p_lngGroupId) {
    return Guarded("AddCustomField", std::optional<std::int32_t>(), [&] {
        auto api = LockConnection(connection_);
        const auto result = Invoke(*api, "DataService.addCustomField", SendKey::Yes,
                                   Expect::Integer, [&](RpcParamList& p) {
                                       p.AddString(p_strContext);
                                       p.AddString(p_strDisplayName);
                                       p.AddString(p_strDataType);
                                       p.AddInteger(p_lngGroupId);
                                   });
        return std::optional<std::int32_t>(result ? result->IntegerValue() : 0);
    });
}

std::int32_t DataService::AuthenticateUser(const std::string& p_strUsername,
                                           const std::string& p_strPasswordHash) {
    return Guarded("AuthenticateUser", std::int32_t{0}, [&] {
        auto api = LockConnection(connection_);
        const auto result = Invoke(*api, "DataService.authenticateUser", SendKey::Yes,
                                   Expect::Integer, [&](RpcParamList& p) {
                                       p.AddString(p_strUsername);
                                       p.AddString(p_strPasswordHash);
                                   });
        return result ? result->IntegerValue() : 0;
    });
}

std::string DataService::GetAppSetting(const std::string& p_strModule,
                                       const std::string& p_strSetting) {
    return Guarded("GetAppSetting", std::string(), [&] {
        auto api = LockConnection(connection_);
        const auto result = Invoke(*api, "DataService.getAppSetting", SendKey::Yes, Expect::Text,
                                   [&](RpcParamList& p) {
                                       p.AddString(p_strModule);
                                       p.AddString(p_strSetting);
                                   });
        return result ? result->StringValue() : std::string();
    });
}

std::string DataService::GetTemporaryKey(const std::string& p_strVendorKey,
                                         const std::string& p_strUsername,
                                         const std::string& p_strPasswordHash) {
    return Guarded("GetTemporaryKey", std::string(), [&] {
        auto api = LockConnection(connection_);
        const auto result = Invoke(*api, "DataService.getTemporaryKey", SendKey::No, Expect::Text,
                                   [&](RpcParamList& p) {
                                       p.AddString(p_strVendorKey);
                                       p.AddString(p_strUsername);
                                       p.AddString(p_strPasswordHash);
                                   });
        return result ? result->StringValue() : std::string();
    });
}

bool DataService::UpdateCustomField(std::int32_t p_lngCustomFieldID, const RpcStruct& p_sctValues) {
    return Guarded("UpdateCustomField", false, [&] {
        auto api = LockConnection(connection_);
        const auto result = Invoke(*api, "DataService.updateCustomField", SendKey::Yes,
                                   Expect::Boolean, [&](RpcParamList& p) {
                                       p.AddInteger(p_lngCustomFieldID);
                                       p.AddStruct(p_sctValues);
                                   });
        return result ? result->BooleanValue() : false;
    });
}

} // namespace tessary
