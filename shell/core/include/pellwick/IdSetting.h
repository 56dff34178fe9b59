#pragma once
// Settings that hold a CRM record Id or a list entry's value ("DropDownOpportunity",
// "DropDownActionSet"): CRM Ids are 32-bit, so they are read as 32-bit numbers.

#include <QString>
#include <cstdint>

namespace pellwick {

// The stored value as a 32-bit number; a missing value, or text that is no number or
// lies outside the 32-bit range, gives the value's default (0 when it has none).
std::int32_t ReadIdSetting(const QString& valueName);

} // namespace pellwick
