#pragma once
// Small pieces the configuration window needs from the program core, in one place.

#include <QString>
#include <memory>

namespace tessary {
class clsInfusionsoftAPI;
}

namespace pellwick {

// A CRM connection object of its own (not the program-wide one), aimed at the endpoint
// the settings name, as the program-wide one is, but over the interface given (the one
// chosen in the window, not yet stored).
std::shared_ptr<tessary::clsInfusionsoftAPI> NewTrialConnection(bool restV2);

// The CRM service domain in force: the configured one, else the CRM's public domain.
QString ConfiguredServiceDomain();

} // namespace pellwick
