// The host's contact selection for Ship To, end to end: the host stand-in raises the event
// over the session bus, the window opened through the program's door searches the CRM
// sandbox over HTTPS for the section's company, and "S&hip To" writes the picked CRM
// contact into the stand-in's quote.

#include "HostStandInProcess.h"
#include "SandboxProcess.h"
#include "pellwick/ProgramState.h"
#include "pellwick/contacts/ContactsWindow.h"
#include "pellwick/contacts/frmContacts.h"
#include "pellwick/host/DBusQuoteWerksApp.h"
#include "pellwick/modMain.h"
#include "pellwick/modQWAPI.h"
#include "pellwick/testing/CoreTestScope.h"
#include "pellwick/testing/WindowTestSupport.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace pellwick;
using namespace pellwick::testing;

class TestFrmContactsCrm : public QObject {
    Q_OBJECT
private slots:
    void shipToSelectionSearchesTheCompanyAndWritesThePickedContact();
};

void TestFrmContactsCrm::shipToSelectionSearchesTheCompanyAndWritesThePickedContact() {
    CoreTestScope scope;
    sandbox::SandboxOptions options;
    options.extraArgs = {"--memory"};
    sandbox::SandboxProcess crm(options);
    hoststandin::HostStandInProcess host;
    QString why;
    QVERIFY2(host.start(&why), qPrintable(why));

    State().AttachHost = [] { return AttachToRunningQuoteWerks(); };
    QVERIFY(SetupQuoteWerksConnection());
    WriteInfusionsoftAppNameToRegistry(QStringLiteral("demo"));
    WriteInfusionsoftAPIKeyToRegistry(QString::fromStdString(options.apiKey));
    scope.useLocalEndpoint(crm.port(), QString::fromStdString(crm.caFile()));
    QVERIFY(SetupInfusionsoftConnection());

    // The main window's part: the host's contact selection opens the window through its
    // door.
    QWidget mainWindow;
    InstallContactsWindow(&mainWindow);
    QCOMPARE(ContactsWindow().parentWidget(), &mainWindow);
    int handled = 0;
    connect(State().QuoteWerksApp.get(), &QuoteWerksApp::BeforeContactSelection, this,
            [&](qint16 type, qint16& source) {
                State().Windows.ShowContacts(type, source);
                ++handled;
            });

    host.setField(QStringLiteral("ShipToEmail"), QString());
    QString shown;
    WhenWindowOpens(
        QStringLiteral("frmContacts"),
        [&](QWidget* w) {
            auto* contacts = w->findChild<QTreeWidget*>(QStringLiteral("lstContacts"));
            shown = w->findChild<QLabel*>(QStringLiteral("lblResults"))->text();
            for (int i = 0; i < contacts->topLevelItemCount(); ++i)
                shown += QLatin1Char('|') + contacts->topLevelItem(i)->text(0) + QLatin1Char(' ') +
                         contacts->topLevelItem(i)->text(2) + QLatin1Char(' ') +
                         contacts->topLevelItem(i)->text(3);
            if (contacts->topLevelItemCount() > 0)
                contacts->setCurrentItem(contacts->topLevelItem(0));
            w->findChild<QPushButton*>(QStringLiteral("cmdSendContactInfo_1"))->click();
            if (w->isVisible())
                static_cast<QDialog*>(w)->reject();
        },
        20000);
    host.selectContact(1, 0);
    QTRY_COMPARE_WITH_TIMEOUT(handled, 1, 30000);

    // Found by the company (the contact name, Teo Brandt, is no CRM contact).
    QCOMPARE(shown, QStringLiteral("1 Contacts|51 Marion Okafor"));
    const std::vector<std::pair<const char*, const char*>> shipTo = {
        {"Company", "Harbour Lane Dental"},
        {"Contact", "Marion Okafor"},
        {"Title", ""},
        {"Address1", "450 Main Street"},
        {"Address2", ""},
        {"City", "Portsmouth"},
        {"State", "NH"},
        {"PostalCode", "28950"},
        {"Country", "United States"},
        {"Phone", "603-555-0141"},
        {"PhoneExt", ""},
        {"Fax", ""},
        {"Email", "marion.okafor@harbourlane.example"}};
    for (const auto& [field, value] : shipTo)
        QCOMPARE(host.formField(QStringLiteral("ShipTo") + QLatin1String(field)),
                 QString::fromUtf8(value));
    QCOMPARE(host.formField(QStringLiteral("ShipToAddress3")), QStringLiteral("Building B"));
    QCOMPARE(host.formField(QStringLiteral("SoldToContact")), QStringLiteral("Marion Q Okafor"));
    QVERIFY2(scope.boxes->boxes().empty(), qPrintable(scope.boxes->texts().join(QLatin1Char('|'))));
}

QTEST_MAIN(TestFrmContactsCrm)
#include "tst_frmContactsCrm.moc"
