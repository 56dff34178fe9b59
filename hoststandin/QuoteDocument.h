#pragma once
// The one quote the stand-in holds: every document and contact-section field the
// plug-in reads or writes, as text, under its canonical name.

#include <QHash>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace hoststandin {

class QuoteDocument {
public:
    // Every field, in display order: the document fields, then SoldTo, ShipTo, BillTo
    // with their fifteen fields each.
    static const QStringList& fieldNames();
    // The document fields (without a section prefix).
    static const QStringList& documentFieldNames();
    // The fifteen fields of a contact section, without the prefix.
    static const QStringList& sectionFieldNames();
    // "SoldTo", "ShipTo", "BillTo" for contact types 0, 1, 2; empty for others.
    static QString sectionPrefix(int contactType);
    // The canonical spelling of a field name given in any case ("soldtophoneext" and
    // "SoldToPhoneext" give "SoldToPhoneExt"); empty when no such field exists.
    static QString canonicalName(const QString& name);

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
