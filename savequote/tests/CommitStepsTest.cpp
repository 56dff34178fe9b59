// The commit's steps without a window: the order and transitions of the steps, what the
// list says of each, and the journal that keeps them over a crash.

#include "pellwick/StateFiles.h"
#include "pellwick/savequote/CommitJournal.h"
#include "pellwick/testing/CoreTestScope.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace pellwick;
using namespace pellwick::savequote;

namespace {

StepChoices EveryStep() {
    return {QStringLiteral("Q1001"),
            true,
            true,
            QStringLiteral("Action Set Welcome - (2)"),
            true,
            true,
            true};
}

QStringList Rows(const CommitSteps& steps) {
    QStringList rows;
    for (const CommitStep& step : steps.Steps())
        rows << StepRowText(step);
    return rows;
}

int ModeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

TEST(CommitSteps, RunInOrderOnceAndStopWhereOneFails) {
    CommitSteps steps = CommitSteps::For(EveryStep());
    EXPECT_EQ(Rows(steps), QStringList({"Contact: not run", "Quote file Q1001.dtf: not run",
                                        "PDF Q1001.pdf: not run",
                                        "Action Set Welcome - (2): not run", "Opportunity: not run",
                                        "Note: not run", "Pages: not run", "Choices: not run"}));
    StepChoices none;
    none.quoteNo = QStringLiteral("Q1");
    EXPECT_EQ(CommitSteps::For(none).Steps().size(), 2u) << "a contact and the choices";

    // Only a step not done starts; only a running one ends.
    EXPECT_FALSE(steps.Finish(StepKind::Contact, 57, QString()));
    EXPECT_FALSE(steps.Fail(StepKind::Contact, QString(), false));
    ASSERT_TRUE(steps.Start(StepKind::Contact));
    EXPECT_EQ(StepRunningText(*steps.Next()), QStringLiteral("Saving the contact..."));
    ASSERT_TRUE(steps.Finish(StepKind::Contact, 57, QStringLiteral("created (Id 57)")));
    EXPECT_FALSE(steps.Start(StepKind::Contact)) << "a step done never runs again";
    EXPECT_EQ(steps.Next()->kind, StepKind::QuoteFile);

    // A lost answer: uncertain until a look-up settles it, whatever the next try says.
    ASSERT_TRUE(steps.Start(StepKind::QuoteFile));
    EXPECT_EQ(StepRunningText(*steps.Next()), QStringLiteral("Uploading Q1001.dtf..."));
    steps.Fail(StepKind::QuoteFile, QStringLiteral("the connection was closed"), true);
    EXPECT_EQ(steps.Find(StepKind::QuoteFile)->state, StepState::Uncertain);
    steps.Start(StepKind::QuoteFile);
    EXPECT_TRUE(steps.Find(StepKind::QuoteFile)->lookUpFirst);
    EXPECT_EQ(StepRunningText(*steps.Next()),
              QStringLiteral("Looking up what was done: Quote file Q1001.dtf..."));
    steps.Fail(StepKind::QuoteFile, QStringLiteral("look-up refused"), false);
    EXPECT_EQ(steps.Find(StepKind::QuoteFile)->state, StepState::Uncertain);
    steps.Start(StepKind::QuoteFile);
    steps.Settled(StepKind::QuoteFile);
    steps.Fail(StepKind::QuoteFile, QStringLiteral("[InjectedFault]refused"), false);
    EXPECT_EQ(Rows(steps).mid(0, 3),
              QStringList({"Contact: created (Id 57)",
                           "Quote file Q1001.dtf: failed: [InjectedFault]refused",
                           "PDF Q1001.pdf: not run"}));
    EXPECT_EQ(steps.Next()->kind, StepKind::QuoteFile) << "the failed step comes first again";
    EXPECT_FALSE(steps.Complete());

    // OK again with other choices: what was done stays done, and listed.
    StepChoices fewer = EveryStep();
    fewer.uploadQuoteFile = fewer.uploadQuotePdf = fewer.pages = false;
    fewer.actionSet.reset();
    CommitSteps again = CommitSteps::For(fewer).KeepingFrom(steps);
    EXPECT_EQ(Rows(again), QStringList({"Contact: created (Id 57)", "Opportunity: not run",
                                        "Note: not run", "Choices: not run"}));
    for (const StepKind kind : {StepKind::Opportunity, StepKind::Note, StepKind::Settings}) {
        again.Start(kind);
        again.Finish(kind, 0, QString());
    }
    EXPECT_TRUE(again.Complete());
    EXPECT_EQ(StepRowText(*again.Find(StepKind::Note)), QStringLiteral("Note: done"));
}

TEST(CommitJournal, KeptPrivateReadBackAndRemoved) {
    pellwick::testing::CoreTestScope scope;
    CommitJournal journal;
    journal.quoteNo = QStringLiteral("Q/1001 \"x\"");
    journal.contactEntry = -1;
    journal.contact = {57, QStringLiteral("Priya"), QStringLiteral("N"), QStringLiteral("p@x")};
    journal.choices.addQuoteDocNo = journal.choices.uploadQuotePDFEnabled = true;
    journal.choices.opportunity = -1;
    journal.opportunityBase = 12;
    journal.steps = CommitSteps::For(EveryStep());
    journal.steps.Start(StepKind::Contact);
    journal.steps.Finish(StepKind::Contact, 57, QStringLiteral("created (Id 57)"));
    journal.steps.Start(StepKind::QuoteFile); // the program ends during this call

    ASSERT_TRUE(SaveJournal(journal));
    const QString file = StateFilePath(JournalFileName(journal.quoteNo));
    EXPECT_EQ(ModeOf(file), 0600);
    EXPECT_EQ(ModeOf(QFileInfo(file).path()), 0700);
    EXPECT_FALSE(LoadJournal(QStringLiteral("Q1001")));
    const std::optional<CommitJournal> read = LoadJournal(journal.quoteNo);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->contact, journal.contact);
    EXPECT_EQ(read->steps.Steps()[0], journal.steps.Steps()[0]);
    EXPECT_EQ(StepRowText(read->steps.Steps()[1]),
              QStringLiteral("Quote file Q1001.dtf: uncertain, it may have been done: the "
                             "program ended while it ran"));
    journal.steps.RunningBecomeUncertain();
    EXPECT_EQ(JournalBytes(*read), JournalBytes(journal)) << "everything else as it was kept";

    RemoveJournal(journal.quoteNo);
    EXPECT_FALSE(QFile::exists(file));
    for (const QByteArray& junk : {QByteArray("{"), QByteArray("{\"version\": 9}"),
                                   QByteArray("{\"version\": 1, \"steps\": [{\"kind\": \"x\"}]}")})
        EXPECT_FALSE(JournalFromBytes(junk)) << junk.toStdString();

    // A state folder that cannot be made: refused with the reason, nothing half written.
    QFile blocker(scope.folder() + QStringLiteral("/blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    const pellwick::testing::StateHomeIn unwritable(blocker.fileName() + QStringLiteral("/state"));
    QString why;
    EXPECT_FALSE(SaveJournal(journal, &why));
    EXPECT_TRUE(why.contains(blocker.fileName())) << why.toStdString();
    EXPECT_FALSE(LoadJournal(journal.quoteNo));
}

} // namespace
