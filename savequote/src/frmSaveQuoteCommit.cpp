// The Save Quote window's OK: the quote into the CRM, the chosen pages opened, the
// choices remembered, the window closed and the main window minimised.

#include "SaveQuoteSupport.h"
#include "pellwick/ErrorReport.h"
#include "pellwick/MainWindowLink.h"
#include "pellwick/MessageBox.h"
#include "pellwick/ReplaceShortCodes.h"
#include "pellwick/WaitCursor.h"
#include "pellwick/host/QuoteWerksApp.h"
#include "pellwick/modMain.h"
#include "pellwick/modQWAPI.h"
#include "pellwick/modRegistry.h"
#include "pellwick/savequote/SaveQuoteRules.h"
#include "pellwick/savequote/frmSaveQuote.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QSignalBlocker>
#include <QStringList>
#include <tessary/ContactService.h>
#include <tessary/DataService.h>
#include <tessary/Encoding.h>
#include <tessary/FileService.h>
#include <tessary/clsHelpers.h>

namespace pellwick {

using namespace savequote;

namespace {

const QString kCrLf = QStringLiteral("\r\n");
constexpr long kSubscriptOutOfRange = 9;

double Now() {
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return tessary::AutomationDateFromParts(d.year(), d.month(), d.day(), t.hour(), t.minute(),
                                            t.second());
}

// The quote the window was prepared for is still the open document.
bool QuoteStillOpen(const QString& shownNumber) {
    const std::shared_ptr<QuoteWerksApp>& host = State().QuoteWerksApp;
    if (!host)
        return false;
    QuoteWerksDocument& document = host->DocumentAccess();
    return !document.NoDocumentOpen() &&
           document.GetFieldValue(QStringLiteral("DocNo")).toString() == shownNumber;
}

// The earlier-note search: the wildcard query finds other quotes' notes as well, so only
// a note with this very description counts.
bool EarlierNoteExists(const CrmServices& crm, std::int32_t contactId, const QString& description) {
    if (description.isEmpty())
        return false;
    tessary::RpcStruct queryData;
    queryData.AddInteger("ContactId", contactId);
    queryData.AddString("ActionDescription",
                        "%" + crm.helpers->SafeXMLStringDataValue(description.toStdString()) + "%");
    tessary::RpcArray fields;
    fields.AddString("Id");
    fields.AddString("ActionDescription");
    const std::shared_ptr<tessary::RpcArray> found =
        crm.data->Query("ContactAction", 1000, 0, queryData, fields);
    if (!found)
        return false;
    for (const tessary::RpcValue& element : found->Elements()) {
        const std::shared_ptr<tessary::RpcStruct> record = element.StructValue();
        if (record && crm.helpers->SafeIntegerValue(*record, "Id") != 0 &&
            IsSameNote(
                QString::fromStdString(crm.helpers->SafeStringValue(*record, "ActionDescription")),
                description))
            return true;
    }
    return false;
}

} // namespace

void frmSaveQuote::cmdOK_Click() {
    Guarded("cmdOK_Click", [&] { Commit(); });
}

void frmSaveQuote::Commit() {
    // The host does not wait while this window is open: what it shows may be gone.
    if (!QuoteStillOpen(m_strQuoteNo)) {
        MsgBox(QStringLiteral("The quote shown in the Save Quote window is no longer open in "
                              "QuoteWerks.") +
                   kCrLf + QStringLiteral("Nothing was saved into Infusionsoft."),
               MsgIcon::Exclamation);
        return;
    }

    QStringList notUploaded;
    QString alreadyRun;
    CommitContact contact;
    std::int32_t opportunityId = 0;
    {
        WaitCursor busy;
        const CrmServices crm = Crm();
        contact = ResolveContact(crm);
        notUploaded = UploadQuoteFiles(crm, contact.id);
        alreadyRun = RunActionSet(crm, contact.id);
        opportunityId = WriteOpportunity(crm, contact);
        AddQuoteNote(crm, contact.id);
    }

    // 7, 8. The CRM pages asked for.
    if (chkOpenContactRecord->isChecked() && contact.id >= 1)
        OpenInfusionsoftPage(PageContact, contact.id);
    if (chkOpenOpportunityRecord->isChecked() && opportunityId >= 1)
        OpenInfusionsoftPage(PageOpportunity, opportunityId);

    RememberChoices();

    if (!notUploaded.isEmpty())
        MsgBox(QStringLiteral("These files were not uploaded into the Infusionsoft Contact "
                              "Record:") +
                   kCrLf + notUploaded.join(kCrLf) +
                   (alreadyRun.isEmpty() ? QString() : kCrLf + kCrLf + alreadyRun),
               MsgIcon::Exclamation);
    else if (!alreadyRun.isEmpty())
        MsgBox(alreadyRun, MsgIcon::Information);

    // 10, 11.
    QDialog::accept();
    if (MainWindowLink* mainWindow = State().MainWindow)
        mainWindow->Minimize();
}

// 1. The contact: an existing one, or a new one from a section of the quote.
CommitContact frmSaveQuote::ResolveContact(const CrmServices& crm) {
    const std::optional<std::int32_t> chosen = SelectedValue(cboContact);
    if (!chosen)
        throw ProgramError(errnum::InvalidProcedureCall, QStringLiteral("No contact is selected."));
    CommitContact contact;
    if (*chosen >= 0) {
        tessary::RpcStruct queryData;
        queryData.AddInteger("Id", *chosen);
        tessary::RpcArray fields;
        for (const char* field : {"FirstName", "LastName", "Email"})
            fields.AddString(field);
        const std::shared_ptr<tessary::RpcArray> found =
            crm.data->Query("Contact", 1, 0, queryData, fields);
        const std::shared_ptr<tessary::RpcStruct> record =
            found ? found->Item(1).StructValue() : nullptr;
        if (!record)
            throw ProgramError(
                kSubscriptOutOfRange,
                QStringLiteral("The contact %1 was not found in Infusionsoft.").arg(*chosen));
        const auto text = [&](const char* field) {
            return QString::fromStdString(crm.helpers->SafeStringValue(*record, field));
        };
        return {*chosen, text("FirstName"), text("LastName"), text("Email")};
    }
    const std::int16_t section = SectionOfNewContact(*chosen);
    if (section < 0)
        throw ProgramError(errnum::InvalidProcedureCall,
                           QStringLiteral("Invalid procedure call or argument"));
    const ContactDetails details = GetContactDetails(section);
    contact.id = crm.contacts->Add(NewContactRecord(details)).value_or(0);
    // Nothing may be written for contact 0: stop here, the window stays open.
    if (contact.id <= 0)
        throw ProgramError(errnum::InvalidProcedureCall,
                           QStringLiteral("The new contact could not be created in Infusionsoft."));
    contact.firstName = details.Item(QStringLiteral("ContactFirstName"));
    contact.lastName = details.Item(QStringLiteral("ContactLastName"));
    contact.email = details.Item(QStringLiteral("Email"));
    AdoptCreatedContact(contact.id, contact.firstName, contact.lastName, contact.email);
    return contact;
}

// 2, 3. The quote's files, named after its number; gives the paths not uploaded.
QStringList frmSaveQuote::UploadQuoteFiles(const CrmServices& crm, std::int32_t contactId) {
    QStringList notUploaded;
    if (!chkUploadQuoteFile->isChecked() && !chkUploadQuotePDF->isChecked())
        return notUploaded;
    const QString folder = HostProgramFolder();
    const auto upload = [&](const QString& path) {
        if (!UploadQuoteFile(crm, contactId, path, folder))
            notUploaded << path;
    };
    if (chkUploadQuoteFile->isChecked())
        upload(QuoteFilePath(folder, m_strQuoteNo));
    if (chkUploadQuotePDF->isChecked())
        upload(QuotePdfPath(folder, m_strQuoteNo));
    return notUploaded;
}

// One of the quote's files into the contact's file box; false when it was not stored.
bool frmSaveQuote::UploadQuoteFile(const CrmServices& crm, std::int32_t contactId,
                                   const QString& path, const QString& programFolder) {
    if (!IsPlainFileName(m_strQuoteNo)) {
        DebugLine(QStringLiteral(" - cmdOK_Click - The quote number is not a plain file name, "
                                 "not uploaded: ") +
                  path);
        return false;
    }
    const std::optional<QString> real = UploadableQuoteFile(path, programFolder);
    if (!real) {
        DebugLine(QStringLiteral(" - cmdOK_Click - No regular file in the QuoteWerks folders, "
                                 "not uploaded: ") +
                  path);
        return false;
    }
    // A failed upload is shown in the library's box while the call still says "done".
    const LibraryBoxWatch boxes;
    return crm.files->UpdateFileInFileBox(contactId, real->toStdString()) && !boxes.Reported();
}

// 4. The action set, once per contact in this showing.
QString frmSaveQuote::RunActionSet(const CrmServices& crm, std::int32_t contactId) {
    const std::optional<std::int32_t> actionSet = SelectedValue(cboActionSet);
    if (!actionSet || *actionSet < 1 || m_ranActionSets.count({contactId, *actionSet}))
        return QString();
    const std::shared_ptr<tessary::RpcArray> results =
        crm.contacts->RunActionSequence(contactId, *actionSet);
    if (!results)
        return QString();
    m_ranActionSets.insert({contactId, *actionSet});
    std::vector<QString> messages;
    for (const tessary::RpcValue& result : results->Elements())
        if (const auto record = result.StructValue())
            messages.push_back(QString::fromStdString(record->Item("Message").StringValue()));
    const QString note = AlreadyRunNote(messages, cboActionSet->currentText());
    if (!note.isEmpty())
        DebugLine(QStringLiteral(" - cmdOK_Click - ") + note);
    return note;
}

// 5. The opportunity; gives its Id (0 when there is none).
std::int32_t frmSaveQuote::WriteOpportunity(const CrmServices& crm, const CommitContact& contact) {
    const std::optional<std::int32_t> value = SelectedValue(cboOpportunity);
    if (!value)
        return 0;
    OpportunityInput input;
    input.value = *value;
    input.contactId = contact.id;
    input.addNotes = chkAddNotes->isChecked();
    input.updateRevenue = chkUpdateProjectedRevenue->isChecked();
    const QVariant total =
        State().QuoteWerksApp->DocumentAccess().GetFieldValue(QStringLiteral("GrandTotal"));
    input.revenue = RevenueNumber(total);
    if (input.updateRevenue && !input.revenue)
        DebugLine(QStringLiteral(" - cmdOK_Click - The Quote Total is not a number, the "
                                 "Projected Revenue is left out: ") +
                  total.toString());
    const QString introduction = GetNotes(IntroductionNotes);
    const QString purchasing = GetNotes(PurchasingNotes);
    const QString closing = GetNotes(ClosingNotes);
    const QString internal = GetNotes(InternalNotes);
    input.notes = OpportunityNotes(introduction, purchasing, closing, internal);
    input.title = OpportunityTitle(contact.firstName, contact.lastName, contact.email);

    const OpportunityPlan plan = PlanOpportunity(input);
    if (plan.write == OpportunityWrite::Add) {
        const std::int32_t id = crm.data->Add("Lead", plan.record);
        if (id >= 1)
            AdoptCreatedOpportunity(id, input.title);
        return id;
    }
    if (plan.write == OpportunityWrite::Update)
        crm.data->Update("Lead", *value, plan.record);
    return *value >= 1 ? *value : 0;
}

// 6. A note about the quote on the contact, once per quote.
void frmSaveQuote::AddQuoteNote(const CrmServices& crm, std::int32_t contactId) {
    if (!chkAddQuoteDocNo->isChecked())
        return;
    // The quote's name as the host holds it now. A host that cannot give it stops the
    // commit here: a note naming no quote would stay in the CRM for good.
    const QString name = HostField(QStringLiteral("DocName"));
    const QString description = FillShortCodes(
        GetInfusionsoftContactNotesActionDescriptionFromRegistry(), name, m_strQuoteNo);
    const QString creationNotes =
        FillShortCodes(GetInfusionsoftContactNotesCreationNotesFromRegistry(), name, m_strQuoteNo);
    if (!EarlierNoteExists(crm, contactId, description))
        crm.data->Add("ContactAction",
                      ContactNoteRecord(contactId, description, creationNotes, Now()));
}

// 9. The choices, for the next time. A store that refuses them is said once: the user
// would otherwise find other choices preselected next time without knowing why.
void frmSaveQuote::RememberChoices() {
    bool refused = false;
    for (const SettingWrite& write : SettingsToWrite(Choices()))
        refused = WriteSetting(write.name, write.value) != 0 || refused;
    if (refused)
        MsgBox(QStringLiteral("The choices made in this window could not be remembered for the "
                              "next time.") +
                   kCrLf + LastSettingsWriteRefusal(),
               MsgIcon::Exclamation);
}

// A contact created by this OK takes the place of the new-contact entry it came from,
// so that OK again uses it instead of creating another.
void frmSaveQuote::AdoptCreatedContact(std::int32_t id, const QString& firstName,
                                       const QString& lastName, const QString& email) {
    const int index = cboContact->currentIndex();
    cboContact->setItemText(index, ContactEntryText(firstName, lastName, email, id));
    cboContact->setItemData(index, id);
    ShowContactRecordOptions();
}

// An opportunity created by this OK is listed (newest first) and selected, so that OK
// again updates it instead of adding another.
void frmSaveQuote::AdoptCreatedOpportunity(std::int32_t id, const QString& title) {
    {
        const QSignalBlocker quiet(cboOpportunity);
        cboOpportunity->insertItem(2, OpportunityEntryText(title, std::nullopt, id), id);
        cboOpportunity->setCurrentIndex(2);
    }
    m_lngCreatedOpportunityId = id;
    cboOpportunity_Click();
}

CommitChoices frmSaveQuote::Choices() const {
    CommitChoices choices;
    choices.addQuoteDocNo = chkAddQuoteDocNo->isChecked();
    choices.uploadQuoteFile = chkUploadQuoteFile->isChecked();
    choices.uploadQuotePDF = chkUploadQuotePDF->isChecked();
    choices.uploadQuotePDFEnabled = chkUploadQuotePDF->isEnabled();
    choices.openContactRecord = chkOpenContactRecord->isChecked();
    choices.addNotes = chkAddNotes->isChecked();
    choices.addNotesEnabled = chkAddNotes->isEnabled();
    choices.updateProjectedRevenue = chkUpdateProjectedRevenue->isChecked();
    choices.openOpportunityRecord = chkOpenOpportunityRecord->isChecked();
    choices.opportunity = SelectedValue(cboOpportunity);
    choices.actionSet = SelectedValue(cboActionSet);
    choices.createdOpportunity = m_lngCreatedOpportunityId;
    return choices;
}

} // namespace pellwick
