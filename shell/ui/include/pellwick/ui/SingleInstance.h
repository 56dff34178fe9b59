#pragma once
// Detects another running copy of the program for the same user: a lock file in the
// user's runtime folder, held for the life of the process. A copy that crashed leaves
// a stale lock, which the next start takes over (QLockFile checks the holder's pid).

#include <QLockFile>
#include <QString>
#include <memory>

namespace pellwick {

class SingleInstance {
public:
    // lockPath empty = DefaultLockPath().
    explicit SingleInstance(QString lockPath = {});

    // Takes the lock; false when another live process holds it. True as well when the
    // lock file cannot be written at all: then no second copy can be told apart.
    bool TryAcquire();
    const QString& LockPath() const { return lockPath_; }

    // "<runtime folder>/Varrow-Pellwick.lock"; the runtime folder is the user's private
    // one ($XDG_RUNTIME_DIR), else the temporary folder with the user's name in the file.
    static QString DefaultLockPath();

private:
    QString lockPath_;
    std::unique_ptr<QLockFile> lock_;
};

} // namespace pellwick
