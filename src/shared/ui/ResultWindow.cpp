#include "shared/ui/ResultWindow.h"

#include "session/LoginContext.h"
#include "shared/AccountParams.h"
#include "shared/OutputCommands.h"
#include "shared/grid/GridModel.h"
#include "shared/grid/ShownColumns.h"
#include "shared/ui/GridDelegate.h"
#include "shared/ui/GridPrinter.h"
#include "shared/ui/QcToolbar.h"
#include "shared/ui/WindowLook.h"

#include <QHeaderView>
#include <QLabel>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

namespace qc {

namespace {
constexpr int kTwipsPerPixel = 15;
}  // namespace

ResultWindow::ResultWindow(LoginContext& ctx, Pickers& pickers, grid::ColumnTable columns, QWidget* parent)
    : QDialog(parent),
      m_ctx(ctx),
      m_pickers(pickers),
      m_model(std::make_unique<grid::GridModel>(std::move(columns))) {
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);
    setSizeGripEnabled(true);
    m_model->setReadOnly(true);
}

ResultWindow::~ResultWindow() {
    // The view reads the model: it goes first.
    delete linesView;
    linesView = nullptr;
}

void ResultWindow::setMessageSink(MessageSink& sink) {
    m_ctx.sink = &sink;
}

void ResultWindow::setUp(const QString& objectName, const QString& caption, const QString& title,
                         const QList<ToolButton>& buttons, const QStringList& groupEnds, QLayout* controls) {
    setObjectName(objectName);
    setWindowTitle(caption);
    toolbar = new QcToolbar(this);
    toolbar->setObjectName(QStringLiteral("toolbar"));
    toolbar->setAccessibleName(caption + QStringLiteral("工具栏"));
    toolbar->buildButtons(buttons, groupEnds, {QStringLiteral("Help")});
    toolbar->applyButtons(buttons);
    connect(toolbar, &QcToolbar::buttonClicked, this, [this](int, const QString& key) { runCommand(key); });
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [this] { runCommand(QStringLiteral("Help")); });

    titleLabel = makeTitleLabel(this, title);

    m_shown = new grid::ShownColumns(this);
    m_shown->setSourceModel(m_model.get());
    linesView = new QTableView(this);
    linesView->setObjectName(QStringLiteral("linesView"));
    linesView->setAccessibleName(title);
    linesView->setModel(m_shown);
    auto* delegate = new grid::GridDelegate(linesView);
    delegate->setGroupThousands(true);
    linesView->setItemDelegate(delegate);
    linesView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    linesView->setSelectionBehavior(QAbstractItemView::SelectRows);
    linesView->setTabKeyNavigation(false);
    linesView->setWordWrap(false);
    linesView->horizontalHeader()->setHighlightSections(false);
    linesView->verticalHeader()->setDefaultSectionSize(linesView->fontMetrics().height() + 8);
    applyGridLook(linesView);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolbar);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(10, 2, 10, 10);
    body->setSpacing(6);
    body->addWidget(titleLabel);
    if (controls) body->addLayout(controls);
    body->addWidget(linesView, 1);
    layout->addLayout(body, 1);
}

QList<ToolButton> ResultWindow::queryButtons(const QString& queryTip) {
    return {
        {QStringLiteral("Print"), QStringLiteral("打印"), QStringLiteral("打印表单"),
         QStringLiteral("Print")},
        {QStringLiteral("Preview"), QStringLiteral("预览"), QStringLiteral("打印预览"),
         QStringLiteral("Preview")},
        {QStringLiteral("Output"), QStringLiteral("输出"), QStringLiteral("表单输出"),
         QStringLiteral("OutPut")},
        {QStringLiteral("seek"), QStringLiteral("查询"), queryTip, QStringLiteral("Query")},
        {QStringLiteral("Help"), QStringLiteral("帮助"), QStringLiteral("帮助信息"), QStringLiteral("Help")},
        {QStringLiteral("Exit"), QStringLiteral("退出"), QStringLiteral("退出表单"), QStringLiteral("Exit")},
    };
}

void ResultWindow::outputCommand(const QString& key) {
    if (!OutputAllowed(m_ctx, key, m_model->dataRowCount())) return;
    runOutputCommand(m_ctx, m_pickers, this, key, OutputOf(*m_model, columnWidths(), titleLabel->text()),
                     {UnitName(m_ctx)});
}

void ResultWindow::setHiddenColumns(const QSet<int>& columns) {
    m_shown->setHiddenColumns(columns);
}

bool ResultWindow::columnShown(int column) const {
    return !m_shown->isHidden(column);
}

void ResultWindow::setColumnWidths(int twips) {
    for (int c = 0; c < m_model->columnTotal(); ++c) {
        const int shown = m_shown->shownColumn(c);
        if (shown >= 0) linesView->setColumnWidth(shown, twips / kTwipsPerPixel + 24);
    }
}

void ResultWindow::setColumnWidthsOfColumns() {
    for (int c = 0; c < m_model->columnTotal(); ++c) {
        const int shown = m_shown->shownColumn(c);
        if (shown >= 0)
            linesView->setColumnWidth(shown, m_model->columns().at(c).width / kTwipsPerPixel + 24);
    }
}

QList<int> ResultWindow::columnWidths() const {
    QList<int> widths;
    for (int c = 0; c < m_model->columnTotal(); ++c) {
        const int shown = m_shown->shownColumn(c);
        widths << (shown >= 0 ? linesView->columnWidth(shown) * kTwipsPerPixel : 0);
    }
    return widths;
}

}  // namespace qc
