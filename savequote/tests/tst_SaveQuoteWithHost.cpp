// The Save Quote window as the program composes it, against the host stand-in on the
// session bus and the CRM sandbox over HTTPS: the sample quote saved, then e-mailed.

#include "HostStandInProcess.h"
#include "SaveQuoteTestSupport.h"
#include "pellwick/host/DBusQuoteWerksApp.h"
#include "pellwick/savequote/frmSaveQuote.h"
#include "pellwick/testing/WindowTestSupport.h"

#include <QPushButton>
#include <QScopeGuard>
#include <QTest>

using namespace pellwick;
using namespace pellwick::testing;
using namespace savequote_testing;

class TestSaveQuoteWithHost : public QObject {
    Q_OBJECT
private slots:
    void sampleQuoteSavedThenEmailed();
};

void TestSaveQuoteWithHost::sampleQuoteSavedThenEmailed() {
    hoststandin::HostStandInProcess host;
    QString why;
    QVERIFY2(host.start(&why), qPrintable(why));
    sandbox::SandboxProcess crm = StartCrm();
    CoreTestScope scope;
    State().AttachHost = [] { return AttachToRunningQuoteWerks(); };
    QVERIFY(SetupQuoteWerksConnection());
    QVERIFY(ConnectTo(crm, scope));
    QWidget mainWindow;
    InstallSaveQuoteWindow(&mainWindow);
    QCOMPARE(host.save(), qint16(0)); // the host writes DTF/Q1001.dtf

    // One OK with the first-use defaults.
    bool closedByOk = false;
    WhenWindowOpens(QStringLiteral("frmSaveQuote"), [&](QWidget* window) {
        const auto closeAnyway = qScopeGuard([&] { window->close(); });
        QCOMPARE(window->parentWidget(), &mainWindow);
        window->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
        closedByOk = !window->isVisible();
    });
    State().Windows.ShowSaveQuote(0);
    QVERIFY(closedByOk);
    QVERIFY2(scope.boxes->boxes().empty(), qPrintable(scope.boxes->texts().join('|')));

    const std::vector<Record> leads =
        Records("Lead", {{"ContactID", "51"}},
                {"Id", "OpportunityTitle", "ProjectedRevenueHigh", "ProjectedRevenueLow",
                 "OpportunityNotes", "StageID"});
    QCOMPARE(leads.size(), size_t(1));
    const Record& lead = leads[0];
    QCOMPARE(lead.at("OpportunityTitle"), std::string("Marion Okafor"));
    QCOMPARE(lead.at("ProjectedRevenueHigh"), std::string("12480.5"));
    QCOMPARE(lead.at("ProjectedRevenueLow"), std::string("12480.5"));
    // XML-RPC adds an opportunity without a stage; REST v2 needs one and gives the
    // application's default (the sandbox's first stage).
    if (TestsUseRestV2())
        QCOMPARE(lead.at("StageID"), std::string("1"));
    else
        QVERIFY(!lead.count("StageID"));
    // As sent: an XML reader reads a CR LF in the answer as LF.
    QCOMPARE(SentText(crm, "DataService.add", "Lead", "OpportunityNotes"),
             QStringLiteral(
                 "Introduction Notes:\r\nThank you for the opportunity to quote on your office "
                 "network refresh.\r\n\r\nPurchasing Notes:\r\nSwitches ship from the distributor "
                 "within five working days.\r\n\r\nClosing Notes:\r\nPrices are valid for 30 "
                 "days.\r\n\r\nInternal Notes:\r\nMargin agreed with Dana; do not discount "
                 "further."));
    const std::vector<Record> note = {{{"ActionDescription", "Office network refresh <Q1001>"},
                                       {"CreationNotes", "Office network refresh <Q1001>"}}};
    QCOMPARE(
        Records("ContactAction", {{"ContactId", "51"}}, {"ActionDescription", "CreationNotes"}),
        note);
    QCOMPARE(Records("FileBox", {{"ContactId", "51"}}, {"FileName"}),
             (std::vector<Record>{{{"FileName", "Q1001.dtf"}}}));
    const std::vector<QUrl>& pages = scope.shell->opened();
    QCOMPARE(pages.size(), size_t(2));
    QVERIFY(
        pages[0].toString().endsWith(QStringLiteral("/Contact/manageContact.jsp?view=edit&ID=51")));
    QVERIFY(pages[1].toString().endsWith(
        QStringLiteral("/Opportunity/manageOpportunity.jsp?view=edit&ID=") +
        QString::fromStdString(lead.at("Id"))));
    QCOMPARE(scope.mainWindow.minimized, 1);
    QCOMPARE(ReadSetting(setting::DropDownOpportunity), QStringLiteral("-1"));

    // E-mailed: the PDF goes up too; the opportunity just made is listed (without a stage
    // on XML-RPC) and chosen; the note is not repeated.
    QVERIFY(!host.email().isEmpty());
    const QString created = QString::fromLatin1(TestsUseRestV2() ? "Marion Okafor (New Lead) - (%1)"
                                                                 : "Marion Okafor - (%1)")
                                .arg(QString::fromStdString(lead.at("Id")));
    closedByOk = false;
    WhenWindowOpens(QStringLiteral("frmSaveQuote"), [&](QWidget* window) {
        const auto closeAnyway = qScopeGuard([&] { window->close(); });
        auto* opportunities = window->findChild<QComboBox*>(QStringLiteral("cboOpportunity"));
        QCOMPARE(Entries(opportunities), QStringList({"", "(New Opportunity)", created}));
        Pick(opportunities, 2);
        window->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
        closedByOk = !window->isVisible();
    });
    State().Windows.ShowSaveQuote(1);
    QVERIFY(closedByOk);
    QVERIFY2(scope.boxes->boxes().empty(), qPrintable(scope.boxes->texts().join('|')));
    QCOMPARE(Records("FileBox", {{"ContactId", "51"}}, {"FileName"}),
             (std::vector<Record>{{{"FileName", "Q1001.dtf"}}, {{"FileName", "Q1001.pdf"}}}));
    QCOMPARE(
        Records("ContactAction", {{"ContactId", "51"}}, {"ActionDescription", "CreationNotes"}),
        note);
    QCOMPARE(Records("Lead", {{"ContactID", "51"}}, {"Id"}).size(), size_t(1));
    QCOMPARE(scope.mainWindow.minimized, 2);
    QCOMPARE(ReadSetting(setting::DropDownOpportunity), QString::fromStdString(lead.at("Id")));
    QCOMPARE(ReadSetting(setting::UploadQuotePDFFile), QStringLiteral("1"));
}

QTEST_MAIN(TestSaveQuoteWithHost)
#include "tst_SaveQuoteWithHost.moc"
