#include "host/AuditTrail.h"

#include "host/VqLogin.h"
#include "platform/Dialect.h"
#include "platform/Schema.h"

#include <QHash>
#include <QJsonDocument>
#include <QSysInfo>

#include <algorithm>

namespace qc::audit {

namespace {

const QString kLog = QStringLiteral("IA_AuditLog");

QVariant jsonOrNull(const QJsonObject& o) {
    return o.isEmpty() ? QVariant(QMetaType(QMetaType::QString))
                       : QVariant(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)));
}

QVariant textOrNull(const QString& t) {
    return t.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(t);
}

// The columns of `table` present in the database, in the schema's spelling. Read
// once per connection and table: a row's event would otherwise ask the catalogue
// twice for every row stored.
QStringList presentColumns(Database& db, const TableDef& def) {
    // A connection belongs to one thread.
    thread_local QHash<QString, QStringList> known;
    const QString key = db.sessionName() + u'/' + def.name;
    if (const auto it = known.constFind(key); it != known.constEnd()) return *it;
    const QStringList present = db.columnsOf(def.name);
    QStringList columns;
    for (const ColumnDef& c : def.columns)
        if (present.contains(c.name.toLower())) columns << c.name;
    known.insert(key, columns);
    return columns;
}

const TableDef& tableOf(const QString& table) {
    const TableDef* def = findTable(table);
    if (!def) throw DbError(QStringLiteral("账套结构中没有 %1").arg(table));
    return *def;
}

}  // namespace

Actor actorOf(const VqLogin* login) {
    Actor a;
    if (login) {
        a.userId = login->UserId();
        a.userName = login->UserName();
    }
    a.host = QSysInfo::machineHostName();
    return a;
}

qint64 record(Database& db, const Actor& who, const Event& e, std::optional<qint64> reserved) {
    const Dialect& d = db.dialect();
    const QString sql =
        QStringLiteral(
            "INSERT INTO IA_AuditLog (%1cTime, cUserId, cUserName, cHost, cOperation, cWhCode, cBusType, "
            "cInvCode, iRowID, cBefore, cAfter, cDetail) VALUES (%2%3, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
            "RETURNING AutoID")
            .arg(reserved ? QStringLiteral("AutoID, ") : QString(),
                 reserved ? QStringLiteral("?, ") : QString(), d.nowText());
    QVariantList binds;
    if (reserved) binds << *reserved;
    binds << textOrNull(who.userId) << textOrNull(who.userName) << textOrNull(who.host) << e.operation
          << textOrNull(e.warehouse) << textOrNull(e.businessType) << textOrNull(e.item)
          << (e.rowId ? QVariant(*e.rowId) : QVariant(QMetaType(QMetaType::LongLong))) << jsonOrNull(e.before)
          << jsonOrNull(e.after) << jsonOrNull(e.detail);
    QSqlQuery q = db.exec(sql, binds);
    if (!q.next()) throw DbError(QStringLiteral("操作日志没有写入"), sql);
    return q.value(0).toLongLong();
}

void recordRow(Database& db, const Actor& who, const QString& operation, const QString& table, qint64 autoId,
               const QJsonObject& before, const QString& businessType) {
    const QJsonObject after = rowValues(db, table, autoId);
    const QJsonObject& row = after.isEmpty() ? before : after;
    Event e;
    e.operation = operation;
    e.warehouse = row.value(QStringLiteral("cWhCode")).toString();
    e.businessType = businessType;
    e.item = row.value(QStringLiteral("cInvCode")).toString();
    e.rowId = autoId;
    std::tie(e.before, e.after) = changed(before, after);
    if (e.before.isEmpty() && e.after.isEmpty()) return;
    record(db, who, e);
}

int keepRows(Database& db, qint64 eventId, const QString& table, const SqlFragment& where) {
    const TableDef& ledger = tableOf(table);
    const QString keptName = keptRowsTable(ledger.name);
    if (keptName.isEmpty()) throw DbError(QStringLiteral("操作日志没有保存 %1 的行的表").arg(ledger.name));
    const TableDef& kept = tableOf(keptName);
    // The ledger's columns the database holds in both tables; the names come from
    // the schema.
    const QStringList keptColumns = db.columnsOf(kept.name);
    QStringList columns = presentColumns(db, ledger);
    columns.removeIf([&](const QString& c) { return !keptColumns.contains(c.toLower()); });
    const QString list = columns.join(QStringLiteral(", "));
    const QString sql = QStringLiteral("INSERT INTO %1 (iAuditID, %2) SELECT ?, %2 FROM %3 WHERE %4")
                            .arg(kept.name, list, ledger.name, where.sql);
    QVariantList binds{eventId};
    binds += where.binds;
    return db.execAffected(sql, binds);
}

QJsonObject rowValues(Database& db, const QString& table, qint64 autoId) {
    const TableDef& def = tableOf(table);
    // The names come from the schema, present in the database as declared.
    const QVariant text = db.scalar(QStringLiteral("SELECT %1 FROM %2 WHERE AutoID = ?")
                                        .arg(db.dialect().rowJson(presentColumns(db, def)), def.name),
                                    {autoId});
    return QJsonDocument::fromJson(text.toString().toUtf8()).object();
}

std::pair<QJsonObject, QJsonObject> changed(const QJsonObject& before, const QJsonObject& after) {
    // A row inserted has nothing before it, a row deleted nothing after.
    if (before.isEmpty() || after.isEmpty()) return {before, after};
    QJsonObject was, is;
    QStringList keys = before.keys();
    for (const QString& k : after.keys())
        if (!before.contains(k)) keys << k;
    for (const QString& k : keys) {
        const QJsonValue a = before.value(k), b = after.value(k);
        if (a == b) continue;
        was.insert(k, a.isUndefined() ? QJsonValue(QJsonValue::Null) : a);
        is.insert(k, b.isUndefined() ? QJsonValue(QJsonValue::Null) : b);
    }
    return {was, is};
}

qint64 reserve(Database& db) {
    if (db.kind() != DbKind::Sqlite)
        return db.scalar(QStringLiteral("SELECT nextval(pg_get_serial_sequence('ia_auditlog', 'autoid'))"))
            .toLongLong();
    // SQLite's writing units of work are exclusive: no other copy takes the number.
    return db
        .scalar(QStringLiteral("SELECT MAX(COALESCE((SELECT seq FROM sqlite_sequence WHERE name = "
                               "'IA_AuditLog'), 0), COALESCE((SELECT MAX(AutoID) FROM IA_AuditLog), 0)) + 1"))
        .toLongLong();
}

void ensureTables(Database& db) {
    const QList<TableDef> tables = auditTables();
    if (std::all_of(tables.begin(), tables.end(), [&](const TableDef& t) { return db.tableExists(t.name); }))
        return;
    Transaction tx(db);
    for (const TableDef& t : tables) db.execScript(createStatements(t, db.dialect()));
    db.execScript(appendOnlyGuards(db.dialect()));
    tx.commit();
}

}  // namespace qc::audit
