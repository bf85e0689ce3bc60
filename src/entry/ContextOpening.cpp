// Opening and closing the context of a component: the prologue's connections,
// the scratch file, the account's basis and rights switches, and their release.

#include "session/LoginContext.h"

#include "domain/Vocabulary.h"
#include "entry/clsQC.h"
#include "host/VqLogin.h"
#include "shared/AccountParams.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlQuery>

namespace qc {

namespace {

QString scratchFolderOf(const LoginContext& ctx) {
    return ctx.scratchFolder.isEmpty() ? ScratchDb::workFolder() : ctx.scratchFolder;
}

// Closing goes on whatever a single step reports.
template <typename F>
void ignoringErrors(F&& step) {
    try {
        step();
    } catch (...) {
    }
}

}  // namespace

void openContext(LoginContext& ctx, VqLogin& login, std::optional<bool> isBusiness, ConnectionMode mode) {
    if (isBusiness) ctx.gIsBusiness = *isBusiness;
    ctx.gLogin = &login;
    if (!ctx.gCommon) {  // opened without the entry prologue (command line)
        ctx.gCommon = std::make_shared<YrCommon>();
        ctx.gCommon->login(login);
    }

    const QString connectText = login.DbConnectText();
    if (mode == ConnectionMode::Reconnect) ctx.gConn.reset();
    // The component works on one connection: the host database object opens on
    // the component's own rather than beside it (a second backend on a server, a
    // second file handle and lock on SQLite, for nothing).
    if (!ctx.gConn) ctx.gConn = Database::open(connectText, OpenMode::Account);

    if (!ctx.gDb) ctx.gDb = std::make_unique<HostDb>();
    ctx.gDb->Open(ctx.gConn);

    ctx.gSysContext = std::make_unique<SysContext>();
    ctx.gSysContext->Init(QStringLiteral("IA"), *ctx.gDb, login.AccountId(),
                          static_cast<short>(login.AccountYear().toInt()), login.UserId(), login.LoginDate(),
                          login.DbPassword());

    // The scratch file of this instance: a tag unique to the process, a random part
    // and the instance number, so that copies on one machine never share it.
    const int r = QRandomGenerator::global()->bounded(9000) + 1;
    ctx.gTempMdbName = UniqueTag() + QString::number(r) + ctx.gInstanceNo;
    QFile::remove(QDir(scratchFolderOf(ctx)).filePath(ctx.gTempMdbName + QStringLiteral(".qcscratch")));

    ctx.gValueStyle = ReadAccParam(ctx, QStringLiteral("IA"), QStringLiteral("cValueStyle"));
    ReadRightsFlags(ctx);
}

void createScratchDatabase(LoginContext& ctx) {
    ctx.gTempMdb = ScratchDb::create(scratchFolderOf(ctx), ctx.gTempMdbName);
}

bool entryDepartmentCheck(LoginContext& ctx) {
    if (ctx.gValueStyle != basis::kByDepartment || !ctx.gIsBusiness) return true;
    QSqlQuery q =
        ctx.gDb->Connection().exec(QStringLiteral("SELECT cWhCode FROM Warehouse WHERE cDepCode IS NULL"));
    if (!q.next()) return true;
    q.finish();
    sinkOf(ctx).critical(QStringLiteral("仓库目录中有未添入所属部门的记录，不能录入期初！"));
    ctx.gLogin = nullptr;
    ignoringErrors([&] { ctx.gDb->Close(); });
    ctx.gDb.reset();
    return false;
}

void closeContext(LoginContext& ctx) {
    ignoringErrors([&] {
        if (ctx.gDb) ctx.gDb->Close();
    });
    ctx.gDb.reset();
    ctx.gAccPara.reset();
    ctx.gConn.reset();
    ignoringErrors([&] {
        if (ctx.gTempMdb) ctx.gTempMdb->closeAndDelete();
    });
    ctx.gTempMdb.reset();
    if (ctx.gLogin) {
        ignoringErrors([&] { ctx.gLogin->TaskExec(task::kEditOpenings, 0, 0); });
        ignoringErrors([&] { ctx.gLogin->TaskExec(task::kAddOpenings, 0, 0); });
    }
}

}  // namespace qc
