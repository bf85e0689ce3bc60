#pragma once

#include "shared/ui/GridDelegate.h"

#include <QLineEdit>
#include <QPersistentModelIndex>

#include <functional>

class QToolButton;

namespace qc::grid {

// The editor of a grid cell: a text box, with a small "..." button at its right
// end when the cell has a reference (F2 does the same).
class CellEditor : public QLineEdit {
    Q_OBJECT
  public:
    CellEditor(bool withReference, QWidget* parent);
    [[nodiscard]] QToolButton* referenceButton() const { return m_button; }
    [[nodiscard]] QPersistentModelIndex cellIndex() const { return m_index; }
    void setCellIndex(const QModelIndex& index) { m_index = index; }

  Q_SIGNALS:
    void referenceRequested();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    QToolButton* m_button = nullptr;
    QPersistentModelIndex m_index;
};

// Editors of an entry grid. An edit is checked when it is committed (Enter,
// Tab, or the focus leaving the cell): a refused value keeps the editor open on
// its cell with the text the rule left, so that the user corrects it there.
class EntryGridDelegate : public GridDelegate {
    Q_OBJECT
  public:
    explicit EntryGridDelegate(QObject* parent = nullptr);

    // Whether the cell (model row, column) offers a reference.
    std::function<bool(const QModelIndex&)> hasReference;
    // The longest text a column takes (0: no limit).
    std::function<int(int col)> maxLength;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

    // Commits an open editor now; false when the value was refused (the editor
    // then stays open with the text the rule left).
    bool commit(CellEditor* editor);
    // Something modal is shown over an open editor (a message or a pick window):
    // its losing the focus then is no reason to commit.
    void setBusy(bool busy) { m_busy = busy; }
    [[nodiscard]] bool busy() const { return m_busy; }
    // A commit the view made on its own (not through commit()) was refused: the
    // cell to go back to and the text to reopen it with. Cleared by takeRefusal().
    [[nodiscard]] bool refusalPending() const { return m_refused.isValid(); }
    std::pair<QPersistentModelIndex, QString> takeRefusal();

  Q_SIGNALS:
    // An edit of the cell was accepted by the rules.
    void cellAccepted(const QModelIndex& index) const;
    // Enter or Tab (forward) or Shift+Tab (backward) committed the cell.
    void moveRequested(bool forward);
    // Ctrl+Tab (forward) or Ctrl+Shift+Tab (backward) committed the cell: the focus
    // leaves the grid for the next (previous) control of the window.
    void leaveRequested(bool forward);
    // The user asked for the reference of the cell being edited.
    void referenceRequested(CellEditor* editor);
    // The focus left a refused cell: the click that took it must not move the cursor.
    void focusKeptInCell();

  protected:
    bool eventFilter(QObject* object, QEvent* event) override;

  private:
    bool m_busy = false;
    mutable QPersistentModelIndex m_refused;
    mutable QString m_refusedText;
};

}  // namespace qc::grid
