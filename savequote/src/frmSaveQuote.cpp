// The Save Quote window: its controls, ShowForm's preparation, the options and
// indicators, and the View and Cancel buttons. The listing procedures are in
// frmSaveQuoteListing.cpp, the commit in frmSaveQuoteCommit.cpp.

#include "pellwick/savequote/frmSaveQuote.h"

#include "SaveQuoteSupport.h"
#include "pellwick/CrmCollections.h"
#include "pellwick/DesktopSeams.h"
#include "pellwick/ErrorReport.h"
#include "pellwick/IdSetting.h"
#include "pellwick/MessageBox.h"
#include "pellwick/modMain.h"
#include "pellwick/modQWAPI.h"
#include "pellwick/savequote/SaveQuoteRules.h"
#include "ui_frmSaveQuote.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QTimer>
#include <initializer_list>
#include <tessary/clsInfusionsoftAPI.h>
#include <utility>

namespace pellwick {

using namespace savequote;

namespace {

// The three pictures the indicators copy: the style's, at the indicators' size.
void SetPicture(QLabel* holder, QStyle::StandardPixmap pixmap) {
    holder->setPixmap(holder->style()->standardIcon(pixmap).pixmap(16, 16));
}

// Shows the picture of `source` in `indicator`, with its tooltip; the holder's name is
// kept as the property "picture" so that tests can tell the three apart.
void SetIndicator(QLabel* indicator, const QLabel* source, const QString& tip) {
    indicator->setPixmap(source->pixmap());
    indicator->setToolTip(tip.toHtmlEscaped());
    indicator->setAccessibleDescription(tip);
    indicator->setProperty("picture", source->objectName());
}

} // namespace

frmSaveQuote::frmSaveQuote(QWidget* parent, WindowDoors doors)
    : QDialog(parent), ui_(std::make_unique<Ui::frmSaveQuote>()), m_doors(std::move(doors)) {
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    BindControls();
    // In frmSaveQuote.ui: the quote label is plain text, as the quote's name is host text;
    // a label's accessible name is its own text, so the name "Quote" is its frame's. The
    // lists and View buttons share a caption each, so they are named by their frame
    // (NameActionSetFrame renames the third). Only OK is a default button.
    PrepareControls();
    ConnectControls();
}

frmSaveQuote::~frmSaveQuote() = default;

// The handlers reach the controls by their names in frmSaveQuote.ui.
void frmSaveQuote::BindControls() {
    fraInfo = ui_->fraInfo;
    lblQuoteDocNo = ui_->lblQuoteDocNo;
    fraContact = ui_->fraContact;
    cboContact = ui_->cboContact;
    cmdViewContact = ui_->cmdViewContact;
    chkAddQuoteDocNo = ui_->chkAddQuoteDocNo;
    chkUploadQuoteFile = ui_->chkUploadQuoteFile;
    chkUploadQuotePDF = ui_->chkUploadQuotePDF;
    chkOpenContactRecord = ui_->chkOpenContactRecord;
    imgContact = ui_->imgContact;
    fraOpportunity = ui_->fraOpportunity;
    cboOpportunity = ui_->cboOpportunity;
    cmdViewOpportunity = ui_->cmdViewOpportunity;
    cmdOpportunities = ui_->cmdOpportunities;
    chkAddNotes = ui_->chkAddNotes;
    chkUpdateProjectedRevenue = ui_->chkUpdateProjectedRevenue;
    chkOpenOpportunityRecord = ui_->chkOpenOpportunityRecord;
    imgOpportunity = ui_->imgOpportunity;
    fraActionSet = ui_->fraActionSet;
    cboActionSet = ui_->cboActionSet;
    cmdViewActionSet = ui_->cmdViewActionSet;
    imgActionSet = ui_->imgActionSet;
    cmdOK = ui_->cmdOK;
    cmdCancel = ui_->cmdCancel;
    imgOK = ui_->imgOK;
    imgWarning = ui_->imgWarning;
    imgNoSelect = ui_->imgNoSelect;
    lblContactsIncomplete = ui_->lblContactsIncomplete;
    lblStep = ui_->lblStep;
    lstSteps = ui_->lstSteps;
}

// What frmSaveQuote.ui cannot say: the style's pictures, sizes from the font, and the
// controls hidden until a showing needs them.
void frmSaveQuote::PrepareControls() {
    SetPicture(imgOK, QStyle::SP_DialogApplyButton);
    SetPicture(imgWarning, QStyle::SP_MessageBoxWarning);
    SetPicture(imgNoSelect, QStyle::SP_DialogCancelButton);
    for (QCheckBox* option :
         {chkAddQuoteDocNo, chkUploadQuoteFile, chkUploadQuotePDF, chkOpenContactRecord,
          chkAddNotes, chkUpdateProjectedRevenue, chkOpenOpportunityRecord}) {
        QSizePolicy keepPlace = option->sizePolicy();
        keepPlace.setRetainSizeWhenHidden(true); // hiding options must not move the frames
        option->setSizePolicy(keepPlace);
    }
    // Eight rows of the window's font; longer messages wrap (frmSaveQuote.ui).
    lstSteps->setFixedHeight(lstSteps->fontMetrics().height() * 8);
    for (QWidget* shownWhenNeeded : std::initializer_list<QWidget*>{
             lblContactsIncomplete, lstSteps, lblStep, imgOK, imgWarning, imgNoSelect})
        shownWhenNeeded->hide();
}

void frmSaveQuote::ConnectControls() {
    // activated: the user's picks only; the program's selections call the handlers itself.
    connect(cboContact, &QComboBox::activated, this, &frmSaveQuote::cboContact_Click);
    connect(cboOpportunity, &QComboBox::activated, this, &frmSaveQuote::cboOpportunity_Click);
    connect(cboActionSet, &QComboBox::activated, this, &frmSaveQuote::cboActionSet_Click);
    connect(cmdViewContact, &QPushButton::clicked, this, &frmSaveQuote::cmdViewContact_Click);
    connect(cmdViewOpportunity, &QPushButton::clicked, this,
            &frmSaveQuote::cmdViewOpportunity_Click);
    connect(cmdViewActionSet, &QPushButton::clicked, this, &frmSaveQuote::cmdViewActionSet_Click);
    connect(cmdOpportunities, &QPushButton::clicked, this, &frmSaveQuote::cmdOpportunities_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmSaveQuote::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSaveQuote::cmdCancel_Click);
}

void frmSaveQuote::ShowForm(std::int32_t p_enmLayout) {
    if (m_blnShowing) {
        // Host events do not wait for this window: a second save or e-mail while it is
        // open must not refill it under the user's hands.
        DebugLine(QStringLiteral(" - ShowForm - The window is already open, Params: "
                                 "p_enmLayout = ") +
                  QString::number(p_enmLayout));
        if (isVisible()) {
            raise();
            activateWindow();
        }
        return;
    }
    m_blnShowing = true;
    const auto showingEnds = qScopeGuard([this] { m_blnShowing = false; });
    Guarded("ShowForm", [&] {
        if (!PrepareShowing(p_enmLayout))
            return;
        DebugLine(QStringLiteral(" - ShowForm - Show the modal form."));
        exec();
        DebugLine(QStringLiteral(" - ShowForm - Finished"));
    });
}

void frmSaveQuote::ResetForShowing() {
    for (QComboBox* list : {cboContact, cboOpportunity, cboActionSet}) {
        const QSignalBlocker quiet(list);
        list->clear();
    }
    lblQuoteDocNo->clear();
    for (QCheckBox* option :
         {chkAddQuoteDocNo, chkUploadQuoteFile, chkUploadQuotePDF, chkOpenContactRecord,
          chkAddNotes, chkUpdateProjectedRevenue, chkOpenOpportunityRecord}) {
        option->setChecked(false);
        option->setEnabled(true);
        option->setVisible(true);
    }
    for (QPushButton* view : {cmdViewContact, cmdViewOpportunity, cmdViewActionSet})
        view->setEnabled(false);
    for (QLabel* indicator : {imgContact, imgOpportunity, imgActionSet}) {
        indicator->clear();
        indicator->setToolTip(QString());
        indicator->setAccessibleDescription(QString());
        indicator->setProperty("picture", QVariant());
    }
    m_lngDropDownOpportunity = 0;
    m_lngDropDownActionSet = 0;
    m_strQuoteNo.clear();
    m_stages.reset();
    m_actionSets.reset();
    m_crmUnreachable = false;
    m_contactLookupFailed = false;
    lblContactsIncomplete->hide();
    m_steps = CommitSteps();
    m_commitContact = CommitContact();
    m_opportunityBase = 0;
    m_lngCreatedOpportunityId = 0;
    m_notUploaded.clear();
    m_alreadyRun.clear();
    m_finishOnShow = false;
    m_cancel.Reset();
    ShowSteps();
    cboContact->setFocus();
}

bool frmSaveQuote::PrepareShowing(std::int32_t layout) {
    DebugLine(QStringLiteral(" - ShowForm - Started, Params: p_enmLayout = ") +
              QString::number(layout));
    ResetForShowing();
    NameActionSetFrame(ActionSetFrameName(InfusionsoftConnectionIsRestV2()));

    DebugLine(QStringLiteral(" - ShowForm - Get the QuoteWerks Document Number."));
    const QString name = GetQuoteDocumentName();
    m_strQuoteNo = GetQuoteDocumentNumber();
    lblQuoteDocNo->setText(QuoteCaption(name, m_strQuoteNo));

    ReadLastSaveSettings();
    chkUploadQuotePDF->setEnabled(layout == 1);
    if (!chkUploadQuotePDF->isEnabled())
        chkUploadQuotePDF->setChecked(false);

    if (State().g_colStages) {
        m_stages = State().g_colStages;
    } else {
        DebugLine(QStringLiteral(" - ShowForm - Collect the Stages."));
        m_stages = CollectStages();
        NoteGatheringCall(m_doors.Crm(), State().g_colStages != nullptr);
    }

    ListContactsFromQuote();
    DebugLine(QStringLiteral(" - ShowForm - Number of Contacts: ") +
              QString::number(cboContact->count()));
    if (m_contactLookupFailed || m_crmUnreachable) {
        SayContactsIncomplete();
    } else if (cboContact->count() > 0) {
        SetSelection(cboContact, 0);
        cboContact_Click();
    } else if (!ChooseContactWhenNoneFound()) {
        return false;
    }

    if (State().g_colActionSets) {
        m_actionSets = State().g_colActionSets;
    } else if (GatheringGoesOn()) {
        DebugLine(QStringLiteral(" - ShowForm - Collect the Action Sets."));
        m_actionSets = CollectActionSets();
    }
    DebugLine(QStringLiteral(" - ShowForm - List the Action Sets."));
    ListActionSets();

    DebugLine(QStringLiteral(" - ShowForm - Show the Contact Record Options."));
    ShowContactRecordOptions();
    DebugLine(QStringLiteral(" - ShowForm - Show the Opportunity Record Options."));
    ShowOpportunityRecordOptions();
    DebugLine(QStringLiteral(" - ShowForm - Show the Action Set Record Options."));
    ShowActionSetRecordOptions();
    m_finishOnShow = OfferToFinish();
    return true;
}

// Once the window shows, the user's own picks call the CRM again.
bool frmSaveQuote::GatheringGoesOn() const {
    return isVisible() || !m_crmUnreachable;
}

// A CRM that cannot be reached ends the gathering at its first call: one box, and the
// window opens with what it has instead of waiting out every further call's time-out.
void frmSaveQuote::NoteGatheringCall(const CrmServices& crm, bool succeeded) {
    if (!succeeded && crm.api->LastCallFailure().what == tessary::CallFailure::What::Transport)
        m_crmUnreachable = true;
}

// The quote's three sections' contact names and e-mails, lower case, for the new-contact
// entries.
std::array<SectionContact, 3> frmSaveQuote::QuoteSections() {
    std::array<SectionContact, 3> sections;
    for (std::int16_t type = 0; type < 3; ++type) {
        const QString prefix = GetNameForContactType(type);
        sections[type] = {
            HostField(m_doors, prefix + QStringLiteral("Contact")).trimmed().toLower(),
            HostField(m_doors, prefix + QStringLiteral("Email")).trimmed().toLower()};
    }
    return sections;
}

// A contact look-up failed, so "nobody found" cannot be told from "not searched": the
// blank entry comes first and is chosen (OK waits for a choice), and the window says so.
// The new-contact entries are offered only when nothing was found, as ever.
void frmSaveQuote::SayContactsIncomplete() {
    if (cboContact->count() == 0) {
        for (const ListEntry& entry : NewContactEntries(QuoteSections()))
            AppendEntry(cboContact, entry.text, entry.value);
    }
    {
        const QSignalBlocker quiet(cboContact);
        cboContact->insertItem(0, QString(), 0);
        cboContact->setCurrentIndex(0);
    }
    cboContact_Click();
    lblContactsIncomplete->setText(
        QStringLiteral("The contact list may be incomplete: Infusionsoft could not be searched. "
                       "Choose the contact (or a new one) before pressing OK."));
    lblContactsIncomplete->show();
}

void frmSaveQuote::ReadLastSaveSettings() {
    DebugLine(QStringLiteral(" - ShowForm - Get the last save settings from the registry."));
    const auto reading = [](const QString& valueName) {
        DebugLine(QStringLiteral(" - ShowForm - Reading ") + valueName +
                  QStringLiteral(" registry setting."));
    };
    const auto flag = [&](const QString& valueName, QCheckBox* box) {
        reading(valueName);
        box->setChecked(ReadFlagSetting(valueName));
    };
    flag(setting::AddQuoteDocNo, chkAddQuoteDocNo);
    flag(setting::AddOpportunityNotes, chkAddNotes);
    flag(setting::UploadQuoteFile, chkUploadQuoteFile);
    flag(setting::UploadQuotePDFFile, chkUploadQuotePDF);
    flag(setting::OpenContactRecord, chkOpenContactRecord);
    flag(setting::UpdateProjectedRevenue, chkUpdateProjectedRevenue);
    reading(setting::DropDownOpportunity);
    m_lngDropDownOpportunity = ReadIdSetting(setting::DropDownOpportunity);
    flag(setting::OpenOpportunityRecord, chkOpenOpportunityRecord);
    reading(setting::DropDownActionSet);
    m_lngDropDownActionSet = ReadIdSetting(setting::DropDownActionSet);
}

// Steps 6 and 7: the sections' e-mail addresses, else their contact names.
void frmSaveQuote::ListContactsFromQuote() {
    DebugLine(QStringLiteral(" - ShowForm - Add the Sold, Ship and Bill Email addresses to the "
                             "drop down list."));
    std::array<SectionContact, 3> sections;
    for (std::int16_t type = 0; type < 3; ++type)
        sections[type].email =
            HostField(m_doors, GetNameForContactType(type) + QStringLiteral("Email"))
                .trimmed()
                .toLower();
    for (const EmailSearch& search : EmailsToSearch(sections)) {
        DebugLine(QStringLiteral(" - ShowForm - List Contacts For ") + search.section +
                  QStringLiteral(" Email: ") + search.email);
        ListContactsForEmail(search.email);
    }
    if (cboContact->count() > 0 || m_contactLookupFailed || m_crmUnreachable)
        return;
    for (std::int16_t type = 0; type < 3; ++type) {
        const QString name =
            HostField(m_doors, GetNameForContactType(type) + QStringLiteral("Contact")).trimmed();
        if (!name.isEmpty())
            ListContactsForName(name);
    }
}

// Step 10: no CRM contact matched the quote. False when the window is not to be shown.
bool frmSaveQuote::ChooseContactWhenNoneFound() {
    const std::vector<ListEntry> entries = NewContactEntries(QuoteSections());
    for (const ListEntry& entry : entries)
        AppendEntry(cboContact, entry.text, entry.value);
    if (!entries.empty()) {
        DebugLine(QStringLiteral(" - ShowForm - List Opportunities for Contact: No ID"));
        SetSelection(cboContact, 0);
        cboContact_Click();
        ListOpportunitiesForContactId(0);
        return true;
    }

    DebugLine(QStringLiteral(" - ShowForm - Warn there is no contact information."));
    MsgBox(QStringLiteral("No contact information was found in QuoteWerks.") + kCrLf +
               QStringLiteral("You need to select a contact from Infusionsoft."),
           MsgIcon::Exclamation);
    const auto& showContacts = State().Windows.ShowContacts;
    const std::int32_t id = showContacts ? showContacts(-1, -1) : 0;
    if (id < 1) {
        DebugLine(QStringLiteral(" - ShowForm - No Contact was selected."));
        MsgBox(QStringLiteral("No contact was selected, the Save Quote window will now exit."),
               MsgIcon::Information);
        return false;
    }
    DebugLine(QStringLiteral(" - ShowForm - Selected Contact ID: ") + QString::number(id));
    ListContactByID(id);
    if (cboContact->count() == 0)
        throw ProgramError(errnum::InvalidProcedureCall,
                           QStringLiteral("The contact %1 was not found in Infusionsoft.").arg(id));
    SetSelection(cboContact, 0);
    cboContact_Click();
    ListOpportunitiesForContactId(id);
    SendContactToQuoteWerks(ContactSoldTo, id);
    return true;
}

void frmSaveQuote::Form_Load() {
    Guarded("Form_Load", [&] {
        SetWindowOnTop(this, true);
        SetWindowOnTop(this, false);
        raise();
        activateWindow();
    });
}

void frmSaveQuote::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    // Placing a window that is not on screen yet does nothing: the host's window could
    // stay in front. Once the window system has it, bring it forward.
    if (!e->spontaneous())
        QTimer::singleShot(0, this, [this] {
            if (!isVisible())
                return;
            Form_Load();
            // "Finish" on an unfinished commit: its remaining steps run, seen in the window.
            if (std::exchange(m_finishOnShow, false))
                cmdOK_Click();
        });
}

void frmSaveQuote::ShowContactRecordOptions() {
    Guarded("ShowContactRecordOptions", [&] {
        const std::optional<std::int32_t> value = SelectedValue(cboContact);
        const bool visible = value && *value != 0;
        for (QCheckBox* option :
             {chkAddQuoteDocNo, chkUploadQuoteFile, chkUploadQuotePDF, chkOpenContactRecord})
            option->setVisible(visible);
        cmdViewContact->setEnabled(value && *value >= 1);
        cmdOK->setEnabled(visible && !m_committing); // the blank entry: no contact chosen yet
        if (cboContact->count() == 1)
            SetIndicator(imgContact, imgOK, QStringLiteral("Contact option selected is okay."));
        else
            SetIndicator(
                imgContact, imgWarning,
                QStringLiteral("More than one contact was found, choose the correct contact."));
    });
}

void frmSaveQuote::ShowOpportunityRecordOptions() {
    Guarded("ShowOpportunityRecordOptions", [&] {
        const std::optional<std::int32_t> value = SelectedValue(cboOpportunity);
        const bool visible = value && *value >= kNewOpportunity && *value != 0;
        for (QCheckBox* option : {chkAddNotes, chkUpdateProjectedRevenue, chkOpenOpportunityRecord})
            option->setVisible(visible);
        cmdViewOpportunity->setEnabled(value && *value >= 1);
        if (visible)
            SetIndicator(imgOpportunity, imgOK,
                         QStringLiteral("Opportunity option selected is okay."));
        else
            SetIndicator(imgOpportunity, imgNoSelect,
                         QStringLiteral("No Opportunity option was selected."));
    });
}

void frmSaveQuote::ShowActionSetRecordOptions() {
    Guarded("ShowActionSetRecordOptions", [&] {
        const bool chosen = cboActionSet->currentIndex() >= 1; // an entry after the blank one
        // A campaign sequence has no page of its own to view.
        cmdViewActionSet->setEnabled(chosen && m_strActionSetFrame == ActionSetFrameName(false));
        if (chosen)
            SetIndicator(imgActionSet, imgOK,
                         m_strActionSetFrame + QStringLiteral(" option selected is okay."));
        else
            SetIndicator(imgActionSet, imgNoSelect,
                         QStringLiteral("No ") + m_strActionSetFrame +
                             QStringLiteral(" option was selected."));
    });
}

// The frame, its list, button and indicator are named by what the CRM's interface lists.
void frmSaveQuote::NameActionSetFrame(const QString& frame) {
    m_strActionSetFrame = frame;
    fraActionSet->setTitle(frame);
    cboActionSet->setAccessibleName(frame);
    cmdViewActionSet->setAccessibleName(QStringLiteral("View ") + frame);
    imgActionSet->setAccessibleName(frame + QStringLiteral(" indicator"));
}

void frmSaveQuote::cboContact_Click() {
    Guarded("cboContact_Click", [&] {
        ShowContactRecordOptions();
        if (const std::optional<std::int32_t> value = SelectedValue(cboContact))
            ListOpportunitiesForContactId(*value);
    });
}

void frmSaveQuote::cboOpportunity_Click() {
    Guarded("cboOpportunity_Click", [&] {
        ShowOpportunityRecordOptions();
        if (const std::optional<std::int32_t> value = SelectedValue(cboOpportunity))
            chkAddNotes->setEnabled(*value >= kNewOpportunity);
    });
}

void frmSaveQuote::cboActionSet_Click() {
    Guarded("cboActionSet_Click", [&] { ShowActionSetRecordOptions(); });
}

void frmSaveQuote::ViewContactInfusionsoftPage() {
    Guarded("ViewContactInfusionsoftPage", [&] {
        const std::optional<std::int32_t> value = SelectedValue(cboContact);
        if (value && *value >= 1)
            OpenInfusionsoftPage(PageContact, *value);
    });
}

void frmSaveQuote::ViewOpportunityInfusionsoftPage() {
    Guarded("ViewOpportunityInfusionsoftPage", [&] {
        const std::optional<std::int32_t> value = SelectedValue(cboOpportunity);
        if (value && *value >= 1)
            OpenInfusionsoftPage(PageOpportunity, *value);
    });
}

void frmSaveQuote::cmdViewContact_Click() {
    Guarded("cmdViewContact_Click", [&] { ViewContactInfusionsoftPage(); });
}

void frmSaveQuote::cmdViewOpportunity_Click() {
    Guarded("cmdViewOpportunity_Click", [&] { ViewOpportunityInfusionsoftPage(); });
}

void frmSaveQuote::cmdViewActionSet_Click() {
    Guarded("cmdViewActionSet_Click", [&] {
        const std::optional<std::int32_t> value = SelectedValue(cboActionSet);
        if (value && *value >= 1)
            OpenInfusionsoftPage(PageActionSet, *value);
    });
}

void frmSaveQuote::cmdOpportunities_Click() {
    Guarded("cmdOpportunities_Click", [&] {
        const auto& showOpportunities = State().Windows.ShowOpportunities;
        if (!showOpportunities)
            return;
        const std::optional<std::int32_t> contact = SelectedValue(cboContact);
        const std::optional<std::int32_t> chosen = SelectedValue(cboOpportunity);
        const bool crmContact = contact && *contact >= 1;
        showOpportunities(crmContact ? *contact : 0);
        if (!crmContact)
            return;
        ListOpportunitiesForContactId(*contact);
        const int kept = chosen ? cboOpportunity->findData(*chosen) : -1;
        if (kept >= 0) {
            SetSelection(cboOpportunity, kept);
            cboOpportunity_Click();
        }
    });
}

void frmSaveQuote::cmdCancel_Click() {
    Guarded("cmdCancel_Click", [&] {
        if (m_committing) {
            // The step in flight ends first (or is stopped after the grace); the commit
            // then closes the window.
            m_cancel.Request();
            ShowSteps();
            return;
        }
        if (!m_steps.Steps().empty())
            RemoveJournal(m_strQuoteNo);
        QDialog::reject();
    });
}

void frmSaveQuote::reject() {
    cmdCancel_Click();
}

void InstallSaveQuoteWindow(QWidget* mainWindow, WindowDoors doors) {
    auto window = std::make_shared<QPointer<frmSaveQuote>>();
    const QPointer<QWidget> owner = mainWindow;
    State().Windows.ShowSaveQuote = [window, owner, doors](std::int32_t layout) {
        if (!*window)
            *window = new frmSaveQuote(owner, doors);
        (*window)->ShowForm(layout);
    };
}

} // namespace pellwick
