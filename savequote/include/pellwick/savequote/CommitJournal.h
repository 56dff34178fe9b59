#pragma once
// The journal of an unfinished commit: for the open quote, the choices it runs with, its
// contact and the steps done with the Ids they made. Kept in the user's state folder
// (private, written whole) from the first step until the sequence completes or is
// cancelled, so that a Save of the same quote after a crash can finish it without
// repeating a step.

#include "pellwick/savequote/CommitSteps.h"
#include "pellwick/savequote/SaveQuoteRules.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace pellwick::savequote {

// The contact a commit writes for: its CRM Id and the names the opportunity's title uses.
struct CommitContact {
    std::int32_t id = 0;
    QString firstName;
    QString lastName;
    QString email;
    friend bool operator==(const CommitContact&, const CommitContact&) = default;
};

struct CommitJournal {
    QString quoteNo;
    // The contact entry chosen (a CRM Id, or -1..-3 for a new contact from a section).
    std::int32_t contactEntry = 0;
    CommitContact contact; // once the contact step is done
    CommitChoices choices;
    std::int32_t opportunityBase = 0; // the contact's newest opportunity before this commit
    CommitSteps steps;
};

// The journal as stored, and back; nothing for bytes that are no journal of this form.
QByteArray JournalBytes(const CommitJournal& journal);
std::optional<CommitJournal> JournalFromBytes(const QByteArray& bytes);

// The journal of this quote in the user's state folder: written whole, private to the
// user (false, with *why, when it cannot be written; the one before stays); read back
// with its running steps uncertain (the program ended during them); removed.
bool SaveJournal(const CommitJournal& journal, QString* why = nullptr);
std::optional<CommitJournal> LoadJournal(const QString& quoteNo);
void RemoveJournal(const QString& quoteNo);
// The state file's name for a quote number (any text: the number is not part of it).
QString JournalFileName(const QString& quoteNo);

} // namespace pellwick::savequote
