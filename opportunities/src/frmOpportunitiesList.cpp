// The opportunities window's list: reading a contact's opportunities and showing them,
// sortable by every column.

#include "OpportunitiesSupport.h"
#include "pellwick/ErrorReport.h"
#include "pellwick/WaitCursor.h"
#include "pellwick/opportunities/frmOpportunities.h"
#include "ui_frmOpportunities.h"

#include <QLabel>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <tessary/RpcValue.h>

namespace pellwick {

using namespace opportunities;

namespace {

constexpr int kSortRole = Qt::UserRole;

// A row that sorts by each cell's key: numbers and dates by value, text ignoring case.
class OpportunityItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : ColId;
        const QPartialOrdering order =
            QVariant::compare(data(column, kSortRole), other.data(column, kSortRole));
        if (order == QPartialOrdering::Equivalent)
            return data(ColId, kSortRole).toInt() < other.data(ColId, kSortRole).toInt();
        return order == QPartialOrdering::Less;
    }
};

std::int32_t RowId(const QTreeWidgetItem* item) {
    return item->data(ColId, kSortRole).toInt();
}

QString CountText(std::size_t count) {
    if (count == 0)
        return QStringLiteral("No Opportunities");
    return count == 1 ? QStringLiteral("1 Opportunity")
                      : QString::number(count) + QStringLiteral(" Opportunities");
}

} // namespace

void frmOpportunities::ListOpportunities(std::int32_t p_lngContactId, std::int32_t p_lngSelectId) {
    Guarded("ListOpportunities", [&] {
        DebugLine(QStringLiteral(" - ListOpportunities - Started, Params: p_lngContactId = ") +
                  QString::number(p_lngContactId));
        const std::optional<std::vector<OpportunityRow>> rows = ReadOpportunities(p_lngContactId);
        if (!rows) {
            ui_->lblStatus->setText(QStringLiteral("The opportunities could not be read."));
            return;
        }
        FillList(*rows, p_lngSelectId);
        ui_->lblStatus->setText(CountText(rows->size()));
    });
    UpdateActions();
}

std::optional<std::vector<OpportunityRow>>
frmOpportunities::ReadOpportunities(std::int32_t contactId) {
    std::shared_ptr<tessary::RpcArray> records;
    {
        const WaitCursor busy;
        records =
            m_calls.Query("Lead", 1000, ContactOpportunitiesQuery(contactId), OpportunityFields());
    }
    if (!records)
        return std::nullopt;
    std::vector<OpportunityRow> rows;
    rows.reserve(records->Count());
    for (const tessary::RpcValue& element : records->Elements()) {
        const std::shared_ptr<tessary::RpcStruct> record = element.StructValue();
        if (!record)
            throw ProgramError(errnum::TypeMismatch, QStringLiteral("Type mismatch"));
        rows.push_back(OpportunityFromRecord(*record));
    }
    return NewestFirst(std::move(rows));
}

void frmOpportunities::FillList(const std::vector<OpportunityRow>& rows, std::int32_t selectId) {
    const QSignalBlocker quiet(ui_->lstOpportunities);
    ui_->lstOpportunities->clear();
    m_rows.clear();
    QTreeWidgetItem* selected = nullptr;
    QList<QTreeWidgetItem*> items;
    for (const OpportunityRow& row : rows) {
        auto* item = new OpportunityItem;
        const auto cells = OpportunityCells(row, m_stages.get());
        for (int column = 0; column < kOpportunityColumnCount; ++column) {
            item->setText(column, cells[column].text);
            item->setData(column, kSortRole, cells[column].sortKey);
        }
        for (int column : {ColRevenueLow, ColRevenueHigh, ColId})
            item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
        m_rows.insert(row.id, row);
        if (row.id == selectId)
            selected = item;
        items << item;
    }
    ui_->lstOpportunities->addTopLevelItems(items);
    if (selected) {
        ui_->lstOpportunities->setCurrentItem(selected);
        ui_->lstOpportunities->scrollToItem(selected);
    }
}

std::optional<OpportunityRow> frmOpportunities::SelectedOpportunity() const {
    const QList<QTreeWidgetItem*> selected = ui_->lstOpportunities->selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    const auto found = m_rows.constFind(RowId(selected.first()));
    if (found == m_rows.cend())
        return std::nullopt;
    return *found;
}

} // namespace pellwick
