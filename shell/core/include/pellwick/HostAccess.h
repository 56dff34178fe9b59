#pragma once
// The one door to the attached quoting host: everything outside the core reaches the host
// through these, so a missing host fails the same way everywhere.

#include <QString>

namespace pellwick {

class QuoteWerksApp;
class QuoteWerksDocument;

// The attached host; throws ObjectNotSetError when none is attached.
QuoteWerksApp& AttachedHost();
// The attached host, or null for callers that quietly do nothing without one.
QuoteWerksApp* HostIfAttached();
// The host's document access; throws like AttachedHost.
QuoteWerksDocument& HostDocument();
// Where the host writes the PDF of an e-mailed quote.
QString EmailedPdfPath(const QString& programFolder, const QString& quoteNumber);

} // namespace pellwick
