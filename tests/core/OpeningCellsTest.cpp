// The cell rules of the opening entry window, on the demo account: what a typed or
// picked value becomes, what it fills, and what is refused with which message.

#include "core/ConditionFixture.h"
#include "support/OpeningFixture.h"

using namespace Qt::StringLiterals;

namespace qc {
namespace {

namespace Col = opening::Col;

// The reference windows answer from their real list query; the date picker from `date`.
class CellPickers : public test::ScriptedPickers {
  public:
    std::optional<QDate> date;
    std::optional<QDate> pickDate(const QDate&) override { return date; }
};

class OpeningCellsTest : public test::OpeningFixture {
  protected:
    // Warehouses 01 to 06, one per valuation method; stock items of each kind beside
    // a service (9001), a non-stock item (9011), stopped items (1007, 1116, 3017), an
    // item without planned price (1015) or selling price (3016) and one without a
    // method (5013); openings in 01 (one with price differences) and 02. The clerk
    // changes 01 and 02, reads 03 and holds the items of classes 01 and 02.
    void buildAccount() override {
        test::AccountBuilder account(db());
        account.warehouses({"01", "02", "03", "04", "05", "06"})
            .items({"1001", "1007", "1015", "1101", "1102", "1103", "1116", "2001", "2002", "2003", "2011",
                    "3001", "3016", "3017", "5001", "5013", "9001", "9011"});
        account.opening({u"01"_s, u"1001"_s, u"3"_s, u"4200"_s, u"12600"_s});
        account.opening({.warehouse = u"01"_s,
                         .item = u"1001"_s,
                         .quantity = u"2"_s,
                         .unitCost = u"4200"_s,
                         .amount = u"8400"_s,
                         .debitDifference = u"50"_s});
        account.opening({u"02"_s, u"1101"_s, u"40"_s, u"8.30"_s, u"332"_s});
        account.clerkHolds({u"01"_s, u"02"_s, u"03"_s}, {u"01"_s, u"02"_s}, {u"0401"_s, u"0402"_s, u"06"_s},
                           {u"1001"_s, u"1007"_s, u"1015"_s, u"1101"_s, u"1102"_s, u"1103"_s, u"1116"_s,
                            u"2001"_s, u"2002"_s, u"2003"_s, u"2011"_s});
    }
    // Logs in, opens the window with the reference windows above and picks warehouse `wh`.
    void openAt(const QString& wh, const QString& user = u"demo"_s, const QString& password = u"demo123"_s) {
        open(user, password);
        entry = std::make_unique<opening::OpeningEntry>(ctx, refs, window);
        entry->Load();
        pick(wh);
        ASSERT_FALSE(entry->gridReadOnly());
    }
    int newRow() { return grid().addEmptyRow(); }
    // Types `text` into a cell; the text the cell keeps, or nothing when refused.
    std::optional<QString> type(int row, int col, const QString& text) {
        QString value = text;
        bool cancel = false;
        entry->ValidateCell(value, cancel, row, col);
        if (cancel) return std::nullopt;
        return value;
    }
    QString cell(int row, int col) { return grid().text(row, col); }
    QString lastMessage() { return sink.last(); }

    CellPickers refs;
};

// Catches: a name or mnemonic code kept as typed instead of the item's code, the
// row not filled from the item, several items of one name resolved by chance, and
// services, non-stock items or stopped items (stop date on the login date
// included) let through.
TEST_P(OpeningCellsTest, AnItemIsFoundByCodeNameOrMnemonicAndOnlyStockItemsInUse) {
    openAt(u"02"_s);  // 先进先出法
    const int row = newRow();
    EXPECT_EQ(type(row, Col::InvCode, u"单片机"_s), u"1101"_s);
    EXPECT_EQ(cell(row, Col::InvName), u"单片机"_s);
    EXPECT_EQ(cell(row, Col::InvAddCode), u"MCU-F103"_s);
    EXPECT_EQ(cell(row, Col::Unit), u"个"_s);
    EXPECT_EQ(cell(row, Col::InvDefine1 + 1), u"ST"_s);  // brand
    EXPECT_EQ(cell(row, Col::UnitCost), u"8.30"_s);      // the reference price as a default

    EXPECT_EQ(type(row, Col::InvCode, u" IC-2110 "_s), u"1102"_s);
    EXPECT_EQ(type(row, Col::InvCode, u"三相异步电动机"_s), u"2001"_s);  // three items share the name
    EXPECT_EQ(type(row, Col::InvCode, u"1116"_s), u"1116"_s);            // stops after the login date

    const QStringList before = grid().dataRow(row);
    for (const QString& refused : {u"9001"_s, u"运输服务"_s, u"9011"_s, u"1007"_s, u"3017"_s, u"nope"_s}) {
        sink.clear();
        EXPECT_EQ(type(row, Col::InvCode, refused), std::nullopt) << refused.toStdString();
        EXPECT_EQ(lastMessage(), u"存货不合法！"_s) << refused.toStdString();
        EXPECT_EQ(grid().dataRow(row), before);
    }
}

// Catches: an item without planned (selling) price accepted under the planned and
// selling-price methods, the wrong word in the message, and the planned price not
// carried into the unit cost and the planned columns.
TEST_P(OpeningCellsTest, PlannedAndSellingPriceMethodsNeedThePrice) {
    openAt(u"01"_s);  // 计划价法
    int row = newRow();
    EXPECT_EQ(type(row, Col::InvCode, u"1015"_s), std::nullopt);
    EXPECT_EQ(lastMessage(), u"请在存货目录中录入该存货的计划单价，再录入它的期初！"_s);
    EXPECT_EQ(cell(row, Col::InvName), QString());

    EXPECT_EQ(type(row, Col::InvCode, u"圆钢"_s), u"1001"_s);
    EXPECT_EQ(type(row, Col::Quantity, u"2.5"_s), u"2.50"_s);
    EXPECT_EQ(cell(row, Col::UnitCost), u"4200.00"_s);
    EXPECT_EQ(cell(row, Col::PlanPrice), u"4200.00"_s);
    EXPECT_EQ(cell(row, Col::Amount), u"10500.00"_s);

    openAt(u"06"_s);  // 售价法
    row = newRow();
    EXPECT_EQ(type(row, Col::InvCode, u"3016"_s), std::nullopt);
    EXPECT_EQ(lastMessage(), u"请在存货目录中录入该存货的售价，再录入它的期初！"_s);
}

// Catches: under per-item accounting, an item without a valuation method accepted,
// the warehouse's method used instead of the item's, or the label not following
// the item of the current row.
TEST_P(OpeningCellsTest, PerItemAccountingFollowsTheItemsOwnMethod) {
    db().exec(
        u"UPDATE AccInformation SET cValue = '按存货核算' WHERE cSysID = 'IA' AND cName = 'cValueStyle'"_s);
    openAt(u"04"_s);  // a LIFO warehouse
    const int lifo = newRow();
    EXPECT_EQ(type(lifo, Col::InvCode, u"5013"_s), std::nullopt);
    EXPECT_EQ(lastMessage(), u"对不起，此存货没有设置计价方式！"_s);
    EXPECT_EQ(type(lifo, Col::InvCode, u"5001"_s), u"5001"_s);
    EXPECT_EQ(entry->valuationLabel(), u"存货计价方式：后进先出法"_s);

    const int planned = newRow();
    EXPECT_EQ(type(planned, Col::InvCode, u"1015"_s), std::nullopt);  // 计划价法 without a planned price
    EXPECT_EQ(lastMessage(), u"请在存货目录中录入该存货的计划单价，再录入它的期初！"_s);
    EXPECT_EQ(type(planned, Col::InvCode, u"1001"_s), u"1001"_s);
    EXPECT_EQ(entry->valuationLabel(), u"存货计价方式：计划价法"_s);
    EXPECT_EQ(cell(planned, Col::PlanPrice), u"4200.00"_s);

    entry->RowEntered(lifo);
    EXPECT_EQ(entry->valuationLabel(), u"存货计价方式：后进先出法"_s);
    EXPECT_EQ(type(lifo, Col::Quantity, u"-3"_s), u"-3.00"_s);
    entry->RowEntered(planned);
    EXPECT_EQ(entry->valuationLabel(), u"存货计价方式：计划价法"_s);
}

// Catches: negative quantities let through under specific identification or for
// tracked items (or refused for ordinary ones), the tracked-amount rule missing,
// and quantities typed with thousands separators cut at the separator.
TEST_P(OpeningCellsTest, NegativeQuantitiesAndAmounts) {
    openAt(u"05"_s);  // 个别计价法
    int row = newRow();
    EXPECT_EQ(type(row, Col::Quantity, u"1"_s), std::nullopt);
    EXPECT_EQ(lastMessage(), u"请输入存货！"_s);
    ASSERT_TRUE(type(row, Col::InvCode, u"2011"_s));
    EXPECT_EQ(type(row, Col::Quantity, u"-1"_s), std::nullopt);
    EXPECT_EQ(lastMessage(), u"个别计价法不允许录入负数量！"_s);
    EXPECT_EQ(type(row, Col::Quantity, u"abc"_s), std::nullopt);
    EXPECT_EQ(lastMessage(), u"输入非法！"_s);
    EXPECT_EQ(type(row, Col::Amount, u"-5"_s), std::nullopt);
    EXPECT_EQ(lastMessage(), u"非调整单，个别计价法不允许录入负金额！"_s);

    openAt(u"02"_s);  // 先进先出法
    row = newRow();
    ASSERT_TRUE(type(row, Col::InvCode, u"2011"_s));  // tracked
    EXPECT_EQ(type(row, Col::Quantity, u"-1"_s), std::nullopt);
    EXPECT_EQ(lastMessage(), u"跟踪型管理的存货不允许录入负数量！"_s);
    EXPECT_EQ(type(row, Col::Amount, u"-1"_s), std::nullopt);
    EXPECT_EQ(lastMessage(), u"进行跟踪型管理的存货不允许录入负金额！"_s);

    ASSERT_TRUE(type(row, Col::InvCode, u"1101"_s));
    EXPECT_EQ(type(row, Col::Quantity, u"-2"_s), u"-2.00"_s);
    EXPECT_EQ(type(row, Col::Quantity, u"1,234.5"_s), u"1234.50"_s);
    EXPECT_EQ(cell(row, Col::Amount), u"10246.35"_s);  // 1234.5 × 8.30
}

// Catches: rounding by truncation, to even or through binary floating point, and
// the unit cost and amount not following each other.
TEST_P(OpeningCellsTest, PricesAndAmountsRoundHalfAwayFromZero) {
    openAt(u"02"_s);
    const int row = newRow();
    ASSERT_TRUE(type(row, Col::InvCode, u"1103"_s));
    EXPECT_EQ(type(row, Col::UnitCost, u"0.125"_s), u"0.13"_s);
    EXPECT_EQ(type(row, Col::Quantity, u"3"_s), u"3.00"_s);
    EXPECT_EQ(cell(row, Col::Amount), u"0.39"_s);
    EXPECT_EQ(type(row, Col::Amount, u"10"_s), u"10.00"_s);
    EXPECT_EQ(cell(row, Col::UnitCost), u"3.33"_s);
    EXPECT_EQ(type(row, Col::Amount, u"1.005"_s), u"1.01"_s);
    EXPECT_EQ(type(row, Col::Amount, u"-2.345"_s), u"-2.35"_s);
    EXPECT_EQ(type(row, Col::UnitCost, u"-0.01"_s), std::nullopt);
    EXPECT_EQ(lastMessage(), u"单价必须大于等于零！"_s);

    // The totals row follows every accepted edit.
    const Decimal before = Decimal::fromText(cell(grid().totalsRow(), Col::Quantity));
    ASSERT_TRUE(type(row, Col::Quantity, u"10"_s));
    EXPECT_EQ(Decimal::fromText(cell(grid().totalsRow(), Col::Quantity)), before + Decimal(7));
}

// Catches: the difference columns left on a stored row whose quantity changes under
// the planned-price method, cleared on the wrong row, or only when the row is stored.
TEST_P(OpeningCellsTest, NewQuantityOfAStoredPlannedRowClearsItsDifferencesAtOnce) {
    openAt(u"01"_s);
    const QString differences = u"(iDebitDifCost IS NOT NULL OR iCreditDifCost IS NOT NULL)"_s;
    int row = 0;
    while (row < grid().dataRowCount() &&
           count(u"AutoID = ? AND "_s + differences, {cell(row, Col::AutoId).toLongLong()}) == 0)
        ++row;
    ASSERT_LT(row, grid().dataRowCount());
    const qint64 autoId = cell(row, Col::AutoId).toLongLong();
    const qint64 others = count(u"cWhCode = '01' AND iMonth = 0 AND "_s + differences) - 1;
    const Decimal storedQty = storedNumber(autoId, u"iAInQuantity"_s);

    ASSERT_TRUE(type(row, Col::Quantity, u"7"_s));
    EXPECT_EQ(count(u"AutoID = ? AND iDebitDifCost IS NULL AND iCreditDifCost IS NULL"_s, {autoId}), 1);
    EXPECT_EQ(count(u"cWhCode = '01' AND iMonth = 0 AND "_s + differences), others);
    EXPECT_EQ(storedNumber(autoId, u"iAInQuantity"_s), storedQty);  // the row is written when it is left
}

// Catches: the start date itself accepted as 入库日期, the early-date bound off by
// one, typed forms not understood, and the start-date rule applied to other dates.
TEST_P(OpeningCellsTest, Dates) {
    openAt(u"02"_s);
    const int row = newRow();
    EXPECT_EQ(type(row, Col::VouDate, u"2026-01-01"_s), std::nullopt);
    EXPECT_EQ(lastMessage(), u"入库日期必须小于本系统启用日期！"_s);
    EXPECT_EQ(type(row, Col::VouDate, u"2025-12-31"_s), u"2025/12/31"_s);
    EXPECT_EQ(type(row, Col::VouDate, u"20251130"_s), u"2025/11/30"_s);
    EXPECT_EQ(type(row, Col::VouDate, u"2025/2/3"_s), u"2025/02/03"_s);
    EXPECT_EQ(type(row, Col::VouDate, u"2025-02-30"_s), std::nullopt);
    EXPECT_EQ(lastMessage(), u"日期不合法！"_s);
    EXPECT_EQ(type(row, Col::VouDate, u"1949-01-01"_s), std::nullopt);
    EXPECT_EQ(lastMessage(), u"日期输入不合法"_s);
    EXPECT_EQ(type(row, Col::VouDate, u"1949-01-02"_s), u"1949/01/02"_s);
    EXPECT_EQ(type(row, Col::Define1 + 3, u"2026-03-01"_s), u"2026/03/01"_s);  // 交货日期

    refs.date = QDate(2025, 6, 30);
    entry->ReferenceClicked(row, Col::VouDate);
    EXPECT_EQ(cell(row, Col::VouDate), u"2025/06/30"_s);
}

// Catches: names not resolved to codes, non-end departments accepted, a person of
// another department taken without asking, and "No" not keeping the old value.
TEST_P(OpeningCellsTest, DepartmentPersonAndSupplier) {
    openAt(u"02"_s);
    const int row = newRow();
    EXPECT_EQ(type(row, Col::DepCode, u"04"_s), std::nullopt);  // not an end-level department
    EXPECT_EQ(lastMessage(), u"部门不合法！"_s);
    sink.clear();
    EXPECT_EQ(type(row, Col::DepCode, u"仓储部"_s), u"06"_s);
    EXPECT_EQ(type(row, Col::PersonCode, u"孙丽"_s), u"010"_s);  // of that department: no question
    EXPECT_TRUE(sink.entries().isEmpty());

    sink.script(MsgAnswer::No);
    EXPECT_EQ(type(row, Col::PersonCode, u"006"_s), std::nullopt);
    EXPECT_EQ(lastMessage(), u"部门无此业务员，是否继续？"_s);
    EXPECT_EQ(cell(row, Col::PersonCode), u"010"_s);
    EXPECT_EQ(cell(row, Col::PersonName), u"孙丽"_s);
    sink.script(MsgAnswer::Yes);
    EXPECT_EQ(type(row, Col::PersonCode, u"006"_s), u"006"_s);
    EXPECT_EQ(cell(row, Col::PersonName), u"陈晨"_s);

    EXPECT_EQ(type(row, Col::VenCode, u"华强电子"_s), u"V004"_s);
    EXPECT_EQ(cell(row, Col::VenName), u"华强电子"_s);
    EXPECT_EQ(type(row, Col::VenCode, u"V999"_s), std::nullopt);
    EXPECT_EQ(lastMessage(), u"供应商不合法！"_s);
    EXPECT_EQ(type(row, Col::InvHead, u"1403"_s), std::nullopt);  // not an end-level subject
    EXPECT_EQ(lastMessage(), u"存货科目不合法！"_s);
    EXPECT_EQ(type(row, Col::InvHead, u"电子元器件"_s), u"140302"_s);
}

// Catches: a project table taken from fitem and queried without checking it
// against the schema, the inventory table not used for "INVENTORY" classes, and
// a project accepted without a class.
TEST_P(OpeningCellsTest, ProjectsComeFromTheTableTheirClassNames) {
    openAt(u"02"_s);
    db().exec(
        u"INSERT INTO fitem (cItem_Class, cItem_Name, cTable) VALUES ('03', '坏表', 'no_such_table'), "
        "('04', '注入', 'fitemss01 WHERE 1=0; DROP TABLE Vendor; --')"_s);
    const int row = newRow();
    EXPECT_EQ(type(row, Col::ItemCode, u"YF001"_s), std::nullopt);
    EXPECT_EQ(lastMessage(), u"项目大类不合法！"_s);
    EXPECT_EQ(type(row, Col::ItemClass, u"09"_s), std::nullopt);
    EXPECT_EQ(lastMessage(), u"项目大类不合法！"_s);

    EXPECT_EQ(type(row, Col::ItemClass, u"01"_s), u"01"_s);
    EXPECT_EQ(cell(row, Col::ItemClassName), u"研发项目"_s);
    EXPECT_EQ(type(row, Col::ItemCode, u"YF002"_s), u"YF002"_s);
    EXPECT_EQ(cell(row, Col::ItemName), u"高效变频控制柜研发"_s);
    EXPECT_EQ(type(row, Col::ItemCode, u"1001"_s), std::nullopt);
    EXPECT_EQ(lastMessage(), u"项目不合法！"_s);

    EXPECT_EQ(type(row, Col::ItemClass, u"02"_s), u"02"_s);
    EXPECT_EQ(cell(row, Col::ItemCode), QString());  // the old class's project is gone
    EXPECT_EQ(type(row, Col::ItemCode, u"1001"_s), u"1001"_s);
    EXPECT_EQ(cell(row, Col::ItemName), u"圆钢"_s);

    for (const QString& cls : {u"03"_s, u"04"_s}) {
        ASSERT_TRUE(type(row, Col::ItemClass, cls));
        EXPECT_EQ(type(row, Col::ItemCode, u"YF001"_s), std::nullopt);
        EXPECT_EQ(lastMessage(), u"项目不合法！"_s);
        EXPECT_TRUE(entry->ReferenceQueryFor(row, Col::ItemCode, {}).list.isEmpty());
    }
    EXPECT_TRUE(db().tableExists(u"Vendor"_s));
}

// Catches: archive-checked items accepting values outside the archive, aliases not
// resolved, unchecked items refused, and numeric items taking text.
TEST_P(OpeningCellsTest, UserDefinedItemsAgainstTheirArchives) {
    openAt(u"03"_s);
    const int row = newRow();
    EXPECT_EQ(type(row, Col::Free1, u"红"_s), u"红色"_s);  // 颜色 is checked; 红 is an alias
    EXPECT_EQ(type(row, Col::Free1, u"紫色"_s), std::nullopt);
    EXPECT_EQ(lastMessage(), u"颜色不合法！"_s);
    EXPECT_EQ(type(row, Col::Free1 + 1, u"110V"_s), u"110V"_s);      // 电压等级 is not checked
    EXPECT_EQ(type(row, Col::Define1 + 4, u"1.5"_s), std::nullopt);  // cDefine5 holds whole numbers
    EXPECT_EQ(type(row, Col::Define22 + 4, u"x"_s), std::nullopt);   // cDefine26 is a number
    EXPECT_EQ(type(row, Col::Define22 + 4, u"0.85"_s), u"0.85"_s);

    // A free item the item does not use is cleared when the item is entered.
    ASSERT_TRUE(type(row, Col::InvCode, u"2002"_s));  // uses neither free item
    EXPECT_EQ(cell(row, Col::Free1), QString());
    EXPECT_EQ(cell(row, Col::Free1 + 1), QString());
}

// Catches: rights not checked on entry, on a row already holding an item or a
// department outside the operator's rights, or the reference offering such items.
TEST_P(OpeningCellsTest, TheOperatorsDataRights) {
    openAt(u"01"_s, u"clerk"_s, u"clerk123"_s);
    int row = newRow();
    EXPECT_EQ(type(row, Col::InvCode, u"3001"_s), std::nullopt);  // class 03
    EXPECT_EQ(lastMessage(), u"该存货不是您所管辖的存货，请重新录入！"_s);
    EXPECT_EQ(cell(row, Col::InvCode), QString());
    EXPECT_EQ(type(row, Col::DepCode, u"01"_s), std::nullopt);
    EXPECT_EQ(lastMessage(), u"该部门不是您所管辖的部门，请重新录入！"_s);
    EXPECT_EQ(type(row, Col::InvCode, u"1001"_s), u"1001"_s);

    // Rows as loaded from the database, outside the operator's rights.
    grid().setText(row, Col::DepCode, u"01"_s);
    EXPECT_FALSE(entry->cellEditable(row, Col::Quantity));
    EXPECT_EQ(type(row, Col::Quantity, u"1"_s), std::nullopt);
    EXPECT_EQ(lastMessage(), u"该部门不是您所管辖的部门，无权修改数据！"_s);
    row = newRow();
    grid().setText(row, Col::InvCode, u"3001"_s);
    EXPECT_FALSE(entry->cellEditable(row, Col::VouCode));
    EXPECT_EQ(type(row, Col::VouCode, u"X1"_s), std::nullopt);
    EXPECT_EQ(lastMessage(), u"该存货不是您所管辖的存货，无权修改数据！"_s);

    refs.pick.reset();
    entry->ReferenceClicked(newRow(), Col::InvCode);
    EXPECT_TRUE(refs.listed.contains(u"1001"_s));
    EXPECT_FALSE(refs.listed.contains(u"3001"_s));
    EXPECT_FALSE(entry->cellEditable(grid().totalsRow(), Col::Quantity));
    EXPECT_FALSE(entry->cellEditable(row, Col::InvName));
}

// Catches: a quote in the typed text breaking the reference query, a pick not
// written as code and name, and a refused pick changing the row.
TEST_P(OpeningCellsTest, ReferencePicksFillCodeAndName) {
    openAt(u"01"_s);
    const int row = newRow();
    grid().setText(row, Col::DepCode, u"O'Brien"_s);
    refs.pick.reset();
    entry->ReferenceClicked(row, Col::DepCode);
    EXPECT_EQ(refs.calls, 1);
    EXPECT_TRUE(refs.listed.isEmpty());
    EXPECT_EQ(cell(row, Col::DepCode), u"O'Brien"_s);

    grid().setText(row, Col::DepCode, u"销售"_s);
    refs.pick = u"0402"_s;
    entry->ReferenceClicked(row, Col::DepCode);
    EXPECT_EQ(refs.listed, (QStringList{u"0401"_s, u"0402"_s}));
    EXPECT_EQ(cell(row, Col::DepCode), u"0402"_s);
    EXPECT_EQ(cell(row, Col::DepName), u"华北销售部"_s);

    refs.pick = u"007"_s;
    grid().setText(row, Col::PersonCode, QString());
    entry->ReferenceClicked(row, Col::PersonCode);
    EXPECT_EQ(refs.listed, QStringList{u"007"_s});  // the persons of the row's department
    EXPECT_EQ(cell(row, Col::PersonName), u"杨帆"_s);

    const QStringList before = grid().dataRow(row);
    grid().setText(row, Col::InvCode, u"硅钢"_s);
    refs.pick = u"1015"_s;  // no planned price: refused under 计划价法
    entry->ReferenceClicked(row, Col::InvCode);
    EXPECT_EQ(lastMessage(), u"请在存货目录中录入该存货的计划单价，再录入它的期初！"_s);
    grid().setText(row, Col::InvCode, QString());
    EXPECT_EQ(grid().dataRow(row), before);
    refs.pick = u"1001"_s;
    entry->ReferenceClicked(row, Col::InvCode);
    EXPECT_EQ(cell(row, Col::InvCode), u"1001"_s);
    EXPECT_EQ(cell(row, Col::UnitCost), u"4200.00"_s);
}

QC_DB_SUITE(OpeningCellsTest);

}  // namespace
}  // namespace qc
