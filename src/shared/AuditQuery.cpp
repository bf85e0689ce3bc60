#include "shared/AuditQuery.h"

#include "domain/Vocabulary.h"
#include "host/VqLogin.h"
#include "platform/Database.h"
#include "platform/MessageSink.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"
#include "shared/grid/ColumnBuilders.h"

#include "platform/Schema.h"

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
    return {fixedColumn("Time", "时间", "IA_AuditLog.cTime", ColumnKind::Text, 2700),
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
            fixedColumn("Detail", "说明", "IA_AuditLog.cDetail", ColumnKind::Text, 3000),
            fixedColumn("EventId", "事件号", "IA_AuditLog.AutoID", ColumnKind::Text, 800)};
}

QList<QStringList> auditRows(LoginContext& ctx, const AuditFilter& filter) {
    Database& db = accountDb(ctx);
    QString sql = QStringLiteral(
        "SELECT cTime, cUserId, cUserName, cHost, cOperation, cWhCode, cBusType, cInvCode, iRowID, cBefore, "
        "cAfter, cDetail, AutoID FROM IA_AuditLog WHERE 1 = 1");
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
    if (filter.rowId > 0) add(QStringLiteral("iRowID = ?"), filter.rowId);
    sql += QStringLiteral(" ORDER BY AutoID");
    QList<QStringList> rows;
    QSqlQuery q = db.exec(sql, binds);
    const int columns = static_cast<int>(auditColumns().size());
    while (q.next()) {
        QStringList row;
        row.reserve(columns);
        for (int c = 0; c < columns; ++c) row << textOf(q.value(c));
        rows << row;
    }
    return rows;
}

QString keptRowsNote(LoginContext& ctx, qint64 eventId) {
    Database& db = accountDb(ctx);
    QStringList notes;
    for (const QString& ledger : {QStringLiteral("IA_Subsidiary"), QStringLiteral("IA_EnSubsidiary")}) {
        // The name comes from the schema.
        const QString kept = keptRowsTable(ledger);
        const qint64 n =
            db.scalar(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE iAuditID = ?").arg(kept), {eventId})
                .toLongLong();
        if (n > 0)
            notes
                << QStringLiteral("删除的 %1 行原样保存在 %2（iAuditID = %3）").arg(n).arg(kept).arg(eventId);
    }
    return notes.join(u'\n');
}

QString TrailCaptions::of(bool dispatchedGoods, const QString& column) const {
    // The columns no grid shows, in the ledgers' words.
    static const QHash<QString, QString> ledgerWords{
        {QStringLiteral("cwhcode"), QStringLiteral("仓库编码")},
        {QStringLiteral("cvoutype"), QStringLiteral("单据类型")},
        {QStringLiteral("imonth"), QStringLiteral("会计月份")},
        {QStringLiteral("brdflag"), QStringLiteral("收发标志")},
        {QStringLiteral("cbustype"), QStringLiteral("业务类型")},
        {QStringLiteral("cdepcode"), QStringLiteral("核算部门")},
        {QStringLiteral("caccounter"), QStringLiteral("记账人")},
        {QStringLiteral("cmaker"), QStringLiteral("制单人")},
        {QStringLiteral("dkeepdate"), QStringLiteral("记账日期")},
        {QStringLiteral("ccuscode"), QStringLiteral("客户编码")},
    };
    const QString key = column.toLower();
    const QHash<QString, QString>& grid = dispatchedGoods ? dispatched : openings;
    return grid.value(key, ledgerWords.value(key, column));
}

}  // namespace qc
