#pragma once

#include <QPersistentModelIndex>
#include <QSet>
#include <QTableView>

#include <functional>

namespace qc::grid {

class GridModel;
class ShownColumns;

class CellEditor;
class EntryGridDelegate;

// The grid of an entry window (opening balances, dispatched goods): a table view
// over a grid model without its hidden columns, that asks before the cursor leaves
// a row (the row check), moves to the next editable cell on Enter and Tab (the
// previous on Shift+Tab) as a spreadsheet does, leaves for the window's next or
// previous control on Ctrl+Tab and Ctrl+Shift+Tab (committing an open editor
// first), and puts a refused editor back on its cell.
class EntryGridView : public QTableView {
    Q_OBJECT
  public:
    explicit EntryGridView(QWidget* parent = nullptr);

    // Asked before the cursor leaves a model row for another; false keeps it there.
    std::function<bool(int fromRow, int toRow)> rowLeaving;
    // Whether a cell may be edited (the cursor skips the others on Enter and Tab).
    std::function<bool(const QModelIndex&)> cellEditable;

    void setEntryDelegate(EntryGridDelegate* delegate);
    // Shows a grid without its hidden columns. Cells are addressed in the grid's
    // rows and columns; the view's own indexes hold the shown columns only.
    void setGridModel(GridModel* grid);
    void setHiddenGridColumns(const QSet<int>& columns);
    [[nodiscard]] bool isGridColumnHidden(int column) const;
    void setGridColumnWidth(int column, int width);
    // The columns as the rules lay them out: widths in twips (the old unit, about
    // fifteen to a pixel), a width of 0 hiding its column, as do those in `hidden`.
    void applyColumnLayout(const QList<int>& twips, QSet<int> hidden);
    // The width of every grid column in twips, 0 for a hidden one.
    [[nodiscard]] QList<int> columnWidthsTwips() const;
    // The view's index of a grid cell (invalid when its column is hidden), and the
    // grid column of a view index (-1 when invalid).
    [[nodiscard]] QModelIndex cellIndex(int row, int column) const;
    [[nodiscard]] int gridColumn(const QModelIndex& index) const;
    [[nodiscard]] int currentGridColumn() const { return gridColumn(currentIndex()); }
    [[nodiscard]] bool editing() const { return state() == EditingState; }
    // The editor open on the current cell, if any.
    [[nodiscard]] CellEditor* currentEditor() const;
    // Commits and closes an open editor; false when the value was refused.
    bool finishEditing();
    // Makes a cell current, selects its row across all its columns and scrolls the
    // row to the top (where a find lands).
    void showRowAtTop(int row, int column);
    // Enter and Tab: the next (or previous) editable cell, row by row.
    void moveToNextCell(bool forward);
    // Ctrl+Tab: commits an open editor and gives the focus to the next (previous)
    // control of the window; false when the cell's value was refused.
    bool leaveGrid(bool forward);

  Q_SIGNALS:
    void referenceKey();
    void popupRequested(const QModelIndex& index, const QPoint& globalPos);

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

  private:
    bool mayMoveTo(const QModelIndex& target);
    void reopen(const QPersistentModelIndex& index, const QString& text);

    EntryGridDelegate* m_delegate = nullptr;
    ShownColumns* m_shown = nullptr;
    bool m_swallowPress = false;
};

}  // namespace qc::grid
