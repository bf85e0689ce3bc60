// The toolbar, shortcut and menu commands of the opening entry window.

#include "host/Users.h"
#include "platform/Dialect.h"
#include "platform/ScratchDb.h"
#include "shared/AccountParams.h"
#include "shared/OutputCommands.h"
#include "support/OpeningFixture.h"

using namespace Qt::StringLiterals;

namespace qc {
namespace {

namespace Col = opening::Col;

class OpeningCommandsTest : public test::OpeningFixture {
  protected:
    // Planned-price 01, FIFO 02, specific identification 05 with two openings and an
    // empty 08; the clerk changes 01 and 02 and reads 03.
    void buildAccount() override {
        test::AccountBuilder account(db());
        account.warehouses({"01", "02", "03", "05", "08"})
            .items({"1001", "1011", "1012", "1101", "2011", "3001"});
        account.opening({u"02"_s, u"1101"_s, u"40"_s, u"8.30"_s, u"332"_s});
        account.opening({u"05"_s, u"2011"_s, u"1"_s, u"98000"_s, u"98000"_s});
        account.opening({u"05"_s, u"2011"_s, u"2"_s, u"97500"_s, u"195000"_s});
        account.clerkHolds({u"01"_s, u"02"_s, u"03"_s}, {u"01"_s, u"02"_s}, {u"06"_s},
                           {u"1001"_s, u"1101"_s});
    }
};

// Catches: deleting without asking or after Cancel, a grid row removed while the
// database keeps it, stale totals, and a totals row left behind the last row.
TEST_P(OpeningCommandsTest, DeleteAsksAndRemovesTheStoredRow) {
    open();
    pick(u"05"_s);
    ASSERT_GT(grid().dataRowCount(), 1);
    const int rows = grid().dataRowCount();
    const qint64 id = grid().text(0, Col::AutoId).toLongLong();

    sink.script(MsgAnswer::Cancel);
    entry->Shortcut(u'd', 0);
    EXPECT_EQ(sink.entries().size(), 1);
    EXPECT_EQ(sink.entries().first().text, u"确认删除吗？"_s);
    EXPECT_EQ(sink.entries().first().buttons, MsgButtons::OkCancel);
    EXPECT_EQ(grid().dataRowCount(), rows);
    EXPECT_EQ(count(u"AutoID = ?"_s, {id}), 1);

    sink.script(MsgAnswer::Ok);
    entry->setCurrentRow(0);
    entry->Dispatch(u"Delete"_s);
    EXPECT_EQ(count(u"AutoID = ?"_s, {id}), 0);
    ASSERT_EQ(grid().dataRowCount(), rows - 1);
    const Decimal left = Decimal::fromVariant(db().scalar(
        u"SELECT SUM(iAInQuantity) FROM IA_Subsidiary WHERE cWhCode = '05' AND cVouType = '34'"_s));
    EXPECT_EQ(grid().text(grid().totalsRow(), Col::Quantity), left.toString(2));
    EXPECT_TRUE(entry->bDirty);

    while (grid().dataRowCount() > 0) entry->mnuDelete(0);
    EXPECT_EQ(grid().rowCount(), 0);
    EXPECT_FALSE(grid().hasTotals());
    EXPECT_EQ(count(u"cWhCode = '05'"_s), 0);
}

// Catches: Add without the function right, and deleting a row of an item or a
// department the operator may only read.
TEST_P(OpeningCommandsTest, RightsRefuseAddAndDelete) {
    Users::createUser(db(), u"viewer"_s, u"查看员"_s, u"pw"_s, false);
    Users::grantFunction(db(), u"viewer"_s, u"ASM310101"_s);
    open(u"viewer"_s, u"pw"_s);
    pick(u"02"_s);
    const int rows = grid().dataRowCount();
    entry->Dispatch(u"Add"_s);
    EXPECT_EQ(sink.texts(), QStringList{u"您没有这个权限！"_s});
    EXPECT_EQ(grid().dataRowCount(), rows);

    // The clerk may read item 3001 but not change it.
    const QString iid = db().scalar(u"SELECT iId FROM Inventory WHERE cInvCode = '3001'"_s).toString();
    Users::grantData(db(), u"clerk"_s, u"Inventory"_s, iid, false);
    const qint64 id = insertOpening(u"02"_s, u"3001"_s, u"1"_s, u"58"_s, u"58"_s);
    open(u"clerk"_s, u"clerk123"_s);
    pick(u"02"_s);
    const int row = rowOf(id);
    ASSERT_GE(row, 0);
    entry->mnuDelete(row);
    EXPECT_EQ(sink.last(), u"该存货不是您所管辖的存货，无权删除数据！"_s);
    EXPECT_EQ(sink.entries().last().icon, MsgIcon::Exclamation);
    EXPECT_EQ(count(u"AutoID = ?"_s, {id}), 1);
    EXPECT_EQ(rowOf(id), row);

    sink.clear();
    entry->Dispatch(u"Add"_s);
    EXPECT_TRUE(sink.entries().isEmpty());
    EXPECT_EQ(grid().text(grid().dataRowCount() - 1, Col::InvCode), QString());
}

// Catches: the selection limit off by one, rows added although the selection was
// refused, and the selection condition letting stopped items or unbound dates through.
TEST_P(OpeningCommandsTest, SelectTakesUpTo2500Items) {
    const Dialect& d = db().dialect();
    db().exec(QStringLiteral(
                  "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
                  "INSERT INTO Inventory (cInvCode, cInvName, cInvCCode, iId, bService, bInvType) "
                  "SELECT %1 || CAST(i AS VARCHAR(10)), %1 || CAST(i AS VARCHAR(10)), %1, 10000 + i, 0, 0 "
                  "FROM n")
                  .arg(d.typedText()),
              {2501, u"G"_s, u"G"_s, u"0102001"_s});
    QList<PickedRow> items;
    for (int i = 1; i <= 2501; ++i) items << PickedRow{{u"cinvcode"_s, u"G%1"_s.arg(i)}};
    open();
    pick(u"08"_s);
    const qint64 stored = count(u"1 = 1"_s);

    pickers.selection = items;
    entry->Dispatch(u"Select"_s);
    EXPECT_EQ(sink.texts(), QStringList{u"选择存货数据量大于2500条，请缩小选择范围！"_s});
    EXPECT_EQ(grid().dataRowCount(), 0);
    ASSERT_TRUE(pickers.lastCondition);
    EXPECT_TRUE(pickers.lastCondition->binds.contains(QVariant(QDate(2026, 1, 1))));

    sink.clear();
    items.removeLast();
    pickers.selection = items;
    entry->Dispatch(u"Select"_s);
    EXPECT_TRUE(sink.entries().isEmpty()) << sink.last().toStdString();
    ASSERT_EQ(grid().dataRowCount(), 2500);
    EXPECT_EQ(grid().text(0, Col::InvCode), u"G1"_s);
    EXPECT_EQ(grid().text(2499, Col::InvCode), u"G2500"_s);
    EXPECT_EQ(grid().text(grid().totalsRow(), Col::InvCode), u"合计："_s);
    EXPECT_EQ(count(u"1 = 1"_s), stored);
}

// Catches: the find dialog opened on an empty grid or while editing, find
// matching with case, sorting numbers as text, and Exit closing while editing or
// without the planned-price rounding.
TEST_P(OpeningCommandsTest, FindSortAndExit) {
    open();
    pick(u"08"_s);
    entry->Shortcut(u'F', -1);
    entry->Dispatch(u"Find"_s);
    EXPECT_EQ(window.finds, 0);

    insertOpening(u"08"_s, u"1012"_s, u"10"_s, u"19.4"_s, u"194"_s);
    insertOpening(u"08"_s, u"1011"_s, u"9"_s, u"73"_s, u"657"_s);
    entry->LoadRows(u"08"_s);
    window.editing = true;
    entry->Shortcut(u'f', -1);
    EXPECT_EQ(window.finds, 0);
    window.editing = false;
    entry->Shortcut(u'f', -1);
    EXPECT_EQ(window.finds, 1);
    EXPECT_EQ(entry->FindRow(u"电解铜"_s), 1);
    EXPECT_EQ(entry->FindRow(u"1012"_s), 0);
    db().exec(u"UPDATE Inventory SET cInvName = 'Alu' WHERE cInvCode = '1012'"_s);
    entry->LoadRows(u"08"_s);
    EXPECT_EQ(entry->FindRow(u"aLU"_s), 0);

    entry->setSortText(u"数量"_s);
    entry->Dispatch(u"Order"_s);
    EXPECT_EQ(grid().text(0, Col::Quantity), u"9.00"_s);
    entry->Dispatch(u"ROrder"_s);
    EXPECT_EQ(grid().text(0, Col::Quantity), u"10.00"_s);

    const qint64 planned = insertOpening(u"01"_s, u"1001"_s, u"2"_s, u"1"_s, u"2"_s);
    window.editing = true;
    entry->Dispatch(u"Exit"_s);
    EXPECT_EQ(window.closes, 0);
    window.editing = false;
    entry->Dispatch(u"Exit"_s);
    EXPECT_EQ(window.closes, 1);
    EXPECT_EQ(storedNumber(planned, u"iAInPrice"_s), Decimal(8400));
}

// Catches: Save reporting success for a grid that fails the whole-grid check, and
// the window's context closed while a cell is being edited, or left open after closing.
TEST_P(OpeningCommandsTest, SaveChecksEveryRowAndUnloadReleasesTheContext) {
    open();
    pick(u"02"_s);
    entry->bDirty = true;
    entry->Dispatch(u"Save"_s);
    EXPECT_EQ(sink.texts(), QStringList{u"保存成功！"_s});
    EXPECT_FALSE(entry->bDirty);

    sink.clear();
    addRow({{Col::InvCode, u"1101"_s}, {Col::Quantity, u"-3"_s}});
    entry->bDirty = true;
    entry->Dispatch(u"Save"_s);
    EXPECT_EQ(sink.texts(),
              (QStringList{u"先进先出/后进先出法仓库相同存货数量必须同正同负！"_s, u"保存不成功！"_s}));

    window.editing = true;
    EXPECT_FALSE(entry->Unload());
    EXPECT_TRUE(ctx.gDb);
    window.editing = false;
    EXPECT_TRUE(entry->Unload());
    EXPECT_FALSE(ctx.gDb);
}

// Catches: print tables named without the instance number or clashing between
// prints, rows left from an earlier print, and a header or footer that does not
// come from what was stored.
TEST_P(OpeningCommandsTest, PrintSetUpBuildsItsHeaderAndFooterTables) {
    open();
    pick(u"02"_s);
    ctx.gInstanceNo = u"47;11"_s;
    EXPECT_THROW(entry->PreparePrint(u"仓库："_s, u"原料二库"_s), DbError);
    ctx.gInstanceNo = u"4711"_s;
    const opening::PrintSetup first = entry->PreparePrint(u"仓库："_s, u"原料二库"_s);
    const opening::PrintSetup second = entry->PreparePrint(u"仓库："_s, u"原料二库"_s);
    const QRegularExpression named(u"^q[0-9a-f]{16}[1-9][0-9]{0,3}(InitHead|InitTail)4711$"_s);
    for (const QString& table : {first.headerTable, first.footerTable, second.headerTable}) {
        EXPECT_TRUE(named.match(table).hasMatch()) << table.toStdString();
    }
    EXPECT_NE(first.headerTable, second.headerTable);
    EXPECT_TRUE(first.headerTable.contains(u"InitHead"_s));
    EXPECT_TRUE(first.footerTable.contains(u"InitTail"_s));
    ASSERT_TRUE(ctx.gTempMdb);
    Database& scratch = ctx.gTempMdb->db();
    for (const QString& table : {second.headerTable, second.footerTable})
        EXPECT_EQ(scratch.scalar(u"SELECT COUNT(*) FROM "_s + table).toInt(), 1);
    EXPECT_EQ(scratch.scalar(u"SELECT cName FROM "_s + second.headerTable).toString(), u"原料二库(02)"_s);

    EXPECT_EQ(second.header, QStringList{u"仓库：原料二库(02)"_s});
    const QString date = login->LoginDate().toString(u"yyyy-MM-dd"_s);
    EXPECT_EQ(second.footer, QStringList{PrintFooterLine(UnitName(ctx), login->UserName(), date)});
    EXPECT_FALSE(UnitName(ctx).isEmpty());
}

QC_DB_SUITE(OpeningCommandsTest);

}  // namespace
}  // namespace qc
