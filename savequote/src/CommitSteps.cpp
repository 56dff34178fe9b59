#include "pellwick/savequote/CommitSteps.h"

#include <algorithm>

namespace pellwick::savequote {
namespace {

const QString kQuoteFilePrefix = QStringLiteral("Quote file ");
const QString kPdfPrefix = QStringLiteral("PDF ");

} // namespace

CommitSteps CommitSteps::For(const StepChoices& choices) {
    CommitSteps plan;
    const auto add = [&](StepKind kind, const QString& name) {
        plan.m_steps.push_back({kind, name});
    };
    add(StepKind::Contact, QStringLiteral("Contact"));
    if (choices.uploadQuoteFile)
        add(StepKind::QuoteFile, kQuoteFilePrefix + choices.quoteNo + QStringLiteral(".dtf"));
    if (choices.uploadQuotePdf)
        add(StepKind::Pdf, kPdfPrefix + choices.quoteNo + QStringLiteral(".pdf"));
    if (choices.actionSet)
        add(StepKind::ActionSet, *choices.actionSet);
    if (choices.opportunity)
        add(StepKind::Opportunity, QStringLiteral("Opportunity"));
    if (choices.note)
        add(StepKind::Note, QStringLiteral("Note"));
    if (choices.pages)
        add(StepKind::Pages, QStringLiteral("Pages"));
    add(StepKind::Settings, QStringLiteral("Choices"));
    return plan;
}

CommitSteps CommitSteps::KeepingFrom(const CommitSteps& earlier) const {
    CommitSteps kept = *this;
    for (const CommitStep& before : earlier.m_steps) {
        const auto same =
            std::find_if(kept.m_steps.begin(), kept.m_steps.end(), [&](const CommitStep& step) {
                return step.kind == before.kind && step.name == before.name;
            });
        if (same != kept.m_steps.end())
            *same = before;
        else if (before.state == StepState::Done)
            kept.m_steps.push_back(before);
    }
    std::stable_sort(kept.m_steps.begin(), kept.m_steps.end(),
                     [](const CommitStep& a, const CommitStep& b) { return a.kind < b.kind; });
    return kept;
}

CommitSteps CommitSteps::FromSteps(std::vector<CommitStep> steps) {
    CommitSteps restored;
    restored.m_steps = std::move(steps);
    return restored;
}

const CommitStep* CommitSteps::Find(StepKind kind) const {
    for (const CommitStep& step : m_steps)
        if (step.kind == kind)
            return &step;
    return nullptr;
}

CommitStep* CommitSteps::Mutable(StepKind kind) {
    return const_cast<CommitStep*>(Find(kind));
}

const CommitStep* CommitSteps::Next() const {
    for (const CommitStep& step : m_steps)
        if (step.state != StepState::Done)
            return &step;
    return nullptr;
}

bool CommitSteps::AnyDone() const {
    return std::any_of(m_steps.begin(), m_steps.end(),
                       [](const CommitStep& step) { return step.state == StepState::Done; });
}

bool CommitSteps::Start(StepKind kind) {
    CommitStep* step = Mutable(kind);
    if (!step || step->state == StepState::Running || step->state == StepState::Done)
        return false;
    step->lookUpFirst = step->state == StepState::Uncertain;
    step->state = StepState::Running;
    step->outcome.clear();
    return true;
}

bool CommitSteps::Settled(StepKind kind) {
    CommitStep* step = Mutable(kind);
    if (!step || step->state != StepState::Running)
        return false;
    step->lookUpFirst = false;
    return true;
}

bool CommitSteps::Finish(StepKind kind, std::int32_t id, const QString& outcome) {
    CommitStep* step = Mutable(kind);
    if (!step || step->state != StepState::Running)
        return false;
    step->state = StepState::Done;
    step->id = id;
    step->outcome = outcome;
    step->lookUpFirst = false;
    return true;
}

bool CommitSteps::Fail(StepKind kind, const QString& message, bool mayHaveBeenCarriedOut) {
    CommitStep* step = Mutable(kind);
    if (!step || step->state != StepState::Running)
        return false;
    step->state =
        mayHaveBeenCarriedOut || step->lookUpFirst ? StepState::Uncertain : StepState::Failed;
    step->outcome = message;
    step->lookUpFirst = false;
    return true;
}

void CommitSteps::RunningBecomeUncertain() {
    for (CommitStep& step : m_steps)
        if (step.state == StepState::Running) {
            step.state = StepState::Uncertain;
            step.outcome = QStringLiteral("the program ended while it ran");
            step.lookUpFirst = false;
        }
}

QString FileOfStep(const CommitStep& step) {
    const QString prefix = step.kind == StepKind::QuoteFile ? kQuoteFilePrefix : kPdfPrefix;
    return step.name.startsWith(prefix) ? step.name.mid(prefix.size()) : step.name;
}

QString StepRowText(const CommitStep& step) {
    QString state;
    switch (step.state) {
    case StepState::NotRun:
        state = QStringLiteral("not run");
        break;
    case StepState::Running:
        state = QStringLiteral("running");
        break;
    case StepState::Done:
        state = step.outcome.isEmpty() ? QStringLiteral("done") : step.outcome;
        break;
    case StepState::Failed:
        state = QStringLiteral("failed: ") + step.outcome;
        break;
    case StepState::Uncertain:
        state = QStringLiteral("uncertain, it may have been done: ") + step.outcome;
        break;
    }
    return step.name + QStringLiteral(": ") + state;
}

QString StepRunningText(const CommitStep& step) {
    if (step.lookUpFirst)
        return QStringLiteral("Looking up what was done: ") + step.name + QStringLiteral("...");
    switch (step.kind) {
    case StepKind::Contact:
        return QStringLiteral("Saving the contact...");
    case StepKind::QuoteFile:
    case StepKind::Pdf:
        return QStringLiteral("Uploading ") + FileOfStep(step) + QStringLiteral("...");
    case StepKind::ActionSet:
        return QStringLiteral("Starting ") + step.name + QStringLiteral("...");
    case StepKind::Opportunity:
        return QStringLiteral("Saving the opportunity...");
    case StepKind::Note:
        return QStringLiteral("Adding the note...");
    case StepKind::Pages:
        return QStringLiteral("Opening the pages...");
    case StepKind::Settings:
        return QStringLiteral("Remembering the choices...");
    }
    return QString();
}

} // namespace pellwick::savequote
