#include "entry/clsQC.h"
#include "host/Users.h"
#include "host/VqLogin.h"
#include "platform/Schema.h"
#include "session/LoginContext.h"
#include "support/TestDb.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

// Stands in for the windows: each show opens the context as the windows do and
// records what it was given and what the context held while "shown".
class RecordingWindows : public WindowHost {
  public:
    struct Shown {
        bool isBusiness = false, scratchExists = false, refused = false;
        int businessType = -1;
        YrCommon* common = nullptr;
        QString instanceNo, scratchName;
    };
    QList<Shown> shown;
    bool reconcileBuilt = true, closeAfterShow = true;

    [[nodiscard]] bool available(Window w) const override { return w != Window::Reconcile || reconcileBuilt; }
    void showOpening(LoginContext& ctx, VqLogin& login, bool isBusiness) override {
        Shown& s = open(ctx, login, isBusiness, ConnectionMode::Reconnect);
        s.isBusiness = isBusiness;
        s.refused = !entryDepartmentCheck(ctx);
        if (s.refused) return;
        createScratchDatabase(ctx);
        s.scratchExists = QFile::exists(ctx.gTempMdb->filePath());
        login.TaskExec(u"ASM310101"_s, -1);
        if (closeAfterShow) closeContext(ctx);
    }
    void showDispatched(LoginContext& ctx, VqLogin& login, int businessType) override {
        open(ctx, login, std::nullopt, ConnectionMode::KeepIfOpen).businessType = businessType;
    }
    void showSummary(LoginContext& ctx, VqLogin& login, bool isBusiness) override {
        open(ctx, login, isBusiness, ConnectionMode::Reconnect).isBusiness = isBusiness;
    }
    void showReconcile(LoginContext& ctx, VqLogin& login, YrCommon& common) override {
        open(ctx, login, std::nullopt, ConnectionMode::KeepIfOpen).common = &common;
    }

  private:
    Shown& open(LoginContext& ctx, VqLogin& login, std::optional<bool> flag, ConnectionMode mode) {
        openContext(ctx, login, flag, mode);
        shown << Shown{};
        shown.last().instanceNo = ctx.gInstanceNo;
        shown.last().scratchName = ctx.gTempMdbName;
        return shown.last();
    }
};

class EntryTest : public test::DbTest {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        qputenv("QC_FAST_HASH", "1");
        createSchema(db());
        db().exec(u"INSERT INTO UA_Account(cAcc_Id, cAcc_Name, iYear) VALUES ('001', '测试账套', 2026)"_s);
        Users::createUser(db(), u"clerk"_s, u"张会计"_s, u"pw"_s, false);
        Users::grantFunction(db(), u"clerk"_s, u"ASM3101"_s);
        ctx.scratchFolder = folder();
        ctx.sink = &sink;
        login = loginAs();
    }
    void TearDown() override {
        closeContext(ctx);
        ctx = LoginContext{};
        login.reset();
        DbTest::TearDown();
    }
    std::unique_ptr<VqLogin> loginAs() {
        QString err;
        auto l = VqLogin::login({conn(), u"001"_s, 2026, u"clerk"_s, u"pw"_s, QDate(2026, 1, 1), {}}, &err);
        EXPECT_TRUE(l) << err.toStdString();
        return l;
    }

    RecordingWindows windows;
    RecordingSink sink;
    LoginContext ctx;
    std::unique_ptr<VqLogin> login;
    clsQC qc{&windows, ctx};
};

// Init must open nothing, and InitHelp must not set the entry window's own help
// file: a leftover would show the wrong help after a later InitNew.
TEST_P(EntryTest, InitAndInitHelpOpenNothing) {
    qc.Init(u"/x/y.db"_s, u"clerk"_s, true);
    qc.InitHelp(u"ia.qch"_s);
    EXPECT_TRUE(windows.shown.isEmpty());
    EXPECT_EQ(ctx.gCommon, nullptr);
    EXPECT_EQ(qc.helpFile(), u"ia.qch"_s);
    EXPECT_TRUE(ctx.gHelpFile.isEmpty());

    qc.InitNew(*login, true, u"entry.qch"_s);
    EXPECT_EQ(ctx.gHelpFile, u"entry.qch"_s);
    qc.InitNew(*login);
    EXPECT_EQ(ctx.gHelpFile, QString());
    EXPECT_EQ(qc.helpFile(), u"ia.qch"_s);
    ASSERT_EQ(windows.shown.size(), 2);
    EXPECT_TRUE(windows.shown.at(0).isBusiness);
    EXPECT_FALSE(windows.shown.at(1).isBusiness);
}

// The summary and reconciliation entries must use the host's common-services
// object, bound to the login and given the link, rather than a fresh one.
TEST_P(EntryTest, PassedCommonServicesAreKeptAndBound) {
    auto mine = std::make_shared<YrCommon>();
    qc.InitQcSum(*login, mine, true);
    EXPECT_EQ(ctx.gCommon.get(), mine.get());
    EXPECT_FALSE(mine->link().isEmpty());
    EXPECT_EQ(mine->link(), ctx.gLoginLink);
    // Bound to the unrestricted operator it adds no rights condition; unbound it
    // would answer "Null".
    EXPECT_TRUE(mine->GetRightsSql(u"Warehouse"_s, {}, {}).isEmpty());

    auto other = std::make_shared<YrCommon>();
    qc.InitCompareKc(*login, other);
    qc.InitCompareKc(*login, other, u"any.qch"_s);
    ASSERT_EQ(windows.shown.size(), 3);
    EXPECT_EQ(windows.shown.at(1).common, other.get());
    EXPECT_EQ(windows.shown.at(2).common, other.get());

    qc.InitFcsp(*login, 1);
    EXPECT_NE(ctx.gCommon.get(), other.get());
    EXPECT_EQ(windows.shown.last().businessType, 1);
    windows.reconcileBuilt = false;
    qc.InitCompareKc(*login, other);
    EXPECT_EQ(windows.shown.size(), 4);
}

// Two entries must not share scratch names, the scratch file must exist while the
// window is up and be gone afterwards, and closing must release the entry task.
TEST_P(EntryTest, ScratchNamesFilesAndTasksPerEntry) {
    qc.InitNew(*login);
    const QString firstFile = QDir(folder()).filePath(ctx.gTempMdbName + u".qcscratch"_s);
    qc.InitNew(*login);
    ASSERT_EQ(windows.shown.size(), 2);
    const auto& a = windows.shown.at(0);
    EXPECT_TRUE(a.scratchExists);
    EXPECT_FALSE(QFile::exists(firstFile));
    EXPECT_FALSE(a.instanceNo.isEmpty());
    EXPECT_NE(a.instanceNo, windows.shown.at(1).instanceNo);
    EXPECT_NE(a.scratchName, windows.shown.at(1).scratchName);
    EXPECT_EQ(ctx.gDb, nullptr);
    EXPECT_EQ(ctx.gConn, nullptr);

    auto second = loginAs();
    EXPECT_TRUE(second->TaskExec(u"ASM310101"_s, -1)) << second->TaskMessage().toStdString();
    second.reset();
    // While the window stays open the task stays taken.
    windows.closeAfterShow = false;
    qc.InitNew(*login);
    EXPECT_FALSE(loginAs()->TaskExec(u"ASM310101"_s, -1));
}

// The entry window refuses per-department accounting with a warehouse without a
// department, but only for the business flag and only under that basis.
TEST_P(EntryTest, DepartmentCheckRefusesOnlyPerDepartmentBusiness) {
    db().exec(u"INSERT INTO Warehouse(cWhCode, cWhName) VALUES ('01','一号库')"_s);
    db().exec(
        u"INSERT INTO AccInformation(cSysID, cName, cValue) VALUES ('IA','cValueStyle','按仓库核算')"_s);
    qc.InitNew(*login, true);
    db().exec(u"UPDATE AccInformation SET cValue = '按部门核算' WHERE cName = 'cValueStyle'"_s);
    qc.InitNew(*login, false);
    EXPECT_TRUE(sink.entries().isEmpty());
    qc.InitNew(*login, true);
    ASSERT_EQ(windows.shown.size(), 3);
    EXPECT_FALSE(windows.shown.at(0).refused);
    EXPECT_FALSE(windows.shown.at(1).refused);
    EXPECT_TRUE(windows.shown.at(2).refused);
    ASSERT_EQ(sink.entries().size(), 1);
    EXPECT_EQ(sink.last(), u"仓库目录中有未添入所属部门的记录，不能录入期初！"_s);
    EXPECT_EQ(sink.entries().at(0).icon, MsgIcon::Critical);
    EXPECT_EQ(ctx.gLogin, nullptr);
    EXPECT_EQ(ctx.gDb, nullptr);

    db().exec(u"UPDATE Warehouse SET cDepCode = 'D1'"_s);
    qc.InitNew(*login, true);
    EXPECT_FALSE(windows.shown.last().refused);
}

// The dispatched-goods and reconciliation windows keep an open connection; the
// entry window and the summary reconnect. A window without the flag keeps it.
TEST_P(EntryTest, ConnectionModes) {
    openContext(ctx, *login, true, ConnectionMode::Reconnect);
    const QString first = ctx.gConn->handle().connectionName();
    // The host database object runs on the component's own connection.
    EXPECT_EQ(&ctx.gDb->Connection(), ctx.gConn.get());
    openContext(ctx, *login, std::nullopt, ConnectionMode::KeepIfOpen);
    EXPECT_EQ(ctx.gConn->handle().connectionName(), first);
    EXPECT_TRUE(ctx.gIsBusiness);
    openContext(ctx, *login, false, ConnectionMode::Reconnect);
    EXPECT_NE(ctx.gConn->handle().connectionName(), first);
    EXPECT_FALSE(ctx.gIsBusiness);
}

QC_DB_SUITE(EntryTest);

}  // namespace
}  // namespace qc
