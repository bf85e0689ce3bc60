#include "opening/Posting.h"

#include "domain/Vocabulary.h"
#include "host/AccPara.h"
#include "host/TaskLease.h"
#include "host/VqLogin.h"
#include "ledger/AccountEngine.h"
#include "platform/Dialect.h"
#include "platform/MessageSink.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"

// The 记账 and 恢复 commands of the entry window and the command line.

namespace qc::opening {

namespace {

const QString kTitle = QStringLiteral("期初记账");

QDate parameterDate(LoginContext& ctx, const QString& sysId, const QString& name) {
    return dateOf(QVariant(ReadAccValue(ctx, sysId, name).trimmed()));
}

}  // namespace

KeepOutcome PostCommand(LoginContext& ctx, bool editing, const std::function<void(bool)>& busy) {
    MessageSink& sink = sinkOf(ctx);
    AccPara& para = accParaOf(ctx);
    if (para.IsPosted(QStringLiteral("IA"))) {
        sink.exclamation(QStringLiteral("期初已经记账！"));
        return KeepOutcome::Refused;
    }
    if (editing) return KeepOutcome::Refused;

    const QDate pu = parameterDate(ctx, QStringLiteral("PU"), QStringLiteral("dPUStartDate"));
    const QDate ia = parameterDate(ctx, QStringLiteral("IA"), QStringLiteral("dIAStartDate"));
    if (pu.isValid() && ia.isValid()) {
        const int puPeriod = para.CurrentPeriod(QStringLiteral("PU"));
        const int iaPeriod = para.CurrentPeriod(QString());
        if (puPeriod == iaPeriod && !para.IsPosted(QStringLiteral("PU"))) {
            sink.show(QStringLiteral("采购系统期初尚未记账，不能确定期初暂估余额，无法记账！"), MsgIcon::None,
                      MsgButtons::Ok, {});
            return KeepOutcome::Refused;
        }
        if (puPeriod < iaPeriod) {
            sink.show(QStringLiteral("采购系统") + QString::number(iaPeriod - 1) +
                          QStringLiteral("月份未月末结账，本系统不能进行期初记账！"),
                      MsgIcon::None, MsgButtons::Ok, {});
            return KeepOutcome::Refused;
        }
    }

    if (ctx.gLogin) ctx.gLogin->TaskExec(task::kAddOpenings, 0);
    TaskLease lease = enterTask(ctx, task::kPostOpenings);
    if (!lease.held()) return KeepOutcome::Refused;
    Posting posting(ctx);
    const Posting::SpecificLotFaults faults = posting.specificLotFaults();
    if (faults.withoutAmount) {
        lease.release();
        sink.exclamation(QStringLiteral("个别计价的期初单据没有单价金额，请输入！"));
        return KeepOutcome::Refused;
    }
    if (faults.negative) {
        lease.release();
        sink.exclamation(QStringLiteral("个别计价的期初单据数量不能为负数，请重新输入！"));
        return KeepOutcome::Refused;
    }
    if (busy) busy(true);
    // The posting's unit of work has rolled back whatever failed in it; the
    // operator is told that the posting did not happen.
    bool ok = true;
    QString cause;
    try {
        posting.PostOpenings();
    } catch (const OpeningsStateChanged& e) {
        // Another copy posted first, between the check above and this unit of work.
        if (busy) busy(false);
        lease.release();
        sink.exclamation(e.message());
        return KeepOutcome::Refused;
    } catch (const DbError& e) {
        if (e.kind() == DbError::Kind::Cancelled) {
            // Stopped by the user before anything was kept: said as it is, not as a failure.
            if (busy) busy(false);
            lease.release();
            sink.show(e.message(), MsgIcon::None, MsgButtons::Ok, kTitle);
            return KeepOutcome::Refused;
        }
        ok = false;
        // The database's own trouble is named; a rule's stop has been shown already.
        if (e.kind() != DbError::Kind::Failed) cause = u'\n' + e.message();
    } catch (const std::exception&) {
        ok = false;
    }
    if (busy) busy(false);
    lease.release();
    sink.show(ok ? QStringLiteral("期初记账成功！") : QStringLiteral("期初记账不成功！") + cause,
              MsgIcon::None, MsgButtons::Ok, kTitle);
    return ok ? KeepOutcome::Done : KeepOutcome::Failed;
}

KeepOutcome CancelCommand(LoginContext& ctx) {
    MessageSink& sink = sinkOf(ctx);
    if (!accParaOf(ctx).IsPosted(QStringLiteral("IA"))) {
        sink.exclamation(QStringLiteral("期初尚未记账，无需恢复！"));
        return KeepOutcome::Refused;
    }
    const TaskLease lease = enterTask(ctx, task::kPostOpenings);
    if (!lease.held()) return KeepOutcome::Refused;
    Posting posting(ctx);
    if (!posting.CanCancelPosting()) {
        sink.exclamation(QStringLiteral("期初记账后已有业务发生，不能恢复！"));
        return KeepOutcome::Refused;
    }
    try {
        posting.CancelPosting();
    } catch (const OpeningsStateChanged& e) {
        sink.exclamation(e.message());
        return KeepOutcome::Refused;
    } catch (const DbError& e) {
        // Stopped by the user before anything was undone: said as it is, not as a failure.
        if (e.kind() == DbError::Kind::Cancelled) {
            sink.show(e.message(), MsgIcon::None, MsgButtons::Ok, {});
            return KeepOutcome::Refused;
        }
        sink.exclamation(e.message());
        return KeepOutcome::Failed;
    }
    sink.show(QStringLiteral("恢复期初记账成功！"), MsgIcon::None, MsgButtons::Ok, {});
    return KeepOutcome::Done;
}

}  // namespace qc::opening
