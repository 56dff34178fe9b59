#include "pellwick/CrmCollections.h"

#include "pellwick/CrmAccess.h"
#include "pellwick/CrmCalls.h"
#include "pellwick/ErrorReport.h"

#include <string>
#include <tessary/DataService.h>
#include <tessary/clsHelpers.h>
#include <tessary/clsInfusionsoftAPI.h>

namespace pellwick {
namespace {

template <class Record, class Collection>
Collected<Collection> CollectPages(const char* section, const PageQuery& query,
                                   tessary::clsHelpers& helpers, const char* nameField,
                                   QString Record::*nameMember) {
    Collected<Collection> result{std::make_shared<Collection>(), false};
    result.complete = Guarded(section, false, [&] {
        for (std::int32_t page = 0;; ++page) {
            const std::shared_ptr<tessary::RpcArray> records = query(page);
            if (!records)
                return false; // a failed query: the library has shown its box
            std::size_t added = 0;
            for (const tessary::RpcValue& element : records->Elements()) {
                const std::shared_ptr<tessary::RpcStruct> record = element.StructValue();
                if (!record)
                    throw ProgramError(errnum::TypeMismatch, QStringLiteral("Type mismatch"));
                auto item = std::make_shared<Record>();
                item->m_lngID = helpers.SafeIntegerValue(*record, "Id");
                const QString key = QString::number(item->m_lngID);
                // A server may repeat a record on a later page; the first one counts.
                if (result.collection->Contains(key))
                    continue;
                const QString name =
                    QString::fromStdString(helpers.SafeStringValue(*record, nameField));
                (*item).*nameMember = name.trimmed().isEmpty() ? QStringLiteral("(Blank)") : name;
                result.collection->Add(key, std::move(item));
                ++added;
            }
            // A page that brought nothing new ends the reading even when full: a server
            // that ignores the page number would otherwise be asked forever.
            if (records->Count() < static_cast<std::size_t>(kCollectPageSize) || added == 0)
                return true;
        }
    });
    return result;
}

template <class Collection, class From>
std::shared_ptr<Collection> CollectTable(const char* section, const char* table,
                                         const char* nameField, From from,
                                         std::shared_ptr<Collection> ProgramState::*kept) {
    auto result =
        Guarded(section, Collected<Collection>{std::make_shared<Collection>(), false}, [&] {
            const CrmServices crm = CrmServicesOrThrow();
            tessary::RpcStruct queryData;
            queryData.AddString("Id", "%");
            tessary::RpcArray fields;
            fields.AddString("Id");
            fields.AddString(nameField);
            return from(
                [&](std::int32_t page) {
                    return CrmCall(crm.api, [&] {
                        return crm.data->Query(table, kCollectPageSize, page, queryData, fields);
                    });
                },
                *crm.helpers);
        });
    State().*kept = result.complete ? result.collection : nullptr;
    return result.collection;
}

} // namespace

Collected<StageCollection> CollectStagesFrom(const PageQuery& query, tessary::clsHelpers& helpers) {
    return CollectPages<clsStage, StageCollection>("CollectStages", query, helpers, "StageName",
                                                   &clsStage::m_strStageName);
}

Collected<ActionSetCollection> CollectActionSetsFrom(const PageQuery& query,
                                                     tessary::clsHelpers& helpers) {
    return CollectPages<clsActionSet, ActionSetCollection>(
        "CollectActionSets", query, helpers, "TemplateName", &clsActionSet::m_strTemplate);
}

std::shared_ptr<StageCollection> CollectStages() {
    return CollectTable<StageCollection>("CollectStages", "Stage", "StageName", CollectStagesFrom,
                                         &ProgramState::g_colStages);
}

std::shared_ptr<ActionSetCollection> CollectActionSets() {
    return CollectTable<ActionSetCollection>("CollectActionSets", "ActionSequence", "TemplateName",
                                             CollectActionSetsFrom, &ProgramState::g_colActionSets);
}

} // namespace pellwick
