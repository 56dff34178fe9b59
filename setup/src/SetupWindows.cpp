#include "pellwick/setup/SetupWindows.h"

#include "pellwick/ProgramState.h"
#include "pellwick/setup/frmAbout.h"
#include "pellwick/setup/frmSetup.h"

#include <QPointer>
#include <memory>

namespace pellwick {

namespace {
// Each door keeps its window: created on first use, gone with the main window.
template <class Window, class... Collaborators>
auto WindowDoor(QWidget* mainWindow, Collaborators... collaborators) {
    auto window = std::make_shared<QPointer<Window>>();
    QPointer<QWidget> owner(mainWindow);
    return [window, owner, collaborators...] {
        if (!*window)
            *window = new Window(owner, collaborators...);
        (*window)->ShowForm();
    };
}
} // namespace

void InstallSetupWindows(QWidget* mainWindow, WindowDoors doors) {
    State().Windows.ShowSetup = WindowDoor<frmSetup>(mainWindow, std::move(doors));
    State().Windows.ShowAbout = WindowDoor<frmAbout>(mainWindow);
}

} // namespace pellwick
