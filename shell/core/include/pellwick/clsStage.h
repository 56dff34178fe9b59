#pragma once
// One CRM opportunity stage (a record of the table "Stage"), as g_colStages keeps it
// under the decimal text of its Id.

#include <QString>
#include <cstdint>

namespace pellwick {

class clsStage {
public:
    std::int32_t m_lngID = 0;
    // "(Blank)" when the CRM's name is empty or only spaces; otherwise as read.
    QString m_strStageName;
};

} // namespace pellwick
