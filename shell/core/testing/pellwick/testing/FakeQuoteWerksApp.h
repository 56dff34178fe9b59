#pragma once
// The host in memory, for tests of code that uses QuoteWerksApp: one document of fields
// kept under the host's field names (any case, like the host), every read and write
// recorded, events raised on demand, and the failures of a real host: a field name the
// host does not know, no document open, the host gone. For tests over the bus use the
// host stand-in instead.

#include "pellwick/host/HostFields.h"
#include "pellwick/host/QuoteWerksApp.h"

#include <QHash>
#include <QStringList>
#include <ostream>
#include <vector>

namespace pellwick::testing {

class FakeQuoteWerksApp final : public QuoteWerksApp, public QuoteWerksDocument {
    Q_OBJECT
public:
    struct Write {
        QString field; // the name as the caller spelt it
        QString value;
        bool refresh;
        friend bool operator==(const Write&, const Write&) = default;
        // Readable in GoogleTest's failure messages.
        friend void PrintTo(const Write& w, std::ostream* out) {
            *out << w.field.toStdString() << "=\"" << w.value.toStdString() << '"'
                 << (w.refresh ? " (refresh)" : "");
        }
    };

    explicit FakeQuoteWerksApp(QString programFolder = QStringLiteral("/tmp/QuoteWerks"),
                               QObject* parent = nullptr);

    // Sets a field's value as the host holds it (text or number); the name in any case.
    // Throws std::invalid_argument for a name the host does not know.
    void setField(const QString& name, const QVariant& value);
    // The value the host holds now (empty text when never set).
    QVariant field(const QString& name) const;

    // State of the host.
    void setDocumentOpen(bool open) { m_documentOpen = open; }
    // A host that went away: every operation throws HostError from now on.
    void setGone(bool gone) { m_gone = gone; }
    // A field the host refuses to read (HostError), as a host may fail in the middle of
    // a sequence of reads; false reads it again.
    void setFieldFailing(const QString& name, bool failing);

    // What callers did, in order.
    const std::vector<Write>& writes() const { return m_writes; }
    const QStringList& reads() const { return m_reads; }
    void clearRecord();

    // Raise the host's events. The by-reference values after the handlers ran are
    // returned (a real host over the bus never sees them).
    void raiseAfterAppExit() { emit AfterAppExit(); }
    void raiseAfterSaveDocument(qint16 result) { emit AfterSaveDocument(result); }
    qint16 raiseBeforeContactSelection(qint16 type, qint16 source);
    bool
    raiseBeforePrintDocument(qint16 printMethod, qint16 layoutType = 0,
                             const QString& layoutFileName = QStringLiteral("Standard Quote.qwl"),
                             bool cancel = false);

    // QuoteWerksApp
    QString ProgramFolder() override;
    QuoteWerksDocument& DocumentAccess() override;
    // QuoteWerksDocument: unknown field names and a closed document throw HostError.
    QVariant GetFieldValue(const QString& fieldName) override;
    int SetFieldValue(const QString& fieldName, const QString& value, bool refresh) override;
    bool NoDocumentOpen() override;

private:
    void throwIfGone() const;
    QString checkedField(const QString& name) const;

    QString m_programFolder;
    QHash<QString, QVariant> m_fields; // canonical name -> value
    bool m_documentOpen = true;
    bool m_gone = false;
    QStringList m_failingFields; // canonical names
    std::vector<Write> m_writes;
    QStringList m_reads;
};

} // namespace pellwick::testing
