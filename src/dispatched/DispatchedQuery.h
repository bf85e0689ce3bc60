#pragma once

// The query of the dispatched-goods grid that the condition dialog builds: the
// grid's columns in order, the rows of the business type dated before the cut-off
// date that the operator may read, narrowed by the dialog's conditions.

#include "dispatched/DispatchedGoods.h"
#include "platform/Database.h"

#include <QStringList>

namespace qc::dispatched {

struct DispatchedFilter {
    QStringList warehouses = {};  // none selects no row
    QString itemClass = {}, itemFrom = {}, itemTo = {};
    QString customerClass = {}, customerFrom = {}, customerTo = {};
};

// Every value bound; the warehouse codes as one bound value each.
SqlFragment dispatchedQuery(LoginContext& ctx, BusinessType type, const DispatchedFilter& filter);

}  // namespace qc::dispatched
