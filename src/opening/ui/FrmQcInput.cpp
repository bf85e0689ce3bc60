// The opening entry window's events: what the user does, translated into the
// rules' commands, and what the rules ask of the window.

#include "opening/ui/FrmQcInput.h"

#include "opening/ui/FrmImportProblems.h"

#include "opening/ui/frmInitCon.h"
#include "reconcile/ui/FrmCompareKc.h"
#include "session/LoginContext.h"
#include "shared/OutputCommands.h"
#include "shared/grid/GridModel.h"
#include "shared/ui/EntryGridDelegate.h"
#include "shared/ui/GridPrinter.h"
#include "shared/ui/QcToolbar.h"
#include "shared/ui/StepProgress.h"
#include "shared/ui/frmInitFind.h"
#include "summary/ui/SummaryFlow.h"

#include <optional>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>

namespace qc::opening {

void FrmQcInput::applyState() {
    valuationLabel->setText(m_entry->valuationLabel());
    totalsLabel->setText(m_entry->totalsLabel());
    toolbar->applyButtons(m_entry->toolbar());
    const bool readOnly = m_entry->gridReadOnly();
    rowsView->setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers
                                       : QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked);
    addRowAction->setEnabled(!readOnly);
    deleteRowAction->setEnabled(!readOnly);
}

int FrmQcInput::currentGridRow() const {
    const QModelIndex cur = rowsView->currentIndex();
    return cur.isValid() ? cur.row() : -1;
}

void FrmQcInput::focusCell(int row, int col) {
    const QModelIndex index = rowsView->cellIndex(row, col);
    if (!index.isValid()) return;
    rowsView->setCurrentIndex(index);
    rowsView->scrollTo(index);
    rowsView->setFocus(Qt::OtherFocusReason);
}

bool FrmQcInput::inEditMode() const {
    return rowsView->editing();
}

bool FrmQcInput::checkRow(int row) {
    if (!m_edited.contains(row) || !m_entry->grid().isDataRow(row)) return true;
    bool cancel = false;
    m_delegate->setBusy(true);
    m_entry->ValidateAndStoreRow(cancel, row);
    m_delegate->setBusy(false);
    applyState();
    if (cancel) return false;
    m_edited.remove(row);
    return true;
}

bool FrmQcInput::leaveCurrentRow() {
    if (!rowsView->finishEditing()) return false;
    const int row = currentGridRow();
    return row < 0 || checkRow(row);
}

void FrmQcInput::currentRowChanged(const QModelIndex& current, const QModelIndex& /*previous*/) {
    const int row = current.isValid() ? current.row() : -1;
    m_entry->setCurrentRow(row);
    m_entry->RowEntered(row);
    valuationLabel->setText(m_entry->valuationLabel());
}

void FrmQcInput::rowsRemoved(int first, int last) {
    const int n = last - first + 1;
    QSet<int> kept;
    for (int r : std::as_const(m_edited)) {
        if (r < first)
            kept.insert(r);
        else if (r > last)
            kept.insert(r - n);
    }
    m_edited = kept;
}

void FrmQcInput::warehouseChosen(int index) {
    if (inEditMode() || !leaveCurrentRow()) {
        // Still in a refused cell or row: the list goes back to what it showed.
        const QSignalBlocker block(warehouseList);
        warehouseList->setCurrentIndex(m_warehouseIndex);
        return;
    }
    m_entry->WarehouseClick(index >= 0 ? warehouseList->itemText(index) : QString());
    m_warehouseIndex = index;
    itemClassEdit->setText(m_entry->classCode());
    m_edited.clear();
    applyColumns();
    applyState();
    if (m_entry->grid().dataRowCount() > 0) rowsView->setCurrentIndex(rowsView->cellIndex(0, Col::InvCode));
}

void FrmQcInput::classBoxLeft() {
    const QString text = itemClassEdit->text().trimmed();
    if (text == m_entry->classCode()) return;
    if (!leaveCurrentRow()) {
        itemClassEdit->setText(m_entry->classCode());
        return;
    }
    m_entry->ClassBoxLeft(text);
    applyState();
}

void FrmQcInput::classReference() {
    if (!leaveCurrentRow()) return;
    m_entry->ClassReference();
    itemClassEdit->setText(m_entry->classCode());
    applyState();
}

void FrmQcInput::addRow(bool fromMenu) {
    if (!leaveCurrentRow()) return;
    const int before = m_entry->grid().dataRowCount();
    if (fromMenu)
        m_entry->mnuAdd();
    else
        m_entry->Dispatch(QStringLiteral("Add"));
    applyState();
    if (m_entry->grid().dataRowCount() > before) focusCell(m_entry->currentRow(), Col::InvCode);
}

void FrmQcInput::deleteRow() {
    if (inEditMode()) return;
    const int row = currentGridRow();
    const int col = rowsView->currentGridColumn();
    m_entry->setCurrentRow(row);
    m_entry->mnuDelete(row);
    applyState();
    // The cursor stays at the same place, on the row that took the deleted one's.
    const int rows = m_entry->grid().dataRowCount();
    if (rows > 0) focusCell(std::min(row, rows), col < 0 ? Col::InvCode : col);
}

void FrmQcInput::setMessageSink(MessageSink& sink) {
    m_ctx.sink = &sink;
}

void FrmQcInput::runCommand(const QString& key) {
    // 取数, 记账 and 恢复 show how far they got (the import shows its own
    // progress, which can be cancelled).
    std::optional<StepProgress> progress;
    if (key == u"Getcount" || key == u"Keep") progress.emplace(this);
    if (key == u"Add") {
        addRow(false);
        return;
    }
    if (key == u"Delete") {
        deleteRow();
        return;
    }
    // Commands that reload or reorder the rows first leave the row being keyed,
    // so that it is stored (or the user is told why not) rather than dropped.
    static const QStringList leaving{QStringLiteral("Query"),  QStringLiteral("Select"),
                                     QStringLiteral("Save"),   QStringLiteral("Order"),
                                     QStringLiteral("ROrder"), QStringLiteral("Exit")};
    if (leaving.contains(key) && !inEditMode() && !leaveCurrentRow()) return;
    const int before = m_entry->grid().dataRowCount();
    m_entry->Dispatch(key);
    if (key == u"Select") {
        // Rows picked in bulk are keyed rows: each is stored when the cursor leaves it.
        for (int r = before; r < m_entry->grid().dataRowCount(); ++r) m_edited.insert(r);
        if (m_entry->grid().dataRowCount() > before) focusCell(before, Col::InvCode);
    }
    if (key == u"Query") itemClassEdit->setText(m_entry->classCode());
    applyState();
}

void FrmQcInput::shortcut(QChar letter) {
    if (inEditMode()) return;
    if (letter == u'A') {
        const ToolButton* add = m_entry->button(QStringLiteral("Add"));
        if (add && add->enabled) addRow(false);
    } else if (letter == u'D') {
        deleteRow();
    } else {
        m_entry->Shortcut(letter, currentGridRow());
        applyState();
    }
}

void FrmQcInput::cellReference(grid::CellEditor* editor) {
    const QModelIndex index = editor->cellIndex();
    if (!index.isValid()) return;
    const int row = index.row(), col = rowsView->gridColumn(index);
    grid::GridModel& grid = m_entry->grid();
    // The pick window lists what matches the text typed so far.
    const QString before = grid.text(row, col);
    const QString typed = editor->text();
    if (typed != before) grid.setText(row, col, typed);
    const QStringList asTyped = grid.dataRow(row);
    m_delegate->setBusy(true);
    m_entry->ReferenceClicked(row, col);
    m_delegate->setBusy(false);
    const bool picked = grid.dataRow(row) != asTyped;
    if (!picked) {
        // Nothing picked: the cell as it was, the editor as the user left it.
        if (typed != before) grid.setText(row, col, before);
        editor->setFocus(Qt::OtherFocusReason);
        return;
    }
    m_edited.insert(row);
    editor->setText(grid.text(row, col));
    rowsView->finishEditing();
    rowsView->setFocus(Qt::OtherFocusReason);
    applyState();
}

void FrmQcInput::currentReference() {
    const QModelIndex index = rowsView->currentIndex();
    if (!index.isValid()) return;
    if (grid::CellEditor* editor = rowsView->currentEditor()) {
        cellReference(editor);
        return;
    }
    const int row = index.row();
    const QStringList before = m_entry->grid().dataRow(row);
    m_entry->ReferenceClicked(row, rowsView->gridColumn(index));
    if (m_entry->grid().dataRow(row) != before) m_edited.insert(row);
    applyState();
}

bool FrmQcInput::showFilter(QString& classCode, QString& codeFrom, QString& codeTo) {
    // One filter dialog for the life of the window: it keeps its boxes between uses.
    if (!m_filter) m_filter = new frmInitCon(m_ctx, m_pickers, this);
    m_filter->setStrInvCCode(classCode);
    m_filter->setStrInvCodeFrom(codeFrom);
    m_filter->setStrInvCodeTo(codeTo);
    if (!m_filter->run()) return false;
    classCode = m_filter->strInvCCode();
    codeFrom = m_filter->strInvCodeFrom();
    codeTo = m_filter->strInvCodeTo();
    return true;
}

void FrmQcInput::showFind() {
    frmInitFind dlg(m_ctx, m_pickers, this);
    dlg.setWindowTitle(QStringLiteral("期初录入"));
    dlg.setFrmName(QStringLiteral("FrmQcInput"));
    FindGrid target;
    target.rowCount = [this] { return m_entry->grid().dataRowCount(); };
    target.cellText = [this](int row, int col) { return m_entry->grid().text(row, col); };
    target.find = [this](const QString& text) { return m_entry->FindRow(text); };
    target.moveTo = [this](int row) {
        const QModelIndex index = rowsView->cellIndex(row, Col::InvCode);
        if (index.row() != rowsView->currentIndex().row() && !leaveCurrentRow()) return;
        rowsView->showRowAtTop(row, Col::InvCode);
    };
    dlg.setGrid(std::move(target));
    dlg.exec();
    rowsView->setFocus(Qt::OtherFocusReason);
}

void FrmQcInput::showSummary() {
    summary::runSummary(m_ctx, m_pickers, summary::SummaryKind::Opening, this);
    rowsView->setFocus(Qt::OtherFocusReason);
}

void FrmQcInput::showCompare() {
    reconcile::runReconcile(m_ctx, m_pickers, this);
    rowsView->setFocus(Qt::OtherFocusReason);
}

void FrmQcInput::printGrid(const QString& key) {
    // The pages are headed and footed by the print set-up: the warehouse as
    // "name(code)", the unit, the operator and the login date.
    PrintSetup setup;
    try {
        setup = m_entry->PreparePrint(QStringLiteral("仓库："), m_entry->currentWarehouseName());
    } catch (const DbError& e) {
        sinkOf(m_ctx).critical(e.message());
        return;
    }
    runOutputCommand(m_ctx, m_pickers, this, key,
                     OutputOf(m_entry->grid(), rowsView->columnWidthsTwips(), titleLabel->text()),
                     setup.header, setup.footer);
}

void FrmQcInput::setBusy(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
        delete m_progress;
    }
}

bool FrmQcInput::importProgress(int done, int total) {
    if (!m_progress) {
        m_progress = new QProgressDialog(QStringLiteral("正在检查导入的数据……"), QStringLiteral("取消"), 0,
                                         total, this);
        m_progress->setWindowTitle(QStringLiteral("导入"));
        m_progress->setWindowModality(Qt::WindowModal);
        m_progress->setMinimumDuration(300);
    }
    m_progress->setValue(done);
    QApplication::processEvents();
    return !m_progress->wasCanceled();
}

void FrmQcInput::showImportProblems(const QList<ImportProblem>& problems) {
    delete m_progress;
    FrmImportProblems window(m_ctx, m_pickers, problems, this);
    window.exec();
}

void FrmQcInput::closeWindow() {
    close();
}

bool FrmQcInput::mayClose() {
    if (m_unloaded) return true;
    // A row being keyed is stored before the window goes, or the window stays.
    if (!leaveCurrentRow() || !m_entry->Unload()) return false;
    m_unloaded = true;
    return true;
}

bool FrmQcInput::eventFilter(QObject* watched, QEvent* event) {
    if (watched == itemClassEdit) {
        if (event->type() == QEvent::FocusOut) {
            classBoxLeft();
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                classBoxLeft();
                return true;
            }
            if (key == Qt::Key_F2) {
                classReference();
                return true;
            }
        }
    }
    return EntryDialog::eventFilter(watched, event);
}

}  // namespace qc::opening
