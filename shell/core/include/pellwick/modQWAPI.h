#pragma once
// The host and CRM operations the windows share, and the owner of the two program-wide
// connection objects (kept in ProgramState); they reach both through HostAccess.h and
// CrmAccess.h. Every operation but
// SetupQuoteWerksConnection reports unexpected errors with its own name as the
// section and returns its default.

#include "pellwick/KeyedCollection.h"

#include <QString>
#include <cstdint>

namespace tessary {
class clsInfusionsoftAPI;
}

namespace pellwick {

// Contact types: also the prefixes of the host's contact-section fields.
enum ContactType : std::int16_t { ContactSoldTo = 0, ContactShipTo = 1, ContactBillTo = 2 };
// Notes kinds for GetNotes.
enum NotesKind : std::int16_t {
    IntroductionNotes = 0,
    ClosingNotes = 1,
    PurchasingNotes = 2,
    InternalNotes = 3
};
// CRM page kinds for OpenInfusionsoftPage.
enum PageKind : std::int16_t { PageContact = 0, PageOpportunity = 1, PageActionSet = 2 };

using ContactDetails = KeyedCollection<QString>;

// Attaches to the running host (never starts one). On failure sets lblInfo, shows
// "QuoteWerks needs to be running when using the Pellwick.", closes the main window.
bool SetupQuoteWerksConnection();
bool CheckQuoteWerksAppObject();
bool CheckInfusionsoftConnection();
// The program's CRM connection speaks the REST v2 interface (false without one).
bool InfusionsoftConnectionIsRestV2();
// Both objects exist; else the box naming the missing one.
bool CheckQuoteWerksAndInfusionsoftObjects();
// Replaces the CRM connection with a new one set up from the settings and tests it.
bool SetupInfusionsoftConnection();
// Points a connection object at the configured endpoint (service domain, port, CA
// bundle, endpoint form); values not configured keep the CRM's public endpoint.
void ApplyEndpointSettings(tessary::clsInfusionsoftAPI& connection);
// The host's program folder, without a trailing separator. Throws ProgramError when no
// host is attached and HostError when it does not answer: callers run it in their guard.
QString HostProgramFolder();
// A document is open in the host; else the box saying why not.
bool CheckIfDocumentIsActive();
QString GetQuoteDocumentNumber();
QString GetQuoteDocumentName();
// "SoldTo", "ShipTo", "BillTo"; "" for any other type.
QString GetNameForContactType(std::int16_t type);
// The section's fifteen fields, the split name, "Address2and3" and "FaxNumber".
ContactDetails GetContactDetails(std::int16_t type);
// Splits a contact name into first, middle and last name.
struct NameParts {
    QString first, middle, last;
};
NameParts SplitContactName(const QString& name);
QString GetNotes(std::int16_t kind);
// Reads the CRM contact and writes it into the section of the open document.
void SendContactToQuoteWerks(std::int16_t type, std::int32_t contactId);
// The address of a CRM page for the configured account; "" for unknown kinds.
QString InfusionsoftPageAddress(std::int16_t kind, std::int32_t id);
void OpenInfusionsoftPage(std::int16_t kind, std::int32_t id);
void OpenEmail(const QString& address);
void OpenWebpage(const QString& address);
// Shows the folder that holds the debug log (DebugLogPath) in the file browser.
void OpenPluginApplicationFolder();

} // namespace pellwick
