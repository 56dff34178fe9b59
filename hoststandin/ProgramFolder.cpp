#include "ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>

namespace hoststandin {

QString prepareProgramFolder(const QString& folder, QString* error) {
    const QString root = QDir::cleanPath(QDir(folder).absolutePath());
    QDir dir(root);
    for (const QString& sub : {QString(), QStringLiteral("DTF"), QStringLiteral("history/email")}) {
        if (!dir.mkpath(sub.isEmpty() ? QStringLiteral(".") : sub)) {
            *error = QStringLiteral("cannot create the folder %1").arg(dir.filePath(sub));
            return {};
        }
    }
    const QString ini = dir.filePath(QStringLiteral("site.ini"));
    if (!QFileInfo::exists(ini)) {
        QSaveFile file(ini);
        if (!file.open(QIODevice::WriteOnly)) {
            *error = QStringLiteral("cannot create %1: %2").arg(ini, file.errorString());
            return {};
        }
        file.write("; Site configuration of the quoting host.\r\n"
                   "; Add-ons started with the host: one AutoRun<number> entry each, below.\r\n"
                   "[addons]\r\n");
        if (!file.commit()) {
            *error = QStringLiteral("cannot create %1: %2").arg(ini, file.errorString());
            return {};
        }
    }
    return root;
}

QVector<AddonEntry> readAddonEntries(const QString& iniText) {
    static const QRegularExpression keyPattern(QStringLiteral("^autorun(\\d+)$"),
                                               QRegularExpression::CaseInsensitiveOption);
    QVector<AddonEntry> entries;
    bool inAddons = false;
    const QStringList lines = iniText.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) ||
            line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            inAddons = line.mid(1, line.size() - 2)
                           .trimmed()
                           .compare(QLatin1String("addons"), Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inAddons)
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QRegularExpressionMatch match = keyPattern.match(key);
        if (!match.hasMatch())
            continue;
        QString path = line.mid(eq + 1).trimmed();
        if (path.size() >= 2 && path.startsWith(QLatin1Char('"')) &&
            path.endsWith(QLatin1Char('"')))
            path = path.mid(1, path.size() - 2).trimmed();
        if (path.isEmpty())
            continue;
        bool ok = false;
        const int number = match.captured(1).toInt(&ok);
        entries.push_back({ok ? number : 0, key, path});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const AddonEntry& a, const AddonEntry& b) { return a.number < b.number; });
    return entries;
}

QStringList startAddons(const QString& programFolder, QStringList* started) {
    QStringList log;
    QFile file(QDir(programFolder).filePath(QStringLiteral("site.ini")));
    if (!file.open(QIODevice::ReadOnly)) {
        log << QStringLiteral("no add-ons started: cannot read %1: %2")
                   .arg(file.fileName(), file.errorString());
        return log;
    }
    const QVector<AddonEntry> entries = readAddonEntries(QString::fromUtf8(file.readAll()));
    for (const AddonEntry& entry : entries) {
        const QString path = QDir::cleanPath(QDir(programFolder).absoluteFilePath(entry.path));
        qint64 pid = 0;
        if (QProcess::startDetached(path, {}, programFolder, &pid)) {
            log << QStringLiteral("started add-on %1: %2 (pid %3)").arg(entry.key, path).arg(pid);
            if (started)
                *started << path;
        } else {
            log << QStringLiteral("could not start add-on %1: %2").arg(entry.key, path);
        }
    }
    if (entries.isEmpty())
        log << QStringLiteral("no add-ons listed in %1").arg(file.fileName());
    return log;
}

} // namespace hoststandin
