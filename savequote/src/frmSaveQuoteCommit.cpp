// The Save Quote window's OK: the quote into the CRM as a sequence of steps (CommitSteps)
// that each happen once, the chosen pages opened, the choices remembered, the window
// closed and the main window minimised. The CRM calls run on the CRM worker (CrmCall),
// so the window stays alive; a journal keeps what was done until the sequence ends.

#include "SaveQuoteSupport.h"
#include "pellwick/CrmCalls.h"
#include "pellwick/ErrorReport.h"
#include "pellwick/MainWindowLink.h"
#include "pellwick/MessageBox.h"
#include "pellwick/ReplaceShortCodes.h"
#include "pellwick/host/QuoteWerksApp.h"
#include "pellwick/modMain.h"
#include "pellwick/modQWAPI.h"
#include "pellwick/modRegistry.h"
#include "pellwick/savequote/SaveQuoteRules.h"
#include "pellwick/savequote/frmSaveQuote.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QStringList>
#include <algorithm>
#include <tessary/ContactService.h>
#include <tessary/DataService.h>
#include <tessary/Encoding.h>
#include <tessary/FileService.h>
#include <tessary/clsHelpers.h>

namespace pellwick {

using namespace savequote;

namespace {

constexpr long kSubscriptOutOfRange = 9;
constexpr std::int32_t kLookUpPages = 100;

double Now() {
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return tessary::AutomationDateFromParts(d.year(), d.month(), d.day(), t.hour(), t.minute(),
                                            t.second());
}

// The quote the window was prepared for is still the open document.
bool QuoteStillOpen(const WindowDoors& doors, const QString& shownNumber) {
    QuoteWerksApp* host = doors.host();
    if (!host)
        return false;
    QuoteWerksDocument& document = host->DocumentAccess();
    return !document.NoDocumentOpen() &&
           document.GetFieldValue(QStringLiteral("DocNo")).toString() == shownNumber;
}

QString Text(const CrmServices& crm, const tessary::RpcStruct& record, const char* field) {
    return QString::fromStdString(crm.helpers->SafeStringValue(record, field));
}

bool SameText(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Whether a note about this quote is there already; nothing when the look-up failed. The
// wildcard query finds other quotes' notes as well, so only this very description counts.
std::optional<bool> EarlierNoteExists(const CrmServices& crm, std::int32_t contactId,
                                      const QString& description, CrmCancel* cancel) {
    if (description.isEmpty())
        return false;
    tessary::RpcStruct queryData;
    queryData.AddInteger("ContactId", contactId);
    queryData.AddString("ActionDescription",
                        "%" + crm.helpers->SafeXMLStringDataValue(description.toStdString()) + "%");
    tessary::RpcArray fields;
    fields.AddString("Id");
    fields.AddString("ActionDescription");
    const std::shared_ptr<tessary::RpcArray> found = CrmCall(
        crm.api, [&] { return crm.data->Query("ContactAction", 1000, 0, queryData, fields); },
        cancel);
    if (!found)
        return std::nullopt;
    for (const tessary::RpcValue& element : found->Elements()) {
        const std::shared_ptr<tessary::RpcStruct> record = element.StructValue();
        if (record && crm.helpers->SafeIntegerValue(*record, "Id") != 0 &&
            IsSameNote(Text(crm, *record, "ActionDescription"), description))
            return true;
    }
    return false;
}

// The newest contact with this e-mail address and name: one an earlier OK may have
// created. 0 when there is none; nothing when the look-up failed.
std::optional<std::int32_t> FindContact(const CrmServices& crm, const CommitContact& wanted,
                                        CrmCancel* cancel) {
    tessary::RpcStruct queryData;
    if (!wanted.email.isEmpty())
        queryData.AddString("Email", wanted.email.toStdString());
    else if (!wanted.firstName.isEmpty() || !wanted.lastName.isEmpty()) {
        queryData.AddString("FirstName", wanted.firstName.toStdString());
        queryData.AddString("LastName", wanted.lastName.toStdString());
    } else
        return 0;
    tessary::RpcArray fields;
    for (const char* field : {"Id", "FirstName", "LastName", "Email"})
        fields.AddString(field);
    const PagesRead read = QueryPages(crm, "Contact", queryData, fields, kLookUpPages, cancel);
    if (!read.complete)
        return std::nullopt;
    std::int32_t newest = 0;
    for (const auto& record : read.records)
        if (EmailMatches(Text(crm, *record, "Email"), wanted.email) &&
            SameText(Text(crm, *record, "FirstName"), wanted.firstName) &&
            SameText(Text(crm, *record, "LastName"), wanted.lastName))
            newest = std::max(newest, crm.helpers->SafeIntegerValue(*record, "Id"));
    return newest;
}

// The contact's newest opportunity with this title created after `base` (the newest
// before the commit): one an earlier OK may have created. 0 when there is none; nothing
// when the look-up failed.
std::optional<std::int32_t> FindOpportunity(const CrmServices& crm, std::int32_t contactId,
                                            const QString& title, std::int32_t base,
                                            CrmCancel* cancel) {
    tessary::RpcStruct queryData;
    queryData.AddInteger("ContactID", contactId);
    tessary::RpcArray fields;
    fields.AddString("Id");
    fields.AddString("OpportunityTitle");
    const PagesRead read = QueryPages(crm, "Lead", queryData, fields, kLookUpPages, cancel);
    if (!read.complete)
        return std::nullopt;
    std::int32_t newest = 0;
    for (const auto& record : read.records) {
        const std::int32_t id = crm.helpers->SafeIntegerValue(*record, "Id");
        if (id > base && Text(crm, *record, "OpportunityTitle") == title)
            newest = std::max(newest, id);
    }
    return newest;
}

QString MadeEarlier(std::int32_t id) {
    return QStringLiteral("found, made by the earlier try (Id %1)").arg(id);
}

} // namespace

void frmSaveQuote::cmdOK_Click() {
    if (m_committing)
        return; // a click that waited while the steps ran
    Guarded("cmdOK_Click", [&] { Commit(); });
}

void frmSaveQuote::Commit() {
    // The host does not wait while this window is open: what it shows may be gone.
    if (!QuoteStillOpen(m_doors, m_strQuoteNo)) {
        MsgBox(QStringLiteral("The quote shown in the Save Quote window is no longer open in "
                              "QuoteWerks.") +
                   kCrLf + QStringLiteral("Nothing was saved into Infusionsoft."),
               MsgIcon::Exclamation);
        return;
    }
    PlanSteps();
    m_cancel.Reset();
    SetCommitting(true);
    {
        const auto idle = qScopeGuard([this] { SetCommitting(false); });
        while (const CommitStep* next = m_steps.Next()) {
            if (m_cancel.Requested() || CrmCallsEnded())
                break;
            const StepKind kind = next->kind;
            RunStep(kind);
            if (m_steps.Find(kind)->state != StepState::Done)
                break;
        }
    }
    if (CrmCallsEnded())
        return; // the program ends: the journal keeps what was done for the next Save
    if (m_cancel.Requested()) {
        RemoveJournal(m_strQuoteNo);
        QDialog::reject();
    } else if (m_steps.Complete()) {
        EndCommit();
    }
}

// The steps the window's choices make, keeping what earlier OKs of this showing did. A
// contact other than the one the steps were done for starts them afresh.
void frmSaveQuote::PlanSteps() {
    const std::optional<std::int32_t> contact = SelectedValue(cboContact);
    const CommitStep* contactStep = m_steps.Find(StepKind::Contact);
    if (contactStep && contactStep->state == StepState::Done &&
        (!contact || *contact != m_commitContact.id)) {
        m_steps = CommitSteps();
        m_commitContact = CommitContact();
    }
    const std::optional<std::int32_t> opportunity = SelectedValue(cboOpportunity);
    const std::optional<std::int32_t> actionSet = SelectedValue(cboActionSet);
    StepChoices choices;
    choices.quoteNo = m_strQuoteNo;
    choices.uploadQuoteFile = chkUploadQuoteFile->isChecked();
    choices.uploadQuotePdf = chkUploadQuotePDF->isChecked();
    if (actionSet && *actionSet >= 1)
        choices.actionSet = m_strActionSetFrame + QLatin1Char(' ') + cboActionSet->currentText();
    choices.opportunity = opportunity && *opportunity > kBlankEntry;
    choices.note = chkAddQuoteDocNo->isChecked();
    choices.pages = chkOpenContactRecord->isChecked() ||
                    (choices.opportunity && chkOpenOpportunityRecord->isChecked());
    m_steps = CommitSteps::For(choices).KeepingFrom(m_steps);

    // Opportunities made from now on are this commit's (the look-up after a lost answer).
    const CommitStep* opportunityStep = m_steps.Find(StepKind::Opportunity);
    if (opportunityStep && opportunityStep->state == StepState::NotRun) {
        m_opportunityBase = 0;
        for (int i = 0; i < cboOpportunity->count(); ++i)
            m_opportunityBase = std::max(m_opportunityBase, cboOpportunity->itemData(i).toInt());
    }
}

void frmSaveQuote::RunStep(StepKind kind) {
    m_steps.Start(kind);
    ShowSteps();
    const bool crm = kind != StepKind::Pages && kind != StepKind::Settings;
    // Kept before the call goes out: a crash during it leaves the step uncertain, so the
    // next try looks its record up instead of making another.
    if (crm)
        WriteJournal();
    try {
        if (kind == StepKind::Pages)
            RunPagesStep();
        else if (kind == StepKind::Settings)
            RunSettingsStep();
        else
            RunStepCalls(m_doors.Crm(), kind);
    } catch (...) {
        const ErrorInfo error = DescribeException(std::current_exception());
        m_steps.Fail(kind, error.description, false);
        ReportError(QStringLiteral("cmdOK_Click"), error);
    }
    if (crm)
        WriteJournal();
    ShowSteps();
}

void frmSaveQuote::RunStepCalls(const CrmServices& crm, StepKind kind) {
    switch (kind) {
    case StepKind::Contact:
        RunContactStep(crm);
        break;
    case StepKind::QuoteFile:
    case StepKind::Pdf:
        RunFileStep(crm, kind);
        break;
    case StepKind::ActionSet:
        RunActionSetStep(crm);
        break;
    case StepKind::Opportunity:
        RunOpportunityStep(crm);
        break;
    case StepKind::Note:
        RunNoteStep(crm);
        break;
    case StepKind::Pages:
    case StepKind::Settings:
        break;
    }
}

void frmSaveQuote::FailStep(StepKind kind, const CrmServices& crm) {
    const CrmFailure failure = LastCrmFailure(crm);
    m_steps.Fail(kind, failure.message, failure.mayHaveBeenCarriedOut);
}

// The contact: an existing one, or a new one from a section of the quote. "Created" only
// with the Id the CRM gave; after a lost answer, the one made then is found and taken.
void frmSaveQuote::RunContactStep(const CrmServices& crm) {
    const std::optional<std::int32_t> chosen = SelectedValue(cboContact);
    if (!chosen || *chosen == 0)
        throw ProgramError(errnum::InvalidProcedureCall, QStringLiteral("No contact is selected."));
    if (*chosen >= 1) {
        tessary::RpcStruct queryData;
        queryData.AddInteger("Id", *chosen);
        tessary::RpcArray fields;
        for (const char* field : {"FirstName", "LastName", "Email"})
            fields.AddString(field);
        const std::shared_ptr<tessary::RpcArray> found = CrmCall(
            crm.api, [&] { return crm.data->Query("Contact", 1, 0, queryData, fields); },
            &m_cancel);
        if (!found)
            return FailStep(StepKind::Contact, crm);
        const std::shared_ptr<tessary::RpcStruct> record = found->Item(1).StructValue();
        if (!record)
            throw ProgramError(
                kSubscriptOutOfRange,
                QStringLiteral("The contact %1 was not found in Infusionsoft.").arg(*chosen));
        m_commitContact = {*chosen, Text(crm, *record, "FirstName"), Text(crm, *record, "LastName"),
                           Text(crm, *record, "Email")};
        m_steps.Finish(StepKind::Contact, *chosen,
                       QStringLiteral("%1 %2 (Id %3)")
                           .arg(m_commitContact.firstName, m_commitContact.lastName)
                           .arg(*chosen));
        return;
    }
    const std::int16_t section = SectionOfNewContact(*chosen);
    if (section < 0)
        throw ProgramError(errnum::InvalidProcedureCall,
                           QStringLiteral("Invalid procedure call or argument"));
    const ContactDetails details = GetContactDetails(section);
    CommitContact contact{0, details.Item(QStringLiteral("ContactFirstName")),
                          details.Item(QStringLiteral("ContactLastName")),
                          details.Item(QStringLiteral("Email"))};
    if (m_steps.Find(StepKind::Contact)->lookUpFirst) {
        const std::optional<std::int32_t> found = FindContact(crm, contact, &m_cancel);
        if (!found)
            return FailStep(StepKind::Contact, crm);
        if (*found > 0) {
            contact.id = *found;
            AdoptCreatedContact(contact);
            m_steps.Finish(StepKind::Contact, contact.id, MadeEarlier(contact.id));
            return;
        }
        m_steps.Settled(StepKind::Contact);
    }
    const tessary::RpcStruct record = NewContactRecord(details);
    contact.id = CrmCall(
        crm.api, [&] { return crm.contacts->Add(record).value_or(0); }, &m_cancel);
    // Nothing may be written for contact 0: the step stops the sequence.
    if (contact.id <= 0)
        return FailStep(StepKind::Contact, crm);
    AdoptCreatedContact(contact);
    m_steps.Finish(StepKind::Contact, contact.id,
                   QStringLiteral("created (Id %1)").arg(contact.id));
}

// One of the quote's files, named after its number, into the contact's file box (in
// place of the one of that name, so that a second upload never makes a second file).
void frmSaveQuote::RunFileStep(const CrmServices& crm, StepKind kind) {
    const QString folder = m_doors.Host().ProgramFolder();
    const QString path = kind == StepKind::Pdf ? EmailedPdfPath(folder, m_strQuoteNo)
                                               : QuoteFilePath(folder, m_strQuoteNo);
    const auto notUploaded = [&](const QString& why, const QString& debugLine) {
        DebugLine(QStringLiteral(" - cmdOK_Click - ") + debugLine + QStringLiteral(": ") + path);
        m_notUploaded << path;
        m_steps.Finish(kind, 0, QStringLiteral("not uploaded: ") + why);
    };
    if (!IsPlainFileName(m_strQuoteNo))
        return notUploaded(QStringLiteral("the quote number is no file name"),
                           QStringLiteral("The quote number is not a plain file name, not "
                                          "uploaded"));
    const std::optional<QString> real = UploadableQuoteFile(path, folder);
    if (!real)
        return notUploaded(QStringLiteral("no such file in the QuoteWerks folders"),
                           QStringLiteral("No regular file in the QuoteWerks folders, not "
                                          "uploaded"));
    const std::int32_t contactId = m_commitContact.id;
    const std::string file = real->toStdString();
    const bool stored = CrmCall(
        crm.api, [&] { return crm.files->UpdateFileInFileBox(contactId, file); }, &m_cancel);
    if (!stored)
        return FailStep(kind, crm);
    m_steps.Finish(kind, 0, QStringLiteral("uploaded"));
}

// The action set (on REST v2 the campaign sequence). After a lost answer an action set
// is not run again: the CRM cannot say whether it ran, and running it twice may e-mail
// the customer twice. A campaign sequence takes a contact once, so it is simply asked
// again.
void frmSaveQuote::RunActionSetStep(const CrmServices& crm) {
    const std::optional<std::int32_t> actionSet = SelectedValue(cboActionSet);
    const bool afterLostAnswer = m_steps.Find(StepKind::ActionSet)->lookUpFirst;
    const bool sequences = InfusionsoftConnectionIsRestV2();
    if (afterLostAnswer && !sequences) {
        m_steps.Finish(StepKind::ActionSet, 0,
                       QStringLiteral("may have run already, not run again (Infusionsoft "
                                      "cannot say whether it ran)"));
        return;
    }
    const std::int32_t contactId = m_commitContact.id;
    const std::shared_ptr<tessary::RpcArray> results = CrmCall(
        crm.api, [&] { return crm.contacts->RunActionSequence(contactId, actionSet.value_or(0)); },
        &m_cancel);
    if (!results)
        return FailStep(StepKind::ActionSet, crm);
    std::vector<QString> messages;
    for (const tessary::RpcValue& result : results->Elements())
        if (const auto record = result.StructValue())
            messages.push_back(QString::fromStdString(record->Item("Message").StringValue()));
    const QString note = AlreadyRunNote(messages, cboActionSet->currentText());
    if (!note.isEmpty())
        DebugLine(QStringLiteral(" - cmdOK_Click - ") + note);
    if (!afterLostAnswer)
        m_alreadyRun = note;
    m_steps.Finish(StepKind::ActionSet, 0,
                   !note.isEmpty() ? QStringLiteral("the contact was in it already")
                   : sequences     ? QStringLiteral("the contact was added")
                                   : QStringLiteral("run"));
}

// The opportunity: a new one (found after a lost answer instead of made again), or the
// chosen one updated.
void frmSaveQuote::RunOpportunityStep(const CrmServices& crm) {
    const std::int32_t value = SelectedValue(cboOpportunity).value_or(kBlankEntry);
    OpportunityInput input;
    input.value = value;
    input.contactId = m_commitContact.id;
    input.addNotes = chkAddNotes->isChecked();
    input.updateRevenue = chkUpdateProjectedRevenue->isChecked();
    const QVariant total = m_doors.Document().GetFieldValue(QStringLiteral("GrandTotal"));
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
    input.title = OpportunityTitle(m_commitContact.firstName, m_commitContact.lastName,
                                   m_commitContact.email);

    const OpportunityPlan plan = PlanOpportunity(input);
    if (plan.write == OpportunityWrite::Update) {
        const std::optional<std::int32_t> updated = CrmCall(
            crm.api, [&] { return crm.data->Update("Lead", value, plan.record); }, &m_cancel);
        if (!updated || *updated <= 0)
            return FailStep(StepKind::Opportunity, crm);
        m_steps.Finish(StepKind::Opportunity, value, QStringLiteral("updated (Id %1)").arg(value));
        return;
    }
    if (plan.write == OpportunityWrite::None) {
        m_steps.Finish(StepKind::Opportunity, std::max(value, 0), QStringLiteral("left as it was"));
        return;
    }
    if (m_steps.Find(StepKind::Opportunity)->lookUpFirst) {
        const std::optional<std::int32_t> found =
            FindOpportunity(crm, m_commitContact.id, input.title, m_opportunityBase, &m_cancel);
        if (!found)
            return FailStep(StepKind::Opportunity, crm);
        if (*found > 0) {
            AdoptCreatedOpportunity(*found, input.title);
            m_steps.Finish(StepKind::Opportunity, *found, MadeEarlier(*found));
            return;
        }
        m_steps.Settled(StepKind::Opportunity);
    }
    const std::int32_t id = CrmCall(
        crm.api, [&] { return crm.data->Add("Lead", plan.record); }, &m_cancel);
    if (id <= 0)
        return FailStep(StepKind::Opportunity, crm);
    AdoptCreatedOpportunity(id, input.title);
    m_steps.Finish(StepKind::Opportunity, id, QStringLiteral("created (Id %1)").arg(id));
}

// A note about the quote on the contact, once per quote: the look-up for an earlier one
// also finds the note a lost answer left. A look-up that fails is no "none found".
void frmSaveQuote::RunNoteStep(const CrmServices& crm) {
    // The quote's name as the host holds it now. A host that cannot give it stops the
    // commit here: a note naming no quote would stay in the CRM for good.
    const QString name = HostField(m_doors, QStringLiteral("DocName"));
    const QString description = FillShortCodes(
        GetInfusionsoftContactNotesActionDescriptionFromRegistry(), name, m_strQuoteNo);
    const QString creationNotes =
        FillShortCodes(GetInfusionsoftContactNotesCreationNotesFromRegistry(), name, m_strQuoteNo);
    const std::optional<bool> earlier =
        EarlierNoteExists(crm, m_commitContact.id, description, &m_cancel);
    if (!earlier)
        return FailStep(StepKind::Note, crm);
    if (*earlier) {
        m_steps.Finish(StepKind::Note, 0, QStringLiteral("there already"));
        return;
    }
    m_steps.Settled(StepKind::Note);
    const tessary::RpcStruct note =
        ContactNoteRecord(m_commitContact.id, description, creationNotes, Now());
    const std::int32_t id = CrmCall(
        crm.api, [&] { return crm.data->Add("ContactAction", note); }, &m_cancel);
    if (id <= 0)
        return FailStep(StepKind::Note, crm);
    m_steps.Finish(StepKind::Note, id, QStringLiteral("added (Id %1)").arg(id));
}

// The CRM pages asked for.
void frmSaveQuote::RunPagesStep() {
    const CommitStep* opportunity = m_steps.Find(StepKind::Opportunity);
    if (chkOpenContactRecord->isChecked() && m_commitContact.id >= 1)
        OpenInfusionsoftPage(PageContact, m_commitContact.id);
    if (chkOpenOpportunityRecord->isChecked() && opportunity && opportunity->id >= 1)
        OpenInfusionsoftPage(PageOpportunity, opportunity->id);
    m_steps.Finish(StepKind::Pages, 0, QStringLiteral("opened"));
}

// The choices, for the next time, in one write of the store. A store that refuses them
// is said once: the user would otherwise find other choices preselected next time
// without knowing why.
void frmSaveQuote::RunSettingsStep() {
    std::vector<std::pair<QString, QString>> values;
    for (const SettingWrite& write : SettingsToWrite(Choices()))
        values.emplace_back(write.name, write.value);
    if (WriteSettings(values) == 0) {
        m_steps.Finish(StepKind::Settings, 0, QStringLiteral("remembered"));
        return;
    }
    m_steps.Finish(StepKind::Settings, 0, QStringLiteral("could not be remembered"));
    MsgBox(QStringLiteral("The choices made in this window could not be remembered for the "
                          "next time.") +
               kCrLf + LastSettingsWriteRefusal(),
           MsgIcon::Exclamation);
}

// Every step done: the journal goes, what the end box has to say is said, the window
// closes and the main window is minimised.
void frmSaveQuote::EndCommit() {
    RemoveJournal(m_strQuoteNo);
    if (!m_notUploaded.isEmpty())
        MsgBox(QStringLiteral("These files were not uploaded into the Infusionsoft Contact "
                              "Record:") +
                   kCrLf + m_notUploaded.join(kCrLf) +
                   (m_alreadyRun.isEmpty() ? QString() : kCrLf + kCrLf + m_alreadyRun),
               MsgIcon::Exclamation);
    else if (!m_alreadyRun.isEmpty())
        MsgBox(m_alreadyRun, MsgIcon::Information);
    QDialog::accept();
    if (MainWindowLink* mainWindow = State().MainWindow)
        mainWindow->Minimize();
}

// While the steps run only Cancel acts; the list says what was done.
void frmSaveQuote::SetCommitting(bool committing) {
    m_committing = committing;
    fraInfo->setEnabled(!committing);
    const std::optional<std::int32_t> contact = SelectedValue(cboContact);
    cmdOK->setEnabled(!committing && contact && *contact != 0);
    if (committing)
        cmdCancel->setFocus();
    ShowSteps();
}

void frmSaveQuote::ShowSteps() {
    lstSteps->clear();
    for (const CommitStep& step : m_steps.Steps())
        lstSteps->addItem(StepRowText(step));
    lstSteps->setVisible(!m_steps.Steps().empty());
    QString running;
    if (m_committing) {
        if (const CommitStep* next = m_steps.Next(); next && next->state == StepState::Running)
            running = StepRunningText(*next);
        if (m_cancel.Requested())
            running = QStringLiteral("Stopping after this step...");
    }
    lblStep->setText(running);
    lblStep->setVisible(!running.isEmpty());
}

CommitJournal frmSaveQuote::Journal() const {
    CommitJournal journal;
    journal.quoteNo = m_strQuoteNo;
    journal.contactEntry = SelectedValue(cboContact).value_or(0);
    journal.contact = m_commitContact;
    journal.choices = Choices();
    journal.opportunityBase = m_opportunityBase;
    journal.steps = m_steps;
    return journal;
}

// A journal that cannot be written costs only the chance to finish after a crash: the
// commit goes on, and the debug log says why.
void frmSaveQuote::WriteJournal() {
    QString why;
    if (!SaveJournal(Journal(), &why))
        DebugLine(QStringLiteral(" - cmdOK_Click - The commit's journal could not be written: ") +
                  why);
}

// A contact created by this commit takes the place of the new-contact entry it came
// from, so that OK again uses it instead of creating another.
void frmSaveQuote::AdoptCreatedContact(const CommitContact& contact) {
    m_commitContact = contact;
    const int index = cboContact->currentIndex();
    cboContact->setItemText(
        index, ContactEntryText(contact.firstName, contact.lastName, contact.email, contact.id));
    cboContact->setItemData(index, contact.id);
    ShowContactRecordOptions();
}

// An opportunity created by this commit is listed (newest first) and selected, so that
// OK again updates it instead of adding another.
void frmSaveQuote::AdoptCreatedOpportunity(std::int32_t id, const QString& title) {
    {
        const QSignalBlocker quiet(cboOpportunity);
        const int listed = cboOpportunity->findData(id);
        if (listed < 0)
            cboOpportunity->insertItem(2, OpportunityEntryText(title, std::nullopt, id), id);
        cboOpportunity->setCurrentIndex(listed < 0 ? 2 : listed);
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
