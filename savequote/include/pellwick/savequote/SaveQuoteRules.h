#pragma once
// The Save Quote window's decisions, apart from its widgets: the texts of its list
// entries and what is preselected, which sections are searched and how a found record
// must match, the opportunity's notes, title and record, the contact note, the quote's
// files and the settings the commit writes.

#include "pellwick/modQWAPI.h"

#include <QString>
#include <QVariant>
#include <array>
#include <cstdint>
#include <optional>
#include <tessary/RpcValue.h>
#include <vector>

namespace pellwick::savequote {

// List entry values with a meaning of their own (other values are CRM Ids).
inline constexpr std::int32_t kBlankEntry = -2;     // cboOpportunity, cboActionSet: none
inline constexpr std::int32_t kNewOpportunity = -1; // cboOpportunity
// cboContact: -1, -2, -3 create a contact from the Sold To, Ship To, Bill To section.

// lblQuoteDocNo: the quote's name, " <", its number, ">".
QString QuoteCaption(const QString& name, const QString& number);
// A CRM contact: first name, " ", last name, " - ", e-mail, " - (", Id, ")".
QString ContactEntryText(const QString& firstName, const QString& lastName, const QString& email,
                         std::int32_t id);
// An opportunity: title, " (", stage, ")", " - (", Id, ")"; without a known stage the
// stage part is left out.
QString OpportunityEntryText(const QString& title, const std::optional<QString>& stageName,
                             std::int32_t id);
// An action set: its name, " - (", Id, ")".
QString ActionSetEntryText(const QString& name, std::int32_t id);
// What the action-set frame lists: "Action Set" on XML-RPC; on REST v2, which has no
// action sets, the CRM's campaign sequences, "Campaign Sequence".
QString ActionSetFrameName(bool campaignSequences);
// The note for the commit's end box when running the entry put the contact into nothing
// new ("ALREADY_IN_SEQUENCE" among the results): empty text otherwise.
QString AlreadyRunNote(const std::vector<QString>& resultMessages, const QString& entry);

// A section's contact name and e-mail address as the window compares them.
struct SectionContact {
    QString name;
    QString email;
};

// The e-mail addresses to look up, in the order Sold To, Ship To, Bill To, each only
// when not empty and not equal to an earlier section's address. `section` names it in
// the debug lines ("Sold To", "Ship To", "Bill To").
struct EmailSearch {
    QString section;
    QString email;
};
std::vector<EmailSearch> EmailsToSearch(const std::array<SectionContact, 3>& sections);

// The new-contact entries offered when no CRM contact was found: one for each section
// with a contact name or e-mail address, Sold To (-1), Ship To (-2), Bill To (-3).
struct ListEntry {
    std::int32_t value;
    QString text;
};
std::vector<ListEntry> NewContactEntries(const std::array<SectionContact, 3>& sections);
// The host section (0, 1, 2) of a new-contact entry's value (-1, -2, -3); -1 otherwise.
std::int16_t SectionOfNewContact(std::int32_t value);

// What a contact name looks for: the first and the last of its words, only when it has
// two words or more (split at every single blank); a part may still be empty.
struct NameSearch {
    QString firstName;
    QString lastName;
    bool IsEmpty() const { return firstName.isEmpty() && lastName.isEmpty(); }
};
NameSearch NameSearchFor(const QString& name);

// Whether a found record is the one searched for: "%" in the searched text is a CRM
// wildcard, so the CRM may return more than the equal text. Letter case is ignored.
bool EmailMatches(const QString& recordEmail, const QString& searched);
bool NameMatches(const QString& recordFirstName, const QString& recordLastName,
                 const NameSearch& searched);

// Preselection from the remembered value: the blank opportunity for -2, "(New
// Opportunity)" for 0 and -1, never an existing opportunity; an action-set entry
// (blank included) when its value equals the remembered one.
bool PreselectOpportunity(std::int32_t remembered, std::int32_t entryValue);
bool PreselectActionSet(std::int32_t remembered, std::int32_t entryValue);

// The quote's four notes joined as the opportunity's notes: each non-empty one under
// its heading, "Introduction Notes:", "Purchasing Notes:", "Closing Notes:" followed by
// CR LF, the note and CR LF CR LF; "Internal Notes:", CR LF and the note, last.
QString OpportunityNotes(const QString& introduction, const QString& purchasing,
                         const QString& closing, const QString& internal);
// First name + " " + last name; when that is blank, the e-mail address (untrimmed), or
// "Opportunity" when the address is blank too.
QString OpportunityTitle(const QString& firstName, const QString& lastName, const QString& email);
// The grand total as a number for the CRM's revenue fields: a number the host gives, or
// text that reads as one in the C locale (blanks around allowed); nothing otherwise.
std::optional<double> RevenueNumber(const QVariant& grandTotal);

// Whether the quote number may name a file: not empty, not "." or "..", without "/",
// "\" or control characters.
bool IsPlainFileName(const QString& number);
// The quote's ".dtf" file (its ".pdf" is EmailedPdfPath).
QString QuoteFilePath(const QString& programFolder, const QString& number);
// The real path of a quote file that may go to the CRM: a regular file, not a symbolic
// link, whose real path lies in the host's quote folder ("DTF") or e-mail folder
// ("history/email") of its program folder. Nothing for anything else, so that a link or
// a name never carries a file from elsewhere into the CRM.
std::optional<QString> UploadableQuoteFile(const QString& path, const QString& programFolder);

// The new contact's record from a section's contact details.
tessary::RpcStruct NewContactRecord(const ContactDetails& details);
// "Fax1": the fax number, with " ext " and the extension when that is not blank.
QString Fax1Value(const QString& fax, const QString& faxExt);

// What the commit does with the opportunity.
struct OpportunityInput {
    std::int32_t value = kBlankEntry; // the selected entry's value
    std::int32_t contactId = 0;
    bool addNotes = false;      // chkAddNotes ticked
    bool updateRevenue = false; // chkUpdateProjectedRevenue ticked
    std::optional<double> revenue;
    QString notes;
    QString title;
};
enum class OpportunityWrite { None, Add, Update };
struct OpportunityPlan {
    OpportunityWrite write = OpportunityWrite::None;
    // "ContactID", the two revenue fields, "OpportunityTitle" (new only),
    // "OpportunityNotes", each only where it applies, in this order.
    tessary::RpcStruct record;
};
// None for the blank entry. A new opportunity (-1) is always added, with its title and,
// when Add Notes is ticked, its notes. An existing one is updated when there are notes
// to add, or a revenue to set; otherwise it is left as it is.
OpportunityPlan PlanOpportunity(const OpportunityInput& input);

// Whether a note found by the earlier-note search is about this quote: its description
// equals this one (entities for "<", ">" and "&" read as those characters), ignoring
// case. An empty description never matches.
bool IsSameNote(const QString& foundDescription, const QString& description);
// The contact note ("ContactAction"); `now` is an automation date.
tessary::RpcStruct ContactNoteRecord(std::int32_t contactId, const QString& description,
                                     const QString& creationNotes, double now);

// The window's choices as the commit remembers them.
struct CommitChoices {
    bool addQuoteDocNo = false;
    bool uploadQuoteFile = false;
    bool uploadQuotePDF = false;
    bool uploadQuotePDFEnabled = false;
    bool openContactRecord = false;
    bool addNotes = false;
    bool addNotesEnabled = false;
    bool updateProjectedRevenue = false;
    bool openOpportunityRecord = false;
    std::optional<std::int32_t> opportunity; // selected entry's value, if any
    std::optional<std::int32_t> actionSet;
    // The opportunity this showing created from "(New Opportunity)" (0: none); when it
    // is the selected entry, the choice remembered is still "(New Opportunity)".
    std::int32_t createdOpportunity = 0;
};
struct SettingWrite {
    QString name;
    QString value;
    friend bool operator==(const SettingWrite&, const SettingWrite&) = default;
};
// The nine values in the order they are written; the PDF and Add Notes choices only
// while their boxes are enabled.
std::vector<SettingWrite> SettingsToWrite(const CommitChoices& choices);

} // namespace pellwick::savequote
