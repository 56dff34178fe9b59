#pragma once
// Users (table "User") and the key's own user (GET /oauth/connect/userinfo),
// which the connection test reads and notes are written as.

#include "rest/RestSession.h"
#include "rest/TableMapping.h"

namespace tessary::detail {

class UserMapping final : public TableMapping {
public:
    explicit UserMapping(RestSession& session);
    RpcValue Query(const RpcStruct& query, std::int32_t limit, std::int32_t page,
                   const RpcArray& fields) override;
    // Reads the key's user and keeps its Id; throws like any call on failure.
    void ReadOwnUser();
    // The key's user's Id as the API gives it ("id", else "sub"); read once.
    const std::string& OwnUserId();

private:
    RestSession& session_;
    FieldTable fields_;
    std::string ownUserId_;
};

} // namespace tessary::detail
