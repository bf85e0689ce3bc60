#include "demo/DemoCatalogue.h"

#include <QSqlQuery>

namespace qc::demo::catalogue {

using namespace detail;

namespace {

// Builds the stock documents, keeping the running stock of every warehouse and
// item so that no issue takes more than is there.
class DocumentWriter {
  public:
    explicit DocumentWriter(Database& db) : m_db(db) {}

    struct Head {
        const char* type;  // cVouchType
        int rdFlag;        // 1 receipt, 0 issue
        const char* busType;
        const char* rdCode;
        const char* wh;
        QDate date;
        QString code;
        const char* dep = "";
        const char* person = "";
        const char* vendor = "";
        const char* customer = "";
        bool opening = false;  // a stock opening (bIsSTQc)
        bool puFirst = false;  // a purchase opening receipt (bpufirst)
        const char* memo = "";
        QString contract;
    };

    int head(const Head& h) {
        const int id = ++m_lastId;
        insertRow(m_db, QStringLiteral("RdRecord"),
                  {{"ID", id},
                   {"bRdFlag", h.rdFlag},
                   {"cVouchType", s(h.type)},
                   {"cBusType", orNull(h.busType)},
                   {"cSource", s("库存")},
                   {"cWhCode", s(h.wh)},
                   {"dDate", h.date},
                   {"cCode", h.code},
                   {"cRdCode", orNull(h.rdCode)},
                   {"cDepCode", orNull(h.dep)},
                   {"cPersonCode", orNull(h.person)},
                   {"cPTCode", qstrcmp(h.type, "01") == 0 ? QVariant(s("01")) : kNull},
                   {"cSTCode", qstrcmp(h.type, "32") == 0 ? QVariant(s("01")) : kNull},
                   {"cCusCode", orNull(h.customer)},
                   {"cVenCode", orNull(h.vendor)},
                   {"cHandler", s("孙丽")},
                   {"cMemo", orNull(h.memo)},
                   {"cMaker", s("孙丽")},
                   {"cDefine1", orNull(h.contract)},
                   {"bpufirst", h.puFirst ? 1 : 0},
                   {"bIsSTQc", h.opening ? 1 : 0}});
        m_wh = s(h.wh);
        m_rdFlag = h.rdFlag;
        return id;
    }

    // Adds a line to the last head; an issue is cut to the stock there. Returns the
    // line's AutoID and the quantity written (0: nothing written).
    std::pair<int, Decimal> line(const ItemRow& it, Decimal qty, const Decimal& unitCost,
                                 const QVariant& settled = {}, const QString& batch = {},
                                 const QString& inspection = {}) {
        Decimal& stock = m_stock[m_wh + u'|' + s(it.code)];
        if (m_rdFlag == 0 && qty > stock) qty = stock;
        if (qty.isZero() || qty.isNegative()) return {0, Decimal()};
        stock += m_rdFlag == 1 ? qty : -qty;
        const int autoId = ++m_lastLine;
        insertRow(m_db, QStringLiteral("RdRecords"),
                  {{"AutoID", autoId},
                   {"ID", m_lastId},
                   {"cInvCode", s(it.code)},
                   {"iQuantity", qty.toVariant()},
                   {"iUnitCost", unitCost.toVariant()},
                   {"iPrice", (qty * unitCost).round(2).toVariant()},
                   {"iFlag", 0},
                   {"iQuantity0", settled},
                   {"cBatch", orNull(batch)},
                   {"cFree1", orNull(it.free1)},
                   {"cFree2", orNull(it.free2)},
                   {"cDefine22", orNull(inspection)}});
        return {autoId, qty};
    }

    [[nodiscard]] Decimal stock(const QString& wh, const char* code) const {
        return m_stock.value(wh + u'|' + s(code));
    }

  private:
    Database& m_db;
    int m_lastId = 0;
    int m_lastLine = 0;
    QString m_wh;
    int m_rdFlag = 1;
    QMap<QString, Decimal> m_stock;
};

QString docCode(const char* prefix, const QDate& d, int n) {
    return QStringLiteral("%1%2%3")
        .arg(s(prefix), d.toString(QStringLiteral("yyMM")))
        .arg(n, 3, 10, QLatin1Char('0'));
}

}  // namespace

// Stock documents dated before the start: the stock module's openings, receipts
// (purchases '01', other receipts '08', finished goods '10') and issues (sales '32',
// other issues '09', materials '11'), purchase settlements, an unsettled purchase
// opening receipt and receipts of the first month. Returns the stock openings per
// warehouse.
QMap<QString, QList<OpeningLine>> writeStockDocuments(Database& db) {
    DocumentWriter w(db);
    QMap<QString, QList<OpeningLine>> openings;
    int codeNo = 0;

    // Stock openings, counted at the end of September.
    const QDate counted(2025, 9, 30);
    for (const WarehouseRow& wh : warehouses()) {
        QList<OpeningLine> lines;
        int i = 0;
        for (const ItemRow& it : items()) {
            ++i;
            if (!stocked(it) || qstrcmp(homeWarehouse(it).code, wh.code) != 0) continue;
            lines << OpeningLine{&it, openingQty(it, i), purchaseCost(it, i)};
        }
        if (qstrcmp(wh.code, "08") == 0)  // aluminium waiting for inspection
            lines << OpeningLine{&item("1012"), Decimal(200), dec("19.4")};
        if (lines.isEmpty()) continue;
        w.head({"34",
                1,
                "",
                "",
                wh.code,
                counted,
                docCode("QC", counted, ++codeNo),
                "06",
                "010",
                "",
                "",
                true,
                false,
                "库存期初",
                {}});
        for (const OpeningLine& l : lines) w.line(*l.item, l.qty, l.cost);
        openings[s(wh.code)] = lines;
    }

    // Purchases in October and November, settled before the start.
    const QDate oct(2025, 10, 15), nov(2025, 11, 18);
    QList<std::pair<int, Decimal>> octLines, novLines;
    QMap<int, Decimal> amounts;
    for (const char* whCode : {"01", "02", "04", "06", "07"}) {
        for (const QDate& d : {oct, nov}) {
            bool opened = false;
            int i = 0;
            for (const ItemRow& it : items()) {
                ++i;
                if (!stocked(it) || qstrcmp(homeWarehouse(it).code, whCode) != 0) continue;
                if ((d == oct) != (i % 2 == 0)) continue;  // alternate items between the two months
                if (!opened) {
                    w.head({"01", 1, "普通采购", "101", whCode, d, docCode("RK", d, ++codeNo), "0301", "004",
                            it.vendor, "", false, false, "",
                            QStringLiteral("HT2025-%1").arg(codeNo, 3, 10, QLatin1Char('0'))});
                    opened = true;
                }
                const Decimal qty = Decimal(it.lot * (1 + (i + 1) % 2));
                const Decimal cost = purchaseCost(it, i + 1);
                const auto [autoId, written] =
                    w.line(it, qty, cost, qty.toVariant(),
                           qstrcmp(whCode, "02") == 0
                               ? QStringLiteral("B%1-%2").arg(d.toString(QStringLiteral("yyMM"))).arg(i)
                               : QString(),
                           QStringLiteral("ZJ-%1-%2")
                               .arg(d.toString(QStringLiteral("yyMMdd")))
                               .arg(i, 3, 10, QLatin1Char('0')));
                (d == oct ? octLines : novLines) << std::pair{autoId, written};
                amounts[autoId] = (written * cost).round(2);
            }
        }
    }

    // Finished motors and cabinets from the workshops.
    const QDate made(2025, 11, 10);
    for (const char* whCode : {"03", "05"}) {
        w.head({"10",
                1,
                "成品入库",
                "102",
                whCode,
                made,
                docCode("RK", made, ++codeNo),
                "0501",
                "008",
                "",
                "",
                false,
                false,
                "",
                {}});
        int i = 0;
        for (const ItemRow& it : items()) {
            ++i;
            if (!stocked(it) || qstrcmp(homeWarehouse(it).code, whCode) != 0) continue;
            w.line(it, Decimal(it.lot), dec(it.rcost));
        }
    }

    // A stock-count surplus of chips.
    const QDate surplus(2025, 12, 5);
    w.head({"08",
            1,
            "盘盈入库",
            "103",
            "02",
            surplus,
            docCode("RK", surplus, ++codeNo),
            "06",
            "010",
            "",
            "",
            false,
            false,
            "年末盘点盘盈",
            {}});
    w.line(item("1103"), Decimal(120), dec("0.82"));
    w.line(item("1115"), Decimal(60), dec("0.88"));

    // Issues in December: materials to the workshops, sales, other issues.
    const QDate issued(2025, 12, 10);
    for (const char* whCode : {"01", "02", "04", "07"}) {
        w.head({"11",
                0,
                "领料",
                "202",
                whCode,
                issued,
                docCode("CK", issued, ++codeNo),
                "0501",
                "008",
                "",
                "",
                false,
                false,
                "",
                {}});
        int i = 0;
        for (const ItemRow& it : items()) {
            ++i;
            if (!stocked(it) || qstrcmp(homeWarehouse(it).code, whCode) != 0 || i % 2 != 0) continue;
            w.line(it, Decimal(it.lot * (1 + i % 3)), purchaseCost(it, i));
        }
    }
    const QDate sold(2025, 12, 15);
    for (const char* whCode : {"03", "05", "06"}) {
        w.head({"32",
                0,
                "普通销售",
                "201",
                whCode,
                sold,
                docCode("CK", sold, ++codeNo),
                "0401",
                "006",
                "",
                "C001",
                false,
                false,
                "",
                {}});
        int i = 0;
        for (const ItemRow& it : items()) {
            ++i;
            if (!stocked(it) || qstrcmp(homeWarehouse(it).code, whCode) != 0 || i % 2 != 0) continue;
            w.line(it, Decimal(it.lot), qstrcmp(whCode, "06") == 0 ? dec(it.sprice) : dec(it.rcost));
        }
    }
    const QDate other(2025, 12, 20);
    w.head({"09",
            0,
            "其他出库",
            "204",
            "07",
            other,
            docCode("CK", other, ++codeNo),
            "01",
            "001",
            "",
            "",
            false,
            false,
            "办公领用",
            {}});
    w.line(item("4011"), Decimal(300), dec("3.0"));
    w.line(item("4013"), Decimal(20), dec("26"));

    // Settlements: October receipts in November, November receipts in December.
    int settleLine = 0;
    auto settle = [&](int psvid, const char* code, const QDate& d,
                      const QList<std::pair<int, Decimal>>& lines) {
        insertRow(db, QStringLiteral("PurSettleVouch"),
                  {{"PSVID", psvid},
                   {"cPSVCode", s(code)},
                   {"dSVDate", d},
                   {"cBusType", s("普通采购")},
                   {"cMaker", s("王强")}});
        for (const auto& [autoId, qty] : lines) {
            if (autoId == 0) continue;
            insertRow(db, QStringLiteral("PurSettleVouchs"),
                      {{"ID", ++settleLine},
                       {"PSVID", psvid},
                       {"iRdsID", autoId},
                       {"iSVQuantity", qty.toVariant()},
                       {"iSVPrice", amounts.value(autoId).toVariant()},
                       {"bAccount", 0},
                       {"bIsPurAcc", 0}});
        }
    };
    settle(1, "JS2511001", QDate(2025, 11, 25), octLines);
    settle(2, "JS2512001", QDate(2025, 12, 20), novLines);

    // Goods received at the end of December whose invoices had not come: the
    // purchase module's opening estimate.
    const QDate late(2025, 12, 28);
    w.head({"01", 1, "普通采购", "101", "02", late, docCode("RK", late, ++codeNo), "0301", "005", "V004", "",
            false, true, "发票未到，暂估入库", QStringLiteral("HT2025-088")});
    w.line(item("1101"), Decimal(200), dec("8.3"), kNull, QStringLiteral("B2512-01"));
    w.line(item("1106"), Decimal(4), dec("850"), kNull, QStringLiteral("B2512-02"));

    // The first month: purchases (one partly settled) and a consignment receipt.
    const QDate jan(2026, 1, 6);
    w.head({"01", 1, "普通采购", "101", "01", jan, docCode("RK", jan, ++codeNo), "0301", "004", "V001", "",
            false, false, "", QStringLiteral("HT2026-001")});
    w.line(item("1001"), Decimal(5), dec("4180"), kNull);
    const auto [copperLine, copperQty] =
        w.line(item("1011"), Decimal(500), dec("73"), Decimal(200).toVariant());
    insertRow(db, QStringLiteral("PurSettleVouch"),
              {{"PSVID", 3},
               {"cPSVCode", s("JS2601001")},
               {"dSVDate", QDate(2026, 1, 10)},
               {"cBusType", s("普通采购")},
               {"cMaker", s("王强")}});
    insertRow(db, QStringLiteral("PurSettleVouchs"),
              {{"ID", ++settleLine},
               {"PSVID", 3},
               {"iRdsID", copperLine},
               {"iSVQuantity", Decimal(200).toVariant()},
               {"iSVPrice", (Decimal(200) * dec("73")).round(2).toVariant()},
               {"bAccount", 0},
               {"bIsPurAcc", 0}});
    Q_UNUSED(copperQty);
    const QDate consigned(2026, 1, 8);
    w.head({"01",
            1,
            "受托代销",
            "104",
            "06",
            consigned,
            docCode("RK", consigned, ++codeNo),
            "0302",
            "005",
            "V006",
            "",
            false,
            false,
            "受托代销商品",
            {}});
    w.line(item("3005"), Decimal(100), dec("11.5"));
    return openings;
}

// Opening rows already keyed into inventory accounting: warehouses 01, 02, 03 and
// 05, taken from the stock openings, with one quantity that differs and one item
// left out so that the reconciliation has something to report. 04, 06 and 07 are
// left to be fetched.
void writeOpeningRows(Database& db, const QMap<QString, QList<OpeningLine>>& openings) {
    const QDate keyed(2025, 12, 31);
    for (const char* whCode : {"01", "02", "03", "05"}) {
        const WarehouseRow* wh = nullptr;
        for (const WarehouseRow& w : warehouses())
            if (qstrcmp(w.code, whCode) == 0) wh = &w;
        const bool planned = qstrcmp(wh->method, "计划价法") == 0;
        int n = 0;
        for (const OpeningLine& l : openings.value(s(whCode))) {
            const ItemRow& it = *l.item;
            if (planned && !*it.rcost) continue;          // no planned price: cannot be entered
            if (qstrcmp(it.code, "2005") == 0) continue;  // not keyed yet
            ++n;
            Decimal qty = l.qty;
            if (qstrcmp(it.code, "1104") == 0) qty += Decimal(100);  // miscounted
            const Decimal actual = (qty * l.cost).round(2);
            Decimal cost = l.cost, amount = actual;
            QVariant debit, credit;
            if (planned) {
                cost = dec(it.rcost);
                amount = (qty * cost).round(2);
                const Decimal dif = actual - amount;
                if (dif.isNegative())
                    credit = (-dif).toVariant();
                else if (!dif.isZero())
                    debit = dif.toVariant();
            }
            // Lot-valued warehouses carry receipt numbers; elsewhere posting numbers them.
            QVariant vouCode;
            if (qstrcmp(whCode, "05") == 0 || (qstrcmp(whCode, "02") == 0 && n % 2 == 1))
                vouCode = QStringLiteral("QC%1-%2").arg(s(whCode)).arg(n, 4, 10, QLatin1Char('0'));
            const bool project = qstrcmp(it.code, "1013") == 0;
            insertRow(db, QStringLiteral("IA_Subsidiary"),
                      {{"bRdFlag", 1},
                       {"cWhCode", s(whCode)},
                       {"dVouDate", keyed},
                       {"cVouCode", vouCode},
                       {"cAccDep", s("06")},
                       {"iMonth", 0},
                       {"cInvHead", s(wh->subject)},
                       {"cVouType", s("34")},
                       {"cInvCode", s(it.code)},
                       {"cVenCode", orNull(it.vendor)},
                       {"cPersonCode", s("010")},
                       {"iAInQuantity", qty.toVariant()},
                       {"iInCost", cost.toVariant()},
                       {"iAInPrice", amount.toVariant()},
                       {"iDebitDifCost", debit},
                       {"iCreditDifCost", credit},
                       {"cBatchCode", qstrcmp(it.code, "1101") == 0 ? QVariant(s("B2509-01")) : kNull},
                       {"bFlag", 0},
                       {"bMoneyFlag", 1},
                       {"bSale", 0},
                       {"cDefine1", qstrcmp(it.code, "1003") == 0 ? QVariant(s("HT2025-018")) : kNull},
                       {"cFree1", orNull(it.free1)},
                       {"cFree2", orNull(it.free2)},
                       {"cItem_class", project ? QVariant(s("01")) : kNull},
                       {"cItemCName", project ? QVariant(s("研发项目")) : kNull},
                       {"cName", project ? QVariant(s("新型永磁同步电机研发")) : kNull},
                       {"cItemCode", project ? QVariant(s("YF001")) : kNull}});
        }
    }
}

}  // namespace qc::demo::catalogue
