#pragma once
// The host and CRM doors a window is handed in its constructor. The defaults are the
// program's own doors; tests may hand in others.

#include "pellwick/CrmAccess.h"
#include "pellwick/HostAccess.h"

#include <functional>

namespace pellwick {

struct WindowDoors {
    std::function<QuoteWerksApp*()> host = HostIfAttached; // null: none attached
    std::function<CrmServices()> crm = CrmServicesOrThrow;

    // The host; throws ObjectNotSetError when none is attached.
    QuoteWerksApp& Host() const;
    QuoteWerksDocument& Document() const;
    CrmServices Crm() const { return crm(); }
};

} // namespace pellwick
