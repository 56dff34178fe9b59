#pragma once
// Date formatting in the form the CRM's XML-RPC interface uses.

#include "tessary/Export.h"

#include <memory>
#include <string>

namespace tessary {

class clsInfusionsoftAPI;

// A connection's date formatting (clsInfusionsoftAPI::OtherService()).
class TESSARY_API OtherService {
public:
    // The automation date as "yyyymmddThh:mm:ss" (3 Jul 2009 14:05:09 gives
    // "20090703T14:05:09"); empty text on failure (reported under "InfuDate").
    std::string InfuDate(double p_dtmDate);

private:
    friend class clsInfusionsoftAPI;
    explicit OtherService(std::weak_ptr<clsInfusionsoftAPI> connection)
        : connection_(std::move(connection)) {}
    std::weak_ptr<clsInfusionsoftAPI> connection_;
};

} // namespace tessary
