#pragma once
// Notes (table "ContactAction") on /contacts/{id}/notes and /notes. A note is
// written as the key's own user; it has no action or completion date.

#include "rest/RestQuery.h"
#include "rest/TableMapping.h"
#include "rest/UserMapping.h"

namespace tessary::detail {

class NoteMapping final : public TableMapping {
public:
    NoteMapping(RestSession& session, UserMapping& users);
    RpcValue Query(const RpcStruct& query, std::int32_t limit, std::int32_t page,
                   const RpcArray& fields) override;
    RpcValue Load(std::int32_t id, const RpcArray& fields) override;
    RpcValue Add(const RpcStruct& values) override;
    RpcValue Delete(std::int32_t id) override;

private:
    std::optional<Json> Find(std::int32_t id);

    RestSession& session_;
    UserMapping& users_;
    FieldTable fields_;
};

} // namespace tessary::detail
