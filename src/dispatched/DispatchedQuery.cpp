#include "dispatched/DispatchedQuery.h"

#include "dispatched/DispatchedColumns.h"
#include "platform/Dialect.h"
#include "platform/TextInput.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"

namespace qc::dispatched {

SqlFragment dispatchedQuery(LoginContext& ctx, BusinessType type, const DispatchedFilter& filter) {
    QStringList sources;
    for (const grid::ColumnSpec& c : dispatchedColumns()) sources << c.source;
    SqlFragment q;
    q.sql = QStringLiteral("SELECT ") + sources.join(QStringLiteral(", ")) +
            QStringLiteral(
                " FROM IA_EnSubsidiary"
                " LEFT JOIN Inventory ON IA_EnSubsidiary.cInvCode = Inventory.cInvCode"
                " LEFT JOIN Warehouse ON IA_EnSubsidiary.cWhCode = Warehouse.cWhCode"
                " LEFT JOIN Customer ON IA_EnSubsidiary.cCusCode = Customer.cCusCode"
                " LEFT JOIN Department ON IA_EnSubsidiary.cAccDep = Department.cDepCode"
                " LEFT JOIN Person ON IA_EnSubsidiary.cPersonCode = Person.cPersonCode"
                " LEFT JOIN code ON IA_EnSubsidiary.cOutHead = code.cCode"
                " LEFT JOIN ComputationUnit ON Inventory.cComUnitCode = ComputationUnit.cComunitCode"
                " WHERE IA_EnSubsidiary.dVouDate < ? AND IA_EnSubsidiary.cBusType = ?");
    q.binds << cutOffDate(ctx) << businessName(type);

    const SqlFragment rights =
        RowRightsFilter(ctx, QStringLiteral("IA_EnSubsidiary.cWhCode"),
                        QStringLiteral("IA_EnSubsidiary.cAccDep"), QStringLiteral("Inventory.iId"), false);
    if (!rights.isEmpty()) {
        q.sql += QStringLiteral(" AND ") + rights.sql;
        q.binds += rights.binds;
    }
    const auto add = [&q](const QString& condition, const QVariant& value) {
        q.sql += QStringLiteral(" AND ") + condition;
        q.binds << value;
    };
    QStringList marks;
    for (const QString& wh : filter.warehouses) {
        marks << QStringLiteral("?");
        q.binds << wh;
    }
    // No warehouse chosen selects nothing, as an empty list would.
    q.sql += marks.isEmpty() ? QStringLiteral(" AND 1 = 0")
                             : QStringLiteral(" AND IA_EnSubsidiary.cWhCode IN (%1)").arg(marks.join(u','));
    if (!filter.itemClass.isEmpty())
        add(QStringLiteral("Inventory.cInvCCode LIKE ?") + Dialect::likeEscape(),
            prefixPattern(filter.itemClass));
    if (!filter.itemFrom.isEmpty()) add(QStringLiteral("IA_EnSubsidiary.cInvCode >= ?"), filter.itemFrom);
    if (!filter.itemTo.isEmpty()) add(QStringLiteral("IA_EnSubsidiary.cInvCode <= ?"), filter.itemTo);
    if (!filter.customerClass.isEmpty())
        add(QStringLiteral("Customer.cCCCode LIKE ?") + Dialect::likeEscape(),
            prefixPattern(filter.customerClass));
    if (!filter.customerFrom.isEmpty()) add(QStringLiteral("Customer.cCusCode >= ?"), filter.customerFrom);
    if (!filter.customerTo.isEmpty()) add(QStringLiteral("Customer.cCusCode <= ?"), filter.customerTo);
    q.sql += QStringLiteral(" ORDER BY IA_EnSubsidiary.AutoID");
    return q;
}

}  // namespace qc::dispatched
