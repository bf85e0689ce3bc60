// The row checks of the opening entry window and the storage of a row as an
// opening row of IA_Subsidiary, checked in the database.

#include "opening/Posting.h"
#include "support/OpeningFixture.h"

using namespace Qt::StringLiterals;

namespace qc {
namespace {

namespace Col = opening::Col;

class OpeningRowsTest : public test::OpeningFixture {
  protected:
    // Planned-price 01, FIFO 02 (department 06), monthly-average 03, specific
    // identification 05 and selling-price 06, with stored openings in 02 and 03.
    void buildAccount() override {
        test::AccountBuilder account(db());
        account.warehouses({"01", "02", "03", "05", "06"})
            .items({"1001", "1002", "1101", "1102", "2002", "2011", "3011"});
        account.opening({u"02"_s, u"1101"_s, u"40"_s, u"8.30"_s, u"332"_s});
        account.opening({u"02"_s, u"1101"_s, u"25"_s, u"8.10"_s, u"202.5"_s});
        account.opening({u"03"_s, u"2002"_s, u"3"_s, u"860"_s, u"2580"_s});
    }
    qint64 idOf(int row) { return grid().text(row, Col::AutoId).toLongLong(); }
};

// Catches: a window loaded before another copy posted the openings storing a new
// row beside the posted ones, changing a posted row or deleting one (the ledger's
// summaries would no longer match the openings).
TEST_P(OpeningRowsTest, AWindowOpenBeforeAPostingElsewhereNoLongerWrites) {
    // Another copy posts or cancels, on its own connections.
    const auto elsewhere = [this](bool post) {
        QString err;
        auto otherLogin =
            VqLogin::login({conn(), u"001"_s, 2026, u"demo"_s, u"demo123"_s, QDate(2026, 1, 1), {}}, &err);
        ASSERT_TRUE(otherLogin) << err.toStdString();
        LoginContext other;
        RecordingSink otherSink;
        other.sink = &otherSink;
        other.scratchFolder = folder();
        openContext(other, *otherLogin, false, ConnectionMode::Reconnect);
        opening::Posting posting(other);
        if (post)
            EXPECT_NO_THROW(posting.PostOpenings());
        else
            posting.CancelPosting();
        closeContext(other);
    };

    open();
    pick(u"03"_s);  // 全月平均法
    ASSERT_GT(grid().dataRowCount(), 0);
    const qint64 firstId = idOf(0);
    const int typed = addRow({{Col::InvCode, u"2002"_s}, {Col::Quantity, u"5"_s}, {Col::Amount, u"4300"_s}});
    elsewhere(true);
    const qint64 rows = count(u"cVouType = '34'"_s);
    EXPECT_FALSE(leave(typed));
    EXPECT_EQ(sink.texts(), QStringList{u"期初已经记账！"_s});
    EXPECT_EQ(sink.entries().value(0).icon, MsgIcon::Exclamation);
    EXPECT_EQ(count(u"cVouType = '34'"_s), rows);
    EXPECT_EQ(count(u"cVouType = '34' AND cAccounter IS NULL"_s), 0);
    EXPECT_TRUE(entry->bPosted);  // the window now shows the posted state

    elsewhere(false);
    open();
    pick(u"03"_s);
    const QVariant quantity = stored(firstId, u"iAInQuantity"_s);
    grid().setText(0, Col::Quantity, u"99"_s);
    elsewhere(true);
    EXPECT_FALSE(leave(0));
    EXPECT_EQ(stored(firstId, u"iAInQuantity"_s), quantity);

    elsewhere(false);
    open();
    pick(u"03"_s);
    elsewhere(true);
    sink.script(MsgAnswer::Ok);
    entry->mnuDelete(0);
    EXPECT_EQ(sink.texts(), (QStringList{u"确认删除吗？"_s, u"期初已经记账！"_s}));
    EXPECT_EQ(count(u"AutoID = ?"_s, {firstId}), 1);
    EXPECT_EQ(grid().text(0, Col::AutoId), QString::number(firstId));
}

// Catches: the empty-row check applied under the planned-price method, where the
// amount follows from the planned price, or skipped under the other methods.
TEST_P(OpeningRowsTest, RowWithoutQuantityAndAmountDependsOnTheMethod) {
    open();
    pick(u"02"_s);  // 先进先出法
    const qint64 before = count(u"cWhCode = '02'"_s);
    int row = addRow({{Col::InvCode, u"1101"_s}, {Col::UnitCost, u"8.30"_s}, {Col::Quantity, u"0"_s}});
    EXPECT_FALSE(leave(row));
    EXPECT_EQ(sink.texts(), QStringList{u"数量和金额不允许都为空或0"_s});
    EXPECT_EQ(sink.entries().first().icon, MsgIcon::Critical);
    EXPECT_EQ(count(u"cWhCode = '02'"_s), before);

    pick(u"01"_s);  // 计划价法
    row = addRow({{Col::InvCode, u"1001"_s}, {Col::UnitCost, u"4200"_s}});
    EXPECT_TRUE(leave(row)) << sink.last().toStdString();
    EXPECT_EQ(stored(idOf(row), u"cInvCode"_s).toString(), u"1001"_s);
}

// Catches: the sign rule not comparing with the other rows of the item, applied
// outside FIFO and LIFO warehouses, or left out of the whole-grid check.
TEST_P(OpeningRowsTest, FifoRowsOfOneItemMustShareTheirSign) {
    open();
    pick(u"02"_s);  // 先进先出法
    const int plus = addRow({{Col::InvCode, u"1102"_s}, {Col::Quantity, u"5"_s}, {Col::Amount, u"30"_s}});
    ASSERT_TRUE(leave(plus));
    const int minus = addRow({{Col::InvCode, u"1102"_s}, {Col::Quantity, u"-2"_s}, {Col::Amount, u"-12"_s}});
    EXPECT_FALSE(leave(minus));
    EXPECT_EQ(sink.last(), u"先进先出/后进先出法仓库相同存货数量必须同正同负！"_s);
    EXPECT_EQ(grid().text(minus, Col::AutoId), QString());
    EXPECT_EQ(count(u"cWhCode = '02' AND cInvCode = '1102' AND iAInQuantity < 0"_s), 0);
    sink.clear();
    EXPECT_FALSE(entry->CheckAllRows());
    EXPECT_EQ(sink.last(), u"先进先出/后进先出法仓库相同存货数量必须同正同负！"_s);

    pick(u"03"_s);  // 全月平均法
    const int a = addRow({{Col::InvCode, u"2002"_s}, {Col::Quantity, u"5"_s}, {Col::Amount, u"4300"_s}});
    const int b = addRow({{Col::InvCode, u"2002"_s}, {Col::Quantity, u"-2"_s}, {Col::Amount, u"-1720"_s}});
    EXPECT_TRUE(leave(a));
    EXPECT_TRUE(leave(b));
    EXPECT_EQ(count(u"cWhCode = '03' AND cInvCode = '2002' AND iAInQuantity IN (5, -2)"_s), 2);
    EXPECT_TRUE(entry->CheckAllRows());
}

// Catches: an empty date stored as null or as the start date, a quantity with
// thousands separators cut at the first comma, quotes doubled or breaking the
// statement, the insert keeping commas in user-defined texts, and the department
// of the warehouse missing under department accounting.
TEST_P(OpeningRowsTest, InsertStoresTheValuesAsTheRowsRulesSay) {
    setParam("IA", "cValueStyle", u"按部门核算"_s);
    open();
    pick(u"02"_s);  // its department is 06
    const int row = addRow({{Col::InvCode, u"1101"_s},
                            {Col::Quantity, u"1,234.5"_s},
                            {Col::UnitCost, u"8.30"_s},
                            {Col::Amount, u"10,246.35"_s},
                            {Col::Batch, u"O'B \"7\""_s},
                            {Col::Define1, u"HT,2026"_s},
                            {Col::Define22 + 4, u"1,5"_s}});
    ASSERT_TRUE(leave(row)) << sink.last().toStdString();
    const qint64 id = idOf(row);
    ASSERT_GT(id, 0);
    EXPECT_EQ(storedNumber(id, u"iAInQuantity"_s), *Decimal::parse(u"1234.5"_s));
    EXPECT_EQ(storedNumber(id, u"iAInPrice"_s), *Decimal::parse(u"10246.35"_s));
    EXPECT_EQ(dateOf(stored(id, u"dVouDate"_s)), QDate(2025, 12, 31));
    EXPECT_EQ(stored(id, u"cBatchCode"_s).toString(), u"O'B \"7\""_s);
    EXPECT_EQ(stored(id, u"cDefine1"_s).toString(), u"HT2026"_s);
    EXPECT_EQ(storedNumber(id, u"cDefine26"_s), Decimal(15));
    EXPECT_EQ(stored(id, u"cDepCode"_s).toString(), u"06"_s);
    EXPECT_EQ(stored(id, u"iMonth"_s).toInt(), 0);
    EXPECT_EQ(stored(id, u"cVouType"_s).toString(), u"34"_s);
    EXPECT_TRUE(stored(id, u"cVenCode"_s).isNull());
    // The row shows what was stored: the default date, the numbers as loaded.
    EXPECT_EQ(grid().text(row, Col::VouDate), u"2025/12/31"_s);
    EXPECT_EQ(grid().text(row, Col::Quantity), u"1234.50"_s);
    EXPECT_EQ(grid().text(row, Col::Define1), u"HT2026"_s);
}

// Catches: an update that inserts a second row, loses the AutoID, or writes the
// user-defined texts without their commas; a user-defined number kept as text.
TEST_P(OpeningRowsTest, LeavingAStoredRowUpdatesIt) {
    open();
    pick(u"02"_s);
    const qint64 rows = count(u"1 = 1"_s);
    const int row = 1;
    const qint64 id = idOf(row);
    grid().setText(row, Col::Quantity, u"7"_s);
    grid().setText(row, Col::Amount, u"70"_s);
    grid().setText(row, Col::VouDate, u"2025/11/30"_s);
    grid().setText(row, Col::Define1, u"HT,9"_s);
    grid().setText(row, Col::Define1 + 4, u"12.6"_s);  // cDefine5, a whole number
    ASSERT_TRUE(leave(row)) << sink.last().toStdString();
    EXPECT_EQ(count(u"1 = 1"_s), rows);
    EXPECT_EQ(idOf(row), id);
    EXPECT_EQ(storedNumber(id, u"iAInQuantity"_s), Decimal(7));
    EXPECT_EQ(storedNumber(id, u"iAInPrice"_s), Decimal(70));
    EXPECT_EQ(dateOf(stored(id, u"dVouDate"_s)), QDate(2025, 11, 30));
    EXPECT_EQ(stored(id, u"cDefine1"_s).toString(), u"HT,9"_s);
    EXPECT_EQ(storedNumber(id, u"cDefine5"_s), Decimal(13));
}

// Catches: a lost update, where a row another copy changed since this window
// showed it is overwritten by the values this window showed, or an edit of a row
// another copy deleted reported as stored while nothing was written.
TEST_P(OpeningRowsTest, ARowChangedOrDeletedElsewhereIsNotOverwritten) {
    open();
    pick(u"02"_s);
    const auto typeCell = [&](int row, int col, const QString& text) {
        QString value = text;
        bool cancel = false;
        entry->ValidateCell(value, cancel, row, col);
        ASSERT_FALSE(cancel) << sink.last().toStdString();
        grid().setText(row, col, value);
    };
    const qint64 id = idOf(0);
    typeCell(0, Col::Batch, u"B-1"_s);
    // The other copy changes the quantity while this window edits the batch.
    db().exec(u"UPDATE IA_Subsidiary SET iAInQuantity = 41, iAInPrice = 340.3 WHERE AutoID = ?"_s, {id});
    sink.clear();
    EXPECT_FALSE(leave(0));
    EXPECT_EQ(sink.texts(),
              QStringList{u"该行已被其他用户修改！现在显示的是修改后的数据，请重新录入您的修改。"_s});
    EXPECT_EQ(storedNumber(id, u"iAInQuantity"_s), Decimal(41));
    EXPECT_TRUE(stored(id, u"cBatchCode"_s).isNull());
    EXPECT_EQ(Decimal::fromText(grid().text(0, Col::Quantity)), Decimal(41));
    // Typed again over what is now shown, the edit is stored.
    typeCell(0, Col::Batch, u"B-1"_s);
    ASSERT_TRUE(leave(0)) << sink.last().toStdString();
    EXPECT_EQ(stored(id, u"cBatchCode"_s).toString(), u"B-1"_s);
    EXPECT_EQ(storedNumber(id, u"iAInQuantity"_s), Decimal(41));

    // The other copy deletes the second row: the edit is not lost, the row is
    // stored anew at the next leave.
    const qint64 gone = idOf(1);
    const qint64 rows = count(u"1 = 1"_s);
    typeCell(1, Col::Batch, u"B-2"_s);
    db().exec(u"DELETE FROM IA_Subsidiary WHERE AutoID = ?"_s, {gone});
    sink.clear();
    EXPECT_FALSE(leave(1));
    EXPECT_EQ(sink.texts(), QStringList{u"该行已被其他用户删除！再次保存时将作为新行存入。"_s});
    EXPECT_EQ(grid().text(1, Col::AutoId), QString());
    EXPECT_EQ(count(u"1 = 1"_s), rows - 1);
    ASSERT_TRUE(leave(1)) << sink.last().toStdString();
    EXPECT_EQ(count(u"1 = 1"_s), rows);
    EXPECT_EQ(stored(idOf(1), u"cBatchCode"_s).toString(), u"B-2"_s);
}

// Catches: the project check skipped after a group-A failure or when the rest of
// the row is valid, and group A reporting more than its first failure.
TEST_P(OpeningRowsTest, ProjectClassNeedsAProjectWhateverElseFails) {
    open();
    pick(u"02"_s);
    int row = addRow({{Col::InvCode, u"1101"_s},
                      {Col::Quantity, u"1"_s},
                      {Col::Amount, u"8"_s},
                      {Col::ItemClass, u"01"_s}});
    EXPECT_FALSE(leave(row));
    EXPECT_EQ(sink.texts(), QStringList{u"必须输入具体项目！"_s});

    sink.clear();
    row = addRow({{Col::UnitCost, u"-1"_s}, {Col::ItemClass, u"01"_s}});
    EXPECT_FALSE(leave(row));
    EXPECT_EQ(sink.texts(),
              (QStringList{u"存货不能为空！"_s, u"必须输入具体项目！"_s, u"数量和金额不允许都为空或0"_s}));

    sink.clear();
    grid().setText(row, Col::InvCode, u"1101"_s);
    grid().setText(row, Col::Quantity, u"1"_s);
    EXPECT_FALSE(leave(row));
    EXPECT_EQ(sink.texts(), (QStringList{u"单价必须大于等于零！"_s, u"必须输入具体项目！"_s}));
}

// Catches: negative quantities let through under specific identification and free
// items not required of an item that uses them.
TEST_P(OpeningRowsTest, SpecificIdentificationAndFreeItems) {
    open();
    pick(u"05"_s);  // 个别计价法
    const int row = addRow({{Col::InvCode, u"2011"_s}, {Col::Quantity, u"-1"_s}, {Col::Amount, u"98000"_s}});
    EXPECT_FALSE(leave(row));
    EXPECT_EQ(sink.texts(), QStringList{u"个别计价法不允许录入负数量！"_s});

    pick(u"06"_s);  // 售价法; 3011 uses free item 1 (颜色)
    const int free = addRow({{Col::InvCode, u"3011"_s}, {Col::Quantity, u"1"_s}, {Col::Amount, u"329"_s}});
    EXPECT_FALSE(leave(free));
    EXPECT_EQ(sink.last(), u"设置自由项的存货必须输入自由项！"_s);
    EXPECT_FALSE(entry->CheckAllRows());
    grid().setText(free, Col::Free1, u"红色"_s);
    EXPECT_TRUE(leave(free));
    EXPECT_EQ(stored(idOf(free), u"cFree1"_s).toString(), u"红色"_s);
}

// Catches: a text longer than its column stored (or truncated) on one database and
// refused on the other, a half-written row, and the row's AutoID or typed values lost.
TEST_P(OpeningRowsTest, AValueTheColumnCannotHoldIsRefusedAndNothingChanges) {
    open();
    pick(u"02"_s);
    const qint64 rows = count(u"1 = 1"_s);
    const QString tooLong(21, u'B');
    const int fresh = addRow({{Col::InvCode, u"1101"_s}, {Col::Quantity, u"1"_s}, {Col::Batch, tooLong}});
    EXPECT_FALSE(leave(fresh));
    EXPECT_EQ(sink.texts(), QStringList{u"数据超出允许范围"_s});
    EXPECT_EQ(grid().text(fresh, Col::Batch), tooLong);
    EXPECT_EQ(grid().text(fresh, Col::AutoId), QString());
    EXPECT_EQ(count(u"1 = 1"_s), rows);

    const qint64 id = idOf(0);
    const Decimal qty = storedNumber(id, u"iAInQuantity"_s);
    grid().setText(0, Col::Quantity, u"999"_s);
    grid().setText(0, Col::VenCode, QString(21, u'V'));
    EXPECT_FALSE(leave(0));
    EXPECT_EQ(storedNumber(id, u"iAInQuantity"_s), qty);
    EXPECT_EQ(grid().text(0, Col::AutoId), QString::number(id));
    EXPECT_EQ(grid().text(0, Col::Quantity), u"999"_s);
}

// Catches: rounding applied to rows of other methods or after posting, the cost
// not replaced by the planned price, and amounts rounded as binary numbers.
TEST_P(OpeningRowsTest, PlannedPriceRoundingRewritesCostAndAmount) {
    db().exec(u"UPDATE Inventory SET iInvRCost = 1.005 WHERE cInvCode = '1002'"_s);
    open();
    const qint64 planned = insertOpening(u"01"_s, u"1002"_s, u"3"_s, u"1"_s, u"3"_s);
    const qint64 fifo = insertOpening(u"02"_s, u"1101"_s, u"3"_s, u"1"_s, u"3"_s);
    entry->ApplyPlanPriceRounding();
    EXPECT_EQ(storedNumber(planned, u"iInCost"_s), *Decimal::parse(u"1.005"_s));
    EXPECT_EQ(storedNumber(planned, u"iAInPrice"_s), *Decimal::parse(u"3.03"_s));  // 1.01 x 3
    EXPECT_EQ(storedNumber(fifo, u"iInCost"_s), Decimal(1));
    EXPECT_EQ(storedNumber(fifo, u"iAInPrice"_s), Decimal(3));

    db().exec(u"UPDATE IA_Subsidiary SET iAInPrice = 1 WHERE AutoID = ?"_s, {planned});
    entry->bPosted = true;
    entry->ApplyPlanPriceRounding();
    EXPECT_EQ(storedNumber(planned, u"iAInPrice"_s), Decimal(1));
}

QC_DB_SUITE(OpeningRowsTest);

}  // namespace
}  // namespace qc
