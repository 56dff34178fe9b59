#pragma once
// The stand-in host without its window: the open quote, the program folder and the
// actions that raise the host's events. The D-Bus objects and the window both drive it.

#include "QuoteDocument.h"

#include <QObject>
#include <QString>

namespace hoststandin {

class StandInHost : public QObject {
    Q_OBJECT
public:
    enum class FieldStatus { Ok, NoDocument, UnknownField };

    // Print methods of BeforePrintDocument.
    static constexpr qint16 kPrintToPrinter = 1;
    static constexpr qint16 kPrintToEmail = 2;
    // The layout every print uses (the stand-in has one).
    static constexpr qint16 kLayoutType = 0;
    static QString layoutFileName();

    StandInHost(QString programFolder, QuoteDocument quote, QObject* parent = nullptr);

    const QString& programFolder() const { return m_programFolder; }
    bool documentOpen() const { return m_documentOpen; }
    const QuoteDocument& quote() const { return m_quote; }

    // The automation interface: field access by any spelling of the name.
    FieldStatus fieldValue(const QString& name, QString* value) const;
    // Writes a field; with refresh the display is repainted (displayRefresh).
    FieldStatus setFieldValue(const QString& name, const QString& value, bool refresh);
    // A field typed into the form: the document changes, the form already shows it.
    FieldStatus editField(const QString& name, const QString& value);

    // DTF/<DocNo>.dtf and history/email/<DocNo>.pdf of the open quote.
    QString dtfPath() const;
    QString emailPdfPath() const;

    // Actions. Each needs an open document; without one it returns false (save: -1)
    // with the reason in message and raises nothing.
    // Save: writes the quote file, then raises AfterSaveDocument(0), or (1) when the
    // file could not be written. Returns the result raised.
    qint16 save(QString* message);
    // E-mail: writes the PDF, then raises BeforePrintDocument with print method 2.
    // With an e-mail delay set (setEmailPdfDelay) it raises the event first and writes
    // the PDF that many ms later, as a host that produces the file after the event;
    // a negative delay never writes it.
    bool email(QString* message);
    // Print: raises BeforePrintDocument with print method 1.
    bool print(QString* message);
    // Contact selection for a section: raises BeforeContactSelection(type, source).
    bool selectContact(qint16 type, qint16 source, QString* message);
    void closeDocument();
    void openDocument();
    // Raises AfterAppExit, then asks to quit (exitRequested).
    void exit();

    void setEmailPdfDelay(int ms) { m_emailPdfDelayMs = ms; }

    // Writes a quote as a PDF; the file is replaced whole or not at all.
    static bool writePdf(const QuoteDocument& quote, const QString& path, QString* error);

signals:
    void AfterAppExit();
    void AfterSaveDocument(qint16 iResult);
    void BeforeContactSelection(qint16 iType, qint16 iSource);
    void BeforePrintDocument(qint16 iPrintMethod, qint16 iLayoutType,
                             const QString& sLayoutFileName, bool bCancel);

    // The display must show the document's values again.
    void displayRefresh();
    void documentOpenChanged(bool open);
    // A line for the status bar and the log.
    void status(const QString& text);
    void exitRequested();

private:
    bool requireDocument(QString* message) const;
    bool quoteFileName(const char* what, QString* message) const;

    QString m_programFolder;
    QuoteDocument m_quote;
    bool m_documentOpen = true;
    bool m_exiting = false;
    int m_emailPdfDelayMs = 0;
};

} // namespace hoststandin
