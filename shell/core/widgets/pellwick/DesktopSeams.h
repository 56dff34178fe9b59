#pragma once
// Real message boxes and the desktop's "open" for the core's seams, and the widget
// form of SetWindowOnTop.

#include "pellwick/MessageBox.h"
#include "pellwick/ShellOpen.h"

class QWidget;

namespace pellwick {

// Shows each box as a QMessageBox owned by the active window.
class QMessageBoxPresenter : public MessageBoxPresenter {
public:
    MsgAnswer Present(const MessageBoxRequest& request) override;
};

// Opens addresses, mailto: addresses and folders with QDesktopServices.
class DesktopShellOpener : public ShellOpener {
public:
    bool Open(const QUrl& url) override;
};

// Installs both, and routes the CRM library's boxes through the same presenter.
void InstallDesktopSeams();

// Keeps a widget's window above all others (true) or not (false), without moving,
// resizing or hiding it. Null does nothing.
void SetWindowOnTop(QWidget* widget, bool onTop);

} // namespace pellwick
