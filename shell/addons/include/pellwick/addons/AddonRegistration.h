#pragma once
// The plug-in's entry in the host's add-on list: section "[addons]" of site.ini in the
// host's program folder, one key "AutoRun<n>" per add-on whose value is the add-on's
// executable. The host starts every add-on listed there together with itself.
//
// The procedures take the program folder from the attached host (ProgramState). The
// checks report a missing site.ini and an unexpected failure themselves; installing and
// removing return what came of it, and the configuration window shows that.

#include "pellwick/addons/IniDocument.h"

#include <QDateTime>
#include <QString>
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

// What installing or removing came to.
struct RegistrationResult {
    enum class Outcome {
        AlreadyInstalled, // nothing was written
        Installed,
        Removed,   // also when site.ini did not list this program
        NoSiteIni, // nothing to remove from; cause says why when something else is there
        Failed,    // refused, or the change did not take; cause says why when known
    };
    Outcome outcome = Outcome::Failed;
    bool listed = false; // site.ini lists this program afterwards
    QString cause;
};

// The message for a site.ini that is missing or not a file, with the reason if any.
QString NoSiteIniMessage(const QString& cause = QString());

// True when site.ini lists this program. A missing site.ini shows NoSiteIniMessage and
// gives false.
bool CheckIfPluginIsInstalled();
// Copies site.ini, with its mode, to its dated backup name in the same folder ("_2",
// "_3", ... appended when that name is taken within the same second); false when there
// is no site.ini (or the copy failed, which is reported).
bool BackupINIFile();
// Adds this program as "AutoRun<lowest free number>" of "[addons]" after a backup. A
// site.ini that cannot take the entry as it is (a folder, read-only, an owner or group
// that would be lost, an encoding that cannot hold the path) is refused before anything
// is written, with the reason; so is an entry that does not read back as the whole path.
// Throws ProgramError when there is no host or site.ini cannot be read.
RegistrationResult InstallPlugin();
// Deletes this program's entry after a backup (and the section when nothing, not even a
// comment, is left in it), naming the cause of a failure. Throws as InstallPlugin does.
RegistrationResult RemovePlugin();

} // namespace pellwick
