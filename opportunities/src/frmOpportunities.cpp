// The opportunities window: its controls, ShowForm's preparation, whose opportunities
// it lists and which actions can act. The list is in frmOpportunitiesList.cpp, the
// actions in frmOpportunitiesActions.cpp.

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

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <tessary/RpcValue.h>

namespace pellwick {

using namespace opportunities;

namespace {

template <typename W> W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel* buddyLabel(const QString& caption, QWidget* buddy, const char* name, QWidget* parent) {
    auto* label = named(new QLabel(caption, parent), name);
    label->setBuddy(buddy);
    return label;
}

QString RecordText(const tessary::RpcStruct& record, const char* field) {
    return QString::fromStdString(record.Item(field).StringValue());
}

bool DocumentOpen() {
    const std::shared_ptr<QuoteWerksApp>& host = State().QuoteWerksApp;
    return host && !host->DocumentAccess().NoDocumentOpen();
}

QString QuoteField(const QString& field) {
    return State().QuoteWerksApp->DocumentAccess().GetFieldValue(field).toString();
}

} // namespace

frmOpportunities::frmOpportunities(QWidget* parent, OpportunityCalls calls)
    : QDialog(parent), m_calls(std::move(calls)) {
    const OpportunityCalls shared = SharedConnectionCalls();
    if (!m_calls.Query)
        m_calls.Query = shared.Query;
    if (!m_calls.Add)
        m_calls.Add = shared.Add;
    if (!m_calls.Update)
        m_calls.Update = shared.Update;
    setObjectName(QStringLiteral("frmOpportunities"));
    setWindowTitle(QStringLiteral("Pellwick - Infusionsoft Opportunities"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);
    buildControls();
    ResetForShowing();
}

void frmOpportunities::buildControls() {
    lblQuoteDocNo = named(new QLabel(this), "lblQuoteDocNo");
    lblQuoteDocNo->setTextFormat(Qt::PlainText); // the quote's name is host text
    lblQuoteDocNo->setAccessibleName(QStringLiteral("Quote"));

    cboContact = named(new QComboBox(this), "cboContact");
    cboContact->setMinimumContentsLength(48);
    cboContact->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    lblContact = buddyLabel(QStringLiteral("&Contact:"), cboContact, "lblContact", this);
    cmdFind = named(new QPushButton(QStringLiteral("&Find..."), this), "cmdFind");
    cmdFind->setToolTip(QStringLiteral("Choose any Infusionsoft contact in the contact search."));

    lstOpportunities = named(new QTreeWidget(this), "lstOpportunities");
    lstOpportunities->setRootIsDecorated(false);
    lstOpportunities->setItemsExpandable(false);
    lstOpportunities->setUniformRowHeights(true);
    lstOpportunities->setAllColumnsShowFocus(true);
    lstOpportunities->setSelectionMode(QAbstractItemView::SingleSelection);
    lstOpportunities->setSelectionBehavior(QAbstractItemView::SelectRows);
    QStringList headers;
    for (const QString& caption : OpportunityColumnCaptions())
        headers << caption;
    lstOpportunities->setHeaderLabels(headers);
    // The title takes the room the other columns, as wide as their texts, leave.
    QHeaderView* header = lstOpportunities->header();
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(60);
    for (int column = 0; column < kOpportunityColumnCount; ++column)
        header->setSectionResizeMode(column, column == ColTitle ? QHeaderView::Stretch
                                                                : QHeaderView::ResizeToContents);
    lstOpportunities->setMinimumSize(780, 200);
    lstOpportunities->setSortingEnabled(true);
    // Item views take no name from a label; screen readers need one.
    lstOpportunities->setAccessibleName(QStringLiteral("Opportunities"));
    lblOpportunities =
        buddyLabel(QStringLiteral("&Opportunities:"), lstOpportunities, "lblOpportunities", this);
    lblStatus = named(new QLabel(this), "lblStatus");
    lblStatus->setTextFormat(Qt::PlainText);

    cboStage = named(new QComboBox(this), "cboStage");
    cboStage->setMinimumContentsLength(20);
    cboStage->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    lblStage = buddyLabel(QStringLiteral("&Stage:"), cboStage, "lblStage", this);
    chkAppendNotes =
        named(new QCheckBox(QStringLiteral("Append the quote's no&tes on update"), this),
              "chkAppendNotes");
    cmdNew = named(new QPushButton(QStringLiteral("&New from Quote"), this), "cmdNew");
    cmdNew->setToolTip(QStringLiteral("Create an opportunity from the quote in the stage picked."));
    cmdUpdate = named(new QPushButton(QStringLiteral("&Update from Quote"), this), "cmdUpdate");
    cmdUpdate->setToolTip(
        QStringLiteral("Set the selected opportunity's projected revenue to the quote's total."));
    cmdMove = named(new QPushButton(QStringLiteral("&Move to Stage"), this), "cmdMove");
    cmdMove->setToolTip(QStringLiteral("Move the selected opportunity into the stage picked."));
    cmdInfusionsoft =
        named(new QPushButton(QStringLiteral("Open in &Infusionsoft"), this), "cmdInfusionsoft");
    // Enter opens the selected opportunity; were no button the default, the dialog would
    // make the first one after the list its default, a write.
    cmdInfusionsoft->setDefault(true);
    cmdClose = named(new QPushButton(QStringLiteral("Close"), this), "cmdClose");

    auto* contact = new QHBoxLayout;
    contact->addWidget(lblContact);
    contact->addWidget(cboContact, 1);
    contact->addWidget(cmdFind);
    auto* options = new QHBoxLayout;
    options->addWidget(lblStage);
    options->addWidget(cboStage);
    options->addSpacing(16);
    options->addWidget(chkAppendNotes);
    options->addStretch(1);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {cmdNew, cmdUpdate, cmdMove})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(cmdInfusionsoft);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblQuoteDocNo);
    layout->addLayout(contact);
    layout->addWidget(lblOpportunities);
    layout->addWidget(lstOpportunities, 1);
    layout->addWidget(lblStatus);
    layout->addLayout(options);
    layout->addLayout(buttons);

    QWidget* order[] = {cboContact, cmdFind,   lstOpportunities, cboStage,        chkAppendNotes,
                        cmdNew,     cmdUpdate, cmdMove,          cmdInfusionsoft, cmdClose};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    // activated: the user's picks only; the program's selections call the handlers itself.
    connect(cboContact, &QComboBox::activated, this, &frmOpportunities::cboContact_Click);
    connect(cboStage, &QComboBox::activated, this, &frmOpportunities::cboStage_Click);
    connect(lstOpportunities, &QTreeWidget::itemSelectionChanged, this,
            &frmOpportunities::lstOpportunities_ItemClick);
    connect(cmdFind, &QPushButton::clicked, this, &frmOpportunities::cmdFind_Click);
    connect(cmdNew, &QPushButton::clicked, this, &frmOpportunities::cmdNew_Click);
    connect(cmdUpdate, &QPushButton::clicked, this, &frmOpportunities::cmdUpdate_Click);
    connect(cmdMove, &QPushButton::clicked, this, &frmOpportunities::cmdMove_Click);
    connect(cmdInfusionsoft, &QPushButton::clicked, this, &frmOpportunities::cmdInfusionsoft_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmOpportunities::cmdClose_Click);
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
    for (QComboBox* list : {cboContact, cboStage}) {
        const QSignalBlocker quiet(list);
        list->clear();
    }
    {
        const QSignalBlocker quiet(lstOpportunities);
        lstOpportunities->clear();
    }
    lstOpportunities->sortByColumn(ColId, Qt::DescendingOrder); // newest first
    m_rows.clear();
    lblQuoteDocNo->clear();
    lblStatus->clear();
    chkAppendNotes->setChecked(false);
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
    if (cboContact->count() > 0) {
        SelectContact(cboContact->itemData(0).toInt());
        lstOpportunities->setFocus();
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
    if (!DocumentOpen()) {
        lblQuoteDocNo->setText(QStringLiteral("No quote is open in QuoteWerks."));
        return false;
    }
    m_strQuoteNo = QuoteField(QStringLiteral("DocNo"));
    if (m_strQuoteNo.isEmpty()) {
        lblQuoteDocNo->setText(QStringLiteral("The quote open in QuoteWerks has no number yet."));
        return true;
    }
    lblQuoteDocNo->setText(
        QStringLiteral("Quote: ") +
        savequote::QuoteCaption(QuoteField(QStringLiteral("DocName")), m_strQuoteNo));
    return true;
}

void frmOpportunities::ListStages() {
    m_stages = State().g_colStages;
    if (!m_stages) {
        DebugLine(QStringLiteral(" - ShowForm - Collect the Stages."));
        const WaitCursor busy;
        m_stages = CollectStages();
    }
    const QSignalBlocker quiet(cboStage);
    for (const auto& [key, stage] : *m_stages)
        cboStage->addItem(stage->m_strStageName, stage->m_lngID);
    cboStage->setCurrentIndex(cboStage->count() > 0 ? 0 : -1); // the first in the CRM's order
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
            QuoteField(GetNameForContactType(type) + QStringLiteral("Email")).trimmed().toLower();
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
    const QSignalBlocker quiet(cboContact);
    for (const tessary::RpcValue& element : records->Elements()) {
        const std::shared_ptr<tessary::RpcStruct> record = element.StructValue();
        if (!record)
            throw ProgramError(errnum::TypeMismatch, QStringLiteral("Type mismatch"));
        const std::int32_t id = record->Item("Id").IntegerValue();
        const QString address = RecordText(*record, "Email");
        if (id < 1 || cboContact->findData(id) >= 0 ||
            (!email.isEmpty() && !savequote::EmailMatches(address, email)))
            continue;
        cboContact->addItem(savequote::ContactEntryText(RecordText(*record, "FirstName"),
                                                        RecordText(*record, "LastName"), address,
                                                        id),
                            id);
    }
}

void frmOpportunities::SelectContact(std::int32_t id) {
    {
        const QSignalBlocker quiet(cboContact);
        cboContact->setCurrentIndex(cboContact->findData(id));
    }
    cboContact_Click();
}

void frmOpportunities::ShowNoContact(const QString& why) {
    lblStatus->setText(why);
    cmdFind->setFocus();
    UpdateActions();
}

void frmOpportunities::cboContact_Click() {
    Guarded("cboContact_Click", [&] {
        {
            const QSignalBlocker quiet(lstOpportunities);
            lstOpportunities->clear();
        }
        m_rows.clear();
        lblStatus->clear();
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
        if (cboContact->findData(id) < 0)
            ListContactById(id);
        if (cboContact->findData(id) < 0)
            throw ProgramError(
                errnum::InvalidProcedureCall,
                QStringLiteral("The contact %1 was not found in Infusionsoft.").arg(id));
        SelectContact(id);
        lstOpportunities->setFocus();
    });
}

void frmOpportunities::lstOpportunities_ItemClick() {
    Guarded("lstOpportunities_ItemClick", [&] { UpdateActions(); });
}

void frmOpportunities::cboStage_Click() {
    Guarded("cboStage_Click", [&] { UpdateActions(); });
}

std::optional<std::int32_t> frmOpportunities::ChosenContact() const {
    return SelectedValue(cboContact);
}

std::optional<std::int32_t> frmOpportunities::PickedStage() const {
    return SelectedValue(cboStage);
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
    cmdNew->setEnabled(on.newFromQuote);
    cmdUpdate->setEnabled(on.updateFromQuote);
    cmdMove->setEnabled(on.moveToStage);
    cmdInfusionsoft->setEnabled(on.openPage);
    cmdFind->setEnabled(on.find);
    chkAppendNotes->setEnabled(in.quote && !m_blnWriting);
}

void frmOpportunities::cmdClose_Click() {
    Guarded("cmdClose_Click", [&] { done(QDialog::Rejected); });
}

void frmOpportunities::reject() {
    cmdClose_Click();
}

} // namespace pellwick
