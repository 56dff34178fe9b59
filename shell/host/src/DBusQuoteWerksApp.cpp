#include "pellwick/host/DBusQuoteWerksApp.h"

#include "pellwick/host/HostBus.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QMetaType>
#include <utility>

namespace pellwick {

namespace {

[[noreturn]] void fail(const QString& text) {
    throw HostError(text.toStdString());
}

// The value inside a received "v": plain text, numbers and booleans are passed on;
// containers have no meaning as a field value.
QVariant plainValue(const QVariant& received, const QString& fieldName) {
    QVariant value = received;
    if (value.metaType() == QMetaType::fromType<QDBusVariant>())
        value = qvariant_cast<QDBusVariant>(value).variant();
    switch (value.metaType().id()) {
    case QMetaType::QString:
    case QMetaType::Double:
    case QMetaType::Bool:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::UChar:
        return value;
    default:
        fail(
            QStringLiteral(
                "QuoteWerks returned a value of an unsupported type (%1) for the field %2.")
                .arg(QString::fromLatin1(value.typeName() ? value.typeName() : "none"), fieldName));
    }
}

} // namespace

class DBusQuoteWerksApp::Document final : public QuoteWerksDocument {
public:
    explicit Document(DBusQuoteWerksApp& app) : m_app(app) {}

    QVariant GetFieldValue(const QString& fieldName) override {
        const QVariantList out = m_app.call(QStringLiteral("GetFieldValue"), {fieldName}, "v");
        return plainValue(out.at(0), fieldName);
    }

    int SetFieldValue(const QString& fieldName, const QString& value, bool refresh) override {
        const QVariantList out =
            m_app.call(QStringLiteral("SetFieldValue"), {fieldName, value, refresh}, "i");
        return out.at(0).toInt();
    }

    bool NoDocumentOpen() override {
        return m_app.call(QStringLiteral("NoDocumentOpen"), {}, "b").at(0).toBool();
    }

private:
    DBusQuoteWerksApp& m_app;
};

DBusQuoteWerksApp::DBusQuoteWerksApp(const QDBusConnection& bus, const QString& hostUniqueName,
                                     int callTimeoutMs, QObject* parent)
    : QuoteWerksApp(parent), m_bus(bus), m_host(hostUniqueName), m_timeoutMs(callTimeoutMs),
      m_document(std::make_unique<Document>(*this)) {
    // A crashed host sends no AfterAppExit; the bus still tells when its name loses the
    // owner we attached to. Watched before anything is asked of the host, so a host
    // that dies after answering is always noticed.
    auto* watcher = new QDBusServiceWatcher(QString::fromLatin1(hostbus::kServiceName), m_bus,
                                            QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString& oldOwner, const QString&) {
                if (oldOwner == m_host && !std::exchange(m_vanished, true))
                    emit HostVanished();
            });
    const QString path = QString::fromLatin1(hostbus::kObjectPath);
    const QString iface = QString::fromLatin1(hostbus::kInterface);
    // The bus delivers these to this object's thread; the slots re-emit them as the
    // host interface's signals.
    m_subscribed = m_bus.connect(m_host, path, iface, QStringLiteral("AfterAppExit"), this,
                                 SLOT(onAfterAppExit())) &&
                   m_bus.connect(m_host, path, iface, QStringLiteral("AfterSaveDocument"), this,
                                 SLOT(onAfterSaveDocument(qint16))) &&
                   m_bus.connect(m_host, path, iface, QStringLiteral("BeforeContactSelection"),
                                 this, SLOT(onBeforeContactSelection(qint16, qint16))) &&
                   m_bus.connect(m_host, path, iface, QStringLiteral("BeforePrintDocument"), this,
                                 SLOT(onBeforePrintDocument(qint16, qint16, QString, bool)));
}

DBusQuoteWerksApp::~DBusQuoteWerksApp() {
    const QString path = QString::fromLatin1(hostbus::kObjectPath);
    const QString iface = QString::fromLatin1(hostbus::kInterface);
    m_bus.disconnect(m_host, path, iface, QStringLiteral("AfterAppExit"), this,
                     SLOT(onAfterAppExit()));
    m_bus.disconnect(m_host, path, iface, QStringLiteral("AfterSaveDocument"), this,
                     SLOT(onAfterSaveDocument(qint16)));
    m_bus.disconnect(m_host, path, iface, QStringLiteral("BeforeContactSelection"), this,
                     SLOT(onBeforeContactSelection(qint16, qint16)));
    m_bus.disconnect(m_host, path, iface, QStringLiteral("BeforePrintDocument"), this,
                     SLOT(onBeforePrintDocument(qint16, qint16, QString, bool)));
}

QString DBusQuoteWerksApp::ProgramFolder() {
    return call(QStringLiteral("ProgramFolder"), {}, "s").at(0).toString();
}

QuoteWerksDocument& DBusQuoteWerksApp::DocumentAccess() {
    return *m_document;
}

QVariantList DBusQuoteWerksApp::call(const QString& method, const QVariantList& args,
                                     const char* replySignature) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(m_host, QString::fromLatin1(hostbus::kObjectPath),
                                       QString::fromLatin1(hostbus::kInterface), method);
    message.setArguments(args);
    message.setAutoStartService(false);
    // Block, not BlockWithGui: no event of the program may run while the host is asked.
    const QDBusMessage reply = m_bus.call(message, QDBus::Block, m_timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        const QString why =
            reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
        fail(QStringLiteral("QuoteWerks did not carry out %1: %2").arg(method, why));
    }
    if (reply.signature() != QLatin1String(replySignature))
        fail(QStringLiteral("QuoteWerks answered %1 with an unexpected reply (signature \"%2\").")
                 .arg(method, reply.signature()));
    return reply.arguments();
}

void DBusQuoteWerksApp::onAfterAppExit() {
    emit AfterAppExit();
}

void DBusQuoteWerksApp::onAfterSaveDocument(qint16 iResult) {
    emit AfterSaveDocument(iResult);
}

void DBusQuoteWerksApp::onBeforeContactSelection(qint16 iType, qint16 iSource) {
    // A handler's change of iSource stays here: a signal carries nothing back.
    emit BeforeContactSelection(iType, iSource);
}

void DBusQuoteWerksApp::onBeforePrintDocument(qint16 iPrintMethod, qint16 iLayoutType,
                                              const QString& sLayoutFileName, bool bCancel) {
    // Likewise bCancel: the host has already gone on printing.
    emit BeforePrintDocument(iPrintMethod, iLayoutType, sLayoutFileName, bCancel);
}

std::shared_ptr<QuoteWerksApp> AttachToRunningQuoteWerks(QString* whyNot) {
    return AttachToRunningQuoteWerks(QDBusConnection::sessionBus(), hostbus::kDefaultCallTimeoutMs,
                                     whyNot);
}

std::shared_ptr<QuoteWerksApp> AttachToRunningQuoteWerks(const QDBusConnection& bus,
                                                         int callTimeoutMs, QString* whyNot) {
    auto notRunning = [whyNot](const QString& reason) -> std::shared_ptr<QuoteWerksApp> {
        if (whyNot)
            *whyNot = reason;
        return nullptr;
    };
    if (!bus.isConnected())
        return notRunning(QStringLiteral("No session bus: %1").arg(bus.lastError().message()));
    QDBusConnectionInterface* daemon = bus.interface();
    if (!daemon)
        return notRunning(QStringLiteral("The session bus offers no name service."));
    const QString name = QString::fromLatin1(hostbus::kServiceName);
    // Only a current owner counts: asking the bus daemon never activates anything.
    const QDBusReply<bool> registered = daemon->isServiceRegistered(name);
    if (!registered.isValid())
        return notRunning(registered.error().message());
    if (!registered.value())
        return notRunning(QStringLiteral("No program owns %1 on the session bus.").arg(name));
    const QDBusReply<QString> owner = daemon->serviceOwner(name);
    if (!owner.isValid() || owner.value().isEmpty())
        return notRunning(QStringLiteral("The owner of %1 went away.").arg(name));

    auto app = std::make_shared<DBusQuoteWerksApp>(bus, owner.value(), callTimeoutMs);
    if (!app->subscribed())
        return notRunning(QStringLiteral("Cannot subscribe to the events of %1: %2")
                              .arg(name, bus.lastError().message()));
    try {
        // The owner must answer in time and speak the host's interface.
        app->ProgramFolder();
    } catch (const HostError& e) {
        return notRunning(QString::fromStdString(e.what()));
    }
    return app;
}

} // namespace pellwick
