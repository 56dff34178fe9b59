#include "rest/TableMapping.h"

#include "Guard.h"
#include "tessary/Notifier.h"

namespace tessary::detail {

void NotAvailable(const std::string& what) {
    throw LibraryError(kGeneralFailure, what + " is not available on the REST v2 interface");
}

void LeftOut(const std::string& what) {
    CurrentNotifier()->DebugLine("tessary REST v2: " + what);
}

RpcValue TableMapping::Query(const RpcStruct&, std::int32_t, std::int32_t, const RpcArray&) {
    NotAvailable("DataService.query on the table " + table_);
}
RpcValue TableMapping::Load(std::int32_t, const RpcArray&) {
    NotAvailable("DataService.load on the table " + table_);
}
RpcValue TableMapping::Add(const RpcStruct&) {
    NotAvailable("DataService.add on the table " + table_);
}
RpcValue TableMapping::Update(std::int32_t, const RpcStruct&) {
    NotAvailable("DataService.update on the table " + table_);
}
RpcValue TableMapping::Delete(std::int32_t) {
    NotAvailable("DataService.delete on the table " + table_);
}

RpcValue RecordArray(const FieldTable& table, const Json& records, const RpcArray& fields) {
    const auto rules = table.Rules(fields);
    auto array = std::make_shared<RpcArray>();
    array->Reserve(records.size());
    for (const Json& record : records)
        array->AddStruct(std::make_shared<RpcStruct>(FieldTable::Record(record, rules)));
    return RpcValue::Array(std::move(array));
}

} // namespace tessary::detail
