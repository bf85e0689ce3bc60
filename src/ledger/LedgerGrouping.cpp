#include "ledger/AccountEngine.h"

#include "domain/Vocabulary.h"
#include "platform/Dialect.h"

#include <QSqlQuery>

// The engine's set-based path: the ledger rows a condition selects posted at once,
// grouped into summaries and layers, with summaries merged where keys meet.

namespace qc {

QString clsAccount::ledgerFrom(bool withMethod) const {
    QString from = QStringLiteral(" FROM IA_Subsidiary s");
    const bool byInventory = m_valueStyle == basis::kByInventory;
    if (m_valueStyle == basis::kByDepartment || (withMethod && !byInventory))
        from += QStringLiteral(" LEFT JOIN Warehouse w ON w.cWhCode = s.cWhCode");
    if (withMethod && byInventory)
        from += QStringLiteral(" LEFT JOIN Inventory i ON i.cInvCode = s.cInvCode");
    return from;
}

void clsAccount::postGrouped(int month, const SqlFragment& where, bool withInCost,
                             const QStringList& layerMethods, bool carried, int alsoMonth) {
    Database& d = db();
    // The last summary before this posting's. Whether there is one is asked
    // first, in the table's own order: right after a cancelling emptied the
    // table, a server looking for the highest number from the end of its index
    // visits every deleted row's entry, each in another place of the table.
    const qint64 before =
        d.scalar(QStringLiteral("SELECT CASE WHEN EXISTS (SELECT 1 FROM IA_Summary) THEN (SELECT "
                                "MAX(AutoID) FROM IA_Summary) ELSE 0 END"))
            .toLongLong();
    // Into a summary table with nothing in it yet, the rows are written as they are
    // carried forward at once: the balance with its unit price and difference rate,
    // the movements empty. Otherwise with their movements, merged where keys meet.
    m_carried = carried && before == 0;
    // The ledger rows' movements summed per key: the balances only, when nothing
    // else is kept (each sum is a pass over every row). A balance sums each row's
    // signed movement, one CASE a row rather than a receipt's and an issue's.
    QStringList sums{groupSum(QStringLiteral("k.nq"), 10) + QStringLiteral(" AS num"),
                     groupSum(QStringLiteral("k.nm"), 4) + QStringLiteral(" AS money"),
                     groupSum(QStringLiteral("k.dd - k.cd"), 4) + QStringLiteral(" AS dif")};
    if (!m_carried)
        sums << groupSum(QStringLiteral("k.inq"), 10) + QStringLiteral(" AS inq")
             << groupSum(QStringLiteral("k.outq"), 10) + QStringLiteral(" AS outq")
             << groupSum(QStringLiteral("k.inm"), 4) + QStringLiteral(" AS inm")
             << groupSum(QStringLiteral("k.outm"), 4) + QStringLiteral(" AS outm")
             << groupSum(QStringLiteral("k.dd"), 4) + QStringLiteral(" AS dd")
             << groupSum(QStringLiteral("k.cd"), 4) + QStringLiteral(" AS cd");
    const QString grouped =
        QStringLiteral(
            "SELECT k.wh, k.inv, k.dep, %1, MIN(k.cost) AS mincost, MAX(k.cost) AS maxcost "
            "FROM (SELECT %2 AS wh, s.cInvCode AS inv, %3 AS dep, "
            "CASE WHEN s.bRdFlag = 1 THEN COALESCE(s.iAInQuantity, 0) ELSE 0 END AS inq, "
            "CASE WHEN s.bRdFlag = 1 THEN 0 ELSE COALESCE(s.iAOutQuantity, 0) END AS outq, "
            "CASE WHEN s.bRdFlag = 1 THEN COALESCE(s.iAInPrice, 0) ELSE 0 END AS inm, "
            "CASE WHEN s.bRdFlag = 1 THEN 0 ELSE COALESCE(s.iAOutPrice, 0) END AS outm, "
            "CASE WHEN s.bRdFlag = 1 THEN COALESCE(s.iAInQuantity, 0) ELSE -COALESCE(s.iAOutQuantity, 0) END "
            "AS nq, "
            "CASE WHEN s.bRdFlag = 1 THEN COALESCE(s.iAInPrice, 0) ELSE -COALESCE(s.iAOutPrice, 0) END AS "
            "nm, "
            "COALESCE(s.iDebitDifCost, 0) AS dd, COALESCE(s.iCreditDifCost, 0) AS cd, %4 AS cost")
            .arg(sums.join(QStringLiteral(", ")), whKeyExpr(), depKeyExpr(),
                 withInCost ? QStringLiteral("CASE WHEN s.bRdFlag = 1 THEN s.iInCost END")
                            : QStringLiteral("CAST(NULL AS NUMERIC)")) +
        ledgerFrom(false) + QStringLiteral(" WHERE ") + where.sql +
        QStringLiteral(") k GROUP BY k.wh, k.inv, k.dep");
    int inserted = 0;
    if (m_carried) {
        // One row per key and month: the month's own and, with `alsoMonth`, its copy
        // there (without the unit price and the difference rate, as the start month
        // keeps them).
        const Dialect& x = d.dialect();
        QVariantList binds = where.binds;
        binds << month;
        QString months = QStringLiteral("SELECT %1 AS month").arg(x.typedInt());
        if (alsoMonth != 0) {
            months += QStringLiteral(" UNION ALL SELECT %1").arg(x.typedInt());
            binds << alsoMonth;
        }
        inserted = d.execAffected(
            QStringLiteral(
                "INSERT INTO IA_Summary (cWhCode, cInvCode, cDepCode, iMonth, iNum, iMoney, iDif, "
                "fMinInCost, fMaxInCost, iUnitPrice, iDifRate) "
                "SELECT g.wh, g.inv, g.dep, m.month, g.num, g.money, g.dif, g.mincost, g.maxcost, "
                "CASE WHEN m.month <> %1 OR COALESCE(g.num, 0) = 0 THEN NULL ELSE %2 END, "
                "CASE WHEN m.month <> %1 OR COALESCE(g.money, 0) = 0 THEN NULL WHEN g.dif = 0 THEN 0 "
                "ELSE %3 END FROM (")
                    .arg(QString::number(month),
                         x.divRound(QStringLiteral("g.money"), QStringLiteral("g.num"), m_quantityDecimals),
                         x.divRound(QStringLiteral("g.dif"), QStringLiteral("g.money"), 8)) +
                grouped + QStringLiteral(") g CROSS JOIN (") + months + QStringLiteral(") m"),
            binds);
    } else {
        QVariantList binds{month};
        binds += where.binds;
        inserted = d.execAffected(
            QStringLiteral("INSERT INTO IA_Summary (cWhCode, cInvCode, cDepCode, iMonth, iINum, iONum, iNum, "
                           "iIMoney, iOMoney, iMoney, iIDif, iODif, iDif, fMinInCost, fMaxInCost) "
                           "SELECT g.wh, g.inv, g.dep, %1, g.inq, g.outq, g.num, g.inm, g.outm, g.money, "
                           "g.dd, g.cd, g.dif, g.mincost, g.maxcost FROM (")
                    .arg(d.dialect().typedInt()) +
                grouped + QStringLiteral(") g"),
            binds);
    }
    // Whether the month had summaries before is asked only when rows were added
    // to a table that held some, and stops at the first it finds: no index
    // leads with the month, so a count reads every summary row, and right after
    // a cancelling emptied the table even the search for one wades through the
    // deleted rows on a server.
    if (inserted > 0 && before > 0 &&
        d.scalar(
             QStringLiteral("SELECT CASE WHEN EXISTS (SELECT 1 FROM IA_Summary WHERE iMonth = ? AND AutoID "
                            "<= ?) THEN 1 ELSE 0 END"),
             {month, before})
                .toInt() == 1)
        mergeSummaries(month, before);
    if (!layerMethods.isEmpty()) insertLayerRows(where, layerMethods);
}

// The month already had summaries when the rows after `before` were inserted: a
// new row whose key has an older row is added into it and removed, so that each
// key keeps one summary row per month.
void clsAccount::mergeSummaries(int month, qint64 before) {
    Database& d = db();
    const Dialect& x = d.dialect();
    const QString key =
        QStringLiteral("n.cInvCode = o.cInvCode AND %1 AND %2")
            .arg(x.nullSafeEquals(QStringLiteral("n.cWhCode"), QStringLiteral("o.cWhCode")),
                 x.nullSafeEquals(QStringLiteral("n.cDepCode"), QStringLiteral("o.cDepCode")));
    auto add = [&](const char* col, int places) {
        return QStringLiteral("%1 = %2").arg(
            QString::fromLatin1(col),
            round(QStringLiteral("COALESCE(o.%1, 0) + n.%1").arg(QString::fromLatin1(col)), places));
    };
    const QStringList sets{add("iINum", 10),
                           add("iONum", 10),
                           add("iNum", 10),
                           add("iIMoney", 4),
                           add("iOMoney", 4),
                           add("iMoney", 4),
                           add("iIDif", 4),
                           add("iODif", 4),
                           add("iDif", 4),
                           QStringLiteral("fMinInCost = CASE WHEN o.fMinInCost IS NULL OR n.fMinInCost < "
                                          "o.fMinInCost THEN n.fMinInCost ELSE o.fMinInCost END"),
                           QStringLiteral("fMaxInCost = CASE WHEN o.fMaxInCost IS NULL OR n.fMaxInCost > "
                                          "o.fMaxInCost THEN n.fMaxInCost ELSE o.fMaxInCost END")};
    d.exec(
        QStringLiteral("UPDATE IA_Summary AS o SET %1 FROM IA_Summary AS n WHERE o.iMonth = ? AND o.AutoID "
                       "<= ? AND n.iMonth = ? AND n.AutoID > ? AND %2")
            .arg(sets.join(QStringLiteral(", ")), key),
        {month, before, month, before});
    d.exec(
        QStringLiteral("DELETE FROM IA_Summary AS n WHERE n.iMonth = ? AND n.AutoID > ? AND EXISTS (SELECT "
                       "1 FROM IA_Summary o WHERE o.iMonth = ? AND o.AutoID <= ? AND %1)")
            .arg(key),
        {month, before, month, before});
}

// Receipt layers (and, for issues, issue entries) of the ledger rows that `where`
// selects whose method is one of `methods`, in AutoID order.
void clsAccount::insertLayerRows(const SqlFragment& where, const QStringList& methods) {
    Database& d = db();
    QStringList marks;
    QVariantList binds = where.binds;
    for (const QString& m : methods) {
        marks << QStringLiteral("?");
        binds << m;
    }
    QString frees, freeSel;
    for (int k = 1; k <= 10; ++k) {
        frees += QStringLiteral(", cFree%1").arg(k);
        freeSel += QStringLiteral(", s.cFree%1").arg(k);
    }
    auto in = [](const QString& e) { return QStringLiteral("CASE WHEN s.bRdFlag = 1 THEN %1 END").arg(e); };
    auto out = [](const QString& e) {
        return QStringLiteral("CASE WHEN s.bRdFlag = 1 THEN NULL ELSE %1 END").arg(e);
    };
    d.exec(
        QStringLiteral("INSERT INTO IA_ValuationAss (cIVouCode, cWhCode, cInvCode, cDepCode, dIDate, InID, "
                       "bJustInFlag, dIKeepDate, iIQuantity, iICost, iIPrice, cOVouCode, dODate, OutID, "
                       "bJustOutFlag, dOKeepDate, iOQuantity, iOCost, iOPrice, SubID, bFlag, bMoneyFlag%1, "
                       "cInVouType, cOutVouType, cbatchia) "
                       "SELECT %2, %3, s.cInvCode, %4, %5, %6, %7, %8, %9, %10, %11, ")
                .arg(frees, in(QStringLiteral("s.cVouCode")), whKeyExpr(), depKeyExpr(),
                     in(QStringLiteral("s.dVouDate")), in(QStringLiteral("s.ID")), in(QStringLiteral("0")),
                     in(QStringLiteral("s.dKeepDate")), in(QStringLiteral("s.iAInQuantity")))
                .arg(in(QStringLiteral("s.iInCost")), in(QStringLiteral("s.iAInPrice"))) +
            QStringLiteral(
                "%1, %2, %3, %4, %5, %6, %7, %8, s.AutoID, 0, s.bMoneyFlag%9, %10, %11, s.cBatchCode")
                .arg(out(QStringLiteral("s.cVouCode")), out(QStringLiteral("s.dVouDate")),
                     out(QStringLiteral("s.ID")), out(QStringLiteral("0")),
                     out(QStringLiteral("s.dKeepDate")), out(QStringLiteral("s.iAOutQuantity")),
                     out(QStringLiteral("s.iOutCost")), out(QStringLiteral("s.iAOutPrice")), freeSel)
                .arg(in(QStringLiteral("s.cVouType")), out(QStringLiteral("s.cVouType"))) +
            ledgerFrom(true) +
            QStringLiteral(" WHERE (%1) AND %2 IN (%3) ORDER BY s.AutoID")
                .arg(where.sql, methodExpr(), marks.join(QStringLiteral(", "))),
        binds);
}

}  // namespace qc
