// The configuration window's Plugin Status frame: the status label and what the Install
// and Remove buttons show of the add-on list's answers.

#include "pellwick/ErrorReport.h"
#include "pellwick/MainWindowLink.h"
#include "pellwick/MessageBox.h"
#include "pellwick/ProgramState.h"
#include "pellwick/addons/AddonRegistration.h"
#include "pellwick/setup/frmSetup.h"

#include <QLabel>

namespace pellwick {

namespace {
const QString kIntegrationTitle = QStringLiteral("Pellwick - Integration");

// A reason appended to one of the fixed messages, after an empty line.
QString WithCause(const QString& message, const QString& cause) {
    return cause.isEmpty() ? message : message + QStringLiteral("\r\n\r\n") + cause;
}

void ShowProblem(const QString& message, const QString& cause) {
    MsgBox(WithCause(message, cause), MsgIcon::Critical, MsgButtons::Ok, kIntegrationTitle);
}
} // namespace

void frmSetup::ShowPluginStatus(bool installed) {
    lblPluginStatus->setText(installed
                                 ? QStringLiteral("Plugin is currently installed.")
                                 : QStringLiteral("Plugin needs to be installed, press 'Install' "
                                                  "button."));
}

bool frmSetup::CheckPluginStatus() {
    return Guarded("CheckPluginStatus", false, [&] {
        const bool installed = CheckIfPluginIsInstalled();
        ShowPluginStatus(installed);
        return installed;
    });
}

void frmSetup::cmdInstallPlugin_Click() {
    Guarded("cmdInstallPlugin_Click", [&] { ShowInstallResult(InstallPlugin()); });
}

void frmSetup::cmdRemovePlugin_Click() {
    Guarded("cmdRemovePlugin_Click", [&] { ShowRemoveResult(RemovePlugin()); });
}

void frmSetup::ShowInstallResult(const RegistrationResult& result) {
    if (result.outcome == RegistrationResult::Outcome::AlreadyInstalled) {
        MsgBox(QStringLiteral("Plugin is already installed."), MsgIcon::Information);
        return;
    }
    ShowPluginStatus(result.listed);
    if (result.outcome != RegistrationResult::Outcome::Installed) {
        ShowProblem(QStringLiteral("There was a problem installing the Plugin into QuoteWerks."
                                   "\r\n\r\nQuoteWerks will unable to load the plugin "
                                   "automatically."),
                    result.cause);
        return;
    }
    const MsgAnswer answer =
        MsgBox(QStringLiteral("Pellwick is now integrated into QuoteWerks.\r\n\r\n"
                              "The next time QuoteWerks is loaded, this plugin will "
                              "automatically be loaded.\r\n\r\n"
                              "Would you like to close the plugin?"),
               MsgIcon::Information, MsgButtons::YesNo, kIntegrationTitle, MsgAnswer::No);
    // The program ends only with the settings kept: a failed save leaves the window open.
    if (answer == MsgAnswer::Yes && SaveSettings()) {
        if (MainWindowLink* mainWindow = State().MainWindow)
            mainWindow->EndProgram();
    }
}

void frmSetup::ShowRemoveResult(const RegistrationResult& result) {
    if (result.outcome == RegistrationResult::Outcome::NoSiteIni) {
        MsgBox(NoSiteIniMessage(result.cause), MsgIcon::Critical);
        return;
    }
    ShowPluginStatus(result.listed);
    if (result.listed)
        ShowProblem(QStringLiteral("There was a problem removing the Pellwick."), result.cause);
    else
        MsgBox(QStringLiteral("The Pellwick is now removed from QuoteWerks."), MsgIcon::Information,
               MsgButtons::Ok, kIntegrationTitle);
}

} // namespace pellwick
