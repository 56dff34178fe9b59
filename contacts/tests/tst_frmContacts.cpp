// The contact search window on the offscreen platform, its CRM queries and the contacts it
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
#include <QTimer>
#include <QTreeWidget>
#include <tessary/RpcValue.h>

using namespace pellwick;
using namespace pellwick::testing;

namespace {

using Sends = std::vector<std::pair<int, int>>;
constexpr int kMarion = 51, kTeo = 52;

tessary::RpcValue Record(std::int32_t id, const char* first, const char* last) {
    auto record = std::make_shared<tessary::RpcStruct>();
    record->AddInteger("Id", id);
    record->AddString("Company", "Harbour Lane Dental");
    record->AddString("FirstName", first);
    record->AddString("LastName", last);
    return tessary::RpcValue::Struct(record);
}
const tessary::RpcValue kMarionRecord = Record(kMarion, "Marion", "Okafor");
const tessary::RpcValue kTeoRecord = Record(kTeo, "Teo", "Brandt");

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
    QStringList fields; // of the last query
    Sends sends;
    std::function<std::shared_ptr<tessary::RpcArray>()> answer = [] {
        return Answer({kMarionRecord, kTeoRecord});
    };

    frmContacts::Calls calls() {
        return {[this](const tessary::RpcStruct& data, const tessary::RpcArray& selected) {
                    QStringList members;
                    for (const auto& [name, value] : data.Members())
                        members << QString::fromStdString(name + "=" + value.StringValue()) +
                                       (value.Type() == tessary::RpcType::String ? ""
                                                                                 : " (no text)");
                    queries << members.join(QStringLiteral(" & "));
                    fields.clear();
                    for (const tessary::RpcValue& field : selected.Elements())
                        fields << QString::fromStdString(field.StringValue());
                    return answer();
                },
                [this](std::int16_t type, std::int32_t id) { sends.emplace_back(type, id); }};
    }
};

template <class W = QPushButton> W* child(QWidget* window, const QString& name) {
    W* widget = window->findChild<W*>(name);
    if (!widget)
        qFatal("no control %s", qPrintable(name));
    return widget;
}
QPushButton* sectionButton(QWidget* window, int index) {
    return child(window, QStringLiteral("cmdSendContactInfo_") + QString::number(index));
}
QTreeWidget* list(QWidget* window) {
    return child<QTreeWidget>(window, QStringLiteral("lstContacts"));
}
QLineEdit* searchBox(QWidget* window) {
    return child<QLineEdit>(window, QStringLiteral("txtSearch"));
}

// The window's state in one line: results label | enabled result buttons (section buttons
// 0-3, S cmdSelectContact, I cmdInfusionsoft) | rows listed | the buttons of which mode
// are shown.
QString Summary(QWidget* w) {
    QString on;
    bool sections = true, select = true;
    for (int i = 0; i < 4; ++i) {
        if (sectionButton(w, i)->isEnabled())
            on += QString::number(i);
        sections = sections && !sectionButton(w, i)->isHidden();
        select = select && sectionButton(w, i)->isHidden();
    }
    QPushButton* selectContact = child(w, QStringLiteral("cmdSelectContact"));
    if (selectContact->isEnabled())
        on += QLatin1Char('S');
    if (child(w, QStringLiteral("cmdInfusionsoft"))->isEnabled())
        on += QLatin1Char('I');
    const QString mode = sections && selectContact->isHidden()  ? QStringLiteral("sections")
                         : select && !selectContact->isHidden() ? QStringLiteral("select")
                                                                : QStringLiteral("mixed");
    return QStringList{child<QLabel>(w, QStringLiteral("lblResults"))->text(), on,
                       QString::number(list(w)->topLevelItemCount()), mode}
        .join(QLatin1Char('|'));
}

void selectRow(QWidget* window, int row) {
    QTreeWidget* contacts = list(window);
    QTest::mouseClick(contacts->viewport(), Qt::LeftButton, {},
                      contacts->visualItemRect(contacts->topLevelItem(row)).center());
}

// Shows the window and runs `drive` once it is open. A window the drive left open is
// closed, so that a failing check cannot hang the test, and fails the test.
std::int32_t ShowAndDrive(frmContacts& window, std::int16_t type, std::int16_t source,
                          std::function<void(QWidget*)> drive) {
    bool leftOpen = false;
    WhenWindowOpens(QStringLiteral("frmContacts"), [&window, &leftOpen, drive](QWidget* w) {
        drive(w);
        leftOpen = w->isVisible();
        if (leftOpen)
            window.done(QDialog::Rejected);
    });
    const std::int32_t id = window.ShowForm(type, source);
    if (leftOpen)
        QTest::qFail("the window was left open", __FILE__, __LINE__);
    return id;
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
    void keyboardAloneActsOnTheFocusedRow();
    void aSearchCutAtItsLimitSaysSo();
    void showFormWhileOpenOrFailingReturnsNothing();
    void everyControlIsNamedAndReachable();
};

void TestFrmContacts::queryTable_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("queries");
    const auto oneWord = [](const QString& w) {
        return QStringList{"Company=" + w + "%", "LastName=" + w + "%", "FirstName=" + w + "%"};
    };
    QTest::newRow("wildcard") << "%" << QStringList{"Id=%"};
    QTest::newRow("digits") << "51" << QStringList{"Id=51"};
    QTest::newRow("digits at the 32-bit limit") << "2147483647" << QStringList{"Id=2147483647"};
    QTest::newRow("digits beyond 32 bits") << "2147483648" << oneWord("2147483648");
    QTest::newRow("digits and letters") << "12ab" << oneWord("12ab");
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
    QTest::newRow("blanks and tabs around one word") << " \tOkafor\t " << oneWord("Okafor");
}

void TestFrmContacts::queryTable() {
    QFETCH(QString, text);
    QFETCH(QStringList, queries);
    CoreTestScope scope;
    RecordingCrm crm;
    crm.answer = [] { return Answer({kMarionRecord}); }; // every query finds the same one
    frmContacts window(nullptr, crm.calls());
    searchBox(&window)->setText(text);
    window.cmdSearch_Click();

    QCOMPARE(crm.queries, queries);
    if (!queries.isEmpty())
        QCOMPARE(crm.fields.join(','),
                 QStringLiteral("Id,Company,FirstName,LastName,Email,Phone1"));
    // Listed once, counted once per query that found it; no button acts before a row is
    // picked.
    QCOMPARE(Summary(&window), queries.isEmpty()
                                   ? QStringLiteral("None Found||0|sections")
                                   : QStringLiteral("%1 Contacts||1|sections").arg(queries.size()));
    // Even a text of tabs only can be searched again.
    QVERIFY(child(&window, QStringLiteral("cmdSearch"))->isEnabled());
    QVERIFY(scope.boxes->boxes().empty());
}

void TestFrmContacts::sectionModeSearchesTheSection_data() {
    QTest::addColumn<QStringList>("section"); // e-mail, company, contact name
    QTest::addColumn<QStringList>("queries");
    QTest::newRow("e-mail first") << QStringList{"teo@harbourlane.example", "Harbour", "Teo"}
                                  << QStringList{"Email=teo@harbourlane.example%"};
    QTest::newRow("company without an e-mail")
        << QStringList{"", "Harbour Lane Dental", "Teo Brandt"}
        << QStringList{"Company=Harbour Lane Dental%", "FirstName=Harbour% & LastName=Dental%"};
    QTest::newRow("contact name last")
        << QStringList{"", "", "Brandt"}
        << QStringList{"Company=Brandt%", "LastName=Brandt%", "FirstName=Brandt%"};
    QTest::newRow("nothing to search") << QStringList{"", "", ""} << QStringList{};
}

void TestFrmContacts::sectionModeSearchesTheSection() {
    QFETCH(QStringList, section);
    QFETCH(QStringList, queries);
    CoreTestScope scope;
    auto host = scope.attachFakeHost();
    const QStringList fields{"ShipToEmail", "ShipToCompany", "ShipToContact"};
    for (int i = 0; i < 3; ++i)
        host->setField(fields[i], section[i]);
    RecordingCrm crm;
    frmContacts window(nullptr, crm.calls());

    const bool found = !queries.isEmpty();
    QStringList queriedBeforeShown;
    QString shown;
    const std::int32_t id = ShowAndDrive(window, 1, 7, [&](QWidget* w) {
        queriedBeforeShown = crm.queries;
        shown = Summary(w);
        if (!found)
            return child(w, QStringLiteral("cmdClose"))->click();
        selectRow(w, 1);
        QTest::mouseClick(sectionButton(w, 1), Qt::LeftButton);
    });

    QCOMPARE(queriedBeforeShown, queries);
    QCOMPARE(crm.queries, queries);
    QCOMPARE(host->reads(), fields);
    QCOMPARE(shown, found ? QStringLiteral("%1 Contacts||2|sections").arg(2 * queries.size())
                          : QStringLiteral("Not Searched||0|sections"));
    QCOMPARE(id, found ? kTeo : 0);
    QCOMPARE(crm.sends, (found ? Sends{{1, kTeo}} : Sends{}));
    QVERIFY(scope.boxes->boxes().empty());
}

void TestFrmContacts::chooseOnlyModeHandsBackThePickedId() {
    CoreTestScope scope;
    auto host = scope.attachFakeHost();
    WriteInfusionsoftAppNameToRegistry(QStringLiteral("demo"));
    RecordingCrm crm;
    frmContacts window(nullptr, crm.calls());

    QStringList seen;
    const std::int32_t id = ShowAndDrive(window, -1, -1, [&](QWidget* w) {
        seen << Summary(w);
        QTest::keyClicks(searchBox(w), QStringLiteral("Okafor"));
        QTest::keyClick(searchBox(w), Qt::Key_Return); // the default button: Search
        seen << Summary(w);
        selectRow(w, 0);
        seen << Summary(w);
        child(w, QStringLiteral("cmdInfusionsoft"))->click(); // the window stays open
        seen << (w->isVisible() ? QStringLiteral("open") : QStringLiteral("closed"));
        child(w, QStringLiteral("cmdSelectContact"))->click();
    });
    QCOMPARE(seen, (QStringList{"Not Searched||0|select", "6 Contacts||2|select",
                                "6 Contacts|0123SI|2|select", "open"}));
    QCOMPARE(id, kMarion);
    QCOMPARE(scope.shell->opened().size(), size_t(1));
    QVERIFY(scope.shell->opened()[0].toString().endsWith(
        QStringLiteral("/Contact/manageContact.jsp?view=edit&ID=51")));
    QVERIFY(host->reads().isEmpty() && crm.sends.empty());

    // The next showing starts clean, and Close returns no contact although one was chosen
    // the time before.
    QString fresh;
    const std::int32_t again = ShowAndDrive(window, -1, -1, [&](QWidget* w) {
        fresh = searchBox(w)->text() + QLatin1Char('|') + Summary(w);
        child(w, QStringLiteral("cmdClose"))->click();
    });
    QCOMPARE(fresh, QStringLiteral("|Not Searched||0|select"));
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
            QVERIFY(QTest::qWaitForWindowActive(w)); // the selection comes with activation
            selectedOnOpening << searchBox(w)->selectedText();
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
             kMarion);
    QCOMPARE(crm.sends, (Sends{{0, kMarion}, {1, kMarion}, {2, kMarion}}));
    QCOMPARE(selectedOnOpening, QStringList(3, QStringLiteral("marion@harbourlane.example")));
    QVERIFY(scope.boxes->boxes().empty());
}

void TestFrmContacts::failedSearchLeavesTheWindowUsable() {
    CoreTestScope scope;
    RecordingCrm crm;
    int call = 0;
    // The first query's answer breaks off at a value that is no record.
    crm.answer = [&call] {
        return ++call == 1 ? Answer({kMarionRecord, tessary::RpcValue::Integer(5), kTeoRecord})
                           : Answer({kTeoRecord});
    };
    frmContacts window(nullptr, crm.calls());
    QPushButton* cmdSearch = child(&window, QStringLiteral("cmdSearch"));
    searchBox(&window)->setText(QStringLiteral("Harbour"));
    window.cmdSearch_Click();
    QCOMPARE(scope.boxes->texts().size(), 1);
    QVERIFY(scope.boxes->texts()[0].contains(QStringLiteral("Error Section: SearchContacts\r\n")));
    // The rows read so far stay, and the search goes on with its other queries.
    QCOMPARE(crm.queries.size(), 3);
    QCOMPARE(Summary(&window), QStringLiteral("3 Contacts||2|sections"));

    // A query that cannot be sent at all fails the whole search, once: the window then
    // recovers and searches again.
    crm.answer = []() -> std::shared_ptr<tessary::RpcArray> {
        throw ProgramError(errnum::ObjectRequired, QStringLiteral("No CRM connection"));
    };
    window.cmdSearch_Click();
    QCOMPARE(scope.boxes->texts().size(), 2);
    QVERIFY(scope.boxes->texts()[1].contains(QStringLiteral("Error Section: cmdSearch_Click\r\n")));
    QCOMPARE(crm.queries.size(), 4);
    QCOMPARE(Summary(&window), QStringLiteral("None Found||0|sections"));
    QVERIFY(cmdSearch->isEnabled());
    searchBox(&window)->setText(QStringLiteral("  "));
    QVERIFY(!cmdSearch->isEnabled());
    searchBox(&window)->setText(QStringLiteral("51"));
    QVERIFY(cmdSearch->isEnabled());
    crm.answer = [] { return Answer({kMarionRecord}); };
    window.cmdSearch_Click();
    QCOMPARE(Summary(&window), QStringLiteral("1 Contacts||1|sections"));
}

void TestFrmContacts::keyboardAloneActsOnTheFocusedRow() {
    CoreTestScope scope;
    auto host = scope.attachFakeHost();
    host->setField(QStringLiteral("ShipToCompany"), QStringLiteral("Harbour Lane Dental"));
    RecordingCrm crm;
    frmContacts window(nullptr, crm.calls());
    QStringList seen;
    const std::int32_t id = ShowAndDrive(window, 1, 0, [&](QWidget* w) {
        seen << Summary(w);
        // Keys go to the focus, which a slow build gives the window only once active.
        QVERIFY(QTest::qWaitForWindowActive(w));
        // Tab past Search into the list: its first row becomes the current one, which is
        // the row the buttons act on.
        QTest::keyClick(w->focusWidget(), Qt::Key_Tab);
        QTest::keyClick(w->focusWidget(), Qt::Key_Tab);
        seen << w->focusWidget()->objectName() + QLatin1Char('|') + Summary(w);
        QTest::keyClick(w, Qt::Key_H, Qt::AltModifier);
        QVERIFY(QTest::qWaitFor([w] { return !w->isVisible(); }, 2000));
    });
    QCOMPARE(seen,
             (QStringList{"4 Contacts||2|sections", "lstContacts|4 Contacts|0123I|2|sections"}));
    QCOMPARE(id, kMarion);
    QCOMPARE(crm.sends, (Sends{{1, kMarion}}));
}

void TestFrmContacts::aSearchCutAtItsLimitSaysSo() {
    CoreTestScope scope;
    RecordingCrm crm;
    int records = 1000;
    crm.answer = [&records] {
        std::vector<tessary::RpcValue> found;
        for (int id = 1; id <= records; ++id)
            found.push_back(Record(id, "Ann", "Lee"));
        return Answer(found);
    };
    frmContacts window(nullptr, crm.calls());
    searchBox(&window)->setText(QStringLiteral("%"));
    window.cmdSearch_Click();
    QCOMPARE(child<QLabel>(&window, QStringLiteral("lblResults"))->text(),
             QStringLiteral("1000 Contacts - more contacts match: only the first 1,000 are "
                            "listed. Narrow the search to find the others."));
    records = 999;
    window.cmdSearch_Click();
    QCOMPARE(child<QLabel>(&window, QStringLiteral("lblResults"))->text(),
             QStringLiteral("999 Contacts"));
}

void TestFrmContacts::showFormWhileOpenOrFailingReturnsNothing() {
    CoreTestScope scope;
    State().DebugMode = true;
    auto host = scope.attachFakeHost();
    host->setField(QStringLiteral("ShipToCompany"), QStringLiteral("Harbour Lane Dental"));
    RecordingCrm crm;
    frmContacts window(nullptr, crm.calls());

    std::int32_t nested = -1;
    QString after;
    const std::int32_t id = ShowAndDrive(window, 1, 0, [&](QWidget* w) {
        host->clearRecord();
        selectRow(w, 0);
        nested = window.ShowForm(2, 3); // a second contact selection from the host
        after = QString::number(w->isVisible()) + QLatin1Char('|') + searchBox(w)->text() +
                QLatin1Char('|') + QString::number(list(w)->selectedItems().size());
        QTest::mouseClick(sectionButton(w, 1), Qt::LeftButton);
    });
    QCOMPARE(nested, 0);
    QCOMPARE(after, QStringLiteral("1|Harbour Lane Dental|1")); // open and untouched
    QVERIFY(host->reads().isEmpty());
    QCOMPARE(id, kMarion);
    QFile log(scope.debugLogPath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains(
        "frmContacts - ShowForm - Already open - Params: p_intQWType = 2, p_intQWSource = 3"));

    // A failure before the window is shown: reported, not shown, no contact.
    host->setDocumentOpen(false);
    bool opened = false;
    QTimer::singleShot(0, &window, [&] { opened = window.isVisible() && window.close(); });
    QCOMPARE(window.ShowForm(0, 0), 0);
    QVERIFY(!opened);
    QCOMPARE(crm.queries.size(), 2);
    QCOMPARE(scope.boxes->texts().size(), 1);
    QVERIFY(scope.boxes->texts()[0].contains(QStringLiteral("Error Section: ShowForm\r\n")));
}

void TestFrmContacts::everyControlIsNamedAndReachable() {
    CoreTestScope scope;
    RecordingCrm crm;
    frmContacts window(nullptr, crm.calls());
    QStringList lacking, mnemonics;
    const QStringList tabOrder = {"txtSearch",
                                  "cmdSearch",
                                  "lstContacts",
                                  "cmdSendContactInfo_0",
                                  "cmdSendContactInfo_1",
                                  "cmdSendContactInfo_2",
                                  "cmdSendContactInfo_3",
                                  "cmdSelectContact",
                                  "cmdInfusionsoft",
                                  "cmdClose"};
    for (const QString& name : tabOrder) {
        QWidget* control = child<QWidget>(&window, name);
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty() ||
            control->focusPolicy() == Qt::NoFocus)
            lacking << control->objectName();
        if (auto* button = qobject_cast<QPushButton*>(control);
            button && button->text().contains('&'))
            mnemonics << button->text().section(QLatin1Char('&'), 1).left(1).toLower();
    }
    QVERIFY2(lacking.isEmpty(), qPrintable(lacking.join(QLatin1Char(','))));
    mnemonics.sort();
    QCOMPARE(mnemonics, (QStringList{"b", "c", "d", "h", "i", "o", "s"}));

    QStringList chain;
    QWidget* next = child<QWidget>(&window, tabOrder.first());
    for (int step = 0; step < 100 && chain.size() < tabOrder.size(); ++step) {
        if (tabOrder.contains(next->objectName()))
            chain << next->objectName();
        next = next->nextInFocusChain();
    }
    QCOMPARE(chain, tabOrder);
}

QTEST_MAIN(TestFrmContacts)
#include "tst_frmContacts.moc"
