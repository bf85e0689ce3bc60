#include "summary/ui/FrmQcSumInfo.h"

#include "session/LoginContext.h"
#include "shared/Layouts.h"
#include "shared/OutputCommands.h"
#include "shared/grid/GridModel.h"
#include "shared/ui/HelpPage.h"
#include "shared/ui/QcToolbar.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTableView>
#include <QVBoxLayout>

namespace qc::summary {

namespace {

QString captionOf(SummaryKind kind) {
    switch (kind) {
        case SummaryKind::Opening:
            return QStringLiteral("期初数据汇总");
        case SummaryKind::Instalment:
            return QStringLiteral("期初分期收款发出商品汇总");
        case SummaryKind::Consignment:
            return QStringLiteral("期初委托代销发出商品汇总");
    }
    return {};
}

}  // namespace

FrmQcSumInfo::FrmQcSumInfo(LoginContext& ctx, Pickers& pickers, GradeSummary& summary,
                           ConditionFields& fields, QWidget* parent)
    : ResultWindow(ctx, pickers, summary.columns(), parent), m_summary(summary), m_fields(fields) {
    warehouseLabel = new QLabel(this);
    warehouseLabel->setObjectName(QStringLiteral("warehouseLabel"));
    warehouseLabel->setWordWrap(true);
    gradeLabel = new QLabel(QStringLiteral("存货级次(&G)："), this);
    gradeLabel->setObjectName(QStringLiteral("gradeLabel"));
    gradeFromList = new QComboBox(this);
    gradeFromList->setObjectName(QStringLiteral("gradeFromList"));
    gradeFromList->setAccessibleName(QStringLiteral("存货级次 起"));
    gradeToList = new QComboBox(this);
    gradeToList->setObjectName(QStringLiteral("gradeToList"));
    gradeToList->setAccessibleName(QStringLiteral("存货级次 止"));
    gradeLabel->setBuddy(gradeFromList);
    for (QComboBox* c : {gradeFromList, gradeToList})
        connect(c, &QComboBox::currentIndexChanged, this, [this, c](int index) { gradeChanged(c, index); });
    auto* controls = new QHBoxLayout;
    controls->addWidget(warehouseLabel, 1);
    controls->addSpacing(16);
    controls->addWidget(gradeLabel);
    controls->addWidget(gradeFromList);
    controls->addWidget(new QLabel(QStringLiteral("至"), this));
    controls->addWidget(gradeToList);

    const QString caption = captionOf(summary.kind());
    const QList<ToolButton> buttons{
        {QStringLiteral("Print"), QStringLiteral("打印"), QStringLiteral("打印"), QStringLiteral("Print")},
        {QStringLiteral("Preview"), QStringLiteral("预览"), QStringLiteral("打印预览"),
         QStringLiteral("Preview")},
        {QStringLiteral("OutPut"), QStringLiteral("输出"), QStringLiteral("数据输出"),
         QStringLiteral("OutPut")},
        {QStringLiteral("Query"), QStringLiteral("查询"), QStringLiteral("查询"), QStringLiteral("Query")},
        {QStringLiteral("Save"), QStringLiteral("保存"), QStringLiteral("保存"), QStringLiteral("Save"), true,
         false},
        {QStringLiteral("Help"), QStringLiteral("帮助"), QStringLiteral("帮助"), QStringLiteral("Help")},
        {QStringLiteral("Close"), QStringLiteral("退出"), QStringLiteral("退出"), QStringLiteral("Exit")},
    };
    setUp(summary.kind() == SummaryKind::Opening ? QStringLiteral("FrmQcSumInfo")
                                                 : QStringLiteral("frmQCOutSumInfo"),
          caption, caption + QStringLiteral("表"), buttons,
          {QStringLiteral("OutPut"), QStringLiteral("Close")}, controls);
    setTabOrder(gradeFromList, gradeToList);
    setTabOrder(gradeToList, linesView);

    setTableHead();
    // The lines of the accepted range, as the dialog computed them.
    m_loading = true;
    model().setDataRows(m_summary.GetData(m_fields.invGradeFrom, m_fields.invGradeTo));
    m_loading = false;
    refreshGrid();
    resize(1100, 620);
}

// The chosen warehouses and the grade range of the dialog.
void FrmQcSumInfo::setTableHead() {
    QStringList names;
    const bool cutAtBlank = m_summary.kind() == SummaryKind::Opening;
    for (const WarehouseEntry& w : m_fields.warehouses)
        if (w.selected) names << (cutAtBlank ? w.name.section(u' ', 0, 0) : w.name);
    warehouseLabel->setText(QStringLiteral("仓库:") + names.join(u','));
    const QStringList grades = m_summary.gradeItems();
    for (QComboBox* c : {gradeFromList, gradeToList}) {
        const QSignalBlocker block(c);
        c->clear();
        c->addItems(grades);
    }
    const QSignalBlocker blockFrom(gradeFromList);
    const QSignalBlocker blockTo(gradeToList);
    gradeFromList->setCurrentIndex(m_fields.invGradeFrom);
    gradeToList->setCurrentIndex(m_fields.invGradeTo);
}

void FrmQcSumInfo::gradeChanged(QComboBox* combo, int index) {
    if (index < 0) return;
    const int shown =
        combo == gradeFromList ? m_fields.GradeFromChanged(index) : m_fields.GradeToChanged(index);
    if (shown != index) {
        const QSignalBlocker block(combo);
        combo->setCurrentIndex(shown);
        return;
    }
    if (m_loading) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    model().setDataRows(m_summary.GetData(m_fields.invGradeFrom, m_fields.invGradeTo));
    refreshGrid();
    QApplication::restoreOverrideCursor();
}

// The class columns (grade, class code and name) are hidden for inventory lines
// only, the item columns for class lines only.
void FrmQcSumInfo::refreshGrid() {
    const QStringList grades = m_summary.gradeItems();
    const QString style =
        GradeSummary::DispStyle(grades.value(m_fields.invGradeFrom), grades.value(m_fields.invGradeTo));
    QSet<int> hidden;
    if (style == kDetailGrade) hidden = {0, 1, 2};
    if (style == QStringLiteral("级次"))
        for (int c = m_summary.itemColumn(); c < m_summary.figureColumn(); ++c) hidden.insert(c);
    setHiddenColumns(hidden);
    setColumnWidths(1000);
}

void FrmQcSumInfo::runCommand(const QString& key) {
    if (key == u"Print" || key == u"Preview" || key == u"OutPut") {
        outputCommand(key);
    } else if (key == u"Query") {
        m_queryAgain = true;
        close();
    } else if (key == u"Help") {
        showHelpPage(
            this, windowTitle(),
            QStringLiteral("<h3>%1</h3>"
                           "<p>表中按存货分类逐级列出期初结存，分类行是其下级分类和存货的合计，"
                           "“明细”行是每个存货的合计。</p>"
                           "<ul><li>改变“存货级次”的范围即重新列出，不必重新汇总；只选“明细”时隐藏分类列，"
                           "不含“明细”时隐藏存货列。</li>"
                           "<li>Alt+Q 查询（回到条件选择），Alt+G 存货级次，Alt+E 退出，F1 帮助。</li></ul>")
                .arg(windowTitle()),
            m_ctx.gHelpFile);
    } else if (key == u"Close") {
        close();
    }
}

void FrmQcSumInfo::closeEvent(QCloseEvent* event) {
    if (m_summary.kind() == SummaryKind::Opening) {
        // The widths in the old units, every column of the summary in its order.
        const QList<int> widths = columnWidths();
        try {
            SaveColumnWidths(m_ctx, kLayoutSummaryInfo, widths);
        } catch (const DbError& e) {
            sinkOf(m_ctx).critical(e.message());
        }
        if (!m_queryAgain) {
            m_fields.invGradeFrom = 0;
            m_fields.invGradeTo = 0;
        }
    }
    ResultWindow::closeEvent(event);
}

}  // namespace qc::summary
