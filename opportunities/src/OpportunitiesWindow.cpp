#include "pellwick/opportunities/OpportunitiesWindow.h"

#include "pellwick/ProgramState.h"
#include "pellwick/opportunities/frmOpportunities.h"

#include <QPointer>
#include <QWidget>

namespace pellwick {

namespace {
QPointer<QWidget> g_mainWindow;
QPointer<frmOpportunities> g_window;
WindowDoors g_doors;
} // namespace

void InstallOpportunitiesWindow(QWidget* mainWindow, WindowDoors doors) {
    g_mainWindow = mainWindow;
    g_doors = std::move(doors);
    State().Windows.ShowOpportunities = [](std::int32_t contactId) {
        OpportunitiesWindow().ShowForm(contactId);
    };
}

frmOpportunities& OpportunitiesWindow() {
    // Parented to the main window, which finds its windows among the top-level widgets
    // by objectName and takes them down with it.
    if (!g_window)
        g_window = new frmOpportunities(g_mainWindow.data(), {}, g_doors);
    return *g_window;
}

} // namespace pellwick
