#pragma once
// The host's application object reached over the session bus.

#include "pellwick/host/QuoteWerksApp.h"

#include <QDBusConnection>
#include <QString>
#include <QVariantList>
#include <memory>

class QDBusMessage;

namespace pellwick {

// Talks to one running host instance: calls go to the unique bus name that owned
// "QuoteWerks.Application" when attaching, so a host that exits and a new one that
// starts later are never mixed up (the old object simply stops answering, as a
// released automation object would).
//
// Every call blocks the calling (UI) thread for at most the time-out given and never
// runs the event loop meanwhile; a failed, refused or unanswered call throws
// HostError. The host's signals arrive as this object's signals on the thread that
// owns it. HostVanished is emitted once the attached host no longer owns
// "QuoteWerks.Application" (it ended or crashed). The by-reference arguments of
// BeforeContactSelection (iSource) and BeforePrintDocument (bCancel) cannot travel back over a
// D-Bus signal: handlers may change them, but the host never sees the change.
class DBusQuoteWerksApp final : public QuoteWerksApp {
    Q_OBJECT
public:
    // hostUniqueName: the bus name of the running host (":1.42"). Subscribes to the
    // host's signals; subscribed() tells whether that worked.
    DBusQuoteWerksApp(const QDBusConnection& bus, const QString& hostUniqueName, int callTimeoutMs,
                      QObject* parent = nullptr);
    ~DBusQuoteWerksApp() override;

    QString ProgramFolder() override;
    QuoteWerksDocument& DocumentAccess() override;

    bool subscribed() const { return m_subscribed; }
    const QString& hostUniqueName() const { return m_host; }

private slots:
    void onAfterAppExit();
    void onAfterSaveDocument(qint16 iResult);
    void onBeforeContactSelection(qint16 iType, qint16 iSource);
    void onBeforePrintDocument(qint16 iPrintMethod, qint16 iLayoutType,
                               const QString& sLayoutFileName, bool bCancel);

private:
    class Document;
    friend class Document;

    // One method call to the host; returns the reply's arguments or throws HostError.
    QVariantList call(const QString& method, const QVariantList& args, const char* replySignature);

    QDBusConnection m_bus;
    QString m_host;
    int m_timeoutMs;
    bool m_subscribed = false;
    bool m_vanished = false;
    std::unique_ptr<Document> m_document;
};

// Attaches to the host that currently owns "QuoteWerks.Application" on the session bus.
// Never starts the host (no bus activation). Returns nullptr when it is not running,
// which is any failure: no session bus, no owner, an owner that does not answer
// ProgramFolder within the time-out, or the events cannot be subscribed. whyNot, when
// given, receives the reason.
std::shared_ptr<QuoteWerksApp> AttachToRunningQuoteWerks(QString* whyNot = nullptr);

// The same on a given bus connection and with a given call time-out (tests).
std::shared_ptr<QuoteWerksApp>
AttachToRunningQuoteWerks(const QDBusConnection& bus, int callTimeoutMs, QString* whyNot = nullptr);

} // namespace pellwick
