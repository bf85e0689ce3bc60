#include "opening/Posting.h"

#include "domain/Vocabulary.h"
#include "host/AccPara.h"
#include "host/AuditTrail.h"
#include "host/VqLogin.h"
#include "ledger/AccountEngine.h"
#include "platform/Dialect.h"
#include "platform/MessageSink.h"
#include "platform/Schema.h"
#include "platform/UnitSteps.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"

#include <QSqlQuery>

namespace qc::opening {

Posting::Posting(LoginContext& ctx) : m_ctx(ctx) {
    m_valueStyle = ctx.gValueStyle;
}

Database& Posting::db() {
    return m_ctx.gDb->Connection();
}

MessageSink& Posting::sink() {
    return sinkOf(m_ctx);
}

Posting::Params Posting::read() {
    Params p;
    p.startDate =
        dateOf(QVariant(ReadAccValue(m_ctx, QStringLiteral("IA"), QStringLiteral("dIAStartDate")).trimmed()));
    p.startMonth = p.startDate.isValid() ? p.startDate.month() : 1;
    const int year = m_ctx.gLogin
                         ? m_ctx.gLogin->AccountYear().toInt()
                         : (p.startDate.isValid() ? p.startDate.year() : QDate::currentDate().year());
    p.postingDate = p.startDate.isValid() ? p.startDate.addDays(-1) : QDate(year, 1, 1).addDays(-1);
    // The FIFO and LIFO switches of the costing; the engine computes no issue
    // costs while posting openings, so they are read and kept only.
    for (const char* name : {"bFIFORedBlueCalc", "blIFORedBlueCalc", "bFIFOJTLCalc", "bLIFOJTLCalc"})
        ReadAccValue(m_ctx, QStringLiteral("IA"), QString::fromLatin1(name));
    p.valueStyle = ReadAccValue(m_ctx, QStringLiteral("IA"), QStringLiteral("cValueStyle"));
    p.sysVersion = ReadAccValue(m_ctx, QStringLiteral("AA"), QStringLiteral("cSysVersion"));
    p.estimate = ReadAccValue(m_ctx, QStringLiteral("IA"), QStringLiteral("cEstimate"));
    p.puStartDate =
        dateOf(QVariant(ReadAccValue(m_ctx, QStringLiteral("PU"), QStringLiteral("dPUStartDate")).trimmed()));
    p.quantityDecimals = std::clamp(
        ReadAccParam(m_ctx, QStringLiteral("AA"), QStringLiteral("iStrsQuanDecDgt")).toInt(), 0, 10);
    p.firstYear = IsIaStartYear(m_ctx);
    p.operatorName = m_ctx.gLogin ? m_ctx.gLogin->UserName() : QString();
    if (const std::optional<PeriodDates> period = LoginPeriod(m_ctx, p.startMonth)) {
        p.periodBegin = period->begin;
        p.periodEnd = period->end;
    } else {
        p.periodBegin = QDate(year, p.startMonth, 1);
        p.periodEnd = p.periodBegin.addMonths(1).addDays(-1);
    }
    m_valueStyle = p.valueStyle;
    return p;
}

QString Posting::methodOf() const {
    return m_valueStyle == basis::kByInventory ? QStringLiteral("i.cValueType")
                                               : QStringLiteral("w.cWhValueStyle");
}

// Receipt lines not settled at the start: purchase receipts of the start period
// (ordinary purchases and consignments) and the purchase module's opening receipts,
// whose quantity is more (or less) than what was settled before the start.
QString Posting::lotValuedCondition() const {
    return m_valueStyle == basis::kByInventory
               ? QStringLiteral("cInvCode IN (SELECT cInvCode FROM Inventory WHERE cValueType IN (?, ?, ?))")
               : QStringLiteral(
                     "cWhCode IN (SELECT cWhCode FROM Warehouse WHERE cWhValueStyle IN (?, ?, ?))");
}

// The opening rows' voucher numbers and posting columns, in one pass over the
// ledger rather than three. Its result is that of the three steps in turn: an
// unposted lot-valued row without voucher number or id takes its AutoID (the
// numbers its layers name it by); then every unposted row gets the posting
// columns; then every opening row still without a voucher number gets the
// negative of its AutoID, also as id where it has none. Each CASE reads the row
// as it was before the statement.
void Posting::stampOpenings(const QDate& postingDate, const QString& op) {
    const QString lot = QStringLiteral("cAccounter IS NULL AND ") + lotValuedCondition();
    const QString negative = QStringLiteral("CAST(-AutoID AS VARCHAR(30))");
    const QString unposted = QStringLiteral("cAccounter IS NULL");
    db().exec(
        QStringLiteral(
            "UPDATE IA_Subsidiary SET "
            "cVouCode = CASE WHEN (cVouCode IS NULL OR cVouCode = '') AND %1 THEN CAST(AutoID AS "
            "VARCHAR(30)) "
            "WHEN cVouCode IS NULL THEN %2 ELSE cVouCode END, "
            "ID = CASE WHEN ID IS NOT NULL THEN ID WHEN %1 THEN AutoID "
            "WHEN cVouCode IS NULL OR cVouCode = %2 THEN -AutoID ELSE ID END, "
            "cPZID = CASE WHEN %3 THEN '0' ELSE cPZID END, "
            "dKeepDate = CASE WHEN %3 THEN %4 ELSE dKeepDate END, "
            "cHandler = CASE WHEN %3 THEN ? ELSE cHandler END, "
            "cMaker = CASE WHEN %3 THEN ? ELSE cMaker END, "
            "cAccounter = COALESCE(cAccounter, ?) "
            "WHERE iMonth = 0 AND (cAccounter IS NULL OR cVouCode IS NULL OR (ID IS NULL AND cVouCode = %2))")
            .arg(lot, negative, unposted, db().dialect().typedDate()),
        {costing::kSpecific, costing::kFifo, costing::kLifo, costing::kSpecific, costing::kFifo,
         costing::kLifo, postingDate, op, op, op});
}

Posting::SpecificLotFaults Posting::specificLotFaults() {
    const QString join = m_ctx.gValueStyle == basis::kByInventory
                             ? QStringLiteral(
                                   "LEFT JOIN Inventory i ON s.cInvCode = i.cInvCode "
                                   "WHERE i.cValueType = ?")
                             : QStringLiteral(
                                   "LEFT JOIN Warehouse w ON s.cWhCode = w.cWhCode "
                                   "WHERE w.cWhValueStyle = ?");
    QSqlQuery q = db().exec(
        QStringLiteral("SELECT COALESCE(SUM(CASE WHEN s.iAInPrice IS NULL THEN 1 ELSE 0 END), 0), "
                       "COALESCE(SUM(CASE WHEN s.cAccounter IS NULL AND s.iMonth = 0 AND s.iAInQuantity < 0 "
                       "THEN 1 ELSE 0 END), 0) FROM IA_Subsidiary s ") +
            join + QStringLiteral(" AND s.cVouType = '34'"),
        {costing::kSpecific});
    q.next();
    return {q.value(0).toLongLong() > 0, q.value(1).toLongLong() > 0};
}

void Posting::lockOpenings(bool mustBePosted) {
    // A second posting, a cancelling or a 取数 running now waits here (or this one
    // waits for them); what they committed is then seen below.
    AccPara& para = accParaOf(m_ctx);
    para.LockOpenings();
    const bool posted = para.IsPosted(QStringLiteral("IA"));
    if (posted && !mustBePosted) throw OpeningsStateChanged(QStringLiteral("期初已经记账！"));
    if (!posted && mustBePosted) throw OpeningsStateChanged(QStringLiteral("期初尚未记账，无需恢复！"));
}

void Posting::PostOpenings() {
    auto step = [](const char* name) { postingFaults().check(QString::fromLatin1(name)); };
    // Everything read from other connections (the login's own database object)
    // is read before the transaction starts.
    const Params p = read();
    Database& d = db();
    Transaction tx(d);
    lockOpenings(false);
    const QString op = p.operatorName;

    step("GL_mEnd");
    d.exec(QStringLiteral("UPDATE GL_mEnd SET bFlag_IA = 1 WHERE iPeriod < ?"), {p.startMonth});

    clsAccount engine;
    if (!engine.Init(d, p.valueStyle, p.sysVersion == u"工业", p.postingDate, p.startDate, op,
                     p.quantityDecimals))
        throw engine.lastFailure();

    // KeepVouCode, the posting columns and the voucher numbers, in one pass.
    step("KeepVouCode");
    step("PostingColumns");
    step("VoucherNumbers");
    stampOpenings(p.postingDate, op);

    step("Dispatched");
    d.exec(
        QStringLiteral("UPDATE IA_EnSubsidiary SET dKeepDate = ?, cAccounter = ?, cHandler = ?, cMaker = ? "
                       "WHERE iMonth = 0 AND cAccounter IS NULL"),
        {p.postingDate, op, op, op});

    if (!engine.PostOpeningRowsCarried()) throw engine.lastFailure();

    if (p.puStartDate.isValid() && p.firstYear) {
        step("SettledLines");
        d.exec(QStringLiteral("UPDATE PurSettleVouchs SET bAccount = 1, bIsPurAcc = 0 WHERE iRdsID IN ("
                              "SELECT pss.iRdsID FROM PurSettleVouchs pss JOIN PurSettleVouch psv ON "
                              "pss.PSVID = psv.PSVID "
                              "JOIN RdRecords l ON pss.iRdsID = l.AutoID JOIN RdRecord h ON l.ID = h.ID "
                              "WHERE psv.dSVDate < ? AND h.cBusType = ?)"),
               {p.startDate.isValid() ? p.startDate : p.periodBegin, business::kOrdinaryPurchase});

        step("ReceiptLines");
        PostReceiptLines(engine, p);
    }

    // The opening summaries carried into the start month.
    step("OpeningSummaries");
    if (!engine.CarryOpeningSummaries(p.startMonth)) throw engine.lastFailure();
    if (engine.carriedInto() != p.startMonth)
        d.exec(QStringLiteral(
                   "INSERT INTO IA_Summary (cWhCode, cInvCode, cDepCode, iMonth, iINum, iONum, iNum, "
                   "iIMoney, iOMoney, iMoney, fMinInCost, fMaxInCost, iDifRate, iIDif, iODif, iDif, iDirect) "
                   "SELECT cWhCode, cInvCode, cDepCode, %1, iINum, iONum, iNum, iIMoney, iOMoney, iMoney, "
                   "fMinInCost, fMaxInCost, NULL, iIDif, iODif, iDif, iDirect FROM IA_Summary "
                   "WHERE iMonth = 0")
                   .arg(d.dialect().typedInt()),
               {p.startMonth});

    if (p.firstYear) {
        step("MonthRows");
        d.exec(QStringLiteral(
                   "UPDATE IA_Subsidiary SET cPZID = '0', dKeepDate = ?, cAccounter = ?, "
                   "cHandler = ?, cMaker = ? WHERE iMonth = 1 AND cVouType NOT IN ('61', '33', '01')"),
               {p.postingDate, op, op, op});
        if (!engine.PostMonthRows(
                {QStringLiteral("s.iMonth = 1 AND ((s.cWhCode IS NOT NULL AND s.cVouType NOT "
                                "IN ('61', '33', '01')) OR (s.cWhCode IS NULL AND "
                                "s.cVouType <> '61'))"),
                 {}}))
            throw engine.lastFailure();

        step("MonthIssues");
        d.exec(
            QStringLiteral("UPDATE IA_Subsidiary SET dKeepDate = ?, cAccounter = ?, cHandler = ?, cMaker = ? "
                           "WHERE iMonth = 1 AND cVouType = '61'"),
            {p.postingDate, op, op, op});
        if (!engine.PostMonthRows({QStringLiteral("s.iMonth = 1 AND s.cVouType = '61'"), {}}))
            throw engine.lastFailure();

        if (p.estimate == u"月初回冲") {
            step("Estimates");
            // The reversal of each estimated purchase receipt: a copy of type
            // '24' in the start month with quantities and amounts negated.
            const TableDef* t = findTable(QStringLiteral("IA_Subsidiary"));
            QStringList cols, sel;
            static const QStringList negated{
                QStringLiteral("iainquantity"),  QStringLiteral("iaoutquantity"),
                QStringLiteral("iainprice"),     QStringLiteral("iaoutprice"),
                QStringLiteral("idebitdifcost"), QStringLiteral("icreditdifcost")};
            for (const ColumnDef& c : t->columns) {
                const QString lc = c.name.toLower();
                if (lc == u"autoid") continue;
                cols << c.name;
                if (lc == u"cvoutype")
                    sel << QStringLiteral("'24'");
                else if (lc == u"dkeepdate")
                    sel << d.dialect().typedDate();
                else if (lc == u"imonth")
                    sel << QStringLiteral("1");
                else if (negated.contains(lc))
                    sel << QStringLiteral("-%1").arg(c.name);
                else
                    sel << c.name;
            }
            d.exec(QStringLiteral("INSERT INTO IA_Subsidiary (%1) SELECT %2 FROM IA_Subsidiary "
                                  "WHERE cVouType = '33' AND cBusType = ? ORDER BY AutoID")
                       .arg(cols.join(QStringLiteral(", ")), sel.join(QStringLiteral(", "))),
                   {p.postingDate, business::kOrdinaryPurchase});
            if (!engine.PostMonthRows({QStringLiteral("s.cVouType = '24'"), {}})) throw engine.lastFailure();
        }
    }

    step("SettlementMarks");
    d.exec(
        QStringLiteral("UPDATE PurSettleVouchs SET bAccount = 0, bIsPurAcc = 0 WHERE iRdsID IN ("
                       "SELECT DISTINCT l.AutoID FROM RdRecords l JOIN RdRecord h ON l.ID = h.ID "
                       "JOIN PurSettleVouchs pss ON l.AutoID = pss.iRdsID "
                       "WHERE h.cAccounter IS NOT NULL AND pss.bAccount = pss.bIsPurAcc)"));

    step("PostedState");
    accParaOf(m_ctx).SetPosted(QStringLiteral("IA"), true);
    {
        // The trail's work is a step of its own, so that its cost shows apart:
        // what the posting leaves, its opening rows stamped, summaries and layers.
        // Every opening row is stamped by now (the stamp gives each unposted one
        // its accounter), so they are counted through the month's index alone.
        announceStep(QStringLiteral("posting"), QStringLiteral("Audit"));
        QSqlQuery q = d.exec(
            QStringLiteral("SELECT (SELECT COUNT(*) FROM IA_Subsidiary WHERE iMonth = 0), "
                           "(SELECT COUNT(*) FROM IA_Summary), (SELECT COUNT(*) FROM IA_ValuationAss)"));
        q.next();
        recordPostingEvent(audit::kPost, {{QStringLiteral("已记账期初行数"), q.value(0).toLongLong()},
                                          {QStringLiteral("汇总行数"), q.value(1).toLongLong()},
                                          {QStringLiteral("计价辅助行数"), q.value(2).toLongLong()}});
    }
    tx.commit();
}

void Posting::recordPostingEvent(const QString& operation, const QJsonObject& counts) {
    audit::Event e;
    e.operation = operation;
    e.detail = counts;
    audit::record(db(), audit::actorOf(m_ctx.gLogin), e);
    announceStep(QStringLiteral("posting"), QStringLiteral("Commit"));
}

}  // namespace qc::opening
