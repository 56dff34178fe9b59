// The Save Quote window and an unfinished commit of the same quote (pellwick ended in
// the middle of one: a crash, a power cut, a logout): "Finish" restores the choices and
// steps its journal kept and runs the steps not done; "Start again" forgets them.

#include "SaveQuoteSupport.h"
#include "pellwick/ErrorReport.h"
#include "pellwick/MessageBox.h"
#include "pellwick/savequote/SaveQuoteRules.h"
#include "pellwick/savequote/frmSaveQuote.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>

namespace pellwick {

using namespace savequote;

namespace {

// Whether anything of the commit may be in the CRM: else there is nothing to finish.
bool SomethingMayBeDone(const CommitSteps& steps) {
    for (const CommitStep& step : steps.Steps())
        if (step.state == StepState::Done || step.state == StepState::Uncertain)
            return true;
    return false;
}

QString FinishQuestion(const QString& quoteNo, const CommitSteps& steps) {
    QStringList rows;
    for (const CommitStep& step : steps.Steps())
        rows << StepRowText(step);
    return QStringLiteral("Saving quote %1 into Infusionsoft did not finish:").arg(quoteNo) +
           kCrLf + rows.join(kCrLf) + kCrLf + kCrLf +
           QStringLiteral("Finish runs the steps not done; a step done is not repeated. Start "
                          "Again forgets them and saves the quote as new.");
}

// Selects the entry with this value, adding it first when the list lacks it.
void SelectOrAdd(QComboBox* list, std::int32_t value, const QString& text) {
    int index = list->findData(value);
    if (index < 0) {
        const QSignalBlocker quiet(list);
        list->insertItem(0, text, value);
        index = 0;
    }
    SetSelection(list, index);
}

} // namespace

bool frmSaveQuote::OfferToFinish() {
    std::optional<CommitJournal> journal = LoadJournal(m_strQuoteNo);
    if (!journal)
        return false;
    if (!SomethingMayBeDone(journal->steps)) {
        RemoveJournal(m_strQuoteNo);
        return false;
    }
    DebugLine(QStringLiteral(" - ShowForm - An unfinished save of this quote was found."));
    const MessageBoxRequest question{
        kProgramTitle,     FinishQuestion(m_strQuoteNo, journal->steps),
        MsgIcon::Question, MsgButtons::YesNo,
        MsgAnswer::Yes,    {QStringLiteral("&Finish"), QStringLiteral("&Start Again")}};
    if (ShowMessageBox(question) != MsgAnswer::Yes) {
        RemoveJournal(m_strQuoteNo);
        return false;
    }
    RestoreJournal(*journal);
    return true;
}

// The window as the unfinished commit left it: its contact, choices and steps.
void frmSaveQuote::RestoreJournal(const CommitJournal& journal) {
    const CommitChoices& choices = journal.choices;
    if (journal.contact.id >= 1) {
        const CommitContact& contact = journal.contact;
        SelectOrAdd(
            cboContact, contact.id,
            ContactEntryText(contact.firstName, contact.lastName, contact.email, contact.id));
    } else {
        const std::int16_t section = SectionOfNewContact(journal.contactEntry);
        static const std::array<QString, 3> sections = {
            QStringLiteral("Sold To"), QStringLiteral("Ship To"), QStringLiteral("Bill To")};
        SelectOrAdd(cboContact, journal.contactEntry,
                    QStringLiteral("(New Contact - Use '%1')").arg(sections.at(section)));
    }
    lblContactsIncomplete->hide();
    cboContact_Click();

    const std::pair<QCheckBox*, bool> boxes[] = {
        {chkAddQuoteDocNo, choices.addQuoteDocNo},
        {chkUploadQuoteFile, choices.uploadQuoteFile},
        {chkUploadQuotePDF, choices.uploadQuotePDF},
        {chkOpenContactRecord, choices.openContactRecord},
        {chkAddNotes, choices.addNotes},
        {chkUpdateProjectedRevenue, choices.updateProjectedRevenue},
        {chkOpenOpportunityRecord, choices.openOpportunityRecord}};
    for (const auto& [box, ticked] : boxes)
        box->setChecked(ticked);
    chkUploadQuotePDF->setEnabled(choices.uploadQuotePDFEnabled);

    const CommitStep* opportunity = journal.steps.Find(StepKind::Opportunity);
    const std::int32_t chosen = opportunity && opportunity->id >= 1
                                    ? opportunity->id
                                    : choices.opportunity.value_or(kBlankEntry);
    if (const int index = cboOpportunity->findData(chosen); index >= 0) {
        SetSelection(cboOpportunity, index);
        cboOpportunity_Click();
    }
    if (const int index = cboActionSet->findData(choices.actionSet.value_or(kBlankEntry));
        index >= 0) {
        SetSelection(cboActionSet, index);
        cboActionSet_Click();
    }
    chkAddNotes->setChecked(choices.addNotes);

    m_commitContact = journal.contact;
    m_opportunityBase = journal.opportunityBase;
    m_lngCreatedOpportunityId = choices.createdOpportunity;
    m_steps = journal.steps;
    ShowSteps();
}

} // namespace pellwick
