#pragma once
// The program's one contact search window and the door other parts open it through.

#include "pellwick/WindowDoors.h"

#include <cstdint>

class QWidget;

namespace pellwick {

class frmContacts;

// Remembers the main window and fills State().Windows.ShowContacts: the host's contact
// selection passes the section kind and its source, the Save Quote window -1, -1. The
// window is created on first use, as a child of that main window, and kept all run.
// The window reaches the host and the CRM through `doors`.
void InstallContactsWindow(QWidget* mainWindow, WindowDoors doors = {});

// The one window, created on first use.
frmContacts& ContactsWindow();

} // namespace pellwick
