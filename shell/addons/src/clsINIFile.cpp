#include "pellwick/addons/clsINIFile.h"

#include "pellwick/addons/IniDocument.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace pellwick {

namespace {

QString withZeroAfterEach(const QStringList& names) {
    QString out;
    for (const QString& name : names) {
        out += name;
        out += QChar(0);
    }
    return out;
}

} // namespace

QString clsINIFile::Value() const {
    if (m_path.isEmpty()) {
        return m_default;
    }
    const std::optional<IniDocument> doc = IniDocument::load(m_path);
    if (!doc) {
        return m_default;
    }
    return doc->value(m_section, m_key).value_or(m_default);
}

void clsINIFile::SetValue(const QString& text) {
    QString cleaned = text;
    cleaned.remove(QChar(0));
    writeValue(m_key, cleaned);
}

void clsINIFile::writeValue(const QString& key, const QString& text) {
    change(
        [&](IniDocument& doc, QString& why) { return doc.setValue(m_section, key, text, &why); });
}

void clsINIFile::DeleteKey() {
    change([&](IniDocument& doc, QString&) { return doc.removeKey(m_section, m_key); });
}

void clsINIFile::DeleteSection() {
    change([&](IniDocument& doc, QString&) { return doc.removeSection(m_section); });
}

void clsINIFile::change(const std::function<bool(IniDocument&, QString&)>& edit) {
    m_lastReturnCode = 0;
    m_lastError.clear();
    if (m_path.isEmpty()) {
        m_lastError = QStringLiteral("No INI file was named.");
        return;
    }
    std::optional<IniDocument> doc = IniDocument::load(m_path, &m_lastError);
    if (!doc) {
        return;
    }
    // An edit that finds nothing to change (a key that is not there) leaves the file
    // untouched and counts as done; one that is refused names its reason.
    QString why;
    if (!edit(*doc, why)) {
        if (why.isEmpty()) {
            m_lastReturnCode = 1;
        } else {
            m_lastError = why;
        }
        return;
    }
    if (doc->save(m_path, &m_lastError)) {
        m_lastReturnCode = 1;
    }
}

QString clsINIFile::INISection() const {
    QStringList keys;
    int count = 0;
    EnumerateCurrentSection(keys, count);
    return withZeroAfterEach(keys);
}

QString clsINIFile::Sections() const {
    QStringList sections;
    int count = 0;
    EnumerateAllSections(sections, count);
    return withZeroAfterEach(sections);
}

void clsINIFile::EnumerateCurrentSection(QStringList& keys, int& count) const {
    keys.clear();
    if (!m_path.isEmpty()) {
        if (const std::optional<IniDocument> doc = IniDocument::load(m_path)) {
            keys = doc->keys(m_section);
        }
    }
    count = int(keys.size());
}

void clsINIFile::EnumerateAllSections(QStringList& sections, int& count) const {
    sections.clear();
    if (!m_path.isEmpty()) {
        if (const std::optional<IniDocument> doc = IniDocument::load(m_path)) {
            for (const QString& name : doc->sections()) {
                if (!name.isEmpty()) {
                    sections.append(name);
                }
            }
        }
    }
    count = int(sections.size());
}

void clsINIFile::SaveFormPosition(const FormPosition& position) {
    if (position.minimised) {
        return;
    }
    writeValue(QStringLiteral("Maximised"),
               position.maximised ? QStringLiteral("1") : QStringLiteral("0"));
    if (!position.maximised) {
        writeValue(QStringLiteral("Left"), QString::number(position.normal.left()));
        writeValue(QStringLiteral("Top"), QString::number(position.normal.top()));
        writeValue(QStringLiteral("Width"), QString::number(position.normal.width()));
        writeValue(QStringLiteral("Height"), QString::number(position.normal.height()));
    }
}

clsINIFile::FormPosition clsINIFile::LoadFormPosition(const FormPosition& current,
                                                      const QRect& screen) {
    m_default = QStringLiteral("FAIL");
    const QString savedKey = m_key;
    auto read = [this](const QString& key, qint32 fallback) {
        m_key = key;
        return CLngDefault(Value(), fallback);
    };
    int left = read(QStringLiteral("Left"), current.normal.left());
    int top = read(QStringLiteral("Top"), current.normal.top());
    int width = read(QStringLiteral("Width"), current.normal.width());
    int height = read(QStringLiteral("Height"), current.normal.height());
    const bool maximised = read(QStringLiteral("Maximised"), 0) == 1;
    m_key = savedKey;

    // Keep the window inside the screen: never larger than it, never off any edge.
    if (screen.isValid()) {
        width = std::clamp(width, 1, screen.width());
        height = std::clamp(height, 1, screen.height());
        left = std::clamp(left, screen.left(), screen.left() + screen.width() - width);
        top = std::clamp(top, screen.top(), screen.top() + screen.height() - height);
    }
    FormPosition loaded = current;
    loaded.normal = QRect(left, top, width, height);
    loaded.maximised = maximised;
    return loaded;
}

qint32 clsINIFile::CLngDefault(const QString& text, qint32 fallback) {
    const QString trimmed = text.trimmed();
    bool ok = false;
    const qlonglong whole = trimmed.toLongLong(&ok);
    if (ok) {
        if (whole < std::numeric_limits<qint32>::min() ||
            whole > std::numeric_limits<qint32>::max()) {
            return fallback;
        }
        return qint32(whole);
    }
    const double number = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(number)) {
        return fallback;
    }
    const double rounded = std::nearbyint(number); // half to even in the default mode
    if (rounded < std::numeric_limits<qint32>::min() ||
        rounded > std::numeric_limits<qint32>::max()) {
        return fallback;
    }
    return qint32(rounded);
}

} // namespace pellwick
