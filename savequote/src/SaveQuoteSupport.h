#pragma once
// What the Save Quote window's files share: its debug lines, the host's fields, the
// CRM services and reading and filling its lists.

#include <QComboBox>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

namespace tessary {
class Notifier;
class ContactService;
class DataService;
class FileService;
class clsHelpers;
} // namespace tessary

namespace pellwick::savequote {

// A debug line: "frmSaveQuote" followed by the suffix.
void DebugLine(const QString& suffix);

// A field of the open quote as text; throws when the host is not there or refuses.
QString HostField(const QString& fieldName);

// The contact a commit writes for: its CRM Id and the names the opportunity's title uses.
struct CommitContact {
    std::int32_t id = 0;
    QString firstName;
    QString lastName;
    QString email;
};

// The program's CRM services; throws ProgramError when there is no connection.
struct CrmServices {
    std::shared_ptr<tessary::DataService> data;
    std::shared_ptr<tessary::ContactService> contacts;
    std::shared_ptr<tessary::FileService> files;
    std::shared_ptr<tessary::clsHelpers> helpers;
};
CrmServices Crm();

// Whether the CRM library showed a box while this object lived. Some of its calls show
// their failure in a box and still answer as if all went well; the boxes pass on as
// before.
class LibraryBoxWatch {
public:
    LibraryBoxWatch();
    ~LibraryBoxWatch();
    LibraryBoxWatch(const LibraryBoxWatch&) = delete;
    LibraryBoxWatch& operator=(const LibraryBoxWatch&) = delete;
    bool Reported() const;

private:
    class Counter;
    std::shared_ptr<tessary::Notifier> m_previous;
    std::shared_ptr<Counter> m_counter;
};

// The value of the selected entry, or nothing when none is selected.
std::optional<std::int32_t> SelectedValue(const QComboBox* box);
// Appends an entry without changing the selection (QComboBox would select its first
// entry by itself) and without signals.
void AppendEntry(QComboBox* box, const QString& text, std::int32_t value);
// Sets the selection without signals; the caller runs the click handler.
void SetSelection(QComboBox* box, int index);

} // namespace pellwick::savequote
