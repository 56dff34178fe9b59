#pragma once
// A notification area for tests that exists (or not) on demand and records what the
// tray icon asks of it.

#include "TrayBackend.h"

namespace pellwick::testing {

class TestTrayBackend final : public TrayBackend {
public:
    explicit TestTrayBackend(bool available) : m_available(available) {}
    bool isSystemTrayAvailable() const override { return m_available; }
    bool supportsMessages() const override { return m_available; }
    void setIcon(const QIcon&) override {}
    void setToolTip(const QString& tip) override { toolTip = tip; }
    void setVisible(bool on) override { visible = on; }
    void showMessage(const QString&, const QString&, QSystemTrayIcon::MessageIcon, const QIcon&,
                     int) override {}

    QString toolTip;
    bool visible = false;

private:
    bool m_available;
};

} // namespace pellwick::testing
