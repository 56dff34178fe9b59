#pragma once
// Times from the REST API (ISO-8601 with a zone) as XML-RPC dates in the local
// time of this machine, as the XML-RPC API handed them over.

#include "tessary/RpcValue.h"

#include <optional>
#include <string_view>

namespace tessary::detail {

// "2024-01-10T08:00:00Z", "2024-03-15T10:30:00.000+0000", "...+01:00", with or
// without fractions (dropped); no zone counts as UTC; "2024-01-10" alone is that
// day. The automation date in local time; std::nullopt for anything else.
std::optional<double> LocalDateFromIso(std::string_view text);

// The value of a time member: a date, or an empty value when it is absent or unreadable.
RpcValue DateFromIso(std::string_view text);

} // namespace tessary::detail
