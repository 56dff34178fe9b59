#include "pellwick/ProgramState.h"
#include "pellwick/modQWAPI.h"
#include "pellwick/testing/CoreTestScope.h"

#include <gtest/gtest.h>

using namespace pellwick;
using pellwick::testing::CoreTestScope;

namespace {

TEST(GetContactDetails, NameSplitsByWordCount) {
    struct Case {
        const char* name;
        const char* first;
        const char* middle;
        const char* last;
    };
    const Case cases[] = {
        {"", "", "", ""},
        {"Ann", "Ann", "", ""},
        {"Ann Smith", "Ann", "", "Smith"},
        {"Ann Marie Smith", "Ann", "Marie", "Smith"},
        {"Ann Marie de Smith", "Ann", "Marie", "Smith"}, // the third word is dropped
        {"Ann  Smith", "Ann", "", "Smith"},              // two blanks: an empty middle word
        {"Ann  Marie Smith", "Ann", "", "Smith"},
        {" Ann", "", "", "Ann"},
        {"Ann ", "Ann", "", ""},
        {" ", "", "", ""},
    };
    for (const Case& c : cases) {
        const NameParts parts = SplitContactName(QString::fromUtf8(c.name));
        EXPECT_EQ(parts.first, QString::fromUtf8(c.first)) << '"' << c.name << '"';
        EXPECT_EQ(parts.middle, QString::fromUtf8(c.middle)) << '"' << c.name << '"';
        EXPECT_EQ(parts.last, QString::fromUtf8(c.last)) << '"' << c.name << '"';
    }
}

TEST(GetContactDetails, ReadsTheSectionInOrderWithTheDerivedEntries) {
    CoreTestScope scope;
    auto host = scope.attachFakeHost();
    const QStringList keys = {"Company",  "Contact",  "Title", "Address1",   "Address2",
                              "Address3", "City",     "State", "PostalCode", "Country",
                              "Phone",    "PhoneExt", "Fax",   "FaxExt",     "Email"};
    for (const QString& key : keys) {
        host->setField(QStringLiteral("ShipTo") + key, QStringLiteral("ship ") + key);
        host->setField(QStringLiteral("SoldTo") + key, QStringLiteral("sold ") + key);
    }
    host->setField(QStringLiteral("ShipToContact"), QStringLiteral("Ann Marie Smith"));
    host->setField(QStringLiteral("ShipToFaxExt"), QString());
    host->setField(QStringLiteral("ShipToPostalCode"), 12345); // hosts may answer numbers

    const ContactDetails details = GetContactDetails(ContactShipTo);
    QStringList order;
    for (const auto& entry : details)
        order << entry.first;
    const QStringList derived = {"ContactFirstName", "ContactMiddleName", "ContactLastName",
                                 "Address2and3", "FaxNumber"};
    EXPECT_EQ(order, keys + derived);
    EXPECT_EQ(details.Item("Company"), QStringLiteral("ship Company"));
    EXPECT_EQ(details.Item("PostalCode"), QStringLiteral("12345"));
    EXPECT_EQ(details.Item("ContactFirstName"), QStringLiteral("Ann"));
    EXPECT_EQ(details.Item("ContactMiddleName"), QStringLiteral("Marie"));
    EXPECT_EQ(details.Item("ContactLastName"), QStringLiteral("Smith"));
    EXPECT_EQ(details.Item("Address2and3"), QStringLiteral("ship Address2, ship Address3"));
    EXPECT_EQ(details.Item("FaxNumber"), QStringLiteral("ship Fax ")) << "the blank stays";
    EXPECT_TRUE(scope.boxes->boxes().empty());

    host->setField(QStringLiteral("BillToAddress2"), QStringLiteral("Suite 4"));
    host->setField(QStringLiteral("BillToFax"), QStringLiteral("555-1"));
    host->setField(QStringLiteral("BillToFaxExt"), QStringLiteral("9"));
    const ContactDetails bill = GetContactDetails(ContactBillTo);
    EXPECT_EQ(bill.Item("Address2and3"), QStringLiteral("Suite 4")) << "no trailing comma";
    EXPECT_EQ(bill.Item("FaxNumber"), QStringLiteral("555-1 9"));
    EXPECT_EQ(bill.Item("ContactFirstName"), QString());

    // An unknown type has no prefix: the host refuses the bare field name.
    EXPECT_TRUE(GetContactDetails(7).IsEmpty());
    ASSERT_EQ(scope.boxes->boxes().size(), 1u);
    EXPECT_TRUE(scope.boxes->texts()[0].contains(QStringLiteral("\"Company\"")));
}

TEST(GetContactDetails, AHostThatHasGoneIsReportedUnderTheOperationsName) {
    CoreTestScope scope;
    auto host = scope.attachFakeHost();
    host->setGone(true);
    EXPECT_TRUE(GetContactDetails(ContactSoldTo).IsEmpty());
    ASSERT_EQ(scope.boxes->boxes().size(), 1u);
    EXPECT_TRUE(
        scope.boxes->texts()[0].contains(QStringLiteral("Error Section: GetContactDetails\r\n")));

    scope.boxes->clear();
    State().QuoteWerksApp.reset();
    EXPECT_TRUE(GetContactDetails(ContactSoldTo).IsEmpty());
    ASSERT_EQ(scope.boxes->boxes().size(), 1u);
    EXPECT_TRUE(scope.boxes->texts()[0].contains(QStringLiteral("Error Number: 91\r\n")));
}

TEST(GetNotes, ReadsTheFourNotesFieldsAndNothingElse) {
    CoreTestScope scope;
    auto host = scope.attachFakeHost();
    host->setField(QStringLiteral("IntroductionNotes"), QStringLiteral("intro"));
    host->setField(QStringLiteral("ClosingNotes"), QStringLiteral("closing"));
    host->setField(QStringLiteral("PurchasingNotes"), QStringLiteral("purchasing"));
    host->setField(QStringLiteral("InternalNotes"), QStringLiteral("internal"));
    EXPECT_EQ(GetNotes(IntroductionNotes), QStringLiteral("intro"));
    EXPECT_EQ(GetNotes(ClosingNotes), QStringLiteral("closing"));
    EXPECT_EQ(GetNotes(PurchasingNotes), QStringLiteral("purchasing"));
    EXPECT_EQ(GetNotes(InternalNotes), QStringLiteral("internal"));
    host->clearRecord();
    EXPECT_EQ(GetNotes(4), QString());
    EXPECT_EQ(GetNotes(-1), QString());
    EXPECT_TRUE(host->reads().isEmpty());
    // No open-document check of its own: the host's refusal is reported under its name.
    host->setDocumentOpen(false);
    EXPECT_EQ(GetNotes(ClosingNotes), QString());
    ASSERT_EQ(scope.boxes->boxes().size(), 1u);
    EXPECT_TRUE(scope.boxes->texts()[0].contains(QStringLiteral("Error Section: GetNotes\r\n")));
}

} // namespace
