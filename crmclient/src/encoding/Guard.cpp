#include "encoding/Guard.h"

#include "tessary/Notifier.h"

#include <new>

namespace tessary::encoding {

void ReportCurrentFailure(const char* section) noexcept {
    // Numbers and wording follow the classic runtime error codes the report
    // format was made for: 6 overflow, 7 out of memory, 5 anything else.
    long number = 5;
    std::string description;
    try {
        try {
            throw;
        } catch (const DateOverflow&) {
            number = 6;
            description = "Overflow: the date lies outside the years 100 to 9999";
        } catch (const std::bad_alloc&) {
            number = 7;
            description = "Out of memory";
        } catch (const std::length_error&) {
            number = 7;
            description = "Out of memory: the data is too large";
        } catch (const std::exception& e) {
            description = e.what();
        } catch (...) {
            description = "Unknown failure";
        }
        ReportLibraryError(section, "tessary", number, 0, description);
    } catch (...) {
        // Nothing is left to report with; the caller still gets its default.
    }
}

} // namespace tessary::encoding
