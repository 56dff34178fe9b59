// The contact search window on the offscreen platform, its CRM queries and the contact it
// sends recorded: the query table, both modes, the buttons, Escape, a failed search, the
// fresh start of every showing and a second opening while it is open.

#include "pellwick/ErrorReport.h"
#include "pellwick/ProgramState.h"
#include "pellwick/contacts/frmContacts.h"
#include "pellwick/modMain.h"
#include "pellwick/testing/CoreTestScope.h"
#include "pellwick/testing/WindowTestSupport.h"

#include <QAccessible>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <tessary/RpcValue.h>

using namespace pellwick;
using namespace pellwick::testing;

namespace {

struct Contact {
    std::int32_t id;
    const char* company;
    const char* first;
    const char* last;
};
const Contact kMarion{51, "Harbour Lane Dental", "Marion", "Okafor"};
const Contact kTeo{52, "Harbour Lane Dental", "Teo", "Brandt"};

tessary::RpcValue Record(const Contact& c) {
    auto record = std::make_shared<tessary::RpcStruct>();
    record->AddInteger("Id", c.id);
    record->AddString("Company", c.company);
    record->AddString("FirstName", c.first);
    record->AddString("LastName", c.last);
    return tessary::RpcValue::Struct(record);
}

std::shared_ptr<tessary::RpcArray> Answer(const std::vector<tessary::RpcValue>& elements) {
    auto records = std::make_shared<tessary::RpcArray>();
    for (const tessary::RpcValue& element : elements)
        records->AddValue(element);
    return records;
}

// The CRM and the host's sections as the window calls them: every query recorded as
// "Field=value & Field=value" and answered by `answer`, every contact sent recorded.
struct RecordingCrm {
    QStringList queries;
    std::vector<std::pair<int, int>> sends;
    std::function<std::shared_ptr<tessary::RpcArray>()> answer = [] {
        return Answer({Record(kMarion), Record(kTeo)});
    };

    frmContacts::Calls calls() {
        return {[this](const tessary::RpcStruct& data, const tessary::RpcArray& fields) {
                    QStringList members;
                    for (const auto& [name, value] : data.Members())
                        members << QString::fromStdString(name) + QLatin1Char('=') +
                                       QString::fromStdString(value.StringValue()) +
                                       (value.Type() == tessary::RpcType::String
                                            ? QString()
                                            : QStringLiteral(" (not text)"));
                    queries << members.join(QStringLiteral(" & "));
                    QStringList names;
                    for (const tessary::RpcValue& field : fields.Elements())
                        names << QString::fromStdString(field.StringValue());
                    if (names.join(QLatin1Char(',')) !=
                        QStringLiteral("Id,Company,FirstName,LastName,Email,Phone1"))
                        queries << QStringLiteral("wrong fields: ") + names.join(QLatin1Char(','));
                    return answer();
                },
                [this](std::int16_t type, std::int32_t id) { sends.emplace_back(type, id); }};
    }
};

template <class W> W* child(QWidget* window, const QString& name) {
    W* widget = window->findChild<W*>(name);
    if (!widget)
        qFatal("no control %s", qPrintable(name));
    return widget;
}

QPushButton* sectionButton(QWidget* window, int index) {
    return child<QPushButton>(window,
                              QStringLiteral("cmdSendContactInfo_") + QString::number(index));
}

QTreeWidget* list(QWidget* window) {
    return child<QTreeWidget>(window, QStringLiteral("lstContacts"));
}

QString label(QWidget* window) {
    return child<QLabel>(window, QStringLiteral("lblResults"))->text();
}

// Which of the result buttons are enabled: "0123" for the section buttons, then S for
// cmdSelectContact and I for cmdInfusionsoft; "-" for none.
QString enabledButtons(QWidget* window) {
    QString on;
    for (int i = 0; i < 4; ++i)
        if (sectionButton(window, i)->isEnabled())
            on += QString::number(i);
    if (child<QPushButton>(window, QStringLiteral("cmdSelectContact"))->isEnabled())
        on += QLatin1Char('S');
    if (child<QPushButton>(window, QStringLiteral("cmdInfusionsoft"))->isEnabled())
        on += QLatin1Char('I');
    return on.isEmpty() ? QStringLiteral("-") : on;
}

void selectRow(QWidget* window, int row) {
    QTreeWidget* contacts = list(window);
    QTreeWidgetItem* item = contacts->topLevelItem(row);
    QTest::mouseClick(contacts->viewport(), Qt::LeftButton, {},
                      contacts->visualItemRect(item).center());
}

// Shows the window and runs `drive` once it is open; a window the drive left open is
// closed (and reported) so that a failing check cannot hang the test.
std::int32_t ShowAndDrive(frmContacts& window, std::int16_t type, std::int16_t source,
                          std::function<void(QWidget*)> drive, bool* leftOpen = nullptr) {
    WhenWindowOpens(QStringLiteral("frmContacts"), [&window, drive, leftOpen](QWidget* w) {
        drive(w);
        if (leftOpen)
            *leftOpen = w->isVisible();
        if (w->isVisible())
            window.done(QDialog::Rejected);
    });
    return window.ShowForm(type, source);
}

} // namespace

class TestFrmContacts : public QObject {
    Q_OBJECT
private slots:
    void queryTable_data();
    void queryTable();
    void sectionModeSearchesTheSection_data();
    void sectionModeSearchesTheSection();
    void chooseOnlyModeHandsBackThePickedId();
    void escapeAndTheFrameNeverWriteTheQuote();
    void failedSearchLeavesTheWindowUsable();
    void secondOpeningRaisesTheOpenWindow();
    void failureBeforeOpeningReturnsNothing();
    void everyControlIsNamedAndReachable();
};

void TestFrmContacts::queryTable_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("queries");
    const QStringList oneWord12ab = {"Company=12ab%", "LastName=12ab%", "FirstName=12ab%"};
    QTest::newRow("wildcard") << "%" << QStringList{"Id=%"};
    QTest::newRow("digits") << "51" << QStringList{"Id=51"};
    QTest::newRow("digits at the 32-bit limit") << "2147483647" << QStringList{"Id=2147483647"};
    QTest::newRow("digits beyond 32 bits")
        << "2147483648"
        << QStringList{"Company=2147483648%", "LastName=2147483648%", "FirstName=2147483648%"};
    QTest::newRow("digits and letters") << "12ab" << oneWord12ab;
    QTest::newRow("e-mail with blanks")
        << " ann lee@mail.example " << QStringList{"Email=ann lee@mail.example%"};
    QTest::newRow("two words") << "Harbour Lane"
                               << QStringList{"Company=Harbour Lane%",
                                              "FirstName=Harbour% & LastName=Lane%"};
    QTest::newRow("three words: the middle one unused")
        << "Marion Q Okafor"
        << QStringList{"Company=Marion Q Okafor%", "FirstName=Marion% & LastName=Okafor%"};
    QTest::newRow("two blanks in a row")
        << "Ann  Lee" << QStringList{"Company=Ann  Lee%", "FirstName=Ann% & LastName=Lee%"};
    QTest::newRow("tabs only") << "\t\t" << QStringList{};
    QTest::newRow("blanks and tabs around one word")
        << " \tOkafor\t "
        << QStringList{"Company=Okafor%", "LastName=Okafor%", "FirstName=Okafor%"};
}

void TestFrmContacts::queryTable() {
    QFETCH(QString, text);
    QFETCH(QStringList, queries);
    CoreTestScope scope;
    RecordingCrm crm;
    crm.answer = [] { return Answer({Record(kMarion)}); }; // every query finds the same one
    frmContacts window(nullptr, crm.calls());
    auto* search = child<QLineEdit>(&window, QStringLiteral("txtSearch"));
    search->setText(text);
    window.cmdSearch_Click();

    QCOMPARE(crm.queries, queries);
    // Listed once, counted once per query that found it.
    QCOMPARE(list(&window)->topLevelItemCount(), queries.isEmpty() ? 0 : 1);
    QCOMPARE(label(&window), queries.isEmpty()
                                 ? QStringLiteral("None Found")
                                 : QString::number(queries.size()) + QStringLiteral(" Contacts"));
    QCOMPARE(enabledButtons(&window),
             queries.isEmpty() ? QStringLiteral("-") : QStringLiteral("0123I"));
    // Even a text of tabs only can be searched again.
    QVERIFY(child<QPushButton>(&window, QStringLiteral("cmdSearch"))->isEnabled());
    QCOMPARE(search->text(), text);
    QVERIFY(scope.boxes->boxes().empty());
}

void TestFrmContacts::sectionModeSearchesTheSection_data() {
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("contact");
    QTest::addColumn<QStringList>("queries");
    QTest::newRow("e-mail first") << "teo@harbourlane.example"
                                  << "Harbour Lane Dental"
                                  << "Teo Brandt" << QStringList{"Email=teo@harbourlane.example%"};
    QTest::newRow("company without an e-mail")
        << ""
        << "Harbour Lane Dental"
        << "Teo Brandt"
        << QStringList{"Company=Harbour Lane Dental%", "FirstName=Harbour% & LastName=Dental%"};
    QTest::newRow("contact name last")
        << ""
        << ""
        << "Brandt" << QStringList{"Company=Brandt%", "LastName=Brandt%", "FirstName=Brandt%"};
    QTest::newRow("nothing to search") << ""
                                       << ""
                                       << "" << QStringList{};
}

void TestFrmContacts::sectionModeSearchesTheSection() {
    QFETCH(QString, email);
    QFETCH(QString, company);
    QFETCH(QString, contact);
    QFETCH(QStringList, queries);
    CoreTestScope scope;
    auto host = scope.attachFakeHost();
    host->setField(QStringLiteral("ShipToEmail"), email);
    host->setField(QStringLiteral("ShipToCompany"), company);
    host->setField(QStringLiteral("ShipToContact"), contact);
    RecordingCrm crm;
    frmContacts window(nullptr, crm.calls());

    const bool found = !queries.isEmpty();
    QStringList queriedBeforeShown;
    QString shownLabel, shownButtons;
    bool visibleLayout = false, leftOpen = true;
    const std::int32_t id = ShowAndDrive(
        window, 1, 7,
        [&](QWidget* w) {
            queriedBeforeShown = crm.queries;
            shownLabel = label(w);
            shownButtons = enabledButtons(w);
            visibleLayout = sectionButton(w, 0)->isVisible() && sectionButton(w, 3)->isVisible() &&
                            !child<QPushButton>(w, QStringLiteral("cmdSelectContact"))->isVisible();
            if (!found) {
                child<QPushButton>(w, QStringLiteral("cmdClose"))->click();
                return;
            }
            selectRow(w, 1);
            QTest::mouseClick(sectionButton(w, 1), Qt::LeftButton);
        },
        &leftOpen);

    QVERIFY(!leftOpen);
    QCOMPARE(queriedBeforeShown, queries);
    QCOMPARE(crm.queries, queries);
    QCOMPARE(host->reads(), (QStringList{"ShipToEmail", "ShipToCompany", "ShipToContact"}));
    QVERIFY(visibleLayout);
    QCOMPARE(shownLabel, found ? QString::number(2 * queries.size()) + QStringLiteral(" Contacts")
                               : QStringLiteral("Not Searched"));
    QCOMPARE(shownButtons, found ? QStringLiteral("0123I") : QStringLiteral("-"));
    QCOMPARE(id, found ? kTeo.id : 0);
    QCOMPARE(crm.sends, (found ? std::vector<std::pair<int, int>>{{1, kTeo.id}}
                               : std::vector<std::pair<int, int>>{}));
    QVERIFY(host->writes().empty());
    QVERIFY(scope.boxes->boxes().empty());
}

void TestFrmContacts::chooseOnlyModeHandsBackThePickedId() {
    CoreTestScope scope;
    auto host = scope.attachFakeHost();
    WriteInfusionsoftAppNameToRegistry(QStringLiteral("demo"));
    RecordingCrm crm;
    frmContacts window(nullptr, crm.calls());

    QString before, after, noRow;
    bool openAfterPage = false, leftOpen = true;
    const std::int32_t id = ShowAndDrive(
        window, -1, -1,
        [&](QWidget* w) {
            const bool hidden =
                !sectionButton(w, 0)->isVisible() && !sectionButton(w, 3)->isVisible() &&
                child<QPushButton>(w, QStringLiteral("cmdSelectContact"))->isVisible();
            before = (hidden ? QStringLiteral("hidden ") : QStringLiteral("shown ")) + label(w) +
                     QLatin1Char(' ') + enabledButtons(w);
            auto* search = child<QLineEdit>(w, QStringLiteral("txtSearch"));
            QTest::keyClicks(search, QStringLiteral("Okafor"));
            QTest::keyClick(search, Qt::Key_Return); // the default button: Search
            after = label(w) + QLatin1Char(' ') + enabledButtons(w);
            // With no row selected the buttons do nothing.
            child<QPushButton>(w, QStringLiteral("cmdSelectContact"))->click();
            child<QPushButton>(w, QStringLiteral("cmdInfusionsoft"))->click();
            noRow = w->isVisible() ? QStringLiteral("open") : QStringLiteral("closed");
            selectRow(w, 0);
            child<QPushButton>(w, QStringLiteral("cmdInfusionsoft"))->click();
            openAfterPage = w->isVisible();
            child<QPushButton>(w, QStringLiteral("cmdSelectContact"))->click();
        },
        &leftOpen);

    QVERIFY(!leftOpen);
    QCOMPARE(before, QStringLiteral("hidden Not Searched -"));
    QCOMPARE(after, QStringLiteral("6 Contacts 0123SI"));
    QCOMPARE(noRow, QStringLiteral("open"));
    QVERIFY(openAfterPage);
    QCOMPARE(scope.shell->opened().size(), size_t(1));
    QVERIFY(scope.shell->opened()[0].toString().endsWith(
        QStringLiteral("/Contact/manageContact.jsp?view=edit&ID=51")));
    QCOMPARE(id, kMarion.id);
    QVERIFY(host->reads().isEmpty());
    QVERIFY(crm.sends.empty());

    // The next showing starts clean, and Close returns no contact although one was chosen
    // before.
    QString fresh;
    const std::int32_t again = ShowAndDrive(window, -1, -1, [&](QWidget* w) {
        fresh = child<QLineEdit>(w, QStringLiteral("txtSearch"))->text() + QLatin1Char('|') +
                label(w) + QLatin1Char('|') + QString::number(list(w)->topLevelItemCount()) +
                QLatin1Char('|') + enabledButtons(w);
        child<QPushButton>(w, QStringLiteral("cmdClose"))->click();
    });
    QCOMPARE(fresh, QStringLiteral("|Not Searched|0|-"));
    QCOMPARE(again, 0);
    QVERIFY(scope.boxes->boxes().empty());
}

void TestFrmContacts::escapeAndTheFrameNeverWriteTheQuote() {
    CoreTestScope scope;
    auto host = scope.attachFakeHost();
    host->setField(QStringLiteral("SoldToEmail"), QStringLiteral("marion@harbourlane.example"));
    RecordingCrm crm;
    frmContacts window(nullptr, crm.calls());

    // The search text is selected at every opening, ready to be typed over.
    QStringList selectedOnOpening;
    const auto pickThen = [&](const std::function<void(QWidget*)>& action) {
        return ShowAndDrive(window, 0, 0, [&](QWidget* w) {
            selectedOnOpening << child<QLineEdit>(w, QStringLiteral("txtSearch"))->selectedText();
            selectRow(w, 0);
            action(w);
        });
    };
    QCOMPARE(pickThen([](QWidget* w) { QTest::keyClick(w->focusWidget(), Qt::Key_Escape); }), 0);
    QCOMPARE(pickThen([](QWidget* w) { w->close(); }), 0);
    QVERIFY(crm.sends.empty());

    // "Sol&d / Ship / Bill" by its accelerator (a shortcut clicks the button a moment later).
    QCOMPARE(pickThen([](QWidget* w) {
                 QTest::keyClick(w, Qt::Key_D, Qt::AltModifier);
                 QVERIFY(QTest::qWaitFor([w] { return !w->isVisible(); }, 2000));
             }),
             kMarion.id);
    QCOMPARE(crm.sends,
             (std::vector<std::pair<int, int>>{{0, kMarion.id}, {1, kMarion.id}, {2, kMarion.id}}));
    QCOMPARE(selectedOnOpening, QStringList(3, QStringLiteral("marion@harbourlane.example")));
    QVERIFY(scope.boxes->boxes().empty());
}

void TestFrmContacts::failedSearchLeavesTheWindowUsable() {
    CoreTestScope scope;
    RecordingCrm crm;
    int call = 0;
    // The first query's answer breaks off at a value that is no record.
    crm.answer = [&call] {
        return ++call == 1 ? Answer({Record(kMarion), tessary::RpcValue::Integer(5), Record(kTeo)})
                           : Answer({Record(kTeo)});
    };
    frmContacts window(nullptr, crm.calls());
    auto* search = child<QLineEdit>(&window, QStringLiteral("txtSearch"));
    auto* cmdSearch = child<QPushButton>(&window, QStringLiteral("cmdSearch"));
    search->setText(QStringLiteral("Harbour"));
    window.cmdSearch_Click();

    QCOMPARE(scope.boxes->boxes().size(), size_t(1));
    QVERIFY(scope.boxes->texts()[0].contains(QStringLiteral("Error Section: SearchContacts\r\n")));
    QCOMPARE(crm.queries.size(), 3); // the search goes on with its other queries
    QCOMPARE(list(&window)->topLevelItemCount(), 2);
    QCOMPARE(list(&window)->topLevelItem(0)->text(0), QStringLiteral("51"));
    QCOMPARE(label(&window), QStringLiteral("3 Contacts"));
    QCOMPARE(enabledButtons(&window), QStringLiteral("0123I"));

    // A search that fails at every query: nothing listed, and the window searches again.
    crm.answer = []() -> std::shared_ptr<tessary::RpcArray> {
        throw ProgramError(errnum::RemoteServerUnavailable, QStringLiteral("CRM gone"));
    };
    window.cmdSearch_Click();
    QCOMPARE(scope.boxes->boxes().size(), size_t(4));
    QCOMPARE(list(&window)->topLevelItemCount(), 0);
    QCOMPARE(label(&window), QStringLiteral("None Found"));
    QCOMPARE(enabledButtons(&window), QStringLiteral("-"));
    QVERIFY(cmdSearch->isEnabled());
    search->setText(QStringLiteral("  "));
    QVERIFY(!cmdSearch->isEnabled());
    search->setText(QStringLiteral("51"));
    QVERIFY(cmdSearch->isEnabled());
    crm.answer = [] { return Answer({Record(kMarion)}); };
    window.cmdSearch_Click();
    QCOMPARE(label(&window), QStringLiteral("1 Contacts"));
    QCOMPARE(crm.queries.last(), QStringLiteral("Id=51"));
}

void TestFrmContacts::secondOpeningRaisesTheOpenWindow() {
    CoreTestScope scope;
    State().DebugMode = true;
    auto host = scope.attachFakeHost();
    host->setField(QStringLiteral("ShipToCompany"), QStringLiteral("Harbour Lane Dental"));
    RecordingCrm crm;
    frmContacts window(nullptr, crm.calls());

    std::int32_t nested = -1;
    QString textAfter;
    bool stillOpen = false;
    const std::int32_t id = ShowAndDrive(window, 1, 0, [&](QWidget* w) {
        host->clearRecord();
        selectRow(w, 0);
        nested = window.ShowForm(2, 3); // a second contact selection from the host
        stillOpen = w->isVisible();
        textAfter = child<QLineEdit>(w, QStringLiteral("txtSearch"))->text() + QLatin1Char('|') +
                    QString::number(list(w)->selectedItems().size());
        QTest::mouseClick(sectionButton(w, 1), Qt::LeftButton);
    });
    QCOMPARE(nested, 0);
    QVERIFY(stillOpen);
    QCOMPARE(textAfter, QStringLiteral("Harbour Lane Dental|1"));
    QVERIFY(host->reads().isEmpty());
    QCOMPARE(crm.queries.size(), 2);
    QCOMPARE(id, kMarion.id);
    QFile log(scope.debugLogPath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains(
        "frmContacts - ShowForm - Already open - Params: p_intQWType = 2, p_intQWSource = 3"));
}

void TestFrmContacts::failureBeforeOpeningReturnsNothing() {
    CoreTestScope scope;
    auto host = scope.attachFakeHost();
    host->setDocumentOpen(false);
    RecordingCrm crm;
    frmContacts window(nullptr, crm.calls());
    bool opened = false;
    WhenWindowOpens(
        QStringLiteral("frmContacts"), [&](QWidget*) { opened = true; }, 200);
    QCOMPARE(window.ShowForm(0, 0), 0);
    QTest::qWait(250);
    QVERIFY(!opened);
    QCOMPARE(scope.boxes->boxes().size(), size_t(1));
    QVERIFY(scope.boxes->texts()[0].contains(QStringLiteral("Error Section: ShowForm\r\n")));
    QVERIFY(crm.queries.isEmpty());
}

void TestFrmContacts::everyControlIsNamedAndReachable() {
    CoreTestScope scope;
    RecordingCrm crm;
    frmContacts window(nullptr, crm.calls());
    QCOMPARE(window.windowTitle(), QStringLiteral("Pellwick - Infusionsoft Contacts Search"));
    QStringList lacking, mnemonics;
    for (const char* name : {"txtSearch", "cmdSearch", "lstContacts", "cmdSendContactInfo_0",
                             "cmdSendContactInfo_1", "cmdSendContactInfo_2", "cmdSendContactInfo_3",
                             "cmdSelectContact", "cmdInfusionsoft", "cmdClose"}) {
        QWidget* control = child<QWidget>(&window, QString::fromLatin1(name));
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty() ||
            control->focusPolicy() == Qt::NoFocus)
            lacking << control->objectName();
        if (auto* button = qobject_cast<QPushButton*>(control)) {
            const qsizetype amp = button->text().indexOf(QLatin1Char('&'));
            if (amp >= 0)
                mnemonics << button->text().mid(amp + 1, 1).toLower();
        }
    }
    QVERIFY2(lacking.isEmpty(), qPrintable(lacking.join(QLatin1Char(','))));
    mnemonics.sort();
    QCOMPARE(mnemonics, (QStringList{"b", "c", "d", "h", "i", "o", "s"}));

    // The list's columns after a search.
    window.cmdSearch_Click();
    QTreeWidget* contacts = list(&window);
    QStringList headers;
    int width = 0;
    for (int i = 0; i < contacts->columnCount(); ++i) {
        headers << contacts->headerItem()->text(i);
        width += contacts->columnWidth(i);
    }
    QCOMPARE(headers, (QStringList{"Id", "Company", "FirstName", "LastName", "Phone 1", "Email"}));
    QCOMPARE(width, 575);
}

QTEST_MAIN(TestFrmContacts)
#include "tst_frmContacts.moc"
