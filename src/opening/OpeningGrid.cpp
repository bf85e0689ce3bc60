#include "opening/OpeningGrid.h"

#include "platform/Decimal.h"

#include <algorithm>
#include <optional>

namespace qc::opening {

namespace {

const QString kTotalsCaption = QStringLiteral("合计：");

QStringList emptyRow() {
    QStringList r;
    r.reserve(Col::Count);
    for (int i = 0; i < Col::Count; ++i) r << QString();
    return r;
}

QStringList newTotalsRow() {
    QStringList r = emptyRow();
    r[Col::InvCode] = kTotalsCaption;
    return r;
}

// A row as the grid keeps it: exactly one text per column.
QStringList normalised(QStringList row) {
    while (row.size() < Col::Count) row << QString();
    if (row.size() > Col::Count) row.resize(Col::Count);
    return row;
}

}  // namespace

OpeningGrid::OpeningGrid() : m_captions(emptyRow()) {}

void OpeningGrid::setCaptions(const QStringList& captions) {
    m_captions = normalised(captions);
    if (m_listener) m_listener->rowChanged(0);
}

int OpeningGrid::rowCount() const {
    return 1 + dataRowCount() + (hasTotals() ? 1 : 0);
}

QString OpeningGrid::text(int row, int col) const {
    if (col < 0 || col >= Col::Count) return {};
    if (row == 0) return m_captions.at(col);
    if (isDataRow(row)) return m_rows.at(row - 1).at(col);
    if (row == totalsRow()) return m_totals.at(col);
    return {};
}

void OpeningGrid::setText(int row, int col, const QString& value) {
    if (col < 0 || col >= Col::Count) return;
    if (row == 0)
        m_captions[col] = value;
    else if (isDataRow(row))
        m_rows[row - 1][col] = value;
    else if (row == totalsRow())
        m_totals[col] = value;
    else
        return;
    if (m_listener) m_listener->rowChanged(row);
}

QStringList OpeningGrid::dataRow(int row) const {
    return isDataRow(row) ? m_rows.at(row - 1) : QStringList();
}

void OpeningGrid::clear() {
    m_rows.clear();
    m_totals.clear();
    if (m_listener) m_listener->gridReset();
}

void OpeningGrid::setDataRows(QList<QStringList> rows) {
    for (QStringList& r : rows) r = normalised(std::move(r));
    m_rows = std::move(rows);
    m_totals = m_rows.isEmpty() ? QStringList() : newTotalsRow();
    if (m_listener) m_listener->gridReset();
}

int OpeningGrid::addEmptyRow() {
    return insertDataRows({emptyRow()});
}

int OpeningGrid::insertDataRows(const QList<QStringList>& rows) {
    if (rows.isEmpty()) return hasTotals() ? totalsRow() : 1;
    if (m_rows.isEmpty()) {
        // The first rows bring the totals row with them.
        for (const QStringList& r : rows) m_rows << normalised(r);
        m_totals = newTotalsRow();
        if (m_listener) m_listener->gridReset();
        return 1;
    }
    const int first = dataRowCount() + 1;
    for (const QStringList& r : rows) {
        m_rows << normalised(r);
        if (m_listener) m_listener->rowInserted(dataRowCount());
    }
    return first;
}

void OpeningGrid::removeDataRow(int row) {
    if (!isDataRow(row)) return;
    if (m_rows.size() == 1) {
        // The last data row takes the totals row with it: the header stays alone.
        m_rows.clear();
        m_totals.clear();
        if (m_listener) m_listener->gridReset();
        return;
    }
    m_rows.removeAt(row - 1);
    if (m_listener) m_listener->rowRemoved(row);
}

void OpeningGrid::sortBy(int col, bool ascending) {
    if (col < 0 || col >= Col::Count || m_rows.size() < 2) return;

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
        return m_rows.at(a).at(col) < m_rows.at(b).at(col);
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return ascending ? less(a, b) : less(b, a); });

    QList<QStringList> sorted;
    sorted.reserve(m_rows.size());
    for (int i : order) sorted << m_rows.at(i);
    m_rows = std::move(sorted);
    if (m_listener) m_listener->gridReset();
}

}  // namespace qc::opening
