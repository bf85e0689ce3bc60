// The opening summaries by inventory-class grade: the figures of the item and
// class lines on both valuation bases, exact to the cent, every grade range, the
// operator's rights, a failure leaving the last result, and the dispatched-goods
// summary.

#include "summary/GradeSummary.h"

#include "domain/Vocabulary.h"

#include "support/OpeningFixture.h"

#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

using summary::GradeSummary;
using summary::SummaryKind;
using summary::SummaryRequest;

// Columns of a result line with its user-defined items taken out (plain()).
enum { Grade, ClassCode, ClassName, InvCode, InvName, InvStd, Unit, Qty, Cost, Money, PlanCost, PlanMoney };

// Result lines without their user-defined items.
QList<QStringList> plainLines(const GradeSummary& s, const QList<QStringList>& rows) {
    QList<QStringList> out;
    for (const QStringList& r : rows) out << r.mid(0, s.itemColumn() + 4) + r.mid(s.figureColumn());
    return out;
}

// Every class line holds the sums of the inventory lines under it, to the cent;
// the number of class lines checked.
int expectClassesSumTheirItems(const QList<QStringList>& rows) {
    int checked = 0;
    for (const QStringList& c : rows) {
        if (c.at(Grade) == kDetailGrade) continue;
        Decimal qty, money, plan;
        for (const QStringList& i : rows)
            if (i.at(Grade) == kDetailGrade && i.at(ClassCode).startsWith(c.at(ClassCode))) {
                qty += Decimal::fromText(i.at(Qty));
                money += Decimal::fromText(i.at(Money));
                plan += Decimal::fromText(i.at(PlanMoney));
            }
        EXPECT_EQ(Decimal::fromText(c.at(Qty)), qty) << c.join(u' ').toStdString();
        EXPECT_EQ(Decimal::fromText(c.at(Money)), money) << c.join(u' ').toStdString();
        EXPECT_EQ(Decimal::fromText(c.at(PlanMoney)), plan) << c.join(u' ').toStdString();
        ++checked;
    }
    return checked;
}

class SummaryTest : public test::OpeningFixture {
  protected:
    void buildAccount() override {
        test::AccountBuilder a(db());
        a.warehouses({"01", "02"}).items({"1001", "1101", "1102", "1113"});
        a.opening({u"01"_s, u"1001"_s, u"10"_s, {}, u"41000"_s, u"06"_s, u"500"_s, u"120"_s});
        a.opening({u"02"_s, u"1101"_s, u"4"_s, {}, u"34"_s});
        // 51 + 1.005 is 52.005: exactly half a cent, which rounds up.
        a.opening({u"01"_s, u"1101"_s, u"6"_s, {}, u"51"_s, u"06"_s, u"1.005"_s});
        a.opening({u"02"_s, u"1113"_s, u"0"_s, {}, u"5"_s});
        a.opening({u"02"_s, u"1102"_s, u"3"_s, {}, u"18.6"_s});
        // An item whose class is not in the class table gives no class line.
        db().exec(u"UPDATE Inventory SET cInvCCode = '99' WHERE cInvCode = '1102'"_s);
    }

    SummaryRequest request(std::initializer_list<const char*> warehouses) {
        SummaryRequest r;
        for (const char* code : warehouses) {
            const QString c = QString::fromLatin1(code);
            WarehouseEntry w;
            w.code = c;
            w.valueStyle =
                db().scalar(u"SELECT cWhValueStyle FROM Warehouse WHERE cWhCode = ?"_s, {c}).toString();
            r.warehouses << w;
        }
        return r;
    }
    // The lines of a grade range keyed "grade/class/item".
    static QMap<QString, QStringList> keyed(const QList<QStringList>& rows) {
        QMap<QString, QStringList> m;
        for (const QStringList& r : rows)
            m.insert(r.at(Grade) + u'/' + r.at(ClassCode) + u'/' + r.at(InvCode), r);
        return m;
    }
    QString planned(const char* item, const char* qty) {
        const Decimal rcost = Decimal::fromVariant(db().scalar(
            u"SELECT iInvRCost FROM Inventory WHERE cInvCode = ?"_s, {QString::fromLatin1(item)}));
        return (rcost * Decimal::fromText(QString::fromLatin1(qty))).toString(2);
    }
    static QStringList figures(const QStringList& line) { return line.mid(Qty); }
};

// Catches: price differences added outside planned-price warehouses (or left out
// of them), a sum with binary residue or a half cent rounded down, an item in two
// warehouses split into two lines, a class line of the wrong code length or
// counting other class lines, a zero quantity dividing by zero, an item of an
// unknown class lost, planned figures shown without a planned-price warehouse.
TEST_P(SummaryTest, PerWarehouseTheDifferencesBelongToPlannedPriceWarehouses) {
    open();
    GradeSummary s(ctx, SummaryKind::Opening);
    ASSERT_EQ(s.gradeCount(), 3);
    EXPECT_EQ(s.gradeItems(), (QStringList{u"1"_s, u"2"_s, u"3"_s, u"明细"_s}));
    s.Compute(request({"01", "02"}));
    const QList<QStringList> all = plainLines(s, s.GetData(0, 3));
    const auto lines = keyed(all);

    EXPECT_EQ(
        figures(lines.value(u"明细/0101001/1001"_s)),
        (QStringList{u"10.00"_s, u"4138.00"_s, u"41380.00"_s,
                     Decimal::fromVariant(db().scalar(u"SELECT iInvRCost FROM Inventory WHERE cInvCode = "
                                                      "'1001'"_s))
                         .toString(2),
                     planned("1001", "10")}));
    const QStringList chip = lines.value(u"明细/0102001/1101"_s);
    EXPECT_EQ(chip.mid(Qty, 3), (QStringList{u"10.00"_s, u"8.60"_s, u"86.01"_s}));
    EXPECT_EQ(Decimal::fromText(chip.at(PlanMoney)),
              Decimal::fromText(planned("1101", "4")) + Decimal::fromText(planned("1101", "6")));
    EXPECT_EQ(lines.value(u"明细/0102002/1113"_s).mid(Qty, 3),
              (QStringList{u"0.00"_s, u"0.00"_s, u"5.00"_s}));
    EXPECT_TRUE(lines.contains(u"明细//1102"_s));
    EXPECT_EQ(lines.value(u"2/0102/"_s).mid(Qty, 3), (QStringList{u"10.00"_s, u"9.10"_s, u"91.01"_s}));
    EXPECT_EQ(lines.value(u"1/01/"_s).mid(Qty, 3), (QStringList{u"20.00"_s, u"2073.55"_s, u"41471.01"_s}));
    EXPECT_EQ(lines.value(u"1/01/"_s).at(PlanCost), QString());
    EXPECT_EQ(all.size(), 4 + 3 + 2 + 1);  // items; classes of grades 3, 2, 1
    // A class line comes before its sub-classes and items.
    EXPECT_EQ(all.first().at(ClassCode), QString());  // the item of no known class first
    EXPECT_EQ(all.at(1).mid(Grade, 2), (QStringList{u"1"_s, u"01"_s}));
    EXPECT_EQ(all.at(2).mid(Grade, 2), (QStringList{u"2"_s, u"0101"_s}));
    expectClassesSumTheirItems(all);

    // Grade ranges, read again without computing.
    EXPECT_EQ(plainLines(s, s.GetData(3, 3)).size(), 4);
    EXPECT_EQ(plainLines(s, s.GetData(0, 0)).size(), 1);
    EXPECT_EQ(plainLines(s, s.GetData(1, 2)).size(), 5);

    // No planned-price warehouse chosen: no planned figures anywhere.
    s.Compute(request({"02"}));
    for (const QStringList& l : plainLines(s, s.GetData(0, 3))) {
        if (l.at(Grade) == kDetailGrade) {
            EXPECT_EQ(l.at(PlanCost), u"0.00"_s);
        }
        EXPECT_EQ(l.at(PlanMoney), u"0.00"_s) << l.join(u' ').toStdString();
    }
    EXPECT_FALSE(keyed(plainLines(s, s.GetData(3, 3))).contains(u"明细/0101001/1001"_s));
}

// Catches: per item, differences added to items not valued at planned or selling
// price, or planned figures given to them; the clerk's summary counting a
// warehouse outside his rights.
TEST_P(SummaryTest, PerItemTheDifferencesBelongToPlannedItemsAndRightsHold) {
    setParam("IA", "cValueStyle", u"按存货核算"_s);
    open();
    GradeSummary s(ctx, SummaryKind::Opening);
    s.Compute(request({"01", "02"}));
    auto lines = keyed(plainLines(s, s.GetData(3, 3)));
    EXPECT_EQ(lines.value(u"明细/0101001/1001"_s).at(Money), u"41380.00"_s);  // planned price: differences in
    EXPECT_EQ(lines.value(u"明细/0102001/1101"_s).mid(Qty),
              (QStringList{u"10.00"_s, u"8.50"_s, u"85.00"_s, u"0.00"_s, u"0.00"_s}));

    setParam("IA", "cValueStyle", u"按仓库核算"_s);
    test::AccountBuilder(db(), false)
        .clerkHolds({u"02"_s}, {}, {u"06"_s}, {u"1001"_s, u"1101"_s, u"1102"_s, u"1113"_s});
    open(u"clerk"_s, u"clerk123"_s);
    GradeSummary clerk(ctx, SummaryKind::Opening);
    clerk.Compute(request({"01", "02"}));
    lines = keyed(plainLines(clerk, clerk.GetData(3, 3)));
    EXPECT_FALSE(lines.contains(u"明细/0101001/1001"_s));
    EXPECT_EQ(lines.value(u"明细/0102001/1101"_s).mid(Qty, 3),
              (QStringList{u"4.00"_s, u"8.50"_s, u"34.00"_s}));
}

// Catches: a coding scheme of two or four grades mapped to the wrong code lengths
// or grade numbers, a failed computation that destroys the last result, and
// "没有找到满足条件的记录！" not said when the range holds nothing.
TEST_P(SummaryTest, OtherSchemesAndAFailureLeavesTheLastResult) {
    setParam("AA", "cGoodClass", u"22"_s);
    open();
    {
        GradeSummary s(ctx, SummaryKind::Opening);
        ASSERT_EQ(s.gradeCount(), 2);
        s.Compute(request({"01", "02"}));
        const auto lines = keyed(plainLines(s, s.GetData(0, 2)));
        EXPECT_TRUE(lines.contains(u"2/0102/"_s));
        EXPECT_TRUE(lines.contains(u"明细/0102001/1101"_s));
        EXPECT_FALSE(lines.contains(u"3/0102001/"_s));
    }
    setParam("AA", "cGoodClass", u"2232"_s);
    open();
    GradeSummary s(ctx, SummaryKind::Opening);
    ASSERT_EQ(s.gradeCount(), 4);
    s.Compute(request({"01", "02"}));
    const QList<QStringList> before = plainLines(s, s.GetData(0, 4));
    EXPECT_TRUE(keyed(before).contains(u"3/0102001/"_s));
    sink.clear();
    EXPECT_TRUE(plainLines(s, s.GetData(3, 3)).isEmpty());  // no class of grade 4
    EXPECT_EQ(sink.texts(), QStringList{u"没有找到满足条件的记录！"_s});

    // A computation that fails half-way leaves the previous result as it was.
    db().exec(u"ALTER TABLE InventoryClass RENAME TO InventoryClassAway"_s);
    EXPECT_THROW(s.Compute(request({"01", "02"})), DbError);
    db().exec(u"ALTER TABLE InventoryClassAway RENAME TO InventoryClass"_s);
    EXPECT_EQ(plainLines(s, s.GetData(0, 4)), before);
}

// Catches: the dispatched-goods summary mixing the business types, its amounts
// not at the price decimals, two warehouses of one item giving two lines, and a
// zero quantity dividing by zero.
TEST_P(SummaryTest, DispatchedGoodsAreSummarisedPerBusinessType) {
    open();
    const auto row = [&](const char* bus, const char* wh, const char* inv, const char* qty,
                         const char* amount) {
        db().exec(
            u"INSERT INTO IA_EnSubsidiary (cBusType, iMonth, dVouDate, cWhCode, cInvCode, iAInQuantity, "
            "iAInPrice, cAccDep) VALUES (?, 0, ?, ?, ?, ?, ?, '06')"_s,
            {QString::fromUtf8(bus), QDate(2025, 12, 1), QString::fromLatin1(wh), QString::fromLatin1(inv),
             Decimal::fromText(QString::fromLatin1(qty)).toVariant(),
             Decimal::fromText(QString::fromLatin1(amount)).toVariant()});
    };
    row("分期收款", "01", "1101", "2", "17.1");
    row("分期收款", "02", "1101", "1", "8.4");
    row("分期收款", "02", "1113", "0", "3");
    row("委托代销", "02", "1101", "100", "850");
    GradeSummary s(ctx, SummaryKind::Instalment);
    s.Compute(request({"01", "02"}));
    const QList<QStringList> all = plainLines(s, s.GetData(0, 3));
    const auto lines = keyed(all);
    EXPECT_EQ(lines.value(u"明细/0102001/1101"_s).mid(Qty), (QStringList{u"3.00"_s, u"8.50"_s, u"25.50"_s}));
    EXPECT_EQ(lines.value(u"明细/0102002/1113"_s).mid(Qty), (QStringList{u"0.00"_s, u"0.00"_s, u"3.00"_s}));
    EXPECT_EQ(lines.value(u"1/01/"_s).mid(Qty), (QStringList{u"3.00"_s, u"9.50"_s, u"28.50"_s}));
    EXPECT_EQ(all.size(), 2 + 2 + 1 + 1);  // items; classes 0102001, 0102002; 0102; 01
}

QC_DB_SUITE(SummaryTest);

// The summary of a whole account checked against the ledger rows themselves.
class WholeAccountSummary : public test::OpeningFixture {
  protected:
    // Every warehouse, selected.
    SummaryRequest everything() {
        SummaryRequest r;
        QSqlQuery q = db().exec(u"SELECT cWhCode, cWhValueStyle FROM Warehouse ORDER BY cWhCode"_s);
        while (q.next()) {
            WarehouseEntry w;
            w.code = q.value(0).toString();
            w.valueStyle = q.value(1).toString();
            r.warehouses << w;
        }
        return r;
    }

    // Independently of the summary's statements: the opening ledger rows read one
    // by one and summed per item with Decimal, as "quantity amount" (per warehouse:
    // the price differences of planned-price warehouses in the amount).
    QMap<QString, QString> ledgerTotals() {
        const int qd = db().scalar(
                               u"SELECT cValue FROM AccInformation WHERE cSysID = 'AA' AND cName = "
                               "'iStrsQuanDecDgt'"_s)
                           .toInt();
        QMap<QString, std::pair<Decimal, Decimal>> sums;
        QSqlQuery q = db().exec(
            u"SELECT s.cInvCode, s.iAInQuantity, s.iAInPrice, s.iDebitDifCost, s.iCreditDifCost, "
            u"w.cWhValueStyle "
            "FROM IA_Subsidiary s JOIN Warehouse w ON w.cWhCode = s.cWhCode WHERE s.cVouType = '34'"_s);
        while (q.next()) {
            auto& [qty, money] = sums[q.value(0).toString()];
            qty += Decimal::fromVariant(q.value(1)).round(qd);
            Decimal m = Decimal::fromVariant(q.value(2));
            if (q.value(5).toString() == u"计划价法"_s)
                m += Decimal::fromVariant(q.value(3)) - Decimal::fromVariant(q.value(4));
            money += m.round(2);
        }
        QMap<QString, QString> out;
        for (auto it = sums.cbegin(); it != sums.cend(); ++it)
            out.insert(it.key(), it->first.toString(qd) + u' ' + it->second.toString(2));
        return out;
    }

    void expectTheLedgerInTheSummary() {
        open();
        ASSERT_NE(ctx.gValueStyle, basis::kByInventory);
        GradeSummary s(ctx, SummaryKind::Opening);
        s.Compute(everything());
        const QList<QStringList> lines = plainLines(s, s.GetData(0, s.gradeCount()));
        QMap<QString, QString> items;
        for (const QStringList& r : lines)
            if (r.at(Grade) == kDetailGrade) items.insert(r.at(InvCode), r.at(Qty) + u' ' + r.at(Money));
        EXPECT_EQ(items, ledgerTotals());
        EXPECT_GT(expectClassesSumTheirItems(lines), 0);
    }
};

class SummaryDemoTest : public WholeAccountSummary {};

class SummaryGeneratedTest : public WholeAccountSummary {
  protected:
    void buildAccount() override {
        demo::initDatabase(db());
        demo::ScaleOptions o;
        o.items = 600;
        o.warehouses = 6;
        o.openings = 3000;
        o.stockLines = 0;
        o.dispatchLines = 0;
        demo::generateScale(db(), o);
    }
};

// Catches: an item line that differs from its ledger rows by a cent anywhere in a
// real account, and a class line that is not the sum of the items under it.
TEST_P(SummaryDemoTest, TheDemoAccountAddsUpToTheCent) {
    expectTheLedgerInTheSummary();
}

TEST_P(SummaryGeneratedTest, AGeneratedAccountAddsUpToTheCent) {
    expectTheLedgerInTheSummary();
}

QC_DB_SUITE(SummaryDemoTest);
QC_DB_SUITE(SummaryGeneratedTest);

}  // namespace
}  // namespace qc
