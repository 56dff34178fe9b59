#include "pellwick/setup/frmSetup.h"

#include "AddonRegistration.h"
#include "SetupSupport.h"
#include "clsINIFile.h"
#include "pellwick/CrmCalls.h"
#include "pellwick/ErrorReport.h"
#include "pellwick/MainWindowLink.h"
#include "pellwick/MessageBox.h"
#include "pellwick/ProgramState.h"
#include "pellwick/modMain.h"
#include "pellwick/modQWAPI.h"
#include "pellwick/modRegistry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cstdint>
#include <tessary/clsInfusionsoftAPI.h>
#include <utility>

namespace pellwick {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kDefaultNoteTemplate = QStringLiteral("[QUOTE_NAME] <[QUOTE_NO]>");

template <typename W> W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel* wrappingLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = named(new QLabel(text, parent), name);
    label->setWordWrap(true);
    return label;
}

// A value the store refused would leave the user believing a setting was saved that the
// next start does not find, so a refused write fails OK (error report, window open).
void Stored(const QString& valueName, std::int32_t status) {
    if (status != 0)
        throw ProgramError(errnum::PathFileAccess,
                           QStringLiteral("The setting %1 could not be stored (status %2). %3")
                               .arg(valueName)
                               .arg(status)
                               .arg(LastSettingsWriteRefusal()));
}

// The window takes no input while the connection is tested off the user-interface
// thread: it repaints, but a second OK (or a change under the test) cannot come in.
class WindowHeld {
public:
    explicit WindowHeld(QWidget* window) : m_window(window) { m_window->setEnabled(false); }
    ~WindowHeld() { m_window->setEnabled(true); }
    WindowHeld(const WindowHeld&) = delete;
    WindowHeld& operator=(const WindowHeld&) = delete;

private:
    QWidget* m_window;
};

// A check box value as the settings store keeps it: "1" ticked, "0" clear.
QString checkValue(const QCheckBox* box) {
    return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}
} // namespace

frmSetup::frmSetup(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSetup"));
    setWindowTitle(QStringLiteral("Pellwick - Configuration"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(9);
    setFont(font);

    tabMain = named(new QTabWidget(this), "tabMain");
    auto* pageQuoteWerks = new QWidget(tabMain);
    pageQuoteWerks->setObjectName(QStringLiteral("tabQuoteWerks"));
    auto* pageInfusionsoft = new QWidget(tabMain);
    pageInfusionsoft->setObjectName(QStringLiteral("tabInfusionsoft"));
    buildQuoteWerksPage(pageQuoteWerks);
    buildInfusionsoftPage(pageInfusionsoft);
    tabMain->addTab(pageQuoteWerks, QStringLiteral("QuoteWerks"));
    tabMain->addTab(pageInfusionsoft, QStringLiteral("Infusionsoft"));

    cmdOK = named(new QPushButton(QStringLiteral("OK"), this), "cmdOK");
    cmdOK->setDefault(true);
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
    for (QPushButton* button : {cmdOK, cmdCancel})
        button->setMinimumWidth(85);
    connect(cmdOK, &QPushButton::clicked, this, &frmSetup::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSetup::cmdCancel_Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabMain);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    resize(620, 480);
}

void frmSetup::buildQuoteWerksPage(QWidget* page) {
    fraPluginStatus =
        named(new QGroupBox(QStringLiteral("Plugin Status"), page), "fraPluginStatus");
    lblPluginStatus = wrappingLabel(fraPluginStatus, "lblPluginStatus", QString());
    cmdInstallPlugin =
        named(new QPushButton(QStringLiteral("Install Plugin Into QuoteWerks"), fraPluginStatus),
              "cmdInstallPlugin");
    cmdRemovePlugin =
        named(new QPushButton(QStringLiteral("Remove Plugin From QuoteWerks"), fraPluginStatus),
              "cmdRemovePlugin");
    connect(cmdInstallPlugin, &QPushButton::clicked, this, &frmSetup::cmdInstallPlugin_Click);
    connect(cmdRemovePlugin, &QPushButton::clicked, this, &frmSetup::cmdRemovePlugin_Click);
    auto* statusLayout = new QVBoxLayout(fraPluginStatus);
    statusLayout->addWidget(lblPluginStatus);
    auto* statusButtons = new QHBoxLayout;
    statusButtons->addWidget(cmdInstallPlugin);
    statusButtons->addWidget(cmdRemovePlugin);
    statusLayout->addLayout(statusButtons);

    fraIntegrationOptions =
        named(new QGroupBox(QStringLiteral("Integration Options"), page), "fraIntegrationOptions");
    chkShowSaveQuoteOnSave =
        named(new QCheckBox(QStringLiteral("Show the Save Quote window when the quote is saved."),
                            fraIntegrationOptions),
              "chkShowSaveQuoteOnSave");
    chkShowSaveQuoteOnEmail = named(
        new QCheckBox(
            QStringLiteral("Show the Save Quote window when the quote is going to be emailed."),
            fraIntegrationOptions),
        "chkShowSaveQuoteOnEmail");
    chkSetContactManager = named(
        new QCheckBox(QStringLiteral("Set the Contact Manager to search Infusionsoft Contacts."),
                      fraIntegrationOptions),
        "chkSetContactManager");
    auto* optionsLayout = new QVBoxLayout(fraIntegrationOptions);
    optionsLayout->addWidget(chkShowSaveQuoteOnSave);
    optionsLayout->addWidget(chkShowSaveQuoteOnEmail);
    optionsLayout->addWidget(chkSetContactManager);

    fraAdvanced = named(new QGroupBox(QStringLiteral("Advanced"), page), "fraAdvanced");
    chkDebugMode = named(
        new QCheckBox(QStringLiteral("Debug Mode (Turn on if there is problems)."), fraAdvanced),
        "chkDebugMode");
    cmdOpenAppFolder =
        named(new QPushButton(QStringLiteral("Open App Folder"), fraAdvanced), "cmdOpenAppFolder");
    cmdOpenAppFolder->setToolTip(
        QStringLiteral("Open the Application Folder to see the Debug Log File."));
    connect(cmdOpenAppFolder, &QPushButton::clicked, this, &frmSetup::cmdOpenAppFolder_Click);
    auto* advancedLayout = new QHBoxLayout(fraAdvanced);
    advancedLayout->addWidget(chkDebugMode, 1);
    advancedLayout->addWidget(cmdOpenAppFolder);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(fraPluginStatus);
    layout->addWidget(fraIntegrationOptions);
    layout->addWidget(fraAdvanced);
    layout->addStretch(1);
}

void frmSetup::buildInfusionsoftPage(QWidget* page) {
    fraConnectionSettings =
        named(new QGroupBox(QStringLiteral("Connection Settings"), page), "fraConnectionSettings");
    lblInterfaceField = named(new QLabel(QStringLiteral("&Interface:"), fraConnectionSettings),
                              "lblInterfaceField");
    cboInterface = named(new QComboBox(fraConnectionSettings), "cboInterface");
    {
        const QSignalBlocker quiet(cboInterface);
        cboInterface->addItem(QStringLiteral("REST v2"), kInterfaceRestV2);
        cboInterface->addItem(QStringLiteral("XML-RPC"), kInterfaceXmlRpc);
    }
    cboInterface->setToolTip(QStringLiteral(
        "REST v2 is the CRM's current interface; XML-RPC is being retired by the CRM."));
    lblInterfaceField->setBuddy(cboInterface);
    connect(cboInterface, &QComboBox::currentIndexChanged, this, &frmSetup::cboInterface_Click);
    lblAppNameField = named(new QLabel(QStringLiteral("Application Name:"), fraConnectionSettings),
                            "lblAppNameField");
    txtAppName = named(new QLineEdit(fraConnectionSettings), "txtAppName");
    lblAppNameInfo = wrappingLabel(fraConnectionSettings, "lblAppNameInfo",
                                   AppNameInfoText(ConfiguredServiceDomain()));
    lblAPIKeyField =
        named(new QLabel(QStringLiteral("API Key:"), fraConnectionSettings), "lblAPIKeyField");
    txtAPIKey = named(new QLineEdit(fraConnectionSettings), "txtAPIKey");
    lblAPIKeyInfo =
        wrappingLabel(fraConnectionSettings, "lblAPIKeyInfo", QStringLiteral("* AUTO FILLED *"));
    lblAppNameField->setBuddy(txtAppName);
    lblAPIKeyField->setBuddy(txtAPIKey);
    auto* connection = new QGridLayout(fraConnectionSettings);
    connection->addWidget(lblInterfaceField, 0, 0);
    connection->addWidget(cboInterface, 0, 1);
    connection->addWidget(lblAppNameField, 1, 0);
    connection->addWidget(txtAppName, 1, 1);
    connection->addWidget(lblAppNameInfo, 2, 0, 1, 2);
    connection->addWidget(lblAPIKeyField, 3, 0);
    connection->addWidget(txtAPIKey, 3, 1);
    connection->addWidget(lblAPIKeyInfo, 4, 0, 1, 2);

    fraMiscOptions =
        named(new QGroupBox(QStringLiteral("Contact Notes Settings"), page), "fraMiscOptions");
    lblContactNotesSettings =
        wrappingLabel(fraMiscOptions, "lblContactNotesSettings",
                      QStringLiteral("Set how the Contact Notes - Action Description or Creation "
                                     "Notes field should appear if adding the Quote information "
                                     "into the Contact Record."));
    lblContactNotesActionDescription =
        named(new QLabel(QStringLiteral("Action Description:"), fraMiscOptions),
              "lblContactNotesActionDescription");
    txtContactNotesActionDescription = named(new QLineEdit(kDefaultNoteTemplate, fraMiscOptions),
                                             "txtContactNotesActionDescription");
    lblContactNotesCreationNotes =
        named(new QLabel(QStringLiteral("Creation Notes:"), fraMiscOptions),
              "lblContactNotesCreationNotes");
    txtContactNotesCreationNotes =
        named(new QLineEdit(kDefaultNoteTemplate, fraMiscOptions), "txtContactNotesCreationNotes");
    lblContactNotesShortcodes = wrappingLabel(
        fraMiscOptions, "lblContactNotesShortcodes",
        QStringLiteral("Short Codes: [QUOTE_NAME] - Name of Quote  |  [QUOTE_NO] - Quote Number"));
    lblContactNotesActionDescription->setBuddy(txtContactNotesActionDescription);
    lblContactNotesCreationNotes->setBuddy(txtContactNotesCreationNotes);
    auto* notes = new QGridLayout(fraMiscOptions);
    notes->addWidget(lblContactNotesSettings, 0, 0, 1, 2);
    notes->addWidget(lblContactNotesActionDescription, 1, 0);
    notes->addWidget(txtContactNotesActionDescription, 1, 1);
    notes->addWidget(lblContactNotesCreationNotes, 2, 0);
    notes->addWidget(txtContactNotesCreationNotes, 2, 1);
    notes->addWidget(lblContactNotesShortcodes, 3, 0, 1, 2);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(fraConnectionSettings);
    layout->addWidget(fraMiscOptions);
    layout->addStretch(1);
}

QString frmSetup::AppNameInfoText(const QString& serviceDomain) {
    return QStringLiteral("Application Name -  This is the subdomain of the URL you use when you "
                          "access your Infusionsoft account, eg: https://example.") +
           serviceDomain + QStringLiteral("  ('example' is the name).");
}

QString frmSetup::APIKeyInfoText(bool restV2) {
    if (restV2)
        return QStringLiteral("API Key - A Service Account Key or a Personal Access Token. To "
                              "obtain one you need to Log into Infusionsoft, and then go into "
                              "the following section:") +
               kCrLf + kCrLf + QStringLiteral("Settings -> API Settings.") + kCrLf + kCrLf +
               QStringLiteral("A Service Account Key (made by an administrator) sees all "
                              "records; a Personal Access Token sees what its user sees.");
    return QStringLiteral("API Key - To obtain the key you need to Log into Infusionsoft, and then "
                          "go into the following section:") +
           kCrLf + kCrLf +
           QStringLiteral(
               "Setup -> Misc Settings -> Application Settings -> Miscellaneous -> API -> "
               "Encrypted Key.") +
           kCrLf + kCrLf +
           QStringLiteral(
               "If the key does not exist, enter a Passphrase and Save the info to get a key.");
}

void frmSetup::ShowForm() {
    const bool filled = Guarded("ShowForm", false, [&] {
        chkSetContactManager->setChecked(ReadFlagSetting(setting::SetContactManagerSetting));
        chkShowSaveQuoteOnSave->setChecked(ReadFlagSetting(setting::ShowSaveQuoteOnSave));
        chkShowSaveQuoteOnEmail->setChecked(ReadFlagSetting(setting::ShowSaveQuoteOnEmail));
        chkDebugMode->setChecked(ReadFlagSetting(setting::DebugMode));
        CheckPluginStatus();
        {
            const QSignalBlocker quiet(cboInterface);
            cboInterface->setCurrentIndex(
                cboInterface->findData(ReadRestV2Setting() ? kInterfaceRestV2 : kInterfaceXmlRpc));
        }
        txtAppName->setText(GetInfusionsoftAppNameFromRegistry());
        txtAPIKey->setText(GetInfusionsoftAPIKeyFromRegistry());
        lblAppNameInfo->setText(AppNameInfoText(ConfiguredServiceDomain()));
        lblAPIKeyInfo->setText(APIKeyInfoText(RestV2Chosen()));
        // The log is beside the program only where the user may write; say where it is.
        cmdOpenAppFolder->setToolTip(
            QStringLiteral("Open the Application Folder to see the Debug Log File.\nDebug log: ") +
            QDir::toNativeSeparators(DebugLogPath()));
        txtContactNotesActionDescription->setText(
            GetInfusionsoftContactNotesActionDescriptionFromRegistry());
        txtContactNotesCreationNotes->setText(
            GetInfusionsoftContactNotesCreationNotesFromRegistry());
        tabMain->setCurrentIndex(0);
        return true;
    });
    if (filled)
        exec();
}

bool frmSetup::SaveSettings() {
    return Guarded("cmdOK_Click", false, [&] { return SaveSettingsSteps(); });
}

bool frmSetup::SaveSettingsSteps() {
    // The host's contact manager entry, in the same file as its add-on list. Without it
    // the rest still works: say so and go on.
    {
        clsINIFile ini;
        ini.SetPath(SiteIniPath(HostProgramFolder()));
        ini.SetSection(QStringLiteral("Contact Managers"));
        ini.SetKey(QStringLiteral("DefaultContactManager"));
        ini.SetValue(QStringLiteral("10"));
        if (!ini.Success())
            MsgBox(QStringLiteral("QuoteWerks' contact manager could not be set in ") +
                       QDir::toNativeSeparators(ini.Path()) + QLatin1Char(':') + kCrLf +
                       ini.LastError(),
                   MsgIcon::Exclamation);
    }

    for (const auto& [name, box] :
         {std::pair{setting::SetContactManagerSetting, chkSetContactManager},
          std::pair{setting::ShowSaveQuoteOnSave, chkShowSaveQuoteOnSave},
          std::pair{setting::ShowSaveQuoteOnEmail, chkShowSaveQuoteOnEmail},
          std::pair{setting::DebugMode, chkDebugMode}})
        Stored(name, WriteSetting(name, checkValue(box)));

    const QString applicationName = txtAppName->text().trimmed();
    const QString apiKey = txtAPIKey->text().trimmed();

    // The shared connection stays as it is until the new values have passed the test.
    // The test runs on the CRM worker, the window held meanwhile.
    const std::shared_ptr<tessary::clsInfusionsoftAPI> trial = NewTrialConnection(RestV2Chosen());
    trial->SetupConnection(applicationName.toStdString(), apiKey.toStdString());
    const bool connected = [&] {
        const WindowHeld held(this);
        return CrmCall(trial, [&] { return trial->TestConnection(); });
    }();
    if (!connected) {
        MsgBox(QStringLiteral("Unable to connect to your Infusionsoft Account.") + kCrLf +
                   QStringLiteral("Please check your settings are correct."),
               MsgIcon::Critical);
        return false;
    }

    Stored(setting::InfusionsoftInterface,
           WriteSetting(setting::InfusionsoftInterface, cboInterface->currentData().toString()));
    Stored(setting::InfusionsoftAppName, WriteInfusionsoftAppNameToRegistry(applicationName));
    Stored(setting::InfusionsoftAPIKey, WriteInfusionsoftAPIKeyToRegistry(apiKey));
    Stored(setting::ContactNotesActionDescription,
           WriteSetting(setting::ContactNotesActionDescription,
                        txtContactNotesActionDescription->text()));
    Stored(setting::ContactNotesCreationNotes,
           WriteSetting(setting::ContactNotesCreationNotes, txtContactNotesCreationNotes->text()));

    ReadSettings();
    {
        const WindowHeld held(this);
        SetupInfusionsoftConnection();
    }
    if (CheckIfPluginIsInstalled()) {
        if (MainWindowLink* mainWindow = State().MainWindow)
            mainWindow->SetInfoText(QStringLiteral("QuoteWerks and Pellwick is running."));
    }
    return true;
}

bool frmSetup::RestV2Chosen() const {
    return cboInterface->currentData().toString() == kInterfaceRestV2;
}

void frmSetup::cboInterface_Click() {
    Guarded("cboInterface_Click", [&] { lblAPIKeyInfo->setText(APIKeyInfoText(RestV2Chosen())); });
}

void frmSetup::cmdOK_Click() {
    if (SaveSettings())
        accept();
}

void frmSetup::cmdCancel_Click() {
    Guarded("cmdCancel_Click", [&] { reject(); });
}

void frmSetup::cmdOpenAppFolder_Click() {
    Guarded("cmdOpenAppFolder_Click", [&] { OpenPluginApplicationFolder(); });
}

// The add-on list's procedures report their own failures; the window lends them its
// status label and SaveSettings.
PluginSetupHooks frmSetup::Hooks() {
    PluginSetupHooks hooks;
    hooks.SetPluginStatus = [this](const QString& text) { lblPluginStatus->setText(text); };
    hooks.SaveSettings = [this] { return SaveSettings(); };
    return hooks;
}

bool frmSetup::CheckPluginStatus() {
    return ::pellwick::CheckPluginStatus(Hooks().SetPluginStatus);
}

void frmSetup::cmdInstallPlugin_Click() {
    ::pellwick::cmdInstallPlugin_Click(Hooks());
}

void frmSetup::cmdRemovePlugin_Click() {
    ::pellwick::cmdRemovePlugin_Click(Hooks());
}

} // namespace pellwick
