// The opportunities window's actions: a new opportunity from the quote, the selected one
// updated from the quote or moved to the stage picked, and its page in the CRM.

#include "OpportunitiesSupport.h"
#include "pellwick/ErrorReport.h"
#include "pellwick/MessageBox.h"
#include "pellwick/WaitCursor.h"
#include "pellwick/host/QuoteWerksApp.h"
#include "pellwick/modQWAPI.h"
#include "pellwick/opportunities/frmOpportunities.h"
#include "pellwick/savequote/SaveQuoteRules.h"
#include "ui_frmOpportunities.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QPointer>
#include <QScopeGuard>
#include <QTreeWidget>
#include <tessary/RpcValue.h>

namespace pellwick {

using namespace opportunities;

void frmOpportunities::cmdNew_Click() {
    RunWrite("cmdNew_Click", [this] { return AddFromQuote(); });
}

void frmOpportunities::cmdUpdate_Click() {
    RunWrite("cmdUpdate_Click", [this] { return UpdateFromQuote(); });
}

void frmOpportunities::cmdMove_Click() {
    RunWrite("cmdMove_Click", [this] { return MoveToStage(); });
}

void frmOpportunities::cmdInfusionsoft_Click() {
    Guarded("cmdInfusionsoft_Click", [&] {
        if (const std::optional<OpportunityRow> row = SelectedOpportunity())
            OpenInfusionsoftPage(PageOpportunity, row->id);
    });
}

void frmOpportunities::RunWrite(const char* section, const std::function<std::int32_t()>& write) {
    if (m_blnWriting)
        return;
    m_blnWriting = true;
    // A disabled button hands the focus on, maybe to Close: keys typed during the call
    // go to the list instead, and the focus comes back when the button can act again.
    const QPointer<QWidget> focused = focusWidget();
    ui_->lstOpportunities->setFocus();
    std::int32_t changed = 0;
    {
        const auto idle = qScopeGuard([this] { m_blnWriting = false; });
        UpdateActions();
        changed = Guarded(section, std::int32_t{0}, write);
        // Clicks made while the call blocked reach the buttons now, while they are off.
        QCoreApplication::processEvents();
    }
    const std::optional<std::int32_t> contact = ChosenContact();
    if (changed >= 1 && contact)
        ListOpportunities(*contact, changed);
    UpdateActions();
    if (focused && focused->isEnabled())
        focused->setFocus();
}

std::optional<QuoteFacts> frmOpportunities::QuoteToWrite() const {
    QuoteWerksApp* host = m_doors.host();
    QuoteWerksDocument* document = host ? &host->DocumentAccess() : nullptr;
    const auto field = [&](const char* name) {
        return document->GetFieldValue(QString::fromLatin1(name));
    };
    // The host does not wait while this window is open: the quote shown may be gone.
    if (!document || document->NoDocumentOpen() || field("DocNo").toString() != m_strQuoteNo) {
        MsgBox(QStringLiteral("The quote shown in the Opportunities window is no longer open in "
                              "QuoteWerks.") +
                   kCrLf + QStringLiteral("Nothing was written into Infusionsoft."),
               MsgIcon::Exclamation);
        return std::nullopt;
    }
    QuoteFacts quote;
    quote.number = m_strQuoteNo;
    quote.name = field("DocName").toString();
    quote.notes = savequote::OpportunityNotes(
        field("IntroductionNotes").toString(), field("PurchasingNotes").toString(),
        field("ClosingNotes").toString(), field("InternalNotes").toString());
    quote.total = savequote::RevenueNumber(field("GrandTotal"));
    return quote;
}

std::int32_t frmOpportunities::AddFromQuote() {
    const std::optional<std::int32_t> contact = ChosenContact();
    const std::optional<std::int32_t> stage = PickedStage();
    if (!contact || !stage)
        return 0;
    const std::optional<QuoteFacts> quote = QuoteToWrite();
    if (!quote)
        return 0;
    DebugLine(QStringLiteral(" - cmdNew_Click - Add the opportunity, stage ") +
              QString::number(*stage));
    const WaitCursor busy;
    return m_calls.Add("Lead", NewOpportunityRecord(*contact, *quote, *stage));
}

std::int32_t frmOpportunities::UpdateFromQuote() {
    const std::optional<std::int32_t> contact = ChosenContact();
    const std::optional<OpportunityRow> row = SelectedOpportunity();
    if (!contact || !row)
        return 0;
    const std::optional<QuoteFacts> quote = QuoteToWrite();
    if (!quote)
        return 0;
    const bool appendNotes = ui_->chkAppendNotes->isChecked();
    QString notes;
    if (appendNotes) {
        // The notes as the CRM holds them now, not as they were listed.
        const std::optional<std::vector<OpportunityRow>> current = ReadOpportunities(*contact);
        if (!current)
            return 0;
        const auto now = std::find_if(current->begin(), current->end(),
                                      [&](const OpportunityRow& r) { return r.id == row->id; });
        if (now == current->end())
            throw ProgramError(
                errnum::InvalidProcedureCall,
                QStringLiteral("The opportunity %1 was not found in Infusionsoft.").arg(row->id));
        notes = now->notes;
    }
    const tessary::RpcStruct record = UpdateFromQuoteRecord(*contact, *quote, appendNotes, notes);
    if (record.Count() == 0) {
        MsgBox(QStringLiteral("The quote has nothing to update the opportunity with: its total is "
                              "no number and its notes are not to be added or are there already."),
               MsgIcon::Information);
        return 0;
    }
    DebugLine(QStringLiteral(" - cmdUpdate_Click - Update the opportunity ") +
              QString::number(row->id));
    return Updated(row->id, record);
}

std::int32_t frmOpportunities::MoveToStage() {
    const std::optional<OpportunityRow> row = SelectedOpportunity();
    const std::optional<std::int32_t> stage = PickedStage();
    if (!row || !stage)
        return 0;
    DebugLine(QStringLiteral(" - cmdMove_Click - Move the opportunity ") +
              QString::number(row->id) + QStringLiteral(" to stage ") + QString::number(*stage));
    return Updated(row->id, MoveToStageRecord(*stage));
}

// The Id once the CRM took the update; 0 when it did not (the library said why).
std::int32_t frmOpportunities::Updated(std::int32_t id, const tessary::RpcStruct& values) {
    const WaitCursor busy;
    const std::optional<std::int32_t> answer = m_calls.Update("Lead", id, values);
    return answer && *answer != 0 ? id : 0;
}

} // namespace pellwick
