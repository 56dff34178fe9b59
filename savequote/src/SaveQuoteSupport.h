#pragma once
// What the Save Quote window's files share: its debug lines, the host's fields, the
// CRM services and reading and filling its lists.

#include "pellwick/CrmCalls.h"
#include "pellwick/savequote/CommitJournal.h"

#include <QComboBox>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessary {
class ContactService;
class DataService;
class FileService;
class RpcArray;
class RpcStruct;
class clsHelpers;
class clsInfusionsoftAPI;
} // namespace tessary

namespace pellwick::savequote {

// A debug line: "frmSaveQuote" followed by the suffix.
void DebugLine(const QString& suffix);

// A field of the open quote as text; throws when the host is not there or refuses.
QString HostField(const QString& fieldName);

// The program's CRM connection and its services; throws ProgramError when there is none.
struct CrmServices {
    std::shared_ptr<tessary::clsInfusionsoftAPI> api;
    std::shared_ptr<tessary::DataService> data;
    std::shared_ptr<tessary::ContactService> contacts;
    std::shared_ptr<tessary::FileService> files;
    std::shared_ptr<tessary::clsHelpers> helpers;
};
CrmServices Crm();

// How the last CRM call failed, in the words the step list shows (the server's own where
// it gave some), and whether the CRM may have carried it out all the same.
struct CrmFailure {
    QString message;
    bool mayHaveBeenCarriedOut = false;
    bool unreachable = false; // no answer came at all
};
CrmFailure LastCrmFailure(const CrmServices& crm);

// The records of every page of a query (pages of kCollectPageSize, read while the last
// one was full and brought a record not seen before, at most `pages` of them), all read
// on the CRM worker in one go. `complete` is false when a query failed (the library has
// shown why); the records read before it are kept.
struct PagesRead {
    std::vector<std::shared_ptr<tessary::RpcStruct>> records;
    bool complete = false;
};
PagesRead QueryPages(const CrmServices& crm, const std::string& table,
                     const tessary::RpcStruct& queryData, const tessary::RpcArray& fields,
                     std::int32_t pages, CrmCancel* cancel = nullptr);

// The value of the selected entry, or nothing when none is selected.
std::optional<std::int32_t> SelectedValue(const QComboBox* box);
// Appends an entry without changing the selection (QComboBox would select its first
// entry by itself) and without signals.
void AppendEntry(QComboBox* box, const QString& text, std::int32_t value);
// Sets the selection without signals; the caller runs the click handler.
void SetSelection(QComboBox* box, int index);

} // namespace pellwick::savequote
