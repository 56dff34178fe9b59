// End to end: the host stand-in starts pellwick from the add-on list in its site.ini;
// pellwick attaches to it over D-Bus, finds no CRM account stored, opens its
// configuration window, is configured against the CRM sandbox there, reports that it
// runs, and ends when the host exits.

#include "HostStandInProcess.h"
#include "SandboxProcess.h"
#include "WalkClient.h"
#include "pellwick/modMain.h"
#include "pellwick/modRegistry.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace pellwick;
using pellwick::testing::WalkClient;

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
    qputenv("PELLWICK_WALK_REPORT", report.toUtf8());

    sandbox::SandboxOptions crmOptions;
    crmOptions.apiKey = "e2e-key";
    crmOptions.app = "demo";
    crmOptions.extraArgs = {"--memory"};
    sandbox::SandboxProcess crm(crmOptions);

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
        "[General]\r\nCompany=Test\r\n\r\n[Addons]\r\nAutoRun1=" + QByteArray(PELLWICK_WALK_EXE) +
        "\r\n";
    hoststandin::HostStandInProcess host(hostOptions);
    QString error;
    QVERIFY2(host.start(&error), qPrintable(error));

    auto reportText = [&] {
        QFile file(report);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    // Start-up finds no account and opens the configuration window: type it in, press OK.
    WalkClient walk;
    const QString setup = QStringLiteral("frmSetup");
    QVERIFY2(walk.waitWindow(setup, true, 60000), qPrintable(reportText() + host.output()));
    QVERIFY(walk.setText(setup, QStringLiteral("txtAppName"), QStringLiteral("demo")));
    QVERIFY(walk.setText(setup, QStringLiteral("txtAPIKey"), QStringLiteral("e2e-key")));
    QVERIFY(WalkClient::waitFor(
        [&] { return walk.control(setup, "txtAPIKey")["text"].toString() == "e2e-key"; }));
    QVERIFY(walk.click(setup, QStringLiteral("OK")));
    QVERIFY2(walk.waitWindow(setup, false), qPrintable(reportText()));
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
    SetSettingsFileOverride(QString());
}

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_EndToEnd.moc"
