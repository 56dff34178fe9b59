#pragma once
// The opportunities window: a CRM contact's opportunities, newest first, and four actions
// on them: a new one from the open quote, the selected one updated from the quote, moved
// to another stage, or opened in the CRM. One object serves the whole run; every
// ShowForm starts it afresh. The controls are laid out in frmOpportunities.ui, with their
// names as objectName.

#include "pellwick/ProgramState.h"
#include "pellwick/WindowDoors.h"
#include "pellwick/opportunities/OpportunityCalls.h"
#include "pellwick/opportunities/OpportunityRules.h"

#include <QDialog>
#include <QHash>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Ui {
class frmOpportunities;
}

namespace tessary {
class RpcStruct;
}

namespace pellwick {

class frmOpportunities : public QDialog {
    Q_OBJECT
public:
    // Calls left empty go to the CRM door.
    explicit frmOpportunities(QWidget* parent = nullptr, opportunities::OpportunityCalls calls = {},
                              WindowDoors doors = {});
    ~frmOpportunities() override;

    // Lists the opportunities of the contact p_lngContactId (1 or more) or, with 0, of the
    // contacts matching the open quote's e-mail addresses (with no quote open, of the
    // contact picked in the contact search; none picked: the window is not shown). Shows
    // the window modally and returns once it has closed. While it is open a further call
    // only raises it.
    void ShowForm(std::int32_t p_lngContactId);

    // Reads the contact's opportunities again and lists them, selecting p_lngSelectId
    // when it is among them. A failed reading leaves the list as it was.
    void ListOpportunities(std::int32_t p_lngContactId, std::int32_t p_lngSelectId = 0);

    void cboContact_Click();
    void cmdFind_Click();
    void lstOpportunities_ItemClick();
    void cboStage_Click();
    void cmdNew_Click();
    void cmdUpdate_Click();
    void cmdMove_Click();
    void cmdInfusionsoft_Click();
    void cmdClose_Click();

    // Escape and the title bar's close are Close: nothing is written.
    void reject() override;

private:
    void SetUpColumnsAndHandlers();
    void ResetForShowing();
    bool PrepareShowing(std::int32_t contactId);
    bool ShowQuoteCaption();
    void ListStages();
    // The contacts offered in cboContact.
    void ListContactById(std::int32_t id);
    void ListContactsForQuoteEmails();
    bool ChooseContactBySearch();
    void AddContactEntries(const tessary::RpcStruct& queryData, std::int32_t limit,
                           const QString& email);
    void SelectContact(std::int32_t id);
    void ShowNoContact(const QString& why);
    void UpdateActions();
    // The contact's opportunities; none when the call failed (the library said why).
    std::optional<std::vector<opportunities::OpportunityRow>>
    ReadOpportunities(std::int32_t contactId);
    void FillList(const std::vector<opportunities::OpportunityRow>& rows, std::int32_t selectId);
    std::optional<opportunities::OpportunityRow> SelectedOpportunity() const;
    std::optional<std::int32_t> ChosenContact() const;
    std::optional<std::int32_t> PickedStage() const;
    // One write: the actions off while it runs, a second click meanwhile ignored; on
    // success (the changed opportunity's Id) the list read again with that row selected.
    void RunWrite(const char* section, const std::function<std::int32_t()>& write);
    // The open quote as the writes use it; none (after saying why) when the quote shown is
    // no longer the open one.
    std::optional<opportunities::QuoteFacts> QuoteToWrite() const;
    std::int32_t AddFromQuote();
    std::int32_t UpdateFromQuote();
    std::int32_t MoveToStage();
    std::int32_t Updated(std::int32_t id, const tessary::RpcStruct& values);

    std::unique_ptr<Ui::frmOpportunities> ui_;
    WindowDoors m_doors;
    opportunities::OpportunityCalls m_calls;
    // One showing's state, cleared by every ShowForm.
    bool m_blnOpen = false;
    bool m_blnWriting = false;
    QString m_strQuoteNo; // the quote shown; empty when none was open
    std::shared_ptr<StageCollection> m_stages;
    QHash<std::int32_t, opportunities::OpportunityRow> m_rows; // listed, by Id
};

} // namespace pellwick
