#include "HostStandInProcess.h"

#include "pellwick/host/HostBus.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <signal.h>
#include <stdexcept>
#include <utility>

namespace hoststandin {

namespace {

constexpr char kTestingPath[] = "/HostStandIn";
constexpr char kTestingInterface[] = "com.pellwick.HostStandIn.Testing";
constexpr int kCallTimeoutMs = 10000;

} // namespace

HostStandInProcess::HostStandInProcess() : HostStandInProcess(Options{}) {}

HostStandInProcess::HostStandInProcess(Options options) : m_options(std::move(options)) {
    QDir(m_dir.path()).mkpath(QStringLiteral("QuoteWerks"));
}

HostStandInProcess::~HostStandInProcess() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    resume();
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

QString HostStandInProcess::executable() {
    return QStringLiteral(PELLWICK_HOSTSTANDIN_EXE);
}

QString HostStandInProcess::sampleQuoteFile() {
    return QStringLiteral(PELLWICK_HOSTSTANDIN_SAMPLE_QUOTE);
}

QString HostStandInProcess::programFolder() const {
    return QDir(m_dir.path()).filePath(QStringLiteral("QuoteWerks"));
}

bool HostStandInProcess::isRunning() const {
    return m_process.state() != QProcess::NotRunning;
}

qint64 HostStandInProcess::processId() const {
    return m_process.processId();
}

void HostStandInProcess::collectOutput() {
    m_output += QString::fromLocal8Bit(m_process.readAllStandardError());
}

QString HostStandInProcess::output() {
    collectOutput();
    m_output += QString::fromLocal8Bit(m_process.readAllStandardOutput());
    return m_output;
}

bool HostStandInProcess::start(QString* error) {
    auto failed = [this, error](const QString& why) {
        if (error)
            *error = QStringLiteral("%1\n--- hoststandin output ---\n%2").arg(why, output());
        return false;
    };
    if (!m_dir.isValid())
        return failed(QStringLiteral("no temporary folder: %1").arg(m_dir.errorString()));
    if (isRunning())
        return failed(QStringLiteral("the stand-in already runs"));
    if (!m_options.siteIni.isEmpty()) {
        QFile ini(QDir(programFolder()).filePath(QStringLiteral("site.ini")));
        if (!ini.open(QIODevice::WriteOnly) ||
            ini.write(m_options.siteIni) != m_options.siteIni.size())
            return failed(QStringLiteral("cannot write %1").arg(ini.fileName()));
    }

    QStringList args{QStringLiteral("--program-folder"), programFolder()};
    const QString quote = !m_options.quoteFile.isEmpty() ? m_options.quoteFile
                          : m_options.sampleQuote        ? sampleQuoteFile()
                                                         : QString();
    if (!quote.isEmpty())
        args << QStringLiteral("--quote") << quote;
    if (!m_options.addons)
        args << QStringLiteral("--no-addons");

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_process.setProcessEnvironment(env);
    m_process.setProgram(executable());
    m_process.setArguments(args);
    m_process.start();
    if (!m_process.waitForStarted(5000))
        return failed(
            QStringLiteral("cannot start %1: %2").arg(executable(), m_process.errorString()));

    // Wait for the ready line; the stand-in prints it once it owns the name.
    QDeadlineTimer deadline(m_options.startTimeoutMs);
    bool ready = false;
    while (!ready) {
        if (m_process.canReadLine()) {
            const QByteArray line = m_process.readLine();
            m_output += QString::fromLocal8Bit(line);
            ready = line.startsWith("READY ");
            continue;
        }
        if (m_process.state() == QProcess::NotRunning)
            return failed(QStringLiteral("the stand-in ended before it was ready (exit code %1)")
                              .arg(m_process.exitCode()));
        if (deadline.hasExpired())
            return failed(QStringLiteral("the stand-in was not ready within %1 ms")
                              .arg(m_options.startTimeoutMs));
        m_process.waitForReadyRead(static_cast<int>(qMin<qint64>(deadline.remainingTime(), 500)));
        collectOutput();
    }

    // The name must now belong to this very process, not to a stray host.
    QDBusConnectionInterface* daemon = QDBusConnection::sessionBus().interface();
    if (!daemon)
        return failed(QStringLiteral("no session bus"));
    const QString name = QString::fromLatin1(pellwick::hostbus::kServiceName);
    const QDBusReply<QString> owner = daemon->serviceOwner(name);
    const QDBusReply<uint> pid = daemon->servicePid(name);
    if (!owner.isValid() || !pid.isValid())
        return failed(QStringLiteral("%1 has no owner after the ready line").arg(name));
    if (static_cast<qint64>(pid.value()) != m_process.processId())
        return failed(QStringLiteral("%1 belongs to process %2, not to the stand-in %3")
                          .arg(name)
                          .arg(pid.value())
                          .arg(m_process.processId()));
    m_uniqueName = owner.value();
    return true;
}

QVariantList HostStandInProcess::call(const QString& method, const QVariantList& args) {
    if (m_uniqueName.isEmpty())
        throw std::runtime_error("hoststandin: not started");
    QDBusMessage message =
        QDBusMessage::createMethodCall(m_uniqueName, QString::fromLatin1(kTestingPath),
                                       QString::fromLatin1(kTestingInterface), method);
    message.setArguments(args);
    message.setAutoStartService(false);
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(message, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        throw std::runtime_error(QStringLiteral("hoststandin %1 failed: %2 (%3)")
                                     .arg(method, reply.errorMessage(), reply.errorName())
                                     .toStdString());
    return reply.arguments();
}

void HostStandInProcess::setField(const QString& name, const QString& value) {
    call(QStringLiteral("SetField"), {name, value});
}

QString HostStandInProcess::formField(const QString& name) {
    return call(QStringLiteral("FormField"), {name}).value(0).toString();
}

QVariantMap HostStandInProcess::formFields() {
    const QVariant value = call(QStringLiteral("FormFields")).value(0);
    return qdbus_cast<QVariantMap>(value);
}

qint16 HostStandInProcess::save() {
    return static_cast<qint16>(call(QStringLiteral("Save")).value(0).toInt());
}

QString HostStandInProcess::email() {
    return call(QStringLiteral("Email")).value(0).toString();
}

void HostStandInProcess::print() {
    call(QStringLiteral("Print"));
}

void HostStandInProcess::selectContact(qint16 type, qint16 source) {
    call(QStringLiteral("SelectContact"), {QVariant::fromValue(type), QVariant::fromValue(source)});
}

void HostStandInProcess::closeDocument() {
    call(QStringLiteral("CloseDocument"));
}

void HostStandInProcess::openDocument() {
    call(QStringLiteral("OpenDocument"));
}

void HostStandInProcess::setEmailPdfDelay(int ms) {
    call(QStringLiteral("SetEmailPdfDelay"), {ms});
}

QStringList HostStandInProcess::startedAddons() {
    return call(QStringLiteral("StartedAddons")).value(0).toStringList();
}

bool HostStandInProcess::exit(int timeoutMs) {
    call(QStringLiteral("Exit"));
    const bool ended = m_process.waitForFinished(timeoutMs);
    collectOutput();
    return ended;
}

void HostStandInProcess::kill() {
    resume();
    m_process.kill();
    m_process.waitForFinished(5000);
    collectOutput();
}

void HostStandInProcess::suspend() {
    if (isRunning())
        ::kill(static_cast<pid_t>(m_process.processId()), SIGSTOP);
}

void HostStandInProcess::resume() {
    if (isRunning())
        ::kill(static_cast<pid_t>(m_process.processId()), SIGCONT);
}

} // namespace hoststandin
