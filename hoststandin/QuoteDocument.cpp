#include "QuoteDocument.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonValue>
#include <QSaveFile>

namespace hoststandin {

void QuoteDocument::setValue(const QString& canonical, const QString& value) {
    if (fieldNames().contains(canonical))
        m_values.insert(canonical, value);
}

QJsonObject QuoteDocument::toJson() const {
    QJsonObject object;
    for (const QString& name : fieldNames())
        object.insert(name, value(name));
    return object;
}

bool QuoteDocument::fromJson(const QByteArray& json, QuoteDocument* out, QString* error) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QStringLiteral("not valid JSON at offset %1: %2")
                     .arg(parseError.offset)
                     .arg(parseError.errorString());
        return false;
    }
    if (!document.isObject()) {
        *error = QStringLiteral("the quote must be a JSON object of field names and values");
        return false;
    }
    QuoteDocument quote;
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString name = canonicalName(it.key());
        if (name.isEmpty()) {
            *error = QStringLiteral("unknown field \"%1\"").arg(it.key());
            return false;
        }
        const QJsonValue value = it.value();
        if (value.isString())
            quote.setValue(name, value.toString());
        else if (value.isDouble())
            quote.setValue(name, QString::number(value.toDouble(), 'g', 15));
        else {
            *error = QStringLiteral("field \"%1\" must be text or a number").arg(it.key());
            return false;
        }
    }
    *out = quote;
    return true;
}

bool QuoteDocument::load(const QString& path, QuoteDocument* out, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QString why;
    if (!fromJson(file.readAll(), out, &why)) {
        *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    }
    return true;
}

bool QuoteDocument::save(const QString& path, QString* error) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    file.write(QJsonDocument(toJson()).toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool isPlainFileName(const QString& text) {
    if (text.isEmpty() || text == QLatin1String(".") || text == QLatin1String(".."))
        return false;
    for (const QChar c : text)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control)
            return false;
    return true;
}

} // namespace hoststandin
