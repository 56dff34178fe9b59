#pragma once
// Small files of the program's own state in the user's state folder (UserStateFolder()):
// private to the user (folder 0700, files 0600) and written whole or not at all, so
// that a crash or a full disk never leaves half a file.

#include <QByteArray>
#include <QString>
#include <optional>

namespace pellwick {

// Where the state file called `name` lies.
QString StateFilePath(const QString& name);
// Replaces the file's contents by `bytes` in one step; false when it could not be
// written (*why, when given, says why; an earlier file then stays as it was).
bool WriteStateFile(const QString& name, const QByteArray& bytes, QString* why = nullptr);
// The file's contents; nothing when there is no such file or it cannot be read.
std::optional<QByteArray> ReadStateFile(const QString& name);
// Removes the file; true when it is gone (or never was).
bool RemoveStateFile(const QString& name);

} // namespace pellwick
