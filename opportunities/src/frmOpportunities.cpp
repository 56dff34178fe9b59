// The opportunities window: its columns and handlers (the layout is frmOpportunities.ui),
// ShowForm's preparation, whose opportunities it lists and which actions can act. The
// list is in frmOpportunitiesList.cpp, the actions in frmOpportunitiesActions.cpp.

#include "pellwick/opportunities/frmOpportunities.h"

#include "OpportunitiesSupport.h"
#include "pellwick/CrmCollections.h"
#include "pellwick/DesktopSeams.h"
#include "pellwick/ErrorReport.h"
#include "pellwick/WaitCursor.h"
#include "pellwick/host/QuoteWerksApp.h"
#include "pellwick/modMain.h"
#include "pellwick/modQWAPI.h"
#include "pellwick/savequote/SaveQuoteRules.h"
#include "ui_frmOpportunities.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <tessary/RpcValue.h>

namespace pellwick {

using namespace opportunities;

namespace {

QString RecordText(const tessary::RpcStruct& record, const char* field) {
    return QString::fromStdString(record.Item(field).StringValue());
}

bool DocumentOpen(const WindowDoors& doors) {
    QuoteWerksApp* host = doors.host();
    return host && !host->DocumentAccess().NoDocumentOpen();
}

QString QuoteField(const WindowDoors& doors, const QString& field) {
    return doors.Document().GetFieldValue(field).toString();
}

} // namespace

frmOpportunities::frmOpportunities(QWidget* parent, OpportunityCalls calls, WindowDoors doors)
    : QDialog(parent), ui_(std::make_unique<Ui::frmOpportunities>()), m_doors(std::move(doors)),
      m_calls(std::move(calls)) {
    const OpportunityCalls shared = SharedConnectionCalls(m_doors.crm);
    if (!m_calls.Query)
        m_calls.Query = shared.Query;
    if (!m_calls.Add)
        m_calls.Add = shared.Add;
    if (!m_calls.Update)
        m_calls.Update = shared.Update;
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    // In frmOpportunities.ui: "Open in Infusionsoft" is the default button, so Enter opens
    // the selected opportunity (were no button the default, the dialog would make the
    // first one after the list its default, a write); the quote and status labels show
    // plain text, as the quote's name is host text; the list has an accessible name, as
    // item views take none from a label.
    SetUpColumnsAndHandlers();
    ResetForShowing();
}

frmOpportunities::~frmOpportunities() = default;

// What frmOpportunities.ui cannot hold: the list's columns and the handlers.
void frmOpportunities::SetUpColumnsAndHandlers() {
    QStringList headers;
    for (const QString& caption : OpportunityColumnCaptions())
        headers << caption;
    ui_->lstOpportunities->setHeaderLabels(headers);
    // The title takes the room the other columns, as wide as their texts, leave.
    QHeaderView* header = ui_->lstOpportunities->header();
    for (int column = 0; column < kOpportunityColumnCount; ++column)
        header->setSectionResizeMode(column, column == ColTitle ? QHeaderView::Stretch
                                                                : QHeaderView::ResizeToContents);

    // activated: the user's picks only; the program's selections call the handlers itself.
    connect(ui_->cboContact, &QComboBox::activated, this, &frmOpportunities::cboContact_Click);
    connect(ui_->cboStage, &QComboBox::activated, this, &frmOpportunities::cboStage_Click);
    connect(ui_->lstOpportunities, &QTreeWidget::itemSelectionChanged, this,
            &frmOpportunities::lstOpportunities_ItemClick);
    connect(ui_->cmdFind, &QPushButton::clicked, this, &frmOpportunities::cmdFind_Click);
    connect(ui_->cmdNew, &QPushButton::clicked, this, &frmOpportunities::cmdNew_Click);
    connect(ui_->cmdUpdate, &QPushButton::clicked, this, &frmOpportunities::cmdUpdate_Click);
    connect(ui_->cmdMove, &QPushButton::clicked, this, &frmOpportunities::cmdMove_Click);
    connect(ui_->cmdInfusionsoft, &QPushButton::clicked, this,
            &frmOpportunities::cmdInfusionsoft_Click);
    connect(ui_->cmdClose, &QPushButton::clicked, this, &frmOpportunities::cmdClose_Click);
}

void frmOpportunities::ShowForm(std::int32_t p_lngContactId) {
    const QString params =
        QStringLiteral("Params: p_lngContactId = ") + QString::number(p_lngContactId);
    if (m_blnOpen) {
        // Opened again while open: the open window stays as it is, in front.
        Guarded("ShowForm", [&] {
            DebugLine(QStringLiteral(" - ShowForm - Already open - ") + params);
            raise();
            activateWindow();
        });
        return;
    }
    m_blnOpen = true;
    const auto closed = qScopeGuard([this] { m_blnOpen = false; });
    Guarded("ShowForm", [&] {
        DebugLine(QStringLiteral(" - ShowForm - Started, ") + params);
        if (!PrepareShowing(p_lngContactId))
            return;
        SetWindowOnTop(this, true);
        SetWindowOnTop(this, false);
        exec();
        DebugLine(QStringLiteral(" - ShowForm - Finished"));
    });
}

void frmOpportunities::ResetForShowing() {
    for (QComboBox* list : {ui_->cboContact, ui_->cboStage}) {
        const QSignalBlocker quiet(list);
        list->clear();
    }
    {
        const QSignalBlocker quiet(ui_->lstOpportunities);
        ui_->lstOpportunities->clear();
    }
    ui_->lstOpportunities->sortByColumn(ColId, Qt::DescendingOrder); // newest first
    m_rows.clear();
    ui_->lblQuoteDocNo->clear();
    ui_->lblStatus->clear();
    ui_->chkAppendNotes->setChecked(false);
    m_blnWriting = false;
    m_strQuoteNo.clear();
    m_stages.reset();
    UpdateActions();
}

bool frmOpportunities::PrepareShowing(std::int32_t contactId) {
    ResetForShowing();
    const bool documentOpen = ShowQuoteCaption();
    ListStages();
    switch (WhoseOpportunities(contactId, documentOpen)) {
    case ContactSource::Given:
        ListContactById(contactId);
        break;
    case ContactSource::QuoteEmails:
        ListContactsForQuoteEmails();
        break;
    case ContactSource::Search:
        if (!ChooseContactBySearch())
            return false;
        break;
    }
    if (ui_->cboContact->count() > 0) {
        SelectContact(ui_->cboContact->itemData(0).toInt());
        ui_->lstOpportunities->setFocus();
    } else {
        ShowNoContact(
            contactId >= 1
                ? QStringLiteral("The contact %1 was not found in Infusionsoft.").arg(contactId)
                : QStringLiteral("No Infusionsoft contact has the quote's e-mail "
                                 "addresses; use Find... to choose one."));
    }
    return true;
}

// The quote the writes take their data from: the document open now, or none. A quote
// without a number (never saved) gives no title and cannot be told apart later: its
// contacts are listed, but nothing is written from it. False when no document is open.
bool frmOpportunities::ShowQuoteCaption() {
    if (!DocumentOpen(m_doors)) {
        ui_->lblQuoteDocNo->setText(QStringLiteral("No quote is open in QuoteWerks."));
        return false;
    }
    m_strQuoteNo = QuoteField(m_doors, QStringLiteral("DocNo"));
    if (m_strQuoteNo.isEmpty()) {
        ui_->lblQuoteDocNo->setText(
            QStringLiteral("The quote open in QuoteWerks has no number yet."));
        return true;
    }
    ui_->lblQuoteDocNo->setText(
        QStringLiteral("Quote: ") +
        savequote::QuoteCaption(QuoteField(m_doors, QStringLiteral("DocName")), m_strQuoteNo));
    return true;
}

void frmOpportunities::ListStages() {
    m_stages = State().g_colStages;
    if (!m_stages) {
        DebugLine(QStringLiteral(" - ShowForm - Collect the Stages."));
        const WaitCursor busy;
        m_stages = CollectStages();
    }
    const QSignalBlocker quiet(ui_->cboStage);
    for (const auto& [key, stage] : *m_stages)
        ui_->cboStage->addItem(stage->m_strStageName, stage->m_lngID);
    ui_->cboStage->setCurrentIndex(ui_->cboStage->count() > 0 ? 0
                                                              : -1); // the first in the CRM's order
}

void frmOpportunities::ListContactById(std::int32_t id) {
    tessary::RpcStruct query;
    query.AddInteger("Id", id);
    AddContactEntries(query, 1, QString());
}

// The quote's Sold To, Ship To and Bill To addresses, as the Save Quote window finds them.
void frmOpportunities::ListContactsForQuoteEmails() {
    std::array<savequote::SectionContact, 3> sections;
    for (std::int16_t type = 0; type < 3; ++type)
        sections[type].email =
            QuoteField(m_doors, GetNameForContactType(type) + QStringLiteral("Email"))
                .trimmed()
                .toLower();
    for (const savequote::EmailSearch& search : savequote::EmailsToSearch(sections)) {
        tessary::RpcStruct query;
        query.AddString("Email", search.email.toStdString());
        AddContactEntries(query, 100, search.email);
    }
}

// No quote open: the contact search chooses. False when nobody was chosen.
bool frmOpportunities::ChooseContactBySearch() {
    const auto& showContacts = State().Windows.ShowContacts;
    const std::int32_t id = showContacts ? showContacts(-1, -1) : 0;
    DebugLine(QStringLiteral(" - ShowForm - Contact chosen in the search: ") + QString::number(id));
    if (id >= 1)
        ListContactById(id);
    return id >= 1;
}

// Queries "Contact" and offers each record not offered yet; with an e-mail address, only
// records with exactly that address ("%" in it is the CRM's wildcard).
void frmOpportunities::AddContactEntries(const tessary::RpcStruct& queryData, std::int32_t limit,
                                         const QString& email) {
    tessary::RpcArray fields;
    for (const char* field : {"Id", "FirstName", "LastName", "Email"})
        fields.AddString(field);
    std::shared_ptr<tessary::RpcArray> records;
    {
        const WaitCursor busy;
        records = m_calls.Query("Contact", limit, queryData, fields);
    }
    if (!records)
        return;
    const QSignalBlocker quiet(ui_->cboContact);
    for (const tessary::RpcValue& element : records->Elements()) {
        const std::shared_ptr<tessary::RpcStruct> record = element.StructValue();
        if (!record)
            throw ProgramError(errnum::TypeMismatch, QStringLiteral("Type mismatch"));
        const std::int32_t id = record->Item("Id").IntegerValue();
        const QString address = RecordText(*record, "Email");
        if (id < 1 || ui_->cboContact->findData(id) >= 0 ||
            (!email.isEmpty() && !savequote::EmailMatches(address, email)))
            continue;
        ui_->cboContact->addItem(savequote::ContactEntryText(RecordText(*record, "FirstName"),
                                                             RecordText(*record, "LastName"),
                                                             address, id),
                                 id);
    }
}

void frmOpportunities::SelectContact(std::int32_t id) {
    {
        const QSignalBlocker quiet(ui_->cboContact);
        ui_->cboContact->setCurrentIndex(ui_->cboContact->findData(id));
    }
    cboContact_Click();
}

void frmOpportunities::ShowNoContact(const QString& why) {
    ui_->lblStatus->setText(why);
    ui_->cmdFind->setFocus();
    UpdateActions();
}

void frmOpportunities::cboContact_Click() {
    Guarded("cboContact_Click", [&] {
        {
            const QSignalBlocker quiet(ui_->lstOpportunities);
            ui_->lstOpportunities->clear();
        }
        m_rows.clear();
        ui_->lblStatus->clear();
        if (const std::optional<std::int32_t> contact = ChosenContact())
            ListOpportunities(*contact);
        UpdateActions();
    });
}

void frmOpportunities::cmdFind_Click() {
    Guarded("cmdFind_Click", [&] {
        const auto& showContacts = State().Windows.ShowContacts;
        const std::int32_t id = showContacts ? showContacts(-1, -1) : 0;
        if (id < 1)
            return;
        if (ui_->cboContact->findData(id) < 0)
            ListContactById(id);
        if (ui_->cboContact->findData(id) < 0)
            throw ProgramError(
                errnum::InvalidProcedureCall,
                QStringLiteral("The contact %1 was not found in Infusionsoft.").arg(id));
        SelectContact(id);
        ui_->lstOpportunities->setFocus();
    });
}

void frmOpportunities::lstOpportunities_ItemClick() {
    Guarded("lstOpportunities_ItemClick", [&] { UpdateActions(); });
}

void frmOpportunities::cboStage_Click() {
    Guarded("cboStage_Click", [&] { UpdateActions(); });
}

std::optional<std::int32_t> frmOpportunities::ChosenContact() const {
    return SelectedValue(ui_->cboContact);
}

std::optional<std::int32_t> frmOpportunities::PickedStage() const {
    return SelectedValue(ui_->cboStage);
}

void frmOpportunities::UpdateActions() {
    const std::optional<OpportunityRow> row = SelectedOpportunity();
    ActionInputs in;
    in.busy = m_blnWriting;
    in.contact = ChosenContact().has_value();
    in.quote = !m_strQuoteNo.isEmpty();
    in.row = row.has_value();
    in.stage = PickedStage().has_value();
    in.rowStageId = row ? row->stageId : 0;
    in.pickedStageId = PickedStage().value_or(0);
    const EnabledActions on = ActionsFor(in);
    ui_->cmdNew->setEnabled(on.newFromQuote);
    ui_->cmdUpdate->setEnabled(on.updateFromQuote);
    ui_->cmdMove->setEnabled(on.moveToStage);
    ui_->cmdInfusionsoft->setEnabled(on.openPage);
    ui_->cmdFind->setEnabled(on.find);
    ui_->chkAppendNotes->setEnabled(in.quote && !m_blnWriting);
}

void frmOpportunities::cmdClose_Click() {
    Guarded("cmdClose_Click", [&] { done(QDialog::Rejected); });
}

void frmOpportunities::reject() {
    cmdClose_Click();
}

} // namespace pellwick
