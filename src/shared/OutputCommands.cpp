#include "shared/OutputCommands.h"

#include "host/VqLogin.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"
#include "shared/grid/GridModel.h"

namespace qc {

bool OutputAllowed(LoginContext& ctx, const QString& key, int rows) {
    if (rows > 0) return true;
    const QString what = key == u"Print"     ? QStringLiteral("打印")
                         : key == u"Preview" ? QStringLiteral("预览")
                                             : QStringLiteral("输出");
    sinkOf(ctx).exclamation(QStringLiteral("没有数据，不能") + what + QStringLiteral("！"));
    return false;
}

bool NamesRow(const QString& key) {
    return key == u"WhCode" || key == u"WhName" || key == u"ClassCode" || key == u"ClassName" ||
           key == u"InvCode" || key == u"InvName";
}

ExportGrid OutputOf(const grid::GridModel& grid, const QList<int>& widthsTwips, const QString& title) {
    ExportGrid out;
    out.title = title;
    QList<int> shown;
    for (int c = 0; c < grid.columnTotal(); ++c) {
        if (widthsTwips.value(c) <= 0) continue;
        if (NamesRow(grid.columns().at(c).key)) out.rowNaming << static_cast<int>(shown.size());
        shown << c;
        out.columns << ExportColumn{grid.caption(c), grid.columns().at(c).numeric(), widthsTwips.at(c)};
    }
    for (int r = 0; r < grid.rowCount(); ++r) {
        QStringList row;
        row.reserve(shown.size());
        for (const int c : shown) row << grid.text(r, c);
        out.rows << row;
    }
    return out;
}

bool OutputGrid(LoginContext& ctx, Pickers& pickers, const ExportGrid& grid, const PdfWriter& pdf) {
    QStringList kinds{QStringLiteral("Excel 工作簿 (*.xlsx)"), QStringLiteral("CSV 文件 (*.csv)")};
    if (pdf) kinds << QStringLiteral("PDF 文件 (*.pdf)");
    const std::optional<QString> path = pickers.saveFile(grid.title + QStringLiteral(".xlsx"), kinds);
    if (!path) return false;
    try {
        if (path->endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
            writeCsv(grid, *path);
        else if (pdf && path->endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
            pdf(*path);
        else
            writeXlsx(grid, *path);
    } catch (const ExportError& e) {
        sinkOf(ctx).critical(e.message());
        return false;
    }
    sinkOf(ctx).information(QStringLiteral("已输出到 %1").arg(*path));
    return true;
}

QStringList PrintFooter(LoginContext& ctx) {
    const QString who = ctx.gLogin ? ctx.gLogin->UserName() : QString();
    const QString date =
        ctx.gLogin ? ctx.gLogin->LoginDate().toString(QStringLiteral("yyyy-MM-dd")) : QString();
    return {PrintFooterLine(UnitName(ctx), who, date)};
}

QString PrintFooterLine(const QString& unit, const QString& person, const QString& date) {
    return QStringLiteral("单位：%1    操作员：%2    日期：%3").arg(unit, person, date);
}

}  // namespace qc
