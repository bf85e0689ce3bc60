#include "shared/grid/ShownColumns.h"

namespace qc::grid {

ShownColumns::ShownColumns(QObject* parent) : QSortFilterProxyModel(parent) {
    // Rows are neither sorted nor filtered here; the grid keeps their order.
    setDynamicSortFilter(false);
}

void ShownColumns::setHiddenColumns(const QSet<int>& columns) {
    if (columns == m_hidden) return;
    m_hidden = columns;
    invalidateColumnsFilter();
}

QModelIndex ShownColumns::cell(int row, int column) const {
    if (!sourceModel()) return {};
    return mapFromSource(sourceModel()->index(row, column));
}

int ShownColumns::shownColumn(int column) const {
    if (!sourceModel() || column < 0 || column >= sourceModel()->columnCount() || m_hidden.contains(column))
        return -1;
    int before = 0;
    for (const int hidden : m_hidden)
        if (hidden < column) ++before;
    return column - before;
}

int ShownColumns::gridColumn(const QModelIndex& index) const {
    if (!index.isValid()) return -1;
    return mapToSource(index).column();
}

bool ShownColumns::filterAcceptsColumn(int sourceColumn, const QModelIndex& /*sourceParent*/) const {
    return !m_hidden.contains(sourceColumn);
}

}  // namespace qc::grid
