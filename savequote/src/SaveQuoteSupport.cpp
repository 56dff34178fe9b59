#include "SaveQuoteSupport.h"

#include "pellwick/CrmCalls.h"
#include "pellwick/CrmCollections.h"
#include "pellwick/ErrorReport.h"
#include "pellwick/host/QuoteWerksApp.h"
#include "pellwick/modMain.h"

#include <QSignalBlocker>
#include <set>
#include <tessary/DataService.h>
#include <tessary/clsHelpers.h>
#include <tessary/clsInfusionsoftAPI.h>

namespace pellwick::savequote {
void DebugLine(const QString& suffix) {
    DebugMessage(QStringLiteral("frmSaveQuote") + suffix);
}

QString HostField(const WindowDoors& doors, const QString& fieldName) {
    return doors.Document().GetFieldValue(fieldName).toString();
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
