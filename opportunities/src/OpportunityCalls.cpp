#include "pellwick/opportunities/OpportunityCalls.h"

#include "pellwick/CrmAccess.h"
#include "pellwick/CrmCalls.h"

#include <tessary/DataService.h>
#include <tessary/clsInfusionsoftAPI.h>

namespace pellwick::opportunities {
namespace {

// Runs `call` with the door's data service on the CRM worker, which carries every CRM
// call one at a time (a Save Quote commit may be running), the window alive meanwhile.
template <class Call> auto OnCrmWorker(const std::function<CrmServices()>& door, Call&& call) {
    const CrmServices crm = door();
    return CrmCall(crm.api, [&] { return call(*crm.data); });
}

} // namespace

OpportunityCalls SharedConnectionCalls(std::function<CrmServices()> crm) {
    return {[crm](const std::string& table, std::int32_t limit, const tessary::RpcStruct& query,
                  const tessary::RpcArray& fields) {
                return OnCrmWorker(crm, [&](tessary::DataService& data) {
                    return data.Query(table, limit, 0, query, fields);
                });
            },
            [crm](const std::string& table, const tessary::RpcStruct& values) {
                return OnCrmWorker(
                    crm, [&](tessary::DataService& data) { return data.Add(table, values); });
            },
            [crm](const std::string& table, std::int32_t id, const tessary::RpcStruct& values) {
                return OnCrmWorker(crm, [&](tessary::DataService& data) {
                    return data.Update(table, id, values);
                });
            }};
}

} // namespace pellwick::opportunities
