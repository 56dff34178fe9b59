#include "pellwick/addons/AddonRegistration.h"

#include "pellwick/ErrorReport.h"
#include "pellwick/HostAccess.h"
#include "pellwick/MessageBox.h"
#include "pellwick/ProgramState.h"
#include "pellwick/addons/clsINIFile.h"
#include "pellwick/host/QuoteWerksApp.h"
#include "pellwick/modMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <set>
#include <sys/stat.h>

namespace pellwick {

namespace {

const QString kAddonsSection = QStringLiteral("addons");
const QString kAutoRun = QStringLiteral("autorun");

QString g_executableOverride;

// The attached host's program folder; the procedures here are only reachable once the
// host is attached, so its absence is a program error.
QString ProgramFolder() {
    return AttachedHost().ProgramFolder();
}

// The last part of a path written with either separator.
QString FileNameOf(const QString& path) {
    const qsizetype cut = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return path.mid(cut + 1);
}

// The number after "autorun" when the rest of the key is all digits, else 0.
int EntryNumber(const QString& key) {
    const QString digits = key.mid(kAutoRun.size());
    bool ok = false;
    const int number = digits.toInt(&ok);
    const bool allDigits =
        !digits.isEmpty() &&
        std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    return ok && allDigits ? number : 0;
}

IniDocument LoadSiteIni(const QString& path) {
    QString error;
    std::optional<IniDocument> doc = IniDocument::load(path, &error);
    if (!doc) {
        throw ProgramError(errnum::PathFileAccess,
                           QStringLiteral("Cannot read %1: %2").arg(path, error));
    }
    return std::move(*doc);
}

bool SiteIniExists(const QString& path) {
    return QFileInfo(path).isFile();
}

// Why the file at path is something else than a file (a folder), or nothing when it
// does not exist.
QString NotAFileCause(const QString& path) {
    return QFileInfo::exists(path) ? IniDocument::rewriteProblem(path).value_or(QString())
                                   : QString();
}

// A free backup name: the dated one, or, when a backup was made within the same second,
// that name followed by "_2", "_3", ...
QString FreeBackupPath(const QString& folder, const QDateTime& when) {
    const QString dated = QDir(folder).filePath(BackupINIFileName(when));
    QString path = dated;
    for (int n = 2; QFileInfo::exists(path); ++n) {
        path = dated + QLatin1Char('_') + QString::number(n);
    }
    return path;
}

} // namespace

QString NoSiteIniMessage(const QString& cause) {
    const QString message = QStringLiteral("Unable to find QuoteWerks - Site.ini file.");
    return cause.isEmpty() ? message : message + QStringLiteral("\r\n\r\n") + cause;
}

QString SiteIniPath(const QString& programFolder) {
    return QDir(programFolder).filePath(QStringLiteral("site.ini"));
}

QString BackupINIFileName(const QDateTime& when) {
    return QStringLiteral("site.ini_bak_") + when.toString(QStringLiteral("yyyyMMddHHmmss"));
}

QString PluginExecutablePath() {
    if (!g_executableOverride.isEmpty()) {
        return g_executableOverride;
    }
    return QCoreApplication::applicationFilePath();
}

void SetPluginExecutablePathOverride(const QString& path) {
    g_executableOverride = path;
}

std::vector<PluginEntry> FindPluginEntries(const IniDocument& siteIni,
                                           const QString& executablePath) {
    const QString exeName = FileNameOf(executablePath);
    const QString exeNameWithExtension = exeName + QStringLiteral(".exe");
    std::vector<PluginEntry> found;
    if (exeName.isEmpty()) {
        return found;
    }
    std::set<QString> seen;
    for (const auto& [key, value] : siteIni.entries(kAddonsSection)) {
        // A repeated key is invisible to the host: it reads the first one only.
        if (!seen.insert(key.toLower()).second) {
            continue;
        }
        if (!key.startsWith(kAutoRun, Qt::CaseInsensitive)) {
            continue;
        }
        const QString name = FileNameOf(value);
        if (name.compare(exeName, Qt::CaseInsensitive) == 0 ||
            name.compare(exeNameWithExtension, Qt::CaseInsensitive) == 0) {
            found.push_back(PluginEntry{key, EntryNumber(key), value});
        }
    }
    return found;
}

int LowestFreeAutoRunNumber(const IniDocument& siteIni) {
    std::set<int> used;
    for (const QString& key : siteIni.keys(kAddonsSection)) {
        if (key.startsWith(kAutoRun, Qt::CaseInsensitive)) {
            used.insert(EntryNumber(key));
        }
    }
    int number = 1;
    while (used.count(number) != 0) {
        ++number;
    }
    return number;
}

bool CheckIfPluginIsInstalled() {
    return Guarded("CheckIfPluginIsInstalled", false, [] {
        const QString path = SiteIniPath(ProgramFolder());
        if (!SiteIniExists(path)) {
            MsgBox(NoSiteIniMessage(NotAFileCause(path)), MsgIcon::Critical);
            return false;
        }
        return !FindPluginEntries(LoadSiteIni(path), PluginExecutablePath()).empty();
    });
}

bool BackupINIFile() {
    return Guarded("BackupINIFile", false, [] {
        const QString folder = ProgramFolder();
        const QString path = SiteIniPath(folder);
        if (!SiteIniExists(path)) {
            return false;
        }
        const QString backup = FreeBackupPath(folder, QDateTime::currentDateTime());
        QFile source(path);
        if (!source.open(QIODevice::ReadOnly)) {
            throw ProgramError(
                errnum::PathFileAccess,
                QStringLiteral("Cannot read %1: %2").arg(path, source.errorString()));
        }
        const QByteArray bytes = source.readAll();
        QSaveFile target(backup);
        target.setDirectWriteFallback(false);
        // The copy is as private as the file: a site.ini others may not read keeps a
        // backup they may not read either.
        struct stat info {};
        if (!target.open(QIODevice::WriteOnly) || target.write(bytes) != bytes.size() ||
            ::fstat(source.handle(), &info) != 0 ||
            ::fchmod(target.handle(), info.st_mode & 07777) != 0 || !target.commit()) {
            throw ProgramError(
                errnum::PathFileAccess,
                QStringLiteral("Cannot write %1: %2").arg(backup, target.errorString()));
        }
        return true;
    });
}

namespace {

// The new entry tried on the file's content: a change the file cannot take is refused
// before anything, the backup included, is written. Gives the key to write, or the
// reason for refusing.
QString TrialInstall(const QString& path, const QString& executable, QString* refusal) {
    *refusal = IniDocument::rewriteProblem(path).value_or(QString());
    std::optional<IniDocument> trial;
    if (refusal->isEmpty()) {
        trial = IniDocument::load(path, refusal);
    }
    // Another add-on may hold "AutoRun1" already; writing there would replace its
    // entry, so the plug-in takes the lowest number no key uses.
    const QString key =
        QStringLiteral("AutoRun") + QString::number(trial ? LowestFreeAutoRunNumber(*trial) : 1);
    if (trial) {
        trial->setValue(QStringLiteral("Addons"), key, executable, refusal);
    }
    return key;
}

// Writes the entry; gives why it did not take, or nothing.
QString WriteEntry(const QString& path, const QString& key, const QString& executable) {
    clsINIFile ini;
    ini.SetPath(path);
    ini.SetSection(QStringLiteral("Addons"));
    ini.SetKey(key);
    DebugMessage(QStringLiteral("frmSetup - cmdInstallPlugin_Click - Add the plugin to "
                                "the QuoteWerks addons. Params: Key = %1, Value = %2")
                     .arg(ini.Key(), executable));
    ini.SetValue(executable);
    // The host starts what the entry names: the whole path must read back as written,
    // not only the file name that the status check looks at.
    const QString stored = ini.Value();
    return !ini.Success()         ? ini.LastError()
           : stored != executable ? QStringLiteral("The entry reads back as \"%1\".").arg(stored)
                                  : QString();
}

// Deletes the entry by the key it was found under, whole: "AutoRun12" must not become
// "autorun1", which may be another add-on's. Gives why it failed, or nothing.
QString DeleteEntry(const QString& path, const PluginEntry& entry) {
    clsINIFile ini;
    ini.SetPath(path);
    ini.SetSection(kAddonsSection);
    ini.SetKey(entry.key);
    DebugMessage(QStringLiteral("frmSetup - cmdRemovePlugin_Click - Remove the plugin "
                                "from the QuoteWerks addons. Params: Key = %1")
                     .arg(entry.key));
    ini.DeleteKey();
    const QString problem = ini.LastError();
    QStringList keys;
    int count = 0;
    ini.EnumerateCurrentSection(keys, count);
    // Comments someone wrote into the section keep it (and themselves).
    if (ini.Success() && count == 0 && LoadSiteIni(path).sectionIsEmpty(kAddonsSection)) {
        ini.DeleteSection();
    }
    return problem;
}

} // namespace

RegistrationResult InstallPlugin() {
    using Outcome = RegistrationResult::Outcome;
    if (CheckIfPluginIsInstalled()) {
        return {Outcome::AlreadyInstalled, true, QString()};
    }
    const QString path = SiteIniPath(ProgramFolder());
    const QString executable = PluginExecutablePath();
    QString refusal;
    const QString key = TrialInstall(path, executable, &refusal);
    if (!refusal.isEmpty()) {
        return {Outcome::Failed, false, refusal};
    }
    BackupINIFile();
    const QString problem = WriteEntry(path, key, executable);
    const bool listed = CheckIfPluginIsInstalled();
    return {listed && problem.isEmpty() ? Outcome::Installed : Outcome::Failed, listed, problem};
}

RegistrationResult RemovePlugin() {
    using Outcome = RegistrationResult::Outcome;
    const QString path = SiteIniPath(ProgramFolder());
    if (!SiteIniExists(path)) {
        return {Outcome::NoSiteIni, false, NotAFileCause(path)};
    }
    const std::vector<PluginEntry> entries =
        FindPluginEntries(LoadSiteIni(path), PluginExecutablePath());
    QString problem;
    if (!entries.empty()) {
        problem = IniDocument::rewriteProblem(path).value_or(QString());
    }
    if (!entries.empty() && problem.isEmpty()) {
        BackupINIFile();
        problem = DeleteEntry(path, entries.back());
    }
    const bool listed = CheckIfPluginIsInstalled();
    return {listed ? Outcome::Failed : Outcome::Removed, listed, problem};
}

} // namespace pellwick
