#pragma once
// The windows of a running pellwick_walk, operated from a test over the session bus (the
// interface com.pellwick.Walk at /Walk of the bus name Varrow.Pellwick).

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace pellwick::testing {

class WalkClient {
public:
    QStringList windows() { return call<QStringList>("Windows"); }
    // The window's title and controls (see WindowAutomation::Describe); empty when closed.
    QJsonObject describe(const QString& window) {
        return QJsonDocument::fromJson(call<QString>("Describe", window).toUtf8()).object();
    }
    // One control's description.
    QJsonObject control(const QString& window, const QString& name) {
        return describe(window)[QStringLiteral("controls")][name].toObject();
    }
    bool setText(const QString& window, const QString& control, const QString& text) {
        return call<bool>("SetText", window, control, text);
    }
    bool click(const QString& window, const QString& control) {
        return call<bool>("Click", window, control);
    }
    bool pick(const QString& window, const QString& combo, const QString& entry) {
        return call<bool>("Pick", window, combo, entry);
    }
    bool row(const QString& window, const QString& list, int row) {
        return call<bool>("Row", window, list, row);
    }
    bool key(const QString& window, const QString& keys) { return call<bool>("Key", window, keys); }
    bool shot(const QString& window, const QString& path) {
        return call<bool>("Shot", window, path);
    }
    QStringList boxes() { return call<QStringList>("Boxes"); }
    QStringList opened() { return call<QStringList>("Opened"); }

    // Waits until `ready` holds, checking every 50 ms; false after timeoutMs.
    template <class F> static bool waitFor(F ready, int timeoutMs = 20000) {
        QDeadlineTimer deadline(timeoutMs);
        while (!ready()) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(50);
        }
        return true;
    }
    bool waitWindow(const QString& name, bool open = true, int timeoutMs = 20000) {
        return waitFor([&] { return windows().contains(name) == open; }, timeoutMs);
    }

private:
    template <class T, class... Args> T call(const char* method, const Args&... args) {
        // A plain call, no introspection first: the walk is asked often while it waits.
        QDBusMessage message = QDBusMessage::createMethodCall(
            QStringLiteral("Varrow.Pellwick"), QStringLiteral("/Walk"),
            QStringLiteral("com.pellwick.Walk"), QString::fromLatin1(method));
        message.setArguments({QVariant::fromValue(args)...});
        const QDBusReply<T> reply = QDBusConnection::sessionBus().call(message);
        return reply.isValid() ? reply.value() : T();
    }
};

} // namespace pellwick::testing
