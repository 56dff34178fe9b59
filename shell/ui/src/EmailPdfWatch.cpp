#include "EmailPdfWatch.h"

#include <QFile>
#include <QFileInfo>

namespace pellwick {

void EmailPdfWatch::Start(const QDateTime& eventTimeUtc) {
    *this = EmailPdfWatch();
    m_eventTime = eventTimeUtc;
}

EmailPdfWatch::Look EmailPdfWatch::Check(const QString& path) {
    m_path = path;
    const QFileInfo pdf(path);
    // Only the PDF this e-mail wrote: a file left by an earlier e-mail of the quote is
    // older than the event (a little margin for coarse file times).
    constexpr qint64 kMarginSecs = 2;
    if (!pdf.isFile() || pdf.size() == 0 ||
        pdf.lastModified().toUTC() < m_eventTime.addSecs(-kMarginSecs)) {
        m_lastSize = -1;
        m_steadyTicks = 0;
        return Look::Missing;
    }
    m_seen = true;
    m_steadyTicks = pdf.size() == m_lastSize ? m_steadyTicks + 1 : 0;
    m_lastSize = pdf.size();
    return m_steadyTicks >= 2 && EndsWithPdfTrailer(path) ? Look::Complete : Look::Unfinished;
}

bool EndsWithPdfTrailer(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // A writer may end with any amount of white space; a kilobyte is plenty.
    constexpr qint64 kTail = 1024;
    if (file.size() > kTail && !file.seek(file.size() - kTail))
        return false;
    QByteArray tail = file.read(kTail);
    // White space as PDF counts it: NUL, tab, line feed, form feed, carriage return, blank.
    while (!tail.isEmpty() && QByteArrayView("\0\t\n\f\r ", 6).contains(tail.back()))
        tail.chop(1);
    return tail.endsWith("%%EOF");
}

} // namespace pellwick
