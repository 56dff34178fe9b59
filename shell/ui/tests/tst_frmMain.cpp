// The main window without a CRM: start-up paths, host events, the e-mail watch, the
// tray icon's clicks, minimising and closing. A fake host stands in for the quoting
// program; boxes are answered and recorded.

#include "pellwick/ProgramState.h"
#include "pellwick/modMain.h"
#include "pellwick/testing/CoreTestScope.h"
#include "pellwick/testing/RecordingTrayBackend.h"
#include "pellwick/testing/WindowTestSupport.h"
#include "pellwick/tray/clsSystemTray.h"
#include "pellwick/ui/frmMain.h"

#include <QAccessible>
#include <QAction>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLockFile>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <netinet/in.h>
#include <sys/socket.h>
#include <tessary/clsInfusionsoftAPI.h>
#include <unistd.h>

using namespace pellwick;
using namespace pellwick::testing;

namespace {

const QString kNotIntegrated = QStringLiteral(
    "The Plugin is not currently integrated into QuoteWerks.\r\nPlease click on the Configure "
    "button below.");
const QString kNoKey = QStringLiteral(
    "Please click on the Configure button below\r\nto configure connection to Infusionsoft.");

// Everything one start of the main window needs, torn down in the right order.
struct Run {
    CoreTestScope scope;
    std::shared_ptr<FakeQuoteWerksApp> host;
    std::unique_ptr<frmMain> window;
    RecordingTrayBackend* tray = nullptr;
    int ended = 0;
    // What the doors to the other windows were asked; lblInfo when the configuration opened.
    std::vector<qint16> saveQuoteLayouts;
    std::vector<std::pair<qint16, qint16>> contactSelections;
    std::vector<qint32> opportunityContacts;
    QStringList infoAtConfiguration;

    explicit Run(bool trayAvailable = true) {
        host = std::make_shared<FakeQuoteWerksApp>(scope.folder());
        scope.setHost(host);
        window = std::make_unique<frmMain>();
        window->SetEndProgram([this] { ++ended; });
        window->SetInstanceLockPath(lockPath());
        window->SetTrayFactory([this, trayAvailable] {
            auto backend = std::make_unique<RecordingTrayBackend>(trayAvailable);
            tray = backend.get();
            return std::make_unique<clsSystemTray>(std::move(backend));
        });
        ProgramWindows& doors = State().Windows;
        doors.ShowSaveQuote = [this](qint32 layout) {
            saveQuoteLayouts.push_back(static_cast<qint16>(layout));
        };
        doors.ShowContacts = [this](qint16 type, qint16 source) {
            contactSelections.emplace_back(type, source);
            return 0;
        };
        doors.ShowOpportunities = [this](qint32 contact) {
            opportunityContacts.push_back(contact);
        };
        doors.ShowSetup = [this] {
            infoAtConfiguration << (window->isVisible() ? info() : QStringLiteral("(hidden)"));
        };
    }
    ~Run() {
        window.reset();
        State().QuoteWerksApp.reset();
    }

    QString lockPath() const { return scope.folder() + QStringLiteral("/instance.lock"); }

    // site.ini in the host's folder, listing this program among the add-ons or not.
    void writeSiteIni(bool listed) const {
        QFile ini(scope.folder() + QStringLiteral("/site.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        QByteArray text = "[General]\r\nName=Test\r\n[Addons]\r\n";
        if (listed)
            text += "AutoRun1=" + QCoreApplication::applicationFilePath().toUtf8() + "\r\n";
        ini.write(text);
    }

    // The connection values stored (encoded) and an endpoint where nothing listens,
    // so the start-up's connection test fails at once without leaving the machine.
    void storeUnreachableAccount() const {
        WriteInfusionsoftAppNameToRegistry(QStringLiteral("demo"));
        WriteInfusionsoftAPIKeyToRegistry(QStringLiteral("some-key"));
        const quint16 port = ClosedLoopbackPort();
        QVERIFY(port != 0);
        scope.useLocalEndpoint(port);
    }

    // Started with everything in place except a reachable CRM: the connection object
    // exists (untested), so host events get past their check.
    void startConfigured() {
        writeSiteIni(true);
        storeUnreachableAccount();
        window->Form_Load();
        QVERIFY(State().InfusionsoftConnection);
        scope.boxes->clear();
    }

    QString info() const { return window->findChild<QLabel*>(QStringLiteral("lblInfo"))->text(); }
    QString pdfPath(const QString& docNo) const {
        return scope.folder() + QStringLiteral("/history/email/") + docNo + QStringLiteral(".pdf");
    }
};

} // namespace

class TestFrmMain : public QObject {
    Q_OBJECT
private slots:
    void layoutAndCaptions();
    void keyboardReachesTheButtonsInOrder();
    void secondCopyEndsBeforeTheTrayIcon();
    void unusableLockIsNoSecondCopy();
    void hostNotRunningEndsTheProgram();
    void notInSiteIniOpensConfigurationEvenWithAKey();
    void noKeySavedOpensConfiguration();
    void eventsWhileNotConfiguredOnlyReport();
    void connectionFailureKeepsTheProgramRunning();
    void saveEventOpensSaveQuoteOnlyWhenAsked();
    void printToPaperNeverStartsTheWatch();
    void pdfAppearingOnTheThirdTick();
    void pdfUnfinishedWhenTheTicksEnd();
    void pdfNeverAppearing();
    void watchTicksDoNotStackBoxes();
    void hostEventsWhileAWindowIsOpenOnlyRaiseIt();
    void contactSelectionOpensTheSearch();
    void afterAppExitEndsTheProgram();
    void minimiseHidesOnlyWithANotificationArea();
    void trayDoubleClickBringsForwardTheRightWindow();
    void closeUnloadsEverything();
};

void TestFrmMain::layoutAndCaptions() {
    Run run;
    frmMain& w = *run.window;
    QCOMPARE(w.size(), QSize(400, 93));
    const QList<std::pair<QString, QString>> buttons = {{"cmdConfigure", "&Configure..."},
                                                        {"cmdAbout", "&About..."},
                                                        {"cmdMinimize", "&Minimize"},
                                                        {"cmdClose", "Close"}};
    int x = -1;
    for (const auto& [name, caption] : buttons) {
        auto* button = w.findChild<QPushButton*>(name);
        QVERIFY2(button, qPrintable(name));
        QCOMPARE(button->text(), caption);
        QVERIFY(button->x() > x); // left to right in tab order
        x = button->x();
    }
    QCOMPARE(w.CheckFileTimer()->objectName(), QStringLiteral("tmrCheckFile"));
    QCOMPARE(w.CheckFileTimer()->interval(), 1000);
    QVERIFY(!w.CheckFileTimer()->isActive());
    QStringList items;
    for (QAction* action : w.FileMenu()->actions())
        items << action->objectName() + QLatin1Char('=') + action->text();
    QCOMPARE(items, QStringList({"mnuFileOpen=&Open", "mnuFileOpportunities=&Opportunities...",
                                 "mnuFileDash=-", "mnuFileExit=E&xit"}));
    QCOMPARE(w.FileMenu()->title(), QStringLiteral("File"));

    run.startConfigured();
    QCOMPARE(w.windowTitle(), QStringLiteral("Pellwick - v5.0.0"));
    QCOMPARE(run.tray->toolTip, QStringLiteral("Infusionsoft <> QuoteWerks"));
    QVERIFY(run.tray->visible);
}

void TestFrmMain::keyboardReachesTheButtonsInOrder() {
    Run run;
    frmMain& w = *run.window;
    QStringList chain;
    QWidget* next = w.findChild<QPushButton*>(QStringLiteral("cmdConfigure"));
    for (int i = 0; i < 4 && next; ++i, next = next->nextInFocusChain()) {
        while (next && !(next->focusPolicy() & Qt::TabFocus))
            next = next->nextInFocusChain();
        if (next)
            chain << next->objectName();
    }
    QCOMPARE(chain, QStringList({"cmdConfigure", "cmdAbout", "cmdMinimize", "cmdClose"}));

    // Enter on a focused button acts like a click, as Space does.
    auto* minimize = w.findChild<QPushButton*>(QStringLiteral("cmdMinimize"));
    QTest::keyClick(minimize, Qt::Key_Return);
    QVERIFY(w.isMinimized());

    // The link other windows use minimises the same way.
    w.showNormal();
    QVERIFY(!w.isMinimized());
    static_cast<MainWindowLink&>(w).Minimize();
    QVERIFY(w.isMinimized());
    // Minimised, the window is still named for a screen reader.
    QCOMPARE(QAccessible::queryAccessibleInterface(&w)->text(QAccessible::Name), w.windowTitle());
}

void TestFrmMain::secondCopyEndsBeforeTheTrayIcon() {
    Run run;
    QLockFile first(run.lockPath());
    QVERIFY(first.tryLock(0));

    run.window->Form_Load();

    QCOMPARE(run.scope.boxes->boxes().size(), size_t(1));
    const MessageBoxRequest& box = run.scope.boxes->boxes().front();
    QCOMPARE(box.text, QStringLiteral("You currently have a copy of the Pellwick running."));
    QCOMPARE(box.title, QStringLiteral("Infusionsoft <> QuoteWerks"));
    QCOMPARE(box.icon, MsgIcon::Exclamation);
    QCOMPARE(run.ended, 1);
    QVERIFY(!run.window->SystemTray());
    QVERIFY(!run.window->isVisible());
    QVERIFY(!State().QuoteWerksApp);
    // The first copy keeps its lock.
    QVERIFY(first.isLocked());
}

void TestFrmMain::unusableLockIsNoSecondCopy() {
    Run run;
    // The lock's folder does not exist: nothing tells of another copy, so start-up goes on.
    run.window->SetInstanceLockPath(run.scope.folder() + QStringLiteral("/missing/instance.lock"));
    run.writeSiteIni(true);
    run.storeUnreachableAccount();

    run.window->Form_Load();

    QVERIFY(!run.scope.boxes->texts().contains(
        QStringLiteral("You currently have a copy of the Pellwick running.")));
    QCOMPARE(run.ended, 0);
    QVERIFY(run.window->SystemTray());
    QVERIFY(run.window->isVisible());
}

void TestFrmMain::hostNotRunningEndsTheProgram() {
    Run run;
    run.writeSiteIni(true);
    run.scope.setHost(nullptr);

    run.window->Form_Load();

    QCOMPARE(run.scope.boxes->texts(), QStringList{"QuoteWerks is not running!"});
    QCOMPARE(run.scope.boxes->boxes().front().icon, MsgIcon::Critical);
    QCOMPARE(run.scope.boxes->boxes().front().title, QStringLiteral("Pellwick"));
    QCOMPARE(run.ended, 1);
    QVERIFY(!run.tray->visible); // the icon was removed again
    QVERIFY(!run.window->isVisible());
    QVERIFY(run.infoAtConfiguration.isEmpty());
}

void TestFrmMain::notInSiteIniOpensConfigurationEvenWithAKey() {
    Run run;
    run.writeSiteIni(false);
    run.storeUnreachableAccount();

    run.window->Form_Load();

    QCOMPARE(run.infoAtConfiguration, QStringList{kNotIntegrated}); // main window shown first
    QCOMPARE(run.info(), kNotIntegrated);
    QCOMPARE(run.ended, 0);
    QVERIFY(!State().InfusionsoftConnection); // no connection made
    QVERIFY(!State().ShowSaveQuoteOnSave);    // flags not read yet
    QVERIFY(!State().ShowSaveQuoteOnEmail);
}

void TestFrmMain::noKeySavedOpensConfiguration() {
    Run run;
    run.writeSiteIni(true);
    WriteInfusionsoftAppNameToRegistry(QStringLiteral("demo"));
    WriteInfusionsoftAPIKeyToRegistry(QStringLiteral("   ")); // blanks only: not saved

    run.window->Form_Load();

    QCOMPARE(run.infoAtConfiguration, QStringList{kNoKey});
    QCOMPARE(run.info(), kNoKey);
    QVERIFY(run.window->isVisible());
    QVERIFY(!State().InfusionsoftConnection);
    QVERIFY(run.scope.boxes->boxes().empty());
}

void TestFrmMain::eventsWhileNotConfiguredOnlyReport() {
    Run run;
    run.writeSiteIni(true);
    run.window->Form_Load();
    QCOMPARE(run.infoAtConfiguration.size(), 1);
    QVERIFY(run.scope.boxes->boxes().empty());

    emit run.host->AfterSaveDocument(1);
    bool cancel = false;
    emit run.host->BeforePrintDocument(1, 0, QString(), cancel); // paper: still checked
    emit run.host->BeforePrintDocument(2, 0, QString(), cancel);
    qint16 source = 3;
    emit run.host->BeforeContactSelection(0, source);
    emit run.host->AfterAppExit();

    const QString notConfigured = QStringLiteral("Pellwick is not fully configured.");
    QCOMPARE(run.scope.boxes->texts(), QStringList(5, notConfigured));
    QVERIFY(!run.window->CheckFileTimer()->isActive());
    QVERIFY(run.saveQuoteLayouts.empty());
    QVERIFY(run.contactSelections.empty());
    QCOMPARE(run.ended, 0); // an unconfigured plug-in outlives the host's exit
    QCOMPARE(source, qint16(3));
    QVERIFY(!cancel);

    // But not the host itself: with it gone no event can ever come, and the copy the
    // restarted host starts must be able to take over.
    emit run.host->HostVanished();
    QCOMPARE(run.ended, 1);
    QCOMPARE(run.scope.boxes->texts().size(), 5);
}

void TestFrmMain::connectionFailureKeepsTheProgramRunning() {
    Run run;
    run.writeSiteIni(true);
    run.storeUnreachableAccount();
    run.scope.store(setting::ShowSaveQuoteOnSave, QStringLiteral("0"));

    run.window->Form_Load();

    QCOMPARE(run.scope.boxes->texts(),
             QStringList{"Unable to connect to your Infusionsoft account."});
    QCOMPARE(run.info(), QStringLiteral("Unable to connect to your Infusionsoft account.\r\n"
                                        "Please click on the Configure button below."));
    QVERIFY(run.window->isVisible());
    QCOMPARE(run.ended, 0);
    QVERIFY(State().InfusionsoftConnection);
    QVERIFY(State().ShowSaveQuoteOnEmail); // read before the connection was made
    QVERIFY(!State().ShowSaveQuoteOnSave);
}

void TestFrmMain::saveEventOpensSaveQuoteOnlyWhenAsked() {
    Run run;
    run.scope.store(setting::DebugMode, QStringLiteral("1"));
    run.startConfigured();
    QVERIFY(State().DebugMode);

    emit run.host->AfterSaveDocument(7);
    QCOMPARE(run.saveQuoteLayouts, std::vector<qint16>{0});

    State().ShowSaveQuoteOnSave = false;
    emit run.host->AfterSaveDocument(-1);
    QCOMPARE(run.saveQuoteLayouts.size(), size_t(1));
    QVERIFY(run.scope.boxes->boxes().empty());

    QFile log(run.scope.debugLogPath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    QCOMPARE(text.count(QStringLiteral(" - frmMain - QuoteWerksApp_AfterSaveDocument - Started - "
                                       "Params: iResult = 7\r\n")),
             1);
    QCOMPARE(text.count(QStringLiteral(" - frmMain - QuoteWerksApp_AfterSaveDocument - Started - "
                                       "Params: iResult = -1\r\n")),
             1);
    QCOMPARE(
        text.count(QStringLiteral("QuoteWerksApp_AfterSaveDocument - Show the Save Quote Form")),
        1);
    QCOMPARE(text.count(QStringLiteral("QuoteWerksApp_AfterSaveDocument - Finished")), 2);
}

void TestFrmMain::printToPaperNeverStartsTheWatch() {
    Run run;
    run.startConfigured();
    QTimer* timer = run.window->CheckFileTimer();
    bool cancel = false;

    emit run.host->BeforePrintDocument(1, 0, QStringLiteral("layout.qwl"), cancel);
    QVERIFY(!timer->isActive());

    emit run.host->BeforePrintDocument(2, 0, QStringLiteral("layout.qwl"), cancel);
    QVERIFY(timer->isActive());
    QCOMPARE(run.window->CheckFileCount(), qint16(0));
    timer->stop();

    State().ShowSaveQuoteOnEmail = false;
    emit run.host->BeforePrintDocument(2, 0, QStringLiteral("layout.qwl"), cancel);
    QVERIFY(!timer->isActive());
    QVERIFY(!cancel);
    QVERIFY(run.scope.boxes->boxes().empty());
}

void TestFrmMain::pdfAppearingOnTheThirdTick() {
    Run run;
    run.startConfigured();
    run.host->setField(QStringLiteral("DocNo"), QStringLiteral("Q1042"));
    bool cancel = false;
    emit run.host->BeforePrintDocument(2, 0, QString(), cancel);
    QTimer* timer = run.window->CheckFileTimer();
    timer->stop(); // ticks are driven by hand below

    run.window->tmrCheckFile_Timer();
    run.window->tmrCheckFile_Timer();
    QCOMPARE(run.window->CheckFileCount(), qint16(2));
    // A folder of that name is no PDF.
    QVERIFY(QDir().mkpath(run.pdfPath(QStringLiteral("Q1042"))));
    timer->start();
    run.window->tmrCheckFile_Timer();
    QVERIFY(run.saveQuoteLayouts.empty());
    QVERIFY(QDir().rmdir(run.pdfPath(QStringLiteral("Q1042"))));

    // A PDF left by an earlier e-mail of the quote, and an empty one, are not this one's.
    QFile pdf(run.pdfPath(QStringLiteral("Q1042")));
    QVERIFY(pdf.open(QIODevice::WriteOnly));
    pdf.write("%PDF-1.4 earlier\n");
    pdf.flush();
    QVERIFY(pdf.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                            QFileDevice::FileModificationTime));
    pdf.close();
    run.window->tmrCheckFile_Timer();
    QVERIFY(pdf.open(QIODevice::WriteOnly | QIODevice::Truncate));
    run.window->tmrCheckFile_Timer();
    QCOMPARE(run.window->CheckFileCount(), qint16(5));

    // The host writes it: taken once it is complete, its size held over two ticks and the
    // trailer at its end (white space after it allowed).
    pdf.write("%PDF-1.4\n%%EOF \r\n");
    pdf.close();
    run.window->tmrCheckFile_Timer();
    run.window->tmrCheckFile_Timer();
    QVERIFY(run.saveQuoteLayouts.empty());
    run.window->tmrCheckFile_Timer();

    QCOMPARE(run.saveQuoteLayouts, std::vector<qint16>{1});
    QVERIFY(!timer->isActive());
    QCOMPARE(run.window->CheckFileCount(), qint16(7));
    QVERIFY(run.scope.boxes->boxes().empty());
}

void TestFrmMain::pdfUnfinishedWhenTheTicksEnd() {
    Run run;
    run.startConfigured();
    run.host->setField(QStringLiteral("DocNo"), QStringLiteral("Q1043"));
    bool cancel = false;
    emit run.host->BeforePrintDocument(2, 0, QString(), cancel);
    run.window->CheckFileTimer()->stop(); // ticks are driven by hand below
    QVERIFY(QDir().mkpath(QFileInfo(run.pdfPath(QStringLiteral("Q1043"))).path()));
    QFile pdf(run.pdfPath(QStringLiteral("Q1043")));
    QVERIFY(pdf.open(QIODevice::WriteOnly));

    // A writer that pauses: the size holds, but the PDF has no end yet.
    pdf.write("%PDF-1.4\n1 0 obj\n");
    pdf.flush();
    for (int tick = 0; tick < 9; ++tick)
        run.window->tmrCheckFile_Timer();
    QVERIFY(run.saveQuoteLayouts.empty());
    QVERIFY(run.scope.boxes->boxes().empty());

    // The tenth tick ends the watch: said once, and the window opens without the PDF.
    run.window->tmrCheckFile_Timer();
    QCOMPARE(run.scope.boxes->texts(),
             QStringList{QStringLiteral("The PDF of the e-mailed quote was not finished in "
                                        "time:\r\n") +
                         run.pdfPath(QStringLiteral("Q1043")) +
                         QStringLiteral("\r\nThe Save Quote window opens without uploading it.")});
    QCOMPARE(run.saveQuoteLayouts, std::vector<qint16>{0});
    QVERIFY(!run.window->CheckFileTimer()->isActive());
}

void TestFrmMain::pdfNeverAppearing() {
    Run run;
    run.startConfigured();
    run.host->setField(QStringLiteral("DocNo"), QStringLiteral("Q7"));
    QTimer* timer = run.window->CheckFileTimer();
    timer->setInterval(2);
    bool cancel = false;
    emit run.host->BeforePrintDocument(2, 0, QString(), cancel);

    QTRY_VERIFY_WITH_TIMEOUT(!timer->isActive(), 5000);
    QCOMPARE(run.window->CheckFileCount(), qint16(10));
    QVERIFY(run.saveQuoteLayouts.empty());

    // A new e-mail restarts the count.
    emit run.host->BeforePrintDocument(2, 0, QString(), cancel);
    QCOMPARE(run.window->CheckFileCount(), qint16(0));
    QVERIFY(timer->isActive());
    timer->stop();
    QVERIFY(run.scope.boxes->boxes().empty());
}

void TestFrmMain::watchTicksDoNotStackBoxes() {
    // Each tick fails: the document was closed meanwhile (said once, and the watch ends),
    // or the host died after announcing the e-mail (reported once). A real box runs its
    // own event loop, in which the timer keeps running; ticks must not pile up boxes, and
    // the failed ticks count, so the watch still ends.
    for (const bool hostGone : {false, true}) {
        Run run;
        run.startConfigured();
        QTimer* timer = run.window->CheckFileTimer();
        timer->setInterval(1);
        bool cancel = false;
        emit run.host->BeforePrintDocument(2, 0, QString(), cancel);
        if (hostGone)
            run.host->setGone(true);
        else
            run.host->setDocumentOpen(false);
        int depth = 0;
        int deepest = 0;
        run.scope.boxes->onPresent = [&](const MessageBoxRequest&) {
            deepest = std::max(deepest, ++depth);
            QTest::qWait(15);
            --depth;
        };

        QTRY_VERIFY_WITH_TIMEOUT(!timer->isActive(), 10000);
        run.scope.boxes->onPresent = nullptr;
        QCOMPARE(deepest, 1);
        QCOMPARE(run.window->CheckFileCount(), qint16(hostGone ? 10 : 0));
        const QStringList texts = run.scope.boxes->texts();
        QCOMPARE(texts.size(), 1);
        if (hostGone)
            QVERIFY(texts[0].contains(QStringLiteral("tmrCheckFile_Timer")));
        else
            QCOMPARE(texts[0],
                     QStringLiteral("There are no documents currently open in QuoteWerks."));
        QVERIFY(run.saveQuoteLayouts.empty());
    }
}

void TestFrmMain::hostEventsWhileAWindowIsOpenOnlyRaiseIt() {
    Run run;
    run.scope.store(setting::DebugMode, QStringLiteral("1"));
    run.startConfigured();
    run.host->setField(QStringLiteral("DocNo"), QStringLiteral("Q5"));
    QDialog open(run.window.get());
    open.setObjectName(QStringLiteral("frmSaveQuote"));
    QTimer::singleShot(0, &open, [&] {
        emit run.host->AfterSaveDocument(0);
        qint16 source = 0;
        emit run.host->BeforeContactSelection(1, source);
        run.window->findChild<QAction*>(QStringLiteral("mnuFileOpportunities"))->trigger();
        // The e-mail's watch starts, but waits for the open window without counting.
        bool cancel = false;
        emit run.host->BeforePrintDocument(2, 0, QString(), cancel);
        run.window->CheckFileTimer()->stop();
        QFile pdf(run.pdfPath(QStringLiteral("Q5")));
        QVERIFY(QDir().mkpath(QFileInfo(pdf).path()) && pdf.open(QIODevice::WriteOnly));
        pdf.write("%PDF-1.4\n%%EOF\n");
        pdf.close();
        for (int tick = 0; tick < 3; ++tick)
            run.window->tmrCheckFile_Timer();
        QCOMPARE(run.window->CheckFileCount(), qint16(0));
        open.reject();
    });
    open.exec();

    QVERIFY(run.saveQuoteLayouts.empty());
    QVERIFY(run.contactSelections.empty());
    QVERIFY(run.opportunityContacts.empty());
    QVERIFY(run.scope.boxes->boxes().empty());
    for (int tick = 0; tick < 3; ++tick)
        run.window->tmrCheckFile_Timer();
    QCOMPARE(run.saveQuoteLayouts, std::vector<qint16>{1});

    QFile log(run.scope.debugLogPath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(log.readAll())
                 .count(QStringLiteral("Not handled while a window is open: frmSaveQuote")),
             4);
}

void TestFrmMain::contactSelectionOpensTheSearch() {
    Run run;
    run.startConfigured();
    qint16 source = 4;
    emit run.host->BeforeContactSelection(2, source);
    QCOMPARE(run.contactSelections.size(), size_t(1));
    QCOMPARE(run.contactSelections.front(), std::make_pair(qint16(2), qint16(4)));
    QCOMPARE(source, qint16(4));
}

void TestFrmMain::afterAppExitEndsTheProgram() {
    Run run;
    run.startConfigured();
    QVERIFY(run.window->isVisible());
    emit run.host->AfterAppExit();
    QCOMPARE(run.ended, 1);
    QVERIFY(!run.window->isVisible());
    QVERIFY(!run.tray->visible);
    QVERIFY(run.scope.boxes->boxes().empty());
}

void TestFrmMain::minimiseHidesOnlyWithANotificationArea() {
    {
        Run run(true);
        run.startConfigured();
        run.window->findChild<QPushButton*>(QStringLiteral("cmdMinimize"))->click();
        QTRY_VERIFY(!run.window->isVisible());
        // A commit's minimise leaves the window hidden in the notification area.
        static_cast<MainWindowLink&>(*run.window).Minimize();
        QTest::qWait(20);
        QVERIFY(!run.window->isVisible());
        run.window->mnuFileOpen_Click();
        QVERIFY(run.window->isVisible());
        QVERIFY(!run.window->isMinimized());
    }
    {
        Run run(false);
        run.startConfigured();
        run.window->findChild<QPushButton*>(QStringLiteral("cmdMinimize"))->click();
        QTest::qWait(20);
        QVERIFY(run.window->isVisible()); // no icon to come back through
    }
}

void TestFrmMain::trayDoubleClickBringsForwardTheRightWindow() {
    Run run;
    run.startConfigured();
    run.window->hide();

    // A visible configuration window is brought forward; the main window stays hidden.
    QDialog setup(run.window.get());
    setup.setObjectName(QStringLiteral("frmSetup"));
    setup.show();
    emit run.window->SystemTray()->DblClick(1);
    QVERIFY(!run.window->isVisible());
    setup.hide();

    emit run.window->SystemTray()->DblClick(4); // middle button: nothing
    QVERIFY(!run.window->isVisible());
    emit run.window->SystemTray()->DblClick(1);
    QVERIFY(run.window->isVisible());

    // A left click and a right double-click offer the File menu; other buttons nothing.
    QMenu* menu = run.window->FileMenu();
    for (auto [click, button, shown] :
         {std::tuple{true, 1, true}, std::tuple{true, 4, false}, std::tuple{false, 2, true}}) {
        if (click)
            emit run.window->SystemTray()->Click(static_cast<qint16>(button));
        else
            emit run.window->SystemTray()->DblClick(static_cast<qint16>(button));
        QCOMPARE(menu->isVisible(), shown);
        menu->hide();
    }
    // Its Opportunities... opens that window for the quote's contacts.
    run.window->findChild<QAction*>(QStringLiteral("mnuFileOpportunities"))->trigger();
    QCOMPARE(run.opportunityContacts, std::vector<qint32>{0});
}

void TestFrmMain::closeUnloadsEverything() {
    // The Close button, and File > Exit of the tray menu.
    for (const bool viaMenu : {false, true}) {
        Run run;
        run.startConfigured();
        QDialog setup(run.window.get());
        setup.setObjectName(QStringLiteral("frmSetup"));
        setup.show();

        if (viaMenu)
            run.window->findChild<QAction*>(QStringLiteral("mnuFileExit"))->trigger();
        else
            run.window->findChild<QPushButton*>(QStringLiteral("cmdClose"))->click();

        QVERIFY(!setup.isVisible());
        QVERIFY(!run.window->isVisible());
        QVERIFY(!run.tray->visible);
        QCOMPARE(run.ended, 1);
    }
}

QTEST_MAIN(TestFrmMain)
#include "tst_frmMain.moc"
