#include "AddonRegistration.h"

#include "QuoteWerksApp.h"
#include "clsINIFile.h"
#include "pellwick/ErrorReport.h"
#include "pellwick/MainWindowLink.h"
#include "pellwick/MessageBox.h"
#include "pellwick/ProgramState.h"
#include "pellwick/modMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <set>

namespace pellwick {

namespace {

const QString kAddonsSection = QStringLiteral("addons");
const QString kAutoRun = QStringLiteral("autorun");
const QString kIntegrationTitle = QStringLiteral("Pellwick - Integration");
const QString kNoSiteIni = QStringLiteral("Unable to find QuoteWerks - Site.ini file.");

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
            MsgBox(kNoSiteIni, MsgIcon::Critical);
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
        const QString backup =
            QDir(folder).filePath(BackupINIFileName(QDateTime::currentDateTime()));
        QFile source(path);
        if (!source.open(QIODevice::ReadOnly)) {
            throw ProgramError(
                errnum::PathFileAccess,
                QStringLiteral("Cannot read %1: %2").arg(path, source.errorString()));
        }
        const QByteArray bytes = source.readAll();
        QSaveFile target(backup);
        target.setDirectWriteFallback(false);
        if (!target.open(QIODevice::WriteOnly) || target.write(bytes) != bytes.size() ||
            !target.commit()) {
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
            setPluginStatus(
                installed
                    ? QStringLiteral("Plugin is currently installed.")
                    : QStringLiteral("Plugin needs to be installed, press 'Install' button."));
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
        BackupINIFile();

        // Another add-on may hold "AutoRun1" already; writing there would replace its
        // entry, so the plug-in takes the lowest number no key uses.
        const QString path = SiteIniPath(ProgramFolder());
        const int number = LowestFreeAutoRunNumber(LoadSiteIni(path));
        clsINIFile ini;
        ini.SetPath(path);
        ini.SetSection(QStringLiteral("Addons"));
        ini.SetKey(QStringLiteral("AutoRun") + QString::number(number));
        DebugMessage(QStringLiteral("frmSetup - cmdInstallPlugin_Click - Add the plugin to "
                                    "the QuoteWerks addons. Params: Key = %1, Value = %2")
                         .arg(ini.Key(), PluginExecutablePath()));
        ini.SetValue(PluginExecutablePath());

        if (CheckPluginStatus(hooks.SetPluginStatus)) {
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
            MsgBox(QStringLiteral("There was a problem installing the Plugin into QuoteWerks."
                                  "\r\n\r\nQuoteWerks will unable to load the plugin "
                                  "automatically."),
                   MsgIcon::Critical, MsgButtons::Ok, kIntegrationTitle);
        }
    });
}

void cmdRemovePlugin_Click(const PluginSetupHooks& hooks) {
    Guarded("cmdRemovePlugin_Click", [&] {
        const QString path = SiteIniPath(ProgramFolder());
        if (!SiteIniExists(path)) {
            MsgBox(kNoSiteIni, MsgIcon::Critical);
            return;
        }
        const std::vector<PluginEntry> entries =
            FindPluginEntries(LoadSiteIni(path), PluginExecutablePath());
        if (!entries.empty()) {
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
            QStringList keys;
            int count = 0;
            ini.EnumerateCurrentSection(keys, count);
            if (ini.Success() && count == 0) {
                ini.DeleteSection();
            }
        }

        if (CheckPluginStatus(hooks.SetPluginStatus)) {
            MsgBox(QStringLiteral("There was a problem removing the Pellwick."), MsgIcon::Critical,
                   MsgButtons::Ok, kIntegrationTitle);
        } else {
            MsgBox(QStringLiteral("The Pellwick is now removed from QuoteWerks."),
                   MsgIcon::Information, MsgButtons::Ok, kIntegrationTitle);
        }
    });
}

} // namespace pellwick
