#pragma once
// What the rest of the program needs from the main window: its info label and showing,
// minimising or closing it. frmMain implements this and registers itself in the program state.

#include <QString>

namespace pellwick {

class MainWindowLink {
public:
    virtual ~MainWindowLink() = default;
    // Sets the text of lblInfo.
    virtual void SetInfoText(const QString& text) = 0;
    // Makes the main window visible, restores it and brings it forward.
    virtual void ShowMainWindow() = 0;
    // Minimises the main window, as its Minimize button does (it then hides in the
    // notification area).
    virtual void Minimize() = 0;
    // Closes the main window, which ends the program once control returns to the
    // event loop.
    virtual void CloseMainWindow() = 0;
    // Closes the main window and ends the program at once.
    virtual void EndProgram() = 0;
};

} // namespace pellwick
