#pragma once
// What the Save Quote window's files share: its debug lines, the host's fields, the
// CRM services and reading and filling its lists.

#include "pellwick/CrmCalls.h"
#include "pellwick/WindowDoors.h"
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
QString HostField(const WindowDoors& doors, const QString& fieldName);

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
