#pragma once

#include "platform/Database.h"
#include "platform/NumberFormat.h"  // StripThousandsSeparators, shared with the windows

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace qc {

struct LoginContext;

// Account settings, user-defined item names and data rights. Every query runs on
// the connection of the context's host database object (ctx.gDb); query errors
// are thrown as DbError to the calling window.

// The kinds of data rights.
inline const QString kRightWarehouse = QStringLiteral("仓库");
inline const QString kRightDepartment = QStringLiteral("部门");
inline const QString kRightInventory = QStringLiteral("存货");
inline const QString kRightOperator = QStringLiteral("操作员");

// An account parameter of AccInformation: cValue, or cDefault when cValue is null
// or empty; "" when there is no such row.
QString ReadAccParam(LoginContext& ctx, const QString& cSysID, const QString& cName);
// The same without the default: cValue, or "" when it is null or the row is missing.
QString ReadAccValue(LoginContext& ctx, const QString& cSysID, const QString& cName);

// True when no earlier year of the account uses inventory accounting, i.e. the
// login's year is the first one (asked through the login's own database object).
bool IsIaStartYear(LoginContext& ctx);

// Fills the four data-rights switches of the context from the settings of the
// subsystem that governs data rights ("ST" or "IA").
void ReadRightsFlags(LoginContext& ctx);

// The data-rights condition on `column` for a kind (kRightWarehouse ...), to be
// ANDed into a WHERE clause; empty when the operator is not restricted. The column
// is an identifier from the calling code ("cWhCode", "inventory.iid "); anything
// but identifier characters, dots and spaces is refused with std::invalid_argument.
// *built (when given) tells whether a condition was built. The fragment and the
// column are also kept in ctx.lastRightsFilter and ctx.lastRightsColumn.
SqlFragment BuildRightsFilter(LoginContext& ctx, const QString& column, const QString& kind, bool writeRight,
                              bool* built = nullptr);

// The three data-rights conditions of a row that names a warehouse, a department
// and an item (by the column holding Inventory.iId), ANDed; empty when the
// operator is not restricted. With writeRight, the rows the operator may change.
SqlFragment RowRightsFilter(LoginContext& ctx, const QString& warehouseColumn,
                            const QString& departmentColumn, const QString& inventoryIdColumn,
                            bool writeRight);

// The warehouse (department: end-level only) codes the operator holds, in the order
// of the rights query; all of them when he is not restricted, none when he holds none.
QStringList WarehouseCodeList(LoginContext& ctx, bool writeRight);
QStringList DepartmentCodeList(LoginContext& ctx, bool writeRight);
// The answers of the rights service for inventory items (Inventory.iId values) and
// operators, unchanged: empty (not restricted), "Null" (holds none) or a SELECT.
SqlFragment InventoryRightsSql(LoginContext& ctx, bool writeRight);
SqlFragment UserRightsSql(LoginContext& ctx, bool writeRight);

// A condition on inventory codes from the inventory rights: empty when the operator
// is not restricted; "<column> in (<the permitted codes>)" when some item is
// permitted; "<column> is null " when none is.
SqlFragment InventoryCodeFilter(LoginContext& ctx, const QString& column, bool writeRight);

// Whether the operator holds the read (or write) right on one code of a kind. An
// empty code is always allowed; an unknown kind never. The switches are not
// consulted: callers check them first.
bool HasDataRight(LoginContext& ctx, const QString& code, const QString& kind, bool writeRight);

// The items of the warehouse list: the code padded with spaces to 15 characters
// followed by the name, in code order, restricted by the warehouse rights and, when
// depCode is not empty, to the warehouses of that department.
QStringList FillWarehouseCombo(LoginContext& ctx, const QString& depCode);

// Captions of the inventory's user-defined items 1..16 and of the free items 1..10
// ("" where no caption is set).
QStringList InvDefineNames(LoginContext& ctx);
QStringList FreeItemNames(LoginContext& ctx);

// Maximum text length of a user-defined item: `field` of the text-typed row of
// `table` whose `keyColumn` equals key; 0 when there is none. Field, table and key
// column must exist in the database (std::invalid_argument otherwise).
short UserDefLength(LoginContext& ctx, const QString& field, const QString& table, const QString& keyColumn,
                    const QString& key);
// Caption of a user-defined item: `field` of the row, or its cItem when the field is
// null; nothing when there is no row. Identifiers are checked as above.
std::optional<QString> UserDefCaption(LoginContext& ctx, const QString& field, const QString& table,
                                      const QString& keyColumn, const QString& key);
// Caption and text length of the user-defined items of UserDef with the given
// cIDs, read in one statement; an id without a row is absent. The caption is
// cItemName, or cItem when that is null; the length is iLong of a text-typed item
// and 0 for any other.
struct UserDefItem {
    QString caption;
    short length = 0;
};
QHash<QString, UserDefItem> UserDefItems(LoginContext& ctx, const QStringList& ids);
// cID of user-defined item n of a class ("单据头", "单据体", "存货"); "" when missing.
QString UserDefId(LoginContext& ctx, const QString& cClass, int n);

// The first and last day of a period of the login's account and year, as the
// period calendar (UA_Period) holds them; nothing when it has no such period.
struct PeriodDates {
    QDate begin, end;
};
std::optional<PeriodDates> LoginPeriod(LoginContext& ctx, int period);

// The account's unit (company) name, for print headers.
QString UnitName(LoginContext& ctx);

}  // namespace qc
