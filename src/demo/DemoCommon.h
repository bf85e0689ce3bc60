#pragma once

#include "demo/Demo.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <initializer_list>
#include <utility>

namespace qc::demo::detail {

inline constexpr int kYear = 2026;
inline const QString kAccount = QStringLiteral("001");
// Inventory accounting, stock and purchasing all start on the first day of the year.
inline QDate startDate() {
    return {kYear, 1, 1};
}

using Values = std::initializer_list<std::pair<const char*, QVariant>>;

// INSERT of one row with bound values (small fixed lists only).
void insertRow(Database& db, const QString& table, Values values);

// Refuses to fill a database that already holds an account.
void requireEmpty(Database& db);

// Account, subsystems, periods, month-end state and the parameters of AA, IA, ST,
// PU and SA; the data-rights switches are on.
void writeAccountSettings(Database& db, const QString& unitName);

// Dictionaries shared by the demo and the generated accounts: units, departments,
// persons, vendor and customer classes and their members, accounting subjects,
// receipt and issue categories, project classes and projects, user-defined item
// captions and value lists.
void writeCommonDictionaries(Database& db);

// The two operators. The clerk may see the given warehouses (write right on those
// in `writableWarehouses`), the given departments and the items whose Inventory.iId
// is listed, and lacks the posting right.
struct ClerkScope {
    QStringList warehouses, writableWarehouses, departments;
    QList<int> inventoryIds;
};
QList<DemoUser> createOperators(Database& db, const ClerkScope& scope);

}  // namespace qc::demo::detail
