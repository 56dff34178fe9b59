#include "pellwick/ReplaceShortCodes.h"

#include "pellwick/ErrorReport.h"
#include "pellwick/modQWAPI.h"

namespace pellwick {

QString FillShortCodes(const QString& text, const QString& name, const QString& number) {
    QString filled = text;
    filled.replace(QStringLiteral("[QUOTE_NAME]"), name, Qt::CaseInsensitive);
    filled.replace(QStringLiteral("[QUOTE_NO]"), number, Qt::CaseInsensitive);
    return filled;
}

QString ReplaceShortCodes(const QString& text) {
    return Guarded("ReplaceShortCodes", QString(), [&] {
        const QString name = GetQuoteDocumentName();
        return FillShortCodes(text, name, GetQuoteDocumentNumber());
    });
}

} // namespace pellwick
