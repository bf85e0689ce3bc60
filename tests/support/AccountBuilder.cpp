#include "support/AccountBuilder.h"

#include "demo/DemoCatalogue.h"
#include "demo/DemoCommon.h"
#include "host/Users.h"
#include "platform/Schema.h"

namespace qc::test {

using namespace demo::catalogue;
using namespace demo::detail;

AccountBuilder::AccountBuilder(Database& db, bool create) : m_db(db) {
    if (!create) return;
    createSchema(db);
    Transaction tx(db);
    writeAccountSettings(db, QStringLiteral("测试单位"));
    writeCommonDictionaries(db);
    createOperators(db, ClerkScope{});
    tx.commit();
}

AccountBuilder& AccountBuilder::warehouses(std::initializer_list<const char*> codes) {
    Transaction tx(m_db);
    for (const char* code : codes) {
        bool found = false;
        for (const WarehouseRow& w : demo::catalogue::warehouses())
            if (qstrcmp(w.code, code) == 0) {
                writeWarehouse(m_db, w);
                found = true;
            }
        if (!found) throw DbError(QStringLiteral("演示数据中没有仓库 ") + s(code));
    }
    tx.commit();
    return *this;
}

AccountBuilder& AccountBuilder::items(std::initializer_list<const char*> codes) {
    Transaction tx(m_db);
    for (const char* code : codes) {
        const ItemRow& it = item(code);
        // The item's class and every class above it, once each.
        const QString cls = s(it.cls);
        for (const ClassRow& c : classes()) {
            const QString classCode = s(c.code);
            if (cls.startsWith(classCode) && !m_classes.contains(classCode)) {
                writeClass(m_db, c);
                m_classes << classCode;
            }
        }
        writeItem(m_db, it);
    }
    tx.commit();
    return *this;
}

qint64 AccountBuilder::opening(const OpeningRow& row) {
    const auto number = [](const QString& text) {
        return text.isEmpty() ? QVariant() : Decimal::fromText(text).toVariant();
    };
    return m_db.insertReturningId(
        QStringLiteral("IA_Subsidiary"),
        {QStringLiteral("bRdFlag"), QStringLiteral("cWhCode"), QStringLiteral("dVouDate"),
         QStringLiteral("iMonth"), QStringLiteral("cVouType"), QStringLiteral("cInvCode"),
         QStringLiteral("iAInQuantity"), QStringLiteral("iInCost"), QStringLiteral("iAInPrice"),
         QStringLiteral("cAccDep"), QStringLiteral("iDebitDifCost"), QStringLiteral("iCreditDifCost")},
        {1, row.warehouse, QDate(2025, 12, 31), 0, QStringLiteral("34"), row.item, number(row.quantity),
         number(row.unitCost), number(row.amount), row.department, number(row.debitDifference),
         number(row.creditDifference)},
        QStringLiteral("AutoID"));
}

AccountBuilder& AccountBuilder::clerkHolds(const QStringList& warehouses, const QStringList& writable,
                                           const QStringList& departments, const QStringList& items) {
    const QString clerk = QStringLiteral("clerk");
    Transaction tx(m_db);
    for (const char* table : {"Warehouse", "Department", "Inventory"})
        Users::restrict(m_db, clerk, QString::fromLatin1(table));
    for (const QString& w : warehouses)
        Users::grantData(m_db, clerk, QStringLiteral("Warehouse"), w, writable.contains(w));
    for (const QString& d : departments) Users::grantData(m_db, clerk, QStringLiteral("Department"), d, true);
    for (const QString& code : items)
        Users::grantData(
            m_db, clerk, QStringLiteral("Inventory"),
            QString::number(
                static_cast<int>(&item(code.toLatin1().constData()) - demo::catalogue::items().data()) + 1),
            true);
    tx.commit();
    return *this;
}

AccountBuilder& AccountBuilder::parameter(const char* system, const char* name, const QString& value) {
    m_db.exec(QStringLiteral("UPDATE AccInformation SET cValue = ? WHERE cSysID = ? AND cName = ?"),
              {value, QString::fromLatin1(system), QString::fromLatin1(name)});
    return *this;
}

}  // namespace qc::test
