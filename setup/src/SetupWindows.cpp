#include "pellwick/setup/SetupWindows.h"

#include "pellwick/ProgramState.h"
#include "pellwick/setup/frmAbout.h"
#include "pellwick/setup/frmSetup.h"

#include <QPointer>
#include <memory>

namespace pellwick {

namespace {
// Each door keeps its window: created on first use, gone with the main window.
template <class Window> auto WindowDoor(QWidget* mainWindow) {
    auto window = std::make_shared<QPointer<Window>>();
    QPointer<QWidget> owner(mainWindow);
    return [window, owner] {
        if (!*window)
            *window = new Window(owner);
        (*window)->ShowForm();
    };
}
} // namespace

void InstallSetupWindows(QWidget* mainWindow) {
    State().Windows.ShowSetup = WindowDoor<frmSetup>(mainWindow);
    State().Windows.ShowAbout = WindowDoor<frmAbout>(mainWindow);
}

} // namespace pellwick
