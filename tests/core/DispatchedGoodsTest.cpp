// Taking the openings of dispatched goods over from the sales documents and
// clearing them: which lines become rows with which quantities, the stamps on
// the notes and invoices, the account's flags, and that each operation is all or
// nothing.

#include "dispatched/DispatchedGoods.h"

#include "dispatched/DispatchedColumns.h"
#include "dispatched/DispatchedConditions.h"
#include "dispatched/DispatchedEntry.h"
#include "dispatched/DispatchedQuery.h"

#include "platform/UnitSteps.h"
#include "support/OpeningFixture.h"

#include <QSqlRecord>

#include <tuple>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

using dispatched::BusinessType;

const QDate kBefore(2025, 12, 10);  // the cut-off date D is 2026-01-01
const QDate kAfter(2026, 1, 5);
const QString kInstalment = u"分期收款"_s;

class DispatchedGoodsTest : public test::OpeningFixture {
  protected:
    void buildAccount() override {
        test::AccountBuilder account(db());
        account.warehouses({"02", "03"}).items({"1101", "1102", "1103", "1104", "2002", "9001"});
    }
    void TearDown() override {
        unitStepHook() = nullptr;
        OpeningFixture::TearDown();
    }

    void note(int id, const QString& busType, const QString& vouchType, const QDate& date,
              const QVariant& accounter = {}, const QString& customer = u"C001"_s) {
        db().exec(
            u"INSERT INTO DispatchList (DLID, cDLCode, cVouchType, cBusType, dDate, cDepCode, cCusCode, "
            "cMaker, cAccounter, cDefine1) VALUES (?, ?, ?, ?, ?, '0401', ?, '孙丽', ?, ?)"_s,
            {id, u"FH%1"_s.arg(id), vouchType, busType, date, customer, accounter, u"合同%1"_s.arg(id)});
    }
    // A line of note `dl`; its iDLsID is its AutoID.
    void line(int id, int dl, const QString& wh, const QString& inv, const QString& qty) {
        db().exec(
            u"INSERT INTO DispatchLists (AutoID, iDLsID, DLID, cWhCode, cInvCode, iQuantity, cFree1, "
            "cDefine22) VALUES (?, ?, ?, ?, ?, ?, '红色', ?)"_s,
            {id, id, dl, wh, inv, Decimal::fromText(qty).toVariant(), u"批%1"_s.arg(id)});
    }
    // An invoice with one line against dispatch line `dls`.
    void invoice(int id, int dls, const QString& qty, const QDate& date, bool verified = true,
                 bool invalidated = false, const QString& busType = u"分期收款"_s) {
        db().exec(
            u"INSERT INTO SaleBillVouch (SBVID, cSBVCode, cVouchType, cBusType, dDate, cChecker, "
            "cInvalider) VALUES (?, ?, '26', ?, ?, ?, ?)"_s,
            {id, u"FP%1"_s.arg(id), busType, date, verified ? QVariant(u"审核人"_s) : QVariant(),
             invalidated ? QVariant(u"作废人"_s) : QVariant()});
        db().exec(u"INSERT INTO SaleBillVouchs (AutoID, SBVID, iDLsID, iQuantity) VALUES (?, ?, ?, ?)"_s,
                  {id, id, dls, Decimal::fromText(qty).toVariant()});
    }
    // "line: remaining/dispatched" of every opening row of the type, in line order.
    QStringList rows(const QString& busType = u"分期收款"_s) {
        QSqlQuery q = db().exec(
            u"SELECT InID, iAInQuantity, iAOutQuantity FROM IA_EnSubsidiary WHERE cBusType = ? AND iMonth = "
            u"0 "
            "ORDER BY InID, iAInQuantity"_s,
            {busType});
        QStringList l;
        while (q.next())
            l << u"%1: %2/%3"_s.arg(q.value(0).toString(), Decimal::fromVariant(q.value(1)).toString(2),
                                    Decimal::fromVariant(q.value(2)).toString(2));
        return l;
    }
    QString flag(const char* name) {
        return db()
            .scalar(u"SELECT cValue FROM AccInformation WHERE cSysID = 'IA' AND cName = ?"_s,
                    {QString::fromLatin1(name)})
            .toString();
    }
    QString stamp(const char* table, const char* key, int id) {
        return db()
            .scalar(u"SELECT COALESCE(cAccounter, '-') FROM %1 WHERE %2 = ?"_s.arg(QString::fromLatin1(table),
                                                                                   QString::fromLatin1(key)),
                    {id})
            .toString();
    }
    // Everything the two operations may touch, as text.
    QString snapshot() {
        QString s;
        QStringList tables = db().tables();
        tables.sort();
        s += tables.join(u',');
        for (const char* table : {"IA_EnSubsidiary", "DispatchList", "SaleBillVouch", "AccInformation"}) {
            QSqlQuery q = db().exec(u"SELECT * FROM %1 ORDER BY 1, 2"_s.arg(QString::fromLatin1(table)));
            while (q.next())
                for (int c = 0; c < q.record().count(); ++c) s += u'|' + q.value(c).toString();
        }
        return s;
    }

    // Instalment notes exercising each rule, and one consignment note.
    void salesDocuments() {
        note(1, kInstalment, u"05"_s, kBefore);
        line(11, 1, u"02"_s, u"1101"_s, u"10"_s);
        invoice(101, 11, u"4"_s, QDate(2025, 12, 20));  // verified, before D: 6 remain
        line(12, 1, u"02"_s, u"1102"_s, u"5"_s);
        invoice(102, 12, u"5"_s, QDate(2025, 12, 20));  // fully invoiced
        line(13, 1, u"02"_s, u"1103"_s, u"8"_s);
        invoice(103, 13, u"3"_s, QDate(2025, 12, 20), false);  // not verified: 8 remain
        line(14, 1, u"03"_s, u"2002"_s, u"7"_s);
        invoice(104, 14, u"7"_s, kAfter);         // after D: 7 remain
        line(15, 1, u"02"_s, u"9001"_s, u"1"_s);  // a service
        line(16, 1, u"02"_s, u"1104"_s, u"6"_s);
        invoice(105, 16, u"2"_s, QDate(2025, 12, 15));  // two invoice dates: two candidates
        invoice(106, 16, u"1"_s, QDate(2025, 12, 18));
        line(17, 1, u"02"_s, u"1101"_s, u"4"_s);
        invoice(107, 17, u"4"_s, QDate(2025, 12, 20), true, true);  // invalidated: 4 remain
        line(18, 1, u"02"_s, u"1103"_s, u"0.8"_s);
        invoice(108, 18, u"0.1"_s, QDate(2025, 12, 22));    // 0.1 + 0.7 invoice it exactly (not
        invoice(109, 18, u"0.7"_s, QDate(2025, 12, 22));    // in binary floating point)
        note(2, kInstalment, u"05"_s, kBefore, u"王强"_s);  // taken over already
        line(21, 2, u"02"_s, u"1101"_s, u"9"_s);
        note(3, kInstalment, u"05"_s, kAfter);  // dispatched after D
        line(31, 3, u"02"_s, u"1101"_s, u"9"_s);
        note(4, u"委托代销"_s, u"06"_s, kBefore);
        line(41, 4, u"02"_s, u"1101"_s, u"3"_s);
        invoice(110, 41, u"1"_s, QDate(2025, 12, 20), true, false, u"委托"_s);
    }
};

// Catches: services taken over, fully invoiced lines kept, unverified or later
// invoices reducing the remaining quantity, invalidated invoices counted (or
// their line lost), notes after D or already taken over fetched, sums of
// decimals left with binary residue, the other business type mixed in, values
// not copied from the note and its line, and stamps or flags not set.
TEST_P(DispatchedGoodsTest, FetchTakesOverWhatIsDispatchedAndNotInvoicedByTheCutOff) {
    salesDocuments();
    open();
    EXPECT_EQ(dispatched::cutOffDate(ctx), QDate(2026, 1, 1));
    EXPECT_FALSE(dispatched::hasRows(ctx, BusinessType::Instalment));
    const dispatched::FetchResult r = dispatched::GetFromXsFcsp(ctx, BusinessType::Instalment);
    EXPECT_EQ(rows(), (QStringList{u"11: 6.00/10.00"_s, u"13: 8.00/8.00"_s, u"14: 7.00/7.00"_s,
                                   u"16: 4.00/6.00"_s, u"16: 5.00/6.00"_s, u"17: 4.00/4.00"_s}));
    EXPECT_EQ(r.inserted, 6);
    EXPECT_TRUE(dispatched::hasRows(ctx, BusinessType::Instalment));
    EXPECT_TRUE(rows(u"委托代销"_s).isEmpty());

    // The row carries the note's and the line's values; amounts and prices wait for the user.
    QSqlQuery q = db().exec(
        u"SELECT cVouCode, dVouDate, cWhCode, cAccDep, cCusCode, cDLCode, ienid, cVouType, cMaker, cDefine1, "
        "cFree1, cDefine22, bRdFlag, bSale, iInCost, iAInPrice, iAOutPrice, cDepCode FROM IA_EnSubsidiary "
        "WHERE InID = 11"_s);
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toString(), u"FH1"_s);
    EXPECT_EQ(dateOf(q.value(1)), kBefore);
    EXPECT_EQ(q.value(2).toString(), u"02"_s);
    EXPECT_EQ(q.value(3).toString(), u"0401"_s);
    EXPECT_EQ(q.value(4).toString(), u"C001"_s);
    EXPECT_EQ(q.value(5).toInt(), 1);
    EXPECT_EQ(q.value(6).toInt(), 1);
    EXPECT_EQ(q.value(7).toString(), u"05"_s);
    EXPECT_EQ(q.value(8).toString(), u"孙丽"_s);
    EXPECT_EQ(q.value(9).toString(), u"合同1"_s);
    EXPECT_EQ(q.value(10).toString(), u"红色"_s);
    EXPECT_EQ(q.value(11).toString(), u"批11"_s);
    EXPECT_EQ(q.value(12).toInt(), 1);
    EXPECT_EQ(q.value(13).toInt(), 1);
    for (int c = 14; c <= 17; ++c) EXPECT_TRUE(q.value(c).isNull()) << c;
    q.finish();  // an open read keeps SQLite's snapshot of this connection

    // Notes and invoices used are stamped with the operator's name; the flag is set.
    EXPECT_EQ(stamp("DispatchList", "DLID", 1), u"张敏"_s);
    EXPECT_EQ(stamp("DispatchList", "DLID", 2), u"王强"_s);
    EXPECT_EQ(stamp("DispatchList", "DLID", 3), u"-"_s);
    EXPECT_EQ(stamp("DispatchList", "DLID", 4), u"-"_s);
    EXPECT_EQ(stamp("SaleBillVouch", "SBVID", 101), u"张敏"_s);
    EXPECT_EQ(stamp("SaleBillVouch", "SBVID", 104), u"-"_s);  // after D
    EXPECT_EQ(stamp("SaleBillVouch", "SBVID", 107), u"-"_s);  // invalidated
    EXPECT_EQ(flag("cGetDataFqsk"), u"TRUE"_s);
    EXPECT_EQ(flag("cGetDataWtdx"), u"FALSE"_s);
    EXPECT_FALSE(db().tableExists(u"ia_EnSubsidiary0"_s + ctx.gInstanceNo));

    // Consignment: the 06 notes, already stamped or not; the invoices of 委托.
    dispatched::GetFromXsFcsp(ctx, BusinessType::Consignment);
    EXPECT_EQ(rows(u"委托代销"_s), QStringList{u"41: 2.00/3.00"_s});
    EXPECT_EQ(stamp("SaleBillVouch", "SBVID", 110), u"张敏"_s);
    EXPECT_EQ(flag("cGetDataWtdx"), u"TRUE"_s);
}

// Catches: the warehouse's department missing under per-department accounting.
TEST_P(DispatchedGoodsTest, PerDepartmentAccountingTakesTheWarehousesDepartment) {
    setParam("IA", "cValueStyle", u"按部门核算"_s);
    note(1, kInstalment, u"05"_s, kBefore);
    line(11, 1, u"02"_s, u"1101"_s, u"10"_s);
    open();
    dispatched::GetFromXsFcsp(ctx, BusinessType::Instalment);
    EXPECT_EQ(db().scalar(u"SELECT cDepCode FROM IA_EnSubsidiary WHERE InID = 11"_s).toString(),
              db().scalar(u"SELECT cDepCode FROM Warehouse WHERE cWhCode = '02'"_s).toString());
}

// Catches: clearing rows of the other type or of later months, stamps kept, and
// the flag left set; stamps of notes after D touched.
TEST_P(DispatchedGoodsTest, ClearRemovesTheRowsAndTakesTheStampsBack) {
    salesDocuments();
    db().exec(u"UPDATE DispatchList SET cAccounter = '王强' WHERE DLID = 3"_s);  // after D: stays
    open();
    dispatched::GetFromXsFcsp(ctx, BusinessType::Instalment);
    dispatched::GetFromXsFcsp(ctx, BusinessType::Consignment);
    db().exec(u"INSERT INTO IA_EnSubsidiary (cBusType, iMonth, cInvCode) VALUES (?, 1, '1101')"_s,
              {kInstalment});

    const dispatched::ClearResult r = dispatched::DeleteQCFCSP(ctx, BusinessType::Instalment);
    EXPECT_EQ(r.deleted, 6);
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(db().scalar(u"SELECT COUNT(*) FROM IA_EnSubsidiary WHERE cBusType = ? AND iMonth = 1"_s,
                          {kInstalment})
                  .toInt(),
              1);
    EXPECT_EQ(rows(u"委托代销"_s).size(), 1);
    EXPECT_EQ(stamp("DispatchList", "DLID", 1), u"-"_s);
    EXPECT_EQ(stamp("DispatchList", "DLID", 2), u"-"_s);  // whoever set it
    EXPECT_EQ(stamp("DispatchList", "DLID", 3), u"王强"_s);
    EXPECT_EQ(stamp("SaleBillVouch", "SBVID", 101), u"-"_s);
    EXPECT_EQ(stamp("SaleBillVouch", "SBVID", 110), u"张敏"_s);
    EXPECT_EQ(flag("cGetDataFqsk"), u"FALSE"_s);
    EXPECT_EQ(flag("cGetDataWtdx"), u"TRUE"_s);
}

// Catches: a statement group whose failure leaves rows, stamps, flags or the
// scratch table behind once the unit of work is rolled back.
TEST_P(DispatchedGoodsTest, AFailureAtAnyStepLeavesEverythingAsBefore) {
    salesDocuments();
    open();
    const auto failAt = [](const QString& wanted) {
        unitStepHook() = [wanted](const QString& step) {
            if (step == wanted) throw DbError(u"故障："_s + step);
        };
    };
    const QString before = snapshot();
    for (const QString& step : dispatched::fetchSteps()) {
        SCOPED_TRACE(step.toStdString());
        failAt(u"dispatched-fetch/"_s + step);
        {
            Transaction tx(ctx.gDb->Connection());
            EXPECT_THROW(dispatched::GetFromXsFcsp(ctx, BusinessType::Instalment), DbError);
        }
        EXPECT_EQ(snapshot(), before);
    }
    unitStepHook() = nullptr;
    {
        Transaction tx(ctx.gDb->Connection());
        dispatched::GetFromXsFcsp(ctx, BusinessType::Instalment);
        tx.commit();
    }
    const QString fetched = snapshot();
    ASSERT_NE(fetched, before);
    for (const QString& step : dispatched::clearSteps()) {
        SCOPED_TRACE(step.toStdString());
        failAt(u"dispatched-clear/"_s + step);
        {
            Transaction tx(ctx.gDb->Connection());
            EXPECT_THROW(dispatched::DeleteQCFCSP(ctx, BusinessType::Instalment), DbError);
        }
        EXPECT_EQ(snapshot(), fetched);
    }
}

// Catches: columns out of the grid's order, settled figures not derived from the
// stored ones, rows of the other business type, of later months or of warehouses
// the operator may not read, and a condition (warehouse, item class or range,
// customer class or range) not narrowing the rows.
TEST_P(DispatchedGoodsTest, TheGridQueryListsTheColumnsInOrderAndNarrowsByTheConditions) {
    salesDocuments();
    note(5, kInstalment, u"05"_s, kBefore, {}, u"C004"_s);  // a customer of class 02
    line(51, 5, u"02"_s, u"1102"_s, u"2"_s);
    open();
    dispatched::GetFromXsFcsp(ctx, BusinessType::Instalment);
    dispatched::GetFromXsFcsp(ctx, BusinessType::Consignment);
    db().exec(u"UPDATE IA_EnSubsidiary SET iAOutPrice = 100, iAInPrice = 60, iInCost = 10 WHERE InID = 11"_s);
    db().exec(
        u"INSERT INTO IA_EnSubsidiary (cBusType, iMonth, dVouDate, cWhCode, cInvCode) "
        "VALUES (?, 1, ?, '02', '1101')"_s,
        {kInstalment, kAfter});

    namespace DCol = dispatched::DCol;
    const auto lines = [&](const dispatched::DispatchedFilter& f,
                           BusinessType type = BusinessType::Instalment) {
        QSqlQuery q = ctx.gDb->Connection().exec(dispatched::dispatchedQuery(ctx, type, f));
        EXPECT_EQ(q.record().count(), DCol::Count);
        QStringList l;
        while (q.next()) l << q.value(DCol::VouCode).toString() + u'/' + q.value(DCol::InvCode).toString();
        return l;
    };
    const QStringList both{u"02"_s, u"03"_s};
    EXPECT_EQ(lines({both}), (QStringList{u"FH1/1101"_s, u"FH1/1103"_s, u"FH1/2002"_s, u"FH1/1104"_s,
                                          u"FH1/1104"_s, u"FH1/1101"_s, u"FH5/1102"_s}));
    EXPECT_EQ(lines({both}, BusinessType::Consignment), QStringList{u"FH4/1101"_s});
    EXPECT_EQ(lines({{u"03"_s}}), QStringList{u"FH1/2002"_s});
    EXPECT_EQ(lines({both, {}, u"1103"_s, u"1104"_s}),
              (QStringList{u"FH1/1103"_s, u"FH1/1104"_s, u"FH1/1104"_s}));
    EXPECT_EQ(lines({both, {}, {}, {}, u"02"_s}), QStringList{u"FH5/1102"_s});
    EXPECT_EQ(lines({both, {}, {}, {}, {}, u"C002"_s, u"C004"_s}), QStringList{u"FH5/1102"_s});
    EXPECT_EQ(lines({both, u"0201"_s}), QStringList{u"FH1/2002"_s});
    EXPECT_TRUE(lines({}).isEmpty());

    // One row, column by column where the grid computes or joins.
    QSqlQuery q =
        ctx.gDb->Connection().exec(dispatched::dispatchedQuery(ctx, BusinessType::Instalment, {both}));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(Decimal::fromVariant(q.value(DCol::SettledQuantity)), Decimal(4));
    EXPECT_EQ(Decimal::fromVariant(q.value(DCol::SettledAmount)), Decimal(40));
    EXPECT_EQ(Decimal::fromVariant(q.value(DCol::UnitPrice)), Decimal(10));
    EXPECT_EQ(q.value(DCol::Customer).toString(), u"上海宏达机电设备有限公司"_s);
    EXPECT_EQ(q.value(DCol::InvName).toString(), u"单片机"_s);
    EXPECT_EQ(q.value(DCol::Define1).toString(), u"合同1"_s);
    EXPECT_EQ(q.value(DCol::Free1).toString(), u"红色"_s);
    q.finish();

    // The clerk reads warehouse 02 only.
    test::AccountBuilder(db(), false)
        .clerkHolds({u"02"_s}, {u"02"_s}, {u"0401"_s},
                    {u"1101"_s, u"1102"_s, u"1103"_s, u"1104"_s, u"2002"_s});
    open(u"clerk"_s, u"clerk123"_s);
    EXPECT_EQ(lines({both}).size(), 6);
    EXPECT_FALSE(lines({both}).contains(u"FH1/2002"_s));
}

// Catches: an edited figure not keeping the row's one unit price, a sign or
// non-number let through, a value rounded as binary, the subject accepted when it
// is not an end-level account, and an edit not stored at once (commas kept, an
// empty cell not NULL).
TEST_P(DispatchedGoodsTest, TheFourFiguresKeepOneUnitPriceAndAnEditIsStoredAtOnce) {
    salesDocuments();
    open();
    dispatched::GetFromXsFcsp(ctx, BusinessType::Instalment);
    dispatched::DispatchedEntry e(ctx, BusinessType::Instalment);
    e.Load();
    EXPECT_EQ(e.caption(), u"分期收款发出商品期初"_s);
    ASSERT_FALSE(e.gridReadOnly());
    e.Refresh(dispatched::dispatchedQuery(ctx, BusinessType::Instalment, {{u"02"_s, u"03"_s}}));
    namespace DCol = dispatched::DCol;
    grid::GridModel& g = e.grid();
    ASSERT_EQ(g.text(0, DCol::InvCode), u"1101"_s);  // 10 dispatched, 4 settled, 6 open
    const QStringList loaded = g.dataRow(0);
    const auto type = [&](int col, const QString& text) -> std::optional<QString> {
        QString value = text;
        bool cancel = false;
        sink.clear();
        e.ValidateCell(value, cancel, 0, col);
        if (cancel) return std::nullopt;
        g.setText(0, col, value);
        return value;
    };
    const auto figures = [&] {
        return QStringList{g.text(0, DCol::OutAmount), g.text(0, DCol::SettledAmount),
                           g.text(0, DCol::UnitPrice), g.text(0, DCol::OpenAmount)};
    };

    EXPECT_EQ(type(DCol::OutAmount, u"100"_s), u"100.00"_s);
    EXPECT_EQ(figures(), (QStringList{u"100.00"_s, u"40.00"_s, u"10.00"_s, u"60.00"_s}));
    EXPECT_EQ(type(DCol::OpenAmount, u"30"_s), u"30.00"_s);
    EXPECT_EQ(figures(), (QStringList{u"50.00"_s, u"20.00"_s, u"5.00"_s, u"30.00"_s}));
    EXPECT_EQ(type(DCol::UnitPrice, u"0.125"_s), u"0.13"_s);  // half away from zero
    EXPECT_EQ(figures(), (QStringList{u"1.25"_s, u"0.50"_s, u"0.13"_s, u"0.75"_s}));
    EXPECT_EQ(type(DCol::SettledAmount, u"0"_s), u"0.00"_s);
    EXPECT_EQ(g.text(0, DCol::UnitPrice), QString());
    EXPECT_EQ(g.text(0, DCol::OpenAmount), QString());

    for (const auto& [col, text, message] : {std::tuple{DCol::UnitPrice, u"-1"_s, u"单价必须大于等于零！"_s},
                                             std::tuple{DCol::OutAmount, u"-5"_s, u"单价为负数,输入非法！"_s},
                                             std::tuple{DCol::OpenAmount, u"abc"_s, u"输入非法！"_s},
                                             std::tuple{DCol::OutHead, u"1406"_s, u"存货科目不合法！"_s}}) {
        const QStringList before = g.dataRow(0);
        EXPECT_EQ(type(col, text), std::nullopt) << text.toStdString();
        EXPECT_EQ(sink.last(), message);
        EXPECT_EQ(g.dataRow(0), before);
    }
    EXPECT_EQ(type(DCol::OutHead, u" 140601 "_s), u"140601"_s);
    EXPECT_EQ(g.text(0, DCol::OutHeadName), u"分期收款发出商品"_s);

    type(DCol::OutAmount, u"1,234.5"_s);
    ASSERT_TRUE(e.StoreRow(0, loaded)) << sink.last().toStdString();
    const qint64 id = g.text(0, DCol::AutoId).toLongLong();
    QSqlQuery q = db().exec(
        u"SELECT iAOutPrice, iInCost, iOutCost, iAInPrice, cOutHead, iAOutQuantity FROM IA_EnSubsidiary "
        "WHERE AutoID = ?"_s,
        {id});
    ASSERT_TRUE(q.next());
    EXPECT_EQ(Decimal::fromVariant(q.value(0)), *Decimal::parse(u"1234.50"_s));
    EXPECT_EQ(Decimal::fromVariant(q.value(1)), *Decimal::parse(u"123.45"_s));
    EXPECT_EQ(Decimal::fromVariant(q.value(2)), *Decimal::parse(u"123.45"_s));
    EXPECT_EQ(Decimal::fromVariant(q.value(3)), *Decimal::parse(u"740.70"_s));
    EXPECT_EQ(q.value(4).toString(), u"140601"_s);
    EXPECT_EQ(Decimal::fromVariant(q.value(5)), Decimal(10));
    q.finish();

    // An amount its column cannot hold is refused on either database: nothing
    // stored, and the row shows what is stored.
    const QStringList stored = g.dataRow(0);
    const auto refused = [&](QString value, int col, const QString& message) {
        bool cancel = false;
        sink.clear();
        e.ValidateAndStore(value, cancel, 0, col);
        EXPECT_TRUE(cancel);
        EXPECT_EQ(sink.texts(), QStringList{message});
        EXPECT_EQ(g.dataRow(0), stored);
    };
    const auto storedAmount = [&] {
        return Decimal::fromVariant(
            db().scalar(u"SELECT iAOutPrice FROM IA_EnSubsidiary WHERE AutoID = ?"_s, {id}));
    };
    refused(u"1234567890123456"_s, DCol::OutAmount, u"数据超出允许范围"_s);
    EXPECT_EQ(storedAmount(), *Decimal::parse(u"1234.50"_s));

    // Another copy changes the row's amount, then deletes the row: this window's
    // edit over what it showed is refused both times, the other copy's work kept.
    db().exec(u"UPDATE IA_EnSubsidiary SET iAOutPrice = 999 WHERE AutoID = ?"_s, {id});
    refused(u"200"_s, DCol::UnitPrice, u"该行已被其他用户修改！请重新查询后再修改。"_s);
    EXPECT_EQ(storedAmount(), Decimal(999));
    db().exec(u"DELETE FROM IA_EnSubsidiary WHERE AutoID = ?"_s, {id});
    refused(u"200"_s, DCol::UnitPrice, u"该行已被其他用户删除！请重新查询。"_s);
}

// Catches: the grid editable or 取数/清空 offered without the rights, after
// posting; a fetch over existing rows; 清空 answered 否 deleting anything; a row
// of a warehouse the operator may not change being edited.
TEST_P(DispatchedGoodsTest, RightsPostingAndTheFetchAndClearCommands) {
    salesDocuments();
    open();
    {
        dispatched::DispatchedEntry e(ctx, BusinessType::Instalment);
        e.Load();
        EXPECT_TRUE(e.canFetchAndClear());
        EXPECT_TRUE(e.Fetch());
        EXPECT_EQ(sink.last(), u"取数完毕！"_s);
        EXPECT_EQ(rows().size(), 6);
        sink.clear();
        EXPECT_FALSE(e.Fetch());  // rows exist: nothing, silently
        EXPECT_TRUE(sink.entries().isEmpty());

        sink.script(MsgAnswer::No);
        EXPECT_FALSE(e.Clear());
        EXPECT_EQ(sink.texts(), QStringList{u"此操作将删除所有期初分期收款数据，是否继续？"_s});
        EXPECT_EQ(rows().size(), 6);
        sink.script(MsgAnswer::Yes);
        EXPECT_TRUE(e.Clear());
        EXPECT_TRUE(rows().isEmpty());
        EXPECT_TRUE(e.Fetch());
    }

    // The clerk changes warehouse 02 only.
    test::AccountBuilder(db(), false)
        .clerkHolds({u"02"_s, u"03"_s}, {u"02"_s}, {u"0401"_s}, {u"1101"_s, u"1103"_s, u"1104"_s, u"2002"_s});
    open(u"clerk"_s, u"clerk123"_s);
    dispatched::DispatchedEntry e(ctx, BusinessType::Instalment);
    e.Load();
    EXPECT_FALSE(e.gridReadOnly());
    e.Refresh(dispatched::dispatchedQuery(ctx, BusinessType::Instalment, {{u"02"_s, u"03"_s}}));
    int row03 = -1;
    for (int r = 0; r < e.grid().dataRowCount(); ++r)
        if (e.grid().text(r, dispatched::DCol::InvCode) == u"2002"_s) row03 = r;
    ASSERT_GE(row03, 0);
    QString value = u"10"_s;
    bool cancel = false;
    sink.clear();
    e.ValidateCell(value, cancel, row03, dispatched::DCol::OutAmount);
    EXPECT_TRUE(cancel);
    EXPECT_EQ(sink.last(), u"您没有此仓库的权限！"_s);

    setParam("IA", "bQCAccount", u"true"_s);
    open();
    dispatched::DispatchedEntry posted(ctx, BusinessType::Instalment);
    posted.Load();
    EXPECT_TRUE(posted.gridReadOnly());
    EXPECT_FALSE(posted.canFetchAndClear());
}

// Catches: a customer class or bound accepted when it is not one (or a customer
// outside the class), a refused class kept in its box, names handed on instead
// of codes, and the dialog accepted without a warehouse.
TEST_P(DispatchedGoodsTest, TheConditionDialogChecksTheCustomerBoxesAndHandsOnCodes) {
    salesDocuments();
    note(5, kInstalment, u"05"_s, kBefore, {}, u"C004"_s);
    line(51, 5, u"02"_s, u"1102"_s, u"2"_s);
    open();
    dispatched::GetFromXsFcsp(ctx, BusinessType::Instalment);
    dispatched::DispatchedConditions c(ctx, pickers);
    c.Load();

    c.customerClass.text = u"99"_s;
    EXPECT_FALSE(c.leaveCustomerClass());
    EXPECT_EQ(sink.last(), u"客户分类输入不合法！"_s);
    EXPECT_EQ(c.customerClass.text, QString());
    c.customerClass.text = u"02"_s;
    EXPECT_TRUE(c.leaveCustomerClass());
    EXPECT_EQ(c.customerClass.tag, u"02"_s);
    c.customerFrom.text = u"C001"_s;  // of class 01
    EXPECT_FALSE(c.leaveCustomerFrom());
    EXPECT_EQ(sink.last(), u"客户上限输入不合法！"_s);
    c.customerTo.text = u"nobody"_s;
    EXPECT_FALSE(c.leaveCustomerTo());
    EXPECT_EQ(sink.last(), u"客户下限输入不合法！"_s);
    c.customerFrom.text = u"C004"_s;
    EXPECT_TRUE(c.leaveCustomerFrom());
    c.customerTo = {};

    const std::optional<dispatched::DispatchedFilter> f = c.Display();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->customerClass, u"02"_s);
    EXPECT_EQ(f->customerFrom, u"C004"_s);
    EXPECT_EQ(f->warehouses, (QStringList{u"02"_s, u"03"_s}));
    QSqlQuery q = ctx.gDb->Connection().exec(dispatched::dispatchedQuery(ctx, BusinessType::Instalment, *f));
    QStringList notes;
    while (q.next()) notes << q.value(dispatched::DCol::VouCode).toString();
    EXPECT_EQ(notes, QStringList{u"FH5"_s});

    c.fields().ClearWarehouses();
    sink.clear();
    EXPECT_FALSE(c.Display());
    EXPECT_EQ(sink.last(), u"必须至少选择一个仓库！"_s);
}

QC_DB_SUITE(DispatchedGoodsTest);

}  // namespace
}  // namespace qc
