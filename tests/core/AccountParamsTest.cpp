#include "core/ConditionFixture.h"
#include "entry/clsQC.h"
#include "host/Users.h"
#include "host/VqLogin.h"
#include "platform/Schema.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"
#include "support/TestDb.h"

#include <QSqlQuery>

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

// An account with two operators ("boss" holds everything, "clerk" is the one
// whose data rights the tests narrow), three warehouses, departments and items,
// and a table of rows to filter.
class AccountParamsTest : public test::LoggedInTest {
  protected:
    void SetUp() override {
        LoggedInTest::SetUp();
        qputenv("QC_FAST_HASH", "1");
        createSchema(db());
        run("INSERT INTO UA_Account(cAcc_Id, cAcc_Name, iYear, cUnitName) VALUES ('001', '测试账套', 2026, "
            "'测试单位')");
        Users::createUser(db(), u"boss"_s, u"老板"_s, u"pw"_s, true);
        Users::createUser(db(), u"clerk"_s, u"张会计"_s, u"pw"_s, false);
        run("INSERT INTO Department(cDepCode, cDepName, bDepEnd) VALUES ('D1','一部',1), ('D2','二部',1), "
            "('DP','总部',0)");
        run("INSERT INTO Warehouse(cWhCode, cWhName, cDepCode) VALUES "
            "('01','一号库','D1'), ('02','二号库','D1'), ('03','三号库','D2')");
        run("INSERT INTO Inventory(cInvCode, cInvName, iId) VALUES ('A','甲',10), ('B','乙',20)");
        run("CREATE TABLE rt (id INTEGER, cWhCode VARCHAR(10), cDepCode VARCHAR(12), cInvCode VARCHAR(60), "
            "cMaker VARCHAR(40))");
        // Row 4 names a warehouse, department and item that the dictionaries do not
        // list (or, for DP, not as an end-level department).
        run("INSERT INTO rt VALUES (1,'01','D1','A','老板'), (2,'02','D2','B','张会计'), "
            "(3,NULL,NULL,NULL,NULL), (4,'99','DP','Z','某人')");
    }
    void param(const QString& sys, const QString& name, const QVariant& value, const QVariant& def = {}) {
        db().exec(u"DELETE FROM AccInformation WHERE cSysID = ? AND cName = ?"_s, {sys, name});
        db().exec(u"INSERT INTO AccInformation(cSysID, cName, cValue, cDefault) VALUES (?,?,?,?)"_s,
                  {sys, name, value, def});
    }
    // The first column of `select`, narrowed by the condition, as one text.
    QString pick(const QString& select, const SqlFragment& where) {
        SqlFragment q{select, {}};
        if (!where.isEmpty()) q = SqlFragment{select + u" WHERE "_s + where.sql, where.binds};
        QStringList out;
        QSqlQuery r = db().exec(q.sql + u" ORDER BY 1"_s, q.binds);
        while (r.next()) out << textOf(r.value(0));
        return out.join(u',');
    }
    QString rows(const QString& column, const QString& kind, bool write = false) {
        bool built = true;
        const SqlFragment f = BuildRightsFilter(ctx, column, kind, write, &built);
        EXPECT_EQ(built, !f.isEmpty());
        return pick(u"SELECT id FROM rt"_s, f);
    }
    void restrictClerk(const char* object) { Users::restrict(db(), u"clerk"_s, QString::fromLatin1(object)); }
    void grant(const char* object, const QString& code, bool write = false) {
        Users::grantData(db(), u"clerk"_s, QString::fromLatin1(object), code, write);
    }
};

// A reader that confuses the two fallbacks would show defaults where the entry
// window expects the set value only, or the reverse.
TEST_P(AccountParamsTest, ParameterReadersFallBackDifferently) {
    openAs(u"boss"_s);
    param(u"IA"_s, u"iEmpty"_s, QString(), u"2"_s);
    param(u"IA"_s, u"iNull"_s, QVariant(), u"3"_s);
    param(u"IA"_s, u"iSet"_s, u"5"_s, u"9"_s);
    EXPECT_EQ(ReadAccParam(ctx, u"IA"_s, u"iEmpty"_s), u"2"_s);
    EXPECT_EQ(ReadAccValue(ctx, u"IA"_s, u"iEmpty"_s), QString());
    EXPECT_EQ(ReadAccParam(ctx, u"IA"_s, u"iNull"_s), u"3"_s);
    EXPECT_EQ(ReadAccValue(ctx, u"IA"_s, u"iNull"_s), QString());
    EXPECT_EQ(ReadAccParam(ctx, u"IA"_s, u"iSet"_s), u"5"_s);
    EXPECT_EQ(ReadAccParam(ctx, u"ST"_s, u"iSet"_s), QString());
    EXPECT_EQ(ReadAccValue(ctx, u"IA"_s, u"iMissing"_s), QString());
}

// Switches must be read from the subsystem that governs rights, count "true" in
// any case as on and nothing else (not "1").
TEST_P(AccountParamsTest, RightsSwitchesComeFromTheGoverningSubsystem) {
    openAs(u"clerk"_s);
    param(u"IA"_s, u"bWarehouseCheck"_s, u"true"_s);
    param(u"IA"_s, u"bDepartmentCheck"_s, u"1"_s);
    param(u"IA"_s, u"bInventoryCheck"_s, QString(), u"TRUE"_s);
    param(u"ST"_s, u"bDepartmentCheck"_s, u"True"_s);
    param(u"ST"_s, u"bOperatorCheck"_s, u"TRUE"_s);
    ReadRightsFlags(ctx);
    EXPECT_TRUE(ctx.bWarehouseCheck);
    EXPECT_FALSE(ctx.bDepartmentCheck);
    EXPECT_TRUE(ctx.bInventoryCheck);
    EXPECT_FALSE(ctx.bOperatorCheck);

    db().exec(u"INSERT INTO qc_setting(cName, cValue) VALUES ('RightsSysId', 'ST')"_s);
    ReadRightsFlags(ctx);
    EXPECT_FALSE(ctx.bWarehouseCheck);
    EXPECT_TRUE(ctx.bDepartmentCheck);
    EXPECT_FALSE(ctx.bInventoryCheck);
    EXPECT_TRUE(ctx.bOperatorCheck);
}

// Each kind has its own meaning of "not restricted", "holds nothing" and "Null";
// the conditions run inside a real SELECT and are judged by the rows they pass.
TEST_P(AccountParamsTest, RightsFiltersSelectThePermittedRows) {
    openAs(u"clerk"_s);
    const QString inv = u"SELECT cInvCode FROM Inventory"_s;
    auto invRows = [&](bool write) {
        return pick(inv, BuildRightsFilter(ctx, u"inventory.iid "_s, kRightInventory, write));
    };
    // Switches off: no condition, however narrow the rights.
    restrictClerk("Warehouse");
    restrictClerk("User");
    EXPECT_EQ(rows(u"cWhCode"_s, kRightWarehouse), u"1,2,3,4"_s);
    EXPECT_EQ(rows(u"cMaker"_s, kRightOperator), u"1,2,3,4"_s);
    ctx.bWarehouseCheck = ctx.bDepartmentCheck = ctx.bInventoryCheck = ctx.bOperatorCheck = true;

    // Not restricted: warehouses and departments keep to their dictionary (end-level
    // departments only) plus the rows without one; items and operators are free.
    EXPECT_EQ(rows(u"cDepCode"_s, kRightDepartment), u"1,2,3"_s);
    EXPECT_EQ(invRows(false), u"A,B"_s);

    // Restricted and holding nothing: only rows without a warehouse or operator;
    // the inventory answer "Null" adds no condition.
    restrictClerk("Inventory");
    EXPECT_EQ(rows(u"cWhCode"_s, kRightWarehouse), u"3"_s);
    EXPECT_EQ(invRows(false), u"A,B"_s);
    EXPECT_EQ(rows(u"rt.cMaker"_s, kRightOperator), u"3"_s);
    EXPECT_EQ(ctx.lastRightsColumn, u"rt.cMaker"_s);
    EXPECT_EQ(ctx.lastRightsFilter.sql, u"(rt.cMaker is null)"_s);
    EXPECT_TRUE(WarehouseCodeList(ctx, false).isEmpty());

    // Some codes granted; the write flag narrows to the codes held for writing.
    grant("Warehouse", u"02"_s);
    grant("Warehouse", u"01"_s, true);
    grant("Inventory", u"20"_s);
    grant("User", u"boss"_s);
    restrictClerk("Department");
    grant("Department", u"D2"_s);
    EXPECT_EQ(rows(u"cWhCode"_s, kRightWarehouse), u"1,2,3"_s);
    EXPECT_EQ(rows(u"cWhCode"_s, kRightWarehouse, true), u"1,3"_s);
    EXPECT_EQ(rows(u"cDepCode"_s, kRightDepartment), u"2,3"_s);
    EXPECT_EQ(invRows(false), u"B"_s);
    EXPECT_EQ(rows(u"cMaker"_s, kRightOperator), u"1"_s);
    EXPECT_EQ(WarehouseCodeList(ctx, false), (QStringList{u"01"_s, u"02"_s}));
    EXPECT_EQ(WarehouseCodeList(ctx, true), QStringList{u"01"_s});

    EXPECT_EQ(rows(u"cCusCode"_s, u"客户"_s), u"1,2,3,4"_s);
    EXPECT_THROW(BuildRightsFilter(ctx, u"cWhCode) or (1=1"_s, kRightWarehouse, false),
                 std::invalid_argument);
}

// The code filter has three forms; a permitted set that matches no item must
// still let through only rows without an item, not every row.
TEST_P(AccountParamsTest, InventoryCodeFilterAndSingleRights) {
    openAs(u"clerk"_s);
    auto codeRows = [&] {
        return pick(u"SELECT id FROM rt"_s, InventoryCodeFilter(ctx, u"cInvCode"_s, false));
    };
    EXPECT_TRUE(InventoryCodeFilter(ctx, u"cInvCode"_s, false).isEmpty());
    EXPECT_TRUE(HasDataRight(ctx, u"B"_s, kRightInventory, false));
    restrictClerk("Inventory");
    restrictClerk("Warehouse");
    EXPECT_EQ(codeRows(), u"3"_s);
    grant("Inventory", u"99"_s);  // an iId no item has
    EXPECT_EQ(codeRows(), u"3"_s);
    grant("Inventory", u"10"_s);
    EXPECT_EQ(codeRows(), u"1"_s);

    grant("Warehouse", u"02"_s);
    EXPECT_TRUE(HasDataRight(ctx, u"A"_s, kRightInventory, false));
    EXPECT_FALSE(HasDataRight(ctx, u"B"_s, kRightInventory, false));
    EXPECT_TRUE(HasDataRight(ctx, u"02"_s, kRightWarehouse, false));
    EXPECT_FALSE(HasDataRight(ctx, u"02"_s, kRightWarehouse, true));
    EXPECT_TRUE(HasDataRight(ctx, QString(), kRightWarehouse, true));
    EXPECT_FALSE(HasDataRight(ctx, u"02"_s, u"客户"_s, false));
}

// The list items carry the code in a fixed 15-character field that the windows
// cut the code back out of; department and rights both narrow the list.
TEST_P(AccountParamsTest, WarehouseComboItems) {
    openAs(u"clerk"_s);
    EXPECT_EQ(FillWarehouseCombo(ctx, QString()).size(), 3);
    EXPECT_EQ(FillWarehouseCombo(ctx, u"D1"_s),
              (QStringList{u"01             一号库"_s, u"02             二号库"_s}));
    ctx.bWarehouseCheck = true;
    restrictClerk("Warehouse");
    grant("Warehouse", u"02"_s);
    grant("Warehouse", u"03"_s);
    EXPECT_EQ(FillWarehouseCombo(ctx, u"D1"_s), QStringList{u"02             二号库"_s});
}

// User-defined names: captions by class and number, lengths of text items only,
// and identifiers that are not the database's refused before they reach SQL.
TEST_P(AccountParamsTest, UserDefinedItems) {
    openAs(u"boss"_s);
    run("INSERT INTO UserDef(cID, cClass, cItem, cItemName, cType, iLong) VALUES "
        "('01','存货','自定义项3','颜色','文本',30), ('02','存货','自定义项5','','文本',10), "
        "('03','单据头','自定义项1','合同号','文本',20), ('04','存货','自由项2','批次','数值',8), "
        "('05','单据体','自定义项2',NULL,'文本',12)");
    const QStringList inv = InvDefineNames(ctx);
    ASSERT_EQ(inv.size(), 16);
    EXPECT_EQ(inv.at(2), u"颜色"_s);
    EXPECT_EQ(inv.join(QString()), u"颜色"_s);  // head items and empty captions stay out
    const QStringList free = FreeItemNames(ctx);
    ASSERT_EQ(free.size(), 10);
    EXPECT_EQ(free.at(1), u"批次"_s);

    const QString ud = u"UserDef"_s;
    const QString iLong = u"iLong"_s;
    const QString cId = u"cID"_s;
    EXPECT_EQ(UserDefLength(ctx, iLong, ud, cId, u"01"_s), 30);
    EXPECT_EQ(UserDefLength(ctx, iLong, ud, cId, u"04"_s), 0);  // not a text item
    EXPECT_EQ(UserDefCaption(ctx, u"cItemName"_s, ud, cId, u"03"_s), u"合同号"_s);
    EXPECT_EQ(UserDefCaption(ctx, u"cItemName"_s, ud, cId, u"05"_s), u"自定义项2"_s);
    EXPECT_FALSE(UserDefCaption(ctx, u"cItemName"_s, ud, cId, u"77"_s).has_value());
    EXPECT_EQ(UserDefId(ctx, u"单据头"_s, 1), u"03"_s);
    EXPECT_EQ(UserDefId(ctx, u"单据体"_s, 1), QString());
    // The same answers for several items at once.
    const QHash<QString, UserDefItem> items =
        UserDefItems(ctx, {u"01"_s, u"03"_s, u"04"_s, u"05"_s, u"77"_s});
    EXPECT_EQ(items.value(u"01"_s).length, 30);
    EXPECT_EQ(items.value(u"04"_s).length, 0);
    EXPECT_EQ(items.value(u"03"_s).caption, u"合同号"_s);
    EXPECT_EQ(items.value(u"05"_s).caption, u"自定义项2"_s);
    EXPECT_FALSE(items.contains(u"77"_s));

    EXPECT_THROW(UserDefLength(ctx, u"iLong FROM UserDef --"_s, ud, cId, u"01"_s), std::invalid_argument);
    EXPECT_THROW(UserDefCaption(ctx, u"cItemName"_s, u"NoSuchTable"_s, cId, {}), std::invalid_argument);
}

// The start year is decided by earlier years of inventory accounting only: a
// later year or another subsystem must not count.
TEST_P(AccountParamsTest, StartYearAndUnitName) {
    openAs(u"boss"_s);
    run("INSERT INTO UA_Account_Sub(cAcc_Id, cSub_Id, iYear) VALUES ('001','IA',2026), ('001','IA',2027), "
        "('001','ST',2024)");
    EXPECT_TRUE(IsIaStartYear(ctx));
    run("INSERT INTO UA_Account_Sub(cAcc_Id, cSub_Id, iYear) VALUES ('001','IA',2025)");
    EXPECT_FALSE(IsIaStartYear(ctx));
    EXPECT_EQ(UnitName(ctx), u"测试单位"_s);
}

QC_DB_SUITE(AccountParamsTest);

}  // namespace
}  // namespace qc
