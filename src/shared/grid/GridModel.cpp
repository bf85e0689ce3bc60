#include "shared/grid/GridModel.h"

#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace qc::grid {

int columnOf(const ColumnTable& table, const QString& key) {
    for (int c = 0; c < table.size(); ++c)
        if (table.at(c).key == key) return c;
    return -1;
}

QHash<QString, QString> captionsByColumn(const ColumnTable& table) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_]+\\.([A-Za-z_][A-Za-z0-9_]*)$"));
    QHash<QString, QString> captions;
    for (const ColumnSpec& c : table) {
        const QRegularExpressionMatch m = plain.match(c.source);
        if (m.hasMatch() && !c.caption.isEmpty()) captions.insert(m.captured(1).toLower(), c.caption);
    }
    return captions;
}

namespace {

// Whether a text holds nothing but blanks (without making a trimmed copy).
bool isBlank(const QString& text) {
    for (const QChar c : text)
        if (!c.isSpace()) return false;
    return true;
}

// A cell's value as its column's sum counts it: thousands separators allowed,
// anything that is not a number counts as nothing.
Decimal cellValue(const QString& text) {
    return Decimal::fromText(text);
}

}  // namespace

GridModel::GridModel(ColumnTable columns, QObject* parent)
    : QAbstractTableModel(parent), m_columns(std::move(columns)) {
    for (int c = 0; c < columnTotal(); ++c) {
        m_sums << Decimal();
        m_filled << 0;
        if (m_columns.at(c).total != Total::None) m_totalColumns << c;
    }
    m_hasTotals = !m_totalColumns.isEmpty();
}

QString GridModel::caption(int col) const {
    return col >= 0 && col < columnTotal() ? m_columns.at(col).caption : QString();
}

QStringList GridModel::captions() const {
    QStringList l;
    for (const ColumnSpec& c : m_columns) l << c.caption;
    return l;
}

void GridModel::setCaption(int col, const QString& caption) {
    if (col < 0 || col >= columnTotal() || m_columns.at(col).caption == caption) return;
    m_columns[col].caption = caption;
    Q_EMIT headerDataChanged(Qt::Horizontal, col, col);
}

QStringList GridModel::normalised(QStringList row) const {
    while (row.size() < columnTotal()) row << QString();
    if (row.size() > columnTotal()) row.resize(columnTotal());
    return row;
}

bool GridModel::hasTotal(int col) const {
    return col >= 0 && col < columnTotal() && m_columns.at(col).total != Total::None;
}

void GridModel::addToTotals(const QStringList& row, int sign) {
    for (const int c : m_totalColumns) {
        if (isBlank(row.at(c))) continue;
        const Decimal v = cellValue(row.at(c));
        m_sums[c] = sign > 0 ? m_sums.at(c) + v : m_sums.at(c) - v;
        m_filled[c] += sign;
    }
}

void GridModel::recountTotals() {
    for (int c = 0; c < columnTotal(); ++c) {
        m_sums[c] = Decimal();
        m_filled[c] = 0;
    }
    for (const QStringList& r : m_rows) addToTotals(r, 1);
}

void GridModel::totalsChanged(const QList<int>& cols) {
    if (!hasTotals() || cols.isEmpty()) return;
    const auto [lo, hi] = std::minmax_element(cols.begin(), cols.end());
    Q_EMIT dataChanged(index(totalsRow(), *lo), index(totalsRow(), *hi));
}

QString GridModel::text(int row, int col) const {
    if (col < 0 || col >= columnTotal()) return {};
    if (isDataRow(row)) return m_rows.at(row).at(col);
    if (row != totalsRow() || row < 0) return {};
    if (col == m_totalsCaptionCol) return m_totalsCaption;
    const ColumnSpec& column = m_columns.at(col);
    if (column.total == Total::None || (column.total == Total::WhenAny && m_filled.at(col) == 0)) return {};
    return m_totalFormat ? m_totalFormat(col, m_sums.at(col)) : m_sums.at(col).toPlainString();
}

void GridModel::setText(int row, int col, const QString& value) {
    if (!isDataRow(row) || col < 0 || col >= columnTotal()) return;
    QString& cell = m_rows[row][col];
    if (cell == value) return;
    if (hasTotal(col)) {
        if (!isBlank(cell)) {
            m_sums[col] = m_sums.at(col) - cellValue(cell);
            --m_filled[col];
        }
        if (!isBlank(value)) {
            m_sums[col] = m_sums.at(col) + cellValue(value);
            ++m_filled[col];
        }
    }
    cell = value;
    Q_EMIT dataChanged(index(row, col), index(row, col));
    if (hasTotal(col)) totalsChanged({col});
}

QStringList GridModel::dataRow(int row) const {
    return isDataRow(row) ? m_rows.at(row) : QStringList();
}

void GridModel::clear() {
    beginResetModel();
    m_rows.clear();
    recountTotals();
    endResetModel();
}

void GridModel::setDataRows(QList<QStringList> rows) {
    beginResetModel();
    for (QStringList& r : rows) r = normalised(std::move(r));
    m_rows = std::move(rows);
    recountTotals();
    endResetModel();
}

int GridModel::addEmptyRow() {
    return insertDataRows({QStringList()});
}

int GridModel::insertDataRows(const QList<QStringList>& rows) {
    const int first = dataRowCount();
    if (rows.isEmpty()) return first;
    const bool totalsAppear = m_hasTotals && m_rows.isEmpty();
    const int n = static_cast<int>(rows.size());
    // The new rows stand before the totals row; the first rows bring it along.
    beginInsertRows({}, first, first + n - 1 + (totalsAppear ? 1 : 0));
    for (const QStringList& r : rows) {
        m_rows << normalised(r);
        addToTotals(m_rows.last(), 1);
    }
    endInsertRows();
    if (!totalsAppear) totalsChanged(m_totalColumns);
    return first;
}

void GridModel::removeDataRow(int row) {
    if (!isDataRow(row)) return;
    // The last data row takes the totals row with it.
    const bool totalsGo = hasTotals() && m_rows.size() == 1;
    beginRemoveRows({}, row, row + (totalsGo ? 1 : 0));
    addToTotals(m_rows.at(row), -1);
    m_rows.removeAt(row);
    endRemoveRows();
    if (!totalsGo) totalsChanged(m_totalColumns);
}

void GridModel::sortBy(int col, bool ascending) {
    if (col < 0 || col >= columnTotal() || m_rows.size() < 2) return;

    // Numbers sort as numbers only when the whole column holds numbers; a single
    // text among them makes the column sort as text.
    bool numeric = true;
    QList<std::optional<Decimal>> keys;
    keys.reserve(m_rows.size());
    for (const QStringList& r : m_rows) {
        const QString t = r.at(col).trimmed();
        if (t.isEmpty()) {
            keys << std::nullopt;
            continue;
        }
        const auto d = Decimal::parse(t);
        if (!d) numeric = false;
        keys << d;
    }

    QList<int> order(m_rows.size());
    for (int i = 0; i < order.size(); ++i) order[i] = i;
    auto less = [&](int a, int b) {
        if (numeric) {
            const auto& ka = keys.at(a);
            const auto& kb = keys.at(b);
            if (!ka || !kb) return !ka && kb.has_value();  // empty cells first
            return *ka < *kb;
        }
        return QString::compare(m_rows.at(a).at(col), m_rows.at(b).at(col), Qt::CaseInsensitive) < 0;
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return ascending ? less(a, b) : less(b, a); });

    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QList<int> newRowOf(m_rows.size());
    for (int i = 0; i < order.size(); ++i) newRowOf[order.at(i)] = i;
    QList<QStringList> sorted;
    sorted.reserve(m_rows.size());
    for (int i : order) sorted << m_rows.at(i);
    m_rows = std::move(sorted);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& i : before)
        after << (isDataRow(i.row()) ? index(newRowOf.at(i.row()), i.column()) : i);
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void GridModel::setTotalsCaption(int col, const QString& caption) {
    m_totalsCaptionCol = col;
    m_totalsCaption = caption;
    if (hasTotals()) Q_EMIT dataChanged(index(totalsRow(), 0), index(totalsRow(), columnTotal() - 1));
}

void GridModel::setTotalFormat(TotalFormat format) {
    m_totalFormat = std::move(format);
    if (hasTotals()) Q_EMIT dataChanged(index(totalsRow(), 0), index(totalsRow(), columnTotal() - 1));
}

Decimal GridModel::total(int col) const {
    return hasTotal(col) ? m_sums.at(col) : Decimal();
}

void GridModel::setReadOnly(bool readOnly) {
    m_readOnly = readOnly;
}

}  // namespace qc::grid
