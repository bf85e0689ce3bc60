#pragma once

// Many rows' values held compactly until they are stored together.

#include "opening/RowRules.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QVariantList>

namespace qc::opening::rows {

// Rows' values (of insertValues, all with the same columns) held packed until they
// are stored: a row takes a few hundred bytes instead of the several kilobytes of
// its variants, so that an import can keep every checked row of a large file
// until all have passed. The rows lie one after another in large blocks (not an
// allocation each among the checks' short-lived ones, which would scatter the
// heap). Each row has a slot; rows are stored in slot order.
class PackedRows {
  public:
    explicit PackedRows(qsizetype slots = 0) : m_slots(slots) {}
    // Throws std::logic_error for a row whose columns differ from the first one's.
    void set(qsizetype slot, const RowValues& row);
    void append(const RowValues& row);
    void clear(qsizetype slot) { m_slots[slot] = {}; }
    [[nodiscard]] bool has(qsizetype slot) const { return m_slots.at(slot).block >= 0; }
    [[nodiscard]] qsizetype size() const { return m_slots.size(); }
    [[nodiscard]] const QStringList& columns() const { return m_columns; }
    // The values of a slot that holds a row, in the order of columns().
    [[nodiscard]] QVariantList values(qsizetype slot) const;
    // Whether some row holds a value (not NULL) in each column.
    [[nodiscard]] QList<bool> filledColumns() const;

  private:
    struct Place {
        qint32 block = -1;
        qint32 offset = 0;
    };
    [[nodiscard]] const char* rowAt(qsizetype slot) const;
    QStringList m_columns;
    QList<Place> m_slots;
    QList<QByteArray> m_blocks;
    QByteArray m_row;  // the row being packed
};

}  // namespace qc::opening::rows
