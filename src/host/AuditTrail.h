#pragma once

// The audit trail of the openings (操作日志): who changed which opening, when, and
// what it was before. One row of IA_AuditLog per event, written in the unit of
// work of the change it describes, so that a change and its event commit or roll
// back together; the rows a bulk operation deleted are kept whole, in the
// ledger's own columns, in IA_AuditSubsidiary and IA_AuditEnSubsidiary under the
// event's number. These tables only grow: the databases refuse UPDATE and DELETE on them.

#include "platform/Database.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace qc {

class VqLogin;

namespace audit {

// The operations, as stored and shown.
inline const QString kInsertRow = QStringLiteral("新增期初行");
inline const QString kChangeRow = QStringLiteral("修改期初行");
inline const QString kDeleteRow = QStringLiteral("删除期初行");
inline const QString kChangeDispatched = QStringLiteral("修改发出商品");
inline const QString kFetchStock = QStringLiteral("取数");
inline const QString kImport = QStringLiteral("导入");
inline const QString kFetchDispatched = QStringLiteral("发出商品取数");
inline const QString kClearDispatched = QStringLiteral("发出商品清空");
inline const QString kPost = QStringLiteral("期初记账");
inline const QString kCancelPost = QStringLiteral("恢复期初记账");
inline const QString kLogin = QStringLiteral("登录");
inline const QString kLoginFailed = QStringLiteral("登录失败");
inline const QString kRefused = QStringLiteral("权限拒绝");

// Who acts: the operator and the machine.
struct Actor {
    QString userId, userName, host;
};
Actor actorOf(const VqLogin* login);

struct Event {
    QString operation;
    QString warehouse;     // cWhCode
    QString businessType;  // cBusType
    QString item;          // cInvCode of a single row
    std::optional<qint64> rowId;
    QJsonObject before, after;  // a single row: only the columns that changed
    QJsonObject detail;         // a bulk operation: its parameters and row counts
};

// Writes the event with the database's clock and returns its number (`reserved`
// when given); inside the caller's unit of work when there is one.
qint64 record(Database& db, const Actor& who, const Event& e, std::optional<qint64> reserved = std::nullopt);

// The event of one row of `table` (by AutoID) inserted, changed or deleted: the
// row as the account now holds it against `before`, only the columns that changed;
// its item and warehouse taken from the row. Nothing when nothing changed.
void recordRow(Database& db, const Actor& who, const QString& operation, const QString& table, qint64 autoId,
               const QJsonObject& before, const QString& businessType = {});

// Keeps under event `eventId` every row of `table` (IA_Subsidiary or
// IA_EnSubsidiary) that `where` (a condition on the table's own columns) selects,
// whole, in one INSERT … SELECT. Returns how
// many rows were kept. Call it before deleting them, in the same unit of work.
int keepRows(Database& db, qint64 eventId, const QString& table, const SqlFragment& where);

// One row of `table` (by AutoID) as the trail keeps it: every non-null column as
// text; empty when there is no such row.
QJsonObject rowValues(Database& db, const QString& table, qint64 autoId);

// The members that differ between two readings of one row, each side as
// {"column": value} (a member missing on one side is null there); a side that is
// empty (a row inserted or deleted) is given as it is.
std::pair<QJsonObject, QJsonObject> changed(const QJsonObject& before, const QJsonObject& after);

// The number the next event will have, for rows kept under it before it is
// written (a bulk operation keeps what it deletes before it knows its counts).
// Inside the caller's unit of work; pass it to record().
qint64 reserve(Database& db);

// Creates the trail's tables and their guards where an account made before the
// trail lacks them.
void ensureTables(Database& db);

}  // namespace audit
}  // namespace qc
