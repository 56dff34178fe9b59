#pragma once
// The program's icon, used for its windows and the tray icon.

#include <QIcon>

namespace pellwick {

// Drawn once at every common size (a rounded square with a "P"), so no image file has
// to travel with the executable.
QIcon ProgramIcon();

} // namespace pellwick
