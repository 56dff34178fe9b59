#pragma once
// One CRM action set (a record of the table "ActionSequence"), as g_colActionSets keeps
// it under the decimal text of its Id.

#include <QString>
#include <cstdint>

namespace pellwick {

class clsActionSet {
public:
    std::int32_t m_lngID = 0;
    // "(Blank)" when the CRM's name is empty or only spaces; otherwise as read.
    QString m_strTemplate;
};

} // namespace pellwick
