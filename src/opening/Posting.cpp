#include "opening/Posting.h"

#include "entry/LoginContext.h"
#include "host/AccPara.h"
#include "host/AccountEngine.h"
#include "host/VqLogin.h"
#include "platform/Dialect.h"
#include "platform/MessageSink.h"
#include "platform/Schema.h"
#include "shared/AccountParams.h"

#include <QDomElement>
#include <QSqlQuery>

namespace qc::opening {

namespace {

const QString kPostTask = QStringLiteral("ASM3102");
const QString kAddTask = QStringLiteral("ASM310102");
const QString kTitle = QStringLiteral("期初记账");
const QString kOrdinaryPurchase = QStringLiteral("普通采购");
const QString kConsignment = QStringLiteral("受托代销");

QDate paramDate(const QString& text) {
    return dateOf(QVariant(text.trimmed()));
}

MessageSink& sinkOf(LoginContext& ctx) {
    static ConsoleSink console;
    return ctx.sink ? *ctx.sink : console;
}

AccPara& accPara(LoginContext& ctx) {
    if (!ctx.gAccPara) ctx.gAccPara = std::make_unique<AccPara>();
    ctx.gAccPara->setDatabase(*ctx.gDb);
    return *ctx.gAccPara;
}

// The task entry of the commands: the right, then the exclusive task.
bool enterTask(LoginContext& ctx, const QString& funcId) {
    MessageSink& sink = sinkOf(ctx);
    if (!ctx.gLogin || !ctx.gLogin->TaskExec(funcId, 1)) {
        sink.exclamation(QStringLiteral("您没有这个权限！"));
        return false;
    }
    if (!ctx.gLogin->TaskExec(funcId, -1)) {
        sink.show(QStringLiteral("功能互斥：") + u'\n' + ctx.gLogin->TaskMessage(), MsgIcon::None,
                  MsgButtons::Ok, {});
        return false;
    }
    return true;
}

void leaveTask(LoginContext& ctx, const QString& funcId) {
    if (ctx.gLogin) ctx.gLogin->TaskExec(funcId, 0);
}

}  // namespace

struct Posting::Params {
    QDate startDate;  // dIAStartDate (invalid when not set)
    int startMonth = 1;
    QDate postingDate;  // the day before the start
    QDate periodBegin, periodEnd;
    QString valueStyle, sysVersion, estimate;
    QDate puStartDate;
    bool firstYear = false;
    int quantityDecimals = 2;
    QString operatorName;
};

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
    p.startDate = paramDate(ReadAccValue(m_ctx, QStringLiteral("IA"), QStringLiteral("dIAStartDate")));
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
    p.puStartDate = paramDate(ReadAccValue(m_ctx, QStringLiteral("PU"), QStringLiteral("dPUStartDate")));
    p.quantityDecimals = std::clamp(
        ReadAccParam(m_ctx, QStringLiteral("AA"), QStringLiteral("iStrsQuanDecDgt")).toInt(), 0, 10);
    p.firstYear = IsIaStartYear(m_ctx);
    p.operatorName = m_ctx.gLogin ? m_ctx.gLogin->UserName() : QString();
    QSqlQuery q = db().exec(
        QStringLiteral("SELECT dBegin, dEnd FROM UA_Period WHERE cAcc_Id = ? AND iYear = ? AND iId = ?"),
        {m_ctx.gLogin ? m_ctx.gLogin->AccountId() : QString(), year, p.startMonth});
    if (q.next()) {
        p.periodBegin = dateOf(q.value(0));
        p.periodEnd = dateOf(q.value(1));
    } else {
        p.periodBegin = QDate(year, p.startMonth, 1);
        p.periodEnd = p.periodBegin.addMonths(1).addDays(-1);
    }
    m_valueStyle = p.valueStyle;
    return p;
}

QString Posting::methodOf() const {
    return m_valueStyle == kByInventory ? QStringLiteral("i.cValueType") : QStringLiteral("w.cWhValueStyle");
}

// Receipt lines not settled at the start: purchase receipts of the start period
// (ordinary purchases and consignments) and the purchase module's opening receipts,
// whose quantity is more (or less) than what was settled before the start.
QString Posting::unsettledFrom() const {
    return QStringLiteral(
        " FROM RdRecords l JOIN RdRecord h ON h.ID = l.ID"
        " LEFT JOIN (SELECT pss.iRdsID, SUM(COALESCE(pss.iSVQuantity, 0)) AS iSVQuantity,"
        " SUM(COALESCE(pss.iSVPrice, 0)) AS iSVPrice FROM PurSettleVouchs pss"
        " JOIN PurSettleVouch psv ON psv.PSVID = pss.PSVID WHERE psv.dSVDate < ? AND psv.cBusType = ?"
        " GROUP BY pss.iRdsID) ps ON ps.iRdsID = l.AutoID"
        " LEFT JOIN Warehouse w ON w.cWhCode = h.cWhCode LEFT JOIN Inventory i ON i.cInvCode = l.cInvCode"
        " WHERE h.bRdFlag = 1 AND ((h.cVouchType = '01' AND h.cBusType = ? AND h.dDate >= ? AND h.dDate <= ?)"
        " OR h.bpufirst = 1"
        " OR (h.cVouchType = '01' AND h.cBusType = ? AND h.dDate >= ? AND h.dDate <= ?))"
        " AND COALESCE(l.iQuantity, 0) - COALESCE(ps.iSVQuantity, 0) <> 0");
}

QVariantList Posting::unsettledBinds(const Params& p) const {
    const QDate start = p.startDate.isValid() ? p.startDate : p.periodBegin;
    return {start,       kOrdinaryPurchase, kConsignment,  p.periodBegin,
            p.periodEnd, kOrdinaryPurchase, p.periodBegin, p.periodEnd};
}

void Posting::setAttribute(QDomDocument& doc, int position, const QVariant& value) {
    if (value.isNull() || !value.isValid()) return;
    QString text;
    if (value.metaType().id() == QMetaType::QDate)
        text = value.toDate().toString(Qt::ISODate);
    else if (value.canConvert<Decimal>() && value.metaType().id() == qMetaTypeId<Decimal>())
        text = value.value<Decimal>().toPlainString();
    else
        text = value.toString();
    doc.documentElement().setAttribute(QStringLiteral("a%1").arg(position), text);
}

// Whether an IA_Subsidiary row (unaliased) is valued by lots: specific
// identification, FIFO or LIFO by its inventory or its warehouse. Three binds. The
// codes are selected once, not looked up per ledger row.
QString Posting::lotValuedCondition() const {
    return m_valueStyle == kByInventory
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
        {kSpecific, kFifo, kLifo, kSpecific, kFifo, kLifo, postingDate, op, op, op});
}

bool Posting::bNoGbjjCost() {
    const QString sql =
        m_ctx.gValueStyle == kByInventory
            ? QStringLiteral(
                  "SELECT COUNT(*) FROM IA_Subsidiary s LEFT JOIN Inventory i ON s.cInvCode = i.cInvCode "
                  "WHERE i.cValueType = ? AND s.iAInPrice IS NULL AND s.cVouType = '34'")
            : QStringLiteral(
                  "SELECT COUNT(*) FROM IA_Subsidiary s LEFT JOIN Warehouse w ON s.cWhCode = w.cWhCode "
                  "WHERE w.cWhValueStyle = ? AND s.iAInPrice IS NULL AND s.cVouType = '34'");
    return db().scalar(sql, {kSpecific}).toLongLong() == 0;
}

bool Posting::NoNegativeIndividualRows() {
    const QString sql =
        m_ctx.gValueStyle == kByInventory
            ? QStringLiteral(
                  "SELECT COUNT(*) FROM IA_Subsidiary s LEFT JOIN Inventory i ON i.cInvCode = s.cInvCode "
                  "WHERE s.cAccounter IS NULL AND i.cValueType = ? AND s.iMonth = 0 "
                  "AND s.iAInQuantity < 0 AND s.cVouType = '34'")
            : QStringLiteral(
                  "SELECT COUNT(*) FROM IA_Subsidiary s LEFT JOIN Warehouse w ON s.cWhCode = w.cWhCode "
                  "WHERE s.cAccounter IS NULL AND w.cWhValueStyle = ? AND s.iMonth = 0 "
                  "AND s.iAInQuantity < 0 AND s.cVouType = '34'");
    return db().scalar(sql, {kSpecific}).toLongLong() == 0;
}

bool Posting::PostOpenings() {
    m_error.clear();
    auto step = [](const char* name) { postingFaults().check(QString::fromLatin1(name)); };
    try {
        // Everything read from other connections (the login's own database object)
        // is read before the transaction starts.
        const Params p = read();
        Database& d = db();
        Transaction tx(d);
        const QString op = p.operatorName;

        step("GL_mEnd");
        d.exec(QStringLiteral("UPDATE GL_mEnd SET bFlag_IA = 1 WHERE iPeriod < ?"), {p.startMonth});

        clsAccount engine;
        if (!engine.Init(d, p.valueStyle, p.sysVersion == u"工业", p.postingDate, p.startDate, op,
                         p.quantityDecimals))
            throw DbError(engine.lastError());

        // KeepVouCode, the posting columns and the voucher numbers, in one pass.
        step("KeepVouCode");
        step("PostingColumns");
        step("VoucherNumbers");
        stampOpenings(p.postingDate, op);

        step("Dispatched");
        d.exec(QStringLiteral(
                   "UPDATE IA_EnSubsidiary SET dKeepDate = ?, cAccounter = ?, cHandler = ?, cMaker = ? "
                   "WHERE iMonth = 0 AND cAccounter IS NULL"),
               {p.postingDate, op, op, op});

        if (!engine.PostOpeningRows()) throw DbError(engine.lastError());

        if (p.puStartDate.isValid() && p.firstYear) {
            step("SettledLines");
            d.exec(QStringLiteral("UPDATE PurSettleVouchs SET bAccount = 1, bIsPurAcc = 0 WHERE iRdsID IN ("
                                  "SELECT pss.iRdsID FROM PurSettleVouchs pss JOIN PurSettleVouch psv ON "
                                  "pss.PSVID = psv.PSVID "
                                  "JOIN RdRecords l ON pss.iRdsID = l.AutoID JOIN RdRecord h ON l.ID = h.ID "
                                  "WHERE psv.dSVDate < ? AND h.cBusType = ?)"),
                   {p.startDate.isValid() ? p.startDate : p.periodBegin, kOrdinaryPurchase});

            step("ReceiptLines");
            QStringList fields{QStringLiteral("h.cBusType"),
                               QStringLiteral("h.cBusCode"),
                               QStringLiteral("h.cCode"),
                               QStringLiteral("l.AutoID"),
                               QStringLiteral("h.dDate"),
                               QStringLiteral("h.cPTCode"),
                               QStringLiteral("h.cSTCode"),
                               QStringLiteral("h.cWhCode"),
                               QStringLiteral("l.cInvCode"),
                               QStringLiteral("h.cDepCode"),
                               QStringLiteral("h.cRdCode"),
                               QStringLiteral("h.cCusCode"),
                               QStringLiteral("l.iSBsID"),
                               QStringLiteral("l.iDLsID"),
                               QStringLiteral("h.cPSPCode"),
                               QStringLiteral("h.cPersonCode"),
                               QStringLiteral("h.cMaker"),
                               QStringLiteral("h.cMemo"),
                               QStringLiteral("l.cItem_class"),
                               QStringLiteral("l.cItemCode"),
                               QStringLiteral("l.cItemCName"),
                               QStringLiteral("h.cVenCode"),
                               QStringLiteral("h.cHandler"),
                               QStringLiteral("h.cOrderCode"),
                               QStringLiteral("h.cARVCode"),
                               QStringLiteral("l.cName"),
                               QStringLiteral("COALESCE(l.iQuantity, 0) - COALESCE(ps.iSVQuantity, 0)"),
                               QStringLiteral("l.iUnitCost"),
                               QStringLiteral("l.fACost"),
                               QStringLiteral("l.iPrice"),
                               QStringLiteral("l.iQuantity"),
                               methodOf(),
                               QStringLiteral("i.iInvRCost")};
            // positions in the record:
            // 1,2,3,4,7,14,15,16,17,18,19,20,21,22,23,26,36,41,84,85,86,87,88,89,90,91
            static const int kPos[] = {1,  2,  3,  4,  7,  14, 15, 16, 17, 18, 19, 20, 21,
                                       22, 23, 26, 36, 41, 84, 85, 86, 87, 88, 89, 90, 91};
            constexpr int kFixed = 26;
            for (int k = 1; k <= 16; ++k) fields << QStringLiteral("h.cDefine%1").arg(k);
            for (int k = 1; k <= 10; ++k) fields << QStringLiteral("l.cFree%1").arg(k);
            for (int k = 22; k <= 37; ++k) fields << QStringLiteral("l.cDefine%1").arg(k);
            const int extra = 7;  // unsettled, iUnitCost, fACost, iPrice, iQuantity, method, planned price

            QList<QVariantList> lines;
            {
                QSqlQuery q = d.exec(QStringLiteral("SELECT ") + fields.join(QStringLiteral(", ")) +
                                         unsettledFrom() + QStringLiteral(" ORDER BY l.AutoID"),
                                     unsettledBinds(p));
                while (q.next()) {
                    QVariantList row;
                    for (int c = 0; c < fields.size(); ++c) row << q.value(c);
                    lines << row;
                }
            }
            if (!lines.isEmpty()) {
                d.exec(QStringLiteral("UPDATE RdRecord SET cAccounter = ? WHERE ID IN (SELECT h.ID") +
                           unsettledFrom() + QStringLiteral(")"),
                       QVariantList{op} + unsettledBinds(p));
            }
            for (const QVariantList& row : lines) {
                const QString code = textOf(row.at(8));
                const Decimal unsettled = Decimal::fromVariant(row.at(kFixed));
                const QString method = textOf(row.at(kFixed + 5)).trimmed();
                if (method.isEmpty()) {
                    sink().exclamation(QStringLiteral("存货") + code + QStringLiteral("没有设置计价方式！"));
                    throw DbError(QStringLiteral("存货") + code + QStringLiteral("没有设置计价方式！"));
                }
                const bool planned = method == kPlanned || method == kSelling;
                if (planned && row.at(kFixed + 6).isNull()) {
                    sink().exclamation(QStringLiteral("存货") + code +
                                       QStringLiteral("没有设置计划价/售价！"));
                    throw DbError(QStringLiteral("存货") + code + QStringLiteral("没有设置计划价/售价！"));
                }
                // The actual unit cost of the line: its cost, else its average
                // cost, else its amount over its quantity.
                std::optional<Decimal> actual;
                if (!row.at(kFixed + 1).isNull())
                    actual = Decimal::fromVariant(row.at(kFixed + 1));
                else if (!row.at(kFixed + 2).isNull())
                    actual = Decimal::fromVariant(row.at(kFixed + 2));
                else if (!row.at(kFixed + 3).isNull() && !Decimal::fromVariant(row.at(kFixed + 4)).isZero())
                    actual =
                        Decimal::fromVariant(row.at(kFixed + 3)) / Decimal::fromVariant(row.at(kFixed + 4));
                const Decimal plannedPrice = Decimal::fromVariant(row.at(kFixed + 6));
                std::optional<Decimal> unitCost = planned ? std::optional<Decimal>(plannedPrice) : actual;
                DifResult dif;
                if (!engine.CalDif(method, unsettled, actual.value_or(plannedPrice), plannedPrice, &dif))
                    throw DbError(engine.lastError());
                const qint64 lineId = row.at(3).toLongLong();
                QVariant amount;
                if (unitCost) {
                    amount = (unsettled * *unitCost).round(2).toVariant();
                    d.exec(
                        QStringLiteral("UPDATE RdRecords SET iPUnitCost = ?, iPPrice = ? WHERE AutoID = ?"),
                        {unitCost->toVariant(), amount, lineId});
                } else {
                    d.exec(QStringLiteral(
                               "UPDATE RdRecords SET iPUnitCost = NULL, iPPrice = NULL WHERE AutoID = ?"),
                           {lineId});
                }
                QDomDocument doc;
                doc.setContent(QStringLiteral("<root/>"));
                for (int c = 0; c < kFixed; ++c) setAttribute(doc, kPos[c], row.at(c));
                setAttribute(doc, 6, 0);
                setAttribute(doc, 8, p.postingDate);
                setAttribute(doc, 9, 0);
                setAttribute(doc, 13, QStringLiteral("33"));
                if (p.valueStyle == kByDepartment) setAttribute(doc, 25, row.at(7));
                setAttribute(doc, 27, unsettled.toPlainString());
                if (unitCost) setAttribute(doc, 29, unitCost->toPlainString());
                setAttribute(doc, 31, amount);
                if (planned) {
                    setAttribute(doc, 33, dif.debit.toPlainString());
                    setAttribute(doc, 34, dif.credit.toPlainString());
                }
                setAttribute(doc, 37, op);
                setAttribute(doc, 38, 1);
                setAttribute(doc, 39, 1);
                setAttribute(doc, 40, 0);
                for (int k = 0; k < 16; ++k) setAttribute(doc, 42 + k, row.at(kFixed + extra + k));
                for (int k = 0; k < 10; ++k) setAttribute(doc, 58 + k, row.at(kFixed + extra + 16 + k));
                for (int k = 0; k < 16; ++k) setAttribute(doc, 68 + k, row.at(kFixed + extra + 26 + k));
                if (!engine.AccountSub(doc)) throw DbError(engine.lastError());
            }
        }

        // The opening summaries carried into the start month.
        step("OpeningSummaries");
        const bool sqlite = d.dialect().isSqlite();
        const QString unitPrice =
            sqlite ? QStringLiteral("ROUND(CAST(iMoney AS REAL) / iNum, %1)").arg(p.quantityDecimals)
                   : QStringLiteral("ROUND(CAST(iMoney AS NUMERIC) / iNum, %1)").arg(p.quantityDecimals);
        const QString difRate = sqlite ? QStringLiteral("ROUND(CAST(iDif AS REAL) / iMoney, 8)")
                                       : QStringLiteral("ROUND(CAST(iDif AS NUMERIC) / iMoney, 8)");
        d.exec(QStringLiteral(
                   "UPDATE IA_Summary SET iINum = NULL, iONum = NULL, iIMoney = NULL, iOMoney = NULL, "
                   "iIDif = NULL, iODif = NULL, "
                   "iUnitPrice = CASE WHEN COALESCE(iNum, 0) = 0 THEN NULL ELSE %1 END, "
                   "iDifRate = CASE WHEN COALESCE(iMoney, 0) = 0 THEN NULL WHEN iDif = 0 THEN 0 ELSE %2 END")
                   .arg(unitPrice, difRate));
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
                throw DbError(engine.lastError());

            step("MonthIssues");
            d.exec(QStringLiteral(
                       "UPDATE IA_Subsidiary SET dKeepDate = ?, cAccounter = ?, cHandler = ?, cMaker = ? "
                       "WHERE iMonth = 1 AND cVouType = '61'"),
                   {p.postingDate, op, op, op});
            if (!engine.PostMonthRows({QStringLiteral("s.iMonth = 1 AND s.cVouType = '61'"), {}}))
                throw DbError(engine.lastError());

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
                       {p.postingDate, kOrdinaryPurchase});
                if (!engine.PostMonthRows({QStringLiteral("s.cVouType = '24'"), {}}))
                    throw DbError(engine.lastError());
            }
        }

        step("SettlementMarks");
        d.exec(
            QStringLiteral("UPDATE PurSettleVouchs SET bAccount = 0, bIsPurAcc = 0 WHERE iRdsID IN ("
                           "SELECT DISTINCT l.AutoID FROM RdRecords l JOIN RdRecord h ON l.ID = h.ID "
                           "JOIN PurSettleVouchs pss ON l.AutoID = pss.iRdsID "
                           "WHERE h.cAccounter IS NOT NULL AND pss.bAccount = pss.bIsPurAcc)"));

        step("PostedState");
        accPara(m_ctx).SetPosted(QStringLiteral("IA"), true);
        tx.commit();
        return true;
    } catch (const DbError& e) {
        m_error = e.message();
        return false;
    } catch (const std::exception& e) {
        m_error = QString::fromLocal8Bit(e.what());
        return false;
    }
}

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
    const int period = accPara(m_ctx).CurrentPeriod(QString());
    const bool byItem =
        ReadAccValue(m_ctx, QStringLiteral("IA"), QStringLiteral("cValueStyle")) == kByInventory;
    const QString lastTwo =
        d.dialect().isSqlite() ? QStringLiteral("substr(cMonth, -2)") : QStringLiteral("right(cMonth, 2)");
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
    step("CancelSummaries");
    d.exec(QStringLiteral("DELETE FROM IA_Summary"));
    d.exec(QStringLiteral("DELETE FROM IA_ValuationAss"));
    step("CancelPostingColumns");
    d.exec(
        QStringLiteral("UPDATE IA_Subsidiary SET cAccounter = NULL, cHandler = NULL, cMaker = NULL WHERE "
                       "cWhCode IS NOT NULL"));
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
    accPara(m_ctx).SetPosted(QStringLiteral("IA"), false);
    tx.commit();
}

KeepOutcome PostCommand(LoginContext& ctx, bool editing, const std::function<void(bool)>& busy) {
    MessageSink& sink = sinkOf(ctx);
    AccPara& para = accPara(ctx);
    if (para.IsPosted(QStringLiteral("IA"))) {
        sink.exclamation(QStringLiteral("期初已经记账！"));
        return KeepOutcome::Refused;
    }
    if (editing) return KeepOutcome::Refused;

    const QDate pu = paramDate(ReadAccValue(ctx, QStringLiteral("PU"), QStringLiteral("dPUStartDate")));
    const QDate ia = paramDate(ReadAccValue(ctx, QStringLiteral("IA"), QStringLiteral("dIAStartDate")));
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

    leaveTask(ctx, kAddTask);
    if (!enterTask(ctx, kPostTask)) return KeepOutcome::Refused;
    Posting posting(ctx);
    if (!posting.bNoGbjjCost()) {
        sink.exclamation(QStringLiteral("个别计价的期初单据没有单价金额，请输入！"));
        leaveTask(ctx, kPostTask);
        return KeepOutcome::Refused;
    }
    if (!posting.NoNegativeIndividualRows()) {
        sink.exclamation(QStringLiteral("个别计价的期初单据数量不能为负数，请重新输入！"));
        leaveTask(ctx, kPostTask);
        return KeepOutcome::Refused;
    }
    if (busy) busy(true);
    const bool ok = posting.PostOpenings();
    if (busy) busy(false);
    leaveTask(ctx, kPostTask);
    sink.show(ok ? QStringLiteral("期初记账成功！") : QStringLiteral("期初记账不成功！"), MsgIcon::None,
              MsgButtons::Ok, kTitle);
    return ok ? KeepOutcome::Done : KeepOutcome::Failed;
}

KeepOutcome CancelCommand(LoginContext& ctx) {
    MessageSink& sink = sinkOf(ctx);
    if (!accPara(ctx).IsPosted(QStringLiteral("IA"))) {
        sink.exclamation(QStringLiteral("期初尚未记账，无需恢复！"));
        return KeepOutcome::Refused;
    }
    if (!enterTask(ctx, kPostTask)) return KeepOutcome::Refused;
    Posting posting(ctx);
    if (!posting.CanCancelPosting()) {
        sink.exclamation(QStringLiteral("期初记账后已有业务发生，不能恢复！"));
        leaveTask(ctx, kPostTask);
        return KeepOutcome::Refused;
    }
    KeepOutcome outcome = KeepOutcome::Done;
    try {
        posting.CancelPosting();
        sink.show(QStringLiteral("恢复期初记账成功！"), MsgIcon::None, MsgButtons::Ok, {});
    } catch (const DbError& e) {
        sink.exclamation(e.message());
        outcome = KeepOutcome::Failed;
    }
    leaveTask(ctx, kPostTask);
    return outcome;
}

}  // namespace qc::opening
