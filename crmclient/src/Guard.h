#pragma once
// The one place where the library's operations stop failures: every public
// operation runs its body through Guarded, which catches whatever escapes, shows
// the "Tessary Error" report with the operation's name as the section and hands
// back the operation's default result.

#include "tessary/Notifier.h"
#include "tessary/RpcRequest.h"

#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

namespace tessary::detail {

// Error numbers shown in the report for the library's own failures.
enum ErrorNumber : long {
    kGeneralFailure = 1,
    kOverflow = 6,
    kSubscriptOutOfRange = 9,
    kTypeMismatch = 13,
    kObjectMissing = 91,
    kFileFailure = 53,
};

// A failure raised inside the library, carrying what the report shows.
class LibraryError : public std::runtime_error {
public:
    // `line` defaults to the line that raises the error (__builtin_LINE, which gcc
    // and clang both have; clang 14 cannot use libstdc++'s std::source_location).
    LibraryError(long number, const std::string& description, long line = __builtin_LINE())
        : std::runtime_error(description), number_(number), line_(line) {}
    long Number() const { return number_; }
    long Line() const { return line_; }

private:
    long number_;
    long line_;
};

// Shows the report for the exception in flight. Never throws: a notifier that
// fails must not turn a reported failure into an escaping one.
inline void ReportCurrentException(const char* section) noexcept {
    try {
        try {
            throw;
        } catch (const LibraryError& e) {
            ReportLibraryError(section, "tessary", e.Number(), e.Line(), e.what());
        } catch (const TransportError& e) {
            ReportLibraryError(section, "tessary (libcurl)", e.Code() != 0 ? e.Code() : 1, 0,
                               e.what());
        } catch (const std::bad_alloc&) {
            ReportLibraryError(section, "tessary", 7, 0, "Out of memory");
        } catch (const std::exception& e) {
            ReportLibraryError(section, "tessary", kGeneralFailure, 0, e.what());
        } catch (...) {
            ReportLibraryError(section, "tessary", kGeneralFailure, 0, "Unknown failure");
        }
    } catch (...) {
    }
}

// Runs body(); on any exception reports it under `section` and returns fallback.
template <class Result, class Body>
Result Guarded(const char* section, Result fallback, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        ReportCurrentException(section);
    }
    return fallback;
}

// The same for operations without a result.
template <class Body> void GuardedVoid(const char* section, Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
        ReportCurrentException(section);
    }
}

} // namespace tessary::detail
