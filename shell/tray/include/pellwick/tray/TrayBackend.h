#pragma once
// What clsSystemTray needs from the notification area. The program uses QtTrayBackend
// (QSystemTrayIcon); tests give clsSystemTray a recording backend and raise its signals,
// so the icon's rules can be checked on machines without a notification area.

#include <QIcon>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

namespace pellwick {

class TrayBackend : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~TrayBackend() override = default;

    // True when the desktop has a notification area to put the icon in.
    virtual bool isSystemTrayAvailable() const = 0;
    // True when the notification area can show balloon messages.
    virtual bool supportsMessages() const = 0;
    virtual void setIcon(const QIcon& icon) = 0;
    virtual void setToolTip(const QString& tip) = 0;
    virtual void setVisible(bool visible) = 0;
    // Shows a balloon; a non-null userIcon replaces the standard kind's icon.
    virtual void showMessage(const QString& title, const QString& text,
                             QSystemTrayIcon::MessageIcon kind, const QIcon& userIcon,
                             int msecs) = 0;

signals:
    void activated(QSystemTrayIcon::ActivationReason reason);
    void messageClicked();
};

// The real notification area.
class QtTrayBackend final : public TrayBackend {
    Q_OBJECT
public:
    explicit QtTrayBackend(QObject* parent = nullptr);

    bool isSystemTrayAvailable() const override;
    bool supportsMessages() const override;
    void setIcon(const QIcon& icon) override;
    void setToolTip(const QString& tip) override;
    void setVisible(bool visible) override;
    void showMessage(const QString& title, const QString& text, QSystemTrayIcon::MessageIcon kind,
                     const QIcon& userIcon, int msecs) override;

private:
    QSystemTrayIcon m_icon;
};

} // namespace pellwick
