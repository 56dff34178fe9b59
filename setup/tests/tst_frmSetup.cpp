// The configuration window without a CRM: what it shows with nothing stored, the
// texts of every control, the example address following the configured CRM domain,
// and Cancel storing nothing.

#include "pellwick/ProgramState.h"
#include "pellwick/addons/AddonRegistration.h"
#include "pellwick/modMain.h"
#include "pellwick/modRegistry.h"
#include "pellwick/setup/frmSetup.h"
#include "pellwick/testing/CoreTestScope.h"
#include "pellwick/testing/WindowTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

using namespace pellwick;
using namespace pellwick::testing;

namespace {
const QString kTemplate = QStringLiteral("[QUOTE_NAME] <[QUOTE_NO]>");

template <class W> W* child(QWidget* parent, const char* name) {
    W* widget = parent->findChild<W*>(QString::fromLatin1(name));
    if (!widget)
        qWarning("missing control %s", name);
    return widget;
}

// A box as one line, so that a comparison shows every part that differs.
QString Shown(const QString& title, MsgIcon icon, MsgButtons buttons, const QString& text) {
    return QStringLiteral("%1 [icon %2, buttons %3] %4")
        .arg(title)
        .arg(int(icon))
        .arg(int(buttons))
        .arg(text);
}
QString Shown(const MessageBoxRequest& box) {
    return Shown(box.title, box.icon, box.buttons, box.text);
}
QString IntegrationBox(const QString& text, MsgIcon icon, MsgButtons buttons = MsgButtons::Ok) {
    return Shown(QStringLiteral("Pellwick - Integration"), icon, buttons, text);
}

// Opens the window with ShowForm, runs check while it is open, then cancels it.
void WhileOpen(frmSetup& setup, const std::function<void()>& check) {
    bool seen = false;
    WhenWindowOpens(QStringLiteral("frmSetup"), [&](QWidget*) {
        seen = true;
        check();
        child<QPushButton>(&setup, "cmdCancel")->click();
    });
    setup.ShowForm();
    QVERIFY(seen);
    QVERIFY(!setup.isVisible());
}
} // namespace

class TestFrmSetup : public QObject {
    Q_OBJECT
private slots:
    void controlsAndTexts();
    void tabOrderFollowsThePages();
    void defaultsWithNoSettings();
    void storedValuesAndInstalledStatus();
    void cancelStoresNothing();
    void installRemoveAndAppFolderButtons();
    void installAndRemoveNameWhatStoppedThem();
    void unwritableStoreFailsOk();
};

void TestFrmSetup::controlsAndTexts() {
    CoreTestScope scope;
    frmSetup setup;
    QCOMPARE(setup.windowTitle(), QStringLiteral("Pellwick - Configuration"));
    auto* tabs = child<QTabWidget>(&setup, "tabMain");
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(0), QStringLiteral("QuoteWerks"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Infusionsoft"));
    auto framesOf = [&](int page) {
        QStringList names;
        for (QGroupBox* frame : tabs->widget(page)->findChildren<QGroupBox*>())
            names << frame->objectName() + QLatin1Char('=') + frame->title();
        return names;
    };
    QCOMPARE(framesOf(0),
             QStringList({"fraPluginStatus=Plugin Status",
                          "fraIntegrationOptions=Integration Options", "fraAdvanced=Advanced"}));
    QCOMPARE(framesOf(1), QStringList({"fraConnectionSettings=Connection Settings",
                                       "fraMiscOptions=Contact Notes Settings"}));

    const QList<std::pair<const char*, const char*>> buttons = {
        {"cmdOK", "OK"},
        {"cmdCancel", "Cancel"},
        {"cmdInstallPlugin", "Install Plugin Into QuoteWerks"},
        {"cmdRemovePlugin", "Remove Plugin From QuoteWerks"},
        {"cmdOpenAppFolder", "Open App Folder"}};
    for (const auto& [name, text] : buttons)
        QCOMPARE(child<QPushButton>(&setup, name)->text(), QString::fromUtf8(text));
    QVERIFY(child<QPushButton>(&setup, "cmdOK")->isDefault());
    QCOMPARE(child<QPushButton>(&setup, "cmdOpenAppFolder")->toolTip(),
             QStringLiteral("Open the Application Folder to see the Debug Log File."));

    const QList<std::pair<const char*, const char*>> boxes = {
        {"chkShowSaveQuoteOnSave", "Show the Save Quote window when the quote is saved."},
        {"chkShowSaveQuoteOnEmail",
         "Show the Save Quote window when the quote is going to be emailed."},
        {"chkSetContactManager", "Set the Contact Manager to search Infusionsoft Contacts."},
        {"chkDebugMode", "Debug Mode (Turn on if there is problems)."}};
    for (const auto& [name, text] : boxes)
        QCOMPARE(child<QCheckBox>(&setup, name)->text(), QString::fromUtf8(text));

    const QList<std::pair<const char*, const char*>> labels = {
        {"lblAppNameField", "Application Name:"},
        {"lblAPIKeyField", "API Key:"},
        {"lblAPIKeyInfo", "* AUTO FILLED *"},
        {"lblContactNotesSettings",
         "Set how the Contact Notes - Action Description or Creation Notes field should appear "
         "if adding the Quote information into the Contact Record."},
        {"lblContactNotesActionDescription", "Action Description:"},
        {"lblContactNotesCreationNotes", "Creation Notes:"},
        {"lblContactNotesShortcodes",
         "Short Codes: [QUOTE_NAME] - Name of Quote  |  [QUOTE_NO] - Quote Number"}};
    for (const auto& [name, text] : labels)
        QCOMPARE(child<QLabel>(&setup, name)->text(), QString::fromUtf8(text));
    QCOMPARE(child<QLineEdit>(&setup, "txtAPIKey")->echoMode(), QLineEdit::Normal);
}

void TestFrmSetup::tabOrderFollowsThePages() {
    CoreTestScope scope;
    frmSetup setup;
    // The controls Tab reaches, in order, from the tab bar round to the window's buttons.
    QWidget* start = child<QTabWidget>(&setup, "tabMain")->tabBar();
    QStringList chain;
    for (QWidget* next = start->nextInFocusChain(); next && next != start;
         next = next->nextInFocusChain()) {
        static const QRegularExpression control(QStringLiteral("^(cmd|chk|txt|cbo)"));
        if ((next->focusPolicy() & Qt::TabFocus) && control.match(next->objectName()).hasMatch())
            chain << next->objectName();
    }
    QCOMPARE(chain, QStringList({"cmdInstallPlugin", "cmdRemovePlugin", "chkShowSaveQuoteOnSave",
                                 "chkShowSaveQuoteOnEmail", "chkSetContactManager", "chkDebugMode",
                                 "cmdOpenAppFolder", "cboInterface", "txtAppName", "txtAPIKey",
                                 "txtContactNotesActionDescription", "txtContactNotesCreationNotes",
                                 "cmdOK", "cmdCancel"}));
}

void TestFrmSetup::defaultsWithNoSettings() {
    CoreTestScope scope;
    scope.attachFakeHost(); // a program folder without site.ini
    frmSetup setup;
    WhileOpen(setup, [&] {
        QVERIFY(child<QCheckBox>(&setup, "chkShowSaveQuoteOnSave")->isChecked());
        QVERIFY(child<QCheckBox>(&setup, "chkShowSaveQuoteOnEmail")->isChecked());
        QVERIFY(child<QCheckBox>(&setup, "chkSetContactManager")->isChecked());
        QVERIFY(!child<QCheckBox>(&setup, "chkDebugMode")->isChecked());
        QCOMPARE(child<QLineEdit>(&setup, "txtAppName")->text(), QString());
        QCOMPARE(child<QLineEdit>(&setup, "txtAPIKey")->text(), QString());
        QCOMPARE(child<QLineEdit>(&setup, "txtContactNotesActionDescription")->text(), kTemplate);
        QCOMPARE(child<QLineEdit>(&setup, "txtContactNotesCreationNotes")->text(), kTemplate);
        QCOMPARE(child<QLabel>(&setup, "lblPluginStatus")->text(),
                 QStringLiteral("Plugin needs to be installed, press 'Install' button."));
        QCOMPARE(child<QLabel>(&setup, "lblAppNameInfo")->text(),
                 QStringLiteral("Application Name -  This is the subdomain of the URL you use "
                                "when you access your Infusionsoft account, eg: "
                                "https://example.infusionsoft.com  ('example' is the name)."));
        // A new configuration speaks REST v2; its key is a service account key or a
        // personal access token. Choosing XML-RPC shows where its encrypted key is.
        auto* interfaces = child<QComboBox>(&setup, "cboInterface");
        QCOMPARE(interfaces->currentText(), QStringLiteral("REST v2"));
        QVERIFY(child<QLabel>(&setup, "lblAPIKeyInfo")
                    ->text()
                    .startsWith(QStringLiteral("API Key - A Service Account Key or a Personal "
                                               "Access Token.")));
        interfaces->setCurrentIndex(interfaces->findText(QStringLiteral("XML-RPC")));
        QCOMPARE(child<QLabel>(&setup, "lblAPIKeyInfo")->text(),
                 QStringLiteral("API Key - To obtain the key you need to Log into Infusionsoft, "
                                "and then go into the following section:\r\n\r\n"
                                "Setup -> Misc Settings -> Application Settings -> Miscellaneous "
                                "-> API -> Encrypted Key.\r\n\r\n"
                                "If the key does not exist, enter a Passphrase and Save the info "
                                "to get a key."));
    });
    QCOMPARE(scope.boxes->texts(), QStringList{"Unable to find QuoteWerks - Site.ini file."});
}

void TestFrmSetup::storedValuesAndInstalledStatus() {
    CoreTestScope scope;
    scope.attachFakeHost();
    SetPluginExecutablePathOverride(QStringLiteral("/opt/pellwick/bin/pellwick"));
    QFile ini(scope.folder() + QStringLiteral("/site.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Addons]\r\nAutoRun2=/opt/pellwick/bin/pellwick\r\n");
    ini.close();
    scope.store(QStringLiteral("InfusionsoftAppName"), QStringLiteral("362616")); // "abc"
    WriteInfusionsoftAPIKeyToRegistry(QStringLiteral("key with blanks "));
    scope.store(setting::ShowSaveQuoteOnSave, QStringLiteral("0"));
    scope.store(setting::ShowSaveQuoteOnEmail, QStringLiteral("2"));        // not 1: clear
    scope.store(setting::SetContactManagerSetting, QStringLiteral("junk")); // default: ticked
    scope.store(setting::DebugMode, QStringLiteral("1"));
    scope.store(setting::ContactNotesActionDescription, QStringLiteral("Quote [QUOTE_NO]"));
    scope.store(setting::InfusionsoftServiceDomain, QStringLiteral("crm.example.test"));

    frmSetup setup;
    WhileOpen(setup, [&] {
        QVERIFY(!child<QCheckBox>(&setup, "chkShowSaveQuoteOnSave")->isChecked());
        QVERIFY(!child<QCheckBox>(&setup, "chkShowSaveQuoteOnEmail")->isChecked());
        QVERIFY(child<QCheckBox>(&setup, "chkSetContactManager")->isChecked());
        QVERIFY(child<QCheckBox>(&setup, "chkDebugMode")->isChecked());
        QCOMPARE(child<QLineEdit>(&setup, "txtAppName")->text(), QStringLiteral("abc"));
        QCOMPARE(child<QLineEdit>(&setup, "txtAPIKey")->text(), QStringLiteral("key with blanks "));
        QCOMPARE(child<QLineEdit>(&setup, "txtContactNotesActionDescription")->text(),
                 QStringLiteral("Quote [QUOTE_NO]"));
        QCOMPARE(child<QLineEdit>(&setup, "txtContactNotesCreationNotes")->text(), kTemplate);
        QCOMPARE(child<QLabel>(&setup, "lblPluginStatus")->text(),
                 QStringLiteral("Plugin is currently installed."));
        QVERIFY(child<QLabel>(&setup, "lblAppNameInfo")
                    ->text()
                    .contains(QStringLiteral("eg: https://example.crm.example.test  ('example'")));
    });
    SetPluginExecutablePathOverride(QString());
    QVERIFY(scope.boxes->boxes().empty());
}

void TestFrmSetup::cancelStoresNothing() {
    CoreTestScope scope;
    scope.attachFakeHost();
    frmSetup setup;
    WhileOpen(setup, [&] {
        child<QCheckBox>(&setup, "chkDebugMode")->setChecked(true);
        child<QLineEdit>(&setup, "txtAppName")->setText(QStringLiteral("abc"));
    });
    QCOMPARE(ReadSetting(setting::DebugMode), QStringLiteral("0"));
    QCOMPARE(ReadSetting(setting::InfusionsoftAppName), QString());
    QVERIFY(!QFile::exists(scope.folder() + QStringLiteral("/site.ini")));
}

void TestFrmSetup::installRemoveAndAppFolderButtons() {
    CoreTestScope scope;
    scope.attachFakeHost();
    const QString exe = QStringLiteral("/opt/pellwick/bin/pellwick");
    SetPluginExecutablePathOverride(exe);
    const QString siteIni = scope.folder() + QStringLiteral("/site.ini");
    QFile ini(siteIni);
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Addons]\r\nAutoRun1=/opt/other/tool\r\n");
    ini.close();
    // Where OK's connection test fails at once.
    scope.useLocalEndpoint(ClosedLoopbackPort());
    auto iniValue = [&](const char* key) {
        return QSettings(siteIni, QSettings::IniFormat).value(QString::fromLatin1(key));
    };

    frmSetup setup;
    WhileOpen(setup, [&] {
        auto* status = child<QLabel>(&setup, "lblPluginStatus");
        QCOMPARE(status->text(),
                 QStringLiteral("Plugin needs to be installed, press 'Install' button."));

        scope.boxes->QueueAnswer(MsgAnswer::No);
        child<QPushButton>(&setup, "cmdInstallPlugin")->click();
        QCOMPARE(status->text(), QStringLiteral("Plugin is currently installed."));
        QCOMPARE(iniValue("Addons/AutoRun2").toString(), exe);
        QCOMPARE(iniValue("Addons/AutoRun1").toString(), QStringLiteral("/opt/other/tool"));
        QCOMPARE(Shown(scope.boxes->boxes().back()),
                 IntegrationBox(QStringLiteral("Pellwick is now integrated into QuoteWerks.\r\n\r\n"
                                               "The next time QuoteWerks is loaded, this plugin "
                                               "will automatically be loaded.\r\n\r\n"
                                               "Would you like to close the plugin?"),
                                MsgIcon::Information, MsgButtons::YesNo));
        QCOMPARE(scope.boxes->boxes().back().defaultButton, MsgAnswer::No);
        QVERIFY(setup.isVisible());

        child<QPushButton>(&setup, "cmdInstallPlugin")->click();
        QCOMPARE(scope.boxes->texts().back(), QStringLiteral("Plugin is already installed."));
        QCOMPARE(scope.boxes->boxes().back().icon, MsgIcon::Information);

        child<QPushButton>(&setup, "cmdRemovePlugin")->click();
        QCOMPARE(status->text(),
                 QStringLiteral("Plugin needs to be installed, press 'Install' button."));
        QCOMPARE(Shown(scope.boxes->boxes().back()),
                 IntegrationBox(QStringLiteral("The Pellwick is now removed from QuoteWerks."),
                                MsgIcon::Information));
        QVERIFY(!iniValue("Addons/AutoRun2").isValid());

        // Yes runs the window's SaveSettings; its connection test fails here, so the
        // program is not closed and the window stays open.
        scope.boxes->clear();
        scope.boxes->QueueAnswer(MsgAnswer::Yes);
        child<QPushButton>(&setup, "cmdInstallPlugin")->click();
        QCOMPARE(scope.boxes->texts().size(), 2);
        QCOMPARE(scope.boxes->texts().back(),
                 QStringLiteral("Unable to connect to your Infusionsoft Account.\r\n"
                                "Please check your settings are correct."));
        QCOMPARE(iniValue("Contact Managers/DefaultContactManager").toString(),
                 QStringLiteral("10"));
        QCOMPARE(scope.mainWindow.ended, 0);
        QVERIFY(setup.isVisible());

        // The button names the debug log and shows its folder (the program's stand-in
        // here, which is writable).
        QVERIFY(child<QPushButton>(&setup, "cmdOpenAppFolder")
                    ->toolTip()
                    .endsWith(QStringLiteral("\nDebug log: ") + scope.debugLogPath()));
        child<QPushButton>(&setup, "cmdOpenAppFolder")->click();
        QCOMPARE(scope.shell->opened().size(), size_t(1));
        QCOMPARE(scope.shell->opened().front().toLocalFile(), scope.folder());
    });
    SetPluginExecutablePathOverride(QString());
}

void TestFrmSetup::installAndRemoveNameWhatStoppedThem() {
    CoreTestScope scope;
    scope.attachFakeHost();
    SetPluginExecutablePathOverride(QStringLiteral("/opt/pellwick/bin/pellwick"));
    const QString siteIni = scope.folder() + QStringLiteral("/site.ini");
    auto writeReadOnly = [&](const QByteArray& content) {
        QFile::remove(siteIni);
        QFile ini(siteIni);
        QVERIFY(ini.open(QIODevice::WriteOnly) && ini.write(content) == content.size());
        ini.close();
        QVERIFY(ini.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    };
    const QString readOnly =
        QStringLiteral("\r\n\r\n") + siteIni + QStringLiteral(" is read-only.");
    frmSetup setup;
    auto* status = child<QLabel>(&setup, "lblPluginStatus");

    writeReadOnly("[addons]\nAutoRun1=/opt/pellwick/bin/pellwick\n");
    setup.cmdRemovePlugin_Click();
    QCOMPARE(status->text(), QStringLiteral("Plugin is currently installed."));
    QCOMPARE(Shown(scope.boxes->boxes().back()),
             IntegrationBox(QStringLiteral("There was a problem removing the Pellwick.") + readOnly,
                            MsgIcon::Critical));

    writeReadOnly("[addons]\n");
    setup.cmdInstallPlugin_Click();
    QCOMPARE(status->text(),
             QStringLiteral("Plugin needs to be installed, press 'Install' button."));
    QCOMPARE(Shown(scope.boxes->boxes().back()),
             IntegrationBox(QStringLiteral("There was a problem installing the Plugin into "
                                           "QuoteWerks.\r\n\r\nQuoteWerks will unable to load "
                                           "the plugin automatically.") +
                                readOnly,
                            MsgIcon::Critical));
    QCOMPARE(scope.boxes->boxes().size(), size_t(2));

    // With a folder where site.ini belongs, Remove says only that.
    QFile::remove(siteIni);
    QVERIFY(QDir().mkdir(siteIni));
    setup.cmdRemovePlugin_Click();
    QCOMPARE(Shown(scope.boxes->boxes().back()),
             Shown(QStringLiteral("Pellwick"), MsgIcon::Critical, MsgButtons::Ok,
                   QStringLiteral("Unable to find QuoteWerks - Site.ini file.\r\n\r\n") + siteIni +
                       QStringLiteral(" is a folder, not a file.")));
    QCOMPARE(scope.boxes->boxes().size(), size_t(3));
    SetPluginExecutablePathOverride(QString());
}

void TestFrmSetup::unwritableStoreFailsOk() {
    CoreTestScope scope;
    scope.attachFakeHost();
    // Neither the host's site.ini (a folder stands in its place) nor the store (its
    // folder cannot be created: its parent is a plain file) can be written.
    QVERIFY(QDir().mkpath(scope.folder() + QStringLiteral("/site.ini")));
    const QString blocker = scope.folder() + QStringLiteral("/blocker");
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    SetSettingsFileOverride(blocker + QStringLiteral("/Pellwick.conf"));
    frmSetup setup;
    bool stillOpen = false;
    WhileOpen(setup, [&] {
        child<QLineEdit>(&setup, "txtAppName")->setText(QStringLiteral("abc"));
        child<QPushButton>(&setup, "cmdOK")->click();
        stillOpen = setup.isVisible();
    });
    SetSettingsFileOverride(scope.settingsFile());
    QVERIFY(stillOpen);
    const QStringList texts = scope.boxes->texts();
    QCOMPARE(texts.size(), 3); // site.ini unreadable, not written, then the report
    QVERIFY2(
        texts[1].startsWith(QStringLiteral("QuoteWerks' contact manager could not be set in ") +
                            scope.folder() + QStringLiteral("/site.ini:\r\n")),
        qPrintable(texts[1]));
    const MessageBoxRequest& report = scope.boxes->boxes().back();
    QCOMPARE(report.title, QStringLiteral("Pellwick Error"));
    QVERIFY2(report.text.contains(QStringLiteral("Error Section: cmdOK_Click")),
             qPrintable(report.text));
    QVERIFY2(report.text.contains(QStringLiteral("SetContactManagerSetting could not be stored")),
             qPrintable(report.text));
    QVERIFY2(report.text.contains(QStringLiteral("The settings file ") + blocker +
                                  QStringLiteral("/Pellwick.conf cannot be written.")),
             qPrintable(report.text));
    QVERIFY(!State().InfusionsoftConnection);
}

QTEST_MAIN(TestFrmSetup)
#include "tst_frmSetup.moc"
