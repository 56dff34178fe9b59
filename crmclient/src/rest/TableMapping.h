#pragma once
// The DataService table calls on one REST resource. A call the resource has no
// counterpart for fails with the library's error report.

#include "rest/RestRecords.h"
#include "tessary/RpcValue.h"

#include <cstdint>
#include <string>

namespace tessary::detail {

// "<what> is not available on the REST v2 interface", as a library failure.
[[noreturn]] void NotAvailable(const std::string& what);

// Says on the notifier's debug line what the translation left out of a call.
void LeftOut(const std::string& what);

class TableMapping {
public:
    explicit TableMapping(std::string table) : table_(std::move(table)) {}
    virtual ~TableMapping() = default;
    TableMapping(const TableMapping&) = delete;
    TableMapping& operator=(const TableMapping&) = delete;

    virtual RpcValue Query(const RpcStruct& query, std::int32_t limit, std::int32_t page,
                           const RpcArray& fields);
    virtual RpcValue Load(std::int32_t id, const RpcArray& fields);
    virtual RpcValue Add(const RpcStruct& values);
    virtual RpcValue Update(std::int32_t id, const RpcStruct& values);
    virtual RpcValue Delete(std::int32_t id);

    const std::string& Name() const { return table_; }

private:
    std::string table_;
};

// The records as an XML-RPC array of structs with the fields asked for.
RpcValue RecordArray(const FieldTable& table, const Json& records, const RpcArray& fields);

} // namespace tessary::detail
