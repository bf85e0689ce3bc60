#pragma once

#include "opening/OpeningGrid.h"

#include <QAbstractTableModel>

#include <functional>

namespace qc::opening {

// The opening grid as a table model. The grid's caption row becomes the
// horizontal header, so model row r is grid row r + 1 and the totals row, when
// there is one, is the model's last row.
//
// The grid tells about a change after it happened; the model keeps its own row
// count so that views see the usual begin/end pairs with consistent counts.
class OpeningModel : public QAbstractTableModel, public OpeningGrid::Listener {
    Q_OBJECT
  public:
    // Whether a grid cell may be edited (grid row, column).
    using EditablePredicate = std::function<bool(int gridRow, int col)>;
    // Checks and applies an edit of a grid cell: may rewrite the value and fill
    // other cells of the row through the grid; sets cancel when it is refused.
    using CellValidator = std::function<void(QString& value, bool& cancel, int gridRow, int col)>;

    explicit OpeningModel(OpeningGrid& grid, QObject* parent = nullptr);
    ~OpeningModel() override;

    void setEditable(EditablePredicate p) { m_editable = std::move(p); }
    void setValidator(CellValidator v) { m_validator = std::move(v); }
    // Columns painted in the colour of the dictionary-filled cells.
    void setDictionaryColumns(const QList<bool>& columns);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation o, int role) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Runs the validator; false (and nothing changed) when the value was refused.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    [[nodiscard]] static int gridRow(int modelRow) { return modelRow + 1; }
    [[nodiscard]] static int modelRow(int gridRow) { return gridRow - 1; }
    [[nodiscard]] bool isTotalsRow(int modelRow) const;
    [[nodiscard]] bool isDataRow(int modelRow) const { return m_grid.isDataRow(gridRow(modelRow)); }
    // The value the last refused edit left (the typed text, or "" when the rule cleared it).
    [[nodiscard]] const QString& refusedValue() const { return m_refusedValue; }

    // Numbers are right-aligned.
    [[nodiscard]] static bool isNumericColumn(int col);
    // The background of the dictionary-filled cells and of the totals row.
    static QColor dictionaryColour();

    // OpeningGrid::Listener
    void gridReset() override;
    void rowChanged(int row) override;
    void rowInserted(int row) override;
    void rowRemoved(int row) override;

  private:
    OpeningGrid& m_grid;
    int m_rows = 0;  // model rows as the views know them
    QList<bool> m_dictionary;
    EditablePredicate m_editable;
    CellValidator m_validator;
    QString m_refusedValue;
};

}  // namespace qc::opening
