#include "rest/RestIds.h"

#include "Guard.h"
#include "TextNumbers.h"
#include "tessary/RpcValue.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace tessary::detail {
namespace {

[[noreturn]] void Refuse(std::string_view shown, std::string_view record, const char* why) {
    throw LibraryError(kOverflow, "The CRM's Id " + std::string(shown) + " of a " +
                                      std::string(record) + " record " + why);
}

bool Fits(std::int64_t number) {
    return number >= 0 && number <= std::numeric_limits<std::int32_t>::max();
}

} // namespace

std::int32_t Id32(const Json& id, std::string_view record) {
    if (id.is_string())
        return Id32FromText(id.get_ref<const std::string&>(), record);
    if (!id.is_number_integer())
        Refuse(id.dump(), record, "is not a whole number");
    if ((id.is_number_unsigned() && id.get<std::uint64_t>() > std::uint64_t{INT64_MAX}) ||
        !Fits(id.get<std::int64_t>()))
        Refuse(id.dump(), record, "does not fit the 32-bit Ids this program keeps");
    return static_cast<std::int32_t>(id.get<std::int64_t>());
}

std::int32_t Id32FromText(std::string_view text, std::string_view record) {
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error == std::errc::result_out_of_range)
        Refuse(text, record, "does not fit the 32-bit Ids this program keeps");
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        Refuse(text, record, "is not a whole number");
    if (!Fits(number))
        Refuse(text, record, "does not fit the 32-bit Ids this program keeps");
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
