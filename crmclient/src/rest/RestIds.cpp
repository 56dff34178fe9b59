#include "rest/RestIds.h"

#include "Guard.h"
#include "TextNumbers.h"
#include "tessary/RpcValue.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace tessary::detail {
namespace {

std::string Shown(const Json& id) {
    return id.is_string() ? id.get<std::string>() : id.dump();
}

[[noreturn]] void Refuse(const Json& id, std::string_view record, const char* why) {
    throw LibraryError(kOverflow, "The CRM's Id " + Shown(id) + " of a " + std::string(record) +
                                      " record " + why);
}

} // namespace

std::int32_t Id32(const Json& id, std::string_view record) {
    std::int64_t number = 0;
    if (id.is_number_integer()) {
        if (id.is_number_unsigned() && id.get<std::uint64_t>() > std::uint64_t{INT64_MAX})
            Refuse(id, record, "does not fit the 32-bit Ids this program keeps");
        number = id.get<std::int64_t>();
    } else if (id.is_string()) {
        const std::string& text = id.get_ref<const std::string&>();
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (error == std::errc::result_out_of_range)
            Refuse(id, record, "does not fit the 32-bit Ids this program keeps");
        if (text.empty() || error != std::errc() || end != text.data() + text.size())
            Refuse(id, record, "is not a whole number");
    } else {
        Refuse(id, record, "is not a whole number");
    }
    if (number < 0 || number > std::numeric_limits<std::int32_t>::max())
        Refuse(id, record, "does not fit the 32-bit Ids this program keeps");
    return static_cast<std::int32_t>(number);
}

bool IdOfValue(const RpcValue& value, std::int32_t& id) {
    switch (value.Type()) {
    case RpcType::Integer:
        id = value.IntegerValue();
        return true;
    case RpcType::Double:
    case RpcType::String: {
        const auto number = value.Type() == RpcType::Double
                                ? std::optional<double>(value.DoubleValue())
                                : NumberFromText(*value.TextPointer());
        if (!number || *number != std::trunc(*number) ||
            std::abs(*number) > std::numeric_limits<std::int32_t>::max())
            return false;
        id = static_cast<std::int32_t>(*number);
        return true;
    }
    default:
        return false;
    }
}

} // namespace tessary::detail
