#pragma once

// 发出商品期初: the opening rows (IA_EnSubsidiary, iMonth 0) of goods dispatched
// to customers under instalment (分期收款) or consignment (委托代销) sales and not
// settled by the start of inventory accounting: taking them over from the sales
// documents and clearing them again.

#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace qc {

struct LoginContext;

namespace dispatched {

// The business type of a dispatched-goods window (the entry's intTypt).
enum class BusinessType { Instalment = 0, Consignment = 1 };
std::optional<BusinessType> businessTypeOf(int intTypt);
// cBusType of its opening rows: "分期收款" or "委托代销".
QString businessName(BusinessType type);

struct FetchResult {
    qint64 inserted = 0;        // opening rows written
    qint64 notesMarked = 0;     // dispatch notes stamped as taken over
    qint64 invoicesMarked = 0;  // invoices stamped as taken over
};
struct ClearResult {
    qint64 deleted = 0;
    qint64 notesUnmarked = 0;
    qint64 invoicesUnmarked = 0;
};

// The opening cut-off date D: the first day of inventory accounting's current
// period in the login's calendar (the first of that month when the calendar has
// no such period).
QDate cutOffDate(LoginContext& ctx);

// Whether rows of the business type exist, in any month (a fetch then does nothing).
bool hasRows(LoginContext& ctx, BusinessType type);

// GetFromXsFcsp: one opening row for every goods line of a dispatch note of the
// business type dated before D and not fully invoiced by then (one candidate per
// invoice date of the line), the notes and invoices used stamped with the
// operator's name, and the account's fetched flag set. Runs in the caller's unit
// of work; a failing statement throws DbError. The scratch table, named with the
// instance number, is dropped before it is built and again at the end.
FetchResult GetFromXsFcsp(LoginContext& ctx, BusinessType type);

// DeleteQCFCSP: every opening row of the business type deleted, the stamps of
// the notes and invoices dated before D taken back, the fetched flag cleared.
// Runs in the caller's unit of work.
ClearResult DeleteQCFCSP(LoginContext& ctx, BusinessType type);

// The statement groups of the fetch and of the clear, in the order they run;
// each is announced to unitStepHook() as "dispatched-fetch/<step>" or
// "dispatched-clear/<step>" before it runs.
const QStringList& fetchSteps();
const QStringList& clearSteps();

}  // namespace dispatched
}  // namespace qc
