#pragma once

#include "host/Pickers.h"

#include <QDialog>
#include <QList>

#include <optional>

class QLineEdit;
class QTableView;

namespace qc {

class QueryRowsModel;
class RowsFilter;

// The multi-select inventory window: the items of Inventory that satisfy a
// condition, each with a check box; a search box narrows the list, 全选 and 全消
// check or clear the rows shown. OK answers the checked rows in list order.
class SelectionDialog : public QDialog {
    Q_OBJECT
  public:
    // Runs the query; throws DbError when it fails.
    SelectionDialog(Database& db, const SqlFragment& condition, QWidget* parent = nullptr);

    [[nodiscard]] std::optional<QList<PickedRow>> chosen() const { return m_chosen; }
    [[nodiscard]] QLineEdit* searchBox() const { return m_search; }
    [[nodiscard]] QTableView* list() const { return m_list; }
    // Checks or clears every row the list shows now.
    void checkShown(bool on);

    void accept() override;

  private:
    QueryRowsModel* m_model = nullptr;
    RowsFilter* m_filter = nullptr;
    QLineEdit* m_search = nullptr;
    QTableView* m_list = nullptr;
    std::optional<QList<PickedRow>> m_chosen;
};

}  // namespace qc
