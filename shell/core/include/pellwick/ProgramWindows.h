#pragma once
// How one window of the program opens another. The windows live in folders above the
// core and never include one another: the program's start-up code fills these doors
// with the real windows, tests put their own answers here. An empty door opens nothing.

#include <cstdint>
#include <functional>

namespace pellwick {

struct ProgramWindows {
    // The Save Quote window: layout 0 after a save, 1 when the quote is e-mailed.
    std::function<void(std::int32_t layout)> ShowSaveQuote;
    // The contact search window for a host contact section (0, 1, 2) or, with -1, -1,
    // to choose a contact: the chosen contact's Id, 0 when none was chosen.
    std::function<std::int32_t(std::int16_t type, std::int16_t source)> ShowContacts;
    // The opportunities window for a CRM contact (1 or more) or, with 0, for the contacts
    // the open quote names.
    std::function<void(std::int32_t contactId)> ShowOpportunities;
    // The configuration and About windows.
    std::function<void()> ShowSetup;
    std::function<void()> ShowAbout;
};

} // namespace pellwick
