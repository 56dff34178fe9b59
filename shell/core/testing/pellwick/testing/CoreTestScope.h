#pragma once
// One object a test creates first: a temporary folder holding the settings store, the
// debug log and the user's state folder, recording seams installed (also for the CRM library's
// boxes), the program-wide state reset, a recording main window registered, and the host attach
// returning `host` (null: not running). Everything is restored on destruction.

#include "pellwick/testing/FakeQuoteWerksApp.h"
#include "pellwick/testing/RecordingSeams.h"

#include <QTemporaryDir>
#include <memory>
#include <ostream>

// Readable QString values in test failure messages (found by GoogleTest by name).
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace pellwick::testing {

// True when PELLWICK_TEST_CRM_INTERFACE is "rest": the CRM tests then speak REST v2 to
// the sandbox, else XML-RPC.
bool TestsUseRestV2();

// The user's state folder ($XDG_STATE_HOME) pointed at `folder` for the object's life.
class StateHomeIn {
public:
    explicit StateHomeIn(const QString& folder);
    ~StateHomeIn();
    StateHomeIn(const StateHomeIn&) = delete;
    StateHomeIn& operator=(const StateHomeIn&) = delete;

private:
    bool m_wasSet;
    QByteArray m_old;
};

class CoreTestScope {
public:
    CoreTestScope();
    ~CoreTestScope();
    CoreTestScope(const CoreTestScope&) = delete;
    CoreTestScope& operator=(const CoreTestScope&) = delete;

    // The temporary folder, the settings file in it and the debug log's path.
    QString folder() const { return m_dir.path(); }
    QString settingsFile() const;
    QString debugLogPath() const;

    // Writes one stored value as text under the settings key (test set-up).
    void store(const QString& valueName, const QString& text) const;
    // Points the CRM endpoint settings at https://<app>.localhost:<port>, trusting
    // caFile when one is given (a local CRM sandbox), over the interface
    // TestsUseRestV2 names.
    void useLocalEndpoint(int port, const QString& caFile = QString()) const;

    // Makes SetupQuoteWerksConnection attach to this host (null: host not running).
    void setHost(std::shared_ptr<QuoteWerksApp> host);
    // A fake host, created and made the attach target, and already attached.
    std::shared_ptr<FakeQuoteWerksApp> attachFakeHost();

    std::shared_ptr<RecordingMessageBoxPresenter> boxes =
        std::make_shared<RecordingMessageBoxPresenter>();
    std::shared_ptr<RecordingShellOpener> shell = std::make_shared<RecordingShellOpener>();
    RecordingMainWindow mainWindow;

private:
    QTemporaryDir m_dir;
    StateHomeIn m_stateHome{m_dir.filePath(QStringLiteral("state"))};
};

} // namespace pellwick::testing
