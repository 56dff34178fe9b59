#pragma once
// The program's one opportunities window and the door other parts open it through.

#include "pellwick/WindowDoors.h"

class QWidget;

namespace pellwick {

class frmOpportunities;

// Remembers the main window and fills State().Windows.ShowOpportunities. The window is
// created on first use, as a child of that main window, and kept all run.
// The window reaches the host and the CRM through `doors`.
void InstallOpportunitiesWindow(QWidget* mainWindow, WindowDoors doors = {});

// The one window, created on first use.
frmOpportunities& OpportunitiesWindow();

} // namespace pellwick
