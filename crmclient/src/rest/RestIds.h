#pragma once
// Ids between the REST API (64-bit, as text or number) and the XML-RPC values
// the program keeps (32-bit integers).

#include "tessary/RpcValue.h"

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace tessary::detail {

using Json = nlohmann::json;

// The Id as a 32-bit integer; `record` names its kind for the message ("Contact").
// Throws LibraryError for text that is no whole number and for a number beyond
// 32 bits: a wrong record is never named.
std::int32_t Id32(const Json& id, std::string_view record);
// The same for an Id that came as text.
std::int32_t Id32FromText(std::string_view text, std::string_view record);

// An Id as the API takes it in bodies and paths.
inline std::string IdText(std::int64_t id) {
    return std::to_string(id);
}

// The Id of an XML-RPC value (an integer, a whole double or digit text); false
// when the value holds none.
bool IdOfValue(const RpcValue& value, std::int32_t& id);

} // namespace tessary::detail
