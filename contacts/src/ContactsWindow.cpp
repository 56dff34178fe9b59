#include "pellwick/contacts/ContactsWindow.h"

#include "pellwick/ProgramState.h"
#include "pellwick/contacts/frmContacts.h"

#include <QPointer>
#include <QWidget>

namespace pellwick {

namespace {
QPointer<QWidget> g_mainWindow;
QPointer<frmContacts> g_window;
WindowDoors g_doors;
} // namespace

void InstallContactsWindow(QWidget* mainWindow, WindowDoors doors) {
    g_mainWindow = mainWindow;
    g_doors = std::move(doors);
    State().Windows.ShowContacts = [](std::int16_t type, std::int16_t source) {
        return ContactsWindow().ShowForm(type, source);
    };
}

frmContacts& ContactsWindow() {
    // Parented to the main window, which finds its windows among the top-level widgets
    // by objectName and takes them down with it.
    if (!g_window)
        g_window = new frmContacts(g_mainWindow.data(), frmContacts::Calls{{}, {}, g_doors});
    return *g_window;
}

} // namespace pellwick
