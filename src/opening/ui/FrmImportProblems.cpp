#include "opening/ui/FrmImportProblems.h"

#include "session/LoginContext.h"
#include "shared/grid/GridModel.h"
#include "shared/ui/HelpPage.h"

#include <QHeaderView>
#include <QTableView>

namespace qc::opening {

namespace {

grid::ColumnTable problemColumns() {
    const auto column = [](const char* key, const char* caption, int width) {
        grid::ColumnSpec c;
        c.key = QString::fromLatin1(key);
        c.caption = QString::fromUtf8(caption);
        c.width = width;
        return c;
    };
    return {column("line", "行号", 700), column("column", "列", 1500), column("text", "内容", 2200),
            column("message", "问题", 5200)};
}

}  // namespace

FrmImportProblems::FrmImportProblems(LoginContext& ctx, Pickers& pickers,
                                     const QList<ImportProblem>& problems, QWidget* parent)
    : ResultWindow(ctx, pickers, problemColumns(), parent) {
    const QString caption = QStringLiteral("导入问题");
    const QList<ToolButton> buttons{
        {QStringLiteral("Print"), QStringLiteral("打印"), QStringLiteral("打印问题清单"),
         QStringLiteral("Print")},
        {QStringLiteral("Preview"), QStringLiteral("预览"), QStringLiteral("打印预览"),
         QStringLiteral("Preview")},
        {QStringLiteral("Output"), QStringLiteral("输出"), QStringLiteral("输出问题清单"),
         QStringLiteral("OutPut")},
        {QStringLiteral("Help"), QStringLiteral("帮助"), QStringLiteral("帮助信息"), QStringLiteral("Help")},
        {QStringLiteral("Exit"), QStringLiteral("退出"), QStringLiteral("退出"), QStringLiteral("Exit")},
    };
    setUp(QStringLiteral("FrmImportProblems"), caption,
          QStringLiteral("文件有 %1 处问题，没有导入任何数据").arg(problems.size()), buttons,
          {QStringLiteral("Output"), QStringLiteral("Exit")}, nullptr);
    QList<QStringList> rows;
    rows.reserve(problems.size());
    for (const ImportProblem& p : problems)
        rows << QStringList{QString::number(p.line), p.caption, p.text, p.message};
    model().setDataRows(rows);
    linesView->horizontalHeader()->setSectionsClickable(true);
    linesView->horizontalHeader()->setSortIndicatorShown(true);
    connect(linesView->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int section) { sortByColumn(section); });
    for (int c = 0; c < 4; ++c) linesView->setColumnWidth(c, problemColumns().at(c).width / 15);
    linesView->horizontalHeader()->setStretchLastSection(true);
    resize(1000, 520);
}

void FrmImportProblems::sortByColumn(int column) {
    m_ascending = column == m_sortColumn ? !m_ascending : true;
    m_sortColumn = column;
    model().sortBy(column, m_ascending);
    linesView->horizontalHeader()->setSortIndicator(column,
                                                    m_ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void FrmImportProblems::runCommand(const QString& key) {
    if (key == u"Print" || key == u"Preview" || key == u"Output") {
        outputCommand(key);
    } else if (key == u"Help") {
        showHelpPage(this, windowTitle(),
                     QStringLiteral("<h3>导入问题</h3>"
                                    "<p>文件中任何一行有问题时不导入任何数据。按行号和列找到文件中的单元格，"
                                    "改正后重新导入。单击列标题按该列排序，再次单击反向排序。</p>"
                                    "<ul><li>Alt+O 输出问题清单，Alt+E 退出，F1 帮助。</li></ul>"),
                     m_ctx.gHelpFile);
    } else if (key == u"Exit") {
        close();
    }
}

}  // namespace qc::opening
