// The grid model as Qt's views see it: rows and columns, the texts and roles of a
// cell, the headers, which cells may be edited, and an edit through the rules.

#include "shared/grid/GridModel.h"

namespace qc::grid {

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : dataRowCount() + (hasTotals() ? 1 : 0);
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columnTotal();
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnTotal()) return {};
    const int row = index.row(), col = index.column();
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return text(row, col);
        case Qt::TextAlignmentRole:
            return m_columns.at(col).numeric() ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                               : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        case DictionaryRole:
            return row == totalsRow() || m_columns.at(col).dictionary;
        case TotalsRowRole:
            return row == totalsRow();
        case ColumnRole:
            return col;
        case NumericRole:
            return m_columns.at(col).numeric();
        default:
            return {};
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o == Qt::Horizontal) {
        if (section < 0 || section >= columnTotal()) return {};
        if (role == Qt::DisplayRole) return m_columns.at(section).caption;
        if (role == Qt::TextAlignmentRole) return QVariant(Qt::AlignCenter);
        return {};
    }
    if (section < 0 || section >= rowCount()) return {};
    if (role == Qt::DisplayRole) return section == totalsRow() ? QVariant(QString()) : QVariant(section + 1);
    if (role == Qt::TextAlignmentRole) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    if (!index.isValid() || index.row() >= rowCount()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const int row = index.row(), col = index.column();
    if (!m_readOnly && isDataRow(row) && col < columnTotal() && m_columns.at(col).keyed() &&
        (!m_editable || m_editable(row, col)))
        f |= Qt::ItemIsEditable;
    return f;
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || !isDataRow(index.row()) || m_readOnly) return false;
    QString text = value.toString();
    bool cancel = false;
    if (m_validator)
        m_validator(text, cancel, index.row(), index.column());
    else
        setText(index.row(), index.column(), text);
    if (cancel) {
        m_refusedValue = text;
        return false;
    }
    return true;
}

}  // namespace qc::grid
