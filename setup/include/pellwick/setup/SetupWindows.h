#pragma once
// The configuration and About windows as the rest of the program reaches them: one of
// each per process, created on first use as windows of the main window.

#include "pellwick/WindowDoors.h"

class QWidget;

namespace pellwick {

// Fills the configuration and About doors of the program state (State().Windows); the
// configuration window reaches the host through `doors`.
void InstallSetupWindows(QWidget* mainWindow, WindowDoors doors = {});

} // namespace pellwick
