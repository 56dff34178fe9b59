// Start-up against the CRM sandbox over HTTPS: a stored key the CRM rejects leaves the
// program running with its hint; a good one ends in "QuoteWerks and Pellwick is running.".

#include "SandboxProcess.h"
#include "pellwick/ProgramState.h"
#include "pellwick/modMain.h"
#include "pellwick/testing/CoreTestScope.h"
#include "pellwick/testing/RecordingTrayBackend.h"
#include "pellwick/tray/clsSystemTray.h"
#include "pellwick/ui/frmMain.h"

#include <QFile>
#include <QLabel>
#include <QTest>
#include <memory>
#include <tessary/clsInfusionsoftAPI.h>

using namespace pellwick;
using namespace pellwick::testing;

namespace {

const char* kKey = "start-up-key";
std::unique_ptr<sandbox::SandboxProcess> g_crm;

struct Start {
    CoreTestScope scope;
    std::shared_ptr<FakeQuoteWerksApp> host;
    std::unique_ptr<frmMain> window;
    int ended = 0;

    explicit Start(const QString& apiKey) {
        host = std::make_shared<FakeQuoteWerksApp>(scope.folder());
        scope.setHost(host);
        QFile ini(scope.folder() + QStringLiteral("/site.ini"));
        if (ini.open(QIODevice::WriteOnly))
            ini.write("[Addons]\r\nAutoRun1=" + QCoreApplication::applicationFilePath().toUtf8() +
                      "\r\n");
        scope.useLocalEndpoint(g_crm->port(), QString::fromStdString(g_crm->caFile()));
        scope.store(setting::ShowSaveQuoteOnEmail, QStringLiteral("0"));
        WriteInfusionsoftAppNameToRegistry(QStringLiteral("demo"));
        WriteInfusionsoftAPIKeyToRegistry(apiKey);
        g_crm->clearLog();

        window = std::make_unique<frmMain>();
        window->SetEndProgram([this] { ++ended; });
        window->SetInstanceLockPath(scope.folder() + QStringLiteral("/instance.lock"));
        window->SetTrayFactory([] {
            return std::make_unique<clsSystemTray>(std::make_unique<RecordingTrayBackend>(true));
        });
    }
    ~Start() {
        window.reset();
        State().QuoteWerksApp.reset();
    }
    QString info() const { return window->findChild<QLabel*>(QStringLiteral("lblInfo"))->text(); }
};

} // namespace

class TestFrmMainCrm : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        sandbox::SandboxOptions options;
        options.apiKey = kKey;
        options.app = "demo";
        options.extraArgs = {"--memory"};
        g_crm = std::make_unique<sandbox::SandboxProcess>(options);
    }
    void cleanupTestCase() { g_crm.reset(); }

    void wrongKeyKeepsRunningWithTheHint() {
        Start start(QStringLiteral("not-the-key"));
        start.window->Form_Load();
        QCOMPARE(start.scope.boxes->texts(),
                 QStringList{"Unable to connect to your Infusionsoft account."});
        QCOMPARE(start.info(), QStringLiteral("Unable to connect to your Infusionsoft account.\r\n"
                                              "Please click on the Configure button below."));
        QVERIFY(start.window->isVisible());
        QCOMPARE(start.ended, 0);
        // One test (REST v2 tries a refused key in its other header form as well).
        QCOMPARE(g_crm->calls().size(), size_t(TestsUseRestV2() ? 2 : 1));
        if (!TestsUseRestV2())
            QCOMPARE(g_crm->calls().front().params.front().value.get<std::string>(),
                     std::string("not-the-key"));
    }

    void goodKeyRuns() {
        Start start(QString::fromLatin1(kKey));
        start.window->Form_Load();
        QVERIFY(start.scope.boxes->boxes().empty());
        QCOMPARE(start.info(), QStringLiteral("QuoteWerks and Pellwick is running."));
        QVERIFY(start.window->isVisible());
        QVERIFY(State().InfusionsoftConnection);
        QVERIFY(State().ShowSaveQuoteOnSave);
        QVERIFY(!State().ShowSaveQuoteOnEmail);
        QCOMPARE(g_crm->calls().size(), size_t(1));
        QVERIFY(sandbox::IsCallOf(g_crm->calls().front(), "DataService.query", "User"));
        QCOMPARE(start.ended, 0);
    }
};

QTEST_MAIN(TestFrmMainCrm)
#include "tst_frmMainCrm.moc"
