#pragma once
// The short codes of the contact-note templates: "[QUOTE_NAME]" and "[QUOTE_NO]".

#include <QString>

namespace pellwick {

// The text with every "[QUOTE_NAME]" replaced by `name`, then every "[QUOTE_NO]" by
// `number`; both ignore letter case. A short code inside the name is replaced by the
// second pass too.
QString FillShortCodes(const QString& text, const QString& name, const QString& number);

// FillShortCodes with the open quote's name and number. On an error reports
// "ReplaceShortCodes" and returns empty text.
QString ReplaceShortCodes(const QString& text);

} // namespace pellwick
