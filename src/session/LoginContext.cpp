#include "session/LoginContext.h"

#include "host/VqLogin.h"

namespace qc {

Database& accountDb(LoginContext& ctx) {
    if (!ctx.gDb) throw DbError(QStringLiteral("账套数据库未打开"));
    return ctx.gDb->Connection();
}

MessageSink& sinkOf(LoginContext& ctx) {
    static ConsoleSink console;
    return ctx.sink ? *ctx.sink : console;
}

TaskLease enterTask(LoginContext& ctx, const QString& funcId) {
    TaskLease lease(ctx.gLogin, funcId);
    if (lease.outcome() == TaskLease::Outcome::NoRight)
        sinkOf(ctx).exclamation(lease.refusal());
    else if (lease.outcome() == TaskLease::Outcome::Conflict)
        sinkOf(ctx).show(lease.refusal(), MsgIcon::None, MsgButtons::Ok, {});
    return lease;
}

AccPara& accParaOf(LoginContext& ctx) {
    if (!ctx.gAccPara) ctx.gAccPara = std::make_unique<AccPara>();
    if (ctx.gDb) ctx.gAccPara->setDatabase(*ctx.gDb);
    return *ctx.gAccPara;
}

}  // namespace qc
