#include "pellwick/addons/IniDocument.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pellwick {

namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF");

bool isValidUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString ignored = decoder.decode(bytes);
    return !decoder.hasError();
}

// The platform's INI functions drop one pair of matching quotes around a value.
QString unquote(const QString& value) {
    if (value.size() >= 2 && value.front() == value.back() &&
        (value.front() == u'"' || value.front() == u'\'')) {
        return value.mid(1, value.size() - 2);
    }
    return value;
}

QString userName(uid_t uid) {
    const passwd* entry = ::getpwuid(uid);
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString::number(uid);
}

QString groupName(gid_t gid) {
    const group* entry = ::getgrgid(gid);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(gid);
}

bool inGroup(gid_t gid) {
    if (gid == ::getegid()) {
        return true;
    }
    std::vector<gid_t> groups(std::max(::getgroups(0, nullptr), 0));
    groups.resize(std::max(::getgroups(int(groups.size()), groups.data()), 0));
    return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

bool hasLineBreakOrNul(const QString& text) {
    return text.contains(u'\r') || text.contains(u'\n') || text.contains(QChar(0));
}

} // namespace

QByteArray IniDocument::defaultLineEnding() {
#ifdef Q_OS_WIN
    return QByteArrayLiteral("\r\n");
#else
    return QByteArrayLiteral("\n");
#endif
}

IniDocument IniDocument::fromBytes(const QByteArray& content) {
    IniDocument doc;
    QByteArray body = content;
    if (body.startsWith(kUtf8Bom)) {
        doc.m_bom = kUtf8Bom;
        body.remove(0, kUtf8Bom.size());
    }
    doc.m_utf8 = isValidUtf8(body);

    // A line ends at CR LF, LF or a lone CR (as old Mac editors leave it).
    bool eolSeen = false;
    qsizetype start = 0;
    while (start < body.size()) {
        qsizetype end = start;
        while (end < body.size() && body.at(end) != '\n' && body.at(end) != '\r') {
            ++end;
        }
        Line line;
        line.text = body.mid(start, end - start);
        if (end < body.size()) {
            const bool crlf =
                body.at(end) == '\r' && end + 1 < body.size() && body.at(end + 1) == '\n';
            line.eol = crlf ? QByteArrayLiteral("\r\n") : body.mid(end, 1);
            if (!eolSeen) {
                doc.m_eol = line.eol;
                eolSeen = true;
            }
        }
        start = end + line.eol.size();
        doc.classify(line);
        doc.m_lines.push_back(std::move(line));
    }
    return doc;
}

QByteArray IniDocument::toBytes() const {
    QByteArray out = m_bom;
    for (const Line& line : m_lines) {
        out += line.text;
        out += line.eol;
    }
    return out;
}

std::optional<IniDocument> IniDocument::load(const QString& path, QString* error) {
    QFile file(path);
    if (!file.exists()) {
        return IniDocument();
    }
    if (QFileInfo(path).isDir()) {
        if (error) {
            *error = QStringLiteral("%1 is a folder, not a file.").arg(path);
        }
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) {
            *error = file.errorString();
        }
        return std::nullopt;
    }
    return fromBytes(file.readAll());
}

std::optional<QString> IniDocument::rewriteProblem(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return std::nullopt; // a new file
    }
    if (S_ISDIR(info.st_mode)) {
        return QStringLiteral("%1 is a folder, not a file.").arg(path);
    }
    if (!S_ISREG(info.st_mode)) {
        return QStringLiteral("%1 is not a regular file.").arg(path);
    }
    // A file without any write permission is read-only on purpose, also for root.
    if ((info.st_mode & 0222) == 0) {
        return QStringLiteral("%1 is read-only.").arg(path);
    }
    const uid_t me = ::geteuid();
    if (::access(QFile::encodeName(path).constData(), W_OK) != 0) {
        return QStringLiteral("%1 may not be written by %2, the user Pellwick runs as.")
            .arg(path, userName(me));
    }
    // The rewrite creates a new file; only root may give it to another user, and only a
    // member of a group to that group. Changing them would lock others out of the file.
    if (me != 0 && info.st_uid != me) {
        return QStringLiteral("%1 belongs to the user %2; rewritten by %3, the user Pellwick runs "
                              "as, it would belong to %3, and %2 might no longer read it.")
            .arg(path, userName(info.st_uid), userName(me));
    }
    if (me != 0 && !inGroup(info.st_gid)) {
        return QStringLiteral("%1 belongs to the group %2, which %3, the user Pellwick runs as, "
                              "is not a member of; rewritten, it would lose that group.")
            .arg(path, groupName(info.st_gid), userName(me));
    }
    return std::nullopt;
}

bool IniDocument::save(const QString& path, QString* error) const {
    auto failed = [error](const QString& why) {
        if (error) {
            *error = why;
        }
        return false;
    };
    if (const std::optional<QString> problem = rewriteProblem(path)) {
        return failed(*problem);
    }
    struct stat original {};
    const bool existed = ::stat(QFile::encodeName(path).constData(), &original) == 0;
    QSaveFile file(path);
    // Never fall back to writing the file in place: that is what could leave half a file.
    file.setDirectWriteFallback(false);
    const QByteArray bytes = toBytes();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        return failed(file.errorString());
    }
    // The new file takes the old one's owner, group and mode before it replaces it.
    if (existed && (::fchown(file.handle(), original.st_uid, original.st_gid) != 0 ||
                    ::fchmod(file.handle(), original.st_mode & 07777) != 0)) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        file.cancelWriting();
        file.commit();
        return failed(
            QStringLiteral("The owner, group and mode of %1 cannot be kept: %2").arg(path, why));
    }
    if (!file.commit()) {
        return failed(file.errorString());
    }
    return true;
}

QString IniDocument::decode(const QByteArray& bytes) const {
    return m_utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

QByteArray IniDocument::encode(const QString& text) const {
    return m_utf8 ? text.toUtf8() : text.toLatin1();
}

void IniDocument::classify(Line& line) const {
    line.kind = Kind::Other;
    line.name.clear();
    const QString decoded = decode(line.text);
    const QString trimmed = decoded.trimmed();
    if (trimmed.startsWith(u'[')) {
        const qsizetype close = trimmed.indexOf(u']');
        if (close > 0) {
            line.kind = Kind::Section;
            line.name = trimmed.mid(1, close - 1).trimmed();
        }
        return;
    }
    if (trimmed.isEmpty() || trimmed.startsWith(u';')) {
        return;
    }
    const qsizetype eq = decoded.indexOf(u'=');
    if (eq <= 0) {
        return;
    }
    QString key = decoded.left(eq).trimmed();
    if (!key.isEmpty()) {
        line.kind = Kind::Key;
        line.name = std::move(key);
        line.eq = eq;
    }
}

IniDocument::Line IniDocument::makeLine(const QString& text) const {
    Line line;
    line.text = encode(text);
    line.eol = m_eol;
    classify(line);
    return line;
}

qsizetype IniDocument::findSection(const QString& section) const {
    const QString wanted = section.trimmed();
    for (qsizetype i = 0; i < qsizetype(m_lines.size()); ++i) {
        const Line& line = m_lines[i];
        if (line.kind == Kind::Section && line.name.compare(wanted, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

qsizetype IniDocument::sectionEnd(qsizetype header) const {
    qsizetype i = header + 1;
    while (i < qsizetype(m_lines.size()) && m_lines[i].kind != Kind::Section) {
        ++i;
    }
    return i;
}

qsizetype IniDocument::findKey(qsizetype header, const QString& key) const {
    const QString wanted = key.trimmed();
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const Line& line = m_lines[i];
        if (line.kind == Kind::Key && line.name.compare(wanted, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

void IniDocument::insertLine(qsizetype at, Line line) {
    // A last line without its own line ending must get one before anything follows it.
    if (at > 0 && m_lines[at - 1].eol.isEmpty()) {
        m_lines[at - 1].eol = m_eol;
    }
    m_lines.insert(m_lines.begin() + at, std::move(line));
}

std::optional<QString> IniDocument::value(const QString& section, const QString& key) const {
    const qsizetype header = findSection(section);
    if (header < 0) {
        return std::nullopt;
    }
    const qsizetype at = findKey(header, key);
    if (at < 0) {
        return std::nullopt;
    }
    return valueOf(at);
}

QString IniDocument::valueOf(qsizetype at) const {
    const Line& line = m_lines[at];
    return unquote(decode(line.text).mid(line.eq + 1).trimmed());
}

std::vector<std::pair<QString, QString>> IniDocument::entries(const QString& section) const {
    std::vector<std::pair<QString, QString>> out;
    const qsizetype header = findSection(section);
    if (header < 0) {
        return out;
    }
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        if (m_lines[i].kind == Kind::Key) {
            out.emplace_back(m_lines[i].name, valueOf(i));
        }
    }
    return out;
}

QStringList IniDocument::keys(const QString& section) const {
    QStringList names;
    const qsizetype header = findSection(section);
    if (header < 0) {
        return names;
    }
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        if (m_lines[i].kind == Kind::Key) {
            names.append(m_lines[i].name);
        }
    }
    return names;
}

QStringList IniDocument::sections() const {
    QStringList names;
    for (const Line& line : m_lines) {
        if (line.kind == Kind::Section) {
            names.append(line.name);
        }
    }
    return names;
}

bool IniDocument::hasSection(const QString& section) const {
    return findSection(section) >= 0;
}

bool IniDocument::setValue(const QString& section, const QString& key, const QString& value,
                           QString* why) {
    const QString sectionName = section.trimmed();
    const QString keyName = key.trimmed();
    if (sectionName.isEmpty() || keyName.isEmpty() || hasLineBreakOrNul(section) ||
        hasLineBreakOrNul(key) || hasLineBreakOrNul(value) || sectionName.contains(u']') ||
        keyName.contains(u'=') || keyName.startsWith(u'[') || keyName.startsWith(u';')) {
        if (why) {
            *why = QStringLiteral("An INI file cannot hold the entry %1 = \"%2\" of section [%3].")
                       .arg(key, value, section);
        }
        return false;
    }
    // Latin-1 would turn every other character into "?": a different text, not ours.
    const QString written = sectionName + keyName + value;
    if (!m_utf8 &&
        std::any_of(written.begin(), written.end(), [](QChar c) { return c > u'\xFF'; })) {
        if (why) {
            *why = QStringLiteral("The file is not UTF-8 text, and its encoding (Latin-1) cannot "
                                  "hold every character of \"%1\".")
                       .arg(value);
        }
        return false;
    }

    const qsizetype header = findSection(sectionName);
    if (header < 0) {
        qsizetype at = qsizetype(m_lines.size());
        if (at > 0 && !decode(m_lines.back().text).trimmed().isEmpty()) {
            insertLine(at++, makeLine(QString()));
        }
        insertLine(at++, makeLine(u'[' + sectionName + u']'));
        insertLine(at, makeLine(keyName + u'=' + value));
        return true;
    }

    const qsizetype existing = findKey(header, keyName);
    if (existing >= 0) {
        Line& line = m_lines[existing];
        const QString decoded = decode(line.text);
        qsizetype valueStart = line.eq + 1;
        while (valueStart < decoded.size() &&
               (decoded[valueStart] == u' ' || decoded[valueStart] == u'\t')) {
            ++valueStart;
        }
        line.text = encode(decoded.left(valueStart) + value);
        return true;
    }

    // New keys go after the section's last non-blank line, so the blank lines that
    // separate it from the next section stay where they are.
    qsizetype at = sectionEnd(header);
    while (at > header + 1 && decode(m_lines[at - 1].text).trimmed().isEmpty()) {
        --at;
    }
    insertLine(at, makeLine(keyName + u'=' + value));
    return true;
}

bool IniDocument::removeKey(const QString& section, const QString& key) {
    const qsizetype header = findSection(section);
    if (header < 0) {
        return false;
    }
    const qsizetype at = findKey(header, key);
    if (at < 0) {
        return false;
    }
    m_lines.erase(m_lines.begin() + at);
    return true;
}

bool IniDocument::sectionIsEmpty(const QString& section) const {
    const qsizetype header = findSection(section);
    if (header < 0) {
        return false;
    }
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        if (!decode(m_lines[i].text).trimmed().isEmpty()) {
            return false;
        }
    }
    return true;
}

bool IniDocument::removeSection(const QString& section) {
    const qsizetype header = findSection(section);
    if (header < 0) {
        return false;
    }
    m_lines.erase(m_lines.begin() + header, m_lines.begin() + sectionEnd(header));
    return true;
}

} // namespace pellwick
