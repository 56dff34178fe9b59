#pragma once
// What the opportunities window's files share: its debug lines and reading its combo
// boxes.

#include <QComboBox>
#include <QString>
#include <cstdint>
#include <optional>

namespace pellwick::opportunities {

// A debug line: "frmOpportunities" followed by the suffix.
void DebugLine(const QString& suffix);

// The selected entry's value, or none.
std::optional<std::int32_t> SelectedValue(const QComboBox* box);

} // namespace pellwick::opportunities
