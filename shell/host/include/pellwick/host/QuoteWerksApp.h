#pragma once
// The quoting host's automation interface as the plug-in sees it. The real host is
// reached through a D-Bus implementation (DBusQuoteWerksApp); tests may supply fakes.

#include <QObject>
#include <QString>
#include <QVariant>
#include <memory>
#include <stdexcept>

namespace pellwick {

// Thrown by every host operation that cannot be carried out: the host has gone away,
// did not answer in time, or refused the call. Callers treat it as "host unavailable".
class HostError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The document accessor: the quote open in the host.
class QuoteWerksDocument {
public:
    virtual ~QuoteWerksDocument() = default;
    // One field of the open document ("DocNo", "SoldToEmail", ...): text or number.
    virtual QVariant GetFieldValue(const QString& fieldName) = 0;
    // Writes one field; refresh = false for every field of a batch but the last.
    // Returns the host's status (callers ignore it).
    virtual int SetFieldValue(const QString& fieldName, const QString& value, bool refresh) = 0;
    // True when the host has no document open.
    virtual bool NoDocumentOpen() = 0;
};

// The host's application object with its events, delivered on the UI thread.
class QuoteWerksApp : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~QuoteWerksApp() override = default;

    // The host's program folder, without a trailing separator.
    virtual QString ProgramFolder() = 0;
    // The accessor of the open document; lives as long as this object.
    virtual QuoteWerksDocument& DocumentAccess() = 0;

signals:
    void AfterAppExit();
    void AfterSaveDocument(qint16 iResult);
    // iSource and bCancel are by reference in the host's contract; handlers may change
    // them, and implementations that can carry the change back do so.
    void BeforeContactSelection(qint16 iType, qint16& iSource);
    void BeforePrintDocument(qint16 iPrintMethod, qint16 iLayoutType,
                             const QString& sLayoutFileName, bool& bCancel);
    // Not one of the host's events: the host is gone (ended, or crashed without
    // AfterAppExit), so none of its events will ever arrive here again.
    void HostVanished();
};

} // namespace pellwick
