// Host access against the host stand-in over the session bus and the CRM sandbox.

#include "HostStandInProcess.h"
#include "SandboxProcess.h"
#include "pellwick/ProgramState.h"
#include "pellwick/host/DBusQuoteWerksApp.h"
#include "pellwick/modMain.h"
#include "pellwick/modQWAPI.h"
#include "pellwick/testing/CoreTestScope.h"

#include <gtest/gtest.h>
#include <tessary/DataService.h>
#include <tessary/clsInfusionsoftAPI.h>

using namespace pellwick;
using hoststandin::HostStandInProcess;
using pellwick::testing::CoreTestScope;

namespace {

TEST(HostStandIn, ReadsTheQuoteAndWritesACrmContactIntoTheHostsForm) {
    CoreTestScope scope;
    State().AttachHost = [] { return AttachToRunningQuoteWerks(); };
    EXPECT_FALSE(SetupQuoteWerksConnection()) << "no host on the bus yet";
    scope.boxes->clear();

    HostStandInProcess host;
    QString why;
    ASSERT_TRUE(host.start(&why)) << why.toStdString();
    ASSERT_TRUE(SetupQuoteWerksConnection()) << scope.boxes->texts().join('|').toStdString();

    EXPECT_EQ(GetQuoteDocumentNumber(), QStringLiteral("Q1001"));
    EXPECT_EQ(GetQuoteDocumentName(), QStringLiteral("Office network refresh"));
    EXPECT_EQ(GetNotes(ClosingNotes), QStringLiteral("Prices are valid for 30 days."));
    const ContactDetails sold = GetContactDetails(ContactSoldTo);
    EXPECT_EQ(sold.Item("ContactFirstName"), QStringLiteral("Marion"));
    EXPECT_EQ(sold.Item("ContactMiddleName"), QStringLiteral("Q"));
    EXPECT_EQ(sold.Item("ContactLastName"), QStringLiteral("Okafor"));
    EXPECT_EQ(sold.Item("PhoneExt"), QStringLiteral("12"));
    EXPECT_EQ(sold.Item("Address2and3"), QStringLiteral("Suite 3"));
    EXPECT_EQ(sold.Item("FaxNumber"), QStringLiteral("603-555-0142 "));
    EXPECT_EQ(GetContactDetails(ContactShipTo).Item("Address2and3"),
              QStringLiteral("Loading door at the rear, Building B"));
    EXPECT_TRUE(scope.boxes->boxes().empty()) << scope.boxes->texts().join('|').toStdString();

    // A contact from the CRM into the Bill To section, shown in the host's form.
    sandbox::SandboxOptions crm;
    crm.extraArgs = {"--memory", "--seed", "empty"};
    sandbox::SandboxProcess sandbox(crm);
    WriteInfusionsoftAppNameToRegistry(QStringLiteral("demo"));
    WriteInfusionsoftAPIKeyToRegistry(QString::fromStdString(crm.apiKey));
    scope.useLocalEndpoint(sandbox.port(), QString::fromStdString(sandbox.caFile()));
    ASSERT_TRUE(SetupInfusionsoftConnection());
    tessary::RpcStruct contact;
    contact.AddString("FirstName", "Rui");
    contact.AddString("LastName", "Sato");
    contact.AddString("Phone1Ext", "77");
    contact.AddString("City", "Keene");
    const std::int32_t id = State().InfusionsoftConnection->DataService()->Add("Contact", contact);
    ASSERT_GT(id, 0);
    SendContactToQuoteWerks(ContactBillTo, id);
    EXPECT_TRUE(scope.boxes->boxes().empty()) << scope.boxes->texts().join('|').toStdString();
    EXPECT_EQ(host.formField(QStringLiteral("BillToContact")), QStringLiteral("Rui Sato"));
    EXPECT_EQ(host.formField(QStringLiteral("BillToCity")), QStringLiteral("Keene"));
    EXPECT_EQ(host.formField(QStringLiteral("BillToPhoneExt")), QStringLiteral("77"))
        << "the host takes \"Phoneext\" as PhoneExt";
    EXPECT_EQ(host.formField(QStringLiteral("BillToCompany")), QString());
    EXPECT_EQ(host.formField(QStringLiteral("BillToFaxExt")), QStringLiteral("4")) << "untouched";

    // No document open, then the host gone: the words of each case, never a hang.
    host.closeDocument();
    EXPECT_EQ(GetQuoteDocumentNumber(), QString());
    ASSERT_EQ(scope.boxes->boxes().size(), 1u);
    EXPECT_EQ(scope.boxes->boxes()[0].text,
              QStringLiteral("There are no documents currently open in QuoteWerks."));
    scope.boxes->clear();
    host.kill();
    EXPECT_EQ(GetQuoteDocumentNumber(), QString());
    ASSERT_EQ(scope.boxes->boxes().size(), 1u);
    EXPECT_EQ(scope.boxes->boxes()[0].title, QStringLiteral("Pellwick Error"));
    EXPECT_TRUE(scope.boxes->texts()[0].contains(
        QStringLiteral("Error Section: CheckIfDocumentIsActive\r\n")));
}

} // namespace
