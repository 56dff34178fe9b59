// The tray icon's rules, checked through a recording backend: no notification area
// needed.

#include "pellwick/testing/CoreTestScope.h"
#include "pellwick/testing/RecordingTrayBackend.h"
#include "pellwick/tray/clsSystemTray.h"
#include "pellwick/tray/mdlSystemTray.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QMenu>
#include <QPixmap>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>

using namespace pellwick;
namespace code = pellwick::mdlSystemTray;
using pellwick::testing::RecordingTrayBackend;

namespace {

// Every event of the tray as a line of text, in the order raised.
class EventLog : public QObject {
public:
    QStringList lines;
    explicit EventLog(clsSystemTray& tray) {
        auto add = [this](const QString& line) { lines.append(line); };
        connect(&tray, &clsSystemTray::Click, this,
                [add](qint16 b) { add(QString("Click(%1)").arg(b)); });
        connect(&tray, &clsSystemTray::DblClick, this,
                [add](qint16 b) { add(QString("DblClick(%1)").arg(b)); });
        connect(&tray, &clsSystemTray::MouseDown, this,
                [add](qint16 b) { add(QString("MouseDown(%1)").arg(b)); });
        connect(&tray, &clsSystemTray::MouseUp, this,
                [add](qint16 b) { add(QString("MouseUp(%1)").arg(b)); });
        connect(&tray, &clsSystemTray::MouseMove, this, [add] { add("MouseMove"); });
        connect(&tray, &clsSystemTray::BalloonClick, this, [add] { add("BalloonClick"); });
        connect(&tray, &clsSystemTray::BalloonClose, this, [add] { add("BalloonClose"); });
        connect(&tray, &clsSystemTray::BalloonHide, this, [add] { add("BalloonHide"); });
        connect(&tray, &clsSystemTray::BalloonShow, this, [add] { add("BalloonShow"); });
        connect(&tray, &clsSystemTray::BalloonTimeOut, this, [add] { add("BalloonTimeOut"); });
        connect(&tray, &clsSystemTray::ReceivedData, this,
                [add](const QString& d) { add("ReceivedData(" + d + ")"); });
    }
};

struct Fixture {
    RecordingTrayBackend* backend = new RecordingTrayBackend;
    clsSystemTray tray{std::unique_ptr<TrayBackend>(backend)};
    EventLog log{tray};
};

QMenu* systemMenu() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == "SystemTray_SystemMenu") {
            return qobject_cast<QMenu*>(w);
        }
    }
    return nullptr;
}

} // namespace

class TestSystemTray : public QObject {
    Q_OBJECT
private slots:
    void dispatchTable_data();
    void dispatchTable();
    void activationReasons_data();
    void activationReasons();
    void rightClickWithMenuShowsTheWindowsMenu();
    void disabledOnlyBringsParentForward();
    void balloonTimesOut();
    void balloonClickedOrClosedBeforeItsTimer();
    void balloonNeedsEnabledAndSupport();
    void balloonFlagsAndTexts();
    void tipTextIsCutAndAppliedOutsideBalloons();
    void iconLifecycle();
    void receivedDataNeedsThePrefix();
    void receivedDataOverDBus();
    void failingHandlerIsReported();
    void withoutANotificationArea();
};

void TestSystemTray::dispatchTable_data() {
    QTest::addColumn<qlonglong>("wParam");
    QTest::addColumn<qlonglong>("lParam");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("move") << 0LL << qlonglong(code::MouseMove) << QStringList{"MouseMove"};
    QTest::newRow("left down") << 0LL << qlonglong(code::LeftButtonDown)
                               << QStringList{"MouseDown(1)"};
    QTest::newRow("left up") << 0LL << qlonglong(code::LeftButtonUp)
                             << QStringList{"MouseUp(1)", "Click(1)"};
    QTest::newRow("left double") << 0LL << qlonglong(code::LeftButtonDblClk)
                                 << QStringList{"DblClick(1)"};
    QTest::newRow("right down") << 0LL << qlonglong(code::RightButtonDown)
                                << QStringList{"MouseDown(2)"};
    QTest::newRow("right up, no menu")
        << 0LL << qlonglong(code::RightButtonUp) << QStringList{"MouseUp(2)", "Click(2)"};
    QTest::newRow("right double") << 0LL << qlonglong(code::RightButtonDblClk)
                                  << QStringList{"DblClick(2)"};
    QTest::newRow("middle down") << 0LL << qlonglong(code::MiddleButtonDown)
                                 << QStringList{"MouseDown(4)"};
    QTest::newRow("middle up") << 0LL << qlonglong(code::MiddleButtonUp)
                               << QStringList{"MouseUp(4)", "Click(4)"};
    QTest::newRow("middle double")
        << 0LL << qlonglong(code::MiddleButtonDblClk) << QStringList{"DblClick(4)"};
    QTest::newRow("balloon shown")
        << 0LL << qlonglong(code::BalloonShown) << QStringList{"BalloonShow"};
    QTest::newRow("balloon hidden")
        << 0LL << qlonglong(code::BalloonHidden) << QStringList{"BalloonHide"};
    QTest::newRow("balloon closed")
        << 0LL << qlonglong(code::BalloonTimedOutOrClosed) << QStringList{"BalloonClose"};
    QTest::newRow("balloon clicked")
        << 0LL << qlonglong(code::BalloonUserClick) << QStringList{"BalloonClick"};
    QTest::newRow("data") << 0LL << qlonglong(code::ReceivedDataMessage)
                          << QStringList{"ReceivedData(payload)"};
    QTest::newRow("data with a non-zero wParam")
        << 7LL << qlonglong(code::ReceivedDataMessage) << QStringList{};
    QTest::newRow("unknown code") << 0LL << 1030LL << QStringList{};
    QTest::newRow("timer id without a timer") << 0LL << 0LL << QStringList{};
}

void TestSystemTray::dispatchTable() {
    QFETCH(qlonglong, wParam);
    QFETCH(qlonglong, lParam);
    QFETCH(QStringList, events);
    Fixture f;
    f.tray.ProcessMessage(quintptr(wParam), qintptr(lParam), "payload");
    QCOMPARE(f.log.lines, events);
}

void TestSystemTray::activationReasons_data() {
    QTest::addColumn<int>("reason");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("trigger") << int(QSystemTrayIcon::Trigger)
                             << QStringList{"MouseDown(1)", "MouseUp(1)", "Click(1)"};
    QTest::newRow("double click") << int(QSystemTrayIcon::DoubleClick)
                                  << QStringList{"DblClick(1)"};
    QTest::newRow("context, no menu")
        << int(QSystemTrayIcon::Context) << QStringList{"MouseDown(2)", "MouseUp(2)", "Click(2)"};
    QTest::newRow("middle") << int(QSystemTrayIcon::MiddleClick)
                            << QStringList{"MouseDown(4)", "MouseUp(4)", "Click(4)"};
    QTest::newRow("unknown") << int(QSystemTrayIcon::Unknown) << QStringList{};
}

void TestSystemTray::activationReasons() {
    QFETCH(int, reason);
    QFETCH(QStringList, events);
    Fixture f;
    emit f.backend->activated(QSystemTrayIcon::ActivationReason(reason));
    QCOMPARE(f.log.lines, events);
}

void TestSystemTray::rightClickWithMenuShowsTheWindowsMenu() {
    Fixture f;
    QWidget window;
    window.setWindowTitle("main");
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    f.tray.SetMenu(&window);
    f.tray.SetParent(&window);

    emit f.backend->activated(QSystemTrayIcon::Context);
    QCOMPARE(f.log.lines, QStringList{"MouseDown(2)"});
    QMenu* menu = systemMenu();
    QVERIFY(menu);
    QTRY_VERIFY(menu->isVisible());
    auto action = [menu](const char* name) { return menu->findChild<QAction*>(name); };
    QVERIFY(action("SystemTray_Restore") && action("SystemTray_Minimize") &&
            action("SystemTray_Close"));
    QVERIFY(!action("SystemTray_Restore")->isEnabled()); // already in normal state
    QVERIFY(action("SystemTray_Minimize")->isEnabled());

    // The choice acts on the window once the menu has closed.
    menu->hide();
    action("SystemTray_Minimize")->trigger();
    QVERIFY(!window.isMinimized());
    QTRY_VERIFY(window.isMinimized());

    emit f.backend->activated(QSystemTrayIcon::Context);
    QVERIFY(action("SystemTray_Restore")->isEnabled());
    QVERIFY(!action("SystemTray_Minimize")->isEnabled());
    menu->hide();
    action("SystemTray_Restore")->trigger();
    QTRY_VERIFY(!window.isMinimized() && window.isVisible());

    emit f.backend->activated(QSystemTrayIcon::Context);
    menu->hide();
    action("SystemTray_Close")->trigger();
    QTRY_VERIFY(!window.isVisible());
    QCOMPARE(f.log.lines, QStringList({"MouseDown(2)", "MouseDown(2)", "MouseDown(2)"}));
}

void TestSystemTray::disabledOnlyBringsParentForward() {
    Fixture f;
    QWidget parent;
    parent.setWindowTitle("parent");
    QWidget other;
    other.setWindowTitle("other");
    parent.show();
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    other.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), &other);

    f.tray.SetParent(&parent);
    f.tray.SetMenu(&parent);
    f.tray.SetEnabled(false);
    emit f.backend->activated(QSystemTrayIcon::Trigger);
    emit f.backend->activated(QSystemTrayIcon::Context);
    emit f.backend->messageClicked();
    f.tray.ProcessMessage(0, code::ReceivedDataMessage, "x");
    QTRY_COMPARE(QApplication::activeWindow(), &parent);
    QVERIFY(f.log.lines.isEmpty());
    QVERIFY(!systemMenu() || !systemMenu()->isVisible());

    f.tray.SetEnabled(true);
    emit f.backend->activated(QSystemTrayIcon::Trigger);
    QCOMPARE(f.log.lines, QStringList({"MouseDown(1)", "MouseUp(1)", "Click(1)"}));
}

void TestSystemTray::balloonTimesOut() {
    Fixture f;
    f.tray.AddIcon();
    f.tray.ShowBalloon("Pellwick", "Quote saved.", clsSystemTray::kBalloonInfo, 50, true);
    QVERIFY(f.tray.BalloonShown());
    QVERIFY(f.tray.BalloonTimerId() != 0);
    QVERIFY(f.log.lines.isEmpty()); // the shown notice comes after ShowBalloon returns
    QTRY_COMPARE(f.log.lines, QStringList({"BalloonShow", "BalloonTimeOut"}));
    QVERIFY(!f.tray.BalloonShown());
    QCOMPARE(f.tray.BalloonTimerId(), quintptr(0));
    QTest::qWait(120);
    QCOMPARE(f.log.lines, QStringList({"BalloonShow", "BalloonTimeOut"}));
}

void TestSystemTray::balloonClickedOrClosedBeforeItsTimer() {
    {
        Fixture f;
        f.tray.AddIcon();
        f.tray.ShowBalloon("t", "x", clsSystemTray::kBalloonInfo, 300, true);
        QTRY_COMPARE(f.log.lines, QStringList{"BalloonShow"});
        emit f.backend->messageClicked();
        QCOMPARE(f.log.lines, QStringList({"BalloonShow", "BalloonClick"}));
        QVERIFY(!f.tray.BalloonShown());
        QTest::qWait(400);
        QCOMPARE(f.log.lines, QStringList({"BalloonShow", "BalloonClick"}));
    }
    {
        Fixture f;
        f.tray.AddIcon();
        f.tray.ShowBalloon("t", "x", clsSystemTray::kBalloonInfo, 300, true);
        QTRY_COMPARE(f.log.lines, QStringList{"BalloonShow"});
        f.tray.ProcessMessage(0, code::BalloonTimedOutOrClosed, QString());
        QVERIFY(!f.tray.BalloonShown());
        QTest::qWait(400);
        QCOMPARE(f.log.lines, QStringList({"BalloonShow", "BalloonClose"}));
    }
    {
        // A timer message that arrives after the click (already queued) changes nothing.
        Fixture f;
        f.tray.AddIcon();
        f.tray.ShowBalloon("t", "x", clsSystemTray::kBalloonInfo, 0, true);
        QCOMPARE(f.tray.BalloonTimerId(), quintptr(0)); // no timeout, no timer
        f.tray.ShowBalloon("t", "x", clsSystemTray::kBalloonInfo, 10000, true);
        const quintptr id = f.tray.BalloonTimerId();
        QVERIFY(id != 0);
        emit f.backend->messageClicked();
        f.tray.ProcessMessage(id, 0, QString());
        QTest::qWait(50);
        // Gone before its shown notice was due: the click is all there is to say.
        QCOMPARE(f.log.lines, QStringList{"BalloonClick"});
    }
}

void TestSystemTray::balloonNeedsEnabledAndSupport() {
    Fixture f;
    f.tray.AddIcon();
    f.backend->messages = false;
    f.tray.ShowBalloon("t", "x", 1, 50, true);
    f.backend->messages = true;
    f.tray.SetEnabled(false);
    f.tray.ShowBalloon("t", "x", 1, 50, true);
    QTest::qWait(100);
    QVERIFY(f.backend->shown.isEmpty());
    QVERIFY(!f.tray.BalloonShown());
    QCOMPARE(f.tray.BalloonTimerId(), quintptr(0));
    QVERIFY(f.log.lines.isEmpty());

    // Without a notification area the balloon cannot be seen: no shown notice, but the
    // object's own timer still ends it.
    f.tray.SetEnabled(true);
    f.backend->available = false;
    f.tray.ShowBalloon("t", "x", 1, 30, true);
    QTRY_COMPARE(f.log.lines, QStringList{"BalloonTimeOut"});
}

void TestSystemTray::balloonFlagsAndTexts() {
    Fixture f;
    f.tray.AddIcon();
    f.tray.ShowBalloon(QString(70, u't'), QString(300, u'x'), clsSystemTray::kBalloonWarning, 2000,
                       false);
    QCOMPARE(f.tray.BalloonIconFlags(),
             clsSystemTray::kBalloonWarning | clsSystemTray::kBalloonNoSound);
    QCOMPARE(f.backend->shown.size(), 1);
    const RecordingTrayBackend::Message m = f.backend->shown.front();
    QCOMPARE(m.title.size(), clsSystemTray::kMaxBalloonTitle);
    QCOMPARE(m.text.size(), clsSystemTray::kMaxBalloonText);
    QCOMPARE(m.kind, QSystemTrayIcon::Warning);
    QVERIFY(!m.userIcon);
    QCOMPARE(m.msecs, 2000);

    f.tray.HideBalloon();
    QPixmap red(16, 16);
    red.fill(Qt::red);
    f.tray.SetIcon(QIcon(red));
    f.tray.ShowBalloon("t", "x", clsSystemTray::kBalloonUser, 0, true);
    QCOMPARE(f.tray.BalloonIconFlags(), clsSystemTray::kBalloonUser);
    QVERIFY(f.backend->shown.back().userIcon);
    QVERIFY(f.backend->shown.back().msecs > 0);
    f.tray.HideBalloon();
    f.tray.ShowBalloon("t", "x", clsSystemTray::kBalloonError, 0, true);
    QCOMPARE(f.backend->shown.back().kind, QSystemTrayIcon::Critical);
}

void TestSystemTray::tipTextIsCutAndAppliedOutsideBalloons() {
    Fixture f;
    f.tray.SetTipText(QString(200, u'a'));
    QCOMPARE(f.tray.TipText().size(), clsSystemTray::kMaxTipText);
    QCOMPARE(f.tray.TipText(), QString(127, u'a'));
    // A character outside the basic plane at the cut is left out whole.
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
    f.tray.SetTipText(QString(126, u'a') + smile);
    QCOMPARE(f.tray.TipText(), QString(126, u'a'));
    f.tray.SetTipText(QString(125, u'a') + smile);
    QCOMPARE(f.tray.TipText(), QString(125, u'a') + smile);

    f.tray.SetTipText("Infusionsoft <> QuoteWerks");
    QVERIFY(f.backend->toolTip.isEmpty()); // not shown before AddIcon
    f.tray.AddIcon();
    QCOMPARE(f.backend->toolTip, "Infusionsoft <> QuoteWerks");

    f.tray.ShowBalloon("t", "x", 1, 0, true);
    f.tray.SetTipText("changed");
    QCOMPARE(f.tray.TipText(), "changed");
    QCOMPARE(f.backend->toolTip, "Infusionsoft <> QuoteWerks");
    f.tray.HideBalloon();
    QCOMPARE(f.backend->toolTip, "changed");
}

void TestSystemTray::iconLifecycle() {
    Fixture f;
    QVERIFY(f.tray.Enabled());
    QVERIFY(!f.tray.Visible());
    QVERIFY(f.tray.IsTrayAvailable());
    f.backend->available = false;
    QVERIFY(!f.tray.IsTrayAvailable());
    f.backend->available = true;

    f.tray.AddIcon();
    QVERIFY(f.tray.Visible() && f.backend->visible);
    f.backend->visible = false; // the notification area restarted and lost the icon
    mdlSystemTray::OnTaskbarCreated(f.tray);
    QVERIFY(f.tray.Visible() && f.backend->visible);

    f.tray.ShowBalloon("t", "x", 1, 10000, true);
    f.tray.DeleteIcon();
    QVERIFY(!f.tray.Visible() && !f.backend->visible);
    QCOMPARE(f.tray.BalloonTimerId(), quintptr(0));
    mdlSystemTray::OnTaskbarCreated(f.tray);
    QVERIFY(!f.tray.Visible() && !f.backend->visible);
}

void TestSystemTray::receivedDataNeedsThePrefix() {
    Fixture f;
    QVERIFY(!mdlSystemTray::OnCopyData(f.tray, "hello"));
    QVERIFY(!mdlSystemTray::OnCopyData(f.tray, "received_data_hello"));
    QVERIFY(mdlSystemTray::OnCopyData(f.tray, "Received_Data_hello"));
    QVERIFY(mdlSystemTray::OnCopyData(f.tray, QString("Received_Data_cut") + QChar(0) + "rest"));
    QVERIFY(mdlSystemTray::OnCopyData(f.tray, "Received_Data_"));
    QCOMPARE(f.log.lines,
             QStringList({"ReceivedData(hello)", "ReceivedData(cut)", "ReceivedData()"}));
}

void TestSystemTray::receivedDataOverDBus() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QSKIP("no session bus (run the tests under dbus-run-session)");
    }
    auto first = std::make_unique<Fixture>();
    QDBusInterface iface(bus.baseService(), QString(code::kDBusObjectPath),
                         QString(code::kDBusInterface), bus);
    QVERIFY(iface.isValid());
    iface.asyncCall("ReceivedData", "Received_Data_quote 1042");
    iface.asyncCall("ReceivedData", "no prefix");
    QTRY_COMPARE(first->log.lines, QStringList{"ReceivedData(quote 1042)"});

    // Another program reaches it over the bus itself.
    const QString dbusSend = QStandardPaths::findExecutable("dbus-send");
    if (!dbusSend.isEmpty()) {
        QProcess sender;
        // The running copy owns the program's well-known name, so senders need not
        // know its unique connection name.
        QCOMPARE(bus.interface()->serviceOwner(QString(code::kDBusServiceName)).value(),
                 bus.baseService());
        sender.start(dbusSend,
                     {"--session", "--type=method_call",
                      "--dest=" + QString(code::kDBusServiceName), QString(code::kDBusObjectPath),
                      QString(code::kDBusInterface) + ".ReceivedData",
                      "string:Received_Data_from outside"});
        QTRY_COMPARE(first->log.lines.size(), 2);
        QCOMPARE(first->log.lines.back(), "ReceivedData(from outside)");
        QTRY_COMPARE(sender.state(), QProcess::NotRunning);
        QCOMPARE(sender.exitCode(), 0);
        first->log.lines.removeLast();
    }

    // A second tray object cannot take the path while the first holds it ...
    auto second = std::make_unique<Fixture>();
    iface.asyncCall("ReceivedData", "Received_Data_again");
    QTRY_COMPARE(first->log.lines.size(), 2);
    QVERIFY(second->log.lines.isEmpty());

    // ... and the path is free again once the holder is gone.
    first.reset();
    second.reset();
    QVERIFY(!bus.interface()->isServiceRegistered(QString(code::kDBusServiceName)).value());
    Fixture third;
    iface.asyncCall("ReceivedData", "Received_Data_third");
    QTRY_COMPARE(third.log.lines, QStringList{"ReceivedData(third)"});
}

void TestSystemTray::failingHandlerIsReported() {
    pellwick::testing::CoreTestScope scope;
    Fixture f;
    connect(&f.tray, &clsSystemTray::Click, &f.log,
            [](qint16) { throw std::runtime_error("handler failed"); });
    emit f.backend->activated(QSystemTrayIcon::Trigger);
    QCOMPARE(f.log.lines, QStringList({"MouseDown(1)", "MouseUp(1)", "Click(1)"}));
    QCOMPARE(scope.boxes->boxes().size(), size_t(1));
    const pellwick::MessageBoxRequest& box = scope.boxes->boxes().front();
    QCOMPARE(box.title, "Pellwick Error");
    QVERIFY(box.text.contains("Error Section: ProcessMessage"));
    QVERIFY(box.text.contains("handler failed"));

    // The icon goes on working.
    emit f.backend->activated(QSystemTrayIcon::DoubleClick);
    QCOMPARE(f.log.lines.back(), "DblClick(1)");
}

void TestSystemTray::withoutANotificationArea() {
    // The offscreen platform has no notification area: the icon is "added" but cannot be
    // seen, and the tray says so, so that the main window does not hide itself.
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        QSKIP("this desktop has a notification area");
    }
    clsSystemTray tray;
    QPixmap red(16, 16);
    red.fill(Qt::red);
    tray.SetIcon(QIcon(red));
    tray.SetTipText("Infusionsoft <> QuoteWerks");
    tray.AddIcon();
    QVERIFY(tray.Visible());
    QVERIFY(!tray.IsTrayAvailable());
    tray.DeleteIcon();
    QVERIFY(!tray.Visible());
}

QTEST_MAIN(TestSystemTray)
#include "tst_SystemTray.moc"
