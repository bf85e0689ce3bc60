#pragma once

#include <QSet>
#include <QSortFilterProxyModel>

namespace qc::grid {

// The columns of a grid that a view shows: the grid without its hidden columns, so
// that the view, and what it tells assistive technology, hold only what the user
// sees. Rows pass through unchanged; cells are addressed in the grid's columns.
class ShownColumns : public QSortFilterProxyModel {
    Q_OBJECT
  public:
    explicit ShownColumns(QObject* parent = nullptr);

    // Hides exactly these columns of the grid.
    void setHiddenColumns(const QSet<int>& columns);
    [[nodiscard]] bool isHidden(int column) const { return m_hidden.contains(column); }
    // The shown cell at a row and a column of the grid; invalid when hidden.
    [[nodiscard]] QModelIndex cell(int row, int column) const;
    // The view's column of a grid column, rows or none; -1 when hidden.
    [[nodiscard]] int shownColumn(int column) const;
    // The grid's column of a shown cell; -1 for an invalid index.
    [[nodiscard]] int gridColumn(const QModelIndex& index) const;

  protected:
    [[nodiscard]] bool filterAcceptsColumn(int sourceColumn, const QModelIndex& sourceParent) const override;

  private:
    QSet<int> m_hidden;
};

}  // namespace qc::grid
