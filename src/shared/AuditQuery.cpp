#include "shared/AuditQuery.h"

#include "domain/Vocabulary.h"
#include "host/VqLogin.h"
#include "platform/Database.h"
#include "platform/MessageSink.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"
#include "shared/grid/ColumnBuilders.h"

#include <QSqlQuery>

namespace qc {

bool MayReadTrail(LoginContext& ctx) {
    if (ctx.gLogin && ctx.gLogin->TaskExec(task::kAuditTrail, 1, 0)) return true;
    sinkOf(ctx).exclamation(QStringLiteral("您没有这个权限！"));
    return false;
}

QList<grid::ColumnSpec> auditColumns() {
    using grid::ColumnKind;
    using grid::fixedColumn;
    return {fixedColumn("Time", "时间", "IA_AuditLog.cTime", ColumnKind::Text, 2200),
            fixedColumn("UserId", "操作员", "IA_AuditLog.cUserId", ColumnKind::Code, 900),
            fixedColumn("UserName", "操作员名称", "IA_AuditLog.cUserName", ColumnKind::Name, 1200),
            fixedColumn("Host", "计算机", "IA_AuditLog.cHost", ColumnKind::Text, 1400),
            fixedColumn("Operation", "操作", "IA_AuditLog.cOperation", ColumnKind::Text, 1400),
            fixedColumn("Warehouse", "仓库", "IA_AuditLog.cWhCode", ColumnKind::Code, 700),
            fixedColumn("BusType", "业务类型", "IA_AuditLog.cBusType", ColumnKind::Text, 1000),
            fixedColumn("Item", "存货编码", "IA_AuditLog.cInvCode", ColumnKind::Code, 1000),
            fixedColumn("RowId", "行号", "IA_AuditLog.iRowID", ColumnKind::Text, 800),
            fixedColumn("Before", "修改前", "IA_AuditLog.cBefore", ColumnKind::Text, 3000),
            fixedColumn("After", "修改后", "IA_AuditLog.cAfter", ColumnKind::Text, 3000),
            fixedColumn("Detail", "说明", "IA_AuditLog.cDetail", ColumnKind::Text, 3000)};
}

QList<QStringList> auditRows(LoginContext& ctx, const AuditFilter& filter) {
    Database& db = accountDb(ctx);
    QString sql = QStringLiteral(
        "SELECT cTime, cUserId, cUserName, cHost, cOperation, cWhCode, cBusType, cInvCode, iRowID, cBefore, "
        "cAfter, cDetail FROM IA_AuditLog WHERE 1 = 1");
    QVariantList binds;
    const auto add = [&](const QString& condition, const QVariant& value) {
        sql += QStringLiteral(" AND ") + condition;
        binds << value;
    };
    // The time is text that sorts as time: a day's events lie from its date on.
    if (filter.since.isValid()) add(QStringLiteral("cTime >= ?"), filter.since.toString(Qt::ISODate));
    if (filter.until.isValid())
        add(QStringLiteral("cTime < ?"), filter.until.addDays(1).toString(Qt::ISODate));
    if (!filter.warehouse.isEmpty()) add(QStringLiteral("cWhCode = ?"), filter.warehouse);
    if (!filter.operatorId.isEmpty()) add(QStringLiteral("cUserId = ?"), filter.operatorId);
    if (!filter.item.isEmpty()) add(QStringLiteral("cInvCode = ?"), filter.item);
    if (!filter.operation.isEmpty()) add(QStringLiteral("cOperation = ?"), filter.operation);
    sql += QStringLiteral(" ORDER BY AutoID");
    QList<QStringList> rows;
    QSqlQuery q = db.exec(sql, binds);
    while (q.next()) {
        QStringList row;
        row.reserve(12);
        for (int c = 0; c < 12; ++c) row << textOf(q.value(c));
        rows << row;
    }
    return rows;
}

}  // namespace qc
