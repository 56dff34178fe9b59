#include "SetupSupport.h"

#include "pellwick/ErrorReport.h"
#include "pellwick/ProgramState.h"
#include "pellwick/host/QuoteWerksApp.h"
#include "pellwick/modMain.h"
#include "pellwick/modQWAPI.h"

#include <tessary/clsInfusionsoftAPI.h>

namespace pellwick {

std::shared_ptr<tessary::clsInfusionsoftAPI> NewTrialConnection(bool restV2) {
    std::shared_ptr<tessary::clsInfusionsoftAPI> connection =
        State().CreateConnection ? State().CreateConnection() : nullptr;
    if (!connection)
        throw ProgramError(errnum::ObjectRequired,
                           QStringLiteral("Unable to create a CRM connection object"));
    // The same endpoint as the program-wide connection gets.
    ApplyEndpointSettings(*connection);
    connection->SetCrmInterface(restV2 ? tessary::CrmInterface::RestV2
                                       : tessary::CrmInterface::XmlRpc);
    return connection;
}

QString ConfiguredServiceDomain() {
    const EndpointSettings endpoint = ReadEndpointSettings();
    return endpoint.serviceDomain.isEmpty() ? kDefaultServiceDomain : endpoint.serviceDomain;
}

} // namespace pellwick
