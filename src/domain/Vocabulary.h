#pragma once

// The words of inventory accounting that the account database stores and the
// rules compare and bind: valuation methods, the accounting basis, voucher types
// and the function ids of the module's rights and exclusive tasks. Each is spelt
// once, here; text read from the database is turned into these enums at the edge.

#include <QString>

namespace qc {

// Valuation methods as Warehouse.cWhValueStyle and Inventory.cValueType hold them.
namespace costing {
inline const QString kFifo = QStringLiteral("先进先出法");
inline const QString kLifo = QStringLiteral("后进先出法");
inline const QString kSpecific = QStringLiteral("个别计价法");
inline const QString kPlanned = QStringLiteral("计划价法");
inline const QString kSelling = QStringLiteral("售价法");
inline const QString kMonthlyAverage = QStringLiteral("全月平均法");
inline const QString kMovingAverage = QStringLiteral("移动平均法");
}  // namespace costing

enum class CostingMethod {
    None,
    Fifo,
    Lifo,
    Specific,
    Planned,
    Selling,
    MonthlyAverage,
    MovingAverage,
    Other
};

// The method a stored text names: None for an empty text, Other for one this
// system does not know.
CostingMethod costingMethodOf(const QString& stored);
// Methods that keep receipt layers (lots) of every opening row.
bool isLotValued(CostingMethod m);
// Methods that value stock at a planned (or selling) price and keep the difference.
bool isPricedByPlan(CostingMethod m);
// FIFO and LIFO: one sign per item in a warehouse.
bool keepsOneSign(CostingMethod m);

// The accounting basis of the account (AccInformation IA cValueStyle).
namespace basis {
inline const QString kByWarehouse = QStringLiteral("按仓库核算");
inline const QString kByDepartment = QStringLiteral("按部门核算");
inline const QString kByInventory = QStringLiteral("按存货核算");
}  // namespace basis

// Voucher types (cVouType) the openings write.
namespace voucher {
inline const QString kOpening = QStringLiteral("34");
inline const QString kEstimate = QStringLiteral("33");
}  // namespace voucher

// Business types (cBusType) the posting reads.
namespace business {
inline const QString kOrdinaryPurchase = QStringLiteral("普通采购");
inline const QString kConsignedReceipt = QStringLiteral("受托代销");
}  // namespace business

// Function ids of the module: the right to hold them and the exclusive task of
// running them.
namespace task {
inline const QString kEditOpenings = QStringLiteral("ASM310101");
inline const QString kAddOpenings = QStringLiteral("ASM310102");
inline const QString kFetchFromStock = QStringLiteral("ASM310103");
inline const QString kPostOpenings = QStringLiteral("ASM3102");
// Dispatched goods: fetching and clearing, and editing, per business type.
inline const QString kInstalmentFetch = QStringLiteral("IA001003");
inline const QString kInstalmentEdit = QStringLiteral("IA001002");
inline const QString kConsignmentFetch = QStringLiteral("IA001103");
inline const QString kConsignmentEdit = QStringLiteral("IA001102");
// Reading the audit trail of the openings (操作日志): the administrator's by default.
inline const QString kAuditTrail = QStringLiteral("ASM3190");
}  // namespace task

}  // namespace qc
