#pragma once
// The CRM's stages and action sets, read once per run into the program-wide collections
// g_colStages and g_colActionSets (ProgramState). Both change rarely in the CRM, so a
// run keeps what it read; a reading that failed part-way is not kept, so the next
// caller reads again.

#include "pellwick/ProgramState.h"
#include "pellwick/clsActionSet.h"
#include "pellwick/clsStage.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace tessary {
class RpcArray;
class clsHelpers;
} // namespace tessary

namespace pellwick {

// Page size of the collectors' queries.
inline constexpr std::int32_t kCollectPageSize = 1000;

// One page of a table's records (page numbers from 0), or null when the query failed.
using PageQuery = std::function<std::shared_ptr<tessary::RpcArray>(std::int32_t page)>;

// What a reading gave: the records in the CRM's order, page after page, and whether
// every page was read (no failed query, no error).
template <class Collection> struct Collected {
    std::shared_ptr<Collection> collection;
    bool complete = false;
};

// The collectors' reading on any source of pages. Pages are asked for while the last
// one was full (1000 records) and added a record not seen before, so a source that
// ignores the page number ends too. A record whose Id is already there is skipped. A
// name that is empty or only blanks becomes "(Blank)"; other names are kept as read.
// An error (a record that is no struct) is reported under "CollectStages" or
// "CollectActionSets" and ends the reading, keeping what was read.
Collected<StageCollection> CollectStagesFrom(const PageQuery& query, tessary::clsHelpers& helpers);
Collected<ActionSetCollection> CollectActionSetsFrom(const PageQuery& query,
                                                     tessary::clsHelpers& helpers);

// Reads the table "Stage" ("Id" and "StageName" of every record) through the program's
// CRM connection into g_colStages and returns the collection read. When a query
// failed (the library has shown why) or an error stopped the reading (reported under
// "CollectStages"), the records read so far are returned for the caller's use and
// g_colStages is left absent. Never null.
std::shared_ptr<StageCollection> CollectStages();
// The same for the table "ActionSequence" ("Id", "TemplateName") and g_colActionSets,
// reporting under "CollectActionSets".
std::shared_ptr<ActionSetCollection> CollectActionSets();

} // namespace pellwick
