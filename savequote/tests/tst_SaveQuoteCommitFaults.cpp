// The Save Quote commit against one CRM sandbox when the CRM fails: every call of one OK
// failing in each way a call can fail ends, after OK (and OK again while the window
// stays), with exactly what one clean OK makes, and never more than one box per OK. And
// the window answers while a call is slow.

#include "SaveQuoteWindowWorld.h"
#include "pellwick/CrmCalls.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <set>
#include <utility>

using namespace pellwick;
using namespace pellwick::testing;
using namespace savequote_testing;
using sandbox::IsCallOf;

namespace {

// The calls of one OK for a new Sold To contact with both uploads, an action set and a
// new opportunity with its revenue: the contact, each file's look-up and upload, the
// action set, the opportunity, the note's look-up and the note. REST v2 reads the
// contact's company, country and region first, and the opportunity's default stage.
int CallsOfOneOk() {
    return TestsUseRestV2() ? 13 : 9;
}

// The ways a call fails: refused (nothing done), then three where the CRM did it and the
// answer was lost.
const char* const kFaults[] = {"fault", "commit_then_500", "drop", "close"};

bool CarriedOut(const sandbox::LoggedCall& call) {
    return call.fault.empty() || call.fault == "commit_then_500" || call.fault == "drop" ||
           call.fault == "close" || call.fault == "late" || call.fault == "delay";
}

// A quote for a person the CRM does not know, with both of its files on disk.
void NewCustomerQuote(SaveQuoteWorld& w, const QString& quoteNo, const QString& email) {
    w.host->setField(QStringLiteral("DocNo"), quoteNo);
    w.host->setField(QStringLiteral("SoldToContact"), QStringLiteral("Robin ") + quoteNo);
    w.host->setField(QStringLiteral("SoldToEmail"), email);
    w.clearSection(QStringLiteral("ShipTo"));
    w.clearSection(QStringLiteral("BillTo"));
    const QDir folder(w.scope.folder());
    for (const QString& file :
         {QStringLiteral("DTF/%1.dtf"), QStringLiteral("history/email/%1.pdf")}) {
        const QString path = folder.filePath(file.arg(quoteNo));
        QDir().mkpath(QFileInfo(path).path());
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write("quote\n") == 6);
    }
}

void ChooseEverything(SaveQuoteWorld& w) {
    QCOMPARE(w.list("cboContact")->currentText(), QStringLiteral("(New Contact - Use 'Sold To')"));
    for (const char* name : {"chkAddQuoteDocNo", "chkUploadQuoteFile", "chkUploadQuotePDF"})
        w.box(name)->setChecked(true);
    PickValue(w.list("cboActionSet"), 1);
    PickValue(w.list("cboOpportunity"), -1); // (New Opportunity)
    w.box("chkUpdateProjectedRevenue")->setChecked(true);
}

} // namespace

class TestSaveQuoteCommitFaults : public QObject {
    Q_OBJECT
    std::unique_ptr<sandbox::SandboxProcess> m_crm;
    int m_row = 0;

private slots:
    void initTestCase() { m_crm = std::make_unique<sandbox::SandboxProcess>(CrmOptions()); }
    void everyCallFailingEveryWayEndsWithOneCommit_data();
    void everyCallFailingEveryWayEndsWithOneCommit();
    void theWindowAnswersWhileACallIsSlow();
};

void TestSaveQuoteCommitFaults::everyCallFailingEveryWayEndsWithOneCommit_data() {
    QTest::addColumn<int>("call");
    QTest::addColumn<QString>("fault");
    QTest::newRow("clean") << -1 << QString();
    for (int call = 0; call < CallsOfOneOk(); ++call)
        for (const char* fault : kFaults)
            QTest::addRow("call %d %s", call + 1, fault) << call << QString::fromLatin1(fault);
}

void TestSaveQuoteCommitFaults::everyCallFailingEveryWayEndsWithOneCommit() {
    QFETCH(int, call);
    QFETCH(QString, fault);
    SaveQuoteWorld w(*m_crm);
    // Each row its own quote and customer in the one CRM.
    const QString quoteNo = QStringLiteral("Q7%1").arg(++m_row, 3, 10, QLatin1Char('0'));
    const QString email = quoteNo.toLower() + QStringLiteral("@faults.example");
    NewCustomerQuote(w, quoteNo, email);
    int oks = 0;
    QVERIFY(w.show(1, [&] {
        ChooseEverything(w);
        w.crm.clearLog();
        if (call >= 0)
            w.crm.setFault(
                sandbox::FaultOptions{.mode = fault.toStdString(), .count = 1, .skip = call});
        while (w.window->isVisible() && oks < 3) {
            const std::size_t boxes = w.scope.boxes->boxes().size();
            w.ok();
            ++oks;
            QVERIFY2(w.scope.boxes->boxes().size() <= boxes + 1,
                     qPrintable(w.scope.boxes->texts().join(QStringLiteral(" / "))));
        }
        QVERIFY2(!w.window->isVisible(), qPrintable(w.steps().join(QStringLiteral(" / "))));
    }));
    w.crm.clearFault();
    // A failed step stops the sequence; the second OK finishes it.
    QCOMPARE(oks, call < 0 ? 1 : 2);
    if (call < 0) {
        QCOMPARE(w.crm.calls().size(), std::size_t(CallsOfOneOk())); // the calls this test fails
    }

    const auto contacts = Records("Contact", {{"Email", email.toStdString()}}, {"Id"});
    QCOMPARE(contacts.size(), std::size_t(1));
    const std::string id = contacts.front().at("Id");
    std::multiset<std::string> files;
    for (const Record& file : Records("FileBox", {{"ContactId", id}}, {"FileName"}))
        files.insert(file.at("FileName"));
    QCOMPARE(files, (std::multiset<std::string>{quoteNo.toStdString() + ".dtf",
                                                quoteNo.toStdString() + ".pdf"}));
    const auto leads = Records("Lead", {{"ContactID", id}}, {"ProjectedRevenueHigh"});
    QCOMPARE(leads.size(), std::size_t(1));
    QCOMPARE(leads.front().at("ProjectedRevenueHigh"), std::string("12480.5"));
    QCOMPARE(Records("ContactAction", {{"ContactId", id}}, {"Id"}).size(), std::size_t(1));
    // The action set ran once (a campaign sequence takes a contact once, however asked).
    int runs = 0;
    for (const sandbox::LoggedCall& logged : w.crm.calls())
        runs += IsCallOf(logged, "ContactService.runActionSequence") && CarriedOut(logged);
    if (TestsUseRestV2())
        QVERIFY(runs >= 1);
    else
        QCOMPARE(runs, 1);
}

// A call that takes 2 s: the window repaints and says which step runs meanwhile, and
// its timers keep running (a walk call over the bus is served the same way); Escape
// then stops the commit after that call.
void TestSaveQuoteCommitFaults::theWindowAnswersWhileACallIsSlow() {
    SaveQuoteWorld w(*m_crm);
    NewCustomerQuote(w, QStringLiteral("Q7999"), QStringLiteral("slow@faults.example"));
    QVERIFY(w.show(1, [&] {
        ChooseEverything(w);
        FailNext(w.crm, sandbox::FaultOptions{.mode = "delay", .count = 1, .delayMs = 2000},
                 "DataService.add", "Lead");
        QElapsedTimer clock, sinceTick;
        qint64 longestGap = 0;
        QStringList shown;
        QTimer ticks;
        ticks.setInterval(10);
        bool wasInCall = false;
        connect(&ticks, &QTimer::timeout, [&] {
            const QString running = w.child<QLabel>("lblStep")->text();
            // The gaps while a call runs (the steps' own work between calls not counted).
            const qint64 gap = sinceTick.restart();
            if (std::exchange(wasInCall, CrmCallRunning()) && wasInCall)
                longestGap = std::max(longestGap, gap);
            if (!running.isEmpty() && !shown.contains(running))
                shown << running;
            w.window->repaint();
        });
        clock.start();
        sinceTick.start();
        ticks.start();
        w.ok();
        ticks.stop();
        QVERIFY(clock.elapsed() >= 2000);
        QVERIFY2(longestGap < 100, qPrintable(QString::number(longestGap)));
        // Only the slow step is sure to be seen: a quick one may fall between two ticks.
        QVERIFY(shown.contains(QStringLiteral("Saving the opportunity...")));
    }));

    // Escape while the slow call runs: the call finishes, nothing after it runs, the
    // window closes.
    NewCustomerQuote(w, QStringLiteral("Q7998"), QStringLiteral("cancel@faults.example"));
    QVERIFY(w.show(1, [&] {
        ChooseEverything(w);
        FailNext(w.crm, sandbox::FaultOptions{.mode = "delay", .count = 1, .delayMs = 1000},
                 "DataService.add", "Lead");
        QTimer escape;
        escape.setInterval(10);
        connect(&escape, &QTimer::timeout, [&] {
            if (w.child<QLabel>("lblStep")->text() == QStringLiteral("Saving the opportunity...")) {
                escape.stop();
                QTest::keyClick(w.window, Qt::Key_Escape);
            }
        });
        escape.start();
        w.ok();
        QVERIFY(!escape.isActive());
        QVERIFY(!w.window->isVisible());
    }));
    const auto contacts = Records("Contact", {{"Email", "cancel@faults.example"}}, {"Id"});
    QCOMPARE(contacts.size(), std::size_t(1));
    const std::string id = contacts.front().at("Id");
    QCOMPARE(Records("Lead", {{"ContactID", id}}, {"Id"}).size(), std::size_t(1));
    QCOMPARE(Records("ContactAction", {{"ContactId", id}}, {"Id"}).size(), std::size_t(0));
}

QTEST_MAIN(TestSaveQuoteCommitFaults)
#include "tst_SaveQuoteCommitFaults.moc"
