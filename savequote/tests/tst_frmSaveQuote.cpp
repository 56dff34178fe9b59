// The Save Quote window, offscreen, on a fake host and a CRM sandbox of its own per
// test: what ShowForm gathers and preselects, and what OK and Cancel write.

#include "SaveQuoteWindowWorld.h"
#include "pellwick/savequote/SaveQuoteRules.h"

#include <QAccessible>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTest>

using namespace pellwick;
using namespace pellwick::testing;
using namespace savequote_testing;
using sandbox::IsCallOf;

namespace {

const QString kMarion = QStringLiteral("Marion Okafor - marion.okafor@harbourlane.example - (51)");

bool Rest() {
    return TestsUseRestV2();
}
// The blank entry and the sandbox's six action sets, or its five published sequences.
const int kActionSetEntries = Rest() ? 6 : 7;

// One test's world with a demo CRM of its own.
struct OwnCrm {
    sandbox::SandboxProcess ownCrm = StartCrm();
};
struct World : OwnCrm, SaveQuoteWorld {
    World() : SaveQuoteWorld(ownCrm) {}
};

void WriteFile(const QString& path, const QByteArray& bytes) {
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Append) &&
            file.write(bytes) == bytes.size());
}

// Counts the times a window was raised while on screen.
struct RaisedWhileShown : QObject {
    int times = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        times +=
            event->type() == QEvent::ZOrderChange && static_cast<QWidget*>(watched)->isVisible();
        return false;
    }
};

} // namespace

class TestFrmSaveQuote : public QObject {
    Q_OBJECT
private slots:
    void firstShowingOffersTheDefaultsAndCancelWritesNothing();
    void quoteWithoutContactInformationAsksForAContact();
    void failedStepsStopAndOkAgainDoesNotRepeatWhatWasDone();
    void everyShowingStartsCleanAndPreselectsByThirtyTwoBits();
    void okChecksTheOpenQuoteAndItsFileNames();
    void refusedChoicesAreSaidOnce();
    void opportunitiesOfEveryPageNewestFirst();
    void noteRevenueAndNotesRules();
    void collectionsReadPartWayAreReadAgain();
    void aFailedLookUpIsNotNoneFound();
    void wildcardsInTheQuoteFindOnlyEqualText();
};

void TestFrmSaveQuote::firstShowingOffersTheDefaultsAndCancelWritesNothing() {
    World w;
    w.host->setField(QStringLiteral("DocName"), QStringLiteral("<b>Office</b>"));
    RaisedWhileShown raised;
    w.window->installEventFilter(&raised);
    QVERIFY(w.show(0, [&] {
        QTRY_COMPARE(raised.times, 1); // brought to the front once on screen
        auto* caption = w.child<QLabel>("lblQuoteDocNo");
        QCOMPARE(caption->text(), QStringLiteral("<b>Office</b> <Q1001>"));
        QCOMPARE(caption->textFormat(), Qt::PlainText);
        // A screen reader reads the caption itself.
        QCOMPARE(QAccessible::queryAccessibleInterface(caption)->text(QAccessible::Name),
                 caption->text());
        QCOMPARE(w.window->windowTitle(), QStringLiteral("Pellwick - Save Quote"));
        for (const char* name :
             {"chkAddQuoteDocNo", "chkUploadQuoteFile", "chkOpenContactRecord", "chkAddNotes",
              "chkUpdateProjectedRevenue", "chkOpenOpportunityRecord"})
            QVERIFY2(w.box(name)->isChecked() && w.box(name)->isVisible(), name);
        QVERIFY(!w.box("chkUploadQuotePDF")->isChecked());
        QVERIFY(!w.box("chkUploadQuotePDF")->isEnabled());

        QCOMPARE(Entries(w.list("cboContact")), QStringList{kMarion});
        QCOMPARE(w.child<QLabel>("imgContact")->property("picture").toString(),
                 QStringLiteral("imgOK"));
        QCOMPARE(w.child<QLabel>("imgContact")->toolTip(),
                 QStringLiteral("Contact option selected is okay."));
        QCOMPARE(w.list("cboOpportunity")->currentText(), QStringLiteral("(New Opportunity)"));
        // REST v2 lists the CRM's campaign sequences in the action sets' place.
        QCOMPARE(w.list("cboActionSet")->currentIndex(), -1);
        QCOMPARE(w.list("cboActionSet")->count(), kActionSetEntries);
        QCOMPARE(w.list("cboActionSet")->itemText(3),
                 Rest() ? QStringLiteral("Customer Onboarding - Welcome pack - (3)")
                        : QStringLiteral("(Blank) - (3)"));
        QCOMPARE(w.child<QGroupBox>("fraActionSet")->title(),
                 savequote::ActionSetFrameName(Rest()));
        QCOMPARE(w.list("cboActionSet")->accessibleName(), savequote::ActionSetFrameName(Rest()));
        QCOMPARE(w.child<QLabel>("imgActionSet")->toolTip(),
                 QStringLiteral("No %1 option was selected.")
                     .arg(savequote::ActionSetFrameName(Rest())));
        QVERIFY(!w.child("cmdViewActionSet")->isEnabled());
        for (QWidget* control : w.window->findChildren<QWidget*>())
            if (control->focusPolicy() != Qt::NoFocus && control->isVisible())
                QVERIFY2(!control->accessibleName().isEmpty() ||
                             !control->property("text").toString().isEmpty(),
                         qPrintable(control->objectName()));
        // Tab goes down the frames, then OK and Cancel, and the step list once shown.
        const QStringList tabOrder = {"cboContact",
                                      "cmdViewContact",
                                      "chkAddQuoteDocNo",
                                      "chkUploadQuoteFile",
                                      "chkUploadQuotePDF",
                                      "chkOpenContactRecord",
                                      "cboOpportunity",
                                      "cmdViewOpportunity",
                                      "cmdOpportunities",
                                      "chkAddNotes",
                                      "chkUpdateProjectedRevenue",
                                      "chkOpenOpportunityRecord",
                                      "cboActionSet",
                                      "cmdViewActionSet",
                                      "cmdOK",
                                      "cmdCancel",
                                      "lstSteps"};
        QStringList chain;
        QWidget* next = w.child<QWidget>("cboContact");
        for (int step = 0; step < 100 && chain.size() < tabOrder.size(); ++step) {
            if (next->focusPolicy() & Qt::TabFocus)
                chain << next->objectName();
            next = next->nextInFocusChain();
        }
        QCOMPARE(chain, tabOrder);

        w.child<QPushButton>("cmdViewContact")->click();
        QCOMPARE(w.scope.shell->opened().size(), size_t(1));
        QVERIFY(w.scope.shell->opened()[0].toString().endsWith(
            QStringLiteral("/Contact/manageContact.jsp?view=edit&ID=51")));
        QTest::keyClick(w.window, Qt::Key_Escape);
        QVERIFY(!w.window->isVisible());
    }));
    QCOMPARE(Calls(w.crm, "DataService.add") + Calls(w.crm, "DataService.update") +
                 Calls(w.crm, "ContactService.add"),
             0);
    QVERIFY(
        !QSettings(w.scope.settingsFile(), QSettings::IniFormat).contains(setting::AddQuoteDocNo));
    QCOMPARE(w.scope.mainWindow.minimized, 0);
    QVERIFY(DebugLog(w.scope).contains(QStringLiteral("frmSaveQuote - ShowForm - Finished")));
}

void TestFrmSaveQuote::quoteWithoutContactInformationAsksForAContact() {
    World w;
    for (const char* section : {"SoldTo", "ShipTo", "BillTo"})
        w.clearSection(QString::fromLatin1(section));
    int asked = 0;
    State().Windows.ShowContacts = [&](std::int16_t type, std::int16_t source) {
        ++asked;
        return type == -1 && source == -1 ? 0 : -99;
    };
    w.window->ShowForm(0); // never shown: nobody was chosen
    QCOMPARE(asked, 1);
    QCOMPARE(w.scope.boxes->texts(),
             QStringList({"No contact information was found in QuoteWerks.\r\nYou need to select "
                          "a contact from Infusionsoft.",
                          "No contact was selected, the Save Quote window will now exit."}));
    QCOMPARE(w.scope.boxes->boxes()[0].icon, MsgIcon::Exclamation);
    QCOMPARE(w.scope.boxes->boxes()[1].icon, MsgIcon::Information);
    QVERIFY(!DebugLog(w.scope).contains(QStringLiteral("ShowForm - Finished")));

    State().Windows.ShowContacts = [](std::int16_t, std::int16_t) { return 51; };
    QVERIFY(w.show(0, [&] {
        QCOMPARE(Entries(w.list("cboContact")), QStringList{kMarion});
        QCOMPARE(Entries(w.list("cboOpportunity")), QStringList({"", "(New Opportunity)"}));
    }));
    QCOMPARE(w.host->field(QStringLiteral("SoldToContact")).toString(),
             QStringLiteral("Marion Okafor"));
}

void TestFrmSaveQuote::failedStepsStopAndOkAgainDoesNotRepeatWhatWasDone() {
    World w;
    w.clearSection(QStringLiteral("SoldTo"));
    w.clearSection(QStringLiteral("BillTo"));
    QVERIFY(w.show(0, [&] {
        QCOMPARE(Entries(w.list("cboContact")), QStringList{"(New Contact - Use 'Ship To')"});
        QVERIFY(!w.child("cmdViewContact")->isEnabled());
        QCOMPARE(Entries(w.list("cboOpportunity")), QStringList({"", "(New Opportunity)"}));
        PickValue(w.list("cboActionSet"), 1);

        // The CRM answers the new contact's creation with an error, which may have come
        // after making it: nothing else is sent, the window stays and says so.
        w.crm.clearLog();
        FailNext(w.crm, "http500", "ContactService.add");
        w.ok();
        QVERIFY(w.window->isVisible());
        QCOMPARE(w.scope.boxes->boxes().size(), std::size_t(1)); // the library's
        QVERIFY(IsCallOf(w.crm.calls().back(), "ContactService.add"));
        QVERIFY2(w.steps().value(0).startsWith(QStringLiteral("Contact: uncertain")),
                 qPrintable(w.steps().join('|')));
        QVERIFY(w.steps().value(1).endsWith(QStringLiteral(": not run")));
        QVERIFY(w.child<QPushButton>("cmdOK")->isEnabled());

        // Looked up (not made), created, the action set run, then the host fails: stop again.
        w.host->setFieldFailing(QStringLiteral("GrandTotal"), true);
        w.ok();
        QVERIFY(w.window->isVisible());
        QVERIFY(w.lastBox().contains(QStringLiteral("Error Section: cmdOK_Click")));
        QCOMPARE(w.list("cboContact")->currentText(),
                 QStringLiteral("Teo Brandt - teo.brandt@harbourlane.example - (52)"));

        // The opportunity added, then the host does not give the quote's name for the note:
        // stop once more.
        w.host->setFieldFailing(QStringLiteral("GrandTotal"), false);
        w.host->setFieldFailing(QStringLiteral("DocName"), true);
        w.ok();
        QVERIFY(w.window->isVisible());
        QVERIFY(w.lastBox().contains(QStringLiteral("Error Section: cmdOK_Click")));

        w.host->setFieldFailing(QStringLiteral("DocName"), false);
        w.ok();
        QVERIFY(!w.window->isVisible());
    }));
    QCOMPARE(Calls(w.crm, "ContactService.add"), 2); // the failed one and one contact
    QCOMPARE(Calls(w.crm, "ContactService.runActionSequence"), 1);
    // The opportunity made before the last stop is neither made nor written again.
    QCOMPARE(Calls(w.crm, "DataService.add", "Lead"), 1);
    QCOMPARE(Calls(w.crm, "DataService.update", "Lead"), 0);
    QCOMPARE(Records("Lead", {{"ContactID", "52"}}, {"OpportunityTitle"}).size(), size_t(1));
    QCOMPARE(Records("ContactAction", {{"ContactId", "52"}}, {"Id"}).size(), size_t(1));
    QCOMPARE(w.scope.mainWindow.minimized, 1);
    // The quote file was never saved: said once, at the end.
    QCOMPARE(w.lastBox(), QStringLiteral("These files were not uploaded into the Infusionsoft "
                                         "Contact Record:\r\n") +
                              QDir(w.scope.folder()).filePath(QStringLiteral("DTF/Q1001.dtf")));
    QCOMPARE(w.scope.boxes->boxes().back().icon, MsgIcon::Exclamation);
}

void TestFrmSaveQuote::everyShowingStartsCleanAndPreselectsByThirtyTwoBits() {
    World w;
    auto& data = *State().InfusionsoftConnection->DataService();
    tessary::RpcStruct noStage, goneStage;
    noStage.AddInteger("ContactID", 51);
    noStage.AddString("OpportunityTitle", "No stage");
    goneStage.AddInteger("ContactID", 51);
    goneStage.AddString("OpportunityTitle", "Gone stage");
    goneStage.AddInteger("StageID", 999);
    // (REST v2 gives every opportunity a stage, one the CRM has.)
    QCOMPARE(data.Add("Lead", noStage), 7);
    if (!Rest())
        QCOMPARE(data.Add("Lead", goneStage), 8);
    w.scope.store(setting::DropDownOpportunity, QStringLiteral("40000"));
    w.scope.store(setting::DropDownActionSet, QStringLiteral("2"));

    QVERIFY(w.show(0, [&] {
        const QStringList opportunities =
            Rest() ? QStringList({"", "(New Opportunity)", "No stage (New Lead) - (7)"})
                   : QStringList({"", "(New Opportunity)", "Gone stage - (8)", "No stage - (7)"});
        QCOMPARE(Entries(w.list("cboOpportunity")), opportunities);
        QCOMPARE(w.list("cboOpportunity")->currentIndex(), -1); // 40000 is no "new"
        QCOMPARE(w.list("cboActionSet")->currentText(),
                 Rest() ? QStringLiteral("Quote Nurture - Second reminder - (2)")
                        : QStringLiteral("New Customer Welcome - (2)"));
        QVERIFY(w.scope.boxes->boxes().empty());

        // Another save while the window is open: noted, nothing refilled.
        w.window->ShowForm(1);
        QVERIFY(DebugLog(w.scope).contains(
            QStringLiteral("frmSaveQuote - ShowForm - The window is already open, Params: "
                           "p_enmLayout = 1")));
        QCOMPARE(w.list("cboOpportunity")->count(), opportunities.size());
        QVERIFY(w.window->isVisible());
    }));

    w.host->setField(QStringLiteral("DocNo"), QStringLiteral("Q2002"));
    w.host->setField(QStringLiteral("DocName"), QStringLiteral("Second"));
    w.host->setField(QStringLiteral("SoldToEmail"),
                     QStringLiteral("alice.morgan@brightwater.example"));
    w.host->setField(QStringLiteral("ShipToEmail"), QString());
    w.host->setField(QStringLiteral("BillToEmail"), QString());
    w.scope.store(setting::DropDownOpportunity, QStringLiteral("-2"));
    w.scope.store(setting::AddQuoteDocNo, QStringLiteral("0"));
    QVERIFY(w.show(1, [&] {
        QCOMPARE(w.child<QLabel>("lblQuoteDocNo")->text(), QStringLiteral("Second <Q2002>"));
        QCOMPARE(Entries(w.list("cboContact")),
                 QStringList{"Alice Morgan - alice.morgan@brightwater.example - (1)"});
        QCOMPARE(Entries(w.list("cboOpportunity")),
                 QStringList({"", "(New Opportunity)", "Annual maintenance (New Lead) - (2)",
                              "Office plumbing refit (Quote Sent) - (1)"}));
        QCOMPARE(w.list("cboOpportunity")->currentIndex(), 0);
        QCOMPARE(w.list("cboActionSet")->count(), kActionSetEntries);
        QVERIFY(!w.box("chkAddQuoteDocNo")->isChecked());
        QVERIFY(w.box("chkUploadQuotePDF")->isEnabled() && w.box("chkUploadQuotePDF")->isChecked());
        QVERIFY(!w.box("chkAddNotes")->isVisible()); // the blank entry: no opportunity options
    }));
}

void TestFrmSaveQuote::okChecksTheOpenQuoteAndItsFileNames() {
    World w;
    const QDir folder(w.scope.folder());
    const QString pdf = folder.filePath(QStringLiteral("history/email/Q1001.pdf"));
    const QString dtf = folder.filePath(QStringLiteral("DTF/Q1001.dtf"));
    WriteFile(pdf, "%PDF-1.4\n");
    const QString changed = QStringLiteral("The quote shown in the Save Quote window is no longer "
                                           "open in QuoteWerks.\r\nNothing was saved into "
                                           "Infusionsoft.");
    const QString notUploaded =
        QStringLiteral("These files were not uploaded into the Infusionsoft Contact Record:\r\n");
    QVERIFY(w.show(1, [&] {
        w.crm.clearLog();
        w.host->setField(QStringLiteral("DocNo"), QStringLiteral("Q9999"));
        w.ok();
        QCOMPARE(w.scope.boxes->texts(), QStringList{changed});
        w.host->setField(QStringLiteral("DocNo"), QStringLiteral("Q1001"));
        w.host->setDocumentOpen(false);
        w.ok();
        QCOMPARE(w.lastBox(), changed);
        QVERIFY(w.window->isVisible());
        QVERIFY(w.crm.calls().empty());
        w.host->setDocumentOpen(true);
        w.ok();
        QVERIFY(!w.window->isVisible());
    }));
    QCOMPARE(w.lastBox(), notUploaded + dtf);
    QCOMPARE(Records("FileBox", {{"ContactId", "51"}}, {"FileName"}),
             (std::vector<Record>{{{"FileName", "Q1001.pdf"}}}));

    // The quote file is a link to a file outside the host's folders: never followed. The
    // PDF's upload call itself fails: named too.
    WriteFile(folder.filePath(QStringLiteral("outside.txt")), "not a quote\n");
    QVERIFY(folder.mkpath(QStringLiteral("DTF")));
    QVERIFY(QFile::link(folder.filePath(QStringLiteral("outside.txt")), dtf));
    WriteFile(pdf, "%PDF-1.4 changed\n");
    w.crm.clearLog();
    FailNext(w.crm, "http500", "FileService.replaceFile");
    QVERIFY(w.show(1, [&] {
        w.ok();
        QVERIFY(w.window->isVisible());
        QVERIFY2(w.steps().contains(QStringLiteral(
                     "PDF Q1001.pdf: uncertain, it may have been done: The server answered "
                     "with HTTP status 500")),
                 qPrintable(w.steps().join('|')));
        w.ok();
    }));
    QCOMPARE(w.lastBox(), notUploaded + dtf);
    QCOMPARE(Calls(w.crm, "DataService.query", "FileBox"), 2); // the PDF's, once per OK
    QCOMPARE(Records("FileBox", {{"ContactId", "51"}}, {"FileSize"}),
             (std::vector<Record>{{{"FileSize", "26"}}}));

    // A quote number that is no plain file name never names a file, not even one there.
    WriteFile(folder.filePath(QStringLiteral("DTF/Q1002.dtf")), "quote 1002\n");
    w.host->setField(QStringLiteral("DocNo"), QStringLiteral("../DTF/Q1002"));
    w.crm.clearLog();
    QVERIFY(w.show(0, [&] { w.ok(); }));
    QCOMPARE(Calls(w.crm, "DataService.query", "FileBox") + Calls(w.crm, "FileService.uploadFile"),
             0);
    QVERIFY(DebugLog(w.scope).contains(
        QStringLiteral("frmSaveQuote - cmdOK_Click - The quote number is not a plain file name, "
                       "not uploaded: ")));
    QVERIFY(w.lastBox().endsWith(QStringLiteral("/DTF/../DTF/Q1002.dtf")));
}

void TestFrmSaveQuote::refusedChoicesAreSaidOnce() {
    World w;
    WriteFile(w.scope.settingsFile(), "; kept by hand\n");
    QFile store(w.scope.settingsFile());
    QVERIFY(store.open(QIODevice::ReadOnly));
    const QByteArray before = store.readAll();
    const auto line = before.count('\n');
    QVERIFY(w.show(0, [&] {
        w.box("chkUploadQuoteFile")->setChecked(false); // no file to name in a box
        w.ok();
        QVERIFY(!w.window->isVisible());
    }));
    QCOMPARE(w.scope.boxes->texts(),
             QStringList{QStringLiteral("The choices made in this window could not be remembered "
                                        "for the next time.\r\nNothing was written to the "
                                        "settings file %1: writing would lose or change its "
                                        "line %2:\r\n; kept by hand")
                             .arg(w.scope.settingsFile())
                             .arg(line)});
    store.seek(0);
    QCOMPARE(store.readAll(), before);
}

void TestFrmSaveQuote::opportunitiesOfEveryPageNewestFirst() {
    World w;
    auto& data = *State().InfusionsoftConnection->DataService();
    tessary::RpcStruct lead;
    lead.AddInteger("ContactID", 51);
    lead.AddString("OpportunityTitle", "Older");
    for (int i = 0; i < 1000; ++i)
        QVERIFY(data.Add("Lead", lead) > 0);
    tessary::RpcStruct newest;
    newest.AddInteger("ContactID", 51);
    newest.AddString("OpportunityTitle", "Newest");
    const std::int32_t id = data.Add("Lead", newest);
    w.crm.clearLog();
    QVERIFY(w.show(0, [&] {
        QCOMPARE(w.list("cboOpportunity")->count(), 2 + 1001);
        QCOMPARE(
            w.list("cboOpportunity")->itemText(2),
            QString::fromLatin1(Rest() ? "Newest (New Lead) - (%1)" : "Newest - (%1)").arg(id));
    }));
    QCOMPARE(Calls(w.crm, "DataService.query", "Lead"), 2);
}

void TestFrmSaveQuote::noteRevenueAndNotesRules() {
    World w;
    // Contact 1 has a note about quote 1001; this is quote 100, with no total to speak of.
    w.host->setField(QStringLiteral("SoldToEmail"),
                     QStringLiteral("alice.morgan@brightwater.example"));
    w.host->setField(QStringLiteral("ShipToEmail"), QString());
    w.host->setField(QStringLiteral("BillToEmail"), QString());
    w.host->setField(QStringLiteral("DocName"), QStringLiteral("Office plumbing refit"));
    w.host->setField(QStringLiteral("DocNo"), QStringLiteral("100"));
    w.host->setField(QStringLiteral("GrandTotal"), QStringLiteral("n/a"));
    QVERIFY(w.show(0, [&] { w.ok(); }));
    const auto notes = [] {
        QStringList descriptions;
        for (const Record& note :
             Records("ContactAction", {{"ContactId", "1"}}, {"ActionDescription"}))
            descriptions << QString::fromStdString(note.at("ActionDescription"));
        return descriptions;
    };
    QCOMPARE(notes(), QStringList({"Office plumbing refit <1001>", "Office plumbing refit <100>"}));
    const std::vector<Record> created =
        Records("Lead", {{"Id", "7"}},
                {"ContactID", "OpportunityTitle", "ProjectedRevenueHigh", "OpportunityNotes"});
    QCOMPARE(created.size(), size_t(1));
    QCOMPARE(created[0].at("OpportunityTitle"), std::string("Alice Morgan"));
    QVERIFY(!created[0].count("ProjectedRevenueHigh"));
    QVERIFY(DebugLog(w.scope).contains(QStringLiteral("The Quote Total is not a number")));

    // The same quote again on the opportunity just made, without notes: the revenue
    // still changes; the note is not repeated.
    w.host->setField(QStringLiteral("GrandTotal"), 250);
    QVERIFY(w.show(0, [&] {
        PickValue(w.list("cboOpportunity"), 7);
        w.box("chkAddNotes")->setChecked(false);
        w.ok();
    }));
    const Record updated =
        Records("Lead", {{"Id", "7"}},
                {"ProjectedRevenueHigh", "ProjectedRevenueLow", "OpportunityNotes"})
            .at(0);
    QCOMPARE(updated.at("ProjectedRevenueHigh"), std::string("250"));
    QCOMPARE(updated.at("ProjectedRevenueLow"), std::string("250"));
    QCOMPARE(updated.at("OpportunityNotes"), created[0].at("OpportunityNotes"));
    QCOMPARE(notes().size(), 2);
    QCOMPARE(Calls(w.crm, "DataService.add", "Lead"), 1);
}

void TestFrmSaveQuote::collectionsReadPartWayAreReadAgain() {
    World w;
    w.crm.setFault("http500", 1); // the first call: the stages
    QVERIFY(w.show(0, [&] {
        QVERIFY(!State().g_colStages);
        QVERIFY(State().g_colActionSets);
    }));
    QVERIFY(w.show(0, [] {}));
    QVERIFY(w.show(0, [] {}));
    QCOMPARE(Calls(w.crm, "DataService.query", "Stage"), 2);
    QCOMPARE(Calls(w.crm, "DataService.query", "ActionSequence"), 1);
    QVERIFY(State().g_colStages);
}

void TestFrmSaveQuote::aFailedLookUpIsNotNoneFound() {
    World w;
    const auto saysIncomplete = [&] {
        QCOMPARE(w.list("cboContact")->currentText(), QString()); // never a new contact
        QVERIFY(w.child<QLabel>("lblContactsIncomplete")->isVisible());
        QVERIFY(!w.child("cmdOK")->isEnabled());
        PickValue(w.list("cboContact"), -1);
        QVERIFY(w.child("cmdOK")->isEnabled());
    };
    // The contact look-up refused: its box, once.
    FailNext(w.crm, "fault", "DataService.query", "Contact");
    QVERIFY(w.show(0, saysIncomplete));
    QCOMPARE(w.scope.boxes->boxes().size(), std::size_t(1));

    // The CRM out of reach: its first call ends the gathering, with one box.
    w.scope.boxes->clear();
    w.crm.clearLog();
    w.crm.setFault("drop");
    QVERIFY(w.show(0, saysIncomplete));
    w.crm.clearFault();
    QCOMPARE(w.crm.calls().size(), std::size_t(1));
    QCOMPARE(w.scope.boxes->boxes().size(), std::size_t(1));
}

void TestFrmSaveQuote::wildcardsInTheQuoteFindOnlyEqualText() {
    World w;
    w.host->setField(QStringLiteral("SoldToEmail"), QStringLiteral("%@harbourlane.example"));
    w.host->setField(QStringLiteral("SoldToContact"), QStringLiteral("M% Okafor"));
    for (const char* section : {"ShipTo", "BillTo"})
        w.clearSection(QString::fromLatin1(section));
    QVERIFY(w.show(0, [&] {
        QCOMPARE(Entries(w.list("cboContact")), QStringList{"(New Contact - Use 'Sold To')"});
    }));
    QCOMPARE(Calls(w.crm, "DataService.query", "Contact"), 2); // found, and not listed
}

QTEST_MAIN(TestFrmSaveQuote)
#include "tst_frmSaveQuote.moc"
