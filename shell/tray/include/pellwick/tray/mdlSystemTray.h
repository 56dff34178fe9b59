#pragma once
// Feeds clsSystemTray::ProcessMessage. Each report of the notification area (Qt's
// activation reasons, a clicked balloon, the balloon timer, text arriving over D-Bus) is
// turned here into the notification codes a tray icon has always been sent, so that the
// rules that turn codes into events live in ProcessMessage alone.

#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <vector>

namespace pellwick {

class clsSystemTray;

namespace mdlSystemTray {

// Notification codes, passed to ProcessMessage as lParam.
enum Notification : qintptr {
    ReceivedDataMessage = 6, // with wParam 0: text sent by another program
    MouseMove = 512,
    LeftButtonDown = 513,
    LeftButtonUp = 514,
    LeftButtonDblClk = 515,
    RightButtonDown = 516,
    RightButtonUp = 517,
    RightButtonDblClk = 518,
    MiddleButtonDown = 519,
    MiddleButtonUp = 520,
    MiddleButtonDblClk = 521,
    BalloonShown = 1026,
    BalloonHidden = 1027,
    BalloonTimedOutOrClosed = 1028, // closed by the user or timed out on the desktop's side
    BalloonUserClick = 1029,
};

// Only text that starts with this is taken as data; the rest of the text, up to a zero
// character, is what ReceivedData carries.
inline constexpr QLatin1StringView kReceivedDataPrefix{"Received_Data_"};

// D-Bus: the running program's tray object and its method.
inline constexpr QLatin1StringView kDBusObjectPath{"/Tray"};
inline constexpr QLatin1StringView kDBusInterface{"Varrow.Pellwick.SystemTray"};
// The well-known name under which other programs reach the running copy's channel.
inline constexpr QLatin1StringView kDBusServiceName{"Varrow.Pellwick"};

// The codes a report of Qt stands for, in the order the desktop would send them. Qt
// reports a click only once the button is released, so a press is sent just before.
std::vector<qintptr> NotificationsFor(QSystemTrayIcon::ActivationReason reason);

// Entry points, one per kind of report.
void OnActivated(clsSystemTray& tray, QSystemTrayIcon::ActivationReason reason);
void OnMessageClicked(clsSystemTray& tray);
void OnBalloonTimer(clsSystemTray& tray);
// Text from another program: passed on without the prefix when it has it; returns
// whether it was passed on.
bool OnCopyData(clsSystemTray& tray, const QString& text);
// The notification area came back (for example after the desktop's panel restarted).
// QSystemTrayIcon already registers its icon again by itself when the panel returns (the
// X11 tray manager or the StatusNotifierWatcher reappearing), so the program has nothing
// to feed here; a backend without that would call it, and RecreateIcon's rule holds.
void OnTaskbarCreated(clsSystemTray& tray);

} // namespace mdlSystemTray

// The D-Bus object through which another program sends text to the tray: method
// ReceivedData(s) of interface Varrow.Pellwick.SystemTray at /Tray on the program's
// session-bus connection.
class SystemTrayDataChannel : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "Varrow.Pellwick.SystemTray")
public:
    explicit SystemTrayDataChannel(clsSystemTray& tray);
    ~SystemTrayDataChannel() override;

    // Registers the object on the session bus; false when there is no bus or another
    // tray object holds the path.
    bool Register();

public slots:
    Q_SCRIPTABLE void ReceivedData(const QString& text);

private:
    clsSystemTray& m_tray;
    bool m_registered = false;
    bool m_ownsName = false;
};

} // namespace pellwick
