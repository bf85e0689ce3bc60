#pragma once

// Reading the audit trail of the openings (操作日志): who may, which events a
// filter selects, and the columns they are shown in, for the window and the
// command line alike.

#include "shared/grid/ColumnSpec.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace qc {

struct LoginContext;

struct AuditFilter {
    QDate since, until;  // by the event's date, both included; invalid: open
    QString warehouse;   // cWhCode
    QString operatorId;  // cUserId
    QString item;        // cInvCode of a single row's event
    QString operation;   // cOperation
    qint64 rowId = 0;    // iRowID: one row's history; 0: every row
};

// What the trail's values are called on screen: the captions of the entry grids'
// columns, by the ledger column they show (lower case), the openings' and the
// dispatched goods' apart (the same column is captioned differently there).
struct TrailCaptions {
    QHash<QString, QString> openings, dispatched;
    // The caption of `column` in the grid the event came from, else the ledger's
    // word for it, else the column's own name.
    [[nodiscard]] QString of(bool dispatchedGoods, const QString& column) const;
};

// Whether the operator holds the right to read the trail; when not, says
// "您没有这个权限！" and the refusal is itself an event.
bool MayReadTrail(LoginContext& ctx);

QList<grid::ColumnSpec> auditColumns();

// The events the filter selects, oldest first, one text per column of
// auditColumns() (the last is the event's number). Only for an operator MayReadTrail allowed.
QList<QStringList> auditRows(LoginContext& ctx, const AuditFilter& filter);

// How many rows the event numbered `eventId` kept of what it deleted, and where:
// "" when it kept none.
QString keptRowsNote(LoginContext& ctx, qint64 eventId);

}  // namespace qc
