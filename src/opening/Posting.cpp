#include "opening/Posting.h"

#include "domain/Vocabulary.h"

#include "entry/LoginContext.h"
#include "host/AccPara.h"
#include "host/AccountEngine.h"
#include "host/VqLogin.h"
#include "platform/Dialect.h"
#include "platform/MessageSink.h"
#include "platform/Schema.h"
#include "shared/AccountParams.h"

#include <QDomElement>
#include <QMap>
#include <QSqlQuery>

namespace qc::opening {

namespace {

const QString kTitle = QStringLiteral("期初记账");
const QString kOrdinaryPurchase = QStringLiteral("普通采购");
const QString kConsignment = QStringLiteral("受托代销");

QDate paramDate(const QString& text) {
    return dateOf(QVariant(text.trimmed()));
}

void leaveTask(LoginContext& ctx, const QString& funcId) {
    if (ctx.gLogin) ctx.gLogin->TaskExec(funcId, 0);
}

}  // namespace

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
    return m_valueStyle == basis::kByInventory ? QStringLiteral("i.cValueType")
                                               : QStringLiteral("w.cWhValueStyle");
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

bool Posting::bNoGbjjCost() {
    const QString sql =
        m_ctx.gValueStyle == basis::kByInventory
            ? QStringLiteral(
                  "SELECT COUNT(*) FROM IA_Subsidiary s LEFT JOIN Inventory i ON s.cInvCode = i.cInvCode "
                  "WHERE i.cValueType = ? AND s.iAInPrice IS NULL AND s.cVouType = '34'")
            : QStringLiteral(
                  "SELECT COUNT(*) FROM IA_Subsidiary s LEFT JOIN Warehouse w ON s.cWhCode = w.cWhCode "
                  "WHERE w.cWhValueStyle = ? AND s.iAInPrice IS NULL AND s.cVouType = '34'");
    return db().scalar(sql, {costing::kSpecific}).toLongLong() == 0;
}

bool Posting::NoNegativeIndividualRows() {
    const QString sql =
        m_ctx.gValueStyle == basis::kByInventory
            ? QStringLiteral(
                  "SELECT COUNT(*) FROM IA_Subsidiary s LEFT JOIN Inventory i ON i.cInvCode = s.cInvCode "
                  "WHERE s.cAccounter IS NULL AND i.cValueType = ? AND s.iMonth = 0 "
                  "AND s.iAInQuantity < 0 AND s.cVouType = '34'")
            : QStringLiteral(
                  "SELECT COUNT(*) FROM IA_Subsidiary s LEFT JOIN Warehouse w ON s.cWhCode = w.cWhCode "
                  "WHERE s.cAccounter IS NULL AND w.cWhValueStyle = ? AND s.iMonth = 0 "
                  "AND s.iAInQuantity < 0 AND s.cVouType = '34'");
    return db().scalar(sql, {costing::kSpecific}).toLongLong() == 0;
}

// The fields of an unsettled receipt line in the record AccountSub takes, by
// position; the SQL reads the header h, the line l, the inventory i and the
// warehouse w of unsettledFrom().
const QList<std::pair<int, QString>>& Posting::receiptFields() {
    static const QList<std::pair<int, QString>> fields = [] {
        QList<std::pair<int, QString>> f{
            {1, QStringLiteral("h.cBusType")},     {2, QStringLiteral("h.cBusCode")},
            {3, QStringLiteral("h.cCode")},        {4, QStringLiteral("l.AutoID")},
            {7, QStringLiteral("h.dDate")},        {14, QStringLiteral("h.cPTCode")},
            {15, QStringLiteral("h.cSTCode")},     {16, QStringLiteral("h.cWhCode")},
            {17, QStringLiteral("l.cInvCode")},    {18, QStringLiteral("h.cDepCode")},
            {19, QStringLiteral("h.cRdCode")},     {20, QStringLiteral("h.cCusCode")},
            {21, QStringLiteral("l.iSBsID")},      {22, QStringLiteral("l.iDLsID")},
            {23, QStringLiteral("h.cPSPCode")},    {26, QStringLiteral("h.cPersonCode")},
            {36, QStringLiteral("h.cMaker")},      {41, QStringLiteral("h.cMemo")},
            {84, QStringLiteral("l.cItem_class")}, {85, QStringLiteral("l.cItemCode")},
            {86, QStringLiteral("l.cItemCName")},  {87, QStringLiteral("h.cVenCode")},
            {88, QStringLiteral("h.cHandler")},    {89, QStringLiteral("h.cOrderCode")},
            {90, QStringLiteral("h.cARVCode")},    {91, QStringLiteral("l.cName")}};
        for (int k = 1; k <= 16; ++k) f.append({41 + k, QStringLiteral("h.cDefine%1").arg(k)});
        for (int k = 1; k <= 10; ++k) f.append({57 + k, QStringLiteral("l.cFree%1").arg(k)});
        for (int k = 22; k <= 37; ++k) f.append({68 + k - 22, QStringLiteral("l.cDefine%1").arg(k)});
        return f;
    }();
    return fields;
}

// The unsettled lines with what the posting computes for them, as columns of a
// derived table e: the fields by position (f<position>), the unsettled quantity
// q, whether the method is a planned or selling price (planned), the unit cost
// (cost, NULL when the line has none), the amount and the difference amounts
// (NULL unless planned). Binds: planned methods, then unsettledBinds().
QString Posting::receiptLinesSql() const {
    const Dialect& x = m_ctx.gDb->Connection().dialect();
    QStringList inner;
    for (const auto& [pos, expr] : receiptFields()) inner << QStringLiteral("%1 AS f%2").arg(expr).arg(pos);
    const QString q = QStringLiteral("(COALESCE(l.iQuantity, 0) - COALESCE(ps.iSVQuantity, 0))");
    inner << q + QStringLiteral(" AS q")
          << QStringLiteral(
                 "COALESCE(l.iUnitCost, l.fACost, CASE WHEN COALESCE(l.iQuantity, 0) <> 0 THEN %1 END) "
                 "AS actual")
                 .arg(x.divRound(QStringLiteral("l.iPrice"), QStringLiteral("l.iQuantity"), 13))
          << QStringLiteral("i.iInvRCost AS pp")
          << QStringLiteral("CASE WHEN TRIM(%1) IN (?, ?) THEN 1 ELSE 0 END AS planned").arg(methodOf());
    const QString middle = QStringLiteral(
                               "SELECT r.*, CASE WHEN r.planned = 1 THEN r.pp ELSE r.actual END AS cost, "
                               "CASE WHEN r.planned = 1 THEN %1 - %2 END AS dif FROM (SELECT %3") +
                           unsettledFrom() + QStringLiteral(") r");
    const QString withDif = middle.arg(
        x.mulRound(QStringLiteral("r.q"), QStringLiteral("COALESCE(r.actual, r.pp)"), 2),
        x.mulRound(QStringLiteral("r.q"), QStringLiteral("r.pp"), 2), inner.join(QStringLiteral(", ")));
    return QStringLiteral(
               "(SELECT m.*, %1 AS amount, "
               "CASE WHEN m.planned = 1 THEN CASE WHEN m.dif > 0 THEN m.dif ELSE 0 END END AS debit, "
               "CASE WHEN m.planned = 1 THEN CASE WHEN m.dif < 0 THEN -m.dif ELSE 0 END END AS credit "
               "FROM (%2) m) e")
        .arg(x.mulRound(QStringLiteral("m.q"), QStringLiteral("m.cost"), 2), withDif);
}

QVariantList Posting::receiptLinesBinds(const Params& p) const {
    return QVariantList{costing::kPlanned, costing::kSelling} + unsettledBinds(p);
}

void Posting::PostReceiptLines(clsAccount& engine, const Params& p) {
    Database& d = db();
    const QString op = p.operatorName;
    // A line whose inventory has no method, or no planned or selling price under
    // those methods, stops the posting; the first such line names the inventory.
    {
        QSqlQuery q = d.exec(
            QStringLiteral("SELECT l.cInvCode, CASE WHEN COALESCE(TRIM(%1), '') = '' THEN 1 ELSE 0 END")
                    .arg(methodOf()) +
                unsettledFrom() +
                QStringLiteral(
                    " AND (COALESCE(TRIM(%1), '') = '' OR (TRIM(%1) IN (?, ?) AND i.iInvRCost IS NULL)) "
                    "ORDER BY l.AutoID")
                    .arg(methodOf()),
            unsettledBinds(p) + QVariantList{costing::kPlanned, costing::kSelling});
        if (q.next()) {
            const QString code = textOf(q.value(0));
            const QString message =
                q.value(1).toInt() == 1
                    ? QStringLiteral("存货") + code + QStringLiteral("没有设置计价方式！")
                    : QStringLiteral("存货") + code + QStringLiteral("没有设置计划价/售价！");
            q.finish();
            sink().exclamation(message);
            throw DbError(message);
        }
    }
    const qint64 before =
        d.scalar(QStringLiteral("SELECT COALESCE(MAX(AutoID), 0) FROM IA_Subsidiary")).toLongLong();
    d.exec(QStringLiteral("UPDATE RdRecord SET cAccounter = ? WHERE ID IN (SELECT h.ID") + unsettledFrom() +
               QStringLiteral(")"),
           QVariantList{op} + unsettledBinds(p));

    // Each line becomes an estimate of type '33', as AccountSub writes it from the
    // line's record, in the order of the lines.
    const Dialect& x = d.dialect();
    const QDate keepDate = p.startDate.isValid() ? p.startDate : p.postingDate.addDays(1);
    // What each position of the record holds for all the lines at once.
    const QMap<int, QString> computed{{13, QStringLiteral("'33'")},
                                      {27, QStringLiteral("e.q")},
                                      {29, QStringLiteral("e.cost")},
                                      {31, QStringLiteral("e.amount")},
                                      {33, QStringLiteral("e.debit")},
                                      {34, QStringLiteral("e.credit")},
                                      {37, x.typedText()},
                                      {39, QStringLiteral("1")},
                                      {40, QStringLiteral("0")}};
    QStringList cols, sel;
    QVariantList binds;
    for (const EstimateColumn& c : clsAccount::estimateColumns()) {
        cols << c.column;
        if (c.position == 0) {
            if (c.column == u"dKeepDate") {
                sel << x.typedDate();
                binds << keepDate;
            } else {
                sel << (c.column == u"bRdFlag" ? QStringLiteral("1") : QStringLiteral("0"));
            }
        } else if (computed.contains(c.position)) {
            sel << computed.value(c.position);
            if (c.position == 37) binds << op;
        } else {
            sel << QStringLiteral("e.f%1").arg(c.position);
        }
    }
    d.exec(QStringLiteral("INSERT INTO IA_Subsidiary (%1) SELECT %2 FROM %3 ORDER BY e.f4")
               .arg(cols.join(QStringLiteral(", ")), sel.join(QStringLiteral(", ")), receiptLinesSql()),
           binds + receiptLinesBinds(p));

    // The lines keep the unit cost and amount their estimates were made with.
    d.exec(QStringLiteral(
               "UPDATE RdRecords SET iPUnitCost = s.iInCost, iPPrice = s.iAInPrice FROM IA_Subsidiary s "
               "WHERE s.AutoID > ? AND s.cVouType = '33' AND s.ID = RdRecords.AutoID"),
           {before});
    if (!engine.PostOpeningRows({QStringLiteral("s.AutoID > ? AND s.cVouType = '33'"), {before}}))
        throw DbError(engine.lastError());
}

QList<QDomDocument> Posting::ReceiptLineRecords(clsAccount& engine, const Params& p) {
    QStringList sel;
    for (const auto& [pos, expr] : receiptFields()) sel << QStringLiteral("e.f%1").arg(pos);
    sel << QStringLiteral("e.q") << QStringLiteral("e.actual") << QStringLiteral("e.pp")
        << QStringLiteral("e.planned");
    QSqlQuery q = db().exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY e.f4")
                                .arg(sel.join(QStringLiteral(", ")), receiptLinesSql()),
                            receiptLinesBinds(p));
    const int n = int(receiptFields().size());
    QList<QDomDocument> records;
    while (q.next()) {
        const Decimal unsettled = Decimal::fromVariant(q.value(n));
        std::optional<Decimal> actual;
        if (!q.value(n + 1).isNull()) actual = Decimal::fromVariant(q.value(n + 1));
        const Decimal plannedPrice = Decimal::fromVariant(q.value(n + 2));
        const bool planned = q.value(n + 3).toInt() == 1;
        // The unit cost: the planned or selling price, else the line's actual cost.
        const std::optional<Decimal> unitCost = planned ? std::optional<Decimal>(plannedPrice) : actual;
        DifResult dif;
        if (!engine.CalDif(planned ? costing::kPlanned : QString(), unsettled, actual.value_or(plannedPrice),
                           plannedPrice, &dif))
            throw DbError(engine.lastError());

        QDomDocument doc;
        doc.setContent(QStringLiteral("<root/>"));
        for (int c = 0; c < n; ++c) setAttribute(doc, receiptFields().at(c).first, q.value(c));
        setAttribute(doc, 6, 0);
        setAttribute(doc, 8, p.postingDate);
        setAttribute(doc, 9, 0);
        setAttribute(doc, 13, QStringLiteral("33"));
        if (p.valueStyle == basis::kByDepartment) setAttribute(doc, 25, q.value(7));
        setAttribute(doc, 27, unsettled.toPlainString());
        if (unitCost) {
            setAttribute(doc, 29, unitCost->toPlainString());
            setAttribute(doc, 31, (unsettled * *unitCost).round(2).toPlainString());
        }
        if (planned) {
            setAttribute(doc, 33, dif.debit.toPlainString());
            setAttribute(doc, 34, dif.credit.toPlainString());
        }
        setAttribute(doc, 37, p.operatorName);
        setAttribute(doc, 38, 1);
        setAttribute(doc, 39, 1);
        setAttribute(doc, 40, 0);
        records << doc;
    }
    return records;
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
        // A second posting, a cancelling or a 取数 running now waits here (or this
        // one waits for them); what they committed is then seen below.
        AccPara& para = accParaOf(m_ctx);
        para.LockOpenings();
        if (para.IsPosted(QStringLiteral("IA"))) throw DbError(QStringLiteral("期初已经记账！"));
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
            PostReceiptLines(engine, p);
        }

        // The opening summaries carried into the start month.
        step("OpeningSummaries");
        const QString unitPrice =
            d.dialect().divRound(QStringLiteral("iMoney"), QStringLiteral("iNum"), p.quantityDecimals);
        const QString difRate = d.dialect().divRound(QStringLiteral("iDif"), QStringLiteral("iMoney"), 8);
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
        accParaOf(m_ctx).SetPosted(QStringLiteral("IA"), true);
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
    AccPara& para = accParaOf(m_ctx);
    para.LockOpenings();
    if (!para.IsPosted(QStringLiteral("IA"))) throw DbError(QStringLiteral("期初尚未记账，无需恢复！"));
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
    accParaOf(m_ctx).SetPosted(QStringLiteral("IA"), false);
    tx.commit();
}

KeepOutcome PostCommand(LoginContext& ctx, bool editing, const std::function<void(bool)>& busy) {
    MessageSink& sink = sinkOf(ctx);
    AccPara& para = accParaOf(ctx);
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

    leaveTask(ctx, task::kAddOpenings);
    TaskLease lease = enterTask(ctx, task::kPostOpenings);
    if (!lease.held()) return KeepOutcome::Refused;
    Posting posting(ctx);
    if (!posting.bNoGbjjCost()) {
        lease.release();
        sink.exclamation(QStringLiteral("个别计价的期初单据没有单价金额，请输入！"));
        return KeepOutcome::Refused;
    }
    if (!posting.NoNegativeIndividualRows()) {
        lease.release();
        sink.exclamation(QStringLiteral("个别计价的期初单据数量不能为负数，请重新输入！"));
        return KeepOutcome::Refused;
    }
    if (busy) busy(true);
    const bool ok = posting.PostOpenings();
    if (busy) busy(false);
    lease.release();
    sink.show(ok ? QStringLiteral("期初记账成功！") : QStringLiteral("期初记账不成功！"), MsgIcon::None,
              MsgButtons::Ok, kTitle);
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
    } catch (const DbError& e) {
        sink.exclamation(e.message());
        return KeepOutcome::Failed;
    }
    sink.show(QStringLiteral("恢复期初记账成功！"), MsgIcon::None, MsgButtons::Ok, {});
    return KeepOutcome::Done;
}

}  // namespace qc::opening
