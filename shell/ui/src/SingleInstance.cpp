#include "pellwick/ui/SingleInstance.h"

#include <QDir>
#include <QStandardPaths>
#include <unistd.h>

namespace pellwick {

SingleInstance::SingleInstance(QString lockPath)
    : lockPath_(lockPath.isEmpty() ? DefaultLockPath() : std::move(lockPath)) {}

bool SingleInstance::TryAcquire() {
    if (lock_ && lock_->isLocked())
        return true;
    lock_ = std::make_unique<QLockFile>(lockPath_);
    // Never expire by age: a live copy may run for weeks. A dead holder's lock is
    // recognised by its pid and taken over.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0))
        return true;
    // Only a lock held by a live process means another copy. A lock file that cannot be
    // written at all (its folder missing or read-only) says nothing about other copies,
    // and refusing to start with "a copy is running" would be both wrong and a dead end.
    return lock_->error() != QLockFile::LockFailedError;
}

QString SingleInstance::DefaultLockPath() {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty() && QDir().mkpath(runtime))
        return QDir(runtime).filePath(QStringLiteral("Varrow-Pellwick.lock"));
    return QDir(QDir::tempPath())
        .filePath(QStringLiteral("Varrow-Pellwick-%1.lock").arg(static_cast<qulonglong>(getuid())));
}

} // namespace pellwick
