#include "ledger/AccountEngine.h"

#include "domain/Vocabulary.h"

#include "platform/Dialect.h"
#include "platform/UnitSteps.h"

#include <QDomElement>
#include <QSqlQuery>

namespace qc {

namespace {

QVariant textOrNull(const QString& t) {
    return t.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(t);
}

}  // namespace

void PostingFaults::check(const QString& step) const {
    announceStep(QStringLiteral("posting"), step);
    if (reached) reached(step);
    if (fails(step)) throw DbError(QStringLiteral("步骤 %1 失败（测试注入）").arg(step));
}

PostingFaults& postingFaults() {
    static PostingFaults faults;
    return faults;
}

bool clsAccount::Init(Database& database, const QString& valueStyle, bool industrial,
                      const QDate& postingDate, const QDate& startDate, const QString& operatorName,
                      int quantityDecimals) {
    m_db = &database;
    m_valueStyle = valueStyle;
    m_industrial = industrial;
    m_postingDate = postingDate;
    m_startDate = startDate;
    m_operator = operatorName;
    m_quantityDecimals = quantityDecimals;
    m_error.clear();
    if (postingFaults().fails(QStringLiteral("Init"))) {
        m_error = QStringLiteral("核算引擎初始化失败");
        m_failure = DbError(m_error);
        return false;
    }
    return true;
}

Database& clsAccount::db() {
    if (!m_db) throw DbError(QStringLiteral("核算引擎尚未初始化"));
    return *m_db;
}

QString clsAccount::whKeyExpr() const {
    return m_valueStyle == basis::kByDepartment ? QStringLiteral("CAST(NULL AS VARCHAR(10))")
                                                : QStringLiteral("s.cWhCode");
}

QString clsAccount::depKeyExpr() const {
    return m_valueStyle == basis::kByDepartment
               ? QStringLiteral("COALESCE(s.cDepCode, w.cDepCode, s.cAccDep)")
               : QStringLiteral(
                     "CASE WHEN s.cWhCode IS NULL THEN COALESCE(s.cDepCode, "
                     "s.cAccDep) ELSE CAST(NULL AS VARCHAR(12)) END");
}

QString clsAccount::methodExpr() const {
    return m_valueStyle == basis::kByInventory ? QStringLiteral("i.cValueType")
                                               : QStringLiteral("w.cWhValueStyle");
}

const Dialect& clsAccount::dialect() const {
    if (!m_db) throw DbError(QStringLiteral("核算引擎尚未初始化"));
    return m_db->dialect();
}

QString clsAccount::round(const QString& expr, int places) const {
    return dialect().roundWhereInexact(expr, places);
}

void clsAccount::addSummary(const QVariant& wh, const QVariant& dep, const QString& inv, int month,
                            int rdFlag, const Decimal& quantity, const Decimal& amount, const Decimal& debit,
                            const Decimal& credit, const QVariant& inCost) {
    Database& d = db();
    const Dialect& x = d.dialect();
    m_carried = false;  // a movement added: the month's rows are no longer all carried
    const Decimal inQ = rdFlag == 1 ? quantity : Decimal();
    const Decimal outQ = rdFlag == 1 ? Decimal() : quantity;
    const Decimal inM = rdFlag == 1 ? amount : Decimal();
    const Decimal outM = rdFlag == 1 ? Decimal() : amount;
    const QString n = x.typedNumeric();
    const QString keyMatch =
        QStringLiteral(
            " WHERE iMonth = ? AND (cWhCode = %1 OR (cWhCode IS NULL AND %1 IS NULL)) AND cInvCode = ?"
            " AND (cDepCode = %1 OR (cDepCode IS NULL AND %1 IS NULL))")
            .arg(x.typedText());
    QString set =
        QStringLiteral(
            "UPDATE IA_Summary SET iINum = COALESCE(iINum, 0) + %1, iONum = COALESCE(iONum, 0) + %1, "
            "iNum = COALESCE(iNum, 0) + %1, iIMoney = COALESCE(iIMoney, 0) + %1, "
            "iOMoney = COALESCE(iOMoney, 0) + %1, iMoney = COALESCE(iMoney, 0) + %1, "
            "iIDif = COALESCE(iIDif, 0) + %1, iODif = COALESCE(iODif, 0) + %1, "
            "iDif = COALESCE(iDif, 0) + %1")
            .arg(n);
    QVariantList binds{inQ.toVariant(),   outQ.toVariant(),   (inQ - outQ).toVariant(),
                       inM.toVariant(),   outM.toVariant(),   (inM - outM).toVariant(),
                       debit.toVariant(), credit.toVariant(), (debit - credit).toVariant()};
    const bool hasCost = !inCost.isNull() && inCost.isValid();
    if (hasCost) {
        set +=
            QStringLiteral(
                ", fMinInCost = CASE WHEN fMinInCost IS NULL OR fMinInCost > %1 THEN %1 ELSE fMinInCost END"
                ", fMaxInCost = CASE WHEN fMaxInCost IS NULL OR fMaxInCost < %1 THEN %1 ELSE fMaxInCost END")
                .arg(n);
        binds << inCost << inCost << inCost << inCost;
    }
    binds << month << wh << wh << inv << dep << dep;
    if (d.execAffected(set + keyMatch, binds) > 0) return;
    d.exec(QStringLiteral("INSERT INTO IA_Summary (cWhCode, cInvCode, cDepCode, iMonth, iINum, iONum, iNum, "
                          "iIMoney, iOMoney, iMoney, iIDif, iODif, iDif, fMinInCost, fMaxInCost) "
                          "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
           {wh, inv, dep, month, inQ.toVariant(), outQ.toVariant(), (inQ - outQ).toVariant(), inM.toVariant(),
            outM.toVariant(), (inM - outM).toVariant(), debit.toVariant(), credit.toVariant(),
            (debit - credit).toVariant(), hasCost ? inCost : QVariant(), hasCost ? inCost : QVariant()});
}

QString clsAccount::groupSum(const QString& expr, int places) const {
    return dialect().sumWhereInexact(expr, places);
}

bool clsAccount::VouchQCAccount(qint64 autoId) {
    return guarded(QStringLiteral("VouchQCAccount"), [&] {
        Database& d = db();
        QSqlQuery q =
            d.exec(QStringLiteral("SELECT %1, %2, s.cInvCode, s.bRdFlag, s.iAInQuantity, s.iAInPrice, "
                                  "s.iAOutQuantity, s.iAOutPrice, s.iDebitDifCost, s.iCreditDifCost, "
                                  "s.iInCost")
                           .arg(whKeyExpr(), depKeyExpr()) +
                       ledgerFrom(false) + QStringLiteral(" WHERE s.AutoID = ?"),
                   {autoId});
        if (!q.next()) throw DbError(QStringLiteral("没有期初记录 %1").arg(autoId));
        QVariantList v;
        for (int c = 0; c <= 10; ++c) v << q.value(c);
        q.finish();
        const int rd = intOf(v.at(3));
        const Decimal qty = Decimal::fromVariant(rd == 1 ? v.at(4) : v.at(6));
        const Decimal amount = Decimal::fromVariant(rd == 1 ? v.at(5) : v.at(7));
        addSummary(v.at(0), v.at(1), textOf(v.at(2)), 0, rd == 1 ? 1 : 0, qty, amount,
                   Decimal::fromVariant(v.at(8)), Decimal::fromVariant(v.at(9)),
                   rd == 1 ? v.at(10) : QVariant());
        insertLayerRows({QStringLiteral("s.AutoID = ?"), {autoId}},
                        {costing::kFifo, costing::kLifo, costing::kSpecific});
    });
}

bool clsAccount::PostOpeningRows() {
    return PostOpeningRows(
        {QStringLiteral("s.iMonth = 0 AND s.dKeepDate = ? AND s.cVouType <> '33'"), {m_postingDate}});
}

bool clsAccount::PostOpeningRowsCarried() {
    return guarded(QStringLiteral("PostOpeningRows"), [&] {
        // The layers now, in the rows' order; the summaries once the month's other
        // movements are known (CarryOpeningSummaries).
        m_pendingOpenings = SqlFragment{
            QStringLiteral("s.iMonth = 0 AND s.dKeepDate = ? AND s.cVouType <> '33'"), {m_postingDate}};
        insertLayerRows(*m_pendingOpenings, {costing::kFifo, costing::kLifo, costing::kSpecific});
    });
}

bool clsAccount::CarryOpeningSummaries(int carryMonth) {
    return guarded(QStringLiteral("CarryOpeningSummaries"), [&] {
        m_carriedInto = 0;
        if (m_pendingOpenings) {
            const SqlFragment openings = *m_pendingOpenings;
            m_pendingOpenings.reset();
            postGrouped(0, openings, true, {}, true, carryMonth);
            if (m_carried) {
                m_carriedInto = carryMonth;
                return;
            }
        }
        const Dialect& x = dialect();
        db().exec(
            QStringLiteral("UPDATE IA_Summary SET iINum = NULL, iONum = NULL, iIMoney = NULL, "
                           "iOMoney = NULL, iIDif = NULL, iODif = NULL, "
                           "iUnitPrice = CASE WHEN COALESCE(iNum, 0) = 0 THEN NULL ELSE %1 END, "
                           "iDifRate = CASE WHEN COALESCE(iMoney, 0) = 0 THEN NULL WHEN iDif = 0 THEN 0 "
                           "ELSE %2 END WHERE iMonth = 0")
                .arg(x.divRound(QStringLiteral("iMoney"), QStringLiteral("iNum"), m_quantityDecimals),
                     x.divRound(QStringLiteral("iDif"), QStringLiteral("iMoney"), 8)));
        m_carried = true;
    });
}

bool clsAccount::PostOpeningRows(const SqlFragment& where) {
    return guarded(QStringLiteral("PostOpeningRows"), [&] {
        postGrouped(0, where, true, {costing::kFifo, costing::kLifo, costing::kSpecific});
    });
}

bool clsAccount::CalDif(const QString& method, const Decimal& quantity, const Decimal& actualUnitCost,
                        const Decimal& plannedPrice, DifResult* result) {
    if (postingFaults().fails(QStringLiteral("CalDif"))) {
        m_error = QStringLiteral("差异计算失败");
        m_failure = DbError(m_error);
        return false;
    }
    DifResult r;
    const Decimal actual = (quantity * actualUnitCost).round(2);
    if (isPricedByPlan(costingMethodOf(method))) {
        r.plannedAmount = (quantity * plannedPrice).round(2);
        const Decimal dif = actual - r.plannedAmount;
        if (dif.isNegative())
            r.credit = -dif;
        else
            r.debit = dif;
    } else {
        r.plannedAmount = actual;
    }
    if (result) *result = r;
    return true;
}

bool clsAccount::AccountSummary(const QString& whCode, const QString& depCode, const QString& invCode,
                                int rdFlag, const Decimal& quantity, const Decimal& amount,
                                const Decimal& debitDif, const Decimal& creditDif) {
    return guarded(QStringLiteral("AccountSummary"), [&] {
        const bool byDep = m_valueStyle == basis::kByDepartment || whCode.isEmpty();
        addSummary(byDep ? QVariant(QMetaType(QMetaType::QString)) : QVariant(whCode),
                   byDep ? textOrNull(depCode) : QVariant(QMetaType(QMetaType::QString)), invCode,
                   startMonth(), rdFlag, quantity, amount, debitDif, creditDif, {});
    });
}

bool clsAccount::AccountSummaryZy(const QString& depCode, const QString& invCode, int rdFlag,
                                  const Decimal& quantity, const Decimal& amount, const Decimal& debitDif,
                                  const Decimal& creditDif) {
    return guarded(QStringLiteral("AccountSummaryZy"), [&] {
        addSummary(QVariant(QMetaType(QMetaType::QString)), textOrNull(depCode), invCode, startMonth(),
                   rdFlag, quantity, amount, debitDif, creditDif, {});
    });
}

bool clsAccount::AccountAss(const QString& vouCode, qint64 id, const QDate& vouDate, const QDate& keepDate,
                            const QString& whCode, const QString& depCode, const QString& invCode, int rdFlag,
                            const Decimal& quantity, const Decimal& unitCost, const Decimal& amount,
                            qint64 subId, const QString& vouType) {
    return guarded(QStringLiteral("AccountAss"), [&] {
        const bool byDep = m_valueStyle == basis::kByDepartment || whCode.isEmpty();
        const QVariant wh = byDep ? QVariant(QMetaType(QMetaType::QString)) : QVariant(whCode);
        const QVariant dep = byDep ? textOrNull(depCode) : QVariant(QMetaType(QMetaType::QString));
        if (rdFlag == 1)
            db().exec(QStringLiteral(
                          "INSERT INTO IA_ValuationAss (cIVouCode, cWhCode, cInvCode, cDepCode, dIDate, "
                          "InID, bJustInFlag, dIKeepDate, iIQuantity, iICost, iIPrice, SubID, bFlag, "
                          "bMoneyFlag, cInVouType) VALUES (?, ?, ?, ?, ?, ?, 0, ?, ?, ?, ?, ?, 0, 1, ?)"),
                      {textOrNull(vouCode), wh, invCode, dep, dateOrNull(vouDate), id, dateOrNull(keepDate),
                       quantity.toVariant(), unitCost.toVariant(), amount.toVariant(), subId, vouType});
        else
            db().exec(QStringLiteral(
                          "INSERT INTO IA_ValuationAss (cWhCode, cInvCode, cDepCode, cOVouCode, dODate, "
                          "OutID, bJustOutFlag, dOKeepDate, iOQuantity, iOCost, iOPrice, SubID, bFlag, "
                          "bMoneyFlag, cOutVouType) VALUES (?, ?, ?, ?, ?, ?, 0, ?, ?, ?, ?, ?, 0, 1, ?)"),
                      {wh, invCode, dep, textOrNull(vouCode), dateOrNull(vouDate), id, dateOrNull(keepDate),
                       quantity.toVariant(), unitCost.toVariant(), amount.toVariant(), subId, vouType});
    });
}

bool clsAccount::PostMonthRows(const SqlFragment& where) {
    return guarded(QStringLiteral("PostMonthRows"), [&] {
        postGrouped(startMonth(), where, false, {costing::kFifo, costing::kLifo});
    });
}

}  // namespace qc
