#pragma once
// The host's program folder: site.ini, DTF/ and history/email/, and the add-ons that
// site.ini lists for starting with the host.

#include <QString>
#include <QStringList>
#include <QVector>

namespace hoststandin {

// Creates the folder, DTF/, history/email/ and a site.ini with an empty [addons]
// section, each only when missing (an existing site.ini is never touched). Returns the
// absolute folder path without a trailing separator, or empty with error set.
QString prepareProgramFolder(const QString& folder, QString* error);

struct AddonEntry {
    int number = 0; // N of autorunN
    QString key;    // the key as written
    QString path;   // the value: trimmed, surrounding quotes removed
};

// The add-ons listed in the text of a site.ini: keys "autorun" + a number in every
// "[addons]" section (section and key compared without regard to case), ordered by
// number, then by position. Lines starting with ';' or '#' are comments; entries with
// an empty value are skipped.
QVector<AddonEntry> readAddonEntries(const QString& iniText);

// Starts every add-on listed in programFolder/site.ini, detached, with the program
// folder as working directory; relative paths are taken against the program folder.
// Returns one line per add-on saying what happened ("started ..." or "could not
// start ...") and fills started with the paths that were started.
QStringList startAddons(const QString& programFolder, QStringList* started);

} // namespace hoststandin
