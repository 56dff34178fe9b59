#pragma once
// The whole of the program pellwick between main() and the event loop, shared by the
// executable and the end-to-end test's copy of it.

#include <functional>

namespace pellwick {

class frmMain;

// Creates the application and the main window, installs the desktop's message boxes,
// shell opener and CRM notifier and the host on the session bus, runs start-up from the event loop
// and returns the program's exit code. beforeStart, when given, sees the main window before
// start-up.
int RunPellwick(int argc, char* argv[], const std::function<void(frmMain&)>& beforeStart = {});

} // namespace pellwick
