#pragma once
// A notification area for tests: present or not on demand, and recording what the tray
// icon asks of it. Tests raise its activated/messageClicked signals to play the user.

#include "pellwick/tray/TrayBackend.h"

#include <QList>

namespace pellwick::testing {

class RecordingTrayBackend final : public TrayBackend {
public:
    explicit RecordingTrayBackend(bool trayAvailable = true)
        : available(trayAvailable), messages(trayAvailable) {}

    bool isSystemTrayAvailable() const override { return available; }
    bool supportsMessages() const override { return messages; }
    void setIcon(const QIcon&) override { ++iconUpdates; }
    void setToolTip(const QString& tip) override { toolTip = tip; }
    void setVisible(bool on) override { visible = on; }
    void showMessage(const QString& title, const QString& text, QSystemTrayIcon::MessageIcon kind,
                     const QIcon& userIcon, int msecs) override {
        shown.append({title, text, kind, !userIcon.isNull(), msecs});
    }

    struct Message {
        QString title, text;
        QSystemTrayIcon::MessageIcon kind;
        bool userIcon;
        int msecs;
    };

    bool available;
    bool messages;
    bool visible = false;
    QString toolTip;
    int iconUpdates = 0;
    QList<Message> shown;
};

} // namespace pellwick::testing
