// The program core's part of Save Quote: the collectors' paging over a source of pages,
// the note templates' short codes and the 32-bit reading of the remembered list values.

#include "pellwick/CrmCollections.h"
#include "pellwick/IdSetting.h"
#include "pellwick/ReplaceShortCodes.h"
#include "pellwick/modMain.h"
#include "pellwick/testing/CoreTestScope.h"

#include <gtest/gtest.h>
#include <tessary/clsHelpers.h>

using namespace pellwick;
using pellwick::testing::CoreTestScope;

namespace {

// A table of `total` records (Ids 1..total, names "Stage n") served in pages of 1000;
// `ignorePage` serves page 0 whatever is asked; `failAt` answers that page with null.
struct FakeTable {
    explicit FakeTable(int records, bool samePage = false, int failingPage = -1)
        : total(records), ignorePage(samePage), failAt(failingPage) {}
    int total;
    bool ignorePage;
    int failAt;
    std::vector<std::int32_t> pagesAsked;

    PageQuery query() {
        return [this](std::int32_t page) -> std::shared_ptr<tessary::RpcArray> {
            pagesAsked.push_back(page);
            if (page == failAt)
                return nullptr;
            const int first = (ignorePage ? 0 : page) * kCollectPageSize;
            auto records = std::make_shared<tessary::RpcArray>();
            for (int n = first + 1; n <= std::min(total, first + kCollectPageSize); ++n) {
                auto record = std::make_shared<tessary::RpcStruct>();
                record->AddInteger("Id", n);
                record->AddString("StageName", "Stage " + std::to_string(n));
                records->AddStruct(record);
            }
            return records;
        };
    }
};

TEST(CollectStagesFrom, PagesUntilAShortPage) {
    struct Case {
        int total;
        std::vector<std::int32_t> pages;
    };
    for (const Case& c : {Case{999, {0}}, Case{1000, {0, 1}}, Case{2500, {0, 1, 2}}}) {
        CoreTestScope scope;
        FakeTable table{c.total};
        tessary::clsHelpers helpers;
        const Collected<StageCollection> read = CollectStagesFrom(table.query(), helpers);
        EXPECT_TRUE(read.complete);
        EXPECT_EQ(table.pagesAsked, c.pages) << c.total;
        ASSERT_EQ(read.collection->Count(), static_cast<std::size_t>(c.total));
        EXPECT_EQ(read.collection->begin()->first, QStringLiteral("1")); // the CRM's order
        EXPECT_EQ(read.collection->Item(QString::number(c.total))->m_strStageName,
                  QStringLiteral("Stage %1").arg(c.total));
    }
}

TEST(CollectStagesFrom, RepeatedRecordsAndAPageIgnoringServerEndTheReading) {
    CoreTestScope scope;
    FakeTable table{1000, true};
    tessary::clsHelpers helpers;
    const Collected<StageCollection> read = CollectStagesFrom(table.query(), helpers);
    EXPECT_TRUE(read.complete);
    EXPECT_EQ(table.pagesAsked, (std::vector<std::int32_t>{0, 1}));
    EXPECT_EQ(read.collection->Count(), 1000u);
    EXPECT_TRUE(scope.boxes->boxes().empty()) << "a repeated Id is no error";
}

TEST(CollectActionSetsFrom, BlankNamesAndAFailureKeepWhatWasRead) {
    CoreTestScope scope;
    auto page = std::make_shared<tessary::RpcArray>();
    for (const auto& [id, name] : std::vector<std::pair<int, std::string>>{
             {4, "  Nurture "}, {9, "   "}, {5, ""}, {4, "again"}}) {
        auto record = std::make_shared<tessary::RpcStruct>();
        record->AddInteger("Id", id);
        record->AddString("TemplateName", name);
        page->AddStruct(record);
    }
    page->AddString("not a record");
    tessary::clsHelpers helpers;
    const Collected<ActionSetCollection> read =
        CollectActionSetsFrom([&](std::int32_t) { return page; }, helpers);
    EXPECT_FALSE(read.complete);
    ASSERT_EQ(read.collection->Count(), 3u);
    EXPECT_EQ(read.collection->Item("4")->m_strTemplate, QStringLiteral("  Nurture "));
    EXPECT_EQ(read.collection->Item("9")->m_strTemplate, QStringLiteral("(Blank)"));
    EXPECT_EQ(read.collection->Item("5")->m_strTemplate, QStringLiteral("(Blank)"));
    ASSERT_EQ(scope.boxes->boxes().size(), 1u);
    EXPECT_TRUE(
        scope.boxes->boxes()[0].text.contains(QStringLiteral("Error Section: CollectActionSets")));

    // A failed query part-way: the records so far, not complete.
    FakeTable table{1500, false, 1};
    const Collected<StageCollection> stages = CollectStagesFrom(table.query(), helpers);
    EXPECT_FALSE(stages.complete);
    EXPECT_EQ(stages.collection->Count(), 1000u);
}

TEST(CollectStages, WithoutAConnectionReportsAndStaysAbsent) {
    CoreTestScope scope;
    const std::shared_ptr<StageCollection> stages = CollectStages();
    ASSERT_TRUE(stages);
    EXPECT_TRUE(stages->IsEmpty());
    EXPECT_FALSE(State().g_colStages) << "collected again next time";
    ASSERT_EQ(scope.boxes->boxes().size(), 1u);
    EXPECT_TRUE(scope.boxes->boxes()[0].text.contains(QStringLiteral("Section: CollectStages")));
}

TEST(ReplaceShortCodes, EveryOccurrenceInAnyCase) {
    CoreTestScope scope;
    auto host = scope.attachFakeHost();
    host->setField(QStringLiteral("DocName"), QStringLiteral("Refit [quote_no]"));
    host->setField(QStringLiteral("DocNo"), QStringLiteral("Q7"));
    EXPECT_EQ(ReplaceShortCodes(QStringLiteral("[Quote_Name] <[QUOTE_NO]> [quote_no]")),
              QStringLiteral("Refit Q7 <Q7> Q7"));
    EXPECT_EQ(FillShortCodes(QStringLiteral("none"), QStringLiteral("a"), QStringLiteral("b")),
              QStringLiteral("none"));

    // No document open: the document check's box, and the codes become empty.
    host->setDocumentOpen(false);
    EXPECT_EQ(ReplaceShortCodes(QStringLiteral("[QUOTE_NAME]<[QUOTE_NO]>")), QStringLiteral("<>"));
}

TEST(ReadIdSetting, ThirtyTwoBitValues) {
    CoreTestScope scope;
    EXPECT_EQ(ReadIdSetting(setting::DropDownOpportunity), 0); // the default
    for (const auto& [stored, read] :
         std::vector<std::pair<QString, std::int32_t>>{{"40000", 40000},
                                                       {"-2", -2},
                                                       {"2147483647", 2147483647},
                                                       {"abc", 0},
                                                       {"99999999999", 0}}) {
        scope.store(setting::DropDownActionSet, stored);
        EXPECT_EQ(ReadIdSetting(setting::DropDownActionSet), read) << stored.toStdString();
    }
}

} // namespace
