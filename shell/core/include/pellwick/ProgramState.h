#pragma once
// Program-wide state, in one place so that tests can reset it: the host application
// object, the CRM connection, the three flags, the main window's link, the doors to the
// other windows and the Save Quote collections (absent until first collected).

#include "pellwick/KeyedCollection.h"
#include "pellwick/ProgramWindows.h"

#include <functional>
#include <memory>

namespace tessary {
class clsInfusionsoftAPI;
}

namespace pellwick {

class QuoteWerksApp;
class MainWindowLink;
class clsStage;
class clsActionSet;

using StageCollection = KeyedCollection<std::shared_ptr<clsStage>>;
using ActionSetCollection = KeyedCollection<std::shared_ptr<clsActionSet>>;

struct ProgramState {
    // The running host; null until SetupQuoteWerksConnection succeeds.
    std::shared_ptr<::pellwick::QuoteWerksApp> QuoteWerksApp;
    // The CRM connection; null until SetupInfusionsoftConnection runs.
    std::shared_ptr<::tessary::clsInfusionsoftAPI> InfusionsoftConnection;

    bool DebugMode = false;
    bool ShowSaveQuoteOnSave = false;
    bool ShowSaveQuoteOnEmail = false;
    // Set once a debug log that cannot be written has been reported in this run.
    bool DebugLogFailureReported = false;

    // Null when no main window is registered (nothing is shown or closed then).
    ::pellwick::MainWindowLink* MainWindow = nullptr;
    // The other windows, as the start-up code composed them.
    ProgramWindows Windows;

    // How the running host is found: returns null when the host is not running. Empty
    // until the application installs the session bus's host; tests put a fake here.
    std::function<std::shared_ptr<::pellwick::QuoteWerksApp>()> AttachHost;
    // Creates a CRM connection object (tests may substitute one).
    std::function<std::shared_ptr<::tessary::clsInfusionsoftAPI>()> CreateConnection;

    // The CRM's stages and action sets, kept once collected.
    std::shared_ptr<StageCollection> g_colStages;
    std::shared_ptr<ActionSetCollection> g_colActionSets;
};

// The one program-wide state.
ProgramState& State();
// Back to the state at program start (default attach and connection factories).
void ResetProgramState();

} // namespace pellwick
