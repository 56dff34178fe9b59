#pragma once
// How the program finds the host and makes CRM connections unless told otherwise.

#include <functional>
#include <memory>

namespace tessary {
class clsInfusionsoftAPI;
}

namespace pellwick {
class QuoteWerksApp;

std::function<std::shared_ptr<QuoteWerksApp>()> DefaultHostAttacher();
std::function<std::shared_ptr<tessary::clsInfusionsoftAPI>()> DefaultConnectionFactory();
} // namespace pellwick
