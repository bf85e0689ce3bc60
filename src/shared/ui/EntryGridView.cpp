#include "shared/ui/EntryGridView.h"

#include "shared/ui/WindowLook.h"

#include "shared/grid/GridModel.h"
#include "shared/grid/ShownColumns.h"
#include "shared/ui/EntryGridDelegate.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

namespace qc::grid {

EntryGridView::EntryGridView(QWidget* parent) : QTableView(parent) {
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(false);
    setAlternatingRowColors(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    applyGridLook(this);

    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    verticalHeader()->setMinimumWidth(36);
}

void EntryGridView::setGridModel(GridModel* grid) {
    if (!m_shown) m_shown = new ShownColumns(this);
    m_shown->setSourceModel(grid);
    setModel(m_shown);
}

void EntryGridView::setHiddenGridColumns(const QSet<int>& columns) {
    if (m_shown) m_shown->setHiddenColumns(columns);
}

bool EntryGridView::isGridColumnHidden(int column) const {
    return !m_shown || m_shown->isHidden(column);
}

void EntryGridView::setGridColumnWidth(int column, int width) {
    const int shown = m_shown ? m_shown->shownColumn(column) : -1;
    if (shown >= 0) setColumnWidth(shown, width);
}

void EntryGridView::applyColumnLayout(const QList<int>& twips, QSet<int> hidden) {
    constexpr int kTwipsPerPixel = 15;
    for (int c = 0; c < twips.size(); ++c)
        if (twips.at(c) == 0) hidden.insert(c);
    setHiddenGridColumns(hidden);
    for (int c = 0; c < twips.size(); ++c)
        if (twips.at(c) > 0) setGridColumnWidth(c, std::max(40, twips.at(c) / kTwipsPerPixel + 12));
}

void EntryGridView::showRowAtTop(int row, int column) {
    const QModelIndex index = cellIndex(row, column);
    setCurrentIndex(index);
    selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index, QAbstractItemView::PositionAtTop);
}

QList<int> EntryGridView::columnWidthsTwips() const {
    constexpr int kTwipsPerPixel = 15;
    QList<int> widths;
    const int columns = m_shown && m_shown->sourceModel() ? m_shown->sourceModel()->columnCount() : 0;
    for (int c = 0; c < columns; ++c) {
        const int shown = m_shown->shownColumn(c);
        widths << (shown >= 0 ? columnWidth(shown) * kTwipsPerPixel : 0);
    }
    return widths;
}

QModelIndex EntryGridView::cellIndex(int row, int column) const {
    return m_shown ? m_shown->cell(row, column) : QModelIndex();
}

int EntryGridView::gridColumn(const QModelIndex& index) const {
    return m_shown ? m_shown->gridColumn(index) : -1;
}

void EntryGridView::setEntryDelegate(EntryGridDelegate* delegate) {
    m_delegate = delegate;
    setItemDelegate(delegate);
    connect(delegate, &EntryGridDelegate::moveRequested, this, &EntryGridView::moveToNextCell);
    connect(delegate, &EntryGridDelegate::leaveRequested, this, &EntryGridView::leaveGrid);
    connect(delegate, &EntryGridDelegate::focusKeptInCell, this, [this] {
        // The click that took the focus from a refused cell must not move the
        // cursor; it arrives right after this, in the same event.
        m_swallowPress = true;
        QTimer::singleShot(0, this, [this] { m_swallowPress = false; });
    });
}

CellEditor* EntryGridView::currentEditor() const {
    if (state() != EditingState) return nullptr;
    return qobject_cast<CellEditor*>(indexWidget(currentIndex()));
}

bool EntryGridView::finishEditing() {
    CellEditor* editor = currentEditor();
    if (!editor) return true;
    if (!m_delegate->commit(editor)) return false;
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

bool EntryGridView::mayMoveTo(const QModelIndex& target) {
    const QModelIndex cur = currentIndex();
    if (!target.isValid() || !cur.isValid() || target.row() == cur.row() || !rowLeaving) return true;
    return rowLeaving(cur.row(), target.row());
}

void EntryGridView::moveToNextCell(bool forward) {
    if (!model()) return;
    QModelIndex cur = currentIndex();
    if (!cur.isValid()) return;
    const int rows = model()->rowCount();
    const int cols = model()->columnCount();
    int r = cur.row(), c = cur.column();
    for (int steps = 0; steps < rows * cols; ++steps) {
        c += forward ? 1 : -1;
        if (c >= cols) {
            c = 0;
            ++r;
        } else if (c < 0) {
            c = cols - 1;
            --r;
        }
        if (r < 0 || r >= rows) return;
        const QModelIndex next = model()->index(r, c);
        if (cellEditable && !cellEditable(next)) continue;
        if (!mayMoveTo(next)) return;
        setCurrentIndex(next);
        return;
    }
}

bool EntryGridView::leaveGrid(bool forward) {
    if (!finishEditing()) return false;
    // The window's focus chain, deliberately past the item view's own Tab
    // navigation between cells.
    return QWidget::focusNextPrevChild(forward);  // NOLINT(bugprone-parent-virtual-call)
}

bool EntryGridView::event(QEvent* event) {
    // Tab reaches a widget as a request to move the focus; in the grid it moves the
    // cursor between cells, and with Ctrl it leaves the grid.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            const bool forward = key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier);
            if (key->modifiers() & Qt::ControlModifier)
                leaveGrid(forward);
            else if (state() != EditingState)
                moveToNextCell(forward);
            event->accept();
            return true;
        }
    }
    return QTableView::event(event);
}

void EntryGridView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (state() != EditingState) {
                moveToNextCell(!(event->modifiers() & Qt::ShiftModifier));
                event->accept();
                return;
            }
            break;
        case Qt::Key_F2:
            Q_EMIT referenceKey();
            event->accept();
            return;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End: {
            // An editor that lets an arrow key through is left: commit it first.
            if (state() == EditingState && !finishEditing()) {
                event->accept();
                return;
            }
            CursorAction action = MoveDown;
            switch (event->key()) {
                case Qt::Key_Up:
                    action = MoveUp;
                    break;
                case Qt::Key_PageUp:
                    action = MovePageUp;
                    break;
                case Qt::Key_PageDown:
                    action = MovePageDown;
                    break;
                case Qt::Key_Home:
                    action = MoveHome;
                    break;
                case Qt::Key_End:
                    action = MoveEnd;
                    break;
                default:
                    break;
            }
            if (!mayMoveTo(moveCursor(action, event->modifiers()))) {
                event->accept();
                return;
            }
            break;
        }
        default:
            break;
    }
    QTableView::keyPressEvent(event);
}

void EntryGridView::mousePressEvent(QMouseEvent* event) {
    if (m_swallowPress) {
        m_swallowPress = false;
        event->accept();
        return;
    }
    if (!mayMoveTo(indexAt(event->position().toPoint()))) {
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void EntryGridView::mouseReleaseEvent(QMouseEvent* event) {
    QTableView::mouseReleaseEvent(event);
    if (event->button() != Qt::RightButton) return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && index.row() == currentIndex().row())
        Q_EMIT popupRequested(index, event->globalPosition().toPoint());
}

void EntryGridView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    QTableView::closeEditor(editor, hint);
    // The view committed on its own (the cursor was moved by code) and the rules
    // refused: back to that cell with the refused text.
    if (m_delegate && m_delegate->refusalPending()) {
        const auto [index, text] = m_delegate->takeRefusal();
        QTimer::singleShot(0, this, [this, index = index, text = text] { reopen(index, text); });
    }
}

void EntryGridView::reopen(const QPersistentModelIndex& index, const QString& text) {
    if (!index.isValid()) return;
    setCurrentIndex(index);
    edit(index);
    if (CellEditor* editor = currentEditor()) {
        editor->setText(text);
        editor->selectAll();
    }
}

}  // namespace qc::grid
