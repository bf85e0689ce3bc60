// qcinput reconcile: 库存与存货期初对账 for scripts, with the condition dialog's
// rights and checks: the differing groups as a table or CSV, and an exit code a
// script can gate the posting on (0 everything agrees, 3 differences found).

#include "Cli.h"

#include "platform/MessageSink.h"
#include "reconcile/Reconciliation.h"
#include "session/LoginContext.h"
#include "shared/ConditionFields.h"

#include <QTextStream>

namespace qc::cli {

namespace {

void runReconcile(const Arguments& args, QTextStream& out) {
    OperatorSession session(args);
    const GridResult result = reconcileResult(args, session);
    if (result.rows.isEmpty()) {
        out << result.empty << '\n';
        return;
    }
    printGrid(result.columns, result.rows, args.has(QStringLiteral("csv")), out);
    throw ExitCode(3);
}

}  // namespace

GridResult reconcileResult(const Arguments& args, OperatorSession& session) {
    LoginContext& ctx = session.ctx();
    ctx.gInstanceNo = QString::number(InstanceNumberSource(ctx.gDb->Connection()));
    NoPickers pickers;
    ConditionFields fields(ctx, pickers, ConditionOptions{.warehouses = true});
    fields.Load();
    reconcile::ReconcileRequest request;
    for (const WarehouseEntry& w : chooseWarehouses(fields, args, session.sink()))
        request.warehouses << w.code;
    checkCodeBoxes(fields, args, session.sink());
    request.itemClass = ConditionFields::CodeOf(fields.itemClass);
    request.itemFrom = ConditionFields::CodeOf(fields.itemFrom);
    request.itemTo = ConditionFields::CodeOf(fields.itemTo);

    reconcile::Reconciliation reconciliation(ctx);
    // --free names free items by their names; without it none splits the groups.
    for (const QString& name : args.value(QStringLiteral("free")).split(u',', Qt::SkipEmptyParts)) {
        int found = 0;
        for (const auto& [n, caption] : reconciliation.namedFreeItems())
            if (caption == name.trimmed()) found = n;
        if (found == 0) throw UsageError(QStringLiteral("没有名为 %1 的自由项").arg(name.trimmed()));
        request.freeItems << found;
    }
    request.amounts = args.has(QStringLiteral("amounts"));
    reconciliation.Compute(request);
    GridResult r;
    r.title = QStringLiteral("库存与存货期初对账表");
    r.columns = reconciliation.columns();
    r.rows = reconciliation.rows();
    r.empty = QStringLiteral("对账成功！");
    return r;
}

QList<Option> reconcileOptions() {
    QList<Option> options = conditionOptions();
    options << Option{QStringLiteral("free"), QStringLiteral("批号,…"),
                      QStringLiteral("按这些自由项分别对账")}
            << Option{QStringLiteral("amounts"), {}, QStringLiteral("同时检查金额")};
    return options;
}

Command reconcileCommand() {
    QList<Option> options{databaseOption()};
    options += loginOptions();
    options += reconcileOptions();
    options << Option{QStringLiteral("csv"), {}, QStringLiteral("以 CSV 输出（默认：表格）")};
    return {QStringLiteral("reconcile"),
            QStringLiteral("库存与存货期初对账：列出不一致的仓库和存货（一致时退出码 0，有差异时 3）"),
            options, runReconcile};
}

}  // namespace qc::cli
