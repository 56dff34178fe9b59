// The Save Quote window's listing procedures: the CRM contacts that match the quote,
// the chosen contact's opportunities and the collected action sets.

#include "SaveQuoteSupport.h"
#include "pellwick/CrmCalls.h"
#include "pellwick/CrmCollections.h"
#include "pellwick/ErrorReport.h"
#include "pellwick/clsActionSet.h"
#include "pellwick/clsStage.h"
#include "pellwick/modMain.h"
#include "pellwick/savequote/SaveQuoteRules.h"
#include "pellwick/savequote/frmSaveQuote.h"

#include <QHash>
#include <QSignalBlocker>
#include <algorithm>
#include <functional>
#include <tessary/DataService.h>
#include <tessary/clsHelpers.h>
#include <vector>

namespace pellwick {

using namespace savequote;

namespace {

QString Text(tessary::clsHelpers& helpers, const tessary::RpcStruct& record, const char* field) {
    return QString::fromStdString(helpers.SafeStringValue(record, field));
}

} // namespace

// Queries "Contact" (page 0) and appends an entry for each record that `matches` accepts.
void frmSaveQuote::AddContactEntries(
    const tessary::RpcStruct& queryData, std::int32_t limit,
    const std::function<bool(const QString&, const QString&, const QString&)>& matches) {
    // One failed look-up is said once (the library's box); the list is incomplete anyway.
    if (!GatheringGoesOn() || (m_contactLookupFailed && !isVisible()))
        return;
    const CrmServices crm = m_doors.Crm();
    tessary::RpcArray fields;
    for (const char* field : {"Id", "FirstName", "LastName", "Email", "Phone1"})
        fields.AddString(field);
    const std::shared_ptr<tessary::RpcArray> records =
        CrmCall(crm.api, [&] { return crm.data->Query("Contact", limit, 0, queryData, fields); });
    NoteGatheringCall(crm, records != nullptr);
    if (!records) {
        m_contactLookupFailed = true;
        return;
    }
    for (const tessary::RpcValue& element : records->Elements()) {
        const std::shared_ptr<tessary::RpcStruct> record = element.StructValue();
        if (!record)
            throw ProgramError(errnum::TypeMismatch, QStringLiteral("Type mismatch"));
        const std::int32_t id = crm.helpers->SafeIntegerValue(*record, "Id");
        const QString first = Text(*crm.helpers, *record, "FirstName");
        const QString last = Text(*crm.helpers, *record, "LastName");
        const QString email = Text(*crm.helpers, *record, "Email");
        if (!matches || matches(first, last, email))
            AppendEntry(cboContact, ContactEntryText(first, last, email, id), id);
    }
}

void frmSaveQuote::ListContactByID(std::int32_t p_lngID) {
    Guarded("ListContactByID", [&] {
        DebugLine(QStringLiteral(" - ListContactByID - Started, Params: p_lngID = ") +
                  QString::number(p_lngID));
        tessary::RpcStruct queryData;
        queryData.AddInteger("Id", p_lngID);
        DebugLine(QStringLiteral(" - ListContactByID - Query Contact by ID."));
        AddContactEntries(queryData, 1, nullptr);
        DebugLine(QStringLiteral(" - ListContactByID - Finished"));
    });
}

void frmSaveQuote::ListContactsForEmail(const QString& p_strEmail) {
    Guarded("ListContactsForEmail", [&] {
        DebugLine(QStringLiteral(" - ListContactsForEmail - Started"));
        tessary::RpcStruct queryData;
        queryData.AddString("Email", p_strEmail.toStdString());
        DebugLine(QStringLiteral(" - ListContactsForEmail - Query Contact record for the "
                                 "information."));
        // "%" in an address is the CRM's wildcard: only the address itself counts.
        AddContactEntries(queryData, 100,
                          [&](const QString&, const QString&, const QString& email) {
                              return EmailMatches(email, p_strEmail);
                          });
        DebugLine(QStringLiteral(" - ListContactsForEmail - Finished"));
    });
}

void frmSaveQuote::ListContactsForName(const QString& p_strName) {
    Guarded("ListContactsForName", [&] {
        DebugLine(QStringLiteral(" - ListContactsForName - Started"));
        const NameSearch search = NameSearchFor(p_strName);
        if (search.IsEmpty())
            return;
        tessary::RpcStruct queryData;
        if (!search.firstName.isEmpty())
            queryData.AddString("FirstName", search.firstName.toStdString());
        if (!search.lastName.isEmpty())
            queryData.AddString("LastName", search.lastName.toStdString());
        DebugLine(QStringLiteral(" - ListContactsForName - Query Contact record for the "
                                 "information."));
        AddContactEntries(queryData, 100,
                          [&](const QString& first, const QString& last, const QString&) {
                              return NameMatches(first, last, search);
                          });
        DebugLine(QStringLiteral(" - ListContactsForName - Finished"));
    });
}

// The contact's opportunities, every page of them: the CRM lists them oldest first, so
// the one a save has just made is on the last page. Pages are read as the collectors
// read them: while the last one was full and brought one not seen before, and at most
// kOpportunityPages of them.
void frmSaveQuote::ReadOpportunities(std::int32_t contactId, std::vector<std::int32_t>& ids,
                                     QHash<std::int32_t, QString>& texts) {
    constexpr std::int32_t kOpportunityPages = 100;
    if (!GatheringGoesOn())
        return;
    const CrmServices crm = m_doors.Crm();
    tessary::RpcStruct queryData;
    queryData.AddInteger("ContactID", contactId);
    tessary::RpcArray fields;
    for (const char* field : {"Id", "OpportunityTitle", "DateCreated", "LastUpdated", "StageID"})
        fields.AddString(field);
    const PagesRead read = QueryPages(crm, "Lead", queryData, fields, kOpportunityPages);
    NoteGatheringCall(crm, read.complete); // a failed page: the library has shown why
    for (const std::shared_ptr<tessary::RpcStruct>& record : read.records) {
        const std::int32_t id = crm.helpers->SafeIntegerValue(*record, "Id");
        // An opportunity without a known stage (this program creates them without one)
        // is listed by its title alone.
        const QString stageKey = QString::number(crm.helpers->SafeIntegerValue(*record, "StageID"));
        const std::shared_ptr<clsStage> stage = m_stages ? m_stages->Value(stageKey) : nullptr;
        ids.push_back(id);
        texts.insert(id, OpportunityEntryText(
                             Text(*crm.helpers, *record, "OpportunityTitle"),
                             stage ? std::optional(stage->m_strStageName) : std::nullopt, id));
    }
}

void frmSaveQuote::ListOpportunitiesForContactId(std::int32_t p_lngContactId) {
    Guarded("ListOpportunitiesForContactId", [&] {
        DebugLine(QStringLiteral(" - ListOpportunitiesForContactId - Started, Params: "
                                 "p_lngContactId = ") +
                  QString::number(p_lngContactId));
        {
            const QSignalBlocker quiet(cboOpportunity);
            cboOpportunity->clear();
        }

        std::vector<std::int32_t> ids;
        QHash<std::int32_t, QString> texts;
        if (p_lngContactId >= 1) {
            DebugLine(QStringLiteral(" - ListOpportunitiesForContactId - Query Lead Table"));
            ReadOpportunities(p_lngContactId, ids, texts);
        }
        // Newest (largest Id) first. All pages may hold many: no bubble sort here.
        std::sort(ids.begin(), ids.end(), std::greater<>());

        DebugLine(QStringLiteral(" - ListOpportunitiesForContactId - Setup the Drop Down boxes."));
        int selected = -1;
        const auto append = [&](const QString& text, std::int32_t value) {
            AppendEntry(cboOpportunity, text, value);
            if (PreselectOpportunity(m_lngDropDownOpportunity, value))
                selected = cboOpportunity->count() - 1;
        };
        append(QString(), kBlankEntry);
        append(QStringLiteral("(New Opportunity)"), kNewOpportunity);
        for (const std::int32_t id : ids)
            append(texts.value(id), id);
        SetSelection(cboOpportunity, selected);
        if (selected >= 0)
            cboOpportunity_Click();
        else
            ShowOpportunityRecordOptions();
        DebugLine(QStringLiteral(" - ListOpportunitiesForContactId - Finished"));
    });
}

void frmSaveQuote::ListActionSets() {
    Guarded("ListActionSets", [&] {
        DebugLine(QStringLiteral(" - ListActionSets - Started"));
        int selected = cboActionSet->currentIndex();
        bool preselected = false;
        const auto append = [&](const QString& text, std::int32_t value) {
            AppendEntry(cboActionSet, text, value);
            if (PreselectActionSet(m_lngDropDownActionSet, value)) {
                selected = cboActionSet->count() - 1;
                preselected = true;
            }
        };
        append(QString(), kBlankEntry);
        if (m_actionSets)
            for (const auto& [key, set] : *m_actionSets)
                append(ActionSetEntryText(set->m_strTemplate, set->m_lngID), set->m_lngID);
        SetSelection(cboActionSet, selected);
        if (preselected)
            cboActionSet_Click();
        DebugLine(QStringLiteral(" - ListActionSets - Finished"));
    });
}

} // namespace pellwick
