// The layout of the opening entry window: its widgets, toolbar and grid, built
// once, the columns as the rules set them up, and its help page.

#include "opening/ui/FrmQcInput.h"

#include "opening/ui/frmInitCon.h"
#include "session/LoginContext.h"
#include "shared/grid/GridModel.h"
#include "shared/ui/CommandKeys.h"
#include "shared/ui/EntryGridDelegate.h"
#include "shared/ui/HelpPage.h"
#include "shared/ui/QcToolbar.h"
#include "shared/ui/frmInitFind.h"

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
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace qc::opening {

namespace {

// The warehouse list tells the rules when it is opened.
class WarehouseCombo : public QComboBox {
  public:
    using QComboBox::QComboBox;
    std::function<void()> onPopup;
    void showPopup() override {
        if (onPopup) onPopup();
        QComboBox::showPopup();
    }
};

}  // namespace

FrmQcInput::FrmQcInput(LoginContext& ctx, Pickers& pickers, QWidget* parent)
    : EntryDialog(parent), m_ctx(ctx), m_pickers(pickers), m_boxSink(this) {
    setObjectName(QStringLiteral("FrmQcInput"));
    setWindowTitle(QStringLiteral("期初余额"));
    m_previousSink = m_ctx.sink;
    m_ctx.sink = &m_boxSink;

    m_entry = std::make_unique<OpeningEntry>(m_ctx, m_pickers, *this);
    buildWidgets();
    loadWindow();
    resize(1180, 700);
}

FrmQcInput::~FrmQcInput() {
    // The grid and its model read the rules' grid: they go before the rules do.
    hide();
    delete rowsView;
    rowsView = nullptr;
    m_model = nullptr;
    if (m_ctx.sink == &m_boxSink) m_ctx.sink = m_previousSink;
}

void FrmQcInput::buildWidgets() {
    toolbar = new QcToolbar(this);
    toolbar->setObjectName(QStringLiteral("toolbar"));
    toolbar->setAccessibleName(QStringLiteral("期初余额工具栏"));
    toolbar->setIndex(0);
    connect(toolbar, &QcToolbar::buttonClicked, this, [this](int index, const QString& key) {
        if (index == 0) runCommand(key);
    });

    titleLabel = makeTitleLabel(QStringLiteral("期 初 余 额"));

    // Each field is named for assistive technology by its label (without the
    // mnemonic), and reached by the label's Alt+letter.
    warehouseLabel = new QLabel(QStringLiteral("仓库(&W)："), this);
    warehouseLabel->setObjectName(QStringLiteral("warehouseLabel"));
    auto* wh = new WarehouseCombo(this);
    wh->onPopup = [this] {
        if (warehouseList->currentIndex() >= 0) m_entry->WarehouseDropDown(warehouseList->currentText());
    };
    warehouseList = wh;
    warehouseList->setObjectName(QStringLiteral("warehouseList"));
    warehouseList->setMinimumWidth(200);
    warehouseList->setMaxVisibleItems(20);
    warehouseList->setAccessibleName(QStringLiteral("仓库"));
    warehouseLabel->setBuddy(warehouseList);
    connect(warehouseList, &QComboBox::activated, this, &FrmQcInput::warehouseChosen);

    itemClassLabel = new QLabel(QStringLiteral("存货分类(&C)："), this);
    itemClassLabel->setObjectName(QStringLiteral("itemClassLabel"));
    itemClassEdit = new QLineEdit(this);
    itemClassEdit->setObjectName(QStringLiteral("itemClassEdit"));
    itemClassEdit->setFixedWidth(120);
    itemClassEdit->setAccessibleName(QStringLiteral("存货分类"));
    itemClassEdit->installEventFilter(this);
    itemClassLabel->setBuddy(itemClassEdit);
    itemClassButton = new QToolButton(this);
    itemClassButton->setObjectName(QStringLiteral("itemClassButton"));
    itemClassButton->setText(QStringLiteral("..."));
    itemClassButton->setToolTip(QStringLiteral("存货分类参照(F2)"));
    itemClassButton->setAccessibleName(QStringLiteral("存货分类参照"));
    // Clicking it must not count as leaving the class box; F2 in the box opens it.
    itemClassButton->setFocusPolicy(Qt::NoFocus);
    connect(itemClassButton, &QToolButton::clicked, this, &FrmQcInput::classReference);

    sortLabel = new QLabel(QStringLiteral("排列方式(&L):"), this);
    sortLabel->setObjectName(QStringLiteral("sortLabel"));
    sortColumnList = new QComboBox(this);
    sortColumnList->setObjectName(QStringLiteral("sortColumnList"));
    sortColumnList->setMinimumWidth(120);
    sortColumnList->setAccessibleName(QStringLiteral("排列方式"));
    sortLabel->setBuddy(sortColumnList);
    connect(sortColumnList, &QComboBox::currentTextChanged, this,
            [this](const QString& text) { m_entry->setSortText(text); });

    valuationLabel = new QLabel(this);
    valuationLabel->setObjectName(QStringLiteral("valuationLabel"));
    valuationLabel->setMinimumWidth(180);
    valuationLabel->setStyleSheet(QStringLiteral("color: #1f3a5f;"));
    totalsCaptionLabel = new QLabel(QStringLiteral("数量合计：\n金额合计："), this);
    totalsCaptionLabel->setObjectName(QStringLiteral("totalsCaptionLabel"));
    totalsLabel = new QLabel(this);
    totalsLabel->setObjectName(QStringLiteral("totalsLabel"));
    totalsLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    totalsLabel->setMinimumWidth(110);
    totalsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_model = &m_entry->grid();
    m_model->setEditable([this](int row, int col) { return m_entry->cellEditable(row, col); });
    m_model->setValidator([this](QString& value, bool& cancel, int row, int col) {
        m_entry->ValidateCell(value, cancel, row, col);
    });
    m_delegate = new grid::EntryGridDelegate(this);
    m_delegate->hasReference = [](const QModelIndex& index) {
        const int col = index.data(grid::GridModel::ColumnRole).toInt();
        return index.isValid() && col >= 0 && col < Col::Count && openingColumns().at(col).picked;
    };
    m_delegate->maxLength = [this](int col) { return m_entry->maxTextLength(col); };
    connect(m_delegate, &grid::EntryGridDelegate::cellAccepted, this, [this](const QModelIndex& index) {
        m_edited.insert(index.row());
        applyState();
    });
    connect(m_delegate, &grid::EntryGridDelegate::referenceRequested, this, &FrmQcInput::cellReference);

    rowsView = new grid::EntryGridView(this);
    rowsView->setObjectName(QStringLiteral("rowsView"));
    rowsView->setAccessibleName(QStringLiteral("期初余额明细"));
    rowsView->setGridModel(m_model);
    rowsView->setEntryDelegate(m_delegate);
    rowsView->rowLeaving = [this](int fromRow, int /*toRow*/) { return checkRow(fromRow); };
    rowsView->cellEditable = [this](const QModelIndex& index) {
        return m_entry->cellEditable(index.row(), rowsView->gridColumn(index));
    };
    connect(rowsView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &FrmQcInput::currentRowChanged);
    connect(rowsView, &grid::EntryGridView::referenceKey, this, &FrmQcInput::currentReference);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { m_edited.clear(); });
    connect(m_model, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last) { rowsRemoved(first, last); });

    rowMenu = new QMenu(this);
    rowMenu->setObjectName(QStringLiteral("rowMenu"));
    addRowAction = rowMenu->addAction(QStringLiteral("增加"));
    addRowAction->setObjectName(QStringLiteral("addRowAction"));
    insertRowAction = rowMenu->addAction(QStringLiteral("插入"));
    insertRowAction->setObjectName(QStringLiteral("insertRowAction"));
    deleteRowAction = rowMenu->addAction(QStringLiteral("删除"));
    deleteRowAction->setObjectName(QStringLiteral("deleteRowAction"));
    connect(addRowAction, &QAction::triggered, this, [this] { addRow(true); });
    connect(deleteRowAction, &QAction::triggered, this, &FrmQcInput::deleteRow);
    connect(rowsView, &grid::EntryGridView::popupRequested, this,
            [this](const QModelIndex& index, const QPoint& pos) {
                if (!m_model->isDataRow(index.row())) return;
                rowMenu->popup(pos);
            });

    // Ctrl+A, Ctrl+D and Ctrl+F in either case; the grid's editor keeps them for itself.
    for (const QChar letter : {u'A', u'D', u'F'}) {
        auto* sc = new QShortcut(this);
        const auto key = static_cast<Qt::Key>(letter.unicode());
        sc->setKeys({QKeySequence(Qt::CTRL | key), QKeySequence(Qt::CTRL | Qt::SHIFT | key)});
        sc->setContext(Qt::WindowShortcut);
        connect(sc, &QShortcut::activated, this, [this, letter] { shortcut(letter); });
    }
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [this] { runCommand(QStringLiteral("Help")); });

    auto* controls = new QHBoxLayout;
    controls->setSpacing(6);
    controls->addWidget(warehouseLabel);
    controls->addWidget(warehouseList);
    controls->addSpacing(16);
    controls->addWidget(itemClassLabel);
    controls->addWidget(itemClassEdit);
    controls->addWidget(itemClassButton);
    controls->addSpacing(16);
    controls->addWidget(sortLabel);
    controls->addWidget(sortColumnList);
    controls->addSpacing(24);
    controls->addWidget(valuationLabel);
    controls->addStretch(1);
    controls->addWidget(totalsCaptionLabel);
    controls->addWidget(totalsLabel);

    layOut(toolbar, titleLabel, controls, rowsView);
}

void FrmQcInput::buildToolbar() {
    // The groups of the old toolbar: output, editing, queries, posting, sorting, help.
    // Add, Delete, Find and Help are the window's own shortcuts (in either case, and
    // kept from an open cell editor); the toolbar shows them.
    toolbar->buildButtons(
        m_entry->toolbar(),
        {QStringLiteral("OutPut"), QStringLiteral("Template"), QStringLiteral("Compare"),
         QStringLiteral("Keep"), QStringLiteral("ROrder")},
        {QStringLiteral("Add"), QStringLiteral("Delete"), QStringLiteral("Find"), QStringLiteral("Help")});
}

void FrmQcInput::loadWindow() {
    m_entry->Load();
    buildToolbar();
    warehouseList->clear();
    warehouseList->addItems(m_entry->warehouseItems());
    warehouseList->setCurrentIndex(-1);
    m_warehouseIndex = -1;
    {
        const QSignalBlocker block(sortColumnList);
        sortColumnList->clear();
        sortColumnList->addItems(m_entry->sortItems());
        sortColumnList->setCurrentIndex(0);
    }
    m_entry->setSortText(sortColumnList->currentText());
    itemClassEdit->setText(m_entry->classCode());
    applyColumns();
    applyState();
}

void FrmQcInput::applyColumns() {
    QSet<int> hidden{Col::AutoId};
    if (!m_entry->planColumnsVisible()) hidden += QSet<int>{Col::PlanPrice, Col::PlanAmount};
    rowsView->applyColumnLayout(m_entry->columnWidths(), hidden);
}

void FrmQcInput::showHelp(const QString& helpFile, int context) {
    showHelpPage(
        this, QStringLiteral("期初余额"),
        QStringLiteral("<h3>期初余额（帮助主题 %1）</h3>"
                       "<p>选择仓库后，表格列出该仓库的期初数据，最后一行为合计。</p>"
                       "<ul>"
                       "<li>在存货编码中输入存货的编码、名称或代码，回车后自动带出名称、规格和单位；</li>"
                       "<li>输入数量、单价或金额，其余两项自动计算；</li>"
                       "<li>离开一行时该行即检查并保存；检查不通过时光标留在该行；</li>"
                       "<li>Ctrl+A 增加一行，Ctrl+D 删除当前行，Ctrl+F 定位存货，F2 打开当前格的参照。</li>"
                       "<li>Tab、Shift+Tab 在单元格间移动；Ctrl+Tab、Ctrl+Shift+Tab 离开表格；"
                       "Alt+W 仓库，Alt+C 存货分类，Alt+L 排列方式。</li>"
                       "<li>Alt+Q 查询，Alt+X 选择，Alt+G 取数，Alt+I 导入，Alt+T 导入模板，Alt+J "
                       "记账（恢复），Alt+S 升序，Alt+R 降序，"
                       "Alt+P 打印，Alt+V 预览，Alt+O 输出，Alt+H 汇总，Alt+M 对账，Alt+E 退出。</li>"
                       "</ul>"
                       "<p>查询可按存货分类和存货范围缩小显示的数据；记账后期初数据不能再修改。</p>")
            .arg(context),
        helpFile);
}

}  // namespace qc::opening
