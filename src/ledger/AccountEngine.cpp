#include "ledger/AccountEngine.h"

#include "domain/Vocabulary.h"

#include "platform/Dialect.h"

#include <QDomElement>
#include <QSqlQuery>

namespace qc {

namespace {

QVariant textOrNull(const QString& t) {
    return t.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(t);
}

QVariant dateOrNull(const QDate& d) {
    return d.isValid() ? QVariant(d) : QVariant(QMetaType(QMetaType::QDate));
}

}  // namespace

void PostingFaults::check(const QString& step) const {
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
        return false;
    }
    return true;
}

Database& clsAccount::db() {
    if (!m_db) throw DbError(QStringLiteral("核算引擎尚未初始化"));
    return *m_db;
}

template <typename F>
bool clsAccount::guarded(const QString& step, F&& work) {
    try {
        postingFaults().check(step);
        work();
        return true;
    } catch (const DbError& e) {
        m_error = e.message();
        return false;
    } catch (const std::exception& e) {
        m_error = QString::fromLocal8Bit(e.what());
        return false;
    }
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

bool clsAccount::PostOpeningRows(const SqlFragment& where) {
    return guarded(QStringLiteral("PostOpeningRows"), [&] {
        postGrouped(0, where, true, {costing::kFifo, costing::kLifo, costing::kSpecific});
    });
}

bool clsAccount::CalDif(const QString& method, const Decimal& quantity, const Decimal& actualUnitCost,
                        const Decimal& plannedPrice, DifResult* result) {
    if (postingFaults().fails(QStringLiteral("CalDif"))) {
        m_error = QStringLiteral("差异计算失败");
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

const QList<EstimateColumn>& clsAccount::estimateColumns() {
    static const QList<EstimateColumn> columns = [] {
        using C = EstimateColumn;
        QList<C> l{{QStringLiteral("bRdFlag"), 0},
                   {QStringLiteral("cBusType"), 1},
                   {QStringLiteral("cBusCode"), 2},
                   {QStringLiteral("cVouCode"), 3},
                   {QStringLiteral("ID"), 4, C::Id},
                   {QStringLiteral("dVouDate"), 7, C::Date},
                   {QStringLiteral("dKeepDate"), 0},
                   {QStringLiteral("iMonth"), 0},
                   {QStringLiteral("cVouType"), 13},
                   {QStringLiteral("cPTCode"), 14},
                   {QStringLiteral("cSTCode"), 15},
                   {QStringLiteral("cWhCode"), 16},
                   {QStringLiteral("cInvCode"), 17},
                   {QStringLiteral("cDepCode"), 18},
                   {QStringLiteral("cRdCode"), 19},
                   {QStringLiteral("cCusCode"), 20},
                   {QStringLiteral("cPSPCode"), 23},
                   {QStringLiteral("cAccDep"), 18},
                   {QStringLiteral("cPersonCode"), 26},
                   {QStringLiteral("iAInQuantity"), 27, C::Number},
                   {QStringLiteral("iInCost"), 29, C::Number},
                   {QStringLiteral("iAInPrice"), 31, C::Number},
                   {QStringLiteral("iDebitDifCost"), 33, C::Number},
                   {QStringLiteral("iCreditDifCost"), 34, C::Number},
                   {QStringLiteral("cMaker"), 36},
                   {QStringLiteral("cAccounter"), 37},
                   {QStringLiteral("bFlag"), 0},
                   {QStringLiteral("bMoneyFlag"), 39, C::Flag},
                   {QStringLiteral("bSale"), 40, C::Flag},
                   {QStringLiteral("cMemo"), 41},
                   {QStringLiteral("cItem_class"), 84},
                   {QStringLiteral("cItemCode"), 85},
                   {QStringLiteral("cItemCName"), 86},
                   {QStringLiteral("cVenCode"), 87},
                   {QStringLiteral("cHandler"), 88},
                   {QStringLiteral("cOrderCode"), 89},
                   {QStringLiteral("cARVCode"), 90},
                   {QStringLiteral("cName"), 91}};
        for (int k = 1; k <= 16; ++k) l.append({QStringLiteral("cDefine%1").arg(k), 41 + k});
        for (int k = 1; k <= 10; ++k) l.append({QStringLiteral("cFree%1").arg(k), 57 + k});
        for (int k = 22; k <= 37; ++k) l.append({QStringLiteral("cDefine%1").arg(k), 68 + k - 22});
        return l;
    }();
    return columns;
}

bool clsAccount::AccountSub(const QDomDocument& record) {
    return guarded(QStringLiteral("AccountSub"), [&] {
        const QDomElement root = record.documentElement();
        if (root.tagName() != u"root") throw DbError(QStringLiteral("入库记录格式不正确"));
        auto a = [&](int pos) -> QVariant {
            const QString name = QStringLiteral("a%1").arg(pos);
            return root.hasAttribute(name) ? QVariant(root.attribute(name))
                                           : QVariant(QMetaType(QMetaType::QString));
        };
        auto dec = [&](int pos) -> QVariant {
            const QVariant v = a(pos);
            return v.isNull() ? v : Decimal::fromText(v.toString()).toVariant();
        };
        QStringList cols;
        QVariantList vals;
        for (const EstimateColumn& c : estimateColumns()) {
            cols << c.column;
            if (c.position == 0) {
                // The fixed columns: a receipt (bRdFlag 1) of the opening month, not yet
                // costed, kept on the start date so that cancelling the posting finds it
                // among the rows it removes.
                if (c.column == u"dKeepDate")
                    vals << dateOrNull(m_startDate.isValid() ? m_startDate : dateOf(a(8)).addDays(1));
                else
                    vals << (c.column == u"bRdFlag" ? 1 : 0);
                continue;
            }
            const QVariant v = a(c.position);
            switch (c.kind) {
                case EstimateColumn::Id:
                    vals << (v.isNull() ? QVariant() : QVariant(v.toLongLong()));
                    break;
                case EstimateColumn::Date:
                    vals << dateOrNull(dateOf(v));
                    break;
                case EstimateColumn::Number:
                    vals << dec(c.position);
                    break;
                case EstimateColumn::Flag:
                    vals << (v.isNull() ? QVariant(c.column == u"bMoneyFlag" ? 1 : 0) : QVariant(v.toInt()));
                    break;
                case EstimateColumn::Text:
                    vals << v;
                    break;
            }
        }
        const qint64 id =
            db().insertReturningId(QStringLiteral("IA_Subsidiary"), cols, vals, QStringLiteral("AutoID"));
        if (!VouchQCAccount(id)) throw DbError(m_error);
    });
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
