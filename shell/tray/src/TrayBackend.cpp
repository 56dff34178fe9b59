#include "pellwick/tray/TrayBackend.h"

namespace pellwick {

QtTrayBackend::QtTrayBackend(QObject* parent) : TrayBackend(parent) {
    connect(&m_icon, &QSystemTrayIcon::activated, this, &TrayBackend::activated);
    connect(&m_icon, &QSystemTrayIcon::messageClicked, this, &TrayBackend::messageClicked);
}

bool QtTrayBackend::isSystemTrayAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool QtTrayBackend::supportsMessages() const {
    return QSystemTrayIcon::supportsMessages();
}

void QtTrayBackend::setIcon(const QIcon& icon) {
    m_icon.setIcon(icon);
}

void QtTrayBackend::setToolTip(const QString& tip) {
    m_icon.setToolTip(tip);
}

void QtTrayBackend::setVisible(bool visible) {
    // Asked even without a notification area: Qt registers the icon when one appears.
    m_icon.setVisible(visible);
}

void QtTrayBackend::showMessage(const QString& title, const QString& text,
                                QSystemTrayIcon::MessageIcon kind, const QIcon& userIcon,
                                int msecs) {
    if (!userIcon.isNull()) {
        m_icon.showMessage(title, text, userIcon, msecs);
    } else {
        m_icon.showMessage(title, text, kind, msecs);
    }
}

} // namespace pellwick
