#include "rest/UserMapping.h"

#include "rest/RestQuery.h"

namespace tessary::detail {

UserMapping::UserMapping(RestSession& session)
    : TableMapping("User"), session_(session),
      fields_("User",
              {
                  {"Id", "id", "", IdAt("id", "User")},
                  {"FirstName", "given_name", "", TextAt("given_name")},
                  {"LastName", "family_name", "", TextAt("family_name")},
                  {"Email", "email_addresses", "", SlotAt("email_addresses", "EMAIL1", "email")},
              }) {}

RpcValue UserMapping::Query(const RpcStruct& query, std::int32_t limit, std::int32_t page,
                            const RpcArray& fields) {
    const ListSource users{"/users", "users", {}, 100};
    return ReadRecordPage(session_, users, PlanQuery(fields_, query), fields_, fields, limit, page);
}

void UserMapping::ReadOwnUser() {
    const Json user = session_.Call(HttpMethod::Get, "/oauth/connect/userinfo");
    for (const char* key : {"id", "sub"}) {
        const auto it = user.is_object() ? user.find(key) : user.end();
        if (user.is_object() && it != user.end() && (it->is_string() || it->is_number())) {
            ownUserId_ = it->is_string() ? it->get<std::string>() : it->dump();
            if (!ownUserId_.empty())
                return;
        }
    }
}

const std::string& UserMapping::OwnUserId() {
    if (ownUserId_.empty())
        ReadOwnUser();
    if (ownUserId_.empty())
        throw RestUnreadableAnswer("The CRM's user information holds no user Id");
    return ownUserId_;
}

} // namespace tessary::detail
