// End to end: the host stand-in starts pellwick from the add-on list in its site.ini;
// pellwick attaches to it over D-Bus, finds no CRM account stored, opens its
// configuration window, is configured against the CRM sandbox there, reports that it
// runs, and ends when the host exits, and also when a later host crashes, so that the
// copy the next host starts handles its events.

#include "HostStandInProcess.h"
#include "SandboxProcess.h"
#include "pellwick/modMain.h"
#include "pellwick/modRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace pellwick;

class TestEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void startedByTheHostConfiguredAgainstTheCrm();
};

void TestEndToEnd::startedByTheHostConfiguredAgainstTheCrm() {
    QTemporaryDir home;
    QVERIFY(home.isValid());
    // pellwick inherits this through the stand-in: its settings and lock live here.
    const QString config = home.filePath(QStringLiteral("config"));
    const QString runtime = home.filePath(QStringLiteral("runtime"));
    QVERIFY(QDir().mkpath(config) && QDir().mkpath(runtime));
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_CONFIG_HOME", config.toUtf8());
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    const QString report = home.filePath(QStringLiteral("report.txt"));
    qputenv("PELLWICK_E2E_REPORT", report.toUtf8());

    sandbox::SandboxOptions crmOptions;
    crmOptions.apiKey = "e2e-key";
    crmOptions.app = "demo";
    crmOptions.extraArgs = {"--memory"};
    sandbox::SandboxProcess crm(crmOptions);
    qputenv("PELLWICK_E2E_APP", "demo");
    qputenv("PELLWICK_E2E_KEY", "e2e-key");

    // Where the CRM is: the values the demo also stores, in the store pellwick reads.
    const QString store = config + QStringLiteral("/Varrow/Pellwick.conf");
    SetSettingsFileOverride(store);
    QCOMPARE(WriteSetting(setting::InfusionsoftServiceDomain, QStringLiteral("localhost")), 0);
    QCOMPARE(WriteSetting(setting::InfusionsoftServicePort, QString::number(crm.port())), 0);
    QCOMPARE(WriteSetting(setting::InfusionsoftCABundle, QString::fromStdString(crm.caFile())), 0);
    QCOMPARE(WriteSetting(setting::ShowSaveQuoteOnSave, QStringLiteral("0")), 0);

    hoststandin::HostStandInProcess::Options hostOptions;
    hostOptions.addons = true;
    hostOptions.siteIni =
        "[General]\r\nCompany=Test\r\n\r\n[Addons]\r\nAutoRun1=" + QByteArray(PELLWICK_E2E_EXE) +
        "\r\n";
    hoststandin::HostStandInProcess host(hostOptions);
    QString error;
    QVERIFY2(host.start(&error), qPrintable(error));

    auto reportText = [&] {
        QFile file(report);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    QTRY_VERIFY2_WITH_TIMEOUT(reportText().contains(QStringLiteral("configured: window closed")),
                              qPrintable(reportText() + host.output()), 60000);
    QTRY_VERIFY2_WITH_TIMEOUT(
        reportText().contains(QStringLiteral("info: QuoteWerks and Pellwick is running.")),
        qPrintable(reportText()), 10000);
    const QString before = reportText();
    QVERIFY2(before.contains(QStringLiteral("info: Please click on the Configure button below | "
                                            "to configure connection to Infusionsoft.")),
             qPrintable(before));

    // The account is stored encoded, the CRM was asked twice (window's test, shared one).
    QCOMPARE(ReadSetting(setting::InfusionsoftAppName), QStringLiteral("F6D65646"));
    QCOMPARE(GetInfusionsoftAPIKeyFromRegistry(), QStringLiteral("e2e-key"));
    int queries = 0;
    for (const auto& call : crm.calls())
        queries += call.method == "DataService.query";
    QCOMPARE(queries, 2);
    QCOMPARE(QSettings(host.programFolder() + QStringLiteral("/site.ini"), QSettings::IniFormat)
                 .value(QStringLiteral("Contact Managers/DefaultContactManager"))
                 .toString(),
             QStringLiteral("10"));

    // The host's exit ends pellwick.
    QVERIFY(host.exit());
    QTRY_VERIFY2_WITH_TIMEOUT(reportText().contains(QStringLiteral("ended: 0")),
                              qPrintable(reportText()), 15000);

    // A host that crashes sends no AfterAppExit; its pellwick ends all the same, so the
    // one the restarted host starts takes over and handles its events.
    const auto count = [&](const QString& line) { return reportText().count(line); };
    const QString running = QStringLiteral("info: QuoteWerks and Pellwick is running.");
    hoststandin::HostStandInProcess crashing(hostOptions);
    QVERIFY2(crashing.start(&error), qPrintable(error));
    QTRY_VERIFY2_WITH_TIMEOUT(count(running) == 2, qPrintable(reportText()), 30000);
    crashing.kill();
    QTRY_VERIFY2_WITH_TIMEOUT(count(QStringLiteral("ended: 0")) == 2, qPrintable(reportText()),
                              15000);

    QCOMPARE(WriteSetting(setting::DebugMode, QStringLiteral("1")), 0);
    const QString debugLog =
        QFileInfo(QStringLiteral(PELLWICK_E2E_EXE)).path() + QStringLiteral("/DebugLog.txt");
    QFile::remove(debugLog);
    hoststandin::HostStandInProcess restarted(hostOptions);
    QVERIFY2(restarted.start(&error), qPrintable(error));
    QTRY_VERIFY2_WITH_TIMEOUT(count(running) == 3, qPrintable(reportText()), 30000);
    QCOMPARE(restarted.save(), qint16(0));
    const auto logText = [&] {
        QFile file(debugLog);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    QTRY_VERIFY2_WITH_TIMEOUT(
        logText().contains(QStringLiteral("frmMain - QuoteWerksApp_AfterSaveDocument - Started - "
                                          "Params: iResult = 0")),
        qPrintable(logText()), 10000);
    QVERIFY(restarted.exit());
    QTRY_VERIFY2_WITH_TIMEOUT(count(QStringLiteral("ended: 0")) == 3, qPrintable(reportText()),
                              15000);
    SetSettingsFileOverride(QString());
}

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_EndToEnd.moc"
