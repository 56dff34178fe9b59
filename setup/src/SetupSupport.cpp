#include "SetupSupport.h"

#include "QuoteWerksApp.h"
#include "pellwick/ErrorReport.h"
#include "pellwick/ProgramState.h"
#include "pellwick/modMain.h"

#include <tessary/clsInfusionsoftAPI.h>

namespace pellwick {

QString HostProgramFolder() {
    if (!State().QuoteWerksApp)
        throw ProgramError(errnum::ObjectRequired, QStringLiteral("Object required"));
    return State().QuoteWerksApp->ProgramFolder();
}

std::shared_ptr<tessary::clsInfusionsoftAPI> NewTrialConnection() {
    std::shared_ptr<tessary::clsInfusionsoftAPI> connection =
        State().CreateConnection ? State().CreateConnection() : nullptr;
    if (!connection)
        throw ProgramError(errnum::ObjectRequired,
                           QStringLiteral("Unable to create a CRM connection object"));
    // The same endpoint rules as the program-wide connection gets.
    const EndpointSettings endpoint = ReadEndpointSettings();
    tessary::ConnectionOptions options = connection->GetConnectionOptions();
    if (!endpoint.serviceDomain.isEmpty())
        options.serviceDomain = endpoint.serviceDomain.toStdString();
    if (endpoint.port != 0)
        options.servicePort = endpoint.port;
    if (!endpoint.caBundle.isEmpty())
        options.caBundleFile = endpoint.caBundle.toStdString();
    options.useCurrentEndpoint = endpoint.useCurrentEndpoint;
    connection->SetConnectionOptions(options);
    return connection;
}

QString ConfiguredServiceDomain() {
    const EndpointSettings endpoint = ReadEndpointSettings();
    return endpoint.serviceDomain.isEmpty() ? kDefaultServiceDomain : endpoint.serviceDomain;
}

} // namespace pellwick
