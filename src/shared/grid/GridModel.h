#pragma once

// The one model of every grid: entry grids (typed rows, checked cell by cell)
// and result grids (read-only). It owns its rows as the texts the user sees,
// keeps the totals row (the last row while there are data rows) up to date as
// cells change, and tells its views through Qt's begin/end signals itself.
// Rows are numbered from 0; the totals row follows the data rows.

#include "platform/Decimal.h"
#include "shared/grid/ColumnSpec.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <functional>

namespace qc::grid {

class GridModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    // Roles beyond Qt's: a view paints from them (the model knows no colours).
    enum Role {
        DictionaryRole = Qt::UserRole + 1,  // bool: a dictionary-filled cell or the totals row
        TotalsRowRole,                      // bool: the totals row
        ColumnRole,                         // int: the cell's column in this grid (through any proxy)
        NumericRole,                        // bool: a number column (quantity, price, amount)
    };
    // Whether a cell may be edited now (row, column), beyond what its column allows.
    using EditablePredicate = std::function<bool(int row, int col)>;
    // Checks and applies an edit: may rewrite the value and fill other cells of
    // the row; sets cancel when the value is refused.
    using CellValidator = std::function<void(QString& value, bool& cancel, int row, int col)>;
    // The text of a column's sum in the totals row.
    using TotalFormat = std::function<QString(int col, const Decimal& sum)>;

    explicit GridModel(ColumnTable columns, QObject* parent = nullptr);

    [[nodiscard]] const ColumnTable& columns() const { return m_columns; }
    [[nodiscard]] int columnTotal() const { return static_cast<int>(m_columns.size()); }
    [[nodiscard]] QString caption(int col) const;
    [[nodiscard]] QStringList captions() const;
    void setCaption(int col, const QString& caption);

    // ---- rows
    [[nodiscard]] int dataRowCount() const { return static_cast<int>(m_rows.size()); }
    [[nodiscard]] bool hasTotals() const { return m_hasTotals && !m_rows.isEmpty(); }
    // The totals row (dataRowCount()), or -1 when there is none.
    [[nodiscard]] int totalsRow() const { return hasTotals() ? dataRowCount() : -1; }
    [[nodiscard]] bool isDataRow(int row) const { return row >= 0 && row < dataRowCount(); }
    // The text of a data row's or the totals row's cell; "" outside.
    [[nodiscard]] QString text(int row, int col) const;
    // Sets a data row's cell (nothing elsewhere); the totals follow.
    void setText(int row, int col, const QString& value);
    [[nodiscard]] QStringList dataRow(int row) const;
    void clear();
    // Replaces every row at once (loading).
    void setDataRows(QList<QStringList> rows);
    // Appends an empty row; returns it.
    int addEmptyRow();
    // Appends rows; returns the first of them.
    int insertDataRows(const QList<QStringList>& rows);
    void removeDataRow(int row);
    // Sorts the rows by a column: numbers as numbers when every non-empty text of
    // the column is one, texts without regard to case otherwise; empty cells first;
    // stable.
    void sortBy(int col, bool ascending);

    // ---- totals
    // A totals row is kept when some column has a total; `caption` stands in
    // column `col` of it.
    void setTotalsCaption(int col, const QString& caption);
    void setTotalFormat(TotalFormat format);
    // The sum of a column with a total over the data rows.
    [[nodiscard]] Decimal total(int col) const;

    // ---- editing
    void setReadOnly(bool readOnly);
    [[nodiscard]] bool readOnly() const { return m_readOnly; }
    void setEditable(EditablePredicate p) { m_editable = std::move(p); }
    void setValidator(CellValidator v) { m_validator = std::move(v); }
    // The value the last refused edit left (the typed text, or "" when the rule cleared it).
    [[nodiscard]] const QString& refusedValue() const { return m_refusedValue; }

    // ---- QAbstractTableModel
    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation o, int role) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Runs the validator; false (and nothing changed) when the value was refused.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  private:
    QStringList normalised(QStringList row) const;
    void addToTotals(const QStringList& row, int sign);
    void recountTotals();
    [[nodiscard]] bool hasTotal(int col) const;
    void totalsChanged(const QList<int>& cols);

    ColumnTable m_columns;
    QList<QStringList> m_rows;
    bool m_hasTotals = false;
    int m_totalsCaptionCol = -1;
    QString m_totalsCaption;
    TotalFormat m_totalFormat;
    QList<Decimal> m_sums;  // per column (zero where no total)
    QList<int> m_filled;    // data rows with a value, per column
    QList<int> m_totalColumns;
    bool m_readOnly = false;
    EditablePredicate m_editable;
    CellValidator m_validator;
    QString m_refusedValue;
};

}  // namespace qc::grid
