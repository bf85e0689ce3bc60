#include "shared/ui/GridDelegate.h"

#include "platform/NumberFormat.h"
#include "shared/grid/GridModel.h"

namespace qc::grid {

void GridDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.data(GridModel::DictionaryRole).toBool()) option->backgroundBrush = dictionaryColour();
    if (index.data(GridModel::TotalsRowRole).toBool()) option->font.setBold(true);
    if (m_groupThousands && index.data(GridModel::NumericRole).toBool())
        option->text = GroupThousands(option->text);
}

}  // namespace qc::grid
