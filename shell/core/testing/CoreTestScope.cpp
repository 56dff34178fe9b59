#include "pellwick/testing/CoreTestScope.h"

#include "pellwick/ProgramState.h"
#include "pellwick/modMain.h"
#include "pellwick/modRegistry.h"

#include <QFile>
#include <stdexcept>
#include <tessary/Notifier.h>

namespace pellwick::testing {

CoreTestScope::CoreTestScope() {
    if (!m_dir.isValid())
        throw std::runtime_error("no temporary folder for the test");
    SetSettingsFileOverride(settingsFile());
    SetDebugLogFolderOverride(m_dir.path());
    SetMessageBoxPresenter(boxes);
    SetShellOpener(shell);
    InstallTessaryNotifier();
    ResetProgramState();
    State().MainWindow = &mainWindow;
    setHost(nullptr);
}

CoreTestScope::~CoreTestScope() {
    ResetProgramState();
    tessary::SetNotifier(nullptr);
    SetShellOpener(nullptr);
    SetMessageBoxPresenter(nullptr);
    SetDebugLogFolderOverride(QString());
    // Never fall back to the user's own store: park the override in the (now removed)
    // temporary folder until the next scope sets its own.
    SetSettingsFileOverride(settingsFile());
}

QString CoreTestScope::settingsFile() const {
    return m_dir.filePath(QStringLiteral("Pellwick.conf"));
}

QString CoreTestScope::debugLogPath() const {
    return m_dir.filePath(QStringLiteral("DebugLog.txt"));
}

void CoreTestScope::store(const QString& valueName, const QString& text) const {
    if (WriteSetting(valueName, text) != 0)
        throw std::runtime_error("could not write the test's settings");
}

void CoreTestScope::useLocalEndpoint(int port, const QString& caFile) const {
    store(setting::InfusionsoftServiceDomain, QStringLiteral("localhost"));
    store(setting::InfusionsoftServicePort, QString::number(port));
    if (!caFile.isEmpty())
        store(setting::InfusionsoftCABundle, caFile);
    // One suite, both interfaces: ctest runs the CRM tests a second time with REST v2.
    const bool rest = TestsUseRestV2();
    store(setting::InfusionsoftInterface, rest ? kInterfaceRestV2 : kInterfaceXmlRpc);
    if (rest)
        store(setting::InfusionsoftRestBaseUrl,
              QStringLiteral("https://localhost:%1/crm/rest/v2").arg(port));
}

StateHomeIn::StateHomeIn(const QString& folder)
    : m_wasSet(qEnvironmentVariableIsSet("XDG_STATE_HOME")), m_old(qgetenv("XDG_STATE_HOME")) {
    qputenv("XDG_STATE_HOME", QFile::encodeName(folder));
}

StateHomeIn::~StateHomeIn() {
    if (m_wasSet)
        qputenv("XDG_STATE_HOME", m_old);
    else
        qunsetenv("XDG_STATE_HOME");
}

bool TestsUseRestV2() {
    return qEnvironmentVariable("PELLWICK_TEST_CRM_INTERFACE")
               .compare(QStringLiteral("rest"), Qt::CaseInsensitive) == 0;
}

void CoreTestScope::setHost(std::shared_ptr<QuoteWerksApp> host) {
    State().AttachHost = [host] { return host; };
}

std::shared_ptr<FakeQuoteWerksApp> CoreTestScope::attachFakeHost() {
    auto host = std::make_shared<FakeQuoteWerksApp>(m_dir.path());
    setHost(host);
    State().QuoteWerksApp = host;
    return host;
}

} // namespace pellwick::testing
