#include "pellwick/StateFiles.h"

#include "PrivateFiles.h"
#include "pellwick/modMain.h"

#include <QFile>
#include <QSaveFile>

namespace pellwick {

QString StateFilePath(const QString& name) {
    return UserStateFolder() + QLatin1Char('/') + name;
}

bool WriteStateFile(const QString& name, const QByteArray& bytes, QString* why) {
    if (!MakePrivateFolder(UserStateFolder(), why))
        return false;
    QSaveFile file(StateFilePath(name));
    const bool written = file.open(QIODevice::WriteOnly) &&
                         file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) &&
                         file.write(bytes) == bytes.size() && file.commit();
    if (!written && why)
        *why = StateFilePath(name) + QStringLiteral(": ") + file.errorString();
    return written;
}

std::optional<QByteArray> ReadStateFile(const QString& name) {
    QFile file(StateFilePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

bool RemoveStateFile(const QString& name) {
    QFile file(StateFilePath(name));
    return !file.exists() || file.remove();
}

} // namespace pellwick
