// qcinput export: what 输出 writes from a window, for scripts: a warehouse's
// openings, the dispatched goods of a business type, a summary or the
// reconciliation, as XLSX, CSV or the PDF of the printed pages, with the same
// rights, options and content as the window.

#include "Cli.h"

#include "dispatched/DispatchedConditions.h"
#include "dispatched/DispatchedEntry.h"
#include "dispatched/DispatchedQuery.h"
#include "host/AccPara.h"
#include "opening/OpeningEntry.h"
#include "platform/GridExport.h"
#include "platform/MessageSink.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"
#include "shared/ConditionFields.h"
#include "shared/OutputCommands.h"
#include "shared/grid/ColumnSpec.h"
#include "shared/grid/GridModel.h"
#include "shared/ui/GridPrinter.h"

#include <QFileInfo>
#include <QSqlQuery>
#include <QTextStream>

namespace qc::cli {

namespace {

// The openings of one warehouse as the entry window shows them.
ExportGrid openings(const Arguments& args, OperatorSession& session, QStringList& header,
                    QStringList& footer) {
    const QString wh = args.value(QStringLiteral("warehouse")).trimmed();
    if (wh.isEmpty()) throw UsageError(QStringLiteral("缺少选项 --warehouse"));
    NoPickers pickers;
    opening::NoEntryWindow window;
    opening::OpeningEntry entry(session.ctx(), pickers, window);
    entry.Load();
    QString chosen;
    for (const QString& item : entry.warehouseItems())
        if (AccPara::WarehouseCodeOf(item).trimmed() == wh) chosen = item;
    if (chosen.isEmpty()) throw UsageError(QStringLiteral("仓库 %1 不存在，或您没有此仓库的权限").arg(wh));
    entry.WarehouseClick(chosen);
    QList<int> widths = entry.columnWidths();
    widths[opening::Col::AutoId] = 0;
    if (!entry.planColumnsVisible()) widths[opening::Col::PlanPrice] = widths[opening::Col::PlanAmount] = 0;
    // The pages headed and footed by the print set-up, as the window's are.
    const opening::PrintSetup setup =
        entry.PreparePrint(QStringLiteral("仓库："), entry.currentWarehouseName());
    header = setup.header;
    footer = setup.footer;
    return OutputOf(entry.grid(), widths, QStringLiteral("期 初 余 额"));
}

// The dispatched goods of a business type, every permitted warehouse.
ExportGrid dispatched(const Arguments& args, OperatorSession& session) {
    const QString type = args.value(QStringLiteral("type")).trimmed().toLower();
    if (type != u"instalment" && type != u"consignment")
        throw UsageError(QStringLiteral("选项 --type 须为 instalment（分期收款）或 consignment（委托代销）"));
    const dispatched::BusinessType kind =
        type == u"instalment" ? dispatched::BusinessType::Instalment : dispatched::BusinessType::Consignment;
    LoginContext& ctx = session.ctx();
    dispatched::DispatchedEntry entry(ctx, kind);
    entry.Load();
    // The query dialog's boxes, given as options and checked as leaving them checks.
    NoPickers pickers;
    dispatched::DispatchedConditions conditions(ctx, pickers);
    conditions.Load();
    RecordingSink& sink = session.sink();
    chooseWarehouses(conditions.fields(), args, sink);
    checkCodeBoxes(conditions.fields(), args, sink);
    checkCodeBox(
        conditions.customerClass, args.value(QStringLiteral("customer-class")).trimmed(),
        [&conditions] { return conditions.leaveCustomerClass(); }, sink);
    checkCodeBox(
        conditions.customerFrom, args.value(QStringLiteral("customer-from")).trimmed(),
        [&conditions] { return conditions.leaveCustomerFrom(); }, sink);
    checkCodeBox(
        conditions.customerTo, args.value(QStringLiteral("customer-to")).trimmed(),
        [&conditions] { return conditions.leaveCustomerTo(); }, sink);
    sink.clear();
    const std::optional<dispatched::DispatchedFilter> filter = conditions.Display();
    if (!filter) throw UsageError(sink.texts().value(0, QStringLiteral("输入不合法")));
    entry.Refresh(dispatched::dispatchedQuery(ctx, kind, *filter));
    QList<int> widths = entry.columnWidths();
    return OutputOf(entry.grid(), widths, entry.caption());
}

ExportGrid fromResult(const GridResult& r) {
    ExportGrid g;
    g.title = r.title;
    for (const grid::ColumnSpec& c : r.columns) {
        if (NamesRow(c.key)) g.rowNaming << static_cast<int>(g.columns.size());
        g.columns << ExportColumn{c.caption, c.numeric(), c.width};
    }
    g.rows = r.rows;
    return g;
}

void runExport(const Arguments& args, QTextStream& out) {
    const QString what = args.value(QStringLiteral("what"), QStringLiteral("openings")).trimmed();
    const QString format = args.value(QStringLiteral("format"), QStringLiteral("xlsx")).trimmed().toLower();
    const QString path = args.value(QStringLiteral("out")).trimmed();
    if (path.isEmpty()) throw UsageError(QStringLiteral("缺少选项 --out"));
    if (format != u"xlsx" && format != u"csv" && format != u"pdf")
        throw UsageError(QStringLiteral("选项 --format 须为 xlsx、csv 或 pdf"));
    OperatorSession session(args);
    QStringList header, footer;
    ExportGrid grid;
    if (what == u"openings") {
        grid = openings(args, session, header, footer);
    } else if (what == u"template") {
        NoPickers pickers;
        opening::NoEntryWindow window;
        opening::OpeningEntry entry(session.ctx(), pickers, window);
        entry.Load();
        grid = entry.importTemplate();
    } else if (what == u"dispatched") {
        grid = dispatched(args, session);
    } else if (what == u"summary" || what == u"reconcile") {
        const GridResult r =
            what == u"summary" ? summaryResult(args, session) : reconcileResult(args, session);
        if (r.rows.isEmpty()) throw UsageError(r.empty);
        grid = fromResult(r);
    } else {
        throw UsageError(
            QStringLiteral("选项 --what 须为 openings、template、dispatched、summary 或 reconcile"));
    }
    if (grid.rows.isEmpty() && what != u"template") throw UsageError(QStringLiteral("没有数据，不能输出！"));
    if (header.isEmpty()) header << UnitName(session.ctx());
    if (footer.isEmpty()) footer = PrintFooter(session.ctx());
    try {
        if (format == u"csv")
            writeCsv(grid, path);
        else if (format == u"pdf")
            GridPrinter(grid, header, footer).writePdf(path);
        else
            writeXlsx(grid, path);
    } catch (const ExportError& e) {
        throw UsageError(e.message());
    }
    out << QStringLiteral("已输出到 %1（%2 行）\n")
               .arg(QFileInfo(path).absoluteFilePath())
               .arg(grid.rows.size());
}

}  // namespace

Command exportCommand() {
    QList<Option> options{databaseOption()};
    options += loginOptions();
    options << Option{QStringLiteral("what"),
                      QStringLiteral("openings|template|dispatched|summary|reconcile"),
                      QStringLiteral("输出什么（默认 openings：一个仓库的期初余额；template：导入模板）")}
            << Option{QStringLiteral("warehouse"), QStringLiteral("W"), QStringLiteral("openings：仓库编码")}
            << Option{QStringLiteral("type"), QStringLiteral("instalment|consignment"),
                      QStringLiteral("dispatched：分期收款或委托代销")}
            << Option{QStringLiteral("customer-class"), QStringLiteral("C"),
                      QStringLiteral("dispatched：客户分类编码")}
            << Option{QStringLiteral("customer-from"), QStringLiteral("X"),
                      QStringLiteral("dispatched：客户编码下限")}
            << Option{QStringLiteral("customer-to"), QStringLiteral("Y"),
                      QStringLiteral("dispatched：客户编码上限")}
            << Option{QStringLiteral("format"), QStringLiteral("xlsx|csv|pdf"),
                      QStringLiteral("文件格式（默认 xlsx）")}
            << Option{QStringLiteral("out"), QStringLiteral("F"), QStringLiteral("输出文件")};
    // summary and reconcile take their own commands' options.
    for (const Option& o : summaryOptions() + reconcileOptions()) {
        const bool known = std::any_of(options.cbegin(), options.cend(),
                                       [&o](const Option& given) { return given.name == o.name; });
        if (!known) options << o;
    }
    return {QStringLiteral("export"),
            QStringLiteral("输出期初余额、发出商品、期初汇总或对账表到 XLSX、CSV 或 PDF"), options,
            runExport};
}

}  // namespace qc::cli
