// The dispatched-goods window: its widgets, and what the user does translated
// into the rules' commands.

#include "dispatched/ui/FrmQcFcsp.h"

#include "dispatched/DispatchedColumns.h"
#include "dispatched/ui/frmQcFcspCon.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"
#include "shared/OutputCommands.h"
#include "shared/grid/GridModel.h"
#include "shared/ui/EntryGridDelegate.h"
#include "shared/ui/EntryGridView.h"
#include "shared/ui/GridPrinter.h"
#include "shared/ui/HelpPage.h"
#include "shared/ui/QcToolbar.h"
#include "shared/ui/StepProgress.h"
#include "shared/ui/frmInitFind.h"
#include "summary/ui/SummaryFlow.h"

#include <optional>

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QShortcut>
#include <QVBoxLayout>

namespace qc::dispatched {

namespace C = DCol;

FrmQcFcsp::FrmQcFcsp(LoginContext& ctx, Pickers& pickers, BusinessType type, QWidget* parent)
    : EntryDialog(parent), m_ctx(ctx), m_pickers(pickers), m_boxSink(this) {
    setObjectName(QStringLiteral("FrmQcFcsp"));
    m_previousSink = m_ctx.sink;
    m_ctx.sink = &m_boxSink;

    m_entry = std::make_unique<DispatchedEntry>(m_ctx, type);
    m_entry->Load();
    setWindowTitle(m_entry->caption());
    buildWidgets();
    resize(1180, 680);
}

FrmQcFcsp::~FrmQcFcsp() {
    // The grid reads the rules' model: it goes before the rules do.
    hide();
    delete rowsView;
    rowsView = nullptr;
    if (m_ctx.sink == &m_boxSink) m_ctx.sink = m_previousSink;
}

void FrmQcFcsp::buildWidgets() {
    toolbar = new QcToolbar(this);
    toolbar->setObjectName(QStringLiteral("toolbar"));
    toolbar->setAccessibleName(m_entry->caption() + QStringLiteral("工具栏"));
    // Groups: output; fetching, querying and clearing; summary; finding and sorting; help.
    toolbar->buildButtons(
        m_entry->toolbar(),
        {QStringLiteral("OutPut"), QStringLiteral("Clear"), QStringLiteral("Sum"), QStringLiteral("ROrder")},
        {QStringLiteral("Find"), QStringLiteral("Help")});
    toolbar->applyButtons(m_entry->toolbar());
    connect(toolbar, &QcToolbar::buttonClicked, this, [this](int index, const QString& key) {
        if (index == 0) runCommand(key);
    });

    titleLabel = makeTitleLabel(m_entry->caption());

    sortLabel = new QLabel(QStringLiteral("排列方式(&L):"), this);
    sortLabel->setObjectName(QStringLiteral("sortLabel"));
    sortColumnList = new QComboBox(this);
    sortColumnList->setObjectName(QStringLiteral("sortColumnList"));
    sortColumnList->setMinimumWidth(120);
    sortColumnList->setMaxVisibleItems(20);
    sortColumnList->setAccessibleName(QStringLiteral("排列方式"));
    sortColumnList->addItems(m_entry->sortItems());
    sortColumnList->setCurrentIndex(sortColumnList->count() > 0 ? 0 : -1);
    sortLabel->setBuddy(sortColumnList);

    rowCountLabel = new QLabel(this);
    rowCountLabel->setObjectName(QStringLiteral("rowCountLabel"));
    rowCountLabel->setStyleSheet(QStringLiteral("color: #1f3a5f;"));

    grid::GridModel& grid = m_entry->grid();
    grid.setValidator([this](QString& value, bool& cancel, int row, int col) {
        m_entry->ValidateAndStore(value, cancel, row, col);
    });
    m_delegate = new grid::EntryGridDelegate(this);
    m_delegate->setGroupThousands(true);
    m_delegate->hasReference = [](const QModelIndex& index) {
        return index.isValid() && index.data(grid::GridModel::ColumnRole).toInt() == C::OutHead;
    };
    m_delegate->maxLength = [](int col) { return col == C::OutHead ? 120 : 0; };
    connect(m_delegate, &grid::EntryGridDelegate::referenceRequested, this, &FrmQcFcsp::cellReference);

    rowsView = new grid::EntryGridView(this);
    rowsView->setObjectName(QStringLiteral("rowsView"));
    rowsView->setAccessibleName(m_entry->caption() + QStringLiteral("明细"));
    rowsView->setGridModel(&grid);
    rowsView->setEntryDelegate(m_delegate);
    rowsView->setEditTriggers(m_entry->gridReadOnly()
                                  ? QAbstractItemView::NoEditTriggers
                                  : QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked);
    connect(rowsView, &grid::EntryGridView::referenceKey, this, &FrmQcFcsp::currentReference);
    connect(&grid, &QAbstractItemModel::modelReset, this, &FrmQcFcsp::showRowCount);
    applyColumns();
    showRowCount();

    // Ctrl+F in either case, and F1; the grid's editor keeps them for itself.
    auto* findKey = new QShortcut(this);
    findKey->setKeys({QKeySequence(Qt::CTRL | Qt::Key_F), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)});
    connect(findKey, &QShortcut::activated, this, [this] { runCommand(QStringLiteral("Find")); });
    auto* helpKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(helpKey, &QShortcut::activated, this, [this] { runCommand(QStringLiteral("Help")); });

    auto* controls = new QHBoxLayout;
    controls->setSpacing(6);
    controls->addWidget(sortLabel);
    controls->addWidget(sortColumnList);
    controls->addStretch(1);
    controls->addWidget(rowCountLabel);

    layOut(toolbar, titleLabel, controls, rowsView);
    setTabOrder(sortColumnList, rowsView);
}

void FrmQcFcsp::setMessageSink(MessageSink& sink) {
    m_ctx.sink = &sink;
}

void FrmQcFcsp::applyColumns() {
    rowsView->applyColumnLayout(m_entry->columnWidths(), {C::AutoId});
}

void FrmQcFcsp::showRowCount() {
    const int rows = m_entry->grid().dataRowCount();
    rowCountLabel->setText(m_query.isEmpty() ? QStringLiteral("请按“查询”列出期初数据")
                                             : QStringLiteral("共 %1 行").arg(rows));
}

void FrmQcFcsp::runCommand(const QString& key) {
    // 取数 and 清空 show how far they got.
    std::optional<StepProgress> progress;
    if (key == u"Getcount" || key == u"Clear") progress.emplace(this);
    const bool editing = rowsView->editing();
    if (key == u"Print" || key == u"Preview" || key == u"OutPut") {
        if (!m_entry->OutputAllowed(key)) return;
        runOutputCommand(m_ctx, m_pickers, this, key,
                         OutputOf(model(), rowsView->columnWidthsTwips(), m_entry->caption()),
                         {UnitName(m_ctx)});
    } else if (key == u"Getcount") {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_entry->Fetch();
        QApplication::restoreOverrideCursor();
    } else if (key == u"Seek") {
        if (!editing || rowsView->finishEditing()) seek();
    } else if (key == u"Clear") {
        if (editing && !rowsView->finishEditing()) return;
        if (m_entry->Clear()) m_entry->Refresh(m_query);
        showRowCount();
    } else if (key == u"Sum") {
        if (editing && !rowsView->finishEditing()) return;
        summary::runSummary(m_ctx, m_pickers,
                            m_entry->businessType() == BusinessType::Instalment
                                ? summary::SummaryKind::Instalment
                                : summary::SummaryKind::Consignment,
                            this);
    } else if (key == u"Find") {
        if (!editing && m_entry->grid().dataRowCount() > 0) find();
    } else if (key == u"Order" || key == u"ROrder") {
        if (!editing) m_entry->Sort(sortColumnList->currentText(), key == u"Order");
    } else if (key == u"Help") {
        showHelp();
    } else if (key == u"Exit") {
        if (!editing) close();
    }
}

void FrmQcFcsp::seek() {
    if (!m_conditions) m_conditions = new frmQcFcspCon(m_ctx, m_pickers, this);
    bool accepted = false;
    SqlFragment query;
    m_conditions->Seeks(m_entry->businessType(), query, accepted);
    if (!accepted) return;
    m_query = query;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        m_entry->Refresh(m_query);
    } catch (const DbError& e) {
        QApplication::restoreOverrideCursor();
        sinkOf(m_ctx).critical(e.message());
        return;
    }
    QApplication::restoreOverrideCursor();
    applyColumns();
    showRowCount();
    if (m_entry->grid().dataRowCount() > 0) {
        rowsView->setCurrentIndex(rowsView->cellIndex(0, C::OutAmount));
        rowsView->setFocus(Qt::OtherFocusReason);
    }
}

void FrmQcFcsp::find() {
    frmInitFind dlg(m_ctx, m_pickers, this);
    dlg.setWindowTitle(m_entry->caption());
    dlg.setFrmName(QStringLiteral("FrmQcFcsp"));
    FindGrid target;
    target.rowCount = [this] { return m_entry->grid().dataRowCount(); };
    target.cellText = [this](int row, int col) { return m_entry->grid().text(row, col); };
    target.moveTo = [this](int row) { rowsView->showRowAtTop(row, C::InvCode); };
    dlg.setGrid(std::move(target));
    dlg.exec();
    rowsView->setFocus(Qt::OtherFocusReason);
}

void FrmQcFcsp::cellReference(grid::CellEditor* editor) {
    m_delegate->setBusy(true);
    const std::optional<QString> code = m_entry->PickSubject(m_pickers, editor->text());
    m_delegate->setBusy(false);
    editor->setFocus(Qt::OtherFocusReason);
    if (!code) return;
    // The picked code is the edited value: checked and stored as if typed.
    editor->setText(*code);
    if (rowsView->finishEditing()) rowsView->setFocus(Qt::OtherFocusReason);
}

void FrmQcFcsp::currentReference() {
    const QModelIndex index = rowsView->currentIndex();
    if (!index.isValid() || rowsView->gridColumn(index) != C::OutHead || m_entry->gridReadOnly()) return;
    if (grid::CellEditor* editor = rowsView->currentEditor()) {
        cellReference(editor);
        return;
    }
    const std::optional<QString> code =
        m_entry->PickSubject(m_pickers, m_entry->grid().text(index.row(), C::OutHead));
    if (code) rowsView->model()->setData(index, *code, Qt::EditRole);
}

void FrmQcFcsp::showHelp() {
    showHelpPage(
        this, m_entry->caption(),
        QStringLiteral("<h3>%1</h3>"
                       "<p>按“查询”选择仓库、存货和客户后，表格列出截止期初日期前已发出、尚未结算的商品。</p>"
                       "<ul>"
                       "<li>“取数”从销售发货单和发票取出期初数据；已有数据时不再取数。</li>"
                       "<li>可修改发货金额、已结算金额、单价、未结算金额和科目编码；改一个金额时，"
                       "其余金额和单价按同一单价重算。修改离开单元格即保存。</li>"
                       "<li>科目编码处按 F2 打开科目参照。</li>"
                       "<li>“清空”删除本业务类型的全部期初数据。</li>"
                       "<li>Tab、Shift+Tab 在可修改的单元格间移动；Ctrl+Tab 离开表格；Alt+L 排列方式。</li>"
                       "<li>Alt+Q 查询，Alt+G 取数，Alt+K 清空，Ctrl+F 定位，Alt+S 升序，Alt+R 降序，"
                       "Alt+P 打印，Alt+V 预览，Alt+O 输出，Alt+E 退出。</li>"
                       "</ul>")
            .arg(m_entry->caption()),
        m_ctx.gHelpFile);
}

bool FrmQcFcsp::mayClose() {
    // A cell being keyed is checked and stored before the window goes, or it stays.
    return rowsView->finishEditing();
}

}  // namespace qc::dispatched
