// The layout of the opening entry window: its widgets, toolbar and grid, built
// once, and the columns as the rules set them up.

#include "opening/ui/FrmQcInput.h"

#include "opening/ui/OpeningDelegate.h"
#include "opening/ui/frmInitCon.h"
#include "opening/ui/frmInitFind.h"
#include "session/LoginContext.h"
#include "shared/grid/GridModel.h"
#include "shared/ui/QcToolbar.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
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
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace qc::opening {

namespace {

// Column widths are kept in the old units (twips); a pixel is about fifteen.
constexpr int kTwipsPerPixel = 15;

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
    : QDialog(parent), m_ctx(ctx), m_pickers(pickers), m_boxSink(this) {
    setObjectName(QStringLiteral("FrmQcInput"));
    setWindowTitle(QStringLiteral("期初余额"));
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);
    setSizeGripEnabled(true);
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
    delete Grid;
    Grid = nullptr;
    m_model = nullptr;
    if (m_ctx.sink == &m_boxSink) m_ctx.sink = m_previousSink;
}

void FrmQcInput::buildWidgets() {
    toolbar = new QcToolbar(this);
    toolbar->setObjectName(QStringLiteral("Toolbar1"));
    toolbar->setIndex(0);
    connect(toolbar, &QcToolbar::buttonClicked, this, [this](int index, const QString& key) {
        if (index == 0) runCommand(key);
    });

    lblTitle = new QLabel(QStringLiteral("期 初 余 额"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setAlignment(Qt::AlignCenter);
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.7);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    lblTitle->setStyleSheet(QStringLiteral("color: #1f3a5f; padding: 6px 0px 2px 0px;"));

    Label1 = new QLabel(QStringLiteral("仓库："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    auto* wh = new WarehouseCombo(this);
    wh->onPopup = [this] {
        if (cboWh->currentIndex() >= 0) m_entry->WarehouseDropDown(cboWh->currentText());
    };
    cboWh = wh;
    cboWh->setObjectName(QStringLiteral("cboWh"));
    cboWh->setMinimumWidth(200);
    cboWh->setMaxVisibleItems(20);
    Label1->setBuddy(cboWh);
    connect(cboWh, &QComboBox::activated, this, &FrmQcInput::warehouseChosen);

    label5 = new QLabel(QStringLiteral("存货分类："), this);
    label5->setObjectName(QStringLiteral("label5"));
    txtInvCls = new QLineEdit(this);
    txtInvCls->setObjectName(QStringLiteral("txtInvCls"));
    txtInvCls->setFixedWidth(120);
    txtInvCls->installEventFilter(this);
    label5->setBuddy(txtInvCls);
    cmdRefInv = new QToolButton(this);
    cmdRefInv->setObjectName(QStringLiteral("cmdRefInv"));
    cmdRefInv->setText(QStringLiteral("..."));
    cmdRefInv->setToolTip(QStringLiteral("存货分类参照"));
    // Clicking it must not count as leaving the class box.
    cmdRefInv->setFocusPolicy(Qt::NoFocus);
    connect(cmdRefInv, &QToolButton::clicked, this, &FrmQcInput::classReference);

    txtType = new QLabel(QStringLiteral("排列方式:"), this);
    txtType->setObjectName(QStringLiteral("txtType"));
    cboType = new QComboBox(this);
    cboType->setObjectName(QStringLiteral("cboType"));
    cboType->setMinimumWidth(120);
    txtType->setBuddy(cboType);
    connect(cboType, &QComboBox::currentTextChanged, this,
            [this](const QString& text) { m_entry->setSortText(text); });

    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setMinimumWidth(180);
    Label2->setStyleSheet(QStringLiteral("color: #1f3a5f;"));
    Label3 = new QLabel(QStringLiteral("数量合计：\n金额合计："), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label4 = new QLabel(this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label4->setMinimumWidth(110);
    Label4->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_model = &m_entry->grid();
    m_model->setEditable([this](int row, int col) { return m_entry->cellEditable(row, col); });
    m_model->setValidator([this](QString& value, bool& cancel, int row, int col) {
        m_entry->ValidateCell(value, cancel, row, col);
    });
    m_delegate = new OpeningDelegate(this);
    m_delegate->hasReference = [](const QModelIndex& index) {
        return index.column() >= 0 && index.column() < Col::Count &&
               openingColumns().at(index.column()).picked;
    };
    m_delegate->maxLength = [this](int col) { return m_entry->maxTextLength(col); };
    connect(m_delegate, &OpeningDelegate::cellAccepted, this, [this](const QModelIndex& index) {
        m_edited.insert(index.row());
        applyState();
    });
    connect(m_delegate, &OpeningDelegate::referenceRequested, this, &FrmQcInput::cellReference);

    Grid = new OpeningView(this);
    Grid->setObjectName(QStringLiteral("Grid"));
    Grid->setModel(m_model);
    Grid->setOpeningDelegate(m_delegate);
    Grid->rowLeaving = [this](int fromRow, int /*toRow*/) { return checkRow(fromRow); };
    Grid->cellEditable = [this](const QModelIndex& index) {
        return m_entry->cellEditable(index.row(), index.column());
    };
    Grid->setStyleSheet(
        QStringLiteral("QTableView { gridline-color: #c8d0d8; selection-background-color: #cfe3f7;"
                       " selection-color: black; }"
                       "QHeaderView::section { background: #e9eef4; border: 0px;"
                       " border-right: 1px solid #c8d0d8; border-bottom: 1px solid #c8d0d8;"
                       " padding: 3px 4px; }"));
    connect(Grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &FrmQcInput::currentRowChanged);
    connect(Grid, &OpeningView::referenceKey, this, &FrmQcInput::currentReference);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { m_edited.clear(); });
    connect(m_model, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last) { rowsRemoved(first, last); });

    mnuPopUp = new QMenu(this);
    mnuPopUp->setObjectName(QStringLiteral("mnuPopUp"));
    mnuAdd = mnuPopUp->addAction(QStringLiteral("增加"));
    mnuAdd->setObjectName(QStringLiteral("mnuAdd"));
    mnuInsert = mnuPopUp->addAction(QStringLiteral("插入"));
    mnuInsert->setObjectName(QStringLiteral("mnuInsert"));
    mnuDelete = mnuPopUp->addAction(QStringLiteral("删除"));
    mnuDelete->setObjectName(QStringLiteral("mnuDelete"));
    connect(mnuAdd, &QAction::triggered, this, [this] { addRow(true); });
    connect(mnuDelete, &QAction::triggered, this, &FrmQcInput::deleteRow);
    connect(Grid, &OpeningView::popupRequested, this, [this](const QModelIndex& index, const QPoint& pos) {
        if (!m_model->isDataRow(index.row())) return;
        mnuPopUp->popup(pos);
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
    controls->addWidget(Label1);
    controls->addWidget(cboWh);
    controls->addSpacing(16);
    controls->addWidget(label5);
    controls->addWidget(txtInvCls);
    controls->addWidget(cmdRefInv);
    controls->addSpacing(16);
    controls->addWidget(txtType);
    controls->addWidget(cboType);
    controls->addSpacing(24);
    controls->addWidget(Label2);
    controls->addStretch(1);
    controls->addWidget(Label3);
    controls->addWidget(Label4);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolbar);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(10, 2, 10, 10);
    body->setSpacing(6);
    body->addWidget(lblTitle);
    body->addLayout(controls);
    body->addWidget(Grid, 1);
    layout->addLayout(body, 1);
}

void FrmQcInput::buildToolbar() {
    toolbar->clearButtons();
    for (const ToolButton& b : m_entry->toolbar()) {
        toolbar->addButton(b.key, b.caption, b.toolTip, b.image);
        // The groups of the old toolbar: output, editing, queries, posting, sorting, help.
        if (b.key == u"OutPut" || b.key == u"Select" || b.key == u"Compare" || b.key == u"Keep" ||
            b.key == u"ROrder")
            toolbar->addSeparatorItem();
    }
    toolbar->applyStoredStyle();
}

void FrmQcInput::loadWindow() {
    m_entry->Load();
    buildToolbar();
    cboWh->clear();
    cboWh->addItems(m_entry->warehouseItems());
    cboWh->setCurrentIndex(-1);
    m_warehouseIndex = -1;
    {
        const QSignalBlocker block(cboType);
        cboType->clear();
        cboType->addItems(m_entry->sortItems());
        cboType->setCurrentIndex(0);
    }
    m_entry->setSortText(cboType->currentText());
    txtInvCls->setText(m_entry->classCode());
    applyColumns();
    applyState();
}

void FrmQcInput::applyColumns() {
    const QList<int>& widths = m_entry->columnWidths();
    const bool plan = m_entry->planColumnsVisible();
    for (int c = 0; c < Col::Count; ++c) {
        const int w = widths.value(c);
        bool hidden = w == 0 || c == Col::AutoId;
        if (c == Col::PlanPrice || c == Col::PlanAmount) hidden = hidden || !plan;
        Grid->setColumnHidden(c, hidden);
        if (w > 0) Grid->setColumnWidth(c, std::max(40, w / kTwipsPerPixel + 12));
    }
}

}  // namespace qc::opening
