#include "StandInHost.h"

#include <QDir>
#include <QFont>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTimer>
#include <utility>

namespace hoststandin {

QString StandInHost::layoutFileName() {
    return QStringLiteral("Standard Quote.qwl");
}

StandInHost::StandInHost(QString programFolder, QuoteDocument quote, QObject* parent)
    : QObject(parent), m_programFolder(std::move(programFolder)), m_quote(std::move(quote)) {}

StandInHost::FieldStatus StandInHost::fieldValue(const QString& name, QString* value) const {
    const QString canonical = QuoteDocument::canonicalName(name);
    if (canonical.isEmpty())
        return FieldStatus::UnknownField;
    if (!m_documentOpen)
        return FieldStatus::NoDocument;
    *value = m_quote.value(canonical);
    return FieldStatus::Ok;
}

StandInHost::FieldStatus StandInHost::setFieldValue(const QString& name, const QString& value,
                                                    bool refresh) {
    const FieldStatus result = editField(name, value);
    if (result == FieldStatus::Ok && refresh)
        emit displayRefresh();
    return result;
}

StandInHost::FieldStatus StandInHost::editField(const QString& name, const QString& value) {
    const QString canonical = QuoteDocument::canonicalName(name);
    if (canonical.isEmpty())
        return FieldStatus::UnknownField;
    if (!m_documentOpen)
        return FieldStatus::NoDocument;
    m_quote.setValue(canonical, value);
    return FieldStatus::Ok;
}

QString StandInHost::dtfPath() const {
    return QDir(m_programFolder)
        .filePath(QStringLiteral("DTF/%1.dtf").arg(m_quote.value(QStringLiteral("DocNo"))));
}

QString StandInHost::emailPdfPath() const {
    return QDir(m_programFolder)
        .filePath(
            QStringLiteral("history/email/%1.pdf").arg(m_quote.value(QStringLiteral("DocNo"))));
}

bool StandInHost::requireDocument(QString* message) const {
    if (m_documentOpen)
        return true;
    *message = QStringLiteral("No document is open.");
    return false;
}

bool StandInHost::quoteFileName(const char* what, QString* message) const {
    // The document number names the file; it must not lead out of the folder.
    if (isPlainFileName(m_quote.value(QStringLiteral("DocNo"))))
        return true;
    *message = QStringLiteral("Cannot %1: the document number \"%2\" is not usable as a file name.")
                   .arg(QLatin1String(what), m_quote.value(QStringLiteral("DocNo")));
    return false;
}

qint16 StandInHost::save(QString* message) {
    if (!requireDocument(message))
        return -1;
    qint16 result = 0;
    QString error;
    if (!quoteFileName("save", message)) {
        result = 1;
    } else if (!m_quote.save(dtfPath(), &error)) {
        *message = QStringLiteral("Save failed: %1").arg(error);
        result = 1;
    } else {
        *message = QStringLiteral("Saved %1").arg(dtfPath());
    }
    emit status(*message);
    emit AfterSaveDocument(result);
    return result;
}

bool StandInHost::email(QString* message) {
    if (!requireDocument(message) || !quoteFileName("e-mail", message))
        return false;
    const QString pdf = emailPdfPath();
    if (m_emailPdfDelayMs == 0) {
        QString error;
        if (!writePdf(m_quote, pdf, &error)) {
            *message = QStringLiteral("E-mail failed: %1").arg(error);
            emit status(*message);
            return false;
        }
        *message = QStringLiteral("E-mailing %1").arg(pdf);
        emit status(*message);
        emit BeforePrintDocument(kPrintToEmail, kLayoutType, layoutFileName(), false);
        return true;
    }
    emit BeforePrintDocument(kPrintToEmail, kLayoutType, layoutFileName(), false);
    if (m_emailPdfDelayMs > 0) {
        const QuoteDocument snapshot = m_quote;
        QTimer::singleShot(m_emailPdfDelayMs, this, [this, snapshot, pdf] {
            QString error;
            emit status(writePdf(snapshot, pdf, &error)
                            ? QStringLiteral("Wrote %1").arg(pdf)
                            : QStringLiteral("E-mail failed: %1").arg(error));
        });
        *message = QStringLiteral("E-mailing; the PDF follows in %1 ms").arg(m_emailPdfDelayMs);
    } else {
        *message = QStringLiteral("E-mailing without a PDF");
    }
    emit status(*message);
    return true;
}

bool StandInHost::print(QString* message) {
    if (!requireDocument(message))
        return false;
    *message = QStringLiteral("Printing");
    emit status(*message);
    emit BeforePrintDocument(kPrintToPrinter, kLayoutType, layoutFileName(), false);
    return true;
}

bool StandInHost::selectContact(qint16 type, qint16 source, QString* message) {
    if (!requireDocument(message))
        return false;
    *message = QStringLiteral("Selecting a contact for section %1").arg(type);
    emit status(*message);
    emit BeforeContactSelection(type, source);
    return true;
}

void StandInHost::closeDocument() {
    if (!m_documentOpen)
        return;
    m_documentOpen = false;
    emit status(QStringLiteral("Document closed"));
    emit documentOpenChanged(false);
}

void StandInHost::openDocument() {
    if (m_documentOpen)
        return;
    m_documentOpen = true;
    emit status(QStringLiteral("Document opened"));
    emit documentOpenChanged(true);
}

void StandInHost::exit() {
    if (m_exiting)
        return;
    m_exiting = true;
    emit AfterAppExit();
    emit exitRequested();
}

bool StandInHost::writePdf(const QuoteDocument& quote, const QString& path, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(72);
        writer.setTitle(QStringLiteral("Quote %1").arg(quote.value(QStringLiteral("DocNo"))));
        writer.setCreator(QStringLiteral("hoststandin"));
        QPainter painter;
        if (!painter.begin(&writer)) {
            file.cancelWriting();
            *error = QStringLiteral("cannot start a PDF in %1").arg(path);
            return false;
        }
        const int pageHeight = writer.height();
        const int left = 40;
        int y = 50;
        auto line = [&](const QString& text, int size, bool bold) {
            QFont font(QStringLiteral("DejaVu Sans"), size);
            font.setBold(bold);
            painter.setFont(font);
            const int height = painter.fontMetrics().height();
            if (y + height > pageHeight - 40) {
                writer.newPage();
                y = 50;
            }
            painter.drawText(left, y, text);
            y += height + 2;
        };
        line(QStringLiteral("Quote %1").arg(quote.value(QStringLiteral("DocNo"))), 18, true);
        line(quote.value(QStringLiteral("DocName")), 12, false);
        line(QStringLiteral("Grand total: %1").arg(quote.value(QStringLiteral("GrandTotal"))), 12,
             true);
        y += 8;
        for (int type = 0; type < 3; ++type) {
            const QString prefix = QuoteDocument::sectionPrefix(type);
            line(prefix, 11, true);
            for (const QString& field : QuoteDocument::sectionFieldNames()) {
                const QString value = quote.value(prefix + field);
                if (!value.isEmpty())
                    line(QStringLiteral("%1: %2").arg(field, value), 9, false);
            }
            y += 6;
        }
        for (const QString& notes :
             {QStringLiteral("IntroductionNotes"), QStringLiteral("PurchasingNotes"),
              QStringLiteral("ClosingNotes")}) {
            const QString text = quote.value(notes);
            if (text.isEmpty())
                continue;
            line(notes, 11, true);
            for (const QString& row : text.split(QLatin1Char('\n')))
                line(row, 9, false);
            y += 6;
        }
        painter.end();
    }
    if (!file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace hoststandin
