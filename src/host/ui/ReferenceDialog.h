#pragma once

#include "host/Pickers.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QList>
#include <QSortFilterProxyModel>
#include <QStringList>
#include <QVariantList>

#include <optional>

class QLineEdit;
class QTableView;
class QTreeWidget;
class QTreeWidgetItem;

namespace qc {

// The rows of one query, read once, optionally with a check mark per row.
class QueryRowsModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit QueryRowsModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}
    // Runs the query and keeps its rows; throws DbError.
    void load(Database& db, const SqlFragment& query);
    void setCaptions(const QStringList& captions) { m_captions = captions; }
    void setCheckable(bool on) { m_checkable = on; }

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation o, int role) const override;

    [[nodiscard]] const QStringList& fields() const { return m_fields; }
    [[nodiscard]] int fieldIndex(const QString& name) const;  // -1 when absent
    [[nodiscard]] QVariant value(int row, int column) const { return m_rows.at(row).at(column); }
    [[nodiscard]] PickedRow pickedRow(int row) const;
    [[nodiscard]] bool isChecked(int row) const { return m_checked.value(row); }
    void setChecked(int row, bool on);
    void setAllChecked(bool on);

  private:
    QStringList m_fields;  // lower case
    QStringList m_captions;
    QList<QVariantList> m_rows;
    QList<bool> m_checked;
    bool m_checkable = false;
};

// Keeps the rows that contain a search text in a shown column (without regard
// to case) and, when a class is chosen, whose class column starts with it.
class RowsFilter : public QSortFilterProxyModel {
    Q_OBJECT
  public:
    explicit RowsFilter(QObject* parent = nullptr) : QSortFilterProxyModel(parent) {}
    void setSearch(const QString& text);
    void setClassFilter(int column, const QString& classCode);
    void setSearchColumns(int count) { m_searchColumns = count; }

  protected:
    [[nodiscard]] bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

  private:
    QString m_search;
    int m_classColumn = -1;
    QString m_classCode;
    int m_searchColumns = -1;
};

// The reference window: a search box, the class tree (when the query has one) and
// the list of entries. Enter or a double click picks the current entry, Esc
// cancels. The search box has the focus; the arrow keys move through the list.
class ReferenceDialog : public QDialog {
    Q_OBJECT
  public:
    // Runs the queries; throws DbError when one fails.
    ReferenceDialog(Database& db, const ReferenceQuery& query, QWidget* parent = nullptr);

    [[nodiscard]] std::optional<PickedRow> picked() const { return m_picked; }
    [[nodiscard]] QLineEdit* searchBox() const { return m_search; }
    [[nodiscard]] QTableView* list() const { return m_list; }
    [[nodiscard]] QTreeWidget* classTree() const { return m_tree; }
    // Rows the list shows now.
    [[nodiscard]] int visibleRows() const;

    void accept() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void fillTree(Database& db, const SqlFragment& treeQuery);
    void classChosen(QTreeWidgetItem* item);
    void searchChanged(const QString& text);

    QueryRowsModel* m_model = nullptr;
    RowsFilter* m_filter = nullptr;
    QLineEdit* m_search = nullptr;
    QTableView* m_list = nullptr;
    QTreeWidget* m_tree = nullptr;
    int m_classColumn = -1;
    std::optional<PickedRow> m_picked;
};

}  // namespace qc
