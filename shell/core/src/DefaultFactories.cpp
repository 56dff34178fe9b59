#include "DefaultFactories.h"

#include "DBusQuoteWerksApp.h"

#include <tessary/clsInfusionsoftAPI.h>

namespace pellwick {

std::function<std::shared_ptr<QuoteWerksApp>()> DefaultHostAttacher() {
    return [] { return AttachToRunningQuoteWerks(); };
}

std::function<std::shared_ptr<tessary::clsInfusionsoftAPI>()> DefaultConnectionFactory() {
    return [] { return tessary::clsInfusionsoftAPI::Create(); };
}

} // namespace pellwick
