// Feeds arbitrary bytes to the decoder of XML-RPC answers, then reads every value
// found with every reader, as a program would.

#include "QuietBoxes.h"
#include "XmlRpcCodec.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace {

void ReadAll(const tessary::RpcValue& value, int depth) {
    (void)value.IntegerValue();
    (void)value.BooleanValue();
    (void)value.StringValue();
    (void)value.DoubleValue();
    (void)value.DateValue();
    if (depth > 100)
        return;
    if (const auto s = value.StructValue())
        for (const auto& [name, member] : s->Members()) {
            (void)s->Exists(name);
            ReadAll(member, depth + 1);
        }
    if (const auto a = value.ArrayValue())
        for (const auto& element : a->Elements())
            ReadAll(element, depth + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::QuietBoxes(tessary::BoxAnswer::Cancel);
    const tessary::RpcResponse response =
        tessary::detail::DecodeResponse(std::string(reinterpret_cast<const char*>(data), size));
    if (response.Status() != tessary::RpcStatus::ParamsReturned && response.Params().Count() != 0)
        __builtin_trap(); // only a normal answer carries params
    for (const auto& value : response.Params().Items())
        ReadAll(value, 0);
    (void)response.Fault().FaultString();
    return 0;
}
