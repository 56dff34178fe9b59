#include "OpportunitiesSupport.h"

#include "pellwick/modMain.h"

namespace pellwick::opportunities {

void DebugLine(const QString& suffix) {
    DebugMessage(QStringLiteral("frmOpportunities") + suffix);
}

std::optional<std::int32_t> SelectedValue(const QComboBox* box) {
    const int index = box->currentIndex();
    if (index < 0)
        return std::nullopt;
    return box->itemData(index).toInt();
}

} // namespace pellwick::opportunities
