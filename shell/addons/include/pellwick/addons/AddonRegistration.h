#pragma once
// The plug-in's entry in the host's add-on list: section "[addons]" of site.ini in the
// host's program folder, one key "AutoRun<n>" per add-on whose value is the add-on's
// executable. The host starts every add-on listed there together with itself.
//
// The procedures take the program folder from the attached host (ProgramState) and
// show their messages through the message-box seam; each reports an unexpected failure
// with its own name and returns its default. The configuration window owns the Install
// and Remove buttons and the status label; it passes what they need in PluginSetupHooks.

#include "pellwick/addons/IniDocument.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <vector>

namespace pellwick {

// The host's add-on file in a program folder.
QString SiteIniPath(const QString& programFolder);
// The backup copy's file name for a moment: "site.ini_bak_" + yyyyMMddhhmmss (local).
QString BackupINIFileName(const QDateTime& when);

// This program's executable as the add-on entry names it: the running program's own
// absolute path (no ".exe" on this platform).
QString PluginExecutablePath();
// Test seam: the executable path to use instead of the running program's (empty: none).
void SetPluginExecutablePathOverride(const QString& path);

// One add-on entry that names this program.
struct PluginEntry {
    QString key;    // as spelled in the file, e.g. "AutoRun3"
    int number = 0; // the whole number after "autorun"; 0 when there is none
    QString path;   // the value, trimmed
};

// The entries of the first "[addons]" section that name the executable: a key starting
// with "autorun" (any case) whose value's file name is the executable's file name, with
// or without ".exe" (any case). Keys repeated in the section count once, with the first
// value, as the host reads them. Entries outside "[addons]" never count.
std::vector<PluginEntry> FindPluginEntries(const IniDocument& siteIni,
                                           const QString& executablePath);
// The lowest n >= 1 that no "AutoRun<n>" key of "[addons]" uses.
int LowestFreeAutoRunNumber(const IniDocument& siteIni);

// What the configuration window lends to the install and remove procedures.
struct PluginSetupHooks {
    // Sets the text of the window's lblPluginStatus.
    std::function<void(const QString&)> SetPluginStatus;
    // The window's SaveSettings; true when the settings were stored.
    std::function<bool()> SaveSettings;
};

// True when site.ini lists this program. A missing site.ini shows "Unable to find
// QuoteWerks - Site.ini file." and gives false.
bool CheckIfPluginIsInstalled();
// Copies site.ini, with its mode, to its dated backup name in the same folder ("_2",
// "_3", ... appended when that name is taken within the same second); false when there
// is no site.ini (or the copy failed, which is reported).
bool BackupINIFile();
// Sets the status label from CheckIfPluginIsInstalled and returns its answer.
bool CheckPluginStatus(const std::function<void(const QString&)>& setPluginStatus);
// The Install button: adds this program as "AutoRun<lowest free number>" of
// "[addons]" after a backup, then reports and offers to close the program (after the
// window's SaveSettings). A site.ini that cannot take the entry as it is (a folder,
// read-only, an owner or group that would be lost, an encoding that cannot hold the
// path) is refused before anything is written, and the problem message names why; so
// does an entry that does not read back as the whole path.
void cmdInstallPlugin_Click(const PluginSetupHooks& hooks);
// The Remove button: deletes this program's entry after a backup (and the section when
// nothing, not even a comment, is left in it), then reports, naming the cause of a
// failure.
void cmdRemovePlugin_Click(const PluginSetupHooks& hooks);

} // namespace pellwick
