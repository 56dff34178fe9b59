// The Save Quote window's decisions without widgets: searches and matches, entry texts,
// the opportunity's notes, title, revenue and record, the note match, files and the
// settings written.

#include "pellwick/savequote/SaveQuoteRules.h"

#include "pellwick/ErrorReport.h"
#include "pellwick/modMain.h"
#include "pellwick/testing/CoreTestScope.h"

#include <gtest/gtest.h>

using namespace pellwick;
using namespace pellwick::savequote;

namespace {

// The members of a record as "name=value" in order (values read as text).
QStringList Members(const tessary::RpcStruct& record) {
    QStringList members;
    for (const auto& [name, value] : record.Members())
        members << QString::fromStdString(name + "=" + value.StringValue());
    return members;
}

TEST(SaveQuoteRules, SectionsSearchedAndNewContactEntries) {
    // The same address in three sections is asked for once; Bill To's own address too.
    std::array<SectionContact, 3> sections{
        {{"", "a@x.example"}, {"", "a@x.example"}, {"", "b@x.example"}}};
    const std::vector<EmailSearch> searches = EmailsToSearch(sections);
    ASSERT_EQ(searches.size(), 2u);
    EXPECT_EQ(searches[0].section, QStringLiteral("Sold To"));
    EXPECT_EQ(searches[1].section, QStringLiteral("Bill To"));
    EXPECT_EQ(searches[1].email, QStringLiteral("b@x.example"));

    // Only Ship To has data: its entry alone, value -2, which names section 1.
    sections = {{{"", ""}, {"teo brandt", ""}, {"", ""}}};
    const std::vector<ListEntry> entries = NewContactEntries(sections);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].value, -2);
    EXPECT_EQ(entries[0].text, QStringLiteral("(New Contact - Use 'Ship To')"));
    EXPECT_EQ(SectionOfNewContact(-2), 1);
    EXPECT_EQ(SectionOfNewContact(51), -1);
}

TEST(SaveQuoteRules, NameSearchAndWhatMatches) {
    EXPECT_TRUE(NameSearchFor(QStringLiteral("Smith")).IsEmpty()); // one word: no query
    const NameSearch mary = NameSearchFor(QStringLiteral("Mary Ann Smith"));
    EXPECT_EQ(mary.firstName, QStringLiteral("Mary"));
    EXPECT_EQ(mary.lastName, QStringLiteral("Smith"));
    const NameSearch lastOnly = NameSearchFor(QStringLiteral(" Okafor"));
    EXPECT_TRUE(lastOnly.firstName.isEmpty());
    EXPECT_EQ(lastOnly.lastName, QStringLiteral("Okafor"));

    // "%" is the CRM's wildcard: what it finds besides the text itself is not listed.
    EXPECT_TRUE(EmailMatches(QStringLiteral("Marion.Okafor@harbourlane.example"),
                             QStringLiteral("marion.okafor@harbourlane.example")));
    EXPECT_FALSE(EmailMatches(QStringLiteral("marion.okafor@harbourlane.example"),
                              QStringLiteral("%@harbourlane.example")));
    EXPECT_TRUE(NameMatches(QStringLiteral("JOHN"), QStringLiteral("smith"),
                            NameSearchFor(QStringLiteral("John Smith"))));
    EXPECT_FALSE(NameMatches(QStringLiteral("David"), QStringLiteral("Okafor"),
                             NameSearchFor(QStringLiteral("D% Okafor"))));
    EXPECT_TRUE(NameMatches(QStringLiteral("Any"), QStringLiteral("Okafor"), lastOnly));
}

TEST(SaveQuoteRules, EntryTextsAndPreselection) {
    EXPECT_EQ(QuoteCaption(QStringLiteral("<b>x</b>"), QStringLiteral("Q1")),
              QStringLiteral("<b>x</b> <Q1>"));
    EXPECT_EQ(ContactEntryText(QStringLiteral("Marion"), QStringLiteral("Okafor"),
                               QStringLiteral("m@h.example"), 51),
              QStringLiteral("Marion Okafor - m@h.example - (51)"));
    EXPECT_EQ(OpportunityEntryText(QStringLiteral("Refit"), QStringLiteral("Quote Sent"), 7),
              QStringLiteral("Refit (Quote Sent) - (7)"));
    EXPECT_EQ(OpportunityEntryText(QStringLiteral("Refit"), std::nullopt, 7),
              QStringLiteral("Refit - (7)")); // no stage known: no stage part
    EXPECT_EQ(ActionSetEntryText(QStringLiteral("(Blank)"), 3), QStringLiteral("(Blank) - (3)"));

    struct Case {
        std::int32_t remembered, entry;
        bool opportunity, actionSet;
    };
    for (const Case& c :
         {Case{-2, -2, true, true}, Case{0, -1, true, false}, Case{-1, -1, true, true},
          Case{0, -2, false, false}, Case{40000, 40000, false, true}, Case{40000, -1, false, false},
          Case{7, 7, false, true}}) {
        SCOPED_TRACE(::testing::Message() << c.remembered << " / " << c.entry);
        EXPECT_EQ(PreselectOpportunity(c.remembered, c.entry), c.opportunity);
        EXPECT_EQ(PreselectActionSet(c.remembered, c.entry), c.actionSet);
    }
}

TEST(SaveQuoteRules, OpportunityNotesAndTitle) {
    EXPECT_EQ(OpportunityNotes({}, {}, {}, QStringLiteral("Margin")),
              QStringLiteral("Internal Notes:") + kCrLf + QStringLiteral("Margin"));
    EXPECT_EQ(OpportunityNotes(QStringLiteral("Hello"), {}, {}, {}),
              QStringLiteral("Introduction Notes:") + kCrLf + QStringLiteral("Hello") + kCrLf +
                  kCrLf);
    EXPECT_EQ(OpportunityNotes(QStringLiteral("I"), QStringLiteral("P"), QStringLiteral("C"),
                               QStringLiteral("N")),
              QStringLiteral("Introduction Notes:\r\nI\r\n\r\nPurchasing Notes:\r\nP\r\n\r\n"
                             "Closing Notes:\r\nC\r\n\r\nInternal Notes:\r\nN"));
    EXPECT_TRUE(OpportunityNotes({}, {}, {}, {}).isEmpty());

    EXPECT_EQ(OpportunityTitle(QStringLiteral("Marion"), QStringLiteral("Okafor"), {}),
              QStringLiteral("Marion Okafor"));
    EXPECT_EQ(OpportunityTitle({}, {}, QStringLiteral(" ap@h.example")),
              QStringLiteral(" ap@h.example"));
    EXPECT_EQ(OpportunityTitle({}, {}, QStringLiteral("  ")), QStringLiteral("Opportunity"));
}

TEST(SaveQuoteRules, RevenueIsAPlainNumberOrNothing) {
    struct Case {
        QVariant total;
        std::optional<double> revenue;
    };
    for (const Case& c : {Case{QStringLiteral("12480.50"), 12480.5},
                          Case{QStringLiteral(" 99 "), 99.0}, Case{QVariant(12480.5), 12480.5},
                          Case{QVariant(qlonglong(7)), 7.0}, Case{QStringLiteral("12,480.50"), {}},
                          Case{QStringLiteral("$10"), {}}, Case{QStringLiteral(""), {}},
                          Case{QStringLiteral("inf"), {}}, Case{QVariant(true), {}}}) {
        SCOPED_TRACE(c.total.toString().toStdString());
        EXPECT_EQ(RevenueNumber(c.total), c.revenue);
    }
}

TEST(SaveQuoteRules, OpportunityRecordForEachChoice) {
    OpportunityInput in;
    in.contactId = 51;
    in.title = QStringLiteral("Marion Okafor");
    in.notes = QStringLiteral("Internal Notes:\r\nN");
    in.revenue = 12480.5;
    in.addNotes = in.updateRevenue = true;

    in.value = kNewOpportunity;
    OpportunityPlan plan = PlanOpportunity(in);
    EXPECT_EQ(plan.write, OpportunityWrite::Add);
    EXPECT_EQ(
        Members(plan.record),
        QStringList({"ContactID=51", "ProjectedRevenueHigh=12480.5", "ProjectedRevenueLow=12480.5",
                     "OpportunityTitle=Marion Okafor", "OpportunityNotes=Internal Notes:\r\nN"}));
    EXPECT_EQ(plan.record.Item("ProjectedRevenueHigh").Type(), tessary::RpcType::Double);

    // A new one without notes, a total that is no number: still added, with its title.
    in.notes.clear();
    in.revenue.reset();
    plan = PlanOpportunity(in);
    EXPECT_EQ(plan.write, OpportunityWrite::Add);
    EXPECT_EQ(Members(plan.record),
              QStringList({"ContactID=51", "OpportunityTitle=Marion Okafor"}));

    // An existing one: the revenue alone is reason enough to update it.
    in.value = 7;
    in.revenue = 100.0;
    plan = PlanOpportunity(in);
    EXPECT_EQ(plan.write, OpportunityWrite::Update);
    EXPECT_EQ(Members(plan.record),
              QStringList({"ContactID=51", "ProjectedRevenueHigh=100", "ProjectedRevenueLow=100"}));
    in.updateRevenue = false;
    EXPECT_EQ(PlanOpportunity(in).write, OpportunityWrite::None);
    in.notes = QStringLiteral("x");
    in.addNotes = false;
    EXPECT_EQ(PlanOpportunity(in).write, OpportunityWrite::None);
    in.addNotes = true;
    EXPECT_EQ(Members(PlanOpportunity(in).record),
              QStringList({"ContactID=51", "OpportunityNotes=x"}));
    in.value = kBlankEntry;
    EXPECT_EQ(PlanOpportunity(in).write, OpportunityWrite::None);
}

TEST(SaveQuoteRules, NewContactRecordAndFax) {
    ContactDetails details;
    for (const char* key :
         {"Company", "Contact", "Title", "Address1", "Address2", "Address3", "City", "State",
          "PostalCode", "Country", "Phone", "PhoneExt", "Fax", "FaxExt", "Email",
          "ContactFirstName", "ContactMiddleName", "ContactLastName", "Address2and3"})
        details.Add(QString::fromLatin1(key), QString::fromLatin1(key).toLower());
    const QStringList members = Members(NewContactRecord(details));
    EXPECT_EQ(members.first(), QStringLiteral("Email=email"));
    EXPECT_TRUE(members.contains(QStringLiteral("StreetAddress2=address2and3")));
    EXPECT_EQ(members.last(), QStringLiteral("Fax1=fax ext faxext"));
    EXPECT_EQ(members.size(), 15);

    EXPECT_EQ(Fax1Value(QStringLiteral("603"), QStringLiteral("  ")), QStringLiteral("603"));
    EXPECT_EQ(Fax1Value(QStringLiteral("603"), QStringLiteral("4")), QStringLiteral("603 ext 4"));
}

TEST(SaveQuoteRules, QuoteNumberAsFileNameAndNoteMatch) {
    for (const char* bad : {"", ".", "..", "../../x", "a/b", "a\\b", "Q\n1", "Q\x01"})
        EXPECT_FALSE(IsPlainFileName(QString::fromLatin1(bad))) << bad;
    for (const char* good : {"Q1001", "1001", "Q.1001", "Q 1 ..x"})
        EXPECT_TRUE(IsPlainFileName(QString::fromLatin1(good))) << good;
    EXPECT_EQ(QuoteFilePath(QStringLiteral("/qw"), QStringLiteral("Q1")),
              QStringLiteral("/qw/DTF/Q1.dtf"));

    const QString mine = QStringLiteral("Quote <100>");
    EXPECT_TRUE(IsSameNote(QStringLiteral("QUOTE &lt;100&gt;"), mine));
    EXPECT_TRUE(IsSameNote(QStringLiteral("A &amp; B"), QStringLiteral("a & b")));
    EXPECT_FALSE(IsSameNote(QStringLiteral("Quote <1001>"), mine));
    EXPECT_FALSE(IsSameNote(QString(), QString())); // an empty description never counts
}

TEST(SaveQuoteRules, SettingsWrittenInOrder) {
    CommitChoices c;
    c.addQuoteDocNo = c.uploadQuoteFile = c.updateProjectedRevenue = true;
    c.addNotesEnabled = true;
    c.opportunity = 40000;
    const std::vector<SettingWrite> afterSave = SettingsToWrite(c);
    const std::vector<SettingWrite> expected = {
        {setting::AddQuoteDocNo, "1"},          {setting::UploadQuoteFile, "1"},
        {setting::OpenContactRecord, "0"},      {setting::AddOpportunityNotes, "0"},
        {setting::UpdateProjectedRevenue, "1"}, {setting::DropDownOpportunity, "40000"},
        {setting::OpenOpportunityRecord, "0"},  {setting::DropDownActionSet, "-2"}};
    EXPECT_EQ(afterSave, expected);

    // The e-mail layout writes the PDF choice; an opportunity this showing created from
    // "(New Opportunity)" is remembered as "(New Opportunity)"; nothing selected is -2.
    c.uploadQuotePDFEnabled = c.uploadQuotePDF = true;
    c.addNotesEnabled = false;
    c.createdOpportunity = 40000;
    c.actionSet = 6;
    const std::vector<SettingWrite> afterEmail = SettingsToWrite(c);
    ASSERT_EQ(afterEmail.size(), 8u);
    EXPECT_EQ(afterEmail[2], (SettingWrite{setting::UploadQuotePDFFile, "1"}));
    EXPECT_EQ(afterEmail[5], (SettingWrite{setting::DropDownOpportunity, "-1"}));
    EXPECT_EQ(afterEmail[7], (SettingWrite{setting::DropDownActionSet, "6"}));
    c.opportunity.reset();
    EXPECT_EQ(SettingsToWrite(c)[5], (SettingWrite{setting::DropDownOpportunity, "-2"}));
}

} // namespace
