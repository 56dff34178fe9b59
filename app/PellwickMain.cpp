#include "PellwickMain.h"

#include "pellwick/DesktopSeams.h"
#include "pellwick/ProgramState.h"
#include "pellwick/contacts/ContactsWindow.h"
#include "pellwick/host/DBusQuoteWerksApp.h"
#include "pellwick/opportunities/OpportunitiesWindow.h"
#include "pellwick/savequote/frmSaveQuote.h"
#include "pellwick/setup/SetupWindows.h"
#include "pellwick/ui/ProgramIcon.h"
#include "pellwick/ui/frmMain.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

namespace pellwick {

int RunPellwick(int argc, char* argv[], const std::function<void(frmMain&)>& beforeStart) {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Varrow"));
    QCoreApplication::setApplicationName(QStringLiteral("Pellwick"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PELLWICK_VERSION));
    // Lets the desktop match the windows to the installed .desktop file and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(PELLWICK_APP_ID));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes quotes from the quoting host (QuoteWerks) into the "
                       "Infusionsoft (Keap) CRM. The host starts it from its add-on list."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app); // --help, --version and unknown options end here
    QApplication::setWindowIcon(ProgramIcon());
    // The main window hides in the tray; closing the last visible window (a Save Quote
    // window opened from the tray) must not end the program. The main window ends it.
    QApplication::setQuitOnLastWindowClosed(false);

    InstallDesktopSeams();
    // The host is the quoting program on the session bus.
    State().AttachHost = [] { return AttachToRunningQuoteWerks(); };

    frmMain mainWindow;
    // The windows the main window opens, composed here so that none includes another.
    InstallSetupWindows(&mainWindow);
    InstallContactsWindow(&mainWindow);
    InstallSaveQuoteWindow(&mainWindow);
    InstallOpportunitiesWindow(&mainWindow);
    if (beforeStart)
        beforeStart(mainWindow);
    QTimer::singleShot(0, &mainWindow, &frmMain::Form_Load);
    return app.exec();
}

} // namespace pellwick
