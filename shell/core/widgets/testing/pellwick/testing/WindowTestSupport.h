#pragma once
// Helpers for driving the program's windows in tests: acting on a window (a modal one
// too) once it is open.

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pellwick::testing {

// The visible top-level window with this objectName, or null.
inline QWidget* VisibleWindow(const QString& objectName) {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == objectName && window->isVisible())
            return window;
    return nullptr;
}

// Calls action once the window named objectName is visible (checked every few
// milliseconds, also inside the window's own event loop); gives up after timeoutMs.
inline void WhenWindowOpens(const QString& objectName, std::function<void(QWidget*)> action,
                            int timeoutMs = 5000) {
    // Owned by the application, so a poll still pending when a test ends is cleaned up.
    auto* poll = new QTimer(qApp);
    QDeadlineTimer deadline(timeoutMs);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [=] {
        QWidget* window = VisibleWindow(objectName);
        if (window || deadline.hasExpired()) {
            poll->stop();
            poll->deleteLater();
            if (window)
                action(window);
        }
    });
    poll->start();
}

// A loopback port nobody listens on (taken from the system, then released): a CRM
// endpoint there fails at once without leaving the machine.
inline quint16 ClosedLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    quint16 port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

} // namespace pellwick::testing
