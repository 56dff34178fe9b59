#include "pellwick/tray/clsSystemTray.h"

#include "pellwick/ErrorReport.h"
#include "pellwick/tray/mdlSystemTray.h"

#include <QCursor>
#include <QMenu>

namespace pellwick {

namespace {

// Cuts text to at most max UTF-16 units without splitting a surrogate pair.
QString cut(const QString& text, qsizetype max) {
    if (text.size() <= max) {
        return text;
    }
    qsizetype size = max;
    if (size > 0 && text.at(size - 1).isHighSurrogate()) {
        --size;
    }
    return text.left(size);
}

QSystemTrayIcon::MessageIcon messageKind(int iconFlags) {
    switch (iconFlags & 0x0F) {
    case clsSystemTray::kBalloonInfo:
        return QSystemTrayIcon::Information;
    case clsSystemTray::kBalloonWarning:
        return QSystemTrayIcon::Warning;
    case clsSystemTray::kBalloonError:
        return QSystemTrayIcon::Critical;
    default:
        return QSystemTrayIcon::NoIcon;
    }
}

// Qt shows a balloon for ten seconds unless told otherwise.
constexpr int kDefaultBalloonMs = 10000;

} // namespace

clsSystemTray::clsSystemTray(QObject* owner)
    : clsSystemTray(std::make_unique<QtTrayBackend>(), owner) {}

clsSystemTray::clsSystemTray(std::unique_ptr<TrayBackend> backend, QObject* owner)
    : QObject(owner), m_backend(std::move(backend)) {
    Class_Initialize();
}

void clsSystemTray::Class_Initialize() {
    Guarded("Class_Initialize", [&] {
        connect(m_backend.get(), &TrayBackend::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    mdlSystemTray::OnActivated(*this, reason);
                });
        connect(m_backend.get(), &TrayBackend::messageClicked, this,
                [this] { mdlSystemTray::OnMessageClicked(*this); });

        m_balloonTimer.setSingleShot(true);
        connect(&m_balloonTimer, &QTimer::timeout, this,
                [this] { mdlSystemTray::OnBalloonTimer(*this); });

        m_dataChannel = new SystemTrayDataChannel(*this);
        m_dataChannel->Register();
    });
}

clsSystemTray::~clsSystemTray() {
    if (m_visible) {
        DeleteIcon();
    }
}

void clsSystemTray::SetIcon(const QIcon& icon) {
    m_icon = icon;
    ModifyIcon(m_balloonShown);
}

void clsSystemTray::SetTipText(const QString& text) {
    m_tipText = cut(text, kMaxTipText);
    ModifyIcon(m_balloonShown);
}

bool clsSystemTray::IsTrayAvailable() const {
    return m_backend->isSystemTrayAvailable();
}

void clsSystemTray::AddIcon() {
    Guarded("AddIcon", [&] {
        m_backend->setIcon(m_icon);
        m_backend->setToolTip(m_tipText);
        m_backend->setVisible(true);
        m_visible = true;
    });
}

void clsSystemTray::DeleteIcon() {
    Guarded("DeleteIcon", [&] {
        m_balloonTimer.stop();
        m_balloonTimerId = 0;
        m_backend->setVisible(false);
        m_visible = false;
    });
}

void clsSystemTray::HideBalloon() {
    Guarded("HideBalloon", [&] {
        m_balloonTimer.stop();
        m_balloonTimerId = 0;
        if (m_balloonShown) {
            m_balloonTitle.clear();
            m_balloonText.clear();
            m_balloonIconFlags = 0;
            m_balloonShown = false;
            ModifyIcon(false);
        }
    });
}

void clsSystemTray::RecreateIcon() {
    Guarded("RecreateIcon", [&] {
        if (m_visible) {
            m_visible = false;
            AddIcon();
        }
    });
}

void clsSystemTray::ShowBalloon(const QString& title, const QString& text, int iconFlags,
                                int timeoutMs, bool playSound) {
    Guarded("ShowBalloon", [&] {
        if (!m_enabled || !m_backend->supportsMessages()) {
            return;
        }
        m_balloonIconFlags = iconFlags | (playSound ? 0 : kBalloonNoSound);
        m_balloonTitle = cut(title, kMaxBalloonTitle);
        m_balloonText = cut(text, kMaxBalloonText);
        m_balloonClicked = false;
        m_balloonClosed = false;
        m_balloonShown = true;
        if (m_visible) {
            const bool userIcon = (iconFlags & 0x0F) == kBalloonUser;
            m_backend->showMessage(m_balloonTitle, m_balloonText, messageKind(iconFlags),
                                   userIcon ? m_icon : QIcon(),
                                   timeoutMs > 0 ? timeoutMs : kDefaultBalloonMs);
            // Qt does not say when the balloon appears; the request stands for that notice,
            // delivered after this call returns as the desktop's notice would be (and not
            // at all when the balloon has already gone by then).
            if (m_backend->isSystemTrayAvailable()) {
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        if (m_balloonShown) {
                            ProcessMessage(0, mdlSystemTray::BalloonShown, QString());
                        }
                    },
                    Qt::QueuedConnection);
            }
        }
        if (timeoutMs > 0 && m_balloonTimerId == 0) {
            m_balloonTimerId = reinterpret_cast<quintptr>(this) + 1;
            m_balloonTimer.start(timeoutMs);
        }
    });
}

void clsSystemTray::ModifyIcon(bool keepBalloon) {
    if (m_enabled && m_visible && !keepBalloon) {
        m_backend->setIcon(m_icon);
        m_backend->setToolTip(m_tipText);
    }
}

void clsSystemTray::BringToForeground(QWidget* window) {
    if (window && window->isVisible()) {
        window->raise();
        window->activateWindow();
    }
}

void clsSystemTray::ShowMenu() {
    QWidget* window = m_menu;
    if (!window) {
        return;
    }
    // The window's own menu: what the title bar's menu offers for this program's main
    // window. Each choice acts on the window after the menu has closed.
    if (!m_systemMenu) {
        m_systemMenu = std::make_unique<QMenu>();
        m_systemMenu->setObjectName(QStringLiteral("SystemTray_SystemMenu"));
    }
    QMenu& menu = *m_systemMenu;
    menu.clear();
    const QPointer<QWidget> target(window);
    const bool hiddenOrMinimised = !window->isVisible() || window->isMinimized();
    QAction* restore = menu.addAction(tr("&Restore"));
    restore->setObjectName(QStringLiteral("SystemTray_Restore"));
    restore->setEnabled(hiddenOrMinimised);
    connect(
        restore, &QAction::triggered, target,
        [target] {
            if (target) {
                target->showNormal();
                target->raise();
                target->activateWindow();
            }
        },
        Qt::QueuedConnection);
    QAction* minimise = menu.addAction(tr("Mi&nimize"));
    minimise->setObjectName(QStringLiteral("SystemTray_Minimize"));
    minimise->setEnabled(!hiddenOrMinimised);
    connect(
        minimise, &QAction::triggered, target,
        [target] {
            if (target) {
                target->showMinimized();
            }
        },
        Qt::QueuedConnection);
    menu.addSeparator();
    QAction* close = menu.addAction(tr("&Close"));
    close->setObjectName(QStringLiteral("SystemTray_Close"));
    connect(
        close, &QAction::triggered, target,
        [target] {
            if (target) {
                target->close();
            }
        },
        Qt::QueuedConnection);

    const QPoint at = QCursor::pos();
    BringToForeground(m_parent);
    menu.popup(at);
}

void clsSystemTray::ProcessMessage(quintptr wParam, qintptr lParam, const QString& data) {
    Guarded("ProcessMessage", [&] { Dispatch(wParam, lParam, data); });
}

void clsSystemTray::Dispatch(quintptr wParam, qintptr lParam, const QString& data) {
    namespace code = mdlSystemTray;
    if (!m_enabled) {
        BringToForeground(m_parent);
        return;
    }
    if (m_balloonTimerId != 0 && wParam == m_balloonTimerId) {
        if (m_balloonClicked || m_balloonClosed) {
            return;
        }
        HideBalloon();
        emit BalloonTimeOut();
        return;
    }
    switch (lParam) {
    case code::MouseMove:
        emit this->MouseMove();
        break;
    case code::LeftButtonDown:
        emit MouseDown(1);
        break;
    case code::LeftButtonUp:
        emit MouseUp(1);
        emit Click(1);
        break;
    case code::LeftButtonDblClk:
        emit DblClick(1);
        break;
    case code::RightButtonDown:
        emit MouseDown(2);
        break;
    case code::RightButtonUp:
        if (m_menu) {
            ShowMenu();
        } else {
            emit MouseUp(2);
            emit Click(2);
        }
        break;
    case code::RightButtonDblClk:
        emit DblClick(2);
        break;
    case code::MiddleButtonDown:
        emit MouseDown(4);
        break;
    case code::MiddleButtonUp:
        emit MouseUp(4);
        emit Click(4);
        break;
    case code::MiddleButtonDblClk:
        emit DblClick(4);
        break;
    case code::BalloonShown:
        emit BalloonShow();
        break;
    case code::BalloonHidden:
        emit BalloonHide();
        break;
    case code::BalloonTimedOutOrClosed:
        HideBalloon();
        m_balloonClosed = true;
        emit BalloonClose();
        break;
    case code::BalloonUserClick:
        HideBalloon();
        m_balloonClicked = true;
        emit BalloonClick();
        break;
    case code::ReceivedDataMessage:
        if (wParam == 0) {
            emit ReceivedData(data);
        }
        break;
    default:
        break;
    }
}

} // namespace pellwick
