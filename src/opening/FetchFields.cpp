// Which carried-over fields a take-over's documents fill: read apart from the
// take-over's statements, since proving a field empty takes a read of every line.

#include "opening/FetchParts.h"

#include "opening/FetchStock.h"
#include "platform/Database.h"
#include "platform/Dialect.h"

#include <QSqlQuery>

namespace qc::opening::fetching {

namespace {

// Which of the expressions are not NULL on some row of `source` (FROM and,
// when it limits the rows, WHERE). A field most lines fill shows in their
// first few thousand; only the others are asked of every row, which mostly
// come out empty, so the full read counts only the rare rows that fill one.
QList<bool> filledIn(Database& db, const QStringList& exprs, const QString& source,
                     const QVariantList& binds) {
    QList<bool> filled(exprs.size(), false);
    if (exprs.isEmpty()) return filled;
    QStringList aliased, counts;
    for (int i = 0; i < exprs.size(); ++i) {
        aliased << QStringLiteral("%1 AS f%2").arg(exprs.at(i)).arg(i);
        counts << QStringLiteral("COUNT(f%1)").arg(i);
    }
    QSqlQuery sample =
        db.exec(QStringLiteral("SELECT %1 FROM (SELECT %2")
                        .arg(counts.join(QStringLiteral(", ")), aliased.join(QStringLiteral(", "))) +
                    source + QStringLiteral(" LIMIT %1) s").arg(kFieldSampleLines),
                binds);
    sample.next();
    QStringList rest;
    QList<int> restAt;
    for (int i = 0; i < exprs.size(); ++i) {
        filled[i] = sample.value(i).toLongLong() > 0;
        if (filled[i]) continue;
        rest << exprs.at(i);
        restAt << i;
    }
    sample.finish();
    if (rest.isEmpty()) return filled;
    QStringList restCounts;
    for (const QString& e : rest) restCounts << QStringLiteral("COUNT(%1)").arg(e);
    const QString also =
        source.contains(QStringLiteral(" WHERE ")) ? QStringLiteral(" AND ") : QStringLiteral(" WHERE ");
    QSqlQuery all = db.exec(QStringLiteral("SELECT ") + restCounts.join(QStringLiteral(", ")) + source +
                                also + db.dialect().anyNotNull(rest),
                            binds);
    all.next();
    for (int k = 0; k < rest.size(); ++k) filled[restAt.at(k)] = all.value(k).toLongLong() > 0;
    return filled;
}

}  // namespace

// Which of the carried-over fields some line of the warehouse's documents
// fills. When the warehouse holds most of the documents, the head and line
// tables are read alone, in their order, rather than each line through its
// head (a look-up each, several times a plain read); that also counts the
// other warehouses' documents, which at worst adds a field that is empty here
// to the grouping and changes none of its rows.
QList<bool> filledFields(Database& db, const QString& wh, const QList<std::pair<QString, QString>>& items,
                         const QString& from, const QVariantList& fromBinds) {
    QStringList headCounts;
    for (const auto& [col, table] : items)
        if (table == u"RdRecord") headCounts << QStringLiteral("COUNT(%1)").arg(col);
    QSqlQuery heads = db.exec(QStringLiteral("SELECT COUNT(*), SUM(CASE WHEN cWhCode = ? THEN 1 ELSE 0 "
                                             "END), %1 FROM RdRecord")
                                  .arg(headCounts.join(QStringLiteral(", "))),
                              {wh});
    heads.next();
    const bool mostly = heads.value(1).toLongLong() * 2 >= heads.value(0).toLongLong();
    QList<bool> filled(items.size(), false);
    QStringList exprs;
    QList<int> asked;
    int head = 2;
    for (int i = 0; i < items.size(); ++i) {
        const bool isHead = items.at(i).second == u"RdRecord";
        if (mostly && isHead) {
            filled[i] = heads.value(head++).toLongLong() > 0;
        } else {
            exprs << items.at(i).second + u'.' + items.at(i).first;
            asked << i;
        }
    }
    heads.finish();
    const QList<bool> found = mostly ? filledIn(db, exprs, QStringLiteral(" FROM RdRecords"), {})
                                     : filledIn(db, exprs, from, fromBinds);
    for (int k = 0; k < asked.size(); ++k) filled[asked.at(k)] = found.at(k);
    return filled;
}

}  // namespace qc::opening::fetching
