// Host access against the CRM sandbox over HTTPS, writing into the in-memory host.

#include "SandboxProcess.h"
#include "pellwick/ProgramState.h"
#include "pellwick/modMain.h"
#include "pellwick/modQWAPI.h"
#include "pellwick/testing/CoreTestScope.h"

#include <gtest/gtest.h>
#include <tessary/DataService.h>
#include <tessary/clsInfusionsoftAPI.h>

using namespace pellwick;
using pellwick::testing::CoreTestScope;
using pellwick::testing::FakeQuoteWerksApp;
using Write = FakeQuoteWerksApp::Write;

namespace {

class CrmSandbox : public ::testing::Test {
protected:
    void SetUp() override {
        WriteInfusionsoftAppNameToRegistry(QStringLiteral("demo"));
        WriteInfusionsoftAPIKeyToRegistry(QString::fromStdString(sandbox.options().apiKey));
        scope.useLocalEndpoint(sandbox.port(), QString::fromStdString(sandbox.caFile()));
    }

    // Adds a contact through the program's connection; its Id.
    std::int32_t AddContact(const std::vector<std::pair<std::string, std::string>>& fields) {
        tessary::RpcStruct values;
        for (const auto& [name, value] : fields)
            values.AddString(name, value);
        return State().InfusionsoftConnection->DataService()->Add("Contact", values);
    }

    // The account's own endpoint, then the current endpoint form, which goes to "api." +
    // domain with the key in a header.
    void ExpectTheXmlRpcEndpointForms(const sandbox::LoggedCall& first) {
        EXPECT_EQ(first.path, "/api/xmlrpc");
        EXPECT_FALSE(first.keyInHeader);

        // The sandbox's certificate names
        // that host only when it is started for an account called "api" (a wildcard over
        // the single label "localhost" is not accepted by TLS clients).
        sandbox::SandboxOptions currentForm = Sandbox::opts();
        currentForm.app = "api";
        sandbox::SandboxProcess current(currentForm);
        scope.store(setting::InfusionsoftServicePort, QString::number(current.port()));
        scope.store(setting::InfusionsoftCABundle, QString::fromStdString(current.caFile()));
        scope.store(setting::InfusionsoftUseCurrentEndpoint, QStringLiteral("1"));
        ASSERT_TRUE(SetupInfusionsoftConnection()) << scope.boxes->texts().join('|').toStdString();
        const auto calls = current.calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].path, "/crm/xmlrpc");
        EXPECT_TRUE(calls[0].keyInHeader);
        scope.store(setting::InfusionsoftServicePort, QString::number(sandbox.port()));
        scope.store(setting::InfusionsoftCABundle, QString::fromStdString(sandbox.caFile()));
        scope.store(setting::InfusionsoftUseCurrentEndpoint, QStringLiteral("0"));
    }

    struct Sandbox : sandbox::SandboxProcess {
        Sandbox() : sandbox::SandboxProcess(opts()) {}
        static sandbox::SandboxOptions opts() {
            sandbox::SandboxOptions o;
            o.apiKey = "core-test-key";
            o.extraArgs = {"--memory", "--seed", "empty"};
            return o;
        }
        sandbox::SandboxOptions options() const { return opts(); }
    };

    CoreTestScope scope;
    Sandbox sandbox;
};

TEST_F(CrmSandbox, SendContactWritesTheThirteenFieldsInOrderRefreshingOnlyAtTheEnd) {
    ASSERT_TRUE(SetupInfusionsoftConnection()) << scope.boxes->texts().join('|').toStdString();
    const std::int32_t id = AddContact({{"FirstName", "Ann"},
                                        {"LastName", "M\xc3\xbcller"},
                                        {"Company", "Varrow & Sons"},
                                        {"Title", "Buyer"},
                                        {"StreetAddress1", "1 Main St"},
                                        {"StreetAddress2", "Suite <4>"},
                                        {"City", "Springfield"},
                                        {"State", "IL"},
                                        {"PostalCode", "62701"},
                                        {"Country", "United States"},
                                        {"Email", "ann@varrow.example"},
                                        {"Phone1", "555-0100"},
                                        {"Phone1Ext", "12"},
                                        {"Fax1", "555-0199"}});
    ASSERT_GT(id, 0);
    auto host = scope.attachFakeHost();
    host->setField(QStringLiteral("ShipToAddress3"), QStringLiteral("keep me"));
    host->setField(QStringLiteral("ShipToFaxExt"), QStringLiteral("7"));
    sandbox.clearLog();

    SendContactToQuoteWerks(ContactShipTo, id);

    EXPECT_TRUE(scope.boxes->boxes().empty()) << scope.boxes->texts().join('|').toStdString();
    const std::vector<Write> expected = {
        {"ShipToCompany", "Varrow & Sons", false},
        {"ShipToContact", QStringLiteral("Ann M\u00fcller"), false},
        {"ShipToTitle", "Buyer", false},
        {"ShipToAddress1", "1 Main St", false},
        {"ShipToAddress2", "Suite <4>", false},
        {"ShipToCity", "Springfield", false},
        {"ShipToState", "IL", false},
        {"ShipToPostalCode", "62701", false},
        {"ShipToCountry", "United States", false},
        {"ShipToPhone", "555-0100", false},
        {"ShipToPhoneext", "12", false},
        {"ShipToFax", "555-0199", false},
        {"ShipToEmail", "ann@varrow.example", true},
    };
    EXPECT_EQ(host->writes(), expected);
    EXPECT_EQ(host->field(QStringLiteral("ShipToAddress3")), QStringLiteral("keep me"));
    EXPECT_EQ(host->field(QStringLiteral("ShipToFaxExt")), QStringLiteral("7"));

    // One query: table, limit 1, page 0, the Id as text, the fifteen fields in order (on
    // REST v2 one read of the contact).
    const auto calls = sandbox.calls();
    ASSERT_EQ(calls.size(), 1u);
    if (pellwick::testing::TestsUseRestV2()) {
        EXPECT_EQ(calls[0].method, "GET /contacts/{id}");
        return;
    }
    EXPECT_EQ(calls[0].method, "DataService.query");
    ASSERT_EQ(calls[0].params.size(), 6u);
    EXPECT_EQ(calls[0].params[1].value, "Contact");
    EXPECT_EQ(calls[0].params[2].value, 1);
    EXPECT_EQ(calls[0].params[3].value, 0);
    EXPECT_EQ(calls[0].params[4].value["Id"]["type"], "string");
    EXPECT_EQ(calls[0].params[4].value["Id"]["value"], std::to_string(id));
    std::vector<std::string> selected;
    for (const auto& field : calls[0].params[5].value)
        selected.push_back(field["value"].get<std::string>());
    EXPECT_EQ(selected, (std::vector<std::string>{"Company", "Id", "FirstName", "LastName", "Title",
                                                  "StreetAddress1", "StreetAddress2", "City",
                                                  "State", "PostalCode", "Country", "Email",
                                                  "Phone1", "Phone1Ext", "Fax1"}));
}

TEST_F(CrmSandbox, AnEmptyFirstNameStillGivesTheBlankAndMissingFieldsWriteEmptyText) {
    ASSERT_TRUE(SetupInfusionsoftConnection());
    // (REST v2 makes no contact without an e-mail, a phone or an address: a phone, then.)
    const std::int32_t id = AddContact({{"LastName", "Smith"}, {"Phone1", "555-0100"}});
    ASSERT_GT(id, 0);
    auto host = scope.attachFakeHost();
    host->setField(QStringLiteral("SoldToCity"), QStringLiteral("old city"));

    SendContactToQuoteWerks(ContactSoldTo, id);

    ASSERT_EQ(host->writes().size(), 13u);
    EXPECT_EQ(host->writes()[1], (Write{"SoldToContact", " Smith", false}));
    EXPECT_EQ(host->writes()[5], (Write{"SoldToCity", "", false}));
    EXPECT_EQ(host->writes()[12], (Write{"SoldToEmail", "", true}));
    EXPECT_TRUE(scope.boxes->boxes().empty());
}

TEST_F(CrmSandbox, AnUnknownContactWritesNothing) {
    ASSERT_TRUE(SetupInfusionsoftConnection());
    auto host = scope.attachFakeHost();
    SendContactToQuoteWerks(ContactBillTo, 987654);
    EXPECT_TRUE(host->writes().empty());
    ASSERT_EQ(scope.boxes->boxes().size(), 1u);
    EXPECT_EQ(scope.boxes->boxes()[0].text,
              QStringLiteral("Contact was not found in Infusionsoft!"));
    EXPECT_EQ(scope.boxes->boxes()[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(scope.boxes->boxes()[0].title, QStringLiteral("Pellwick"));
}

TEST_F(CrmSandbox, AFailingQueryShowsTheLibrarysBoxAndWritesNothing) {
    ASSERT_TRUE(SetupInfusionsoftConnection());
    auto host = scope.attachFakeHost();
    sandbox.setFault("http500", 1);
    SendContactToQuoteWerks(ContactSoldTo, 1);
    EXPECT_TRUE(host->writes().empty());
    const QStringList texts = scope.boxes->texts();
    ASSERT_FALSE(texts.isEmpty());
    EXPECT_EQ(texts.last(), QStringLiteral("Contact was not found in Infusionsoft!"));
}

TEST_F(CrmSandbox, SetupFollowsTheEndpointSettings) {
    ASSERT_TRUE(SetupInfusionsoftConnection());
    auto calls = sandbox.calls();
    ASSERT_EQ(calls.size(), 1u);
    if (pellwick::testing::TestsUseRestV2())
        EXPECT_EQ(calls[0].method, "GET /oauth/connect/userinfo");
    else
        ExpectTheXmlRpcEndpointForms(calls[0]);

    // A wrong key: the test call fails and the main window is shown with the hint.
    WriteInfusionsoftAPIKeyToRegistry(QStringLiteral("wrong-key"));
    scope.boxes->clear();
    EXPECT_FALSE(SetupInfusionsoftConnection());
    ASSERT_FALSE(scope.boxes->boxes().empty());
    EXPECT_EQ(scope.boxes->texts().last(),
              QStringLiteral("Unable to connect to your Infusionsoft account."));
    EXPECT_EQ(scope.mainWindow.shown, 1);
}

TEST_F(CrmSandbox, PagesOpenOnTheSandbox) {
    OpenInfusionsoftPage(PageOpportunity, 3);
    ASSERT_EQ(scope.shell->opened().size(), 1u);
    EXPECT_EQ(
        scope.shell->opened()[0].toString(),
        QStringLiteral("https://demo.localhost:%1/Opportunity/manageOpportunity.jsp?view=edit&ID=3")
            .arg(sandbox.port()));
}

} // namespace
