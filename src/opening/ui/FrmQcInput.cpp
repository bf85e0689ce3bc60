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

// The cells whose editor offers a pick window (or the calendar).
bool isReferenceColumn(int col) {
    return col == Col::InvCode || (col >= Col::Free1 && col < Col::Free1 + 10) || col == Col::VouDate ||
           col == Col::VenCode || col == Col::DepCode || col == Col::PersonCode || col == Col::InvHead ||
           col == Col::ItemClass || col == Col::ItemCode || col == Col::Define1 + 3 ||
           col == Col::Define1 + 5 || col == Col::Define22 + 14 || col == Col::Define22 + 15;
}

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

// ---- OpeningView

OpeningView::OpeningView(QWidget* parent) : QTableView(parent) {
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(false);
    setAlternatingRowColors(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    verticalHeader()->setMinimumWidth(36);
}

void OpeningView::setOpeningDelegate(OpeningDelegate* delegate) {
    m_delegate = delegate;
    setItemDelegate(delegate);
    connect(delegate, &OpeningDelegate::moveRequested, this, &OpeningView::moveToNextCell);
    connect(delegate, &OpeningDelegate::focusKeptInCell, this, [this] {
        // The click that took the focus from a refused cell must not move the
        // cursor; it arrives right after this, in the same event.
        m_swallowPress = true;
        QTimer::singleShot(0, this, [this] { m_swallowPress = false; });
    });
}

CellEditor* OpeningView::currentEditor() const {
    if (state() != EditingState) return nullptr;
    return qobject_cast<CellEditor*>(indexWidget(currentIndex()));
}

bool OpeningView::finishEditing() {
    CellEditor* editor = currentEditor();
    if (!editor) return true;
    if (!m_delegate->commit(editor)) return false;
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

bool OpeningView::mayMoveTo(const QModelIndex& target) {
    const QModelIndex cur = currentIndex();
    if (!target.isValid() || !cur.isValid() || target.row() == cur.row() || !rowLeaving) return true;
    return rowLeaving(cur.row(), target.row());
}

void OpeningView::moveToNextCell(bool forward) {
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
        if (isColumnHidden(c)) continue;
        const QModelIndex next = model()->index(r, c);
        if (cellEditable && !cellEditable(next)) continue;
        if (!mayMoveTo(next)) return;
        setCurrentIndex(next);
        return;
    }
}

void OpeningView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (state() != EditingState) {
                moveToNextCell(event->key() != Qt::Key_Backtab && !(event->modifiers() & Qt::ShiftModifier));
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

void OpeningView::mousePressEvent(QMouseEvent* event) {
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

void OpeningView::mouseReleaseEvent(QMouseEvent* event) {
    QTableView::mouseReleaseEvent(event);
    if (event->button() != Qt::RightButton) return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && index.row() == currentIndex().row())
        Q_EMIT popupRequested(index, event->globalPosition().toPoint());
}

void OpeningView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    QTableView::closeEditor(editor, hint);
    // The view committed on its own (the cursor was moved by code) and the rules
    // refused: back to that cell with the refused text.
    if (m_delegate && m_delegate->refusalPending()) {
        const auto [index, text] = m_delegate->takeRefusal();
        QTimer::singleShot(0, this, [this, index = index, text = text] { reopen(index, text); });
    }
}

void OpeningView::reopen(const QPersistentModelIndex& index, const QString& text) {
    if (!index.isValid()) return;
    setCurrentIndex(index);
    edit(index);
    if (CellEditor* editor = currentEditor()) {
        editor->setText(text);
        editor->selectAll();
    }
}

// ---- FrmQcInput

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
    m_delegate->hasReference = [](const QModelIndex& index) { return isReferenceColumn(index.column()); };
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

void FrmQcInput::applyState() {
    Label2->setText(m_entry->valuationLabel());
    Label4->setText(m_entry->totalsLabel());
    for (const ToolButton& b : m_entry->toolbar()) {
        toolbar->setCaption(b.key, b.caption);
        toolbar->setButtonToolTip(b.key, b.toolTip);
        toolbar->setImage(b.key, b.image);
        toolbar->setButtonEnabled(b.key, b.enabled);
        toolbar->setButtonVisible(b.key, b.visible);
    }
    const bool readOnly = m_entry->gridReadOnly();
    Grid->setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers
                                   : QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked);
    mnuAdd->setEnabled(!readOnly);
    mnuDelete->setEnabled(!readOnly);
}

int FrmQcInput::currentGridRow() const {
    const QModelIndex cur = Grid->currentIndex();
    return cur.isValid() ? cur.row() : -1;
}

void FrmQcInput::focusCell(int row, int col) {
    const QModelIndex index = m_model->index(row, col);
    if (!index.isValid()) return;
    Grid->setCurrentIndex(index);
    Grid->scrollTo(index);
    Grid->setFocus(Qt::OtherFocusReason);
}

bool FrmQcInput::inEditMode() const {
    return Grid->editing();
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
    if (!Grid->finishEditing()) return false;
    const int row = currentGridRow();
    return row < 0 || checkRow(row);
}

void FrmQcInput::currentRowChanged(const QModelIndex& current, const QModelIndex& /*previous*/) {
    const int row = current.isValid() ? current.row() : -1;
    m_entry->setCurrentRow(row);
    m_entry->RowEntered(row);
    Label2->setText(m_entry->valuationLabel());
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
        const QSignalBlocker block(cboWh);
        cboWh->setCurrentIndex(m_warehouseIndex);
        return;
    }
    m_entry->WarehouseClick(index >= 0 ? cboWh->itemText(index) : QString());
    m_warehouseIndex = index;
    txtInvCls->setText(m_entry->classCode());
    m_edited.clear();
    applyColumns();
    applyState();
    if (m_entry->grid().dataRowCount() > 0) Grid->setCurrentIndex(m_model->index(0, Col::InvCode));
}

void FrmQcInput::classBoxLeft() {
    const QString text = txtInvCls->text().trimmed();
    if (text == m_entry->classCode()) return;
    if (!leaveCurrentRow()) {
        txtInvCls->setText(m_entry->classCode());
        return;
    }
    m_entry->ClassBoxLeft(text);
    applyState();
}

void FrmQcInput::classReference() {
    if (!leaveCurrentRow()) return;
    m_entry->ClassReference();
    txtInvCls->setText(m_entry->classCode());
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
    const int col = Grid->currentIndex().column();
    m_entry->setCurrentRow(row);
    m_entry->mnuDelete(row);
    applyState();
    // The cursor stays at the same place, on the row that took the deleted one's.
    const int rows = m_entry->grid().dataRowCount();
    if (rows > 0) focusCell(std::min(row, rows), col < 0 ? Col::InvCode : col);
}

void FrmQcInput::runCommand(const QString& key) {
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
    if (key == u"Query") txtInvCls->setText(m_entry->classCode());
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

void FrmQcInput::cellReference(CellEditor* editor) {
    const QModelIndex index = editor->cellIndex();
    if (!index.isValid()) return;
    const int row = index.row(), col = index.column();
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
    Grid->finishEditing();
    Grid->setFocus(Qt::OtherFocusReason);
    applyState();
}

void FrmQcInput::currentReference() {
    const QModelIndex index = Grid->currentIndex();
    if (!index.isValid()) return;
    if (CellEditor* editor = Grid->currentEditor()) {
        cellReference(editor);
        return;
    }
    const int row = index.row();
    const QStringList before = m_entry->grid().dataRow(row);
    m_entry->ReferenceClicked(row, index.column());
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
        const QModelIndex index = m_model->index(row, Col::InvCode);
        if (index.row() != Grid->currentIndex().row() && !leaveCurrentRow()) return;
        Grid->setCurrentIndex(index);
        Grid->selectionModel()->select(index,
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        Grid->scrollTo(index, QAbstractItemView::PositionAtTop);
    };
    dlg.setGrid(std::move(target));
    dlg.exec();
    Grid->setFocus(Qt::OtherFocusReason);
}

void FrmQcInput::showHelp(const QString& helpFile, int context) {
    QDialog dlg(this);
    dlg.setWindowTitle(QStringLiteral("帮助 - 期初余额"));
    auto* text = new QTextBrowser(&dlg);
    text->setOpenExternalLinks(false);
    text->setHtml(
        QStringLiteral("<h3>期初余额（帮助主题 %1）</h3>"
                       "<p>选择仓库后，表格列出该仓库的期初数据，最后一行为合计。</p>"
                       "<ul>"
                       "<li>在存货编码中输入存货的编码、名称或代码，回车后自动带出名称、规格和单位；</li>"
                       "<li>输入数量、单价或金额，其余两项自动计算；</li>"
                       "<li>离开一行时该行即检查并保存；检查不通过时光标留在该行；</li>"
                       "<li>Ctrl+A 增加一行，Ctrl+D 删除当前行，Ctrl+F 定位存货，F2 打开当前格的参照。</li>"
                       "</ul>"
                       "<p>查询可按存货分类和存货范围缩小显示的数据；记账后期初数据不能再修改。</p>")
            .arg(context));
    if (!helpFile.isEmpty()) text->append(QStringLiteral("<p style='color:gray'>%1</p>").arg(helpFile));
    auto* buttons = new QDialogButtonBox(&dlg);
    buttons->addButton(QStringLiteral("关闭"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addWidget(text);
    layout->addWidget(buttons);
    dlg.resize(520, 360);
    dlg.exec();
}

void FrmQcInput::setBusy(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void FrmQcInput::closeWindow() {
    close();
}

void FrmQcInput::reject() {
    if (m_closing) {
        QDialog::reject();
        return;
    }
    close();
}

void FrmQcInput::closeEvent(QCloseEvent* event) {
    if (m_unloaded) {
        event->accept();
        return;
    }
    // A row being keyed is stored before the window goes, or the window stays.
    if (!leaveCurrentRow() || !m_entry->Unload()) {
        event->ignore();
        return;
    }
    m_unloaded = true;
    m_closing = true;
    QDialog::closeEvent(event);
    m_closing = false;
}

void FrmQcInput::keyPressEvent(QKeyEvent* event) {
    // Esc belongs to the grid's editor; it never closes the window.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool FrmQcInput::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtInvCls) {
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
    return QDialog::eventFilter(watched, event);
}

}  // namespace qc::opening
