#include "PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pellwick {

bool MakePrivateFolder(const QString& folder, QString* why) {
    const QString path = QDir::cleanPath(QDir(folder).absolutePath());
    if (QFileInfo(path).isDir())
        return true;
    const QString parent = QFileInfo(path).path();
    if (parent == path || !MakePrivateFolder(parent, why))
        return false;
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) == 0 || (errno == EEXIST && QFileInfo(path).isDir()))
        return true;
    // A file where a folder should be gives EEXIST; "Not a directory" says what is wrong.
    const int cause = errno == EEXIST ? ENOTDIR : errno;
    if (why)
        *why = QDir::toNativeSeparators(path) + QStringLiteral(": ") +
               QString::fromLocal8Bit(std::strerror(cause));
    return false;
}

bool CreatePrivateFile(const QString& path, bool* created) {
    if (created)
        *created = false;
    if (QFileInfo::exists(path))
        return true;
    if (!MakePrivateFolder(QFileInfo(path).path()))
        return false;
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno == EEXIST;
    ::close(fd);
    if (created)
        *created = true;
    return true;
}

bool NarrowToOwner(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::stat(native.constData(), &info) != 0)
        return false;
    if ((info.st_mode & 077) == 0)
        return true;
    return ::chmod(native.constData(), info.st_mode & 0700) == 0;
}

} // namespace pellwick
