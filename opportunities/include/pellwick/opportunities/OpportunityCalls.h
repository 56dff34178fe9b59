#pragma once
// The CRM calls the opportunities window makes, as one seam: the library's DataService
// on the program's connection, or a test's recording. Each fails as DataService does:
// the library shows why and the call gives its default (null, 0, 0).

#include "pellwick/CrmAccess.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tessary {
class RpcArray;
class RpcStruct;
} // namespace tessary

namespace pellwick::opportunities {

struct OpportunityCalls {
    // DataService.Query, first page.
    std::function<std::shared_ptr<tessary::RpcArray>(const std::string& table, std::int32_t limit,
                                                     const tessary::RpcStruct& queryData,
                                                     const tessary::RpcArray& selectedFields)>
        Query;
    // DataService.Add: the new record's Id.
    std::function<std::int32_t(const std::string& table, const tessary::RpcStruct& values)> Add;
    // DataService.Update: the Id; 0 or none when the call failed.
    std::function<std::optional<std::int32_t>(const std::string& table, std::int32_t id,
                                              const tessary::RpcStruct& values)>
        Update;
};

// The calls through the CRM door's connection as it is at the time of each call; a call
// without a connection throws ProgramError.
OpportunityCalls SharedConnectionCalls(std::function<CrmServices()> crm = CrmServicesOrThrow);

} // namespace pellwick::opportunities
