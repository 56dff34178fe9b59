#pragma once
// Reading what the CRM holds, through the program's connection, to check what a test
// made the program write.

#include "pellwick/ProgramState.h"

#include <map>
#include <string>
#include <tessary/DataService.h>
#include <tessary/RpcValue.h>
#include <tessary/clsInfusionsoftAPI.h>
#include <utility>
#include <vector>

namespace pellwick::testing {

// The records of a CRM table matching `equals` (field -> integer or text), read through
// the program's connection, each as field -> text.
using Record = std::map<std::string, std::string>;
inline std::vector<Record> Records(const std::string& table,
                                   const std::vector<std::pair<std::string, std::string>>& equals,
                                   const std::vector<std::string>& fields) {
    tessary::RpcStruct query;
    for (const auto& [field, value] : equals)
        query.AddString(field, value);
    tessary::RpcArray names;
    for (const std::string& field : fields)
        names.AddString(field);
    auto& api = *State().InfusionsoftConnection;
    std::vector<Record> records;
    if (const auto found = api.DataService()->Query(table, 1000, 0, query, names))
        for (const tessary::RpcValue& element : found->Elements()) {
            Record record;
            for (const std::string& field : fields)
                if (element.StructValue()->Exists(field))
                    record[field] = element.StructValue()->Item(field).StringValue();
            records.push_back(record);
        }
    return records;
}

} // namespace pellwick::testing
