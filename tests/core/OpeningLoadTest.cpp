// Loading the opening entry window: the rows of a warehouse and their computed
// columns, the filters, the row limit, the column set-up and the toolbar state.

#include "platform/Dialect.h"
#include "support/OpeningFixture.h"

using namespace Qt::StringLiterals;

namespace qc {
namespace {

namespace Col = opening::Col;

class OpeningLoadTest : public test::OpeningFixture {
  protected:
    // The eight warehouses, openings in FIFO 02 and specific-identification 05; the
    // clerk changes 01 and 02 and reads 03.
    void buildAccount() override {
        test::AccountBuilder account(db());
        account.warehouses({"01", "02", "03", "04", "05", "06", "07", "08"})
            .items({"1001", "1012", "1101", "1102", "2011", "3001"});
        account.opening({u"02"_s, u"1101"_s, u"40"_s, u"8.30"_s, u"332"_s});
        account.opening({u"05"_s, u"2011"_s, u"1"_s, u"98000"_s, u"98000"_s});
        account.clerkHolds({u"01"_s, u"02"_s, u"03"_s}, {u"01"_s, u"02"_s}, {u"06"_s},
                           {u"1001"_s, u"1012"_s, u"1101"_s, u"1102"_s});
    }
    // Opening rows 1..n of item 1012 in warehouse 08, quantity and amount i, in one statement.
    void generateRows(int n) {
        const Dialect& d = db().dialect();
        db().exec(
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
                           "INSERT INTO IA_Subsidiary (bRdFlag, cWhCode, iMonth, cVouType, cInvCode, "
                           "iAInQuantity, iInCost, iAInPrice) SELECT 1, %1, 0, %1, %1, i, 1, i FROM n")
                .arg(d.typedText()),
            {n, u"08"_s, u"34"_s, u"1012"_s});
    }
    QStringList codes() {
        QStringList l;
        for (int r = 0; r < grid().dataRowCount(); ++r) l << grid().text(r, Col::InvCode);
        l.sort();
        return l;
    }
};

// Catches: an off-by-one at the 4,000-row limit, a partial load past it, and totals
// summed from fewer rows than were loaded.
TEST_P(OpeningLoadTest, FourThousandRowsLoadAndOneMoreIsRefused) {
    generateRows(4000);
    open();
    pick(u"08"_s);
    EXPECT_TRUE(sink.entries().isEmpty());
    ASSERT_EQ(grid().dataRowCount(), 4000);
    EXPECT_EQ(grid().text(grid().totalsRow(), Col::InvCode), u"合计："_s);
    const QString sum = QString::number(4000LL * 4001 / 2) + u".00"_s;
    EXPECT_EQ(grid().text(grid().totalsRow(), Col::Quantity), sum);
    EXPECT_EQ(grid().text(grid().totalsRow(), Col::Amount), sum);

    insertOpening(u"08"_s, u"1012"_s, u"1"_s, u"1"_s, u"1"_s);
    entry->LoadRows(u"08"_s);
    EXPECT_EQ(sink.texts(), QStringList{u"数据量太大,请缩小查询范围,不要超过4000条记录！"_s});
    EXPECT_EQ(grid().rowCount(), 0);
    EXPECT_FALSE(grid().hasTotals());
}

// Catches: the class filter matching the exact class only (or by containment), the
// code range bounds treated as exclusive, and a cancelled filter dialog changing the rows.
TEST_P(OpeningLoadTest, ClassFilterMatchesSubclassesAndCodeRangeIsInclusive) {
    db().exec(
        u"INSERT INTO InventoryClass (cInvCCode, cInvCName, iInvCGrade, bInvCEnd) VALUES ('011', '其他', 2, 1)"_s);
    const char* const items[][2] = {{"Z1", "01"}, {"Z2", "0101"}, {"Z3", "011"}, {"Z4", "02"}, {"Z5", "101"}};
    int iid = 900;
    for (const auto& it : items) {
        db().exec(
            u"INSERT INTO Inventory (cInvCode, cInvName, cInvCCode, iId) VALUES (?, ?, ?, ?)"_s,
            {QString::fromLatin1(it[0]), QString::fromLatin1(it[0]), QString::fromLatin1(it[1]), ++iid});
        insertOpening(u"08"_s, QString::fromLatin1(it[0]), u"1"_s, u"1"_s, u"1"_s);
    }
    open();
    pick(u"08"_s);
    ASSERT_EQ(codes(), (QStringList{u"Z1"_s, u"Z2"_s, u"Z3"_s, u"Z4"_s, u"Z5"_s}));

    window.filterAnswer = QStringList{u"01"_s, QString(), QString()};
    entry->Dispatch(u"Query"_s);
    EXPECT_EQ(codes(), (QStringList{u"Z1"_s, u"Z2"_s, u"Z3"_s}));

    window.filterAnswer = QStringList{QString(), u"Z2"_s, u"Z4"_s};
    entry->Dispatch(u"Query"_s);
    EXPECT_EQ(codes(), (QStringList{u"Z2"_s, u"Z3"_s, u"Z4"_s}));

    window.filterAnswer.reset();  // Cancel
    entry->Dispatch(u"Query"_s);
    EXPECT_EQ(codes(), (QStringList{u"Z2"_s, u"Z3"_s, u"Z4"_s}));
}

// Catches: hidden user-defined columns still offered for sorting, a null caption
// not falling back to the item's name, and the hidden AUTOID column in the list.
TEST_P(OpeningLoadTest, UserDefinedColumnsWithoutCaptionAreHidden) {
    open();
    EXPECT_EQ(entry->columnWidths().at(Col::Free1), 1000);  // 颜色
    EXPECT_EQ(entry->maxTextLength(Col::Define22), 60);     // 质检单号

    db().exec(u"UPDATE UserDef SET cItemName = CASE WHEN cID = '05' THEN NULL ELSE '' END"_s);
    open();
    for (int c = Col::Free1; c <= Col::Define22 + 15; ++c) {
        if (c >= Col::ReplaceItem && c < Col::Define1) continue;
        EXPECT_EQ(entry->columnWidths().at(c), c == Col::Define1 + 4 ? 1000 : 0) << c;
    }
    EXPECT_EQ(entry->columnWidths().at(Col::AutoId), 0);
    const QStringList items = entry->sortItems();
    EXPECT_EQ(items.first(), QString());
    for (const QString& gone : {u"颜色"_s, u"合同号"_s, u"AUTOID"_s}) EXPECT_FALSE(items.contains(gone));
    EXPECT_TRUE(items.contains(u"自定义项5"_s));
    EXPECT_TRUE(items.contains(u"存货编码"_s));
}

// Catches: the planned columns computed from the wrong fields before and after
// posting, the unit cost under planned prices ignoring the differences, and
// rounding that follows SQLite's binary values instead of half away from zero.
TEST_P(OpeningLoadTest, ComputedColumnsBeforeAndAfterPosting) {
    open();
    pick(u"01"_s);  // 计划价法; the click has already rounded the stored rows
    const qint64 id = insertOpening(u"01"_s, u"1001"_s, u"2.5"_s, u"4100"_s, u"10250"_s);
    db().exec(u"UPDATE IA_Subsidiary SET iDebitDifCost = 30, iCreditDifCost = 5 WHERE AutoID = ?"_s, {id});
    entry->LoadRows(u"01"_s);
    int row = rowOf(id);
    ASSERT_GE(row, 0);
    EXPECT_EQ(grid().text(row, Col::Quantity), u"2.50"_s);
    EXPECT_EQ(grid().text(row, Col::UnitCost), u"4110.00"_s);  // (10250 + 30 - 5) / 2.5
    EXPECT_EQ(grid().text(row, Col::Amount), u"10275.00"_s);
    EXPECT_EQ(grid().text(row, Col::PlanPrice), u"4200.00"_s);
    EXPECT_EQ(grid().text(row, Col::PlanAmount), u"10500.00"_s);

    db().exec(u"UPDATE IA_Subsidiary SET cAccounter = '张敏' WHERE AutoID = ?"_s, {id});
    entry->LoadRows(u"01"_s);
    row = rowOf(id);
    EXPECT_EQ(grid().text(row, Col::PlanPrice), u"4100.00"_s);
    EXPECT_EQ(grid().text(row, Col::PlanAmount), u"10250.00"_s);

    pick(u"02"_s);  // 先进先出法: no planned columns
    const qint64 fifo = insertOpening(u"02"_s, u"1101"_s, u"1.005"_s, u"2.675"_s, u"2.69"_s);
    entry->LoadRows(u"02"_s);
    row = rowOf(fifo);
    EXPECT_EQ(grid().text(row, Col::Quantity), u"1.01"_s);
    EXPECT_EQ(grid().text(row, Col::UnitCost), u"2.68"_s);
    EXPECT_EQ(grid().text(row, Col::PlanPrice), QString());
    EXPECT_EQ(grid().text(row, Col::PlanAmount), QString());
    EXPECT_FALSE(entry->planColumnsVisible());
}

// Catches: the warehouse's method applied to every row under per-item accounting,
// or the item's method used under per-warehouse accounting.
TEST_P(OpeningLoadTest, PerItemAccountingTakesTheMethodOfEachRow) {
    db().exec(u"UPDATE Inventory SET cValueType = '计划价法' WHERE cInvCode = '1101'"_s);
    const qint64 planned = insertOpening(u"02"_s, u"1101"_s, u"10"_s, u"8"_s, u"80"_s);
    const qint64 fifo = insertOpening(u"02"_s, u"1102"_s, u"10"_s, u"6"_s, u"60"_s);
    open();
    pick(u"02"_s);
    EXPECT_EQ(entry->valuationLabel(), u"计价方式：先进先出法"_s);
    EXPECT_EQ(grid().text(rowOf(planned), Col::PlanPrice), QString());

    setParam("IA", "cValueStyle", u"按存货核算"_s);
    open();
    pick(u"02"_s);
    EXPECT_EQ(entry->valuationLabel(), QString());
    EXPECT_EQ(grid().text(rowOf(planned), Col::PlanPrice), u"8.50"_s);
    EXPECT_EQ(grid().text(rowOf(planned), Col::PlanAmount), u"85.00"_s);
    EXPECT_EQ(grid().text(rowOf(fifo), Col::PlanPrice), QString());
}

// Catches: rights conditions missing from the load, so that the clerk sees
// warehouses and items he holds no right to.
TEST_P(OpeningLoadTest, ClerkSeesOnlyWarehousesAndItemsHeHoldsRightsTo) {
    const qint64 foreign = insertOpening(u"02"_s, u"3001"_s, u"1"_s, u"58"_s, u"58"_s);
    open();
    EXPECT_EQ(entry->warehouseItems().size(), 8);
    entry->LoadRows(u"05"_s);
    EXPECT_GT(grid().dataRowCount(), 0);
    pick(u"02"_s);
    EXPECT_GE(rowOf(foreign), 0);

    open(u"clerk"_s, u"clerk123"_s);
    QStringList whs;
    for (const QString& item : entry->warehouseItems()) whs << item.left(15).trimmed();
    EXPECT_EQ(whs, (QStringList{u"01"_s, u"02"_s, u"03"_s}));
    entry->LoadRows(u"05"_s);
    EXPECT_EQ(grid().dataRowCount(), 0);
    pick(u"02"_s);
    EXPECT_GT(grid().dataRowCount(), 0);
    EXPECT_EQ(rowOf(foreign), -1);
}

// Catches: the Save button shown, a command
// greyed without a reason, and the grid left editable while posted,
// or without a warehouse.
TEST_P(OpeningLoadTest, ToolbarAndReadOnlyState) {
    open();
    EXPECT_FALSE(entry->button(u"Save"_s)->visible);
    for (const QString& k : {u"Print"_s, u"Preview"_s, u"OutPut"_s})
        EXPECT_TRUE(entry->button(k)->enabled) << k.toStdString();
    EXPECT_TRUE(entry->button(u"Sum"_s)->enabled);
    EXPECT_TRUE(entry->button(u"Compare"_s)->enabled);
    EXPECT_EQ(entry->button(u"Keep"_s)->caption, u"记账"_s);
    EXPECT_TRUE(entry->gridReadOnly());  // no warehouse yet
    pick(u"02"_s);
    EXPECT_FALSE(entry->gridReadOnly());

    setParam("IA", "bQCAccount", u"true"_s);
    open();
    const ToolButton* keep = entry->button(u"Keep"_s);
    EXPECT_EQ(keep->caption, u"恢复"_s);
    EXPECT_EQ(keep->image, u"Restore"_s);
    EXPECT_EQ(keep->toolTip, u"恢复记账"_s);
    pick(u"02"_s);
    EXPECT_TRUE(entry->gridReadOnly());
    // Nothing followed the openings, so 恢复 may be used and cancels.
    entry->Dispatch(u"Keep"_s);
    EXPECT_EQ(sink.last(), u"恢复期初记账成功！"_s);
    EXPECT_FALSE(entry->gridReadOnly());
}

QC_DB_SUITE(OpeningLoadTest);

}  // namespace
}  // namespace qc
