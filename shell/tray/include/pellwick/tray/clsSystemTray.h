#pragma once
// The program's icon in the notification area. It turns what the desktop reports about
// the icon into the events below; the translation of each report happens in one place,
// ProcessMessage, fed by mdlSystemTray with the notification codes of mdlSystemTray.h.
//
// Button numbers in the events: 1 left, 2 right, 4 middle.

#include "pellwick/tray/TrayBackend.h"

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <memory>

class QMenu;

namespace pellwick {

class SystemTrayDataChannel;

class clsSystemTray : public QObject {
    Q_OBJECT
public:
    // The longest tip, balloon title and balloon text the notification area takes; longer
    // texts are cut (never in the middle of a character).
    static constexpr qsizetype kMaxTipText = 127;
    static constexpr qsizetype kMaxBalloonTitle = 63;
    static constexpr qsizetype kMaxBalloonText = 255;

    // Balloon icon flags of ShowBalloon: the kind in the low bits, plus kBalloonNoSound.
    static constexpr int kBalloonNone = 0;
    static constexpr int kBalloonInfo = 1;
    static constexpr int kBalloonWarning = 2;
    static constexpr int kBalloonError = 3;
    static constexpr int kBalloonUser = 4; // the tray's own Icon
    static constexpr int kBalloonNoSound = 16;

    // Uses the desktop's notification area (QSystemTrayIcon).
    explicit clsSystemTray(QObject* owner = nullptr);
    // Uses the given backend (tests).
    explicit clsSystemTray(std::unique_ptr<TrayBackend> backend, QObject* owner = nullptr);
    ~clsSystemTray() override;

    // When false, mouse and balloon reports raise no events; any report only brings
    // Parent to the foreground.
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled) { m_enabled = enabled; }
    QIcon Icon() const { return m_icon; }
    // Stores the icon and updates the shown icon (not while a balloon is shown).
    void SetIcon(const QIcon& icon);
    // The window whose restore / minimise / close menu a right click shows; none = a
    // right click raises MouseUp(2) and Click(2) instead.
    QWidget* Menu() const { return m_menu; }
    void SetMenu(QWidget* window) { m_menu = window; }
    // The window brought to the foreground by the right-click menu and while disabled.
    QWidget* Parent() const { return m_parent; }
    void SetParent(QWidget* window) { m_parent = window; }
    QString TipText() const { return m_tipText; }
    // Stores the text, cut to kMaxTipText, and updates the icon (not while a balloon is
    // shown).
    void SetTipText(const QString& text);
    // The icon has been added (AddIcon) and not deleted since.
    bool Visible() const { return m_visible; }
    // Whether the desktop has a notification area at all. Without one the icon cannot be
    // seen, so a window must not hide itself in favour of the icon.
    bool IsTrayAvailable() const;

    void AddIcon();
    // Stops a running balloon timer and removes the icon.
    void DeleteIcon();
    // Stops the balloon timer; forgets a shown balloon and updates the icon.
    void HideBalloon();
    // Adds the icon again when it is visible (after the notification area restarted).
    void RecreateIcon();
    // Shows a balloon when enabled and the notification area supports balloons; with
    // timeoutMs > 0 the object's own balloon timer raises BalloonTimeOut unless the
    // balloon is clicked or closed first.
    void ShowBalloon(const QString& title, const QString& text, int iconFlags, int timeoutMs,
                     bool playSound);

    // The one translation of notification-area reports into events; mdlSystemTray calls
    // it with the notification code in lParam (and the timer id in wParam for the
    // balloon timer).
    void ProcessMessage(quintptr wParam, qintptr lParam, const QString& data);

    // Balloon state, for the main window and the tests.
    bool BalloonShown() const { return m_balloonShown; }
    quintptr BalloonTimerId() const { return m_balloonTimerId; }
    int BalloonIconFlags() const { return m_balloonIconFlags; }

    TrayBackend& Backend() { return *m_backend; }

signals:
    void BalloonClick();
    void BalloonClose();
    void BalloonHide();
    void BalloonShow();
    void BalloonTimeOut();
    void Click(qint16 Button);
    void DblClick(qint16 Button);
    void MouseDown(qint16 Button);
    void MouseMove();
    void MouseUp(qint16 Button);
    void ReceivedData(const QString& Data);

private:
    void Class_Initialize();
    void ModifyIcon(bool keepBalloon);
    void ShowMenu();
    void Dispatch(quintptr wParam, qintptr lParam, const QString& data);
    static void BringToForeground(QWidget* window);

    std::unique_ptr<TrayBackend> m_backend;
    bool m_enabled = true;
    bool m_visible = false;
    QIcon m_icon;
    QPointer<QWidget> m_menu;
    QPointer<QWidget> m_parent;
    QString m_tipText;

    QTimer m_balloonTimer;
    quintptr m_balloonTimerId = 0;
    bool m_balloonShown = false;
    bool m_balloonClicked = false;
    bool m_balloonClosed = false;
    QString m_balloonTitle;
    QString m_balloonText;
    int m_balloonIconFlags = 0;

    std::unique_ptr<QMenu> m_systemMenu;
    SystemTrayDataChannel* m_dataChannel = nullptr; // owned through QObject parentage
};

} // namespace pellwick
