#include "opening/Posting.h"

#include "domain/Vocabulary.h"
#include "host/AccPara.h"
#include "host/VqLogin.h"
#include "ledger/AccountEngine.h"
#include "platform/Dialect.h"
#include "platform/MessageSink.h"
#include "platform/Schema.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"

#include <QDomElement>
#include <QMap>
#include <QSqlQuery>

// The purchase receipts not settled at the start of inventory accounting: each
// line becomes an estimate of type '33' when the openings are posted.

namespace qc::opening {

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
    return {start,
            business::kOrdinaryPurchase,
            business::kConsignedReceipt,
            p.periodBegin,
            p.periodEnd,
            business::kOrdinaryPurchase,
            p.periodBegin,
            p.periodEnd};
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
        throw engine.lastFailure();
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
            throw engine.lastFailure();

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

}  // namespace qc::opening
