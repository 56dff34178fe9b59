#pragma once
// The program's one opportunities window and the door other parts open it through.

class QWidget;

namespace pellwick {

class frmOpportunities;

// Remembers the main window and fills State().Windows.ShowOpportunities. The window is
// created on first use, as a child of that main window, and kept all run.
void InstallOpportunitiesWindow(QWidget* mainWindow);

// The one window, created on first use.
frmOpportunities& OpportunitiesWindow();

} // namespace pellwick
