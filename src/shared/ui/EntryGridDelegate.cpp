#include "shared/ui/EntryGridDelegate.h"

#include "shared/grid/GridModel.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QStyle>
#include <QToolButton>

namespace qc::grid {

CellEditor::CellEditor(bool withReference, QWidget* parent) : QLineEdit(parent) {
    setFrame(false);
    if (!withReference) return;
    m_button = new QToolButton(this);
    m_button->setObjectName(QStringLiteral("cellReference"));
    m_button->setText(QStringLiteral("..."));
    m_button->setToolTip(QStringLiteral("参照(F2)"));
    m_button->setCursor(Qt::ArrowCursor);
    // The button never takes the focus: clicking it must not count as leaving the cell.
    m_button->setFocusPolicy(Qt::NoFocus);
    m_button->setStyleSheet(
        QStringLiteral("QToolButton { border: 1px solid #8c9bab; border-radius: 2px;"
                       " background: #eef2f6; padding: 0px; font-weight: bold; }"
                       "QToolButton:hover { background: #dbe6f1; }"));
    connect(m_button, &QToolButton::clicked, this, &CellEditor::referenceRequested);
}

void CellEditor::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    if (!m_button) return;
    const int side = std::max(12, height() - 2);
    m_button->setGeometry(width() - side - 1, 1, side, side);
    setTextMargins(0, 0, side + 2, 0);
}

EntryGridDelegate::EntryGridDelegate(QObject* parent) : GridDelegate(parent) {}

QWidget* EntryGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& /*option*/,
                                         const QModelIndex& index) const {
    auto* editor = new CellEditor(hasReference && hasReference(index), parent);
    editor->setCellIndex(index);
    // Announced as the cell it edits: its column's caption and its row.
    editor->setAccessibleName(QStringLiteral("%1 第%2行")
                                  .arg(index.model()->headerData(index.column(), Qt::Horizontal).toString())
                                  .arg(index.row() + 1));
    editor->setAlignment(Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt()));
    const int limit = maxLength ? maxLength(index.data(GridModel::ColumnRole).toInt()) : 0;
    if (limit > 0) editor->setMaxLength(limit);
    auto* self = const_cast<EntryGridDelegate*>(this);
    connect(editor, &CellEditor::referenceRequested, self,
            [self, editor] { Q_EMIT self->referenceRequested(editor); });
    return editor;
}

void EntryGridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* e = qobject_cast<CellEditor*>(editor);
    if (!e) return;
    e->setText(index.data(Qt::EditRole).toString());
}

void EntryGridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                     const QModelIndex& index) const {
    auto* e = qobject_cast<CellEditor*>(editor);
    if (!e) return;
    const QString text = e->text();
    // Leaving a cell that was not changed is no edit.
    if (text == index.data(Qt::EditRole).toString()) return;
    if (!model->setData(index, text, Qt::EditRole)) {
        auto* m = qobject_cast<GridModel*>(model);
        m_refused = index;
        m_refusedText = m ? m->refusedValue() : text;
        return;
    }
    // The rules may have rewritten the value (a name becomes its code, a number
    // gets its decimals): the editor shows what the cell now holds.
    e->setText(index.data(Qt::EditRole).toString());
    Q_EMIT cellAccepted(index);
}

void EntryGridDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                             const QModelIndex& /*index*/) const {
    editor->setGeometry(option.rect);
}

std::pair<QPersistentModelIndex, QString> EntryGridDelegate::takeRefusal() {
    std::pair<QPersistentModelIndex, QString> r{m_refused, m_refusedText};
    m_refused = QPersistentModelIndex();
    m_refusedText.clear();
    return r;
}

bool EntryGridDelegate::commit(CellEditor* editor) {
    m_refused = QPersistentModelIndex();
    // The rules may show a message box; the editor losing the focus to it is
    // part of the check, not a second commit.
    const bool wasBusy = m_busy;
    m_busy = true;
    Q_EMIT commitData(editor);
    m_busy = wasBusy;
    if (!m_refused.isValid()) return true;
    const auto [index, text] = takeRefusal();
    editor->setText(text);
    editor->selectAll();
    editor->setFocus(Qt::OtherFocusReason);
    return false;
}

bool EntryGridDelegate::eventFilter(QObject* object, QEvent* event) {
    auto* editor = qobject_cast<CellEditor*>(object);
    if (!editor) return GridDelegate::eventFilter(object, event);

    switch (event->type()) {
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            switch (key->key()) {
                case Qt::Key_Tab:
                case Qt::Key_Backtab:
                case Qt::Key_Return:
                case Qt::Key_Enter: {
                    if (!commit(editor)) return true;
                    const bool forward =
                        key->key() != Qt::Key_Backtab && !(key->modifiers() & Qt::ShiftModifier);
                    const bool leave = (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
                                       (key->modifiers() & Qt::ControlModifier);
                    Q_EMIT closeEditor(editor, NoHint);
                    if (leave)
                        Q_EMIT leaveRequested(forward);
                    else
                        Q_EMIT moveRequested(forward);
                    return true;
                }
                case Qt::Key_F2:
                    Q_EMIT referenceRequested(editor);
                    return true;
                default:
                    break;
            }
            break;
        }
        case QEvent::FocusOut: {
            if (m_busy) return true;
            // The focus moving within the editor (its button never takes it) is no leave.
            for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
                if (w == editor) return false;
            if (!editor->isVisible()) return false;
            if (!commit(editor)) {
                Q_EMIT focusKeptInCell();
                return true;
            }
            Q_EMIT closeEditor(editor, NoHint);
            return false;
        }
        case QEvent::Hide:
            if (m_busy) return true;
            break;
        default:
            break;
    }
    return GridDelegate::eventFilter(object, event);
}

}  // namespace qc::grid
