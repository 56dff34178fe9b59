#include "BusObjects.h"

#include "HostWindow.h"
#include "QuoteDocument.h"
#include "StandInHost.h"
#include "pellwick/host/HostBus.h"

#include <QLocale>
#include <QMetaType>
#include <utility>

namespace hoststandin {

namespace {

// The error reply for a field operation that the host refuses.
bool fieldFailed(QDBusContext& context, StandInHost::FieldStatus status, const QString& name) {
    if (status == StandInHost::FieldStatus::Ok)
        return false;
    if (status == StandInHost::FieldStatus::UnknownField)
        context.sendErrorReply(QString::fromLatin1(pellwick::hostbus::kErrorUnknownField),
                               QStringLiteral("Unknown field name \"%1\".").arg(name));
    else
        context.sendErrorReply(QString::fromLatin1(pellwick::hostbus::kErrorNoDocumentOpen),
                               QStringLiteral("No document is open."));
    return true;
}

} // namespace

AutomationObject::AutomationObject(StandInHost& host, QObject* parent)
    : QObject(parent), m_host(host) {
    connect(&host, &StandInHost::AfterAppExit, this, &AutomationObject::AfterAppExit);
    connect(&host, &StandInHost::AfterSaveDocument, this, &AutomationObject::AfterSaveDocument);
    connect(&host, &StandInHost::BeforeContactSelection, this,
            &AutomationObject::BeforeContactSelection);
    connect(&host, &StandInHost::BeforePrintDocument, this, &AutomationObject::BeforePrintDocument);
}

QString AutomationObject::ProgramFolder() {
    return m_host.programFolder();
}

bool AutomationObject::NoDocumentOpen() {
    return !m_host.documentOpen();
}

QDBusVariant AutomationObject::GetFieldValue(const QString& fieldName) {
    QString value;
    if (fieldFailed(*this, m_host.fieldValue(fieldName, &value), fieldName))
        return QDBusVariant(QString());
    // The total is a number when its text is one; every other field is text.
    if (QuoteDocument::canonicalName(fieldName) == QLatin1String("GrandTotal")) {
        QLocale plain = QLocale::c();
        plain.setNumberOptions(QLocale::RejectGroupSeparator);
        bool ok = false;
        const double number = plain.toDouble(value.trimmed(), &ok);
        if (ok)
            return QDBusVariant(number);
    }
    return QDBusVariant(value);
}

int AutomationObject::SetFieldValue(const QString& fieldName, const QString& value, bool refresh) {
    if (fieldFailed(*this, m_host.setFieldValue(fieldName, value, refresh), fieldName))
        return 0;
    return 1;
}

TestingObject::TestingObject(StandInHost& host, HostWindow& window, QObject* parent)
    : QObject(parent), m_host(host), m_window(window) {}

bool TestingObject::fail(const QString& text) {
    sendErrorReply(QString::fromLatin1(kTestingError), text);
    return false;
}

void TestingObject::SetField(const QString& name, const QString& value) {
    const QString canonical = QuoteDocument::canonicalName(name);
    if (canonical.isEmpty()) {
        fail(QStringLiteral("Unknown field name \"%1\".").arg(name));
        return;
    }
    if (!m_host.documentOpen()) {
        fail(QStringLiteral("No document is open."));
        return;
    }
    m_window.typeIntoField(canonical, value);
}

QString TestingObject::FormField(const QString& name) {
    const QString canonical = QuoteDocument::canonicalName(name);
    if (canonical.isEmpty()) {
        fail(QStringLiteral("Unknown field name \"%1\".").arg(name));
        return {};
    }
    return m_window.shownText(canonical);
}

QVariantMap TestingObject::FormFields() {
    QVariantMap fields;
    for (const QString& name : QuoteDocument::fieldNames())
        fields.insert(name, m_window.shownText(name));
    return fields;
}

qint16 TestingObject::Save() {
    QString message;
    const qint16 result = m_host.save(&message);
    if (result < 0)
        fail(message);
    return result;
}

QString TestingObject::Email() {
    QString message;
    if (!m_host.email(&message)) {
        fail(message);
        return {};
    }
    return m_host.emailPdfPath();
}

void TestingObject::Print() {
    QString message;
    if (!m_host.print(&message))
        fail(message);
}

void TestingObject::SelectContact(qint16 iType, qint16 iSource) {
    QString message;
    if (!m_host.selectContact(iType, iSource, &message))
        fail(message);
}

void TestingObject::CloseDocument() {
    m_host.closeDocument();
}

void TestingObject::OpenDocument() {
    m_host.openDocument();
}

void TestingObject::Exit() {
    // The reply goes out before the quit that exitRequested queues.
    m_host.exit();
}

void TestingObject::SetEmailPdfDelay(int ms) {
    m_host.setEmailPdfDelay(ms);
}

void TestingObject::Screenshot(const QString& path) {
    if (!m_window.grab().save(path, "PNG"))
        fail(QStringLiteral("Cannot write the picture %1.").arg(path));
}

QStringList TestingObject::StartedAddons() {
    return m_startedAddons;
}

} // namespace hoststandin
