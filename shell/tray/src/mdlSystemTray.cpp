#include "pellwick/tray/mdlSystemTray.h"

#include "pellwick/tray/clsSystemTray.h"

#include <QDBusConnection>

namespace pellwick {

namespace mdlSystemTray {

std::vector<qintptr> NotificationsFor(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return {LeftButtonDown, LeftButtonUp};
    case QSystemTrayIcon::DoubleClick:
        return {LeftButtonDblClk};
    case QSystemTrayIcon::Context:
        return {RightButtonDown, RightButtonUp};
    case QSystemTrayIcon::MiddleClick:
        return {MiddleButtonDown, MiddleButtonUp};
    case QSystemTrayIcon::Unknown:
        break;
    }
    return {};
}

void OnActivated(clsSystemTray& tray, QSystemTrayIcon::ActivationReason reason) {
    for (const qintptr code : NotificationsFor(reason)) {
        tray.ProcessMessage(0, code, QString());
    }
}

void OnMessageClicked(clsSystemTray& tray) {
    tray.ProcessMessage(0, BalloonUserClick, QString());
}

void OnBalloonTimer(clsSystemTray& tray) {
    tray.ProcessMessage(tray.BalloonTimerId(), 0, QString());
}

bool OnCopyData(clsSystemTray& tray, const QString& text) {
    if (!text.startsWith(kReceivedDataPrefix)) {
        return false;
    }
    QString data = text.mid(kReceivedDataPrefix.size());
    const qsizetype zero = data.indexOf(QChar(0));
    if (zero >= 0) {
        data.truncate(zero);
    }
    tray.ProcessMessage(0, ReceivedDataMessage, data);
    return true;
}

void OnTaskbarCreated(clsSystemTray& tray) {
    tray.RecreateIcon();
}

} // namespace mdlSystemTray

SystemTrayDataChannel::SystemTrayDataChannel(clsSystemTray& tray) : QObject(&tray), m_tray(tray) {}

SystemTrayDataChannel::~SystemTrayDataChannel() {
    if (m_registered) {
        QDBusConnection::sessionBus().unregisterObject(QString(mdlSystemTray::kDBusObjectPath));
    }
    if (m_ownsName) {
        QDBusConnection::sessionBus().unregisterService(QString(mdlSystemTray::kDBusServiceName));
    }
}

bool SystemTrayDataChannel::Register() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    m_registered = bus.registerObject(QString(mdlSystemTray::kDBusObjectPath), this,
                                      QDBusConnection::ExportScriptableSlots);
    // The name only makes the channel easy to find; a second owner (a test copy) is
    // refused by the bus, and the object stays reachable under the unique name.
    if (m_registered) {
        m_ownsName = bus.registerService(QString(mdlSystemTray::kDBusServiceName));
    }
    return m_registered;
}

void SystemTrayDataChannel::ReceivedData(const QString& text) {
    mdlSystemTray::OnCopyData(m_tray, text);
}

} // namespace pellwick
