#pragma once
// The CRM's generic table methods ("DataService.*"). Each operation sends one call
// through its connection. A call fails when the answer's status is not
// ParamsReturned: the "XML RPC Error" box is shown (except where noted) and the
// operation returns the default named in its comment. Unexpected failures
// (no answer at all, a normal answer holding no value, a dead connection) show the
// "Tessary Error" report instead and return the same default.

#include "tessary/Export.h"
#include "tessary/RpcValue.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tessary {

class clsInfusionsoftAPI;

// A connection's table methods (clsInfusionsoftAPI::DataService()).
class TESSARY_API DataService {
public:
    // "DataService.add": the new record's Id; 0 on failure.
    std::int32_t Add(const std::string& p_strTable, const RpcStruct& p_sctValues);
    // "DataService.load": the record; nullptr on failure.
    std::shared_ptr<RpcStruct> Load(const std::string& p_strTable, std::int32_t p_lngID,
                                    const RpcArray& p_arrFields);
    // "DataService.update": the Id returned; 0 when the call failed, std::nullopt on
    // an unexpected failure (the report was shown).
    std::optional<std::int32_t> Update(const std::string& p_strTable, std::int32_t p_lngID,
                                       const RpcStruct& p_sctValues);
    // "DataService.delete": the flag returned; false on failure. A fault whose text
    // contains "[RecordNotFound]" (any case) gives false without a box.
    bool Delete(const std::string& p_strTable, std::int32_t p_lngID);
    // "DataService.findByField": the matching records (array of structs); nullptr
    // on failure. The value is sent by its type: Boolean, Integer, Double, String;
    // a value of any other type (date, empty, struct, ...) is not sent at all, so
    // the server answers with a fault. An answer that does not parse and carries
    // no params gives nullptr without a box.
    std::shared_ptr<RpcArray> FindByField(const std::string& p_strTable, std::int32_t p_lngLimit,
                                          std::int32_t p_lngPage, const std::string& p_strFieldName,
                                          const RpcValue& p_varFieldValue,
                                          const RpcArray& p_arrSelectedFields);
    // "DataService.query": the matching records (array of structs, possibly empty);
    // nullptr on failure. An answer that does not parse and carries no params gives
    // nullptr without a box.
    std::shared_ptr<RpcArray> Query(const std::string& p_strTable, std::int32_t p_lngLimit,
                                    std::int32_t p_lngPage, const RpcStruct& p_sctQueryData,
                                    const RpcArray& p_arrSelectedFields);
    // "DataService.addCustomField": the new field's Id; 0 when the call failed,
    // std::nullopt on an unexpected failure.
    std::optional<std::int32_t> AddCustomField(const std::string& p_strContext,
                                               const std::string& p_strDisplayName,
                                               const std::string& p_strDataType,
                                               std::int32_t p_lngGroupId);
    // "DataService.authenticateUser": the user's Id; 0 on failure.
    std::int32_t AuthenticateUser(const std::string& p_strUsername,
                                  const std::string& p_strPasswordHash);
    // "DataService.getAppSetting": the setting's text; empty on failure.
    std::string GetAppSetting(const std::string& p_strModule, const std::string& p_strSetting);
    // "DataService.getTemporaryKey" (sent without the API key; the vendor key comes
    // first): the temporary key; empty on failure.
    std::string GetTemporaryKey(const std::string& p_strVendorKey, const std::string& p_strUsername,
                                const std::string& p_strPasswordHash);
    // "DataService.updateCustomField": the flag returned; false on failure.
    bool UpdateCustomField(std::int32_t p_lngCustomFieldID, const RpcStruct& p_sctValues);

private:
    friend class clsInfusionsoftAPI;
    explicit DataService(std::weak_ptr<clsInfusionsoftAPI> connection)
        : connection_(std::move(connection)) {}
    std::weak_ptr<clsInfusionsoftAPI> connection_;
};

} // namespace tessary
