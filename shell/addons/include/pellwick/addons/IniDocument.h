#pragma once
// A small INI file editor that changes only what it is asked to change.
//
// The host's site.ini is edited by hand and by other add-ons, so every line we do not
// touch (comments, blank lines, odd spacing, unknown sections, the file's line endings,
// CR LF, LF or a lone CR, and its byte-order mark) is written back byte for byte. Names
// follow the platform's INI functions: section and key names compare without regard to
// case, a lookup uses the first section of that name and the first key of that name
// inside it, values are read trimmed and without one pair of enclosing quotes.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

namespace pellwick {

class IniDocument {
public:
    // An empty document (a missing file reads as this).
    IniDocument() = default;

    // Parses file content. Valid UTF-8 (with or without a byte-order mark) is read as
    // UTF-8; anything else as Latin-1, and edited lines are written back the same way.
    static IniDocument fromBytes(const QByteArray& content);
    // The document's bytes: untouched lines exactly as read.
    QByteArray toBytes() const;

    // Reads a file; a missing file gives an empty document. nullopt when the file exists
    // but cannot be read, a folder for one (the reason in *error when given).
    static std::optional<IniDocument> load(const QString& path, QString* error = nullptr);
    // Writes the document through a temporary file in the same folder that is renamed
    // over the target, so the file is either the old one or the new one, never half of
    // each. The new file keeps the old one's owner, group and mode. Fails (and leaves the
    // file alone, with the reason in *error) when rewriteProblem names one or the folder
    // is read-only.
    bool save(const QString& path, QString* error = nullptr) const;
    // Why an existing file cannot be rewritten in place of itself, in words for the user:
    // it is a folder, has no write permission (even for root), or its owner or group
    // could not be kept by this user. nullopt when it can (or does not exist).
    static std::optional<QString> rewriteProblem(const QString& path);

    // Value of key in section, trimmed; nullopt when the section or key is missing.
    std::optional<QString> value(const QString& section, const QString& key) const;
    // Key names of the section in file order (empty list when the section is missing).
    QStringList keys(const QString& section) const;
    // The section's keys with their values (as value() reads them), in file order,
    // repeated names included.
    std::vector<std::pair<QString, QString>> entries(const QString& section) const;
    // Section names in file order, as spelled in the file (empty names included).
    QStringList sections() const;
    bool hasSection(const QString& section) const;

    // Sets key in section: replaces the value of an existing key (keeping the line's
    // spelling and spacing before the value), else adds the key after the section's
    // last line, else adds the section at the end of the file. Returns false, changing
    // nothing, for names or values the file format cannot hold (empty names, line
    // breaks, a key with "=" or starting with "[" or ";", a section name with "]") or the
    // file's encoding cannot (a Latin-1 file and characters beyond it); the reason in
    // *why when given.
    bool setValue(const QString& section, const QString& key, const QString& value,
                  QString* why = nullptr);
    // Removes the key's line; false when there was nothing to remove.
    bool removeKey(const QString& section, const QString& key);
    // True when the section exists and holds nothing but blank lines (no key, no comment).
    bool sectionIsEmpty(const QString& section) const;
    // Removes the section's header and all its lines; false when there was no section.
    bool removeSection(const QString& section);

    // The text inserted after new lines: the first line ending found in the file, else
    // the platform's own.
    QByteArray lineEnding() const { return m_eol; }

private:
    QString valueOf(qsizetype line) const;
    enum class Kind { Other, Section, Key };
    struct Line {
        QByteArray text; // content without its line ending
        QByteArray eol;  // "\r\n", "\n" or empty for a last line without one
        Kind kind = Kind::Other;
        QString name;     // section or key name, trimmed
        qsizetype eq = 0; // key lines: index of the first '=' in the decoded text
    };

    QString decode(const QByteArray& bytes) const;
    QByteArray encode(const QString& text) const;
    void classify(Line& line) const;
    Line makeLine(const QString& text) const;
    // Index of the first header named section, or -1.
    qsizetype findSection(const QString& section) const;
    // One past the section's last line (the next header or the end of the file).
    qsizetype sectionEnd(qsizetype header) const;
    // Index of the first key line named key inside the section, or -1.
    qsizetype findKey(qsizetype header, const QString& key) const;
    void insertLine(qsizetype at, Line line);

    std::vector<Line> m_lines;
    QByteArray m_bom;
    QByteArray m_eol = defaultLineEnding();
    bool m_utf8 = true;

    static QByteArray defaultLineEnding();
};

} // namespace pellwick
