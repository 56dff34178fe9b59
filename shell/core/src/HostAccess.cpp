#include "pellwick/HostAccess.h"

#include "pellwick/ErrorReport.h"
#include "pellwick/ProgramState.h"
#include "pellwick/WindowDoors.h"
#include "pellwick/host/QuoteWerksApp.h"

namespace pellwick {
namespace {

QuoteWerksApp& Required(QuoteWerksApp* host) {
    if (!host)
        throw ObjectNotSetError();
    return *host;
}

} // namespace

QuoteWerksApp& AttachedHost() {
    return Required(HostIfAttached());
}

QuoteWerksApp* HostIfAttached() {
    return State().QuoteWerksApp.get();
}

QuoteWerksDocument& HostDocument() {
    return AttachedHost().DocumentAccess();
}

QString EmailedPdfPath(const QString& programFolder, const QString& quoteNumber) {
    return programFolder + QStringLiteral("/history/email/") + quoteNumber + QStringLiteral(".pdf");
}

QuoteWerksApp& WindowDoors::Host() const {
    return Required(host());
}

QuoteWerksDocument& WindowDoors::Document() const {
    return Host().DocumentAccess();
}

} // namespace pellwick
