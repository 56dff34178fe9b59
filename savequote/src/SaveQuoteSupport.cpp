#include "SaveQuoteSupport.h"

#include "pellwick/CrmCalls.h"
#include "pellwick/CrmCollections.h"
#include "pellwick/ErrorReport.h"
#include "pellwick/ProgramState.h"
#include "pellwick/host/QuoteWerksApp.h"
#include "pellwick/modMain.h"

#include <QSignalBlocker>
#include <set>
#include <tessary/DataService.h>
#include <tessary/clsHelpers.h>
#include <tessary/clsInfusionsoftAPI.h>

namespace pellwick::savequote {
namespace {

QuoteWerksApp& Host() {
    if (!State().QuoteWerksApp)
        throw ProgramError(errnum::ObjectRequired, QStringLiteral("Object required"));
    return *State().QuoteWerksApp;
}

} // namespace

void DebugLine(const QString& suffix) {
    DebugMessage(QStringLiteral("frmSaveQuote") + suffix);
}

QString HostField(const QString& fieldName) {
    return Host().DocumentAccess().GetFieldValue(fieldName).toString();
}

CrmServices Crm() {
    const std::shared_ptr<tessary::clsInfusionsoftAPI>& api = State().InfusionsoftConnection;
    CrmServices crm;
    crm.api = api;
    if (api) {
        crm.data = api->DataService();
        crm.contacts = api->ContactService();
        crm.files = api->FileService();
        crm.helpers = api->Helpers();
    }
    if (!crm.data || !crm.contacts || !crm.files || !crm.helpers)
        throw ProgramError(errnum::ObjectRequired, QStringLiteral("Object required"));
    return crm;
}

CrmFailure LastCrmFailure(const CrmServices& crm) {
    const tessary::CallFailure failure = crm.api->LastCallFailure();
    using What = tessary::CallFailure::What;
    CrmFailure said{QString::fromStdString(failure.message), failure.mayHaveBeenCarriedOut,
                    failure.what == What::Transport};
    // An error page's markup says nothing a user can read in a one-line list.
    said.message = said.message.trimmed();
    // The address a transport error names is the program's own, not news to the user.
    if (const qsizetype address = said.message.indexOf(QStringLiteral(" (http")); address > 0)
        said.message.truncate(address);
    if (failure.what == What::HttpStatus &&
        (said.message.contains(QStringLiteral("<html"), Qt::CaseInsensitive) ||
         !said.message.contains(QString::number(failure.code))))
        said.message = QStringLiteral("The server answered with HTTP status %1").arg(failure.code);
    if (said.message.isEmpty())
        said.message = failure.what == What::None
                           ? QStringLiteral("Infusionsoft did not do it")
                           : QStringLiteral("Infusionsoft's answer could not be read");
    return said;
}

PagesRead QueryPages(const CrmServices& crm, const std::string& table,
                     const tessary::RpcStruct& queryData, const tessary::RpcArray& fields,
                     std::int32_t pages, CrmCancel* cancel) {
    return CrmCall(
        crm.api,
        [&] {
            PagesRead read;
            std::set<std::int32_t> seen;
            for (std::int32_t page = 0; page < pages; ++page) {
                const std::shared_ptr<tessary::RpcArray> records =
                    crm.data->Query(table, kCollectPageSize, page, queryData, fields);
                if (!records)
                    return read;
                std::size_t added = 0;
                for (const tessary::RpcValue& element : records->Elements()) {
                    std::shared_ptr<tessary::RpcStruct> record = element.StructValue();
                    if (!record)
                        throw ProgramError(errnum::TypeMismatch, QStringLiteral("Type mismatch"));
                    if (seen.insert(crm.helpers->SafeIntegerValue(*record, "Id")).second) {
                        read.records.push_back(std::move(record));
                        ++added;
                    }
                }
                if (records->Count() < static_cast<std::size_t>(kCollectPageSize) || added == 0)
                    break;
            }
            read.complete = true;
            return read;
        },
        cancel);
}

std::optional<std::int32_t> SelectedValue(const QComboBox* box) {
    const int index = box->currentIndex();
    if (index < 0)
        return std::nullopt;
    return box->itemData(index).toInt();
}

void AppendEntry(QComboBox* box, const QString& text, std::int32_t value) {
    const QSignalBlocker quiet(box);
    const int selected = box->currentIndex();
    box->addItem(text, value);
    box->setCurrentIndex(selected);
}

void SetSelection(QComboBox* box, int index) {
    const QSignalBlocker quiet(box);
    box->setCurrentIndex(index);
}

} // namespace pellwick::savequote
