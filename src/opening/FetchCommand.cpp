// The take-over as a unit of work: the refusals decided inside it, the rows it may
// replace, the shortfall message, and the hook tests fail its steps with.

#include "opening/FetchStock.h"

#include "domain/Vocabulary.h"
#include "host/AuditTrail.h"
#include "opening/FetchParts.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"

#include <QSqlQuery>

namespace qc::opening {

using fetching::fetchStep;

const QStringList& fetchSteps() {
    static const QStringList steps{
        QStringLiteral("audit-keep"), QStringLiteral("delete"),    QStringLiteral("prepare"),
        QStringLiteral("copy"),       QStringLiteral("documents"), QStringLiteral("group"),
        QStringLiteral("valuation"),  QStringLiteral("planned"),   QStringLiteral("signs"),
        QStringLiteral("sign-rules"), QStringLiteral("specific"),  QStringLiteral("insert"),
        QStringLiteral("cleanup"),    QStringLiteral("audit")};
    return steps;
}

namespace {

// The rows a take-over may replace are those the operator could have typed: the
// same write rights on warehouse, department and item as the documents it reads.
// Rows outside them are neither counted nor deleted.
SqlFragment replaceableRows(LoginContext& ctx, const QString& whCode) {
    SqlFragment rows{QStringLiteral("SELECT IA_Subsidiary.AutoID FROM IA_Subsidiary "
                                    "LEFT JOIN Inventory ON Inventory.cInvCode = IA_Subsidiary.cInvCode "
                                    "WHERE IA_Subsidiary.cVouType = ? AND IA_Subsidiary.cAccounter IS NULL "
                                    "AND IA_Subsidiary.cWhCode = ?"),
                     {voucher::kOpening, whCode}};
    return rows.andWith(RowRightsFilter(ctx, QStringLiteral("IA_Subsidiary.cWhCode"),
                                        QStringLiteral("IA_Subsidiary.cAccDep"),
                                        QStringLiteral("Inventory.iId"), true));
}

}  // namespace

qint64 replaceOpenings(LoginContext& ctx, const QString& whCode, qint64 event) {
    const SqlFragment rows = replaceableRows(ctx, whCode);
    fetchStep(QStringLiteral("audit-keep"));
    const qint64 kept = audit::keepRows(ctx.gDb->Connection(), event, QStringLiteral("IA_Subsidiary"),
                                        {QStringLiteral("AutoID IN (") + rows.sql + u')', rows.binds});
    Existqcdate(ctx, whCode, true);
    return kept;
}

bool Existqcdate(LoginContext& ctx, const QString& whCode, bool deleteRows) {
    Database& db = ctx.gDb->Connection();
    const SqlFragment rows = replaceableRows(ctx, whCode);
    if (deleteRows) {
        fetchStep(QStringLiteral("delete"));
        db.exec(QStringLiteral("DELETE FROM IA_Subsidiary WHERE AutoID IN (") + rows.sql + u')', rows.binds);
        return false;
    }
    return db.exec(rows.sql + QStringLiteral(" LIMIT 1"), rows.binds).next();
}

QString fetchRefusal(LoginContext& ctx, const QString& whCode) {
    if (accParaOf(ctx).IsPosted(QStringLiteral("IA"))) return QStringLiteral("期初已经记账！");
    if (ctx.bWarehouseCheck && !HasDataRight(ctx, whCode, kRightWarehouse, true))
        return QStringLiteral("您没有这个权限！");
    return {};
}

QString fetchShortfallMessage(const FetchResult& r) {
    if (r.missingPrice.isEmpty()) return {};
    return QStringLiteral("由于没有设置相应的计价方式或") + r.missingPrice +
           QStringLiteral("，部分数据没有取回！");
}

bool FetchOpenings(LoginContext& ctx, const QString& whCode, bool replace, FetchResult* result) {
    MessageSink& sink = sinkOf(ctx);
    FetchResult r;
    try {
        Transaction tx(ctx.gDb->Connection());
        // Decided again inside the unit of work, after any posting running now has
        // ended: a take-over into posted openings would count them twice.
        accParaOf(ctx).LockOpenings();
        if (const QString refusal = fetchRefusal(ctx, whCode); !refusal.isEmpty()) {
            sink.exclamation(refusal);
            return false;
        }
        // The trail keeps the rows the take-over replaces, whole, under its event.
        Database& db = ctx.gDb->Connection();
        const qint64 event = audit::reserve(db);
        const qint64 replaced = replace ? replaceOpenings(ctx, whCode, event) : 0;
        r = GetFromKc(ctx, whCode);
        fetchStep(QStringLiteral("audit"));
        audit::Event e;
        e.operation = audit::kFetchStock;
        e.warehouse = whCode;
        e.detail = QJsonObject{{QStringLiteral("覆盖"), replace},
                               {QStringLiteral("删除行数"), replaced},
                               {QStringLiteral("取回行数"), r.inserted},
                               {QStringLiteral("未取回行数"), r.refused}};
        audit::record(db, audit::actorOf(ctx.gLogin), e, event);
        tx.commit();
    } catch (const DbError& e) {
        sink.show(e.message(), MsgIcon::None, MsgButtons::Ok, {});
        return false;
    }
    if (result) *result = r;
    const QString shortfall = fetchShortfallMessage(r);
    if (!shortfall.isEmpty()) sink.exclamation(shortfall);
    return true;
}

}  // namespace qc::opening
