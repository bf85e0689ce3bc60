#pragma once

// A small account for the reference lookups and the condition fields: an
// inventory-class tree, stock items, a service and a non-stock item, customers,
// departments and warehouses, and two operators ("boss" holds every right,
// "clerk" is the one whose data rights the tests narrow). Also a scripted
// stand-in for the host's pick windows.

#include "entry/clsQC.h"
#include "host/Pickers.h"
#include "host/Users.h"
#include "host/VqLogin.h"
#include "platform/MessageSink.h"
#include "platform/Schema.h"
#include "session/LoginContext.h"
#include "support/ScriptedPickers.h"
#include "support/TestDb.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <optional>

namespace qc::test {

// A database suite that logs operators in with the password "pw" to account 001
// of 2026 and opens the context of the opening window for them.
class LoggedInTest : public DbTest {
  protected:
    void TearDown() override {
        closeContext(ctx);
        ctx = LoginContext{};
        login.reset();
        DbTest::TearDown();
    }
    void run(const char* sql) { db().exec(QString::fromUtf8(sql)); }
    void openAs(const QString& user) {
        QString err;
        login = VqLogin::login(
            LoginRequest{
                conn(), QStringLiteral("001"), 2026, user, QStringLiteral("pw"), QDate(2026, 1, 1), {}},
            &err);
        ASSERT_TRUE(login) << err.toStdString();
        ctx.scratchFolder = folder();
        openContext(ctx, *login, false, ConnectionMode::Reconnect);
        ctx.sink = sink.get();
    }

    std::unique_ptr<VqLogin> login;
    std::unique_ptr<RecordingSink> sink;
    LoginContext ctx;
};

class ConditionAccount : public LoggedInTest {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        qputenv("QC_FAST_HASH", "1");
        createSchema(db());
        run("INSERT INTO UA_Account(cAcc_Id, cAcc_Name, iYear, cUnitName) VALUES "
            "('001','测试账套',2026,'测试单位')");
        Users::createUser(db(), QStringLiteral("boss"), QStringLiteral("老板"), QStringLiteral("pw"), true);
        Users::createUser(db(), QStringLiteral("clerk"), QStringLiteral("张会计"), QStringLiteral("pw"),
                          false);
        run("INSERT INTO AccInformation(cSysID, cName, cValue) VALUES ('AA','cGoodClass','224')");
        run("INSERT INTO InventoryClass(cInvCCode, cInvCName, iInvCGrade, bInvCEnd) VALUES "
            "('01','原材料',1,0), ('0101','钢材',2,1), ('02','产成品',1,1), ('03','包装物',1,1)");
        // C1 is named like the code of C2: the text "C2" matches two rows.
        run("INSERT INTO Inventory(cInvCode, cInvName, cInvStd, cInvCCode, bService, bInvType, iId) VALUES "
            "('A001','圆钢','φ20','0101',0,0,1), ('A002','O''Brien 扣件','M8','0101',0,0,2), "
            "('B001','成品甲',NULL,'02',0,0,3), ('S001','运输服务',NULL,'01',1,0,4), "
            "('N001','非库存件',NULL,'01',0,1,5), ('C1','C2',NULL,'03',0,0,6), "
            "('C2','乙件',NULL,'03',0,0,7)");
        run("INSERT INTO CustomerClass(cCCCode, cCCName) VALUES ('K1','批发'), ('K2','零售')");
        run("INSERT INTO Customer(cCusCode, cCusName, cCusAbbName, cCCCode) VALUES "
            "('C01','华北商行有限公司','华北商行','K1'), ('C02','华南商行有限公司','华南商行','K2')");
        run("INSERT INTO Department(cDepCode, cDepName, bDepEnd) VALUES ('D1','总部',0), "
            "('D101','财务部',1)");
        run("INSERT INTO Warehouse(cWhCode, cWhName, cWhValueStyle) VALUES ('01','一号库','先进先出法'), "
            "('02','二号库','计划价法'), ('03','华东地区第三成品周转仓库备用库房甲乙丙丁','售价法')");
        sink = std::make_unique<RecordingSink>();
    }
    // The clerk may see only the items with these iId values, and rights are checked.
    void clerkHoldsItems(const QStringList& ids) {
        Users::restrict(db(), QStringLiteral("clerk"), QStringLiteral("Inventory"));
        for (const QString& id : ids)
            Users::grantData(db(), QStringLiteral("clerk"), QStringLiteral("Inventory"), id, false);
        ctx.bInventoryCheck = true;
    }

    ScriptedPickers pickers;
};

}  // namespace qc::test
