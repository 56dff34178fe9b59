#include "pellwick/modMain.h"

#include "PrivateFiles.h"
#include "pellwick/ErrorReport.h"
#include "pellwick/ProgramState.h"
#include "pellwick/modRegistry.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QWindow>
#include <unistd.h>
#include <utility>

namespace pellwick {
namespace {

const QString kHive = QStringLiteral("HKCU");
const QString kNoteTemplate = QStringLiteral("[QUOTE_NAME] <[QUOTE_NO]>");

const QHash<QString, QString>& Defaults() {
    static const QHash<QString, QString> defaults = {
        {setting::InfusionsoftAppName, QString()},
        {setting::InfusionsoftAPIKey, QString()},
        {setting::ContactNotesActionDescription, kNoteTemplate},
        {setting::ContactNotesCreationNotes, kNoteTemplate},
        {setting::DebugMode, QStringLiteral("0")},
        {setting::ShowSaveQuoteOnSave, QStringLiteral("1")},
        {setting::ShowSaveQuoteOnEmail, QStringLiteral("1")},
        {setting::SetContactManagerSetting, QStringLiteral("1")},
        {setting::AddQuoteDocNo, QStringLiteral("1")},
        {setting::AddOpportunityNotes, QStringLiteral("1")},
        {setting::UploadQuoteFile, QStringLiteral("1")},
        {setting::UploadQuotePDFFile, QStringLiteral("1")},
        {setting::OpenContactRecord, QStringLiteral("1")},
        {setting::UpdateProjectedRevenue, QStringLiteral("1")},
        {setting::OpenOpportunityRecord, QStringLiteral("1")},
        {setting::DropDownOpportunity, QStringLiteral("0")},
        {setting::DropDownActionSet, QStringLiteral("0")},
        {setting::InfusionsoftServiceDomain, QString()},
        {setting::InfusionsoftServicePort, QString()},
        {setting::InfusionsoftCABundle, QString()},
        {setting::InfusionsoftUseCurrentEndpoint, QStringLiteral("0")},
        {setting::InfusionsoftInterface, QString()},
        {setting::InfusionsoftRestBaseUrl, QString()},
    };
    return defaults;
}

std::int32_t ReadInt32Setting(const QString& valueName) {
    const std::int32_t fallback = TextToInt32(SettingDefault(valueName)).value_or(0);
    std::int32_t value = fallback;
    ReadRegistryValue(kHive, SettingsKey, valueName, QStringLiteral("S"), fallback, value);
    return value;
}

int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

QString& DebugLogFolderOverride() {
    static QString folder;
    return folder;
}

// The local date and time as the system writes them: short date, a blank, long time.
// Qt's long time format ends with the time zone, which the log leaves out.
QString LogTimestamp() {
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b\\s*"));
    timeFormat.replace(zone, QStringLiteral(" "));
    timeFormat = timeFormat.trimmed();
    return locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(now.time(), timeFormat);
}

// The secrets a debug line must never carry: the stored forms of both connection
// values and the decoded API key.
QString MaskSecrets(QString message) {
    QStringList secrets;
    for (const QString& name : {setting::InfusionsoftAPIKey, setting::InfusionsoftAppName}) {
        QString stored;
        ReadRegistryValue(kHive, SettingsKey, name, QStringLiteral("S"), QString(), stored);
        if (stored.trimmed().isEmpty())
            continue;
        secrets << stored;
        if (name == setting::InfusionsoftAPIKey) {
            try {
                secrets << DecodeReversedHex(stored);
            } catch (const ProgramError&) {
            }
        }
    }
    for (const QString& secret : std::as_const(secrets))
        if (!secret.trimmed().isEmpty())
            message.replace(secret, QStringLiteral("********"));
    return message;
}

const QString kDebugLogName = QStringLiteral("/DebugLog.txt");

// Appends one line to the log, creating it private to the user; on failure adds
// "<path>: <reason>" to failures.
bool AppendToLog(const QString& path, const QByteArray& line, QStringList& failures) {
    QFile log(path);
    const bool existed = log.exists();
    // The folder's own failure is the cause; opening the file would only add "No such
    // file or directory".
    QString why;
    if (!existed && !MakePrivateFolder(QFileInfo(path).path(), &why)) {
        failures << QDir::toNativeSeparators(path) + QStringLiteral(": ") + why;
        return false;
    }
    bool written = log.open(QIODevice::WriteOnly | QIODevice::Append,
                            QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
                   log.write(line) == line.size() && log.flush();
    if (written && existed)
        NarrowToOwner(path); // a log from an earlier version may be readable by all
    if (!written)
        failures << QDir::toNativeSeparators(path) + QStringLiteral(": ") + log.errorString();
    return written;
}

} // namespace

QString SettingDefault(const QString& valueName) {
    return Defaults().value(valueName);
}

QString ReadSetting(const QString& valueName) {
    QString value;
    ReadRegistryValue(kHive, SettingsKey, valueName, QStringLiteral("S"), SettingDefault(valueName),
                      value);
    return value;
}

bool ReadFlagSetting(const QString& valueName) {
    return ReadInt32Setting(valueName) == 1;
}

std::int16_t ReadInt16Setting(const QString& valueName) {
    const std::int16_t fallback = TextToInt16(SettingDefault(valueName)).value_or(0);
    std::int16_t value = fallback;
    ReadRegistryValue(kHive, SettingsKey, valueName, QStringLiteral("S"), fallback, value);
    return value;
}

std::int32_t WriteSetting(const QString& valueName, const QString& text) {
    return WriteRegistryValue(kHive, SettingsKey, valueName, QStringLiteral("S"), text);
}

std::int32_t WriteSettings(const std::vector<std::pair<QString, QString>>& values) {
    return WriteRegistryValues(kHive, SettingsKey, values);
}

std::int32_t WriteFlagSetting(const QString& valueName, bool on) {
    return WriteSetting(valueName, on ? QStringLiteral("1") : QStringLiteral("0"));
}

QString EncodeReversedHex(const QString& text) {
    const QByteArray hex = text.toUtf8().toHex().toUpper();
    QString stored = QString::fromLatin1(hex);
    std::reverse(stored.begin(), stored.end());
    return stored;
}

QString DecodeReversedHex(const QString& stored) {
    QString digits = stored;
    std::reverse(digits.begin(), digits.end());
    if (digits.size() % 2 != 0)
        throw ProgramError(errnum::TypeMismatch,
                           QStringLiteral("Type mismatch (stored value has an odd number of "
                                          "hexadecimal digits)"));
    QByteArray bytes;
    bytes.reserve(digits.size() / 2);
    for (qsizetype i = 0; i < digits.size(); i += 2) {
        const int high = HexDigit(digits[i]);
        const int low = HexDigit(digits[i + 1]);
        if (high < 0 || low < 0)
            throw ProgramError(errnum::TypeMismatch,
                               QStringLiteral("Type mismatch (stored value is not hexadecimal)"));
        bytes.append(static_cast<char>(high * 16 + low));
    }
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes)
        throw ProgramError(errnum::TypeMismatch,
                           QStringLiteral("Type mismatch (stored value is not valid text)"));
    return text;
}

QString GetInfusionsoftAppNameFromRegistry() {
    return Guarded("GetInfusionsoftAppNameFromRegistry", QString(),
                   [] { return DecodeReversedHex(ReadSetting(setting::InfusionsoftAppName)); });
}

QString GetInfusionsoftAPIKeyFromRegistry() {
    return Guarded("GetInfusionsoftAPIKeyFromRegistry", QString(),
                   [] { return DecodeReversedHex(ReadSetting(setting::InfusionsoftAPIKey)); });
}

std::int32_t WriteInfusionsoftAppNameToRegistry(const QString& appName) {
    return WriteSetting(setting::InfusionsoftAppName, EncodeReversedHex(appName));
}

std::int32_t WriteInfusionsoftAPIKeyToRegistry(const QString& apiKey) {
    return WriteSetting(setting::InfusionsoftAPIKey, EncodeReversedHex(apiKey));
}

bool CheckIfInfusionsoftAPIKeyIsSaved() {
    return Guarded("CheckIfInfusionsoftAPIKeyIsSaved", false, [] {
        return !GetInfusionsoftAppNameFromRegistry().trimmed().isEmpty() &&
               !GetInfusionsoftAPIKeyFromRegistry().trimmed().isEmpty();
    });
}

QString GetInfusionsoftContactNotesActionDescriptionFromRegistry() {
    return ReadSetting(setting::ContactNotesActionDescription);
}

QString GetInfusionsoftContactNotesCreationNotesFromRegistry() {
    return ReadSetting(setting::ContactNotesCreationNotes);
}

EndpointSettings ReadEndpointSettings() {
    EndpointSettings endpoint;
    endpoint.serviceDomain = ReadSetting(setting::InfusionsoftServiceDomain).trimmed();
    const auto port = TextToInt32(ReadSetting(setting::InfusionsoftServicePort));
    endpoint.port = port && *port > 0 && *port <= 65535 ? *port : 0;
    endpoint.caBundle = ReadSetting(setting::InfusionsoftCABundle).trimmed();
    endpoint.useCurrentEndpoint = ReadFlagSetting(setting::InfusionsoftUseCurrentEndpoint);
    endpoint.restV2 = ReadRestV2Setting();
    endpoint.restBaseUrl = ReadSetting(setting::InfusionsoftRestBaseUrl).trimmed();
    return endpoint;
}

bool ReadRestV2Setting() {
    const QString stored = ReadSetting(setting::InfusionsoftInterface).trimmed();
    if (stored.compare(kInterfaceRestV2, Qt::CaseInsensitive) == 0)
        return true;
    if (stored.compare(kInterfaceXmlRpc, Qt::CaseInsensitive) == 0)
        return false;
    const bool configured = !ReadSetting(setting::InfusionsoftAppName).trimmed().isEmpty() &&
                            !ReadSetting(setting::InfusionsoftAPIKey).trimmed().isEmpty();
    return !configured;
}

QString InfusionsoftSiteBase(const QString& appName, const EndpointSettings& endpoint) {
    QString base =
        QStringLiteral("https://") + appName + QLatin1Char('.') +
        (endpoint.serviceDomain.isEmpty() ? kDefaultServiceDomain : endpoint.serviceDomain);
    if (endpoint.port != 0 && endpoint.port != 443)
        base += QLatin1Char(':') + QString::number(endpoint.port);
    return base;
}

bool ReadDebugModeSetting() {
    return Guarded("ReadDebugModeSetting", false, [] {
        State().DebugMode = ReadInt32Setting(setting::DebugMode) == 1;
        return State().DebugMode;
    });
}

void ReadSettings() {
    Guarded("ReadSettings", [] {
        State().ShowSaveQuoteOnEmail = ReadInt32Setting(setting::ShowSaveQuoteOnEmail) == 1;
        State().ShowSaveQuoteOnSave = ReadInt32Setting(setting::ShowSaveQuoteOnSave) == 1;
    });
}

QString ProgramExecutableFolder() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe"))
        .canonicalFilePath()
        .section(QLatin1Char('/'), 0, -2);
}

void SetDebugLogFolderOverride(const QString& folder) {
    DebugLogFolderOverride() = folder;
}

QString UserStateFolder() {
    // The XDG base directory rules: $XDG_STATE_HOME when it is an absolute path, else
    // ~/.local/state; logs belong there.
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return QDir::cleanPath(base + QStringLiteral("/Varrow/Pellwick"));
}

QString DebugLogPath() {
    const QString folder =
        DebugLogFolderOverride().isEmpty() ? ProgramExecutableFolder() : DebugLogFolderOverride();
    const QString besideProgram = folder + kDebugLogName;
    // An installed program's folder is not the user's to write; the log then goes to
    // the user's own folder instead of failing on every line.
    const QFileInfo log(besideProgram);
    const bool writable =
        log.exists() ? log.isFile() && ::access(QFile::encodeName(besideProgram), W_OK) == 0
                     : ::access(QFile::encodeName(folder), W_OK) == 0;
    return writable ? besideProgram : UserStateFolder() + kDebugLogName;
}

void DebugMessage(const QString& message) {
    Guarded("DebugMessage", [&] {
        if (!State().DebugMode)
            return;
        const QByteArray line =
            (LogTimestamp() + QStringLiteral(" - ") + MaskSecrets(message) + QStringLiteral("\r\n"))
                .toUtf8();
        QStringList failures;
        const QString path = DebugLogPath();
        if (AppendToLog(path, line, failures))
            return;
        const QString fallback = UserStateFolder() + kDebugLogName;
        if (path != fallback && AppendToLog(fallback, line, failures))
            return;
        // Once per run: a box for every line would stop the program at each step.
        if (std::exchange(State().DebugLogFailureReported, true))
            return;
        throw ProgramError(errnum::PathFileAccess,
                           QStringLiteral("Path/File access error (the debug log cannot be "
                                          "written: %1)")
                               .arg(failures.join(QStringLiteral("; "))));
    });
}

void SetWindowOnTop(QWindow* window, bool onTop) {
    if (!window)
        return;
    // On a QWindow the flag is applied in place: geometry, visibility and the order
    // among the other windows stay as they are.
    window->setFlag(Qt::WindowStaysOnTopHint, onTop);
}

int SortNumbericArray(std::vector<std::int32_t>& values, bool ascending) {
    int passes = 0;
    if (values.size() < 2)
        return values.empty() ? 0 : 1;
    bool swapped = true;
    while (swapped) {
        swapped = false;
        ++passes;
        for (std::size_t i = 0; i + 1 < values.size(); ++i) {
            const bool outOfOrder =
                ascending ? values[i] > values[i + 1] : values[i] < values[i + 1];
            if (outOfOrder) {
                std::swap(values[i], values[i + 1]);
                swapped = true;
            }
        }
    }
    return passes;
}

} // namespace pellwick
