#include "pellwick/setup/frmSetup.h"

#include "SetupSupport.h"
#include "pellwick/CrmCalls.h"
#include "pellwick/ErrorReport.h"
#include "pellwick/MainWindowLink.h"
#include "pellwick/MessageBox.h"
#include "pellwick/ProgramState.h"
#include "pellwick/addons/AddonRegistration.h"
#include "pellwick/addons/clsINIFile.h"
#include "pellwick/host/QuoteWerksApp.h"
#include "pellwick/modMain.h"
#include "pellwick/modQWAPI.h"
#include "pellwick/modRegistry.h"
#include "ui_frmSetup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <cstdint>
#include <tessary/clsInfusionsoftAPI.h>
#include <utility>

namespace pellwick {

namespace {

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

frmSetup::frmSetup(QWidget* parent, WindowDoors doors)
    : QDialog(parent), ui_(std::make_unique<Ui::frmSetup>()), m_doors(std::move(doors)) {
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    BindControls();
    {
        const QSignalBlocker quiet(cboInterface);
        cboInterface->addItem(QStringLiteral("REST v2"), kInterfaceRestV2);
        cboInterface->addItem(QStringLiteral("XML-RPC"), kInterfaceXmlRpc);
    }
    lblAppNameInfo->setText(AppNameInfoText(ConfiguredServiceDomain()));

    connect(cmdOK, &QPushButton::clicked, this, &frmSetup::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSetup::cmdCancel_Click);
    connect(cmdInstallPlugin, &QPushButton::clicked, this, &frmSetup::cmdInstallPlugin_Click);
    connect(cmdRemovePlugin, &QPushButton::clicked, this, &frmSetup::cmdRemovePlugin_Click);
    connect(cmdOpenAppFolder, &QPushButton::clicked, this, &frmSetup::cmdOpenAppFolder_Click);
    connect(cboInterface, &QComboBox::currentIndexChanged, this, &frmSetup::cboInterface_Click);
}

frmSetup::~frmSetup() = default;

// The handlers reach the controls by their names in frmSetup.ui.
void frmSetup::BindControls() {
    tabMain = ui_->tabMain;
    lblPluginStatus = ui_->lblPluginStatus;
    cmdInstallPlugin = ui_->cmdInstallPlugin;
    cmdRemovePlugin = ui_->cmdRemovePlugin;
    chkShowSaveQuoteOnSave = ui_->chkShowSaveQuoteOnSave;
    chkShowSaveQuoteOnEmail = ui_->chkShowSaveQuoteOnEmail;
    chkSetContactManager = ui_->chkSetContactManager;
    chkDebugMode = ui_->chkDebugMode;
    cmdOpenAppFolder = ui_->cmdOpenAppFolder;
    cboInterface = ui_->cboInterface;
    txtAppName = ui_->txtAppName;
    lblAppNameInfo = ui_->lblAppNameInfo;
    txtAPIKey = ui_->txtAPIKey;
    lblAPIKeyInfo = ui_->lblAPIKeyInfo;
    txtContactNotesActionDescription = ui_->txtContactNotesActionDescription;
    txtContactNotesCreationNotes = ui_->txtContactNotesCreationNotes;
    cmdOK = ui_->cmdOK;
    cmdCancel = ui_->cmdCancel;
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
        ini.SetPath(SiteIniPath(m_doors.Host().ProgramFolder()));
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

} // namespace pellwick
