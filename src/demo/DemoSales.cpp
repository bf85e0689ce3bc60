#include "demo/DemoCatalogue.h"

namespace qc::demo::catalogue {

using namespace detail;

// Dispatch notes and invoices before the start: instalment sales ('05', 分期收款)
// and consignment sales ('06', 委托代销), fully, partly and not invoiced, with
// unverified, invalidated and later invoices, a line invoiced on two dates, an
// ordinary sale, a service line, a note already marked by an earlier take-over and
// a note of the first month, which the fetch must leave alone.
void writeSales(Database& db) {
    struct Note {
        int dlid;
        const char *code, *type, *bus;
        QDate date;
        const char *dep, *person, *customer;
        const char* accounter = "";
    };
    const Note notes[] = {
        {1, "FH2511001", "05", "分期收款", QDate(2025, 11, 8), "0401", "006", "C002"},
        {2, "FH2512001", "05", "分期收款", QDate(2025, 12, 12), "0402", "007", "C004"},
        {3, "FH2512002", "05", "普通销售", QDate(2025, 12, 5), "0401", "006", "C001"},
        {4, "WT2510001", "06", "委托代销", QDate(2025, 10, 20), "0401", "006", "C007"},
        {5, "WT2512001", "06", "委托代销", QDate(2025, 12, 18), "0401", "006", "C008"},
        {6, "FH2601001", "05", "分期收款", QDate(2026, 1, 6), "0402", "007", "C005"},
        {7, "FH2510001", "05", "分期收款", QDate(2025, 10, 9), "0401", "006", "C002", "赵立新"},
    };
    for (const Note& n : notes)
        insertRow(db, QStringLiteral("DispatchList"),
                  {{"DLID", n.dlid},
                   {"cDLCode", s(n.code)},
                   {"cVouchType", s(n.type)},
                   {"cBusType", s(n.bus)},
                   {"dDate", n.date},
                   {"cSTCode", s(qstrcmp(n.bus, "普通销售") == 0   ? "01"
                                 : qstrcmp(n.bus, "分期收款") == 0 ? "02"
                                                                   : "03")},
                   {"cDepCode", s(n.dep)},
                   {"cPersonCode", s(n.person)},
                   {"cCusCode", s(n.customer)},
                   {"cRdCode", s("201")},
                   {"cMaker", s("陈晨")},
                   {"cVerifier", s("赵立新")},
                   {"cAccounter", orNull(n.accounter)},
                   {"cMemo", n.dlid == 1 ? QVariant(s("分12期收款")) : kNull},
                   {"cDefine1", QStringLiteral("HT-XS-%1").arg(n.dlid, 3, 10, QLatin1Char('0'))}});

    struct Line {
        int autoId, dlid;
        const char *wh, *inv, *qty;
        const char* project;
    };
    const Line lines[] = {
        {1, 1, "03", "2001", "20", ""}, {2, 1, "03", "2003", "8", ""},  {3, 2, "05", "2011", "2", "YF001"},
        {4, 2, "03", "2021", "3", ""},  {5, 3, "06", "3001", "50", ""}, {6, 4, "06", "3011", "30", ""},
        {7, 4, "06", "3012", "20", ""}, {8, 5, "06", "3002", "40", ""}, {9, 5, "06", "9001", "1", ""},
        {10, 6, "03", "2002", "5", ""}, {11, 7, "03", "2001", "4", ""},
    };
    for (const Line& l : lines) {
        const ItemRow& it = item(l.inv);
        const bool project = *l.project;
        insertRow(db, QStringLiteral("DispatchLists"),
                  {{"AutoID", l.autoId},
                   {"iDLsID", 1000 + l.autoId},
                   {"DLID", l.dlid},
                   {"cWhCode", s(l.wh)},
                   {"cInvCode", s(l.inv)},
                   {"iQuantity", dec(l.qty).toVariant()},
                   {"cFree1", orNull(it.free1)},
                   {"cFree2", orNull(it.free2)},
                   {"cItem_class", project ? QVariant(s("01")) : kNull},
                   {"cItemCode", orNull(l.project)},
                   {"cItemName", project ? QVariant(s("新型永磁同步电机研发")) : kNull},
                   {"cItem_CName", project ? QVariant(s("研发项目")) : kNull}});
    }

    struct Invoice {
        int sbvid;
        const char *code, *bus;
        QDate date;
        const char *customer, *checker, *invalider;
    };
    const Invoice invoices[] = {
        {1, "XS2511001", "分期收款", QDate(2025, 11, 30), "C002", "张敏", ""},  // verified, before the start
        {2, "XS2512001", "分期收款", QDate(2025, 12, 10), "C002", "张敏", ""},
        {3, "XS2512002", "分期收款", QDate(2025, 12, 28), "C004", "", ""},    // not verified
        {4, "XS2601001", "分期收款", QDate(2026, 1, 8), "C004", "张敏", ""},  // after the start
        {5, "XS2512003", "委托", QDate(2025, 12, 31), "C007", "张敏", ""},
        {6, "XS2512004", "委托", QDate(2025, 12, 20), "C007", "张敏", "张敏"},  // invalidated
        {7, "XS2512005", "普通销售", QDate(2025, 12, 6), "C001", "张敏", ""},
        {8, "XS2512006", "分期收款", QDate(2025, 12, 22), "C002", "张敏", ""},  // line 1's second date
    };
    for (const Invoice& v : invoices)
        insertRow(db, QStringLiteral("SaleBillVouch"),
                  {{"SBVID", v.sbvid},
                   {"cSBVCode", s(v.code)},
                   {"cVouchType", s("26")},
                   {"cBusType", s(v.bus)},
                   {"dDate", v.date},
                   {"cCusCode", s(v.customer)},
                   {"cDepCode", s("0401")},
                   {"cPersonCode", s("006")},
                   {"cMaker", s("陈晨")},
                   {"cChecker", orNull(v.checker)},
                   {"cInvalider", orNull(v.invalider)}});
    struct InvoiceLine {
        int autoId, sbvid, dispatchLine;
        const char *inv, *qty;
    };
    const InvoiceLine invoiceLines[] = {
        {1, 1, 1, "2001", "12"},                          // instalment line 1 partly invoiced
        {2, 2, 2, "2003", "8"},                           // instalment line 2 fully invoiced
        {3, 3, 3, "2011", "1"},                           // invoiced only by an unverified invoice
        {4, 4, 4, "2021", "3"},                           // invoiced after the start
        {5, 5, 6, "3011", "10"},                          // consignment partly invoiced
        {6, 6, 7, "3012", "20"},                          // only an invalidated invoice
        {7, 7, 5, "3001", "50"}, {8, 8, 1, "2001", "3"},  // instalment line 1 invoiced again on a later date
    };
    for (const InvoiceLine& l : invoiceLines)
        insertRow(db, QStringLiteral("SaleBillVouchs"),
                  {{"AutoID", l.autoId},
                   {"SBVID", l.sbvid},
                   {"iDLsID", 1000 + l.dispatchLine},
                   {"cInvCode", s(l.inv)},
                   {"iQuantity", dec(l.qty).toVariant()}});
}

}  // namespace qc::demo::catalogue
