#include "pellwick/addons/AddonRegistration.h"

#include "pellwick/ErrorReport.h"
#include "pellwick/MainWindowLink.h"
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
const QString kIntegrationTitle = QStringLiteral("Pellwick - Integration");
const QString kNoSiteIni = QStringLiteral("Unable to find QuoteWerks - Site.ini file.");
const QString kNotInstalledStatus =
    QStringLiteral("Plugin needs to be installed, press 'Install' button.");

QString g_executableOverride;

// The attached host's program folder; the procedures here are only reachable once the
// host is attached, so its absence is a program error.
QString ProgramFolder() {
    const auto& host = State().QuoteWerksApp;
    if (!host) {
        throw ProgramError(errnum::ObjectRequired,
                           QStringLiteral("Object required: QuoteWerks is not attached."));
    }
    return host->ProgramFolder();
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

// A reason appended to one of the fixed messages, after an empty line.
QString WithCause(const QString& message, const QString& cause) {
    return cause.isEmpty() ? message : message + QStringLiteral("\r\n\r\n") + cause;
}

// "Unable to find ..." for a site.ini that is missing, or that is something else than a
// file (a folder), saying which.
void ReportNoSiteIni(const QString& path) {
    const QString cause =
        QFileInfo::exists(path) ? IniDocument::rewriteProblem(path).value_or(QString()) : QString();
    MsgBox(WithCause(kNoSiteIni, cause), MsgIcon::Critical);
}

void ReportInstallProblem(const QString& cause) {
    MsgBox(WithCause(QStringLiteral("There was a problem installing the Plugin into QuoteWerks."
                                    "\r\n\r\nQuoteWerks will unable to load the plugin "
                                    "automatically."),
                     cause),
           MsgIcon::Critical, MsgButtons::Ok, kIntegrationTitle);
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
            ReportNoSiteIni(path);
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

bool CheckPluginStatus(const std::function<void(const QString&)>& setPluginStatus) {
    return Guarded("CheckPluginStatus", false, [&] {
        const bool installed = CheckIfPluginIsInstalled();
        if (setPluginStatus) {
            setPluginStatus(installed ? QStringLiteral("Plugin is currently installed.")
                                      : kNotInstalledStatus);
        }
        return installed;
    });
}

void cmdInstallPlugin_Click(const PluginSetupHooks& hooks) {
    Guarded("cmdInstallPlugin_Click", [&] {
        if (CheckIfPluginIsInstalled()) {
            MsgBox(QStringLiteral("Plugin is already installed."), MsgIcon::Information);
            return;
        }
        // Another add-on may hold "AutoRun1" already; writing there would replace its
        // entry, so the plug-in takes the lowest number no key uses.
        const QString path = SiteIniPath(ProgramFolder());
        const QString executable = PluginExecutablePath();
        QString refusal = IniDocument::rewriteProblem(path).value_or(QString());
        std::optional<IniDocument> trial;
        if (refusal.isEmpty()) {
            trial = IniDocument::load(path, &refusal);
        }
        const QString key = QStringLiteral("AutoRun") +
                            QString::number(trial ? LowestFreeAutoRunNumber(*trial) : 1);
        // Tried on the file's content first: a change the file cannot take is refused
        // before anything, the backup included, is written.
        if (trial) {
            trial->setValue(QStringLiteral("Addons"), key, executable, &refusal);
        }
        if (!refusal.isEmpty()) {
            if (hooks.SetPluginStatus) {
                hooks.SetPluginStatus(kNotInstalledStatus); // as found above
            }
            ReportInstallProblem(refusal);
            return;
        }
        BackupINIFile();

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
        const QString problem = !ini.Success() ? ini.LastError()
                                : stored != executable
                                    ? QStringLiteral("The entry reads back as \"%1\".").arg(stored)
                                    : QString();

        if (CheckPluginStatus(hooks.SetPluginStatus) && problem.isEmpty()) {
            const MsgAnswer answer =
                MsgBox(QStringLiteral("Pellwick is now integrated into QuoteWerks.\r\n\r\n"
                                      "The next time QuoteWerks is loaded, this plugin will "
                                      "automatically be loaded.\r\n\r\n"
                                      "Would you like to close the plugin?"),
                       MsgIcon::Information, MsgButtons::YesNo, kIntegrationTitle, MsgAnswer::No);
            if (answer == MsgAnswer::Yes && hooks.SaveSettings && hooks.SaveSettings()) {
                if (MainWindowLink* mainWindow = State().MainWindow) {
                    mainWindow->EndProgram();
                }
            }
        } else {
            ReportInstallProblem(problem);
        }
    });
}

void cmdRemovePlugin_Click(const PluginSetupHooks& hooks) {
    Guarded("cmdRemovePlugin_Click", [&] {
        const QString path = SiteIniPath(ProgramFolder());
        if (!SiteIniExists(path)) {
            ReportNoSiteIni(path);
            return;
        }
        const std::vector<PluginEntry> entries =
            FindPluginEntries(LoadSiteIni(path), PluginExecutablePath());
        QString problem;
        if (!entries.empty()) {
            problem = IniDocument::rewriteProblem(path).value_or(QString());
        }
        if (!entries.empty() && problem.isEmpty()) {
            // The entry is deleted by the key it was found under, whole: "AutoRun12"
            // must not become "autorun1", which may be another add-on's.
            const PluginEntry& entry = entries.back();
            BackupINIFile();
            clsINIFile ini;
            ini.SetPath(path);
            ini.SetSection(kAddonsSection);
            ini.SetKey(entry.key);
            DebugMessage(QStringLiteral("frmSetup - cmdRemovePlugin_Click - Remove the plugin "
                                        "from the QuoteWerks addons. Params: Key = %1")
                             .arg(entry.key));
            ini.DeleteKey();
            problem = ini.LastError();
            QStringList keys;
            int count = 0;
            ini.EnumerateCurrentSection(keys, count);
            // Comments someone wrote into the section keep it (and themselves).
            if (ini.Success() && count == 0 && LoadSiteIni(path).sectionIsEmpty(kAddonsSection)) {
                ini.DeleteSection();
            }
        }

        if (CheckPluginStatus(hooks.SetPluginStatus)) {
            MsgBox(WithCause(QStringLiteral("There was a problem removing the Pellwick."), problem),
                   MsgIcon::Critical, MsgButtons::Ok, kIntegrationTitle);
        } else {
            MsgBox(QStringLiteral("The Pellwick is now removed from QuoteWerks."),
                   MsgIcon::Information, MsgButtons::Ok, kIntegrationTitle);
        }
    });
}

} // namespace pellwick
