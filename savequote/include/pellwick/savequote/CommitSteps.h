#pragma once
// The Save Quote commit as a sequence of steps, each with its state: a plain model, apart
// from the window, whose transitions tests reach directly. A step done is never run
// again; a failed or uncertain one stops the sequence and runs again on the next OK (an
// uncertain one looks its record up first, since the CRM may have made it).

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace pellwick::savequote {

// In the order a commit runs them.
enum class StepKind { Contact, QuoteFile, Pdf, ActionSet, Opportunity, Note, Pages, Settings };
enum class StepState { NotRun, Running, Done, Failed, Uncertain };

struct CommitStep {
    StepKind kind = StepKind::Contact;
    // What the window's list names it by: "Contact", "Quote file Q1001.dtf", ...
    QString name;
    StepState state = StepState::NotRun;
    // The CRM record it made or found (0: none).
    std::int32_t id = 0;
    // Done: what it did ("created (Id 57)"); failed or uncertain: the server's message.
    QString outcome;
    // Running after an uncertain run: it looks its record up before writing again.
    bool lookUpFirst = false;

    friend bool operator==(const CommitStep&, const CommitStep&) = default;
};

// What decides the steps of one commit.
struct StepChoices {
    QString quoteNo;
    bool uploadQuoteFile = false;
    bool uploadQuotePdf = false;
    // The action set's (or campaign sequence's) frame and entry, when one is chosen:
    // "Action Set New Customer Welcome - (2)".
    std::optional<QString> actionSet;
    bool opportunity = false; // an opportunity entry is chosen (new or existing)
    bool note = false;
    bool pages = false; // a CRM page is to be opened
};

class CommitSteps {
public:
    // The steps these choices make, each not run.
    static CommitSteps For(const StepChoices& choices);
    // These steps with the states of the same steps (kind and name) in `earlier`; a step
    // done earlier that is no longer chosen stays in the list, done.
    CommitSteps KeepingFrom(const CommitSteps& earlier) const;

    const std::vector<CommitStep>& Steps() const { return m_steps; }
    const CommitStep* Find(StepKind kind) const;
    // The first step not done, or nothing when every step is done.
    const CommitStep* Next() const;
    bool Complete() const { return Next() == nullptr; }
    bool AnyDone() const;

    // The transitions; each gives false and changes nothing when the step is not there
    // or not in a state that allows it. Start: not run, failed or uncertain -> running
    // (from uncertain with lookUpFirst set). Finish: running -> done. Fail: running ->
    // failed, or uncertain when the CRM may have carried the call out (a step that was
    // uncertain stays so until its look-up has settled it).
    bool Start(StepKind kind);
    // The look-up of a running step found nothing: what it writes now decides its state.
    bool Settled(StepKind kind);
    bool Finish(StepKind kind, std::int32_t id, const QString& outcome);
    bool Fail(StepKind kind, const QString& message, bool mayHaveBeenCarriedOut);
    // A step that was running when the program ended: it may have been carried out.
    void RunningBecomeUncertain();

    // Restores steps as a journal kept them.
    static CommitSteps FromSteps(std::vector<CommitStep> steps);

private:
    CommitStep* Mutable(StepKind kind);
    std::vector<CommitStep> m_steps;
};

// A row of the window's step list: "Contact: created (Id 57)",
// "Quote file Q1001.dtf: failed: <the server's message>".
QString StepRowText(const CommitStep& step);
// What the window says while the step runs: "Uploading Q1001.pdf...".
QString StepRunningText(const CommitStep& step);
// The file name a file step uploads ("Q1001.pdf").
QString FileOfStep(const CommitStep& step);

} // namespace pellwick::savequote
