#pragma once
// The Save Quote window: after a save, or when a quote is e-mailed, it finds the CRM
// contacts of the quote's sections, lists the chosen contact's opportunities and the
// CRM's action sets, and on OK writes the quote into the CRM. One object lives all run;
// every ShowForm starts from a clean window.

#include "pellwick/ProgramState.h"

#include <QDialog>
#include <QHash>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;

namespace tessary {
class RpcStruct;
}

namespace pellwick {

namespace savequote {
struct CommitChoices;
struct CommitContact;
struct CrmServices;
} // namespace savequote

class frmSaveQuote : public QDialog {
    Q_OBJECT
public:
    explicit frmSaveQuote(QWidget* parent = nullptr);
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
    // Writes the quote into the CRM, remembers the choices, closes the window and
    // minimises the main window. On a stop the window stays open with its choices.
    void cmdOK_Click();
    // Closes the window; nothing is written.
    void cmdCancel_Click();

    // Escape and the title bar's close are Cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void buildControls();
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
    void Commit();
    // The steps of one commit, in order.
    savequote::CommitContact ResolveContact(const savequote::CrmServices& crm);
    QStringList UploadQuoteFiles(const savequote::CrmServices& crm, std::int32_t contactId);
    bool UploadQuoteFile(const savequote::CrmServices& crm, std::int32_t contactId,
                         const QString& path, const QString& programFolder);
    void NameActionSetFrame(const QString& frame);
    // Gives the note for the end box when the entry had run before (else empty text).
    QString RunActionSet(const savequote::CrmServices& crm, std::int32_t contactId);
    std::int32_t WriteOpportunity(const savequote::CrmServices& crm,
                                  const savequote::CommitContact& contact);
    void AddQuoteNote(const savequote::CrmServices& crm, std::int32_t contactId);
    void RememberChoices();
    void AdoptCreatedContact(std::int32_t id, const QString& firstName, const QString& lastName,
                             const QString& email);
    void AdoptCreatedOpportunity(std::int32_t id, const QString& title);
    savequote::CommitChoices Choices() const;

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

    // One showing's state, cleared by every ShowForm.
    bool m_blnShowing = false;
    std::int32_t m_lngDropDownOpportunity = 0;
    std::int32_t m_lngDropDownActionSet = 0;
    QString m_strQuoteNo;        // the number the window was prepared for
    QString m_strActionSetFrame; // "Action Set", or "Campaign Sequence" on REST v2
    std::shared_ptr<StageCollection> m_stages;
    std::shared_ptr<ActionSetCollection> m_actionSets;
    // What an earlier OK of this showing created or ran before it stopped, so that OK
    // again does not repeat it.
    std::int32_t m_lngCreatedOpportunityId = 0;
    std::set<std::pair<std::int32_t, std::int32_t>> m_ranActionSets; // contact, action set
};

// Creates the one Save Quote window on first use, parented to the main window (which
// finds it by its objectName "frmSaveQuote"), and opens it through
// State().Windows.ShowSaveQuote.
void InstallSaveQuoteWindow(QWidget* mainWindow);

} // namespace pellwick
