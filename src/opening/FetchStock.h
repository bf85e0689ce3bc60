#pragma once

// Taking the openings of a warehouse over from stock management (取数): the stock
// module's own openings when both modules are in the same period, otherwise the
// stock at the start of inventory accounting computed from the receipts and issues
// dated before it. The rows are built in work tables of the account database named
// with the instance number, so that two running copies do not collide.

#include "domain/Vocabulary.h"

#include <QString>
#include <QStringList>

namespace qc {
struct LoginContext;
}

namespace qc::opening {

// Deletes the openings a take-over or an import replaces in the warehouse (those
// Existqcdate deletes), keeping them whole in the audit trail under `event` first.
// Inside the caller's unit of work; returns how many there were.
qint64 replaceOpenings(LoginContext& ctx, const QString& whCode, qint64 event);

// Whether the warehouse has unposted opening rows that the operator may change
// (write rights on warehouse, department and item); with deleteRows set those rows
// are removed (in the caller's transaction) and no others.
bool Existqcdate(LoginContext& ctx, const QString& whCode, bool deleteRows);

// Why the operator may not take the warehouse over now: "期初已经记账！" while the
// openings are posted, "您没有这个权限！" without the write right on the warehouse;
// "" when he may.
QString fetchRefusal(LoginContext& ctx, const QString& whCode);

// How many of a warehouse's document lines are read first to see which carried-over
// fields they fill; the fields none of them fills are then asked of every line.
inline constexpr int kFieldSampleLines = 10000;

// What a take-over did.
struct FetchResult {
    qint64 inserted = 0;  // opening rows written
    bool wayA = false;    // the stock module's openings were copied
    // Rows left out because their valuation method is not set or their item has
    // no planned (selling) price: "计划价" or "售价" names the price the message
    // speaks of; empty when nothing was left out.
    QString missingPrice;
    qint64 refused = 0;  // rows the valuation method does not accept (sign rules)
};

// Builds the openings of the warehouse in the work tables and inserts them into
// IA_Subsidiary. Runs in the caller's transaction and shows nothing; a failing
// statement throws DbError. The work tables are dropped before each is built and
// again before returning.
FetchResult GetFromKc(LoginContext& ctx, const QString& whCode);

// The message shown when rows could not be taken over ("" when none).
QString fetchShortfallMessage(const FetchResult& r);

// The whole take-over as one unit of work: with `replace` the warehouse's
// unposted opening rows are deleted first, then GetFromKc. On success the
// shortfall message (if any) is shown and true returned; on failure everything is
// rolled back, the error's description is shown and false returned. The refusals
// of fetchRefusal are decided again inside the unit of work, after any posting or
// cancelling running at the same time has ended.
bool FetchOpenings(LoginContext& ctx, const QString& whCode, bool replace, FetchResult* result = nullptr);

// The names of the statement groups of a take-over, in the order they run; each
// is announced to unitStepHook() as "fetch/<name>" before it runs.
const QStringList& fetchSteps();

}  // namespace qc::opening
