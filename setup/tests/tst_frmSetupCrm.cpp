// The configuration window's OK against the CRM sandbox over HTTPS: the entered values
// are trimmed and tested on a connection of their own, stored encoded only when the test
// passes, and what OK stores before the test stays stored when it fails.

#include "SandboxProcess.h"
#include "pellwick/ProgramState.h"
#include "pellwick/addons/AddonRegistration.h"
#include "pellwick/modMain.h"
#include "pellwick/setup/frmSetup.h"
#include "pellwick/testing/CoreTestScope.h"
#include "pellwick/testing/WindowTestSupport.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <memory>
#include <tessary/clsInfusionsoftAPI.h>

using namespace pellwick;
using namespace pellwick::testing;

namespace {

const char* kKey = "sandbox-key-7f3a";

std::unique_ptr<sandbox::SandboxProcess> g_crm;

// A scope whose CRM endpoint is the sandbox and whose host lists this program.
struct CrmScope {
    CoreTestScope scope;
    CrmScope() {
        scope.attachFakeHost();
        scope.useLocalEndpoint(g_crm->port(), QString::fromStdString(g_crm->caFile()));
        SetPluginExecutablePathOverride(QStringLiteral("/opt/pellwick/pellwick"));
        QFile ini(siteIni());
        if (ini.open(QIODevice::WriteOnly))
            ini.write("; host settings\r\n[Addons]\r\nAutoRun1=/opt/pellwick/pellwick\r\n");
        g_crm->clearLog();
    }
    ~CrmScope() { SetPluginExecutablePathOverride(QString()); }
    QString siteIni() const { return scope.folder() + QStringLiteral("/site.ini"); }
    QString iniValue(const QString& key) const {
        return QSettings(siteIni(), QSettings::IniFormat).value(key).toString();
    }
    // The connection tests the sandbox received, over either interface.
    int testCalls() const {
        int n = 0;
        for (const auto& call : g_crm->calls())
            n += sandbox::IsCallOf(call, "DataService.query", "User");
        return n;
    }
};

template <class W> W* child(QWidget* parent, const char* name) {
    return parent->findChild<W*>(QString::fromLatin1(name));
}

} // namespace

class TestFrmSetupCrm : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        sandbox::SandboxOptions options;
        options.apiKey = kKey;
        options.app = "abc";
        options.extraArgs = {"--memory"};
        g_crm = std::make_unique<sandbox::SandboxProcess>(options);
    }
    void cleanupTestCase() { g_crm.reset(); }

    void trimmedValuesAreTestedAndStoredEncoded();
    void failedTestKeepsOldValuesAndTheWindowOpen();
    void yesAfterInstallingSavesAndEndsTheProgram();
};

void TestFrmSetupCrm::trimmedValuesAreTestedAndStoredEncoded() {
    CrmScope crm;
    frmSetup setup;
    bool closedByOk = false;
    WhenWindowOpens(QStringLiteral("frmSetup"), [&](QWidget*) {
        child<QLineEdit>(&setup, "txtAppName")->setText(QStringLiteral("  abc  "));
        child<QLineEdit>(&setup, "txtAPIKey")->setText(QStringLiteral(" ") + kKey + " ");
        child<QLineEdit>(&setup, "txtContactNotesActionDescription")
            ->setText(QStringLiteral(" [QUOTE_NO] "));
        child<QCheckBox>(&setup, "chkShowSaveQuoteOnEmail")->setChecked(false);
        child<QCheckBox>(&setup, "chkSetContactManager")->setChecked(false);
        child<QPushButton>(&setup, "cmdOK")->click();
        closedByOk = !setup.isVisible();
        if (!closedByOk)
            setup.reject();
    });
    setup.ShowForm();

    QVERIFY(closedByOk);
    QCOMPARE(setup.result(), int(QDialog::Accepted));
    QVERIFY(crm.scope.boxes->boxes().empty());
    QCOMPARE(ReadSetting(setting::InfusionsoftAppName), QStringLiteral("362616"));
    QCOMPARE(GetInfusionsoftAPIKeyFromRegistry(), QString::fromLatin1(kKey));
    QCOMPARE(ReadSetting(setting::ContactNotesActionDescription), QStringLiteral(" [QUOTE_NO] "));
    QCOMPARE(ReadSetting(setting::ContactNotesCreationNotes),
             QStringLiteral("[QUOTE_NAME] <[QUOTE_NO]>"));
    QCOMPARE(ReadSetting(setting::ShowSaveQuoteOnEmail), QStringLiteral("0"));
    QCOMPARE(ReadSetting(setting::SetContactManagerSetting), QStringLiteral("0"));
    QCOMPARE(crm.iniValue(QStringLiteral("Contact Managers/DefaultContactManager")),
             QStringLiteral("10"));
    QCOMPARE(crm.iniValue(QStringLiteral("Addons/AutoRun1")),
             QStringLiteral("/opt/pellwick/pellwick"));
    // The settings are in force: flags read, the shared connection replaced and tested.
    QVERIFY(!State().ShowSaveQuoteOnEmail);
    QVERIFY(State().ShowSaveQuoteOnSave);
    QVERIFY(State().InfusionsoftConnection);
    QCOMPARE(State().InfusionsoftConnection->ApplicationName(), std::string("abc"));
    QCOMPARE(crm.testCalls(), 2); // the window's own test, then the shared connection's
    QCOMPARE(crm.scope.mainWindow.infoText, QStringLiteral("QuoteWerks and Pellwick is running."));
}

void TestFrmSetupCrm::failedTestKeepsOldValuesAndTheWindowOpen() {
    CrmScope crm;
    WriteInfusionsoftAppNameToRegistry(QStringLiteral("abc"));
    WriteInfusionsoftAPIKeyToRegistry(QString::fromLatin1(kKey));
    crm.scope.store(setting::ContactNotesCreationNotes, QStringLiteral("old notes"));
    frmSetup setup;
    bool stillOpen = false;
    QStringList boxesWhileOpen;
    WhenWindowOpens(QStringLiteral("frmSetup"), [&](QWidget*) {
        child<QLineEdit>(&setup, "txtAPIKey")->setText(QStringLiteral("wrong-key"));
        child<QLineEdit>(&setup, "txtContactNotesCreationNotes")->setText(QStringLiteral("new"));
        child<QCheckBox>(&setup, "chkDebugMode")->setChecked(true);
        child<QCheckBox>(&setup, "chkShowSaveQuoteOnSave")->setChecked(false);
        child<QPushButton>(&setup, "cmdOK")->click();
        stillOpen = setup.isVisible();
        boxesWhileOpen = crm.scope.boxes->texts();
        child<QPushButton>(&setup, "cmdCancel")->click();
    });
    setup.ShowForm();

    QVERIFY(stillOpen);
    QCOMPARE(boxesWhileOpen, QStringList{"Unable to connect to your Infusionsoft Account.\r\n"
                                         "Please check your settings are correct."});
    const MessageBoxRequest& box = crm.scope.boxes->boxes().front();
    QCOMPARE(box.icon, MsgIcon::Critical);
    QCOMPARE(box.title, QStringLiteral("Pellwick"));
    QCOMPARE(box.buttons, MsgButtons::Ok);
    // Stored before the test, so kept.
    QCOMPARE(ReadSetting(setting::DebugMode), QStringLiteral("1"));
    QCOMPARE(ReadSetting(setting::ShowSaveQuoteOnSave), QStringLiteral("0"));
    QCOMPARE(crm.iniValue(QStringLiteral("Contact Managers/DefaultContactManager")),
             QStringLiteral("10"));
    // Not stored: the test failed.
    QCOMPARE(GetInfusionsoftAPIKeyFromRegistry(), QString::fromLatin1(kKey));
    QCOMPARE(GetInfusionsoftAppNameFromRegistry(), QStringLiteral("abc"));
    QCOMPARE(ReadSetting(setting::ContactNotesCreationNotes), QStringLiteral("old notes"));
    QVERIFY(!State().InfusionsoftConnection);
    QVERIFY(!State().ShowSaveQuoteOnSave && !State().DebugMode); // not re-read
    // One test; REST v2 sends a refused key once more in the other header form.
    QCOMPARE(crm.testCalls(), TestsUseRestV2() ? 2 : 1);
    QCOMPARE(crm.scope.mainWindow.infoText, QString());
}

void TestFrmSetupCrm::yesAfterInstallingSavesAndEndsTheProgram() {
    CrmScope crm;
    QFile ini(crm.siteIni());
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Addons]\r\n");
    ini.close();
    WriteInfusionsoftAppNameToRegistry(QStringLiteral("abc"));
    WriteInfusionsoftAPIKeyToRegistry(QString::fromLatin1(kKey));
    frmSetup setup;
    WhenWindowOpens(QStringLiteral("frmSetup"), [&](QWidget*) {
        crm.scope.boxes->QueueAnswer(MsgAnswer::Yes);
        child<QPushButton>(&setup, "cmdInstallPlugin")->click();
        setup.reject();
    });
    setup.ShowForm();

    QCOMPARE(crm.iniValue(QStringLiteral("Addons/AutoRun1")),
             QStringLiteral("/opt/pellwick/pellwick"));
    QCOMPARE(crm.scope.boxes->boxes().size(), size_t(1)); // the question, nothing after it
    QVERIFY(State().InfusionsoftConnection);              // saved before the end
    QCOMPARE(crm.scope.mainWindow.ended, 1);
}

QTEST_MAIN(TestFrmSetupCrm)
#include "tst_frmSetupCrm.moc"
