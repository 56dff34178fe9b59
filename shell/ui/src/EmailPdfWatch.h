#pragma once
// The e-mail watch's look at the PDF the host writes for an e-mailed quote. The host
// is still writing it while the watch runs, and a writer may pause for a second or
// more: the PDF counts as written only when it is this e-mail's (not older than the
// event), its size held over two ticks and it ends with the PDF trailer.

#include <QDateTime>
#include <QString>

namespace pellwick {

class EmailPdfWatch {
public:
    enum class Look { Missing, Unfinished, Complete };

    // A new e-mail, announced at `eventTimeUtc`: what earlier ticks saw is forgotten.
    void Start(const QDateTime& eventTimeUtc);
    // One tick's look at the PDF at `path`.
    Look Check(const QString& path);
    // Whether a tick of this e-mail has found its PDF, finished or not.
    bool Seen() const { return m_seen; }
    // The path the last tick looked at.
    const QString& Path() const { return m_path; }

private:
    QDateTime m_eventTime;
    QString m_path;
    qint64 m_lastSize = -1;
    int m_steadyTicks = 0;
    bool m_seen = false;
};

// Whether the file ends with the PDF trailer "%%EOF" (white space after it allowed).
bool EndsWithPdfTrailer(const QString& path);

} // namespace pellwick
