#include "pellwick/ErrorReport.h"

#include "pellwick/KeyedCollection.h"
#include "pellwick/host/QuoteWerksApp.h"
#include "pellwick/testing/CoreTestScope.h"

#include <gtest/gtest.h>
#include <tessary/Notifier.h>

using namespace pellwick;
using pellwick::testing::CoreTestScope;

namespace {

TEST(ErrorReport, GuardReportsAProgramErrorWithSectionSourceLineNumberAndText) {
    CoreTestScope scope;
    long line = 0;
    const int result = Guarded("cmdOK_Click", -1, [&]() -> int {
        line = __LINE__ + 1;
        throw ProgramError(errnum::TypeMismatch, QStringLiteral("Type mismatch"));
    });
    EXPECT_EQ(result, -1);
    ASSERT_EQ(scope.boxes->boxes().size(), 1u);
    const MessageBoxRequest& box = scope.boxes->boxes()[0];
    EXPECT_EQ(box.title, QStringLiteral("Pellwick Error"));
    EXPECT_EQ(box.icon, MsgIcon::Critical);
    EXPECT_EQ(box.buttons, MsgButtons::Ok);
    EXPECT_EQ(box.text, QStringLiteral("Error Reported From Pellwick.\r\n"
                                       "\r\n"
                                       "Error Section: cmdOK_Click\r\n"
                                       "Error Source: Pellwick\r\n"
                                       "Error Line: %1\r\n"
                                       "Error Number: 13\r\n"
                                       "Error Description: Type mismatch")
                            .arg(line));
}

TEST(ErrorReport, OtherExceptionsGetASourceAndANonZeroNumber) {
    CoreTestScope scope;
    Guarded("FromHost", [] { throw HostError("The host did not answer"); });
    Guarded("FromLibrary", [] { throw std::runtime_error("bad thing"); });
    Guarded("Unknown", [] { throw 42; });
    Guarded("ZeroNumber",
            [] { throw ProgramError(0, QStringLiteral("zero"), QStringLiteral("X"), 7); });
    const QStringList texts = scope.boxes->texts();
    ASSERT_EQ(texts.size(), 4);
    EXPECT_TRUE(texts[0].contains(QStringLiteral("Error Source: QuoteWerks.Application\r\n")));
    EXPECT_TRUE(texts[0].contains(QStringLiteral("Error Number: 462\r\n")));
    EXPECT_TRUE(texts[0].endsWith(QStringLiteral("Error Description: The host did not answer")));
    EXPECT_TRUE(
        texts[1].contains(QStringLiteral("Error Section: FromLibrary\r\nError Source: "
                                         "Pellwick\r\nError Line: 0\r\nError Number: 51\r\n")));
    EXPECT_TRUE(texts[1].endsWith(QStringLiteral("bad thing")));
    EXPECT_TRUE(texts[2].contains(QStringLiteral("Error Number: 51\r\n")));
    EXPECT_TRUE(
        texts[3].contains(QStringLiteral("Error Source: X\r\nError Line: 7\r\nError Number: 51")));
}

TEST(ErrorReport, NothingIsShownWithoutAnError) {
    CoreTestScope scope;
    ReportError(QStringLiteral("Form_Load"), ErrorInfo{});
    ReportError(QStringLiteral("Form_Load")); // outside a catch block: nothing pending
    try {
        throw ProgramError(errnum::PathFileAccess, QStringLiteral("Path/File access error"));
    } catch (...) {
        ReportError(QStringLiteral("Form_Load"));
    }
    ASSERT_EQ(scope.boxes->boxes().size(), 1u);
    EXPECT_TRUE(scope.boxes->texts()[0].contains(QStringLiteral("Error Number: 75\r\n")));
    scope.boxes->clear();
    EXPECT_EQ(Guarded("Form_Load", 0, [] { return 5; }), 5);
    EXPECT_TRUE(Guarded("Form_Load", [] {}));
    EXPECT_FALSE(Guarded("Form_Load", [] { throw std::runtime_error("x"); }));
    EXPECT_EQ(scope.boxes->boxes().size(), 1u);
}

TEST(ErrorReport, AFailingPresenterDoesNotLetTheErrorEscape) {
    CoreTestScope scope;
    scope.boxes->onPresent = [](const MessageBoxRequest&) {
        throw std::runtime_error("no display");
    };
    EXPECT_EQ(Guarded("cmdOK_Click", 3, []() -> int { throw std::runtime_error("x"); }), 3);
}

TEST(ErrorReport, TheLibrarysBoxesGoThroughTheSameSeam) {
    CoreTestScope scope;
    tessary::CurrentNotifier()->ShowMessage("XML RPC Error", "Fault 2", tessary::BoxIcon::Critical);
    scope.boxes->QueueAnswer(MsgAnswer::Cancel);
    EXPECT_EQ(tessary::CurrentNotifier()->AskOkCancel("PROGRAM ERROR", "Bad group",
                                                      tessary::BoxIcon::Exclamation),
              tessary::BoxAnswer::Cancel);
    EXPECT_EQ(tessary::CurrentNotifier()->AskOkCancel("PROGRAM ERROR", "Bad group",
                                                      tessary::BoxIcon::Exclamation),
              tessary::BoxAnswer::Ok);
    ASSERT_EQ(scope.boxes->boxes().size(), 3u);
    EXPECT_EQ(scope.boxes->boxes()[0].title, QStringLiteral("XML RPC Error"));
    EXPECT_EQ(scope.boxes->boxes()[0].text, QStringLiteral("Fault 2"));
    EXPECT_EQ(scope.boxes->boxes()[0].icon, MsgIcon::Critical);
    EXPECT_EQ(scope.boxes->boxes()[1].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(scope.boxes->boxes()[1].icon, MsgIcon::Exclamation);
}

TEST(MessageBoxSeam, BoxesWithoutAnAnswerTakeTheirDefaultButton) {
    CoreTestScope scope;
    EXPECT_EQ(MsgBox(QStringLiteral("Save?"), MsgIcon::Question, MsgButtons::YesNo),
              MsgAnswer::Yes);
    EXPECT_EQ(MsgBox(QStringLiteral("Save?"), MsgIcon::Question, MsgButtons::YesNoCancel,
                     QStringLiteral("Pellwick - Save Quote"), MsgAnswer::Cancel),
              MsgAnswer::Cancel);
    EXPECT_EQ(scope.boxes->boxes()[0].title, QStringLiteral("Pellwick"));
    EXPECT_EQ(scope.boxes->boxes()[1].title, QStringLiteral("Pellwick - Save Quote"));
}

TEST(KeyedCollection, KeepsOrderAndRefusesADuplicateKey) {
    CoreTestScope scope;
    KeyedCollection<int> stages;
    stages.Add(QStringLiteral("42"), 1);
    stages.Add(QStringLiteral("7"), 2);
    EXPECT_EQ(stages.Item(QStringLiteral("7")), 2);
    EXPECT_EQ(stages.Value(QStringLiteral("8"), -1), -1);
    EXPECT_EQ(stages.begin()->first, QStringLiteral("42"));
    Guarded("CollectStages", [&] { stages.Add(QStringLiteral("42"), 3); });
    Guarded("ListOpportunitiesForContactId", [&] { (void)stages.Item(QStringLiteral("9")); });
    EXPECT_EQ(stages.Count(), 2u);
    ASSERT_EQ(scope.boxes->boxes().size(), 2u);
    EXPECT_TRUE(scope.boxes->texts()[0].contains(QStringLiteral("Error Number: 457")));
    EXPECT_TRUE(scope.boxes->texts()[1].contains(QStringLiteral("Error Number: 5\r\n")));
}

} // namespace
