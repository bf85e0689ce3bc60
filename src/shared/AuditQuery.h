#pragma once

// Reading the audit trail of the openings (操作日志): who may, which events a
// filter selects, and the columns they are shown in, for the window and the
// command line alike.

#include "shared/grid/ColumnSpec.h"

#include <QDate>
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
};

// Whether the operator holds the right to read the trail; when not, says
// "您没有这个权限！" and the refusal is itself an event.
bool MayReadTrail(LoginContext& ctx);

QList<grid::ColumnSpec> auditColumns();

// The events the filter selects, oldest first, one text per column of
// auditColumns(). Only for an operator MayReadTrail allowed.
QList<QStringList> auditRows(LoginContext& ctx, const AuditFilter& filter);

}  // namespace qc
