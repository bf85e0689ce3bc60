#include "demo/Demo.h"

#include "demo/DemoCommon.h"
#include "platform/Database.h"
#include "platform/Dialect.h"

#include <QElapsedTimer>

namespace qc::demo {

using namespace detail;

namespace {

// Every generated row is a function of its row number and the seed. The series
// n(i) counts 1..count; p(a, b) holds two offsets derived from the seed. mix() is a
// cheap deterministic scramble of a row number; `salt` tells apart the columns
// drawn from the same row.
QString mix(const QString& i, int salt) {
    return QStringLiteral(
               "(((((%1) * 7919 + p.a + %2) % 1000003) * (((%1) * 104729 + p.b + %3) % 999983)) % 1000003)")
        .arg(i)
        .arg(salt * 131)
        .arg(salt * 17);
}

const QString kSeries = QStringLiteral(
    "WITH RECURSIVE n(i) AS (SELECT CAST(1 AS BIGINT) UNION ALL SELECT i + 1 FROM n WHERE i < ?), "
    "p(a, b) AS (SELECT CAST(? AS BIGINT), CAST(? AS BIGINT)) ");

// A fixed-width code: prefix + the number padded with zeros to `width` digits.
QString padded(const Dialect& d, const QString& prefix, const QString& number, int width) {
    return d.concat(prefix, QStringLiteral("substr(CAST(%1 + (%2) AS VARCHAR), 2)")
                                .arg(QStringLiteral("1") + QString(width, u'0'), number));
}

QString quoted(const char* t) {
    return QStringLiteral("'%1'").arg(QString::fromLatin1(t));
}

const char* const kMethods[] = {"计划价法", "先进先出法", "后进先出法", "个别计价法", "售价法", "全月平均法"};

class Generator {
  public:
    Generator(Database& db, const ScaleOptions& o) : m_db(db), m_d(db.dialect()), m_o(o) {
        m_a = qint64(o.seed % 1000003u) * 37 + 11;
        m_b = qint64((o.seed / 7u) % 999983u) * 53 + 29;
        m_stocked = std::max(1, o.items - o.items / 50);
        m_services = o.items / 100;
    }

    void run() {
        writeAccountSettings(m_db, QStringLiteral("规模测试有限公司"));
        writeCommonDictionaries(m_db);
        classes();
        warehouses();
        inventory();
        openings();
        stockDocuments();
        dispatches();
    }

    [[nodiscard]] int stocked() const { return m_stocked; }

  private:
    void exec(qint64 count, const QString& insert, QVariantList binds = {}) {
        if (count <= 0) return;
        QVariantList all{count, m_a, m_b};
        all += binds;
        m_db.exec(kSeries + insert, all);
    }

    // Method index of warehouse w (1-based): the methods in turn.
    static QString methodIndex(const QString& w) { return QStringLiteral("(((%1) - 1) % 6)").arg(w); }

    QString methodCase(const QString& w, QVariantList& binds) const {
        QString sql = QStringLiteral("CASE %1").arg(methodIndex(w));
        for (int k = 0; k < 6; ++k) {
            sql += QStringLiteral(" WHEN %1 THEN %2").arg(k).arg(m_d.typedText());
            binds << QString::fromUtf8(kMethods[k]);
        }
        return sql + QStringLiteral(" END");
    }

    // A date of 2025 chosen by the expression: one day in each month.
    QString dateCase(const QString& expr, QVariantList& binds) const {
        QString sql = QStringLiteral("CASE (%1) % 12").arg(expr);
        for (int m = 0; m < 12; ++m) {
            sql += QStringLiteral(" WHEN %1 THEN %2").arg(m).arg(m_d.typedDate());
            binds << QDate(2025, m + 1, 3 + (m * 7) % 25);
        }
        return sql + QStringLiteral(" END");
    }

    QString itemCode(const QString& k) const { return padded(m_d, QStringLiteral("'S'"), k, 7); }
    QString whCode(const QString& w) const { return padded(m_d, QStringLiteral("''"), w, 3); }
    // Planned (or selling) price of item k in cents; the inventory and the opening
    // rows of planned-price warehouses use the same.
    QString plannedCents(const QString& k) const {
        return QStringLiteral("(100 + %1 % 100000)").arg(mix(k, 1));
    }

    // 10 classes of grade 1, each with 10 of grade 2, each with 10 of grade 3 ("223").
    void classes() {
        const QString g1 = padded(m_d, QStringLiteral("''"), QStringLiteral("i"), 2);
        exec(10,
             QStringLiteral("INSERT INTO InventoryClass (cInvCCode, cInvCName, iInvCGrade, bInvCEnd) "
                            "SELECT %1, %2, 1, 0 FROM n, p")
                 .arg(g1, m_d.concat(m_d.typedText(), g1)),
             {QStringLiteral("存货大类")});
        const QString g2 =
            m_d.concat(padded(m_d, QStringLiteral("''"), QStringLiteral("(i - 1) / 10 + 1"), 2),
                       padded(m_d, QStringLiteral("''"), QStringLiteral("(i - 1) % 10 + 1"), 2));
        exec(100,
             QStringLiteral("INSERT INTO InventoryClass (cInvCCode, cInvCName, iInvCGrade, bInvCEnd) "
                            "SELECT %1, %2, 2, 0 FROM n, p")
                 .arg(g2, m_d.concat(m_d.typedText(), g2)),
             {QStringLiteral("存货中类")});
        const QString g3 = endClass(QStringLiteral("i"));
        exec(1000,
             QStringLiteral("INSERT INTO InventoryClass (cInvCCode, cInvCName, iInvCGrade, bInvCEnd) "
                            "SELECT %1, %2, 3, 1 FROM n, p")
                 .arg(g3, m_d.concat(m_d.typedText(), g3)),
             {QStringLiteral("存货小类")});
    }

    // The grade-3 class number c (1..1000) as its code.
    QString endClass(const QString& c) const {
        return m_d.concat(
            m_d.concat(
                padded(m_d, QStringLiteral("''"), QStringLiteral("((%1) - 1) / 100 + 1").arg(c), 2),
                padded(m_d, QStringLiteral("''"), QStringLiteral("((%1) - 1) / 10 % 10 + 1").arg(c), 2)),
            padded(m_d, QStringLiteral("''"), QStringLiteral("((%1) - 1) % 10 + 1").arg(c), 3));
    }

    void warehouses() {
        QVariantList binds{QStringLiteral("仓库")};
        const QString method = methodCase(QStringLiteral("i"), binds);
        exec(m_o.warehouses,
             QStringLiteral("INSERT INTO Warehouse (cWhCode, cWhName, cDepCode, cWhValueStyle) "
                            "SELECT %1, %2, '06', %3 FROM n, p")
                 .arg(whCode(QStringLiteral("i")), m_d.concat(m_d.typedText(), whCode(QStringLiteral("i"))),
                      method),
             binds);
    }

    // Items 1..stocked are goods; then services, then non-stock items. Every 53rd
    // good has stopped; every 10th uses free item 1.
    void inventory() {
        QVariantList binds{QStringLiteral("规模存货"), QDate(2020, 1, 1), QDate(2025, 12, 31)};
        const QString method = methodCase(QStringLiteral("i"), binds);
        const QString sql =
            QStringLiteral(
                "INSERT INTO Inventory (cInvCode, cInvAddCode, cInvName, cInvStd, cInvCCode, cVenCode, "
                "bService, "
                "bInvType, iInvRCost, iInvSPrice, dSDate, dEDate, iId, cValueType, cComUnitCode, bFree1, "
                "bTrack, "
                "iInvExchRate) "
                "SELECT %1, %2, %3, %4, %5, %6, CASE WHEN i > %7 AND i <= %8 THEN 1 ELSE 0 END, "
                "CASE WHEN i > %8 THEN 1 ELSE 0 END, %9 / 100.0, (%9 - %9 / 20) / 100.0, %10, "
                "CASE WHEN i % 53 = 0 AND i <= %7 THEN %10 ELSE NULL END, i, "
                "CASE WHEN i <= %7 THEN %11 ELSE NULL END, %12, CASE WHEN i % 10 = 0 THEN 1 ELSE 0 END, "
                "CASE WHEN %13 = 3 THEN 1 ELSE 0 END, 1 FROM n, p")
                .arg(
                    itemCode(QStringLiteral("i")), padded(m_d, QStringLiteral("'M'"), QStringLiteral("i"), 7),
                    m_d.concat(m_d.typedText(), QStringLiteral("CAST(i AS VARCHAR)")),
                    m_d.concat(QStringLiteral("'型号'"),
                               QStringLiteral("CAST(%1 % 1000 AS VARCHAR)").arg(mix(QStringLiteral("i"), 2))),
                    endClass(QStringLiteral("(i - 1) % 1000 + 1")),
                    padded(m_d, QStringLiteral("'V'"), QStringLiteral("i % 8 + 1"), 3))
                .arg(m_stocked)
                .arg(m_stocked + m_services)
                .arg(plannedCents(QStringLiteral("i")))
                .arg(m_d.typedDate())
                .arg(method)
                .arg(padded(m_d, QStringLiteral("''"), QStringLiteral("i % 15 + 1"), 2))
                .arg(methodIndex(QStringLiteral("i")));
        exec(m_o.items, sql, binds);
    }

    // Opening rows r: warehouse (r-1) % W + 1 and goods item ((r-1) / W) % S + 1, so
    // each warehouse and item meet at most once until R exceeds W x S. Quantities in
    // hundredths, costs in cents, amounts rounded to the cent; planned-price and
    // selling-price warehouses carry the item's planned price.
    void openings() {
        const QString w = QStringLiteral("((i - 1) % %1 + 1)").arg(m_o.warehouses);
        const QString k = QStringLiteral("(((i - 1) / %1) % %2 + 1)").arg(m_o.warehouses).arg(m_stocked);
        const QString qty = QStringLiteral("(100 + %1 % 50000)").arg(mix(QStringLiteral("i"), 3));
        const QString cost = QStringLiteral("(CASE WHEN %1 IN (0, 4) THEN %2 ELSE 100 + %3 % 100000 END)")
                                 .arg(methodIndex(w), plannedCents(k), mix(QStringLiteral("i"), 4));
        exec(
            m_o.openings,
            QStringLiteral(
                "INSERT INTO IA_Subsidiary (bRdFlag, cWhCode, dVouDate, cAccDep, iMonth, cInvHead, cVouType, "
                "cInvCode, cPersonCode, iAInQuantity, iInCost, iAInPrice, bFlag, bMoneyFlag, bSale) "
                "SELECT 1, %1, %2, '06', 0, '140501', '34', %3, '010', %4 / 100.0, %5 / 100.0, "
                "((%4) * (%5) + 50) / 100 / 100.0, 0, 1, 0 FROM n, p")
                .arg(whCode(w), m_d.typedDate(), itemCode(k), qty, cost),
            {QDate(2025, 12, 31)});
    }

    // Documents of ten lines. Head j: warehouse (j-1) % W + 1, type by turn: stock
    // opening, purchase, other receipt, finished goods, sale, other issue, materials,
    // purchase again, so that receipts outweigh issues.
    void stockDocuments() {
        const qint64 heads = (qint64(m_o.stockLines) + 9) / 10;
        const QString turn = QStringLiteral("(((i - 1) / %1) % 8)").arg(m_o.warehouses);
        const QString w = QStringLiteral("((i - 1) % %1 + 1)").arg(m_o.warehouses);
        QVariantList binds;
        const QString date = dateCase(mix(QStringLiteral("i"), 5), binds);
        auto byTurn = [&](const char* const values[8]) {
            QString sql = QStringLiteral("CASE %1").arg(turn);
            for (int t = 0; t < 8; ++t)
                sql += QStringLiteral(" WHEN %1 THEN %2")
                           .arg(t)
                           .arg(values[t] ? quoted(values[t]) : QStringLiteral("NULL"));
            return sql + QStringLiteral(" END");
        };
        static const char* const types[8] = {"34", "01", "08", "10", "32", "09", "11", "01"};
        static const char* const rdCodes[8] = {nullptr, "101", "103", "102", "201", "204", "202", "101"};
        static const char* const depts[8] = {"06", "0301", "06", "0501", "0401", "01", "0501", "0302"};
        static const char* const vendors[8] = {nullptr, "V001",  nullptr, nullptr,
                                               nullptr, nullptr, nullptr, "V004"};
        static const char* const customers[8] = {nullptr, nullptr, nullptr, nullptr,
                                                 "C001",  nullptr, nullptr, nullptr};
        exec(heads,
             QStringLiteral(
                 "INSERT INTO RdRecord (ID, bRdFlag, cVouchType, cWhCode, dDate, cCode, cRdCode, cDepCode, "
                 "cVenCode, cCusCode, cMaker, bpufirst, bIsSTQc) "
                 "SELECT i, CASE WHEN %1 IN (4, 5, 6) THEN 0 ELSE 1 END, %2, %3, %4, %5, %6, %7, %8, %9, "
                 "'孙丽', 0, CASE WHEN %1 = 0 THEN 1 ELSE 0 END FROM n, p")
                 .arg(turn, byTurn(types), whCode(w), date,
                      padded(m_d, QStringLiteral("'RD'"), QStringLiteral("i"), 8), byTurn(rdCodes),
                      byTurn(depts), byTurn(vendors), byTurn(customers)),
             binds);
        // Line l belongs to head (l-1)/10 + 1; its item walks the goods.
        const QString k = QStringLiteral("(((i - 1) * 7 + (i - 1) / 10) % %1 + 1)").arg(m_stocked);
        const QString qty = QStringLiteral("(100 + %1 % 20000)").arg(mix(QStringLiteral("i"), 6));
        const QString cost =
            QStringLiteral("(%1 - %1 / 20 + %2 % 50)").arg(plannedCents(k), mix(QStringLiteral("i"), 7));
        exec(m_o.stockLines,
             QStringLiteral(
                 "INSERT INTO RdRecords (AutoID, ID, cInvCode, iQuantity, iUnitCost, iPrice, iFlag, cFree1) "
                 "SELECT i, (i - 1) / 10 + 1, %1, %2 / 100.0, %3 / 100.0, ((%2) * (%3) + 50) / 100 / 100.0, "
                 "0, "
                 "CASE WHEN %4 % 10 = 0 THEN %5 ELSE NULL END FROM n, p")
                 .arg(itemCode(k), qty, cost, k, m_d.typedText()),
             {QStringLiteral("红色")});
    }

    // Dispatch notes of five lines, instalment and consignment in turn, each
    // invoiced in part by two invoices (two invoice lines per dispatch line).
    void dispatches() {
        const qint64 heads = (qint64(m_o.dispatchLines) + 4) / 5;
        const QString t = m_d.typedText();
        QVariantList binds{QStringLiteral("分期收款"), QStringLiteral("委托代销")};
        const QString date = dateCase(mix(QStringLiteral("i"), 8), binds);
        exec(heads,
             QStringLiteral(
                 "INSERT INTO DispatchList (DLID, cDLCode, cVouchType, cBusType, dDate, cSTCode, cDepCode, "
                 "cPersonCode, cCusCode, cRdCode, cMaker, cVerifier) "
                 "SELECT i, %1, CASE WHEN i % 2 = 1 THEN '05' ELSE '06' END, "
                 "CASE WHEN i % 2 = 1 THEN %2 ELSE %2 END, %3, CASE WHEN i % 2 = 1 THEN '02' ELSE '03' END, "
                 "'0401', '006', %4, '201', '陈晨', '赵立新' FROM n, p")
                 .arg(padded(m_d, QStringLiteral("'FH'"), QStringLiteral("i"), 8), t, date,
                      padded(m_d, QStringLiteral("'C'"), QStringLiteral("i % 8 + 1"), 3)),
             binds);
        const QString k = QStringLiteral("(((i - 1) * 13) % %1 + 1)").arg(m_stocked);
        const QString w = QStringLiteral("((i - 1) % %1 + 1)").arg(m_o.warehouses);
        exec(m_o.dispatchLines,
             QStringLiteral(
                 "INSERT INTO DispatchLists (AutoID, iDLsID, DLID, cWhCode, cInvCode, iQuantity, cFree1) "
                 "SELECT i, i, (i - 1) / 5 + 1, %1, %2, (100 + %3 % 10000) / 100.0, "
                 "CASE WHEN %4 % 10 = 0 THEN %5 ELSE NULL END FROM n, p")
                 .arg(whCode(w), itemCode(k), mix(QStringLiteral("i"), 9), k, t),
             {QStringLiteral("红色")});
        // Two invoices per note, each with a line for every line of the note (a
        // quarter of its quantity): the first verified and before the start; the
        // second on the last day before it, or after the start for every fourth
        // note, and unverified for every fifth.
        for (int x = 0; x < 2; ++x) {
            const QString checker = x == 0
                                        ? QStringLiteral("'张敏'")
                                        : QStringLiteral("CASE WHEN DLID % 5 = 0 THEN NULL ELSE '张敏' END");
            const QString when =
                x == 0 ? m_d.typedDate()
                       : QStringLiteral("CASE WHEN DLID % 4 = 0 THEN %1 ELSE %1 END").arg(m_d.typedDate());
            QVariantList invoiceBinds{x == 0 ? QStringLiteral("XS") : QStringLiteral("XT"),
                                      QStringLiteral("分期收款"), QStringLiteral("委托")};
            if (x == 0)
                invoiceBinds << QDate(2025, 12, 20);
            else
                invoiceBinds << QDate(2026, 1, 10) << QDate(2025, 12, 31);
            m_db.exec(
                QStringLiteral("INSERT INTO SaleBillVouch (SBVID, cSBVCode, cVouchType, cBusType, dDate, "
                               "cCusCode, cDepCode, cPersonCode, cMaker, cChecker) "
                               "SELECT DLID + %1, %2, '26', CASE WHEN cVouchType = '05' THEN %3 ELSE %3 END, "
                               "%4, cCusCode, cDepCode, cPersonCode, '陈晨', %5 FROM DispatchList")
                    .arg(x * heads)
                    .arg(m_d.concat(t, QStringLiteral("substr(cDLCode, 3)")), t, when, checker),
                invoiceBinds);
            m_db.exec(
                QStringLiteral("INSERT INTO SaleBillVouchs (AutoID, SBVID, iDLsID, cInvCode, iQuantity) "
                               "SELECT AutoID + %1, DLID + %2, iDLsID, cInvCode, ROUND(iQuantity / 4, 2) "
                               "FROM DispatchLists")
                    .arg(qint64(x) * m_o.dispatchLines)
                    .arg(x * heads));
        }
    }

    Database& m_db;
    const Dialect& m_d;
    ScaleOptions m_o;
    qint64 m_a = 0, m_b = 0;
    int m_stocked = 0, m_services = 0;
};

qint64 count(Database& db, const QString& table) {
    return db.scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)).toLongLong();
}

}  // namespace

ScaleReport generateScale(Database& db, const ScaleOptions& options) {
    if (options.items < 1 || options.warehouses < 1 || options.warehouses > 999 || options.items > 9999999 ||
        options.openings < 0 || options.stockLines < 0 || options.dispatchLines < 0)
        throw DbError(QStringLiteral("规模参数不合法：存货 1-9999999，仓库 1-999，其余不能为负数"));
    QElapsedTimer timer;
    timer.start();
    initDatabase(db);
    Transaction tx(db);
    requireEmpty(db);
    Generator g(db, options);
    g.run();

    // The clerk: the first half of the warehouses (the first quarter writable), the
    // sales departments and the warehouse staff, and the first 200 goods.
    ClerkScope scope;
    for (int w = 1; w <= std::max(1, options.warehouses / 2); ++w) {
        const QString code = QStringLiteral("%1").arg(w, 3, 10, QLatin1Char('0'));
        scope.warehouses << code;
        if (w <= std::max(1, options.warehouses / 4)) scope.writableWarehouses << code;
    }
    scope.departments = {QStringLiteral("0401"), QStringLiteral("0402"), QStringLiteral("06")};
    for (int i = 1; i <= std::min(g.stocked(), 200); ++i) scope.inventoryIds << i;
    createOperators(db, scope);
    tx.commit();

    ScaleReport r;
    r.items = count(db, QStringLiteral("Inventory"));
    r.warehouses = count(db, QStringLiteral("Warehouse"));
    r.openings = count(db, QStringLiteral("IA_Subsidiary"));
    r.stockLines = count(db, QStringLiteral("RdRecords"));
    r.dispatchLines = count(db, QStringLiteral("DispatchLists"));
    r.milliseconds = timer.elapsed();
    return r;
}

}  // namespace qc::demo
