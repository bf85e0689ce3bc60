#include "opening/FetchStock.h"

#include "domain/Vocabulary.h"
#include "opening/FetchParts.h"
#include "platform/Decimal.h"
#include "platform/Dialect.h"
#include "platform/Schema.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"

#include <QDate>
#include <QRegularExpression>
#include <QSqlQuery>

#include <algorithm>

namespace qc::opening {

namespace {

using namespace fetching;

class Fetch {
  public:
    Fetch(LoginContext& ctx, const QString& whCode)
        : m_ctx(ctx), m_db(ctx.gDb->Connection()), m_d(m_db.dialect()), m_wh(whCode) {
        // The suffix becomes part of table names, so it must be a plain number.
        static const QRegularExpression digits(QStringLiteral("^[0-9]*$"));
        if (!digits.match(ctx.gInstanceNo).hasMatch())
            throw DbError(QStringLiteral("实例号不能用作表名：%1").arg(ctx.gInstanceNo));
        m_work = QStringLiteral("tempKcqc") + ctx.gInstanceNo;
        m_sign = QStringLiteral("TempSign") + ctx.gInstanceNo;
        m_grouped = QStringLiteral("tempKcqcSums") + ctx.gInstanceNo;
        accParaOf(m_ctx);
        m_quanDec = decimals(QStringLiteral("iStrsQuanDecDgt"));
        m_priceDec = decimals(QStringLiteral("iStrsPriDecDgt"));
    }

    FetchResult run() {
        FetchResult r;
        fetchStep(QStringLiteral("prepare"));
        dropWorkTables();
        createWorkTable(m_work);
        r.wayA =
            m_ctx.gAccPara->CurrentPeriod(QStringLiteral("ST")) == m_ctx.gAccPara->CurrentPeriod(QString());
        if (r.wayA)
            copyStockOpenings();
        else
            computeStockAtStart();
        if (!methodByItem())
            m_warehouseMethod =
                m_db.scalar(QStringLiteral("SELECT cWhValueStyle FROM Warehouse WHERE cWhCode = ?"), {m_wh})
                    .toString();
        r.missingPrice = applyValuation();
        r.refused = applySignRules();
        fetchStep(QStringLiteral("insert"));
        const QString cols = takenOverColumns().join(QStringLiteral(", "));
        r.inserted = m_db.execAffected(
            QStringLiteral("INSERT INTO IA_Subsidiary (%1) SELECT %1 FROM %2").arg(cols, m_work));
        fetchStep(QStringLiteral("cleanup"));
        dropWorkTables();
        return r;
    }

  private:
    int decimals(const QString& name) {
        return std::clamp(m_ctx.gAccPara->GetParam(name, QStringLiteral("AA")).toInt(), 0, Decimal::kScale);
    }

    void dropWorkTables() {
        for (const QString& t : {m_work, m_grouped, m_sign}) m_db.exec(m_d.dropTableIfExists(t));
    }

    // A work table with the opening-row columns, typed as in IA_Subsidiary so that
    // the final insertion needs no conversion.
    void createWorkTable(const QString& name) {
        const TableDef t = scratchTableOf(name, QStringLiteral("IA_Subsidiary"), takenOverColumns());
        m_db.exec(createStatements(t, m_d).first());
    }

    // The operator's data rights on the documents: warehouse and department of the
    // head, and the line's item (inventory rights list Inventory.iId, so the item is
    // joined). The rows taken over become his own entries, so the write rights count.
    SqlFragment rights() {
        return RowRightsFilter(m_ctx, QStringLiteral("RdRecord.cWhCode"), QStringLiteral("RdRecord.cDepCode"),
                               QStringLiteral("Inventory.iId"), true);
    }

    // The warehouse's department under per-department accounting, else nothing.
    [[nodiscard]] QString departmentSource() const {
        return m_ctx.gValueStyle == basis::kByDepartment ? QStringLiteral("Warehouse.cDepCode")
                                                         : QStringLiteral("NULL");
    }

    // The documents' lines with their heads; the warehouse and the item are joined
    // only where the department or the rights read them: each is a look-up per
    // line, a good part of the take-over's time on a million lines.
    QString documentJoins() {
        // A document head without lines holds no stock, hence the inner join.
        QString joins = QStringLiteral(" FROM RdRecord JOIN RdRecords ON RdRecords.ID = RdRecord.ID");
        if (m_ctx.gValueStyle == basis::kByDepartment)
            joins += QStringLiteral(" LEFT JOIN Warehouse ON Warehouse.cWhCode = RdRecord.cWhCode");
        if (!BuildRightsFilter(m_ctx, QStringLiteral("Inventory.iId"), kRightInventory, true).isEmpty())
            joins += QStringLiteral(" LEFT JOIN Inventory ON Inventory.cInvCode = RdRecords.cInvCode");
        return joins;
    }

    void appendRights(QString& sql, QVariantList& binds) {
        const SqlFragment r = rights();
        if (r.isEmpty()) return;
        sql += QStringLiteral(" AND ") + r.sql;
        binds += r.binds;
    }

    // Both modules in the same period: the stock module's own openings ('34'
    // documents of the warehouse) are copied line by line.
    void copyStockOpenings() {
        fetchStep(QStringLiteral("copy"));
        QStringList cols{
            QStringLiteral("bRdFlag"),    QStringLiteral("cBusType"),     QStringLiteral("cBusCode"),
            QStringLiteral("cVouCode"),   QStringLiteral("ID"),           QStringLiteral("dVouDate"),
            QStringLiteral("iMonth"),     QStringLiteral("cVouType"),     QStringLiteral("cPTCode"),
            QStringLiteral("cSTCode"),    QStringLiteral("cWhCode"),      QStringLiteral("cAccDep"),
            QStringLiteral("cInvCode"),   QStringLiteral("cRdCode"),      QStringLiteral("cVenCode"),
            QStringLiteral("cCusCode"),   QStringLiteral("cDepCode"),     QStringLiteral("cPersonCode"),
            QStringLiteral("cHandler"),   QStringLiteral("iAInQuantity"), QStringLiteral("iInCost"),
            QStringLiteral("iAInPrice"),  QStringLiteral("cMaker"),       QStringLiteral("bFlag"),
            QStringLiteral("bMoneyFlag"), QStringLiteral("bSale"),        QStringLiteral("cMemo")};
        QStringList exprs{QStringLiteral("RdRecord.bRdFlag"),
                          QStringLiteral("RdRecord.cBusType"),
                          QStringLiteral("RdRecord.cBusCode"),
                          QStringLiteral("RdRecord.cCode"),
                          QStringLiteral("RdRecords.AutoID"),
                          QStringLiteral("RdRecord.dDate"),
                          QStringLiteral("0"),
                          QStringLiteral("RdRecord.cVouchType"),
                          QStringLiteral("RdRecord.cPTCode"),
                          QStringLiteral("RdRecord.cSTCode"),
                          QStringLiteral("RdRecord.cWhCode"),
                          QStringLiteral("RdRecord.cDepCode"),
                          QStringLiteral("RdRecords.cInvCode"),
                          QStringLiteral("RdRecord.cRdCode"),
                          QStringLiteral("RdRecord.cVenCode"),
                          QStringLiteral("RdRecord.cCusCode"),
                          departmentSource(),
                          QStringLiteral("RdRecord.cPersonCode"),
                          QStringLiteral("RdRecord.cHandler"),
                          QStringLiteral("RdRecords.iQuantity"),
                          QStringLiteral("RdRecords.iUnitCost"),
                          QStringLiteral("RdRecords.iPrice"),
                          QStringLiteral("RdRecord.cMaker"),
                          QStringLiteral("0"),
                          QStringLiteral("RdRecords.iFlag"),
                          QStringLiteral("0"),
                          QStringLiteral("RdRecord.cMemo")};
        for (const auto& [col, table] : documentItems()) {
            cols << col;
            exprs << table + u'.' + col;
        }
        QString sql = QStringLiteral("INSERT INTO %1 (%2) SELECT %3")
                          .arg(m_work, cols.join(QStringLiteral(", ")), exprs.join(QStringLiteral(", "))) +
                      documentJoins() +
                      QStringLiteral(" WHERE RdRecord.cVouchType = ? AND RdRecord.cWhCode = ?");
        QVariantList binds{voucher::kOpening, m_wh};
        appendRights(sql, binds);
        m_db.exec(sql, binds);
    }

    // The modules in different periods: the stock at the start of inventory
    // accounting, from the receipts and issues dated before it (issues negated),
    // one row per item, department, maker and set of carried-over fields. The rows
    // are grouped straight from the documents rather than through a copy of every
    // line: the copy would only be read once.
    void computeStockAtStart() {
        const QDate start =
            dateOf(QVariant(ReadAccValue(m_ctx, QStringLiteral("IA"), QStringLiteral("dIAStartDate"))));
        if (!start.isValid()) throw DbError(QStringLiteral("存货核算启用日期不是有效日期，不能从库存取数！"));

        fetchStep(QStringLiteral("documents"));
        QString from =
            documentJoins() + QStringLiteral(
                                  " WHERE ((RdRecord.bRdFlag = 1 AND RdRecord.cVouchType IN (?, ?, ?, ?))"
                                  " OR (RdRecord.bRdFlag = 0 AND RdRecord.cVouchType IN (?, ?, ?, ?)))"
                                  " AND RdRecord.dDate < ? AND RdRecord.cWhCode = ?");
        QVariantList fromBinds{voucher::kOpening,
                               QStringLiteral("01"),
                               QStringLiteral("08"),
                               QStringLiteral("10"),
                               voucher::kOpening,
                               QStringLiteral("32"),
                               QStringLiteral("09"),
                               QStringLiteral("11"),
                               start,
                               m_wh};
        appendRights(from, fromBinds);

        // A carried-over field that no document line fills cannot split a group;
        // leaving it out of the grouping makes the grouping several times cheaper
        // (most accounts use few of the 46 fields) and gives the same rows.
        const auto items = documentItems();
        const QList<bool> filled = filledFields(m_db, m_wh, items, from, fromBinds);
        QStringList cols{QStringLiteral("cInvCode"), QStringLiteral("cAccDep"), QStringLiteral("cMaker"),
                         QStringLiteral("cWhCode")};
        QStringList keys{QStringLiteral("RdRecords.cInvCode"), QStringLiteral("RdRecord.cDepCode"),
                         QStringLiteral("RdRecord.cMaker"), QStringLiteral("RdRecord.cWhCode")};
        if (m_ctx.gValueStyle == basis::kByDepartment) {
            cols << QStringLiteral("cDepCode");
            keys << QStringLiteral("Warehouse.cDepCode");
        }
        for (int i = 0; i < items.size(); ++i) {
            if (!filled.at(i)) continue;
            cols << items.at(i).first;
            keys << items.at(i).second + u'.' + items.at(i).first;
        }

        fetchStep(QStringLiteral("group"));
        // The lines are summed into a table of their own, which a server fills
        // with several processes at once (it groups for an INSERT with one), and
        // the sums are then rounded into the work table. Quantities, unit costs
        // and amounts (to the cent) are rounded once, there, to the account's
        // decimals; a group whose quantity comes to zero has no unit cost. The
        // rows of the start are dated the day before it, as typed rows without a
        // date are.
        // A line without a quantity or amount adds nothing (SUM passes over it);
        // a group of such lines sums to zero. Asking for the zero once a group
        // rather than once a line spares a tenth of the grouping.
        const QString qty = QStringLiteral(
            "COALESCE(SUM(CASE WHEN RdRecord.bRdFlag = 1 THEN RdRecords.iQuantity "
            "ELSE -RdRecords.iQuantity END), 0)");
        const QString amount = QStringLiteral(
            "COALESCE(SUM(CASE WHEN RdRecord.bRdFlag = 1 THEN RdRecords.iPrice "
            "ELSE -RdRecords.iPrice END), 0)");
        QStringList named;
        for (int i = 0; i < cols.size(); ++i) named << keys.at(i) + QStringLiteral(" AS ") + cols.at(i);
        m_db.exec(m_d.createTableAs(m_grouped, QStringLiteral("SELECT %1 AS sumQuantity, %2 AS sumAmount, %3")
                                                       .arg(qty, amount, named.join(QStringLiteral(", "))) +
                                                   from + QStringLiteral(" GROUP BY ") +
                                                   keys.join(QStringLiteral(", "))),
                  fromBinds);
        const QString ti = m_d.typedInt();
        const QString names = cols.join(QStringLiteral(", "));
        m_db.exec(QStringLiteral(
                      "INSERT INTO %1 (bRdFlag, dVouDate, iMonth, cVouType, bFlag, bMoneyFlag, bSale, "
                      "iAInQuantity, iInCost, iAInPrice, %2) "
                      "SELECT 1, %3, 0, %4, 0, 0, 0, ROUND(sumQuantity, %5), "
                      "CASE WHEN ROUND(sumQuantity, %5) = 0 THEN 0 "
                      "ELSE ROUND(sumAmount * 1.0 / sumQuantity, %5) END, ROUND(sumAmount, 2), %2 FROM %6")
                      .arg(m_work, names, m_d.typedDate(), m_d.typedText(), ti, m_grouped),
                  {start.addDays(-1), voucher::kOpening, m_quanDec, m_quanDec, m_priceDec});
        m_db.exec(m_d.dropTableIfExists(m_grouped));
    }

    // The valuation method of a work-table row: the item's own under per-item
    // accounting, the warehouse's otherwise.
    [[nodiscard]] QString methodOf() const {
        return m_ctx.gValueStyle == basis::kByInventory
                   ? QStringLiteral(
                         "(SELECT Inventory.cValueType FROM Inventory WHERE "
                         "Inventory.cInvCode = %1.cInvCode)")
                         .arg(m_work)
                   : QStringLiteral(
                         "(SELECT Warehouse.cWhValueStyle FROM Warehouse WHERE "
                         "Warehouse.cWhCode = %1.cWhCode)")
                         .arg(m_work);
    }
    [[nodiscard]] QString plannedPriceOf() const {
        return QStringLiteral(
                   "(SELECT CAST(Inventory.iInvRCost AS NUMERIC) FROM Inventory "
                   "WHERE Inventory.cInvCode = %1.cInvCode)")
            .arg(m_work);
    }
    // The same two, as columns of the item (and warehouse) joined to each row
    // once: a statement naming them several times would look each up as often.
    [[nodiscard]] bool methodByItem() const { return m_ctx.gValueStyle == basis::kByInventory; }
    // Whether some row may be valued by one of `methods`: under valuation by
    // warehouse every row takes the warehouse's method, so the rules of the
    // other methods have nothing to do there and are left out.
    [[nodiscard]] bool mayBeValuedBy(std::initializer_list<QString> methods) const {
        if (m_warehouseMethod.isEmpty()) return true;
        return std::find(methods.begin(), methods.end(), m_warehouseMethod) != methods.end();
    }
    [[nodiscard]] QString joinedMethod() const {
        return methodByItem() ? QStringLiteral("vi.cValueType") : QStringLiteral("vw.cWhValueStyle");
    }
    static QString joinedPrice() { return QStringLiteral("CAST(vi.iInvRCost AS NUMERIC)"); }

    // Rows without a valuation method, or priced by plan without a planned price,
    // cannot be taken over; the others priced by plan carry the planned price, the
    // planned amount, and what the documents say beyond it as a debit difference.
    // Returns the price the shortfall message names ("" when nothing was left out).
    QString applyValuation() {
        fetchStep(QStringLiteral("valuation"));
        if (!mayBeValuedBy({costing::kPlanned, costing::kSelling})) {
            fetchStep(QStringLiteral("planned"));
            return {};
        }
        QString joins = QStringLiteral(" LEFT JOIN Inventory vi ON vi.cInvCode = %1.cInvCode").arg(m_work);
        if (!methodByItem())
            joins += QStringLiteral(" LEFT JOIN Warehouse vw ON vw.cWhCode = %1.cWhCode").arg(m_work);
        QSqlQuery q =
            m_db.exec(QStringLiteral("SELECT SUM(CASE WHEN COALESCE(%1, '') = '' THEN 1 ELSE 0 END), "
                                     "SUM(CASE WHEN %1 = ? AND %2 IS NULL THEN 1 ELSE 0 END), "
                                     "SUM(CASE WHEN %1 = ? AND %2 IS NULL THEN 1 ELSE 0 END) FROM %3")
                              .arg(joinedMethod(), joinedPrice(), m_work) +
                          joins,
                      {costing::kPlanned, costing::kSelling});
        q.next();
        const qint64 unset = q.value(0).toLongLong(), noPlanned = q.value(1).toLongLong(),
                     noSelling = q.value(2).toLongLong();
        q.finish();
        QString missing;
        if (unset + noPlanned + noSelling > 0) {
            missing = noSelling > 0 && noPlanned == 0 ? QStringLiteral("售价") : QStringLiteral("计划价");
            const QString method = methodOf();
            m_db.exec(
                QStringLiteral("DELETE FROM %1 WHERE COALESCE(%2, '') = '' OR (%2 IN (?, ?) AND %3 IS NULL)")
                    .arg(m_work, method, plannedPriceOf()),
                {costing::kPlanned, costing::kSelling});
        }

        // Every row left priced by plan or by selling price has its item (its
        // price is known), so joining the item drops none of them.
        fetchStep(QStringLiteral("planned"));
        const QString ti = m_d.typedInt();
        const QString price = joinedPrice();
        const QString planAmount =
            QStringLiteral("ROUND(ROUND(%1, %2) * ROUND(COALESCE(iAInQuantity, 0), %2), 2)").arg(price, ti);
        QString from = QStringLiteral(" FROM Inventory vi");
        QString match = QStringLiteral("vi.cInvCode = %1.cInvCode").arg(m_work);
        if (!methodByItem()) {
            from += QStringLiteral(", Warehouse vw");
            match += QStringLiteral(" AND vw.cWhCode = %1.cWhCode").arg(m_work);
        }
        m_db.exec(QStringLiteral("UPDATE %1 SET iDebitDifCost = COALESCE(iAInPrice, 0) - %2, iAInPrice = %3, "
                                 "iInCost = %4")
                          .arg(m_work, planAmount, planAmount, price) +
                      from + QStringLiteral(" WHERE %1 AND %2 IN (?, ?)").arg(match, joinedMethod()),
                  {m_priceDec, m_quanDec, m_priceDec, m_quanDec, costing::kPlanned, costing::kSelling});
        return missing;
    }

    // FIFO and LIFO keep one sign per item in a warehouse: a row whose sign
    // (quantity plus amount) is opposite to the item's existing openings is
    // refused; without existing openings, a negative row of an item that also has
    // a positive one. Specific identification takes only positive quantities.
    qint64 applySignRules() {
        fetchStep(QStringLiteral("signs"));
        const bool bySign = mayBeValuedBy({costing::kFifo, costing::kLifo});
        if (bySign) collectExistingSigns();
        fetchStep(QStringLiteral("sign-rules"));
        qint64 refused = bySign ? refuseAgainstTheItemsSign() : 0;
        fetchStep(QStringLiteral("specific"));
        if (mayBeValuedBy({costing::kSpecific}))
            refused += m_db.execAffected(
                QStringLiteral("DELETE FROM %1 WHERE %2 = ? AND COALESCE(iAInQuantity, 0) <= 0")
                    .arg(m_work, methodOf()),
                {costing::kSpecific});
        return refused;
    }

    // The sign of each item's existing openings in the warehouse.
    void collectExistingSigns() {
        m_db.exec(QStringLiteral("CREATE TABLE %1 (cwhcode %2, cinvcode %3, bsign INTEGER)")
                      .arg(m_sign, m_d.textType(10), m_d.textType(60)));
        const QString existingSign = QStringLiteral(
            "CASE WHEN COALESCE(iAInQuantity, 0) + COALESCE(iAInPrice, 0) > 0 THEN 1 "
            "WHEN COALESCE(iAInQuantity, 0) + COALESCE(iAInPrice, 0) < 0 THEN -1 ELSE 0 END");
        m_db.exec(
            QStringLiteral("INSERT INTO %1 (cwhcode, cinvcode, bsign) SELECT DISTINCT cWhCode, cInvCode, %2 "
                           "FROM IA_Subsidiary WHERE cVouType = ? AND cWhCode = ? "
                           "AND COALESCE(cBusType, '') NOT IN (?)")
                .arg(m_sign, existingSign),
            {voucher::kOpening, m_wh, QStringLiteral("假退料")});
    }

    // The FIFO and LIFO rows of the sign opposite to their item's; how many.
    // Every row of the work table and of the signs is the warehouse's. The
    // items are matched through lists read once (IN) rather than a look-up per
    // row: a warehouse of many items with many negative rows would otherwise
    // read the work table once per negative row.
    qint64 refuseAgainstTheItemsSign() {
        const QString method = methodOf();
        const QString total =
            QStringLiteral("(COALESCE(%1.iAInQuantity, 0) + COALESCE(%1.iAInPrice, 0))").arg(m_work);
        const qint64 refused = m_db.execAffected(
            QStringLiteral("DELETE FROM %1 WHERE %2 IN (?, ?) AND ("
                           "(%3 > 0 AND %1.cInvCode IN (SELECT s.cinvcode FROM %4 s WHERE s.bsign = -1))"
                           " OR (%3 < 0 AND %1.cInvCode IN (SELECT s.cinvcode FROM %4 s WHERE s.bsign = 1))"
                           " OR (%3 < 0 AND %1.cInvCode NOT IN (SELECT s.cinvcode FROM %4 s "
                           "WHERE s.cinvcode IS NOT NULL)"
                           " AND %1.cInvCode IN (SELECT w.cInvCode FROM %1 w "
                           "WHERE COALESCE(w.iAInQuantity, 0) + COALESCE(w.iAInPrice, 0) > 0)))")
                .arg(m_work, method, total, m_sign),
            {costing::kFifo, costing::kLifo});
        m_db.exec(m_d.dropTableIfExists(m_sign));
        return refused;
    }

    LoginContext& m_ctx;
    Database& m_db;
    const Dialect& m_d;
    QString m_wh;
    QString m_work, m_grouped, m_sign;
    QString m_warehouseMethod;  // under valuation by warehouse, once read; else empty
    int m_quanDec = 2, m_priceDec = 2;
};

}  // namespace

FetchResult GetFromKc(LoginContext& ctx, const QString& whCode) {
    return Fetch(ctx, whCode).run();
}

}  // namespace qc::opening
