#include "pellwick/opportunities/OpportunityCalls.h"

#include "pellwick/ErrorReport.h"
#include "pellwick/ProgramState.h"

#include <tessary/DataService.h>
#include <tessary/clsInfusionsoftAPI.h>

namespace pellwick::opportunities {
namespace {

std::shared_ptr<tessary::DataService> Data() {
    const std::shared_ptr<tessary::clsInfusionsoftAPI>& api = State().InfusionsoftConnection;
    std::shared_ptr<tessary::DataService> data = api ? api->DataService() : nullptr;
    if (!data)
        throw ProgramError(errnum::ObjectRequired, QStringLiteral("Object required"));
    return data;
}

} // namespace

OpportunityCalls SharedConnectionCalls() {
    return {[](const std::string& table, std::int32_t limit, const tessary::RpcStruct& query,
               const tessary::RpcArray& fields) {
                return Data()->Query(table, limit, 0, query, fields);
            },
            [](const std::string& table, const tessary::RpcStruct& values) {
                return Data()->Add(table, values);
            },
            [](const std::string& table, std::int32_t id, const tessary::RpcStruct& values) {
                return Data()->Update(table, id, values);
            }};
}

} // namespace pellwick::opportunities
