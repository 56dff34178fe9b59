#include "pellwick/CrmAccess.h"

#include "pellwick/ErrorReport.h"
#include "pellwick/ProgramState.h"

#include <tessary/clsInfusionsoftAPI.h>

namespace pellwick {

CrmServices CrmServicesOrThrow() {
    const std::shared_ptr<tessary::clsInfusionsoftAPI>& api = State().InfusionsoftConnection;
    CrmServices crm;
    crm.api = api;
    if (api) {
        crm.data = api->DataService();
        crm.contacts = api->ContactService();
        crm.files = api->FileService();
        crm.helpers = api->Helpers();
    }
    if (!crm.data || !crm.contacts || !crm.files || !crm.helpers)
        throw ObjectNotSetError();
    return crm;
}

CrmFailure LastCrmFailure(const CrmServices& crm) {
    const tessary::CallFailure failure = crm.api->LastCallFailure();
    using What = tessary::CallFailure::What;
    CrmFailure said{QString::fromStdString(failure.message), failure.mayHaveBeenCarriedOut,
                    failure.what == What::Transport};
    // An error page's markup says nothing a user can read in a one-line list.
    said.message = said.message.trimmed();
    // The address a transport error names is the program's own, not news to the user.
    if (const qsizetype address = said.message.indexOf(QStringLiteral(" (http")); address > 0)
        said.message.truncate(address);
    if (failure.what == What::HttpStatus &&
        (said.message.contains(QStringLiteral("<html"), Qt::CaseInsensitive) ||
         !said.message.contains(QString::number(failure.code))))
        said.message = QStringLiteral("The server answered with HTTP status %1").arg(failure.code);
    if (said.message.isEmpty())
        said.message = failure.what == What::None
                           ? QStringLiteral("Infusionsoft did not do it")
                           : QStringLiteral("Infusionsoft's answer could not be read");
    return said;
}

} // namespace pellwick
