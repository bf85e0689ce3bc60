// qcinput audit: the audit trail of the openings (操作日志), for the operators with
// the right to read it, filtered as the window filters it, printed as a table or
// as CSV.

#include "Cli.h"

#include "platform/MessageSink.h"
#include "session/LoginContext.h"
#include "shared/AuditQuery.h"

#include <QTextStream>

namespace qc::cli {

namespace {

QDate dateOption(const Arguments& args, const QString& name) {
    if (!args.has(name)) return {};
    const QDate d = QDate::fromString(args.value(name), QStringLiteral("yyyy-MM-dd"));
    if (!d.isValid())
        throw UsageError(
            QStringLiteral("选项 --%1 须为 yyyy-MM-dd 格式的日期：%2").arg(name, args.value(name)));
    return d;
}

void runAudit(const Arguments& args, QTextStream& out) {
    AuditFilter filter;
    filter.since = dateOption(args, QStringLiteral("since"));
    filter.until = dateOption(args, QStringLiteral("until"));
    filter.warehouse = args.value(QStringLiteral("warehouse")).trimmed();
    filter.operatorId = args.value(QStringLiteral("operator")).trimmed();
    filter.item = args.value(QStringLiteral("item")).trimmed();
    filter.operation = args.value(QStringLiteral("operation")).trimmed();
    if (args.has(QStringLiteral("row"))) {
        bool ok = false;
        filter.rowId = args.value(QStringLiteral("row")).trimmed().toLongLong(&ok);
        if (!ok || filter.rowId <= 0)
            throw UsageError(
                QStringLiteral("选项 --row 须为正整数：%1").arg(args.value(QStringLiteral("row"))));
    }
    OperatorSession session(args);
    if (!MayReadTrail(session.ctx())) throw UsageError(session.sink().last());
    const QList<QStringList> rows = auditRows(session.ctx(), filter);
    if (rows.isEmpty()) {
        out << QStringLiteral("没有符合条件的操作日志") << '\n';
        return;
    }
    printGrid(auditColumns(), rows, args.has(QStringLiteral("csv")), out);
}

}  // namespace

Command auditCommand() {
    QList<Option> options{databaseOption()};
    options += loginOptions();
    options << Option{QStringLiteral("since"), QStringLiteral("yyyy-MM-dd"), QStringLiteral("从这一天起")}
            << Option{QStringLiteral("until"), QStringLiteral("yyyy-MM-dd"), QStringLiteral("到这一天止")}
            << Option{QStringLiteral("warehouse"), QStringLiteral("仓库"),
                      QStringLiteral("只列这个仓库的事件")}
            << Option{QStringLiteral("operator"), QStringLiteral("操作员"),
                      QStringLiteral("只列这个操作员的事件")}
            << Option{QStringLiteral("item"), QStringLiteral("存货编码"),
                      QStringLiteral("只列这个存货的行的事件")}
            << Option{QStringLiteral("row"), QStringLiteral("行号"),
                      QStringLiteral("只列这一行（期初行或发出商品行的 AutoID）的事件：它的历史")}
            << Option{QStringLiteral("operation"), QStringLiteral("操作"),
                      QStringLiteral("只列这种操作（如 取数、修改期初行、期初记账）")}
            << Option{QStringLiteral("csv"), {}, QStringLiteral("以 CSV 输出（默认：表格）")};
    return {QStringLiteral("audit"), QStringLiteral("操作日志：谁在何时改了哪些期初数据，改前改后各是什么"),
            options, runAudit};
}

}  // namespace qc::cli
