// The opportunities window against the CRM sandbox over HTTPS, opened from the Save Quote
// window through its door, with the sample quote in a fake host: New from Quote, Update
// from Quote with the notes asked for (not repeated), Move to Stage; the Save Quote window
// then lists what was written.

#include "OpportunitiesTestSupport.h"
#include "SaveQuoteTestSupport.h"
#include "pellwick/opportunities/OpportunitiesWindow.h"
#include "pellwick/savequote/frmSaveQuote.h"

#include <QCheckBox>

using namespace pellwick;
using namespace pellwick::testing;
using namespace opportunities_testing;
using namespace savequote_testing;

class TestFrmOpportunitiesCrm : public QObject {
    Q_OBJECT
private slots:
    void newUpdateAndMoveReachTheCrm();
};

void TestFrmOpportunitiesCrm::newUpdateAndMoveReachTheCrm() {
    sandbox::SandboxProcess crm = StartCrm();
    CoreTestScope scope;
    std::shared_ptr<FakeQuoteWerksApp> host = scope.attachFakeHost();
    LoadSampleQuote(*host);
    QVERIFY(ConnectTo(crm, scope));
    QWidget mainWindow;
    InstallOpportunitiesWindow(&mainWindow);
    InstallSaveQuoteWindow(&mainWindow);
    crm.clearLog();

    QStringList seen;
    WhenWindowOpens(
        QStringLiteral("frmOpportunities"),
        [&](QWidget* w) {
            seen << Summary(w);
            Button(w, "cmdNew")->click();
            seen << Summary(w);
            host->setField(QStringLiteral("GrandTotal"), 13000.25);
            w->findChild<QCheckBox*>(QStringLiteral("chkAppendNotes"))->setChecked(true);
            Button(w, "cmdUpdate")->click();
            Pick(w, "cboStage", 1);
            Button(w, "cmdMove")->click();
            seen << Summary(w);
            w->close();
        },
        20000);
    QStringList saveQuoteLists;
    WhenWindowOpens(
        QStringLiteral("frmSaveQuote"),
        [&](QWidget* w) {
            Button(w, "cmdOpportunities")->click();
            auto* list = w->findChild<QComboBox*>(QStringLiteral("cboOpportunity"));
            saveQuoteLists << Entries(list).join('|') << list->currentText();
            static_cast<QDialog*>(w)->reject();
        },
        20000);
    State().Windows.ShowSaveQuote(0);
    QCOMPARE(&OpportunitiesWindow(), mainWindow.findChild<frmOpportunities*>());

    QCOMPARE(seen.size(), 3);
    QCOMPARE(seen[0].section('|', 1), QStringLiteral("Marion Okafor - "
                                                     "marion.okafor@harbourlane.example - (51)||"
                                                     "No Opportunities|New Lead|new find"));
    const QString made = seen[1].section('|', 2, 2);
    QVERIFY2(made.endsWith('*'), qPrintable(seen[1]));
    QCOMPARE(seen[2].section('|', 2), made + QStringLiteral("|1 Opportunity|Qualified|new update "
                                                            "open find"));

    const std::vector<Record> leads =
        Records("Lead", {{"ContactID", "51"}},
                {"Id", "OpportunityTitle", "OpportunityNotes", "StageID", "ProjectedRevenueLow",
                 "ProjectedRevenueHigh"});
    QCOMPARE(leads.size(), size_t(1));
    const Record& lead = leads.front();
    QCOMPARE(QString::fromStdString(lead.at("Id")) + '*', made);
    QCOMPARE(lead.at("OpportunityTitle"), std::string("Office network refresh <Q1001>"));
    QCOMPARE(lead.at("ProjectedRevenueLow"), std::string("13000.25"));
    QCOMPARE(lead.at("ProjectedRevenueHigh"), std::string("13000.25"));
    QCOMPARE(lead.at("StageID"), std::string("2"));
    const QString notes = QString::fromStdString(lead.at("OpportunityNotes"));
    QVERIFY2(notes.startsWith(QStringLiteral("Introduction Notes:")) &&
                 notes.count(QStringLiteral("Internal Notes:")) == 1,
             qPrintable(notes));
    // The Save Quote window lists it and keeps its own choice.
    QCOMPARE(saveQuoteLists,
             (QStringList{"|(New Opportunity)|Office network refresh <Q1001> (Qualified) - (" +
                              made.chopped(1) + ')',
                          "(New Opportunity)"}));
    QCOMPARE(Calls(crm, "DataService.add", "Lead"), 1);
    QCOMPARE(Calls(crm, "DataService.update", "Lead"), 2);
    QVERIFY2(scope.boxes->boxes().empty(), qPrintable(scope.boxes->texts().join('|')));
}

QTEST_MAIN(TestFrmOpportunitiesCrm)
#include "tst_frmOpportunitiesCrm.moc"
