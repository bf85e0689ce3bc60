#include "demo/Demo.h"
#include "host/Users.h"
#include "platform/Database.h"
#include "platform/Decimal.h"
#include "support/TestDb.h"

#include <QSet>
#include <QSqlRecord>

namespace qc {
namespace {

class DemoTest : public test::DbTest {
  protected:
    QString param(const char* sys, const char* name) {
        return textOf(
            db().scalar(QStringLiteral("SELECT cValue FROM AccInformation WHERE cSysID = ? AND cName = ?"),
                        {QString::fromLatin1(sys), QString::fromLatin1(name)}));
    }
    qint64 count(const QString& sql, const QVariantList& binds = {}) {
        return db().scalar(sql, binds).toLongLong();
    }
};

// Catches a demo that misses what the later rules are exercised on: the accounting
// basis and start dates, a class tree that breaks the "223" coding scheme or files
// items under a class that is not an end class, a valuation method without a
// warehouse, and the kinds of item the entry rules must refuse.
TEST_P(DemoTest, AccountParametersClassesWarehousesAndItems) {
    const demo::DemoInfo info = demo::createDemo(db());
    EXPECT_EQ(info.accountId, QStringLiteral("001"));
    EXPECT_EQ(info.year, 2026);
    EXPECT_EQ(param("IA", "cValueStyle"), QStringLiteral("按仓库核算"));
    EXPECT_EQ(param("AA", "cGoodClass"), QStringLiteral("223"));
    for (const auto& [sys, name] :
         {std::pair{"IA", "dIAStartDate"}, {"ST", "dSTStartDate"}, {"PU", "dPUStartDate"}})
        EXPECT_EQ(QDate::fromString(param(sys, name), Qt::ISODate), QDate(2026, 1, 1)) << name;
    EXPECT_EQ(param("IA", "bWarehouseCheck").toUpper(), QStringLiteral("TRUE"));

    // Each class code is as long as its grade says, and its parent exists.
    const int lengths[] = {0, 2, 4, 7};
    QSqlQuery q = db().exec(QStringLiteral("SELECT cInvCCode, iInvCGrade FROM InventoryClass"));
    QSet<QString> codes;
    QList<std::pair<QString, int>> classes;
    while (q.next()) {
        codes << q.value(0).toString();
        classes << std::pair{q.value(0).toString(), q.value(1).toInt()};
    }
    QSet<int> grades;
    for (const auto& [code, grade] : classes) {
        ASSERT_TRUE(grade >= 1 && grade <= 3) << code.toStdString();
        grades << grade;
        EXPECT_EQ(code.size(), lengths[grade]) << code.toStdString();
        if (grade > 1) {
            EXPECT_TRUE(codes.contains(code.left(lengths[grade - 1]))) << code.toStdString();
        }
    }
    EXPECT_EQ(grades, (QSet<int>{1, 2, 3}));
    EXPECT_EQ(count(QStringLiteral(
                  "SELECT COUNT(*) FROM Inventory LEFT JOIN InventoryClass "
                  "ON Inventory.cInvCCode = InventoryClass.cInvCCode WHERE COALESCE(bInvCEnd, 0) <> 1")),
              0);

    QSet<QString> methods;
    q = db().exec(
        QStringLiteral("SELECT DISTINCT cWhValueStyle FROM Warehouse WHERE cWhValueStyle IS NOT NULL"));
    while (q.next()) methods << q.value(0).toString();
    for (const char* m : {"计划价法", "先进先出法", "后进先出法", "个别计价法", "售价法", "全月平均法"})
        EXPECT_TRUE(methods.contains(QString::fromUtf8(m))) << m;

    EXPECT_GE(count(QStringLiteral("SELECT COUNT(*) FROM Inventory WHERE bService = 0 AND bInvType = 0")),
              60);
    EXPECT_GT(count(QStringLiteral("SELECT COUNT(*) FROM Inventory WHERE bService = 1")), 0);
    EXPECT_GT(count(QStringLiteral("SELECT COUNT(*) FROM Inventory WHERE bInvType = 1")), 0);
    EXPECT_GT(count(QStringLiteral("SELECT COUNT(*) FROM Inventory WHERE dEDate <= ?"), {QDate(2026, 1, 1)}),
              0);
    EXPECT_GT(count(QStringLiteral("SELECT COUNT(*) FROM Inventory WHERE bFree1 = 1")), 0);
    // A free item an item uses has a caption, or its column would stay hidden.
    EXPECT_GT(count(QStringLiteral("SELECT COUNT(*) FROM UserDef WHERE cItem = ? AND cItemName <> ''"),
                    {QStringLiteral("自由项1")}),
              0);
    // The iIds that inventory rights list are unique.
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(DISTINCT iId) FROM Inventory")),
              count(QStringLiteral("SELECT COUNT(*) FROM Inventory")));
}

// Catches documents that would issue more than a warehouse holds, amounts that are
// not quantity x unit cost to the cent, and planned-price openings that do not
// carry the item's planned price.
TEST_P(DemoTest, StockDocumentsAndOpeningsAreConsistent) {
    demo::createDemo(db());
    EXPECT_EQ(count(QStringLiteral(
                        "SELECT COUNT(*) FROM (SELECT RdRecord.cWhCode, RdRecords.cInvCode, "
                        "SUM(CASE WHEN RdRecord.bRdFlag = 1 THEN RdRecords.iQuantity ELSE "
                        "-RdRecords.iQuantity END) AS q "
                        "FROM RdRecord JOIN RdRecords ON RdRecords.ID = RdRecord.ID WHERE RdRecord.dDate < ? "
                        "GROUP BY RdRecord.cWhCode, RdRecords.cInvCode) s WHERE q < 0"),
                    {QDate(2026, 1, 1)}),
              0);
    EXPECT_GT(count(QStringLiteral("SELECT COUNT(*) FROM RdRecord WHERE cVouchType = '34' AND bIsSTQc = 1")),
              0);
    for (const char* type : {"01", "08", "10", "32", "09", "11"})
        EXPECT_GT(count(QStringLiteral("SELECT COUNT(*) FROM RdRecord WHERE cVouchType = ? AND dDate < ?"),
                        {QString::fromLatin1(type), QDate(2026, 1, 1)}),
                  0)
            << type;

    QSqlQuery q = db().exec(QStringLiteral("SELECT iQuantity, iUnitCost, iPrice FROM RdRecords"));
    int lines = 0;
    while (q.next()) {
        ++lines;
        const Decimal qty = Decimal::fromVariant(q.value(0)), cost = Decimal::fromVariant(q.value(1));
        EXPECT_EQ(Decimal::fromVariant(q.value(2)).toString(2), (qty * cost).round(2).toString(2));
    }
    EXPECT_GT(lines, 0);

    q = db().exec(
        QStringLiteral("SELECT IA_Subsidiary.iInCost, Inventory.iInvRCost, IA_Subsidiary.iAInQuantity, "
                       "IA_Subsidiary.iAInPrice "
                       "FROM IA_Subsidiary JOIN Warehouse ON Warehouse.cWhCode = IA_Subsidiary.cWhCode "
                       "JOIN Inventory ON Inventory.cInvCode = IA_Subsidiary.cInvCode "
                       "WHERE Warehouse.cWhValueStyle = ? AND IA_Subsidiary.iMonth = 0 AND "
                       "IA_Subsidiary.cVouType = '34'"),
        {QStringLiteral("计划价法")});
    int planned = 0;
    while (q.next()) {
        ++planned;
        const Decimal price = Decimal::fromVariant(q.value(1));
        EXPECT_EQ(Decimal::fromVariant(q.value(0)).toString(2), price.toString(2));
        EXPECT_EQ(Decimal::fromVariant(q.value(3)).toString(2),
                  (Decimal::fromVariant(q.value(2)) * price).round(2).toString(2));
    }
    EXPECT_GT(planned, 0);
    // Openings are not posted yet.
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM IA_Subsidiary WHERE cAccounter IS NOT NULL")), 0);
}

// Catches sales data that cannot exercise the dispatched-goods fetch: it needs
// instalment and consignment notes before the start that are only partly invoiced,
// and invoices that must not count (unverified, invalidated, after the start).
TEST_P(DemoTest, DispatchNotesArePartlyInvoicedBeforeTheStart) {
    demo::createDemo(db());
    const QString partly = QStringLiteral(
        "SELECT COUNT(*) FROM DispatchList JOIN DispatchLists ON DispatchLists.DLID = DispatchList.DLID "
        "WHERE DispatchList.cVouchType = ? AND DispatchList.cBusType = ? AND DispatchList.dDate < ? "
        "AND DispatchLists.iQuantity > (SELECT COALESCE(SUM(SaleBillVouchs.iQuantity), 0) FROM "
        "SaleBillVouchs "
        "JOIN SaleBillVouch ON SaleBillVouch.SBVID = SaleBillVouchs.SBVID WHERE SaleBillVouchs.iDLsID = "
        "DispatchLists.iDLsID AND SaleBillVouch.dDate < ? AND SaleBillVouch.cChecker IS NOT NULL "
        "AND SaleBillVouch.cInvalider IS NULL) "
        "AND EXISTS (SELECT 1 FROM SaleBillVouchs WHERE SaleBillVouchs.iDLsID = DispatchLists.iDLsID)");
    const QDate start(2026, 1, 1);
    EXPECT_GT(count(partly, {QStringLiteral("05"), QStringLiteral("分期收款"), start, start}), 0);
    EXPECT_GT(count(partly, {QStringLiteral("06"), QStringLiteral("委托代销"), start, start}), 0);
    EXPECT_GT(count(QStringLiteral("SELECT COUNT(*) FROM SaleBillVouch WHERE cChecker IS NULL")), 0);
    EXPECT_GT(count(QStringLiteral("SELECT COUNT(*) FROM SaleBillVouch WHERE cInvalider IS NOT NULL")), 0);
    EXPECT_GT(count(QStringLiteral("SELECT COUNT(*) FROM SaleBillVouch WHERE dDate >= ?"), {start}), 0);
    // One note was taken over before; one line is invoiced on two dates before the start.
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM DispatchList WHERE cAccounter IS NOT NULL")), 1);
    EXPECT_GT(
        count(QStringLiteral(
                  "SELECT COUNT(*) FROM (SELECT SaleBillVouchs.iDLsID FROM SaleBillVouchs JOIN SaleBillVouch "
                  "ON SaleBillVouch.SBVID = SaleBillVouchs.SBVID WHERE SaleBillVouch.dDate < ? "
                  "GROUP BY SaleBillVouchs.iDLsID HAVING COUNT(DISTINCT SaleBillVouch.dDate) > 1) twice"),
              {start}),
        0);
}

// Catches operators whose passwords or rights differ from what is printed: the
// clerk must lack posting and see only part of the account; a second run must not
// add a second company to the same database.
TEST_P(DemoTest, OperatorsAndASecondRun) {
    const demo::DemoInfo info = demo::createDemo(db());
    ASSERT_EQ(info.users.size(), 2);
    for (const demo::DemoUser& u : info.users) {
        EXPECT_TRUE(Users::authenticate(db(), u.userId, u.password).has_value()) << u.userId.toStdString();
        EXPECT_FALSE(Users::authenticate(db(), u.userId, u.password + u'x').has_value());
    }
    EXPECT_TRUE(Users::holdsFunction(db(), QStringLiteral("demo"), QStringLiteral("ASM3102")));
    EXPECT_FALSE(Users::holdsFunction(db(), QStringLiteral("clerk"), QStringLiteral("ASM3102")));
    EXPECT_TRUE(Users::holdsFunction(db(), QStringLiteral("clerk"), QStringLiteral("ASM310101")));
    EXPECT_TRUE(Users::holdsFunction(db(), QStringLiteral("clerk"), QStringLiteral("ASM310103")));

    const qint64 items = count(QStringLiteral("SELECT COUNT(*) FROM Inventory"));
    EXPECT_THROW(demo::createDemo(db()), DbError);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM Inventory")), items);
}

QC_DB_SUITE(DemoTest);

class ScaleTest : public test::DbTest {
  protected:
    // An aggregate over the generated content; equal for equal content.
    static QString checksum(Database& d) {
        QStringList parts;
        for (const char* sql :
             {"SELECT COUNT(*), SUM(iInvRCost), SUM(iId * LENGTH(cInvCCode)), SUM(bService + 2 * bInvType) "
              "FROM Inventory",
              "SELECT SUM(iAInQuantity), SUM(iAInPrice), SUM(AutoID * LENGTH(cInvCode)) FROM IA_Subsidiary",
              "SELECT SUM(iQuantity), SUM(iPrice), SUM(LENGTH(cInvCode)) FROM RdRecords",
              "SELECT SUM(bRdFlag), SUM(bIsSTQc), COUNT(DISTINCT dDate) FROM RdRecord",
              "SELECT SUM(iQuantity), COUNT(DISTINCT cInvCode) FROM DispatchLists",
              "SELECT SUM(iQuantity) FROM SaleBillVouchs"}) {
            QSqlQuery q = d.exec(QString::fromLatin1(sql));
            q.next();
            for (int i = 0; i < q.record().count(); ++i)
                parts << Decimal::fromVariant(q.value(i)).toString(2);
        }
        return parts.join(u'|');
    }
};

// Catches a generator that gives other counts than asked, rows that point at items
// or warehouses that do not exist, openings of services, and amounts that are not
// quantity x cost to the cent.
TEST_P(ScaleTest, GivesTheCountsAskedAndConsistentRows) {
    demo::ScaleOptions o;
    o.items = 300;
    o.warehouses = 7;
    o.openings = 500;
    o.stockLines = 2003;
    o.dispatchLines = 101;
    const demo::ScaleReport r = demo::generateScale(db(), o);
    EXPECT_EQ(r.items, 300);
    EXPECT_EQ(r.warehouses, 7);
    EXPECT_EQ(r.openings, 500);
    EXPECT_EQ(r.stockLines, 2003);
    EXPECT_EQ(r.dispatchLines, 101);
    auto count = [&](const char* sql) { return db().scalar(QString::fromLatin1(sql)).toLongLong(); };
    EXPECT_EQ(count("SELECT COUNT(*) FROM RdRecord"), 201);
    EXPECT_EQ(
        count("SELECT COUNT(*) FROM RdRecords LEFT JOIN Inventory ON Inventory.cInvCode = RdRecords.cInvCode "
              "WHERE Inventory.cInvCode IS NULL"),
        0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM RdRecords LEFT JOIN RdRecord ON RdRecord.ID = RdRecords.ID "
                    "WHERE RdRecord.ID IS NULL"),
              0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM IA_Subsidiary LEFT JOIN Warehouse ON Warehouse.cWhCode = "
                    "IA_Subsidiary.cWhCode "
                    "LEFT JOIN Inventory ON Inventory.cInvCode = IA_Subsidiary.cInvCode "
                    "WHERE Warehouse.cWhCode IS NULL OR Inventory.cInvCode IS NULL OR Inventory.bService = 1 "
                    "OR Inventory.bInvType = 1"),
              0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM InventoryClass WHERE iInvCGrade = 3 AND bInvCEnd = 1"), 1000);
    EXPECT_GT(count("SELECT COUNT(*) FROM Inventory WHERE bService = 1"), 0);
    QSqlQuery q = db().exec(QStringLiteral("SELECT iAInQuantity, iInCost, iAInPrice FROM IA_Subsidiary"));
    while (q.next())
        ASSERT_EQ(Decimal::fromVariant(q.value(2)).toString(2),
                  (Decimal::fromVariant(q.value(0)) * Decimal::fromVariant(q.value(1))).round(2).toString(2));
    EXPECT_TRUE(Users::authenticate(db(), QStringLiteral("clerk"), QStringLiteral("clerk123")).has_value());
}

// Catches a generator that depends on anything but its options (time, random
// numbers, row order) or that ignores the seed.
TEST_P(ScaleTest, TheSameSeedGivesTheSameContent) {
    demo::ScaleOptions o;
    o.items = 120;
    o.warehouses = 5;
    o.openings = 200;
    o.stockLines = 500;
    o.dispatchLines = 60;
    o.seed = 7;
    demo::generateScale(db(), o);
    test::ScratchAccount again(GetParam()), other(GetParam());
    demo::generateScale(again.db(), o);
    o.seed = 8;
    demo::generateScale(other.db(), o);
    EXPECT_EQ(checksum(db()), checksum(again.db()));
    EXPECT_NE(checksum(db()), checksum(other.db()));
}

QC_DB_SUITE(ScaleTest);

}  // namespace
}  // namespace qc
