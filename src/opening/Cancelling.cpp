#include "opening/Posting.h"

#include "domain/Vocabulary.h"
#include "host/AccPara.h"
#include "host/AuditTrail.h"
#include "ledger/AccountEngine.h"
#include "platform/Dialect.h"
#include "platform/MessageSink.h"
#include "platform/UnitSteps.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"

// Cancelling a posting (恢复): whether it may be cancelled, and the cancelling.

namespace qc::opening {

bool Posting::CanCancelPosting() {
    Database& d = db();
    if (d.scalar(QStringLiteral(
                     "SELECT COUNT(*) FROM IA_Subsidiary WHERE iMonth <> 0 AND ((cVouType <> '24' AND NOT "
                     "(COALESCE(cBusType, '') = ? AND iAOutQuantity > 0 AND cPZID IS NULL)) OR "
                     "(cVouType = '24' AND cPZID IS NOT NULL))"),
                 {QStringLiteral("假退料")})
            .toLongLong() > 0)
        return false;
    if (d.scalar(QStringLiteral("SELECT COUNT(*) FROM IA_EnSubsidiary WHERE iMonth <> 0")).toLongLong() > 0)
        return false;
    if (d.scalar(QStringLiteral("SELECT COUNT(*) FROM JustInVouch")).toLongLong() > 0) return false;
    if (d.scalar(QStringLiteral("SELECT COUNT(*) FROM CostJustVouch")).toLongLong() > 0) return false;
    const int period = accParaOf(m_ctx).CurrentPeriod(QString());
    const bool byItem =
        ReadAccValue(m_ctx, QStringLiteral("IA"), QStringLiteral("cValueStyle")) == basis::kByInventory;
    const QString lastTwo = d.dialect().right(QStringLiteral("cMonth"), 2);
    return d.scalar(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE cMonth IS NOT NULL AND cMonth <> '' "
                                   "AND CAST(%2 AS INTEGER) >= ?")
                        .arg(byItem ? QStringLiteral("Inventory") : QStringLiteral("Warehouse"), lastTwo),
                    {period})
               .toLongLong() == 0;
}

void Posting::CancelPosting() {
    auto step = [](const char* name) { postingFaults().check(QString::fromLatin1(name)); };
    const Params p = read();
    Database& d = db();
    Transaction tx(d);
    lockOpenings(true);
    step("CancelSummaries");
    // The counts the trail's event keeps come from the statements themselves.
    const int summaries = d.execAffected(QStringLiteral("DELETE FROM IA_Summary"));
    const int layers = d.execAffected(QStringLiteral("DELETE FROM IA_ValuationAss"));
    step("CancelPostingColumns");
    // Nearly every row has a warehouse: read in table order, not through the index.
    const int unstamped = d.execAffected(
        QStringLiteral("UPDATE IA_Subsidiary SET cAccounter = NULL, cHandler = NULL, cMaker = NULL WHERE "
                       "%1 IS NOT NULL")
            .arg(d.dialect().unindexed(QStringLiteral("cWhCode"))));
    step("CancelDispatched");
    // The posted opening rows of dispatched goods lose their posting again.
    d.exec(
        QStringLiteral("UPDATE IA_EnSubsidiary SET dKeepDate = NULL, cAccounter = NULL, cHandler = NULL, "
                       "cMaker = NULL WHERE iMonth = 0"));
    const QDate start = p.startDate.isValid() ? p.startDate : p.periodBegin;
    step("CancelEstimates");
    if (p.firstYear)
        d.exec(QStringLiteral("DELETE FROM IA_Subsidiary WHERE cVouType = '33' AND dKeepDate >= ?"), {start});
    step("CancelReversals");
    d.exec(
        QStringLiteral("DELETE FROM IA_Subsidiary WHERE cVouType = '24' AND dKeepDate >= ? AND iMonth = 1"),
        {start});
    if (p.firstYear) {
        d.exec(QStringLiteral("DELETE FROM IA_Subsidiary WHERE cVouType = '24'"));
        d.exec(QStringLiteral(
            "UPDATE PurSettleVouchs SET bAccount = 1, bIsPurAcc = 1 WHERE COALESCE(iRdsID, 0) <> 0"));
    }
    step("CancelPeriods");
    d.exec(QStringLiteral("UPDATE GL_mEnd SET bFlag_IA = 0 WHERE iPeriod < ?"), {p.startMonth});
    step("CancelReceipts");
    if (p.firstYear)
        d.exec(QStringLiteral("UPDATE RdRecord SET cAccounter = NULL WHERE ID IN (SELECT h.ID") +
                   unsettledFrom() + QStringLiteral(")"),
               unsettledBinds(p));
    step("CancelPostedState");
    accParaOf(m_ctx).SetPosted(QStringLiteral("IA"), false);
    // What the posting made is made again by the next one: the event keeps counts.
    announceStep(QStringLiteral("posting"), QStringLiteral("Audit"));
    recordPostingEvent(audit::kCancelPost, {{QStringLiteral("删除汇总行数"), summaries},
                                            {QStringLiteral("删除计价辅助行数"), layers},
                                            {QStringLiteral("恢复行数"), unstamped}});
    tx.commit();
}

}  // namespace qc::opening
