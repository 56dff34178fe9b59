// The opportunities window on the offscreen platform, on a fake host and a CRM in memory
// whose calls are recorded: whose opportunities it lists, the list, when each action can
// act, what the actions send (once, even clicked again while a call runs), failures,
// a second opening while open, and the keyboard and screen reader.

#include "OpportunitiesTestSupport.h"
#include "pellwick/ErrorReport.h"
#include "pellwick/clsStage.h"
#include "pellwick/modMain.h"
#include "pellwick/testing/CoreTestScope.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>
#include <map>
#include <tessary/RpcValue.h>

using namespace pellwick;
using namespace pellwick::testing;
using namespace opportunities_testing;

namespace {

constexpr int kMarion = 51, kTeo = 52;
const QString kQuoteNotes = QStringLiteral("Introduction Notes:\r\nThank you.\r\n\r\n");

std::shared_ptr<tessary::RpcStruct>
Struct(std::initializer_list<std::pair<const char*, tessary::RpcValue>> members) {
    auto record = std::make_shared<tessary::RpcStruct>();
    for (const auto& [name, value] : members)
        record->AddValue(name, value);
    return record;
}
tessary::RpcValue Int(std::int32_t v) {
    return tessary::RpcValue::Integer(v);
}
tessary::RpcValue Str(const char* v) {
    return tessary::RpcValue::String(v);
}

QString Text(const tessary::RpcStruct& record) {
    QStringList members;
    for (const auto& [name, value] : record.Members())
        members << QString::fromStdString(name + "=" + value.StringValue());
    return members.join(QLatin1Char(','));
}

// A CRM in memory: contacts and opportunities, every call recorded as one line.
struct MemoryCrm {
    std::vector<std::shared_ptr<tessary::RpcStruct>> contacts = {
        Struct({{"Id", Int(kMarion)},
                {"FirstName", Str("Marion")},
                {"LastName", Str("Okafor")},
                {"Email", Str("marion@harbour.example")}}),
        // Found by the wildcard in Ship To's address, but not that address.
        Struct({{"Id", Int(kTeo)},
                {"FirstName", Str("Teo")},
                {"LastName", Str("Brandt")},
                {"Email", Str("teo.xbrandt@harbour.example")}})};
    std::map<std::int32_t, std::shared_ptr<tessary::RpcStruct>> leads;
    std::int32_t nextId = 20;
    QStringList calls;
    std::function<void()> duringWrite;    // runs inside Add and Update, as a click would
    std::optional<std::int32_t> failWith; // what the next write answers instead

    MemoryCrm() {
        for (auto [id, contact, stage] :
             {std::tuple{7, kMarion, 2}, {12, kMarion, 99}, {3, kMarion, 1}, {5, kTeo, 1}})
            leads[id] = Struct({{"Id", Int(id)},
                                {"ContactID", Int(contact)},
                                {"OpportunityTitle", Str("Deal")},
                                {"StageID", Int(stage)},
                                {"OpportunityNotes", Str("Two floors.")}});
    }

    std::shared_ptr<tessary::RpcArray> query(const std::string& table,
                                             const tessary::RpcStruct& data) {
        calls << QStringLiteral("Query %1 %2").arg(QString::fromStdString(table), Text(data));
        auto found = std::make_shared<tessary::RpcArray>();
        const auto matches = [&](const tessary::RpcStruct& record) {
            for (const auto& [name, value] : data.Members())
                if (record.Item(name).StringValue() != value.StringValue() &&
                    !(name == "Email" &&
                      QString::fromStdString(record.Item(name).StringValue())
                          .startsWith(QString::fromStdString(value.StringValue()).left(5))))
                    return false;
            return true;
        };
        if (table == "Contact")
            for (const auto& contact : contacts)
                if (matches(*contact))
                    found->AddStruct(contact);
        if (table == "Lead")
            for (const auto& [id, lead] : leads)
                if (matches(*lead))
                    found->AddStruct(std::make_shared<tessary::RpcStruct>(*lead));
        return found;
    }
    std::optional<std::int32_t> write(const QString& line, std::int32_t id,
                                      const tessary::RpcStruct& values) {
        calls << line;
        if (duringWrite)
            duringWrite();
        if (failWith)
            return std::exchange(failWith, std::nullopt).value();
        auto& lead = leads[id];
        if (!lead)
            lead = Struct({{"Id", Int(id)}});
        for (const auto& [name, value] : values.Members())
            lead->AddValue(name, value);
        return id;
    }

    opportunities::OpportunityCalls calls_() {
        return {
            [this](const std::string& table, std::int32_t, const tessary::RpcStruct& data,
                   const tessary::RpcArray&) { return query(table, data); },
            [this](const std::string& table, const tessary::RpcStruct& values) {
                const std::int32_t id = nextId++;
                return write(QStringLiteral("Add %1 %2")
                                 .arg(QString::fromStdString(table), Text(values)),
                             id, values)
                    .value_or(0);
            },
            [this](const std::string& table, std::int32_t id, const tessary::RpcStruct& values) {
                return write(QStringLiteral("Update %1 %2 %3")
                                 .arg(QString::fromStdString(table))
                                 .arg(id)
                                 .arg(Text(values)),
                             id, values);
            }};
    }
};

// One test's world: a quote open in a fake host, three stages, the CRM in memory and the
// window, with the contact search door answering `searchAnswer`.
struct World {
    CoreTestScope scope;
    std::shared_ptr<FakeQuoteWerksApp> host = scope.attachFakeHost();
    MemoryCrm crm;
    frmOpportunities window{nullptr, crm.calls_()};
    std::int32_t searchAnswer = 0;
    int searches = 0;

    World() {
        for (const auto& [field, value] : {std::pair{"DocNo", "Q1001"},
                                           {"DocName", "Office network refresh"},
                                           {"GrandTotal", "12480.50"},
                                           {"IntroductionNotes", "Thank you."},
                                           {"SoldToEmail", "Marion@Harbour.example "},
                                           {"ShipToEmail", "teo.brandt@harbour.example"},
                                           {"BillToEmail", "marion@harbour.example"}})
            host->setField(QString::fromLatin1(field), QString::fromLatin1(value));
        auto stages = std::make_shared<StageCollection>();
        for (auto [id, name] : {std::pair{1, "New Lead"}, {2, "Qualified"}, {4, "Quote Sent"}})
            stages->Add(QString::number(id), std::make_shared<clsStage>(clsStage{id, name}));
        State().g_colStages = stages;
        State().Windows.ShowContacts = [this](std::int16_t type, std::int16_t source) {
            ++searches;
            return type == -1 && source == -1 ? searchAnswer : -99;
        };
        WriteInfusionsoftAppNameToRegistry(QStringLiteral("demo"));
    }
    QString show(std::int32_t contactId, const std::function<void(QWidget*)>& drive) {
        return ShowAndDrive(window, contactId, drive);
    }
};

} // namespace

class TestFrmOpportunities : public QObject {
    Q_OBJECT
private slots:
    void quoteContactsListedAndActionsEnabledByState();
    void writesSendTheirRecordOnceAndSelectTheChangedRow();
    void failedWritesKeepTheListAndQuoteChangesWriteNothing();
    void whoseOpportunitiesFollowsTheCaller();
    void keyboardAndScreenReader();
};

void TestFrmOpportunities::quoteContactsListedAndActionsEnabledByState() {
    World world;
    QStringList seen;
    const QString left = world.show(0, [&](QWidget* w) {
        seen << Summary(w);
        Select(w, 7);
        seen << Summary(w);
        Pick(w, "cboStage", 1); // "Qualified": where 7 already is
        seen << Summary(w);
        Button(w, "cmdInfusionsoft")->click();
        List(w)->sortByColumn(opportunities::ColStage, Qt::AscendingOrder);
        seen << Column(w, opportunities::ColStage);
        w->close();
    });
    QCOMPARE(left, QString());
    // Each address once; Teo's wildcard match is not Teo's address; Marion's listing.
    QCOMPARE(world.crm.calls, (QStringList{"Query Contact Email=marion@harbour.example",
                                           "Query Contact Email=teo.brandt@harbour.example",
                                           "Query Lead ContactID=51"}));
    QCOMPARE(seen[0], QStringLiteral("Quote: Office network refresh <Q1001>|Marion Okafor - "
                                     "marion@harbour.example - (51)|12,7,3|3 Opportunities|"
                                     "New Lead|new find"));
    QCOMPARE(seen[1].section('|', 2), QStringLiteral("12,7*,3|3 Opportunities|New Lead|"
                                                     "new update move open find"));
    QCOMPARE(seen[2].section('|', 4), QStringLiteral("Qualified|new update open find"));
    QCOMPARE(seen[3], QStringLiteral("(Stage 99),New Lead,Qualified"));
    QCOMPARE(world.scope.shell->opened().size(), size_t(1));
    QVERIFY(world.scope.shell->opened()[0].toString().endsWith(
        QStringLiteral("/Opportunity/manageOpportunity.jsp?view=edit&ID=7")));
    QVERIFY(world.scope.boxes->boxes().empty());
}

void TestFrmOpportunities::writesSendTheirRecordOnceAndSelectTheChangedRow() {
    World world;
    QStringList seen;
    world.show(kMarion, [&](QWidget* w) {
        // Second clicks while the call runs: queued by the window system (the call blocks
        // the event loop), at once, and through the handlers.
        world.crm.duringWrite = [&] {
            for (const char* name : {"cmdNew", "cmdUpdate", "cmdMove"}) {
                QPushButton* button = Button(w, name);
                const QPointF at = button->rect().center();
                for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                    QCoreApplication::postEvent(
                        button, new QMouseEvent(type, at, button->mapToGlobal(at), Qt::LeftButton,
                                                Qt::LeftButton, {}));
                QTest::mouseClick(button, Qt::LeftButton);
            }
            world.window.cmdNew_Click();
            world.window.cmdMove_Click();
        };
        Pick(w, "cboStage", 2);
        Button(w, "cmdNew")->click();
        QCoreApplication::processEvents(); // the event loop runs on
        seen << Summary(w);
        w->findChild<QCheckBox*>(QStringLiteral("chkAppendNotes"))->setChecked(true);
        Select(w, 7);
        Button(w, "cmdUpdate")->click(); // the notes appended
        Button(w, "cmdUpdate")->click(); // and not again
        world.host->setField(QStringLiteral("GrandTotal"), QStringLiteral("many"));
        Button(w, "cmdUpdate")->click(); // nothing left to write: said so
        Pick(w, "cboStage", 0);
        Button(w, "cmdMove")->click();
        seen << Summary(w);
        QTest::keyClick(w, Qt::Key_Escape);
    });
    const QString update7 =
        QStringLiteral("Update Lead 7 ContactID=51,ProjectedRevenueHigh=12480.5,"
                       "ProjectedRevenueLow=12480.5");
    QCOMPARE(world.crm.calls.filter(QRegularExpression("^(Add|Update)")),
             (QStringList{"Add Lead ContactID=51,ProjectedRevenueHigh=12480.5,"
                          "ProjectedRevenueLow=12480.5,OpportunityTitle=Office network refresh "
                          "<Q1001>,OpportunityNotes=" +
                              kQuoteNotes + ",StageID=4",
                          update7 + ",OpportunityNotes=Two floors.\r\n\r\n" + kQuoteNotes.trimmed(),
                          update7, "Update Lead 7 StageID=1"}));
    // After each write the list is read again and the changed row selected.
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen[0].section('|', 2),
             QStringLiteral("20*,12,7,3|4 Opportunities|Quote Sent|new update open find"));
    QCOMPARE(seen[1].section('|', 2),
             QStringLiteral("20,12,7*,3|4 Opportunities|New Lead|new update open find"));
    QCOMPARE(world.crm.leads[7]->Item("StageID").IntegerValue(), 1);
    QCOMPARE(world.scope.boxes->texts().size(), 1);
    QVERIFY(world.scope.boxes->texts()[0].startsWith(QStringLiteral("The quote has nothing")));
}

void TestFrmOpportunities::failedWritesKeepTheListAndQuoteChangesWriteNothing() {
    World world;
    world.show(kMarion, [&](QWidget* w) {
        Select(w, 7);
        const QStringList before = world.crm.calls;
        // The library has shown why (0, or none after its error report): no box of ours,
        // the list not read again and the row still selected.
        world.crm.failWith = 0;
        Button(w, "cmdMove")->click();
        world.crm.failWith = std::nullopt; // answers normally
        QCOMPARE(SelectedRow(w), 7);
        QCOMPARE(world.crm.calls.size(), before.size() + 1);
        world.crm.duringWrite = [] {
            throw ProgramError(errnum::RemoteServerUnavailable, QStringLiteral("CRM gone"));
        };
        Button(w, "cmdUpdate")->click();
        QCOMPARE(Summary(w).section('|', 2, 3), QStringLiteral("12,7*,3|3 Opportunities"));
        QVERIFY(Button(w, "cmdUpdate")->isEnabled()); // and it can be tried again
        world.crm.duringWrite = nullptr;

        // Another quote, or none, in the host: nothing from the quote is written.
        world.host->setField(QStringLiteral("DocNo"), QStringLiteral("Q1002"));
        Button(w, "cmdNew")->click();
        world.host->setDocumentOpen(false);
        Button(w, "cmdUpdate")->click();
        Button(w, "cmdMove")->click(); // the stage needs no quote
        w->close();
    });
    QCOMPARE(world.crm.calls.filter(QRegularExpression("^(Add|Update)")).size(), 3);
    const QStringList boxes = world.scope.boxes->texts();
    QCOMPARE(boxes.size(), 3);
    QVERIFY(boxes[0].contains(QStringLiteral("Error Section: cmdUpdate_Click\r\n")));
    QCOMPARE(boxes[1], QStringLiteral("The quote shown in the Opportunities window is no longer "
                                      "open in QuoteWerks.\r\nNothing was written into "
                                      "Infusionsoft."));
    QCOMPARE(boxes[2], boxes[1]);
}

void TestFrmOpportunities::whoseOpportunitiesFollowsTheCaller() {
    World world;
    // From the Save Quote window: its contact alone; Find... adds any other contact.
    QStringList seen;
    bool nestedReturned = false;
    world.searchAnswer = kTeo;
    world.show(kMarion, [&](QWidget* w) {
        seen << Summary(w);
        world.window.ShowForm(kTeo); // opened again while open: only raised
        nestedReturned = true;
        QVERIFY(QTest::qWaitForWindowActive(w)); // shortcuts need the active window
        QTest::keyClick(w, Qt::Key_F, Qt::AltModifier);
        QVERIFY(QTest::qWaitFor([&] { return world.searches == 1; }, 2000));
        seen << Summary(w);
        w->close();
    });
    QVERIFY(nestedReturned);
    QCOMPARE(world.crm.calls, (QStringList{"Query Contact Id=51", "Query Lead ContactID=51",
                                           "Query Contact Id=52", "Query Lead ContactID=52"}));
    QCOMPARE(seen[0].section('|', 1, 3), QStringLiteral("Marion Okafor - marion@harbour.example "
                                                        "- (51)|12,7,3|3 Opportunities"));
    QCOMPARE(seen[1].section('|', 1, 3),
             QStringLiteral("Teo Brandt - teo.xbrandt@harbour.example - (52)|5|1 Opportunity"));

    // A quote never saved: its contacts, but nothing to write from it.
    world.host->setField(QStringLiteral("DocNo"), QString());
    QString unsaved;
    world.show(0, [&](QWidget* w) {
        unsaved = Summary(w);
        w->close();
    });
    QCOMPARE(unsaved, QStringLiteral("The quote open in QuoteWerks has no number yet.|Marion "
                                     "Okafor - marion@harbour.example - (51)|12,7,3|3 "
                                     "Opportunities|New Lead|find"));
    world.host->setField(QStringLiteral("DocNo"), QStringLiteral("Q1001"));

    // No quote open: the contact search first; nobody chosen, no window.
    world.host->setDocumentOpen(false);
    world.crm.calls.clear();
    world.searchAnswer = 0;
    QCOMPARE(world.show(0, [](QWidget*) {}), QStringLiteral("never opened"));
    QVERIFY(world.crm.calls.isEmpty());
    world.searchAnswer = kMarion;
    world.show(0, [&](QWidget* w) {
        seen << Summary(w);
        w->close();
    });
    QCOMPARE(world.searches, 3);
    QCOMPARE(seen[2], QStringLiteral("No quote is open in QuoteWerks.|Marion Okafor - "
                                     "marion@harbour.example - (51)|12,7,3|3 Opportunities|"
                                     "New Lead|find"));

    // The quote's addresses match nobody: Find... is offered.
    world.host->setDocumentOpen(true);
    for (const char* field : {"SoldToEmail", "ShipToEmail", "BillToEmail"})
        world.host->setField(QString::fromLatin1(field), QStringLiteral("nobody@else.example"));
    world.show(0, [&](QWidget* w) {
        seen << Summary(w) + QLatin1Char('|') + w->focusWidget()->objectName();
        w->close();
    });
    QCOMPARE(seen[3], QStringLiteral("Quote: Office network refresh <Q1001>|||No Infusionsoft "
                                     "contact has the quote's e-mail addresses; use Find... to "
                                     "choose one.|New Lead|find|cmdFind"));
    QVERIFY(world.scope.boxes->boxes().empty());
}

void TestFrmOpportunities::keyboardAndScreenReader() {
    World world;
    QStringList lacking, mnemonics, chain;
    for (QWidget* control : world.window.findChildren<QWidget*>()) {
        const QString name = control->objectName();
        const auto* label = qobject_cast<QLabel*>(control);
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) ||
            (label && label->text().isEmpty()))
            continue;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty())
            lacking << name;
        QString caption = control->property("text").toString();
        if (caption.contains(QLatin1Char('&')))
            mnemonics << caption.section(QLatin1Char('&'), 1).left(1).toLower();
    }
    QVERIFY2(lacking.isEmpty(), qPrintable(lacking.join(QLatin1Char(','))));
    mnemonics.sort();
    QCOMPARE(mnemonics.join(QString()), QStringLiteral("cfimnostu")); // each once

    QString typed;
    world.show(kMarion, [&](QWidget* w) {
        for (QWidget* next = w->findChild<QWidget*>(QStringLiteral("cboContact"));
             chain.size() < 10; next = next->nextInFocusChain())
            if (next->focusPolicy() & Qt::TabFocus && next->isVisibleTo(w))
                chain << next->objectName();
        // Enter on a selected row opens its page; it writes nothing and keeps the window open.
        List(w)->setFocus();
        QTest::keyClick(List(w), Qt::Key_Down);
        QTest::keyClick(List(w), Qt::Key_Return);
        typed =
            QString::number(SelectedRow(w)) + QLatin1Char('|') + QString::number(w->isVisible());
        // Tab to "Move to Stage" and Space: the row moves; Move can act no more and hands
        // the focus back to the list, not on to Close.
        for (int tab = 0; tab < 5; ++tab)
            QTest::keyClick(w->focusWidget(), Qt::Key_Tab);
        typed += QLatin1Char('|') + w->focusWidget()->objectName();
        QTest::keyClick(w->focusWidget(), Qt::Key_Space);
        typed += QLatin1Char('|') + w->focusWidget()->objectName();
        QTest::keyClick(w->focusWidget(), Qt::Key_Escape);
    });
    QCOMPARE(chain,
             (QStringList{"cboContact", "cmdFind", "lstOpportunities", "cboStage", "chkAppendNotes",
                          "cmdNew", "cmdUpdate", "cmdMove", "cmdInfusionsoft", "cmdClose"}));
    QCOMPARE(typed, QStringLiteral("7|1|cmdMove|lstOpportunities"));
    QCOMPARE(world.scope.shell->opened().size(), size_t(1));
    QVERIFY(world.scope.shell->opened()[0].toString().endsWith(QStringLiteral("ID=7")));
    QCOMPARE(world.crm.calls.filter(QRegularExpression("^(Add|Update)")),
             QStringList{"Update Lead 7 StageID=1"});
}

QTEST_MAIN(TestFrmOpportunities)
#include "tst_frmOpportunities.moc"
