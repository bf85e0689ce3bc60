#pragma once

// Everything an account database holds, as text, to tell whether a command
// changed anything: every table's rows ordered by all their columns, on SQLite and
// PostgreSQL alike. The work tables a window makes for itself, named with its
// instance number, are left out: they come and go with the window, not with the
// data.

#include "platform/Database.h"
#include "platform/Schema.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>

#include <map>

namespace qc::test {

using DatabaseDump = std::map<QString, QStringList>;  // table (lower case) -> rows

// Whether a table (lower case) is one of the per-instance work tables or the
// database's own bookkeeping.
inline bool isWorkTable(const QString& table) {
    static const QRegularExpression work(
        QStringLiteral("^(qcimportkeys|tempkcqc|tempsign|qcsumtemp|qcoutsumtemp|qccomparekc|"
                       "ia_ensubsidiary0)[a-z0-9_]*$"));
    return table.startsWith(QStringLiteral("sqlite_")) || work.match(table).hasMatch();
}

inline QString dumpValue(const QVariant& v) {
    if (v.isNull()) return QStringLiteral("<null>");
    switch (v.typeId()) {
        case QMetaType::QDate:
            return v.toDate().toString(Qt::ISODate);
        case QMetaType::QDateTime:
            return v.toDateTime().toString(Qt::ISODateWithMs);
        case QMetaType::QByteArray:
            return QString::fromLatin1(v.toByteArray().toHex());
        default:
            return v.toString();
    }
}

// Every table but the work tables (and `skip`, lower case), rows ordered by all
// columns, values as text separated by a unit separator. Without `identities`
// the numbers a table gives its rows (and the columns that refer to them) are
// left out: rows written again by a repeated command then compare equal.
inline DatabaseDump dumpDatabase(Database& db, const QStringList& skip = {}, bool identities = true) {
    DatabaseDump out;
    for (const QString& table : db.tables()) {
        if (isWorkTable(table) || skip.contains(table)) continue;
        QStringList columns = db.columnsOf(table);
        // The columns that hold another table's row numbers go with them.
        static const QStringList references{QStringLiteral("ia_valuationass.subid")};
        if (!identities)
            columns.removeIf(
                [&table](const QString& n) { return references.contains(table + u'.' + n.toLower()); });
        if (const TableDef* def = identities ? nullptr : findTable(table))
            for (const ColumnDef& c : def->columns)
                if (c.type == ColType::Identity)
                    columns.removeIf(
                        [&c](const QString& n) { return n.compare(c.name, Qt::CaseInsensitive) == 0; });
        if (columns.isEmpty()) continue;
        QStringList order;
        for (int i = 1; i <= columns.size(); ++i) order << QString::number(i);
        // The names come from the database's own catalogue.
        QSqlQuery q = db.exec(
            QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(columns.join(u','), table, order.join(u',')));
        QStringList& rows = out[table];
        while (q.next()) {
            QStringList values;
            for (int c = 0; c < columns.size(); ++c) values << dumpValue(q.value(c));
            rows << values.join(QChar(0x1f));
        }
    }
    return out;
}

// The audit trail's tables, which grow with every login and change by design;
// suites that compare the account's data leave them out and count the events.
inline const QStringList kTrailTables{QStringLiteral("ia_auditlog"), QStringLiteral("ia_auditsubsidiary"),
                                      QStringLiteral("ia_auditensubsidiary")};

// The events of the trail that record a change of the account (not a login, a
// failed login or a refused right).
inline qint64 changeEvents(Database& db, const QString& operation = {}) {
    QString sql = QStringLiteral(
        "SELECT COUNT(*) FROM IA_AuditLog WHERE cOperation NOT IN ('登录', '登录失败', '权限拒绝')");
    QVariantList binds;
    if (!operation.isEmpty()) {
        sql += QStringLiteral(" AND cOperation = ?");
        binds << operation;
    }
    return db.scalar(sql, binds).toLongLong();
}

// What differs between two dumps, table by table (a few rows each); empty when
// they are the same.
inline QString dumpDifference(const DatabaseDump& before, const DatabaseDump& after) {
    QString out;
    const auto rowsOf = [](const DatabaseDump& d, const QString& t) {
        const auto it = d.find(t);
        return it == d.end() ? QStringList() : it->second;
    };
    QStringList tables;
    for (const auto& [t, rows] : before) tables << t;
    for (const auto& [t, rows] : after)
        if (!before.count(t)) tables << t;
    for (const QString& t : tables) {
        const QStringList a = rowsOf(before, t), b = rowsOf(after, t);
        if (a == b && before.count(t) == after.count(t)) continue;
        out += QStringLiteral("table %1: %2 rows before, %3 after\n").arg(t).arg(a.size()).arg(b.size());
        int shown = 0;
        for (const QString& r : a)
            if (!b.contains(r) && shown++ < 3)
                out += QStringLiteral("  - ") + QString(r).replace(QChar(0x1f), u'|') + u'\n';
        for (const QString& r : b)
            if (!a.contains(r) && shown++ < 6)
                out += QStringLiteral("  + ") + QString(r).replace(QChar(0x1f), u'|') + u'\n';
    }
    return out;
}

}  // namespace qc::test
