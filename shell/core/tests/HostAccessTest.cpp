#include "pellwick/ErrorReport.h"
#include "pellwick/ProgramState.h"
#include "pellwick/WindowDoors.h"
#include "pellwick/modMain.h"
#include "pellwick/modQWAPI.h"
#include "pellwick/testing/CoreTestScope.h"

#include <QTcpServer>
#include <gtest/gtest.h>
#include <tessary/clsInfusionsoftAPI.h>

using namespace pellwick;
using pellwick::testing::CoreTestScope;
using pellwick::testing::FakeQuoteWerksApp;

namespace {

void ExpectOneCriticalBox(const CoreTestScope& scope, const QString& text) {
    ASSERT_EQ(scope.boxes->boxes().size(), 1u) << scope.boxes->texts().join('|').toStdString();
    const MessageBoxRequest& box = scope.boxes->boxes()[0];
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.title, QStringLiteral("Pellwick"));
    EXPECT_EQ(box.icon, MsgIcon::Critical);
    EXPECT_EQ(box.buttons, MsgButtons::Ok);
}

TEST(SetupQuoteWerksConnection, HostNotRunningClosesTheMainWindow) {
    CoreTestScope scope;
    EXPECT_FALSE(SetupQuoteWerksConnection());
    ExpectOneCriticalBox(scope,
                         QStringLiteral("QuoteWerks needs to be running when using the Pellwick."));
    EXPECT_EQ(scope.mainWindow.infoText, QStringLiteral("QuoteWerks needs to be running."));
    EXPECT_EQ(scope.mainWindow.closed, 1);
    EXPECT_FALSE(State().QuoteWerksApp);

    // An attach that throws is "not running" as well, never an error report.
    scope.boxes->clear();
    State().AttachHost = []() -> std::shared_ptr<QuoteWerksApp> { throw HostError("no bus"); };
    EXPECT_FALSE(SetupQuoteWerksConnection());
    ExpectOneCriticalBox(scope,
                         QStringLiteral("QuoteWerks needs to be running when using the Pellwick."));
}

TEST(SetupQuoteWerksConnection, KeepsTheRunningHost) {
    CoreTestScope scope;
    auto host = std::make_shared<FakeQuoteWerksApp>();
    scope.setHost(host);
    EXPECT_TRUE(SetupQuoteWerksConnection());
    EXPECT_EQ(State().QuoteWerksApp, host);
    EXPECT_TRUE(scope.boxes->boxes().empty());
    EXPECT_EQ(scope.mainWindow.closed, 0);
}

TEST(CheckQuoteWerksAndInfusionsoftObjects, NamesTheMissingObject) {
    CoreTestScope scope;
    EXPECT_FALSE(CheckQuoteWerksAndInfusionsoftObjects());
    ExpectOneCriticalBox(scope, QStringLiteral("QuoteWerks application is not running."));

    scope.boxes->clear();
    scope.attachFakeHost();
    EXPECT_FALSE(CheckQuoteWerksAndInfusionsoftObjects());
    ExpectOneCriticalBox(scope, QStringLiteral("Pellwick is not fully configured."));

    scope.boxes->clear();
    State().InfusionsoftConnection = tessary::clsInfusionsoftAPI::Create();
    EXPECT_TRUE(CheckQuoteWerksAndInfusionsoftObjects());
    EXPECT_TRUE(scope.boxes->boxes().empty());
}

TEST(CheckIfDocumentIsActive, ReportsNoHostAndNoDocument) {
    CoreTestScope scope;
    EXPECT_FALSE(CheckIfDocumentIsActive());
    ExpectOneCriticalBox(scope, QStringLiteral("QuoteWerks application is not running."));

    scope.boxes->clear();
    auto host = scope.attachFakeHost();
    host->setField(QStringLiteral("DocNo"), QStringLiteral("Q1001"));
    host->setField(QStringLiteral("DocName"), QStringLiteral("Office chairs"));
    host->setDocumentOpen(false);
    EXPECT_EQ(GetQuoteDocumentNumber(), QString());
    ExpectOneCriticalBox(scope,
                         QStringLiteral("There are no documents currently open in QuoteWerks."));
    EXPECT_TRUE(host->reads().isEmpty());

    scope.boxes->clear();
    host->setDocumentOpen(true);
    EXPECT_EQ(GetQuoteDocumentNumber(), QStringLiteral("Q1001"));
    EXPECT_EQ(GetQuoteDocumentName(), QStringLiteral("Office chairs"));
    EXPECT_TRUE(scope.boxes->boxes().empty());
}

TEST(CheckIfDocumentIsActive, AHostThatWentAwayEndsInTheErrorReport) {
    CoreTestScope scope;
    auto host = scope.attachFakeHost();
    host->setGone(true);
    EXPECT_EQ(GetQuoteDocumentName(), QString());
    ASSERT_EQ(scope.boxes->boxes().size(), 1u);
    EXPECT_EQ(scope.boxes->boxes()[0].title, QStringLiteral("Pellwick Error"));
    EXPECT_TRUE(scope.boxes->texts()[0].contains(QStringLiteral(
        "Error Section: CheckIfDocumentIsActive\r\nError Source: QuoteWerks.Application")));
}

TEST(SendContactToQuoteWerks, WithoutTheHostTheProgramEnds) {
    CoreTestScope scope;
    SendContactToQuoteWerks(ContactSoldTo, 12);
    ExpectOneCriticalBox(scope, QStringLiteral("QuoteWerks Application is not running!"));
    EXPECT_EQ(scope.mainWindow.ended, 1);
}

TEST(SendContactToQuoteWerks, WithoutAConnectionNothingIsWritten) {
    CoreTestScope scope;
    auto host = scope.attachFakeHost();
    SendContactToQuoteWerks(ContactSoldTo, 12);
    EXPECT_TRUE(host->writes().empty());
    ASSERT_EQ(scope.boxes->boxes().size(), 1u);
    EXPECT_TRUE(
        scope.boxes->texts()[0].contains(QStringLiteral("Error Section: SendContactToQuoteWerks")));
}

// Every part of the program meets a missing host or connection as the same error 91.
TEST(Doors, AMissingHostOrConnectionIsError91AndAWindowsOwnHostIsUsed) {
    CoreTestScope scope;
    const auto expectError91 = [](const auto& open) {
        try {
            open();
            ADD_FAILURE() << "no error";
        } catch (const ProgramError& error) {
            EXPECT_EQ(error.number(), 91);
            EXPECT_EQ(error.description(),
                      QStringLiteral("Object variable or With block variable not set"));
        }
    };
    expectError91([] { AttachedHost(); });
    expectError91([] { CrmServicesOrThrow(); });
    expectError91([] { WindowDoors().Document(); });

    FakeQuoteWerksApp own;
    WindowDoors doors;
    doors.host = [&own] { return &own; };
    EXPECT_EQ(&doors.Host(), &own);
    EXPECT_EQ(HostIfAttached(), nullptr);
    EXPECT_EQ(EmailedPdfPath(QStringLiteral("/qw"), QStringLiteral("Q1")),
              QStringLiteral("/qw/history/email/Q1.pdf"));
}

TEST(SetupInfusionsoftConnection, AFailedTestShowsTheMainWindowAndKeepsTheObject) {
    CoreTestScope scope;
    // A loopback port that refuses connections: the test call fails at once.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    WriteInfusionsoftAppNameToRegistry(QStringLiteral("demo"));
    WriteInfusionsoftAPIKeyToRegistry(QStringLiteral("key"));
    scope.useLocalEndpoint(port, scope.folder() + QStringLiteral("/ca.pem"));

    auto previous = tessary::clsInfusionsoftAPI::Create();
    State().InfusionsoftConnection = previous;
    EXPECT_FALSE(SetupInfusionsoftConnection());
    ExpectOneCriticalBox(scope, QStringLiteral("Unable to connect to your Infusionsoft account."));
    EXPECT_EQ(scope.mainWindow.infoText,
              QStringLiteral("Unable to connect to your Infusionsoft account.\r\n"
                             "Please click on the Configure button below."));
    EXPECT_EQ(scope.mainWindow.shown, 1);
    ASSERT_TRUE(State().InfusionsoftConnection);
    EXPECT_NE(State().InfusionsoftConnection, previous) << "replaced by a new object";
    const tessary::ConnectionOptions& options =
        State().InfusionsoftConnection->GetConnectionOptions();
    EXPECT_EQ(options.serviceDomain, "localhost");
    EXPECT_EQ(options.servicePort, port);
    EXPECT_EQ(options.caBundleFile, (scope.folder() + QStringLiteral("/ca.pem")).toStdString());
    EXPECT_FALSE(options.useCurrentEndpoint);
    EXPECT_EQ(State().InfusionsoftConnection->ApplicationName(), "demo");
    EXPECT_EQ(State().InfusionsoftConnection->InfusionsoftAPIKey(), "key");
}

TEST(OpenInfusionsoftPage, OpensThePageOfTheConfiguredAccount) {
    CoreTestScope scope;
    WriteInfusionsoftAppNameToRegistry(QStringLiteral("ab123"));
    OpenInfusionsoftPage(PageContact, 17);
    OpenInfusionsoftPage(PageOpportunity, 2147483647);
    OpenInfusionsoftPage(PageActionSet, 5);
    OpenInfusionsoftPage(3, 5); // other kinds open nothing
    scope.useLocalEndpoint(8443);
    OpenInfusionsoftPage(PageContact, 9);

    std::vector<QString> opened;
    for (const QUrl& url : scope.shell->opened())
        opened.push_back(url.toString(QUrl::FullyEncoded));
    EXPECT_EQ(opened,
              (std::vector<QString>{
                  "https://ab123.infusionsoft.com/Contact/manageContact.jsp?view=edit&ID=17",
                  "https://ab123.infusionsoft.com/Opportunity/"
                  "manageOpportunity.jsp?view=edit&ID=2147483647",
                  "https://ab123.infusionsoft.com/ContactTemplate/"
                  "manageContactTemplate.jsp?view=edit&ID=5",
                  "https://ab123.localhost:8443/Contact/manageContact.jsp?view=edit&ID=9"}));
    EXPECT_TRUE(scope.boxes->boxes().empty());
}

TEST(ShellOpen, EmailWebpageAndTheProgramFolder) {
    CoreTestScope scope;
    OpenEmail(QStringLiteral("support@varrow.example"));
    OpenWebpage(QStringLiteral("https://www.varrow.example/pellwick?x=1"));
    OpenPluginApplicationFolder();
    const auto& opened = scope.shell->opened();
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[0].toString(), QStringLiteral("mailto:support@varrow.example"));
    EXPECT_EQ(opened[1].toString(), QStringLiteral("https://www.varrow.example/pellwick?x=1"));
    EXPECT_TRUE(opened[2].isLocalFile());
    // The folder of the debug log: the program's (the scope's stand-in), it is writable.
    EXPECT_EQ(opened[2].toLocalFile(), scope.folder());
}

} // namespace
