#pragma once
// Contacts (table "Contact", ContactService) on /contacts: the XML-RPC fields
// in the REST contact's properties, arrays of e-mail, phone, fax and address
// slots, its company and the ISO codes of its country and region.

#include "rest/LocaleLookup.h"
#include "rest/RestQuery.h"
#include "rest/TableMapping.h"

namespace tessary::detail {

class ContactMapping final : public TableMapping {
public:
    ContactMapping(RestSession& session, LocaleLookup& locales);
    RpcValue Query(const RpcStruct& query, std::int32_t limit, std::int32_t page,
                   const RpcArray& fields) override;
    RpcValue Load(std::int32_t id, const RpcArray& fields) override;
    RpcValue Add(const RpcStruct& values) override;
    RpcValue Update(std::int32_t id, const RpcStruct& values) override;
    RpcValue Delete(std::int32_t id) override;
    // ContactService.findByEmail: contacts with the address in any e-mail slot.
    RpcValue FindByEmail(const std::string& email, const RpcArray& fields);
    // ContactService.addToGroup / removeFromGroup: the tag applied or removed.
    RpcValue Tag(std::int32_t contact, std::int32_t tag, bool apply);

private:
    FieldTable Rules();
    QueryParams FieldsParam(const RpcArray& fields, const QueryPlan& plan) const;
    RpcValue QueryByCompany(const RpcStruct& query, std::int32_t limit, std::int32_t page,
                            const RpcArray& fields);
    Json Body(const RpcStruct& values, Json current, std::vector<std::string>& mask);
    void SetAddress(Json& contact, const RpcStruct& values, std::vector<std::string>& mask);
    std::string CompanyId(const std::string& name);
    std::string Country(const Json& contact);

    RestSession& session_;
    LocaleLookup& locales_;
    FieldTable fields_;
};

} // namespace tessary::detail
