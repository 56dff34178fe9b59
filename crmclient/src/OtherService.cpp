#include "tessary/OtherService.h"

#include "Guard.h"
#include "tessary/Encoding.h"

namespace tessary {

std::string OtherService::InfuDate(double p_dtmDate) {
    return detail::Guarded("InfuDate", std::string(),
                           [&] { return Iso8601FromAutomationDate(p_dtmDate); });
}

} // namespace tessary
