#pragma once
// Checks on automation dates shared inside the library.

namespace tessary::encoding {

// Whether the date has a text form: a number within 1 January 100 and
// 31 December 9999 23:59:59 (after rounding to the second).
bool IsWritableDate(double date) noexcept;

} // namespace tessary::encoding
