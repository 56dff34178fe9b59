#pragma once
// The Save Quote window: after a save, or when a quote is e-mailed, it finds the CRM
// contacts of the quote's sections, lists the chosen contact's opportunities and the
// CRM's action sets, and on OK writes the quote into the CRM. One object lives all run;
// every ShowForm starts from a clean window.
//
// The layout is frmSaveQuote.ui; the controls carry their names as objectName.

#include "pellwick/CrmCalls.h"
#include "pellwick/ProgramState.h"
#include "pellwick/WindowDoors.h"
#include "pellwick/savequote/CommitJournal.h"
#include "pellwick/savequote/CommitSteps.h"
#include "pellwick/savequote/SaveQuoteRules.h"

#include <QDialog>
#include <QHash>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace tessary {
class RpcStruct;
}

namespace Ui {
class frmSaveQuote;
}

namespace pellwick {

class frmSaveQuote : public QDialog {
    Q_OBJECT
public:
    explicit frmSaveQuote(QWidget* parent = nullptr, WindowDoors doors = {});
    ~frmSaveQuote() override;

    // Prepares the window for the open quote and shows it modally; returns when it has
    // closed. Layout 0 after a save, 1 when the quote is e-mailed (only then may the PDF
    // be uploaded). While the window is open, a further call only raises it.
    void ShowForm(std::int32_t p_enmLayout);

    // Add the matching CRM contacts to cboContact (the list is not cleared).
    void ListContactByID(std::int32_t p_lngID);
    void ListContactsForEmail(const QString& p_strEmail);
    void ListContactsForName(const QString& p_strName);
    // Refills cboOpportunity: the blank entry, "(New Opportunity)" and the contact's
    // opportunities, newest first.
    void ListOpportunitiesForContactId(std::int32_t p_lngContactId);
    // Adds the blank entry and the collected action sets to cboActionSet.
    void ListActionSets();

    void ShowContactRecordOptions();
    void ShowOpportunityRecordOptions();
    void ShowActionSetRecordOptions();
    void ViewContactInfusionsoftPage();
    void ViewOpportunityInfusionsoftPage();

    // Brings the shown window to the front (on top, then not on top), over the host.
    void Form_Load();
    void cboContact_Click();
    void cboOpportunity_Click();
    void cboActionSet_Click();
    void cmdViewContact_Click();
    void cmdViewOpportunity_Click();
    void cmdViewActionSet_Click();
    // The opportunities window for the chosen CRM contact (none chosen: the quote's);
    // afterwards the opportunity list shows what it wrote, the entry chosen kept.
    void cmdOpportunities_Click();
    // Writes the quote into the CRM, step by step (CommitSteps), remembers the choices,
    // closes the window and minimises the main window. A step that fails or may have been
    // done stops the sequence: the window stays open with its choices and the list of
    // steps; OK again runs only the steps not done.
    void cmdOK_Click();
    // Closes the window; nothing more is written. While a step runs: stops before the
    // next one (the call in flight may finish, or is stopped after a short grace).
    void cmdCancel_Click();

    // Escape and the title bar's close are Cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void BindControls();
    void PrepareControls();
    void ConnectControls();
    void ResetForShowing();
    bool PrepareShowing(std::int32_t layout);
    void ReadLastSaveSettings();
    void ListContactsFromQuote();
    bool ChooseContactWhenNoneFound();
    void AddContactEntries(
        const tessary::RpcStruct& queryData, std::int32_t limit,
        const std::function<bool(const QString&, const QString&, const QString&)>& matches);
    void ReadOpportunities(std::int32_t contactId, std::vector<std::int32_t>& ids,
                           QHash<std::int32_t, QString>& texts);
    // The gathering's CRM calls: false once one found the CRM unreachable (then no more
    // are made); after a call, notes how it failed.
    bool GatheringGoesOn() const;
    void NoteGatheringCall(const CrmServices& crm, bool succeeded);
    void SayContactsIncomplete();
    // The quote's sections' contact names and e-mails, lower case.
    std::array<savequote::SectionContact, 3> QuoteSections();
    void NameActionSetFrame(const QString& frame);

    // The commit (frmSaveQuoteCommit.cpp): the steps, run in order until one stops.
    void Commit();
    void PlanSteps();
    void RunStep(savequote::StepKind kind);
    void RunStepCalls(const CrmServices& crm, savequote::StepKind kind);
    void RunContactStep(const CrmServices& crm);
    void RunFileStep(const CrmServices& crm, savequote::StepKind kind);
    void RunActionSetStep(const CrmServices& crm);
    void RunOpportunityStep(const CrmServices& crm);
    void RunNoteStep(const CrmServices& crm);
    void RunPagesStep();
    void RunSettingsStep();
    void FailStep(savequote::StepKind kind, const CrmServices& crm);
    void EndCommit();
    void SetCommitting(bool committing);
    void ShowSteps();
    void WriteJournal();
    savequote::CommitJournal Journal() const;
    // A journal of this quote from a commit that did not end: "Finish" restores its
    // choices and steps (true), "Start again" discards it (false).
    bool OfferToFinish();
    void RestoreJournal(const savequote::CommitJournal& journal);
    void AdoptCreatedContact(const savequote::CommitContact& contact);
    void AdoptCreatedOpportunity(std::int32_t id, const QString& title);
    savequote::CommitChoices Choices() const;

    std::unique_ptr<Ui::frmSaveQuote> ui_;
    QFrame* fraInfo;
    QLabel* lblQuoteDocNo;
    QGroupBox* fraContact;
    QComboBox* cboContact;
    QPushButton* cmdViewContact;
    QCheckBox* chkAddQuoteDocNo;
    QCheckBox* chkUploadQuoteFile;
    QCheckBox* chkUploadQuotePDF;
    QCheckBox* chkOpenContactRecord;
    QLabel* imgContact;
    QGroupBox* fraOpportunity;
    QComboBox* cboOpportunity;
    QPushButton* cmdViewOpportunity;
    QPushButton* cmdOpportunities;
    QCheckBox* chkAddNotes;
    QCheckBox* chkUpdateProjectedRevenue;
    QCheckBox* chkOpenOpportunityRecord;
    QLabel* imgOpportunity;
    QGroupBox* fraActionSet;
    QComboBox* cboActionSet;
    QPushButton* cmdViewActionSet;
    QLabel* imgActionSet;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QLabel* imgOK;
    QLabel* imgWarning;
    QLabel* imgNoSelect;
    QLabel* lblContactsIncomplete; // a contact look-up failed
    QLabel* lblStep;               // the step running
    QListWidget* lstSteps;         // the commit's steps, once OK was pressed

    // One showing's state, cleared by every ShowForm.
    bool m_blnShowing = false;
    std::int32_t m_lngDropDownOpportunity = 0;
    std::int32_t m_lngDropDownActionSet = 0;
    QString m_strQuoteNo;        // the number the window was prepared for
    QString m_strActionSetFrame; // "Action Set", or "Campaign Sequence" on REST v2
    std::shared_ptr<StageCollection> m_stages;
    std::shared_ptr<ActionSetCollection> m_actionSets;
    bool m_crmUnreachable = false;      // the gathering makes no more CRM calls
    bool m_contactLookupFailed = false; // the contact list may be incomplete
    // The commit, kept over every OK of this showing: its steps, its contact once
    // resolved, the contact's newest opportunity before it, and what the end box says.
    savequote::CommitSteps m_steps;
    savequote::CommitContact m_commitContact;
    std::int32_t m_opportunityBase = 0;
    std::int32_t m_lngCreatedOpportunityId = 0;
    QStringList m_notUploaded;
    QString m_alreadyRun;
    bool m_committing = false;
    bool m_finishOnShow = false; // a journal's commit runs once the window shows
    CrmCancel m_cancel;
    WindowDoors m_doors;
};

// Creates the one Save Quote window on first use, parented to the main window (which
// finds it by its objectName "frmSaveQuote"), and opens it through
// State().Windows.ShowSaveQuote. The window reaches the host and the CRM through `doors`.
void InstallSaveQuoteWindow(QWidget* mainWindow, WindowDoors doors = {});

} // namespace pellwick
