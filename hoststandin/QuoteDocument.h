#pragma once
// The one quote the stand-in holds: every document and contact-section field the
// plug-in reads or writes, as text, under its canonical name.

#include "pellwick/host/HostFields.h"

#include <QHash>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace hoststandin {

class QuoteDocument {
public:
    // The host's field names (see HostFields.h): every field in display order, the
    // document fields, a section's fields without prefix, the prefix of a contact type,
    // and the canonical spelling of a name given in any case (empty when unknown).
    static const QStringList& fieldNames() { return pellwick::hostfields::allFieldNames(); }
    static const QStringList& documentFieldNames() {
        return pellwick::hostfields::documentFieldNames();
    }
    static const QStringList& sectionFieldNames() {
        return pellwick::hostfields::sectionFieldNames();
    }
    static QString sectionPrefix(int contactType) {
        return pellwick::hostfields::sectionPrefix(contactType);
    }
    static QString canonicalName(const QString& name) {
        return pellwick::hostfields::canonicalName(name);
    }

    // The text of a field by canonical name; empty for unknown names.
    QString value(const QString& canonical) const { return m_values.value(canonical); }
    // Sets a field by canonical name; unknown names are ignored.
    void setValue(const QString& canonical, const QString& value);

    // Fields as a JSON object (canonical names, text values).
    QJsonObject toJson() const;
    // Reads a quote from JSON: keys are field names in any case, values text or
    // numbers; fields not given stay empty. Fails on unknown keys or other value
    // types, naming the offending key in error.
    static bool fromJson(const QByteArray& json, QuoteDocument* out, QString* error);

    // Loads a quote file (JSON as above).
    static bool load(const QString& path, QuoteDocument* out, QString* error);
    // Writes the fields as indented JSON; the file is replaced whole or not at all.
    bool save(const QString& path, QString* error) const;

private:
    QHash<QString, QString> m_values;
};

// True when text can serve as a file name inside a folder: not empty, no separators,
// no "." or "..", no control characters. The document number names the quote's files.
bool isPlainFileName(const QString& text);

} // namespace hoststandin
