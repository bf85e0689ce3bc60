#pragma once

// What the checks and the storage of an opening row share between typing a row in
// the entry window and importing rows from a file: the row refusals, the facts of
// an item they need, and the values one row stores in IA_Subsidiary.

#include "platform/Database.h"
#include "platform/Decimal.h"
#include "platform/Schema.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace qc {
struct LoginContext;
}

namespace qc::opening::rows {

inline const QString kOutOfRange = QStringLiteral("数据超出允许范围");
inline const QString kNoNegativeSpecific = QStringLiteral("个别计价法不允许录入负数量！");
inline const QString kFreeMissing = QStringLiteral("设置自由项的存货必须输入自由项！");
inline const QString kSignsDiffer = QStringLiteral("先进先出/后进先出法仓库相同存货数量必须同正同负！");

// The labels under which one item's rows must all be receipts or all be returns.
bool isFifoLifoLabel(const QString& label);
// The labels under which a row may carry neither quantity nor amount.
bool isPlanLabel(const QString& label);
// A grid cell's number (thousands separators allowed); zero when it is none.
Decimal cellNumber(const QString& text);

// What the row checks need to know of an inventory item.
struct ItemFacts {
    QString method;      // cValueType
    bool uses[10] = {};  // bFree1..bFree10
};

// The facts of the given items, read in a few statements however many rows there are.
QHash<QString, ItemFacts> itemFacts(Database& db, const QStringList& codes);

// The label the row's method is read from: the window's under per-warehouse and
// per-department accounting, the row item's own under per-item accounting.
QString methodLabelOf(const LoginContext& ctx, const QString& windowLabel, const ItemFacts* item);

// The refusals of a whole row (its cells in grid order), in the order they are
// shown: the first of the row's own checks, a project class without a project, a
// row with neither quantity nor amount. `signsDiffer` tells that another row of
// the same item has a quantity of the other sign.
QStringList rowRefusals(const QStringList& cells, const QString& label, const ItemFacts* item,
                        const QStringList& freeNames, bool signsDiffer);

// The values of one statement, checked against the declared columns so that a
// value the column cannot hold is refused the same way on every database.
class RowValues {
  public:
    // With `columns`, the caller adds exactly those columns in that order (the
    // names are then not kept a second time, row after row).
    explicit RowValues(const QStringList* columns = nullptr);

    [[nodiscard]] bool ok() const { return m_ok; }
    [[nodiscard]] const QStringList& columns() const { return m_known ? *m_known : m_columns; }
    [[nodiscard]] const QVariantList& values() const { return m_values; }
    // The first column whose value did not fit ("" while all fit).
    [[nodiscard]] const QString& failedColumn() const { return m_failed; }

    void fixed(const QString& column, const QVariant& v) { add(column, v); }
    // A text cell: empty is NULL, anything else is stored as typed.
    void text(const QString& column, const QString& cell);
    // A number cell: empty is NULL; the text must be a number the column holds.
    // Whole-number columns take only whole numbers unless `roundToWhole`.
    void number(const QString& column, const QString& cell, bool roundToWhole = false);
    // A date; an invalid one cannot be stored.
    void date(const QString& column, const QDate& d);

  private:
    [[nodiscard]] const ColumnDef* def(const QString& column) const;
    void add(const QString& column, const QVariant& v);
    void fail(const QString& column);

    const TableDef* m_table;
    const QStringList* m_known;
    QStringList m_columns;
    QVariantList m_values;
    QString m_failed;
    bool m_ok = true;
};

// The user-defined fields stored from the grid, with their columns.
struct DefineField {
    QString name;
    int col;
    bool numeric;
};
const QList<DefineField>& defineFields();

// Accepts the grid's YYYY/MM/DD and the ISO form.
QDate cellDate(const QString& text);

// The values a new opening row of warehouse `whCode` stores from its grid cells.
RowValues insertValues(const QStringList& cells, const QString& whCode, const QString& department,
                       const QDate& vouDate);

class PackedRows;

// Inserts the rows of every slot that holds one into `table`, many rows per
// statement, inside the caller's unit of work. Columns no row fills and the table
// does not default are left out. Each statement is announced to the unit-step
// hook as "import/insert".
void insertRows(Database& db, const PackedRows& rows, const QString& table = QStringLiteral("IA_Subsidiary"));

}  // namespace qc::opening::rows
