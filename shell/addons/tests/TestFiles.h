#pragma once
// File helpers for the add-on tests: real files in a temporary folder.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace pellwick::test {

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return {};
    }
    return file.readAll();
}

// Owner, group and permission bits of a file.
struct FileStatus {
    unsigned uid = 0;
    unsigned gid = 0;
    int mode = -1;
};
inline FileStatus statusOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return {};
    }
    return {info.st_uid, info.st_gid, int(info.st_mode & 07777)};
}

// While it lives, a test run as root acts as "nobody" (effective id only, the real id
// stays root and takes the privileges back). Does nothing for other users.
class ActingAsNobody {
public:
    ActingAsNobody() : m_dropped(geteuid() == 0 && seteuid(65534) == 0) {
        EXPECT_TRUE(m_dropped || geteuid() != 0);
    }
    ~ActingAsNobody() {
        if (m_dropped) {
            EXPECT_EQ(seteuid(0), 0);
        }
    }
    ActingAsNobody(const ActingAsNobody&) = delete;
    ActingAsNobody& operator=(const ActingAsNobody&) = delete;

private:
    bool m_dropped;
};

// A temporary folder that the test can make read-only. Root ignores file permissions,
// so while the folder is read-only a test run as root acts as "nobody".
class TempFolder {
public:
    TempFolder() {
        EXPECT_TRUE(m_dir.isValid());
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                QFile::ReadGroup | QFile::ExeGroup |
                                                QFile::ReadOther | QFile::ExeOther);
    }
    ~TempFolder() { setReadOnly(false); }

    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return QDir(m_dir.path()).filePath(name); }

    void setReadOnly(bool readOnly) {
        if (readOnly == m_readOnly) {
            return;
        }
        if (readOnly) {
            QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner |
                                                    QFile::ReadGroup | QFile::ExeGroup |
                                                    QFile::ReadOther | QFile::ExeOther);
            m_nobody.emplace();
        } else {
            m_nobody.reset();
            QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                    QFile::ExeOwner | QFile::ReadGroup |
                                                    QFile::ExeGroup | QFile::ReadOther |
                                                    QFile::ExeOther);
        }
        m_readOnly = readOnly;
    }

    // Files of the folder, sorted by name.
    QStringList entries() const {
        return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

private:
    QTemporaryDir m_dir;
    bool m_readOnly = false;
    std::optional<ActingAsNobody> m_nobody;
};

} // namespace pellwick::test
