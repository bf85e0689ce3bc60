// 导入 of opening rows: every problem of a file found in one run, in the words
// typing the same cells would get; all rows stored or none; the question before
// openings already there are replaced; the refusals before anything is read.

#include "host/AccPara.h"
#include "platform/SheetReader.h"
#include "platform/UnitSteps.h"
#include "support/OpeningFixture.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <map>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

namespace Col = opening::Col;
using Status = opening::ImportOutcome::Status;

class OpeningImportTest : public test::OpeningFixture {
  protected:
    // Planned price 01, first-in-first-out 02 (an opening of 1101), specific
    // identification 05; the clerk changes 01 and 02 and holds items 1001 and 1101.
    void buildAccount() override {
        test::AccountBuilder account(db());
        account.warehouses({"01", "02", "05", "08"}).items({"1001", "1011", "1101", "1102", "2011", "3001"});
        account.opening({u"02"_s, u"1101"_s, u"40"_s, u"8.30"_s, u"332"_s});
        account.clerkHolds({u"01"_s, u"02"_s}, {u"01"_s, u"02"_s}, {u"06"_s}, {u"1001"_s, u"1101"_s});
    }
    void TearDown() override {
        unitStepHook() = nullptr;
        OpeningFixture::TearDown();
    }
    opening::ImportOutcome import(const Sheet& sheet, std::optional<bool> overwrite = std::nullopt,
                                  bool dryRun = false) {
        opening::ImportRequest request;
        request.overwrite = overwrite;
        request.dryRun = dryRun;
        return entry->ImportSheet(sheet, request);
    }
    // What typing the row's cells left to right in warehouse `wh` says when the
    // cell of column `failing` is left.
    QString typedMessage(const QString& wh, const std::map<int, QString>& cells, int failing) {
        pick(wh);
        const int row = grid().addEmptyRow();
        QString said;
        for (const auto& [col, text] : cells) {
            sink.clear();
            QString value = text;
            bool cancel = false;
            entry->ValidateCell(value, cancel, row, col);
            if (col == failing) {
                said = sink.texts().join(u' ');
                break;
            }
        }
        grid().removeDataRow(row);
        return said;
    }
};

// Catches: an import that stops at the first bad row, a problem on the wrong line
// or column, words other than typing's, noise for cells that depend on a refused
// item, a row stored while others fail, and the sign rule of an item missed across
// rows.
TEST_P(OpeningImportTest, EveryProblemIsListedAtOnceAsTypingSaysIt) {
    open();
    pick(u"02"_s);
    const QStringList captions{u"存货编码"_s, u"数量"_s,     u"单价"_s, u"金额"_s,
                               u"入库日期"_s, u"部门编码"_s, u"仓库"_s};
    const QList<QStringList> rows{
        {u"1101"_s, u"10"_s, u"8.30"_s, {}, {}, {}, {}},           // 2 good
        {u"9999"_s, u"1"_s, u"x"_s, {}, {}, {}, {}},               // 3 item, and a bad price
        {u"1101"_s, u"abc"_s, {}, {}, {}, {}, {}},                 // 4 quantity
        {u"1101"_s, u"1"_s, u"-2"_s, {}, {}, {}, {}},              // 5 price
        {u"1101"_s, u"1"_s, u"1"_s, {}, u"2030-01-01"_s, {}, {}},  // 6 date
        {u"1101"_s, u"1"_s, u"1"_s, {}, {}, u"zz"_s, {}},          // 7 department
        {u"2011"_s, u"-1"_s, {}, u"98000"_s, {}, {}, u"05"_s},     // 8 specific, negative
        {u"1101"_s, {}, {}, {}, {}, {}, {}},                       // 9 nothing to store
        {{}, u"5"_s, u"1"_s, {}, {}, {}, {}},                      // 10 no item
        {u"1102"_s, u"5"_s, u"2"_s, {}, {}, {}, {}},               // 11 } one item, both
        {u"1102"_s, u"-3"_s, u"2"_s, {}, {}, {}, {}},              // 12 } signs
        {u"1101"_s, u"2"_s, u"8.30"_s, {}, {}, {}, u"99"_s},       // 13 warehouse
    };
    const qint64 before = count(u"1 = 1"_s);
    const opening::ImportOutcome out = import(test::sheetOf(captions, rows));
    ASSERT_EQ(out.status, Status::Problems) << out.message.toStdString();
    EXPECT_EQ(count(u"1 = 1"_s), before);

    QStringList got;
    for (const opening::ImportProblem& p : out.problems)
        got << u"%1|%2|%3"_s.arg(p.line).arg(p.caption, p.message);
    const QStringList expected{
        u"3|存货编码|存货不合法！"_s,
        u"3|单价|输入非法！"_s,
        u"4|数量|输入非法！"_s,
        u"5|单价|单价必须大于等于零！"_s,
        u"6|入库日期|入库日期必须小于本系统启用日期！"_s,
        u"7|部门编码|部门不合法！"_s,
        u"8|数量|个别计价法不允许录入负数量！"_s,
        u"9|数量|数量和金额不允许都为空或0"_s,
        u"10|存货编码|存货不能为空！"_s,
        u"11|数量|先进先出/后进先出法仓库相同存货数量必须同正同负！"_s,
        u"12|数量|先进先出/后进先出法仓库相同存货数量必须同正同负！"_s,
        u"13|仓库|仓库不合法或不是您所管辖的仓库！"_s,
    };
    EXPECT_EQ(got, expected);

    // The cell refusals are typing's own.
    for (const opening::ImportProblem& p : out.problems) {
        if (p.line < 3 || p.line > 8 || (p.line == 3 && p.caption == u"单价")) continue;
        const QStringList& r = rows.at(p.line - 2);
        std::map<int, QString> cells;
        const int columns[] = {Col::InvCode, Col::Quantity, Col::UnitCost,
                               Col::Amount,  Col::VouDate,  Col::DepCode};
        int failing = -1;
        for (int i = 0; i < 6; ++i) {
            if (!r.at(i).isEmpty()) cells[columns[i]] = r.at(i);
            if (captions.at(i) == p.caption) failing = columns[i];
        }
        EXPECT_EQ(typedMessage(r.at(6).isEmpty() ? u"02"_s : r.at(6), cells, failing), p.message) << p.line;
    }

    // A text longer than its column holds, beside a code with a leading zero kept
    // as it is (no such item: refused by its own text).
    const QString longBatch(10000, u'批');
    const opening::ImportOutcome lengths = import(test::sheetOf(
        {u"批号"_s, u"存货编码"_s, u"数量"_s}, {{longBatch, u"1101"_s, u"1"_s}, {{}, u"01101"_s, u"1"_s}}));
    ASSERT_EQ(lengths.problems.size(), 2);
    EXPECT_EQ(lengths.problems.at(0).caption, u"批号"_s);
    EXPECT_EQ(lengths.problems.at(0).text, longBatch);
    EXPECT_EQ(lengths.problems.at(0).message, u"数据超出允许范围"_s);
    EXPECT_EQ(lengths.problems.at(1).text, u"01101"_s);
    EXPECT_EQ(lengths.problems.at(1).message, u"存货不合法！"_s);

    // The clerk's rights: an item he does not hold is refused as typing refuses it.
    open(u"clerk"_s, u"clerk123"_s);
    pick(u"02"_s);
    const opening::ImportOutcome clerk =
        import(test::sheetOf({u"存货编码"_s, u"数量"_s}, {{u"3001"_s, u"1"_s}}));
    ASSERT_EQ(clerk.problems.size(), 1);
    EXPECT_EQ(clerk.problems.first().message,
              typedMessage(u"02"_s, {{Col::InvCode, u"3001"_s}}, Col::InvCode));
}

// Catches: an imported row that differs from the same row typed (planned prices
// and amounts of a planned-price warehouse, the derived figures), and an item
// named by its name not found or stored under another code.
TEST_P(OpeningImportTest, ARowImportedIsTheRowTyped) {
    open();
    pick(u"01"_s);
    // Typed cell by cell, each accepted as the grid accepts it, then the row left.
    const int typed = grid().addEmptyRow();
    for (const auto& [col, text] :
         {std::pair{int(Col::InvCode), u"1001"_s}, std::pair{int(Col::Quantity), u"3"_s},
          std::pair{int(Col::UnitCost), u"5.25"_s}}) {
        QString value = text;
        bool cancel = false;
        entry->ValidateCell(value, cancel, typed, col);
        ASSERT_FALSE(cancel) << col << sink.texts().join(u'|').toStdString();
    }
    ASSERT_TRUE(leave(typed)) << sink.texts().join(u'|').toStdString();
    const QString name = db().scalar(u"SELECT cInvName FROM Inventory WHERE cInvCode = '1001'"_s).toString();
    ASSERT_FALSE(name.isEmpty());
    const opening::ImportOutcome out =
        import(test::sheetOf({u"存货编码"_s, u"数量"_s, u"单价"_s}, {{name, u"3"_s, u"5.25"_s}}), false);
    ASSERT_EQ(out.status, Status::Stored) << out.message.toStdString();

    QSqlQuery rows = db().exec(u"SELECT * FROM IA_Subsidiary WHERE cWhCode = '01' ORDER BY AutoID"_s);
    QList<QSqlRecord> stored;
    while (rows.next()) stored << rows.record();
    ASSERT_EQ(stored.size(), 2);
    int compared = 0;
    for (int c = 0; c < stored.at(0).count(); ++c) {
        const QString column = stored.at(0).fieldName(c);
        if (column.compare(u"AutoID"_s, Qt::CaseInsensitive) == 0) continue;
        EXPECT_EQ(stored.at(0).value(c).toString(), stored.at(1).value(c).toString()) << column.toStdString();
        ++compared;
    }
    EXPECT_GT(compared, 20);
    EXPECT_EQ(stored.at(1).value(u"cInvCode"_s).toString(), u"1001"_s);
}

// Catches: a failure in the middle of storing that leaves some rows behind, kept
// openings replaced without asking (or the other way round), the sign rule
// forgetting the rows a kept warehouse holds, a dry run that stores, columns
// taken by position instead of caption, and a date stored as a day number.
TEST_P(OpeningImportTest, StoresAllRowsOrNoneAndAsksBeforeReplacing) {
    open();
    pick(u"02"_s);
    QList<QStringList> many;
    for (int i = 0; i < 700; ++i) many << QStringList{u"%1"_s.arg(i + 1), u"1101"_s, u"8.30"_s};
    const Sheet big = test::sheetOf({u"数量"_s, u"存货编码"_s, u"单价"_s}, many);

    // Replacing deletes the row there first; a failure after every new row was
    // written (the event that records them) brings it back and leaves none of them.
    int inserts = 0;
    unitStepHook() = [&inserts](const QString& step) {
        if (step == u"import/insert") ++inserts;
        if (step == u"import/audit") throw DbError(u"写入失败"_s);
    };
    const opening::ImportOutcome failed = import(big, true);
    EXPECT_EQ(failed.status, Status::Refused);
    EXPECT_EQ(failed.message, u"写入失败"_s);
    EXPECT_GE(inserts, 1);
    EXPECT_EQ(count(u"cWhCode = '02'"_s), 1);
    EXPECT_EQ(count(u"cWhCode = '02' AND cInvCode = '1101' AND iAInQuantity = 40"_s), 1);
    unitStepHook() = nullptr;

    EXPECT_EQ(import(big, false, true).status, Status::Checked);
    EXPECT_EQ(count(u"cWhCode = '02'"_s), 1);

    // Cancelled while it checks: nothing stored, and it was told how far it got.
    opening::ImportRequest cancelling;
    int told = 0;
    cancelling.progress = [&told](int done, int total) {
        told = done;
        EXPECT_EQ(total, 700);
        return false;
    };
    EXPECT_EQ(entry->ImportSheet(big, cancelling).status, Status::Cancelled);
    EXPECT_GT(told, 0);
    EXPECT_EQ(count(u"cWhCode = '02'"_s), 1);

    sink.script(MsgAnswer::No);
    const opening::ImportOutcome kept = import(big);
    ASSERT_EQ(kept.status, Status::Stored) << kept.message.toStdString();
    EXPECT_EQ(kept.message, u"导入成功：700 行"_s);
    EXPECT_EQ(sink.texts(), QStringList{u"该仓库已存在期初数据，您要覆盖原来的数据吗？"_s});
    EXPECT_EQ(count(u"cWhCode = '02'"_s), 701);
    EXPECT_EQ(grid().dataRowCount(), 701);
    EXPECT_EQ(
        Decimal::fromVariant(db().scalar(u"SELECT SUM(iAInPrice) FROM IA_Subsidiary WHERE cWhCode = '02'"_s)),
        Decimal::fromText(u"332"_s) + Decimal::fromText(u"8.30"_s) * Decimal(700 * 701 / 2));

    // A return of 1101 beside the kept receipts breaks the sign rule; replacing them does not.
    const Sheet back = test::sheetOf({u"入库日期"_s, u"存货编码"_s, u"备注"_s, u"数量"_s, u"金额"_s},
                                     {{u"46022"_s, u"1101"_s, {}, u"-5"_s, u"-41.5"_s}});
    const opening::ImportOutcome unknown = import(back, false);
    ASSERT_EQ(unknown.status, Status::Problems);
    ASSERT_EQ(unknown.problems.size(), 1);
    EXPECT_EQ(unknown.problems.first().message, u"无法识别的列"_s);
    EXPECT_EQ(unknown.problems.first().caption, u"备注"_s);

    Sheet known = back;
    known.captions.removeAt(2);
    known.rows.first().cells.removeAt(2);
    const opening::ImportOutcome signs = import(known, false);
    ASSERT_EQ(signs.status, Status::Problems);
    EXPECT_EQ(signs.problems.first().message, u"先进先出/后进先出法仓库相同存货数量必须同正同负！"_s);
    const opening::ImportOutcome replaced = import(known, true);
    ASSERT_EQ(replaced.status, Status::Stored) << replaced.message.toStdString();
    EXPECT_EQ(count(u"cWhCode = '02'"_s), 1);
    EXPECT_EQ(dateOf(db().scalar(u"SELECT dVouDate FROM IA_Subsidiary WHERE cWhCode = '02'"_s)),
              QDate(2025, 12, 31));

    // Posted openings take no import.
    accParaOf(ctx).SetPosted(u"IA"_s, true);
    const opening::ImportOutcome posted = import(known, true);
    EXPECT_EQ(posted.status, Status::Refused);
    EXPECT_EQ(posted.message, u"期初已经记账！"_s);
    EXPECT_EQ(count(u"cWhCode = '02'"_s), 1);
}

QC_DB_SUITE(OpeningImportTest);

}  // namespace
}  // namespace qc
