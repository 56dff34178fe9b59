#pragma once
// The host in memory: one document of named fields, a program folder, and switches to
// close the document or make the host vanish (every call then throws HostError).

#include "QuoteWerksApp.h"

#include <QHash>
#include <QStringList>
#include <vector>

namespace pellwick::testing {

class FakeQuoteWerksApp : public QuoteWerksApp, private QuoteWerksDocument {
    Q_OBJECT
public:
    struct Write {
        QString field;
        QString value;
        bool refresh;
        friend bool operator==(const Write&, const Write&) = default;
    };

    explicit FakeQuoteWerksApp(QString programFolder = QStringLiteral("/opt/QuoteWerks"));

    QString ProgramFolder() override;
    QuoteWerksDocument& DocumentAccess() override;

    // The document's fields; a field never set reads as empty text.
    QHash<QString, QVariant> fields;
    // True: the host has no document open.
    bool noDocumentOpen = false;
    // True: the host has gone away; every call throws HostError.
    bool gone = false;

    // Every field read, and every write with its refresh flag, in order.
    QStringList reads;
    std::vector<Write> writes;

private:
    QVariant GetFieldValue(const QString& fieldName) override;
    int SetFieldValue(const QString& fieldName, const QString& value, bool refresh) override;
    bool NoDocumentOpen() override;
    void ThrowIfGone() const;

    QString m_programFolder;
};

} // namespace pellwick::testing
