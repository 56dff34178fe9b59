#pragma once
// Starts the host stand-in (hoststandin) for a test, with a temporary program folder,
// and drives it through its testing interface on the session bus.
//
// The stand-in owns the bus name QuoteWerks.Application, so two of them cannot run on
// one bus at once: give every ctest test that uses this class the property
// RESOURCE_LOCK ${PELLWICK_HOST_BUS_LOCK} (the text "QuoteWerks.Application").
//
// Needs a QCoreApplication (or QApplication) in the test process. Link the target
// hoststandin_testsupport; it builds hoststandin too.

#include <QByteArray>
#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantList>
#include <QVariantMap>

namespace hoststandin {

class HostStandInProcess {
public:
    struct Options {
        // Opens the sample quote shipped with the stand-in (DocNo "Q1001").
        bool sampleQuote = true;
        // Opens this quote file instead (JSON of field names and values).
        QString quoteFile;
        // Starts the add-ons listed in site.ini, as the real host does. Off by default:
        // a test usually attaches itself.
        bool addons = false;
        // Written as <program folder>/site.ini before the start when not empty.
        QByteArray siteIni;
        // Bound on the wait for the stand-in to own the bus name.
        int startTimeoutMs = 20000;
    };

    HostStandInProcess();
    explicit HostStandInProcess(Options options);
    // Stops the stand-in if it still runs (without AfterAppExit) and removes the folder.
    ~HostStandInProcess();

    HostStandInProcess(const HostStandInProcess&) = delete;
    HostStandInProcess& operator=(const HostStandInProcess&) = delete;

    // Starts the stand-in and waits until it owns the bus name. False, with the reason
    // and the stand-in's output in error, when that does not happen in time.
    bool start(QString* error = nullptr);
    bool isRunning() const;
    qint64 processId() const;
    // The program folder (a temporary folder; exists before start, so a test can put
    // files such as site.ini there first).
    QString programFolder() const;
    // The stand-in's output (stdout and stderr) so far.
    QString output();

    // The testing interface. Each throws std::runtime_error when the call fails (the
    // stand-in refused it, or did not answer in time).
    void setField(const QString& name, const QString& value); // typed into the form
    QString formField(const QString& name);                   // as the form shows it
    QVariantMap formFields();
    qint16 save();   // Save; the result AfterSaveDocument carried
    QString email(); // E-mail; the path of the PDF
    void print();    // Print
    void selectContact(qint16 type, qint16 source = 0);
    void closeDocument();
    void openDocument();
    void setEmailPdfDelay(int ms);
    QStringList startedAddons();

    // Exit through the host's own action (AfterAppExit is raised) and wait for the
    // process to end. False when it did not end in time.
    bool exit(int timeoutMs = 10000);
    // Ends the process at once, as a crash would: no AfterAppExit.
    void kill();
    // Stops (SIGSTOP) or continues (SIGCONT) the process: a host that hangs.
    void suspend();
    void resume();

    // The stand-in's executable and the sample quote file.
    static QString executable();
    static QString sampleQuoteFile();

private:
    QVariantList call(const QString& method, const QVariantList& args = {});
    void collectOutput();

    Options m_options;
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_output;
    QString m_uniqueName;
};

} // namespace hoststandin
