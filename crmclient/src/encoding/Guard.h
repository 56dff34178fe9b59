#pragma once
// The encoding routines never let a failure escape: the body runs inside one
// guard that shows the library's error report under the routine's own name
// and hands back the default result.

#include <exception>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace tessary::encoding {

// Thrown by a routine whose date argument cannot be formatted.
class DateOverflow : public std::out_of_range {
public:
    DateOverflow() : std::out_of_range("Overflow") {}
};

// Shows the error report for the exception being handled. Never throws.
void ReportCurrentFailure(const char* section) noexcept;

template <class Body>
auto Guarded(const char* section, Body&& body) noexcept -> std::invoke_result_t<Body> {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        ReportCurrentFailure(section);
    }
    return {};
}

} // namespace tessary::encoding
