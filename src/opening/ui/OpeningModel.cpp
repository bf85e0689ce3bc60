#include "opening/ui/OpeningModel.h"

#include <QColor>
#include <QFont>

namespace qc::opening {

OpeningModel::OpeningModel(OpeningGrid& grid, QObject* parent) : QAbstractTableModel(parent), m_grid(grid) {
    m_rows = m_grid.rowCount() - 1;
    m_grid.setListener(this);
}

OpeningModel::~OpeningModel() {
    m_grid.setListener(nullptr);
}

void OpeningModel::setDictionaryColumns(const QList<bool>& columns) {
    if (columns == m_dictionary) return;
    m_dictionary = columns;
    if (m_rows > 0) Q_EMIT dataChanged(index(0, 0), index(m_rows - 1, Col::Count - 1), {Qt::BackgroundRole});
}

int OpeningModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int OpeningModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Col::Count;
}

bool OpeningModel::isTotalsRow(int modelRow) const {
    return m_grid.hasTotals() && gridRow(modelRow) == m_grid.totalsRow();
}

bool OpeningModel::isNumericColumn(int col) {
    return col >= Col::Quantity && col <= Col::PlanAmount;
}

QColor OpeningModel::dictionaryColour() {
    return QColor(192, 255, 255);
}

QVariant OpeningModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows || index.column() >= Col::Count) return {};
    const int row = gridRow(index.row());
    const int col = index.column();
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return m_grid.text(row, col);
        case Qt::TextAlignmentRole:
            return isNumericColumn(col) ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                        : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        case Qt::BackgroundRole:
            if (isTotalsRow(index.row()) || m_dictionary.value(col)) return dictionaryColour();
            return {};
        case Qt::FontRole:
            if (isTotalsRow(index.row())) {
                QFont f;
                f.setBold(true);
                return f;
            }
            return {};
        default:
            return {};
    }
}

QVariant OpeningModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o == Qt::Horizontal) {
        if (section < 0 || section >= Col::Count) return {};
        if (role == Qt::DisplayRole) return m_grid.text(0, section);
        if (role == Qt::TextAlignmentRole) return QVariant(Qt::AlignCenter);
        return {};
    }
    if (section < 0 || section >= m_rows) return {};
    if (role == Qt::DisplayRole) return isTotalsRow(section) ? QVariant(QString()) : QVariant(section + 1);
    if (role == Qt::TextAlignmentRole) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags OpeningModel::flags(const QModelIndex& index) const {
    if (!index.isValid() || index.row() >= m_rows) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (isDataRow(index.row()) && m_editable && m_editable(gridRow(index.row()), index.column()))
        f |= Qt::ItemIsEditable;
    return f;
}

bool OpeningModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || !isDataRow(index.row())) return false;
    const int row = gridRow(index.row());
    QString text = value.toString();
    bool cancel = false;
    if (m_validator) {
        m_validator(text, cancel, row, index.column());
    } else {
        m_grid.setText(row, index.column(), text);
    }
    if (cancel) {
        m_refusedValue = text;
        return false;
    }
    return true;
}

void OpeningModel::gridReset() {
    beginResetModel();
    m_rows = m_grid.rowCount() - 1;
    endResetModel();
}

void OpeningModel::rowChanged(int row) {
    if (row == 0) {
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, Col::Count - 1);
        return;
    }
    const int r = modelRow(row);
    if (r < 0 || r >= m_rows) return;
    Q_EMIT dataChanged(index(r, 0), index(r, Col::Count - 1));
}

void OpeningModel::rowInserted(int row) {
    const int r = modelRow(row);
    beginInsertRows({}, r, r);
    ++m_rows;
    endInsertRows();
}

void OpeningModel::rowRemoved(int row) {
    const int r = modelRow(row);
    if (r < 0 || r >= m_rows) return;
    beginRemoveRows({}, r, r);
    --m_rows;
    endRemoveRows();
}

}  // namespace qc::opening
