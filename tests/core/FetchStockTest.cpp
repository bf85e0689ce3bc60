// Taking the openings over from stock management (取数): the two ways of building
// the rows, the valuation rules, the command's questions and its atomicity.

#include "ledger/AccountEngine.h"

#include "domain/Vocabulary.h"
#include "host/Users.h"
#include "opening/FetchStock.h"
#include "opening/Posting.h"
#include "platform/UnitSteps.h"
#include "support/OpeningFixture.h"

#include <QSqlRecord>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

namespace Col = opening::Col;

class FetchStockTest : public test::OpeningFixture {
  protected:
    // Stock management one month ahead of inventory accounting: the openings are
    // computed from the documents instead of copied.
    void stockAhead() { db().exec(u"UPDATE GL_mEnd SET bFlag_ST = 1 WHERE iPeriod = 1"_s); }
    void warehouse(const QString& code, const QString& method) {
        db().exec(
            u"INSERT INTO Warehouse (cWhCode, cWhName, cDepCode, cWhValueStyle) VALUES (?, ?, '06', ?)"_s,
            {code, u"测试库"_s + code, method});
    }
    // A stock document with one line per (item, quantity, amount).
    void doc(const QString& wh, const QString& type, int rdFlag, const QDate& date,
             std::initializer_list<std::tuple<QString, QString, QString>> lines,
             const QString& dep = u"06"_s) {
        const int id = db().scalar(u"SELECT COALESCE(MAX(ID), 0) + 1 FROM RdRecord"_s).toInt();
        db().exec(
            u"INSERT INTO RdRecord (ID, bRdFlag, cVouchType, cWhCode, dDate, cCode, cDepCode, cMaker) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, '孙丽')"_s,
            {id, rdFlag, type, wh, date, u"T%1"_s.arg(id), dep});
        for (const auto& [inv, qty, amount] : lines) {
            const int line = db().scalar(u"SELECT COALESCE(MAX(AutoID), 0) + 1 FROM RdRecords"_s).toInt();
            db().exec(
                u"INSERT INTO RdRecords (AutoID, ID, cInvCode, iQuantity, iPrice, iFlag) "
                "VALUES (?, ?, ?, ?, ?, 0)"_s,
                {line, id, inv, Decimal::fromText(qty).toVariant(), Decimal::fromText(amount).toVariant()});
        }
    }
    // Fills a carried-over field of the line written last.
    void markLastLine(const QString& column, const QString& value) {
        db().exec(
            u"UPDATE RdRecords SET %1 = ? WHERE AutoID = (SELECT MAX(AutoID) FROM RdRecords)"_s.arg(column),
            {value});
    }
    // The opening rows of a warehouse, "item qty cost amount difference" each, in
    // item order; quantities and costs to 2 places as the demo account keeps them.
    QStringList openings(const QString& wh) {
        QSqlQuery q = db().exec(
            u"SELECT cInvCode, iAInQuantity, iInCost, iAInPrice, iDebitDifCost "
            "FROM IA_Subsidiary WHERE cWhCode = ? AND cVouType = '34' AND iMonth = 0 "
            "ORDER BY cInvCode, iAInQuantity"_s,
            {wh});
        QStringList l;
        while (q.next()) {
            QString row = textOf(q.value(0));
            for (int c = 1; c <= 4; ++c)
                row += u' ' + (q.value(c).isNull() ? u"-"_s : Decimal::fromVariant(q.value(c)).toString(2));
            l << row;
        }
        return l;
    }
    // Everything the take-over may touch: the tables there are and the ledger rows.
    QString snapshot() {
        QStringList t = db().tables();
        t.sort();
        QString s = t.join(u',');
        QSqlQuery q = db().exec(u"SELECT * FROM IA_Subsidiary ORDER BY AutoID"_s);
        while (q.next())
            for (int c = 0; c < q.record().count(); ++c) s += u'|' + q.value(c).toString();
        return s;
    }
    void fetch(std::optional<MsgAnswer> answer = std::nullopt) {
        sink.clear();
        if (answer) sink.script(*answer);
        entry->Dispatch(u"Getcount"_s);
    }
    // Whether someone else could enter the fetch task now (it was left).
    bool taskFree() {
        QString err;
        auto other =
            VqLogin::login({conn(), u"001"_s, 2026, u"demo"_s, u"demo123"_s, QDate(2026, 1, 1), {}}, &err);
        const bool free = other && other->TaskExec(task::kFetchFromStock, -1);
        if (other) other->TaskExec(task::kFetchFromStock, 0);
        return free;
    }
};

// Catches: issues added instead of subtracted, documents of other types, other
// warehouses or after the start counted, an integer or binary-float unit cost,
// and a group whose quantity sums to zero (in floating point: almost zero) given a
// unit cost.
TEST_P(FetchStockTest, ComputedOpeningsNetReceiptsAgainstIssuesBeforeTheStart) {
    warehouse(u"91"_s, u"全月平均法"_s);
    warehouse(u"92"_s, u"全月平均法"_s);
    const QDate before(2025, 11, 3), after(2026, 1, 5);
    doc(u"91"_s, u"01"_s, 1, before, {{u"1001"_s, u"10"_s, u"100"_s}, {u"1002"_s, u"4"_s, u"40"_s}});
    doc(u"91"_s, u"08"_s, 1, before, {{u"1001"_s, u"5"_s, u"60"_s}, {u"1003"_s, u"0.1"_s, u"1.1"_s}});
    doc(u"91"_s, u"10"_s, 1, before, {{u"1003"_s, u"0.2"_s, u"2.2"_s}});
    doc(u"91"_s, u"11"_s, 0, before, {{u"1001"_s, u"3"_s, u"30"_s}, {u"1002"_s, u"4"_s, u"44"_s}});
    doc(u"91"_s, u"09"_s, 0, before, {{u"1003"_s, u"0.3"_s, u"3.3"_s}});
    doc(u"91"_s, u"01"_s, 1, after, {{u"1001"_s, u"100"_s, u"1000"_s}});   // after the start
    doc(u"91"_s, u"05"_s, 1, before, {{u"1001"_s, u"100"_s, u"1000"_s}});  // not a stock receipt
    doc(u"92"_s, u"01"_s, 1, before, {{u"1001"_s, u"100"_s, u"1000"_s}});  // another warehouse
    // Two lots of one item told apart by an inspection number stay two rows.
    doc(u"91"_s, u"01"_s, 1, before, {{u"1004"_s, u"1"_s, u"10"_s}});
    doc(u"91"_s, u"01"_s, 1, before, {{u"1004"_s, u"2"_s, u"30"_s}});
    markLastLine(u"cDefine22"_s, u"ZJ-1"_s);
    stockAhead();
    open();
    pick(u"91"_s);
    fetch();
    EXPECT_TRUE(sink.entries().isEmpty()) << sink.texts().join(u'\n').toStdString();
    EXPECT_EQ(openings(u"91"_s), (QStringList{u"1001 12.00 10.83 130.00 -"_s, u"1002 0.00 0.00 -4.00 -"_s,
                                              u"1003 0.00 0.00 0.00 -"_s, u"1004 1.00 10.00 10.00 -"_s,
                                              u"1004 2.00 15.00 30.00 -"_s}));
    EXPECT_EQ(count(u"cWhCode = '91' AND cDefine22 = 'ZJ-1'"_s), 1);
    EXPECT_EQ(count(u"cWhCode = '91' AND bRdFlag = 1 AND dVouDate = ?"_s, {QDate(2025, 12, 31)}), 5);
    EXPECT_EQ(grid().dataRowCount(), 5);  // reloaded
    EXPECT_EQ(db().tables().filter(u"tempkcqc"_s).size() + db().tables().filter(u"tempsign"_s).size(), 0);
}

// A warehouse that holds most of the documents is read for its filled fields
// another way (the line table in its order, other warehouses' lines included).
// Catches: a field filled only in another warehouse splitting or dropping rows
// here, and a field of the document head or the line that is filled here left
// out of the grouping (two lots merged into one row).
TEST_P(FetchStockTest, AWarehouseHoldingMostDocumentsGroupsItsRowsAlike) {
    warehouse(u"91"_s, u"全月平均法"_s);
    warehouse(u"92"_s, u"全月平均法"_s);
    const QDate before(2025, 11, 3);
    doc(u"92"_s, u"01"_s, 1, before, {{u"1001"_s, u"7"_s, u"70"_s}});
    markLastLine(u"cFree2"_s, u"ELSEWHERE"_s);
    const auto heads = [&](const QString& where) {
        return db().scalar(u"SELECT COUNT(*) FROM RdRecord WHERE "_s + where).toLongLong();
    };
    int plain = 0;
    while (heads(u"cWhCode = '91'"_s) * 2 < heads(u"1 = 1"_s)) {
        doc(u"91"_s, u"01"_s, 1, before, {{u"1001"_s, u"1"_s, u"10"_s}});
        ++plain;
    }
    ASSERT_GT(plain, 0);
    // One head marked on its own field, one line of another item on a line field.
    doc(u"91"_s, u"01"_s, 1, before, {{u"1001"_s, u"2"_s, u"30"_s}});
    db().exec(u"UPDATE RdRecord SET cDefine1 = 'HEAD' WHERE ID = (SELECT MAX(ID) FROM RdRecord)"_s);
    doc(u"91"_s, u"01"_s, 1, before, {{u"1002"_s, u"3"_s, u"30"_s}, {u"1002"_s, u"1"_s, u"20"_s}});
    markLastLine(u"cDefine23"_s, u"LOT-B"_s);
    ASSERT_GE(heads(u"cWhCode = '91'"_s) * 2, heads(u"1 = 1"_s));
    stockAhead();
    open();
    pick(u"91"_s);
    fetch();
    EXPECT_TRUE(sink.entries().isEmpty()) << sink.texts().join(u'\n').toStdString();
    const QString many = QString::number(plain) + u".00"_s;
    // In item order, then by quantity (the plain documents are more than two).
    ASSERT_GT(plain, 2);
    EXPECT_EQ(openings(u"91"_s),
              (QStringList{u"1001 2.00 15.00 30.00 -"_s,
                           u"1001 "_s + many + u" 10.00 "_s + QString::number(plain * 10) + u".00 -"_s,
                           u"1002 1.00 20.00 20.00 -"_s, u"1002 3.00 10.00 30.00 -"_s}));
    EXPECT_EQ(count(u"cWhCode = '91' AND cDefine1 = 'HEAD'"_s), 1);
    EXPECT_EQ(count(u"cWhCode = '91' AND cDefine23 = 'LOT-B'"_s), 1);
    EXPECT_EQ(count(u"cWhCode = '91' AND cFree2 IS NOT NULL"_s), 0);
}

// Which fields the lines fill is first read from a sample of them; a field that
// only a line past the sample fills must still split its rows, whether the
// warehouse's lines are read alone or through their heads (it holds most of the
// documents, then few). Catches: the fields missing from the sample taken as
// empty, two lots of one item merged into one row.
TEST_P(FetchStockTest, AFieldFilledOnlyPastTheFirstLinesStillSplitsItsRows) {
    warehouse(u"91"_s, u"全月平均法"_s);
    warehouse(u"92"_s, u"全月平均法"_s);
    const QDate before(2025, 11, 3);
    doc(u"91"_s, u"01"_s, 1, before, {{u"1001"_s, u"1"_s, u"10"_s}});
    db().exec(
        u"INSERT INTO RdRecords (AutoID, ID, cInvCode, iQuantity, iPrice, iFlag) "
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
        "SELECT (SELECT MAX(AutoID) FROM RdRecords) + i, (SELECT MAX(ID) FROM RdRecord), '1001', 1, 10, 0 "
        "FROM n"_s,
        {opening::kFieldSampleLines});
    doc(u"91"_s, u"01"_s, 1, before, {{u"1002"_s, u"3"_s, u"30"_s}, {u"1002"_s, u"1"_s, u"20"_s}});
    markLastLine(u"cDefine24"_s, u"LATE"_s);
    stockAhead();
    open();
    pick(u"91"_s);
    const QString lots = QString::number(opening::kFieldSampleLines + 1);
    const QStringList expected{u"1001 "_s + lots + u".00 10.00 "_s + lots + u"0.00 -"_s,
                               u"1002 1.00 20.00 20.00 -"_s, u"1002 3.00 10.00 30.00 -"_s};
    fetch();
    EXPECT_TRUE(sink.entries().isEmpty()) << sink.texts().join(u'\n').toStdString();
    EXPECT_EQ(openings(u"91"_s), expected);
    EXPECT_EQ(count(u"cWhCode = '91' AND cDefine24 = 'LATE'"_s), 1);

    for (int i = 0; i < 3; ++i) doc(u"92"_s, u"01"_s, 1, before, {{u"1003"_s, u"1"_s, u"10"_s}});
    fetch(MsgAnswer::Yes);  // replaces the rows taken over before
    EXPECT_EQ(openings(u"91"_s), expected);
    EXPECT_EQ(count(u"cWhCode = '91' AND cDefine24 = 'LATE'"_s), 1);
}

// Catches: stock openings not copied line by line (source line, document number,
// date, quantity and amount), or documents other than the openings copied.
TEST_P(FetchStockTest, SamePeriodCopiesTheStockOpenings) {
    open();
    pick(u"04"_s);
    ASSERT_EQ(grid().dataRowCount(), 0);
    fetch();
    const qint64 lines = db().scalar(
                                 u"SELECT COUNT(*) FROM RdRecords l JOIN RdRecord h ON h.ID = l.ID "
                                 "WHERE h.cWhCode = '04' AND h.cVouchType = '34'"_s)
                             .toLongLong();
    ASSERT_GT(lines, 0);
    EXPECT_EQ(count(u"cWhCode = '04'"_s), lines);
    EXPECT_EQ(
        db().scalar(
                u"SELECT COUNT(*) FROM IA_Subsidiary s JOIN RdRecords l ON l.AutoID = s.ID "
                "JOIN RdRecord h ON h.ID = l.ID WHERE s.cWhCode = '04' AND h.cVouchType = '34' "
                "AND s.cInvCode = l.cInvCode AND s.iAInQuantity = l.iQuantity AND s.iAInPrice = l.iPrice "
                "AND s.cVouCode = h.cCode AND s.dVouDate = h.dDate AND s.iMonth = 0 AND s.cVouType = '34'"_s)
            .toLongLong(),
        lines);
    EXPECT_EQ(grid().dataRowCount(), lines);
}

// Catches: planned prices not applied, a difference that does not restore the
// documents' amount, and rows without a method or a planned (selling) price taken
// over, or dropped without the message naming the right price.
TEST_P(FetchStockTest, PlannedAndSellingPricesAndRowsThatCannotBeTaken) {
    open();
    pick(u"01"_s);
    fetch(MsgAnswer::Yes);
    ASSERT_EQ(sink.texts().size(), 2);
    EXPECT_EQ(sink.entries().last().text, u"由于没有设置相应的计价方式或计划价，部分数据没有取回！"_s);
    EXPECT_EQ(sink.entries().last().icon, MsgIcon::Exclamation);
    EXPECT_EQ(count(u"cWhCode = '01' AND cInvCode = '1015'"_s), 0);  // no planned price
    QSqlQuery q = db().exec(
        u"SELECT s.iAInQuantity, s.iInCost, s.iAInPrice, s.iDebitDifCost, l.iPrice, "
        "i.iInvRCost FROM IA_Subsidiary s JOIN RdRecords l ON l.AutoID = s.ID "
        "JOIN Inventory i ON i.cInvCode = s.cInvCode WHERE s.cWhCode = '01'"_s);
    int rows = 0;
    while (q.next()) {
        ++rows;
        const Decimal qty = Decimal::fromVariant(q.value(0)), planned = Decimal::fromVariant(q.value(5));
        EXPECT_EQ(Decimal::fromVariant(q.value(1)).toString(2), planned.toString(2));
        EXPECT_EQ(Decimal::fromVariant(q.value(2)).toString(2), (qty * planned).toString(2));
        EXPECT_EQ((Decimal::fromVariant(q.value(2)) + Decimal::fromVariant(q.value(3))).toString(2),
                  Decimal::fromVariant(q.value(4)).toString(2));
    }
    EXPECT_GT(rows, 0);
    EXPECT_GT(count(u"cWhCode = '01' AND iDebitDifCost <> 0"_s), 0);

    pick(u"06"_s);  // selling prices; item 3016 has none
    fetch();
    EXPECT_EQ(sink.texts(), QStringList{u"由于没有设置相应的计价方式或售价，部分数据没有取回！"_s});
    EXPECT_EQ(count(u"cWhCode = '06' AND cInvCode = '3016'"_s), 0);
    EXPECT_GT(count(u"cWhCode = '06'"_s), 0);

    pick(u"08"_s);  // no method at all
    fetch();
    EXPECT_EQ(sink.texts(), QStringList{u"由于没有设置相应的计价方式或计划价，部分数据没有取回！"_s});
    EXPECT_EQ(count(u"cWhCode = '08'"_s), 0);
}

// Catches: FIFO rows of the wrong sign taken over (against existing openings, or
// against a positive fetched row), a lone negative row dropped, and specific
// identification accepting zero or negative quantities.
TEST_P(FetchStockTest, ValuationMethodsRefuseRowsOfTheWrongSign) {
    warehouse(u"93"_s, u"先进先出法"_s);
    warehouse(u"94"_s, u"个别计价法"_s);
    const QDate d(2025, 12, 1);
    doc(u"93"_s, u"01"_s, 1, d, {{u"1001"_s, u"5"_s, u"50"_s}, {u"1002"_s, u"10"_s, u"100"_s}});
    doc(u"93"_s, u"11"_s, 0, d, {{u"1001"_s, u"8"_s, u"80"_s}});
    doc(u"93"_s, u"11"_s, 0, d, {{u"1002"_s, u"2"_s, u"20"_s}, {u"1003"_s, u"2"_s, u"20"_s}}, u"0401"_s);
    doc(u"94"_s, u"10"_s, 1, d, {{u"2011"_s, u"1"_s, u"9"_s}, {u"2013"_s, u"2"_s, u"90"_s}});
    doc(u"94"_s, u"32"_s, 0, d, {{u"2011"_s, u"1"_s, u"9"_s}, {u"2012"_s, u"1"_s, u"5"_s}});
    const qint64 kept = insertOpening(u"93"_s, u"1001"_s, u"1"_s, u"10"_s, u"10"_s);
    stockAhead();
    open();
    pick(u"93"_s);
    fetch(MsgAnswer::No);
    EXPECT_EQ(sink.texts(), QStringList{u"该仓库已存在期初数据，您要覆盖原来的数据吗？"_s});
    EXPECT_EQ(count(u"AutoID = ?"_s, {kept}), 1);
    EXPECT_EQ(openings(u"93"_s), (QStringList{u"1001 1.00 10.00 10.00 -"_s, u"1002 10.00 10.00 100.00 -"_s,
                                              u"1003 -2.00 10.00 -20.00 -"_s}));

    pick(u"94"_s);
    fetch();
    EXPECT_EQ(openings(u"94"_s), QStringList{u"2013 2.00 45.00 90.00 -"_s});
}

// Catches: Cancel changing anything, No dropping the rows there, Yes leaving
// unposted rows or deleting posted ones, and the task left held.
TEST_P(FetchStockTest, OverwriteQuestionCancelNoAndYes) {
    const qint64 posted = insertOpening(u"02"_s, u"1101"_s, u"1"_s, u"8"_s, u"8"_s);
    db().exec(u"UPDATE IA_Subsidiary SET cAccounter = '张敏' WHERE AutoID = ?"_s, {posted});
    const qint64 source = db().scalar(
                                  u"SELECT COUNT(*) FROM RdRecords l JOIN RdRecord h ON h.ID = l.ID "
                                  "WHERE h.cWhCode = '02' AND h.cVouchType = '34'"_s)
                              .toLongLong();
    open();
    pick(u"02"_s);
    const qint64 before = count(u"cWhCode = '02'"_s);
    const QString state = snapshot();

    fetch(MsgAnswer::Cancel);
    ASSERT_EQ(sink.entries().size(), 1);
    EXPECT_EQ(sink.entries().first().buttons, MsgButtons::YesNoCancel);
    EXPECT_EQ(sink.entries().first().icon, MsgIcon::Question);
    EXPECT_EQ(snapshot(), state);
    EXPECT_TRUE(taskFree());

    fetch(MsgAnswer::No);
    EXPECT_EQ(count(u"cWhCode = '02'"_s), before + source);
    EXPECT_EQ(grid().dataRowCount(), before + source);
    EXPECT_TRUE(taskFree());

    fetch(MsgAnswer::Yes);
    EXPECT_EQ(count(u"cWhCode = '02'"_s), source + 1);
    EXPECT_EQ(count(u"cWhCode = '02' AND cAccounter IS NOT NULL"_s), 1);
    EXPECT_EQ(count(u"AutoID = ?"_s, {posted}), 1);
}

// Catches: fetching over unsaved typed rows, fetching without a warehouse, and a
// refused or conflicting task not reported.
TEST_P(FetchStockTest, CommandGuards) {
    open();
    fetch();
    EXPECT_TRUE(sink.entries().isEmpty());
    EXPECT_TRUE(taskFree());

    pick(u"04"_s);
    entry->mnuAdd();
    grid().setText(0, Col::InvCode, u"5001"_s);
    const QString state = snapshot();
    fetch();
    EXPECT_EQ(sink.texts(), QStringList{u"请将新录入的数据存盘！"_s});
    EXPECT_EQ(sink.entries().first().icon, MsgIcon::Exclamation);
    EXPECT_EQ(snapshot(), state);
    EXPECT_TRUE(taskFree());

    QString err;
    auto other =
        VqLogin::login({conn(), u"001"_s, 2026, u"clerk"_s, u"clerk123"_s, QDate(2026, 1, 1), {}}, &err);
    ASSERT_TRUE(other && other->TaskExec(task::kFetchFromStock, -1));
    entry->mnuDelete(0);
    sink.clear();
    entry->Dispatch(u"Getcount"_s);
    ASSERT_EQ(sink.entries().size(), 1);
    EXPECT_TRUE(sink.last().startsWith(u"功能互斥：\n"_s)) << sink.last().toStdString();
    EXPECT_EQ(sink.entries().first().icon, MsgIcon::None);
    EXPECT_EQ(snapshot(), state);
    other->TaskExec(task::kFetchFromStock, 0);

    Users::createUser(db(), u"typist"_s, u"录入员"_s, u"pw"_s, false);
    Users::grantFunction(db(), u"typist"_s, u"ASM310101"_s);
    open(u"typist"_s, u"pw"_s);
    pick(u"04"_s);
    fetch();
    EXPECT_EQ(sink.texts(), QStringList{u"您没有这个权限！"_s});
    EXPECT_EQ(snapshot(), state);
}

// Catches: the operator's warehouse, department or item rights ignored when the
// documents are read.
TEST_P(FetchStockTest, RightsRestrictWhatTheClerkFetches) {
    doc(u"02"_s, u"08"_s, 1, QDate(2025, 12, 2),
        {{u"3001"_s, u"5"_s, u"200"_s}, {u"1101"_s, u"5"_s, u"40"_s}});
    stockAhead();
    open();
    pick(u"02"_s);
    fetch(MsgAnswer::Yes);
    EXPECT_GT(count(u"cWhCode = '02' AND cAccDep = '0301'"_s), 0);
    EXPECT_EQ(count(u"cWhCode = '02' AND cInvCode = '3001'"_s), 1);

    // What the clerk takes over is what his rights let him read; the rows above
    // stay where they are outside them.
    const qint64 last = db().scalar(u"SELECT MAX(AutoID) FROM IA_Subsidiary"_s).toLongLong();
    open(u"clerk"_s, u"clerk123"_s);
    pick(u"02"_s);
    fetch(MsgAnswer::Yes);
    EXPECT_GT(count(u"cWhCode = '02' AND AutoID > ?"_s, {last}), 0);
    EXPECT_EQ(count(u"cWhCode = '02' AND AutoID > ? AND cAccDep NOT IN ('0401', '0402', '06')"_s, {last}), 0);
    EXPECT_EQ(count(u"cWhCode = '02' AND AutoID > ? AND cInvCode = '3001'"_s, {last}), 0);
    EXPECT_EQ(count(u"cWhCode = '02' AND cInvCode = '3001'"_s), 1);
}

// Catches: 取数 with overwrite deleting the rows of a warehouse the operator holds
// read-only, or, in a warehouse he may write, the rows of items or departments
// outside his rights (which he could never type back); and the overwrite question
// asked about rows he could not replace anyway.
TEST_P(FetchStockTest, TakeOverReplacesOnlyRowsTheOperatorMayChange) {
    // The clerk holds 03 read-only, 02 to write, departments 0401/0402/06 and the
    // items of classes 01 and 02 (3001 is outside them).
    const qint64 readOnly = insertOpening(u"03"_s, u"1001"_s, u"1"_s, u"5"_s, u"5"_s);
    const qint64 ownItem = insertOpening(u"02"_s, u"1101"_s, u"2"_s, u"8"_s, u"16"_s);
    const qint64 otherItem = insertOpening(u"02"_s, u"3001"_s, u"1"_s, u"40"_s, u"40"_s);
    const qint64 otherDept = insertOpening(u"02"_s, u"1102"_s, u"1"_s, u"9"_s, u"9"_s);
    db().exec(u"UPDATE IA_Subsidiary SET cAccDep = '0301' WHERE AutoID = ?"_s, {otherDept});
    open(u"clerk"_s, u"clerk123"_s);

    pick(u"03"_s);
    const QString state = snapshot();
    fetch(MsgAnswer::Yes);
    EXPECT_EQ(sink.texts(), QStringList{u"您没有这个权限！"_s});
    EXPECT_EQ(sink.entries().value(0).icon, MsgIcon::Exclamation);
    EXPECT_EQ(snapshot(), state);
    EXPECT_EQ(count(u"AutoID = ?"_s, {readOnly}), 1);
    EXPECT_TRUE(taskFree());

    pick(u"02"_s);
    fetch(MsgAnswer::Yes);
    ASSERT_EQ(sink.texts().value(0), u"该仓库已存在期初数据，您要覆盖原来的数据吗？"_s);
    EXPECT_EQ(count(u"AutoID = ?"_s, {ownItem}), 0);
    EXPECT_EQ(count(u"AutoID IN (?, ?)"_s, {otherItem, otherDept}), 2);
    EXPECT_GT(count(u"cWhCode = '02'"_s), 2);

    // Only rows outside his rights left: nothing to ask about, nothing deleted.
    db().exec(u"DELETE FROM IA_Subsidiary WHERE cWhCode = '02' AND AutoID NOT IN (?, ?)"_s,
              {otherItem, otherDept});
    EXPECT_FALSE(opening::Existqcdate(ctx, u"02"_s, false));
    pick(u"02"_s);
    fetch(MsgAnswer::Yes);
    EXPECT_FALSE(sink.texts().contains(u"该仓库已存在期初数据，您要覆盖原来的数据吗？"_s));
    EXPECT_EQ(count(u"AutoID IN (?, ?)"_s, {otherItem, otherDept}), 2);
    EXPECT_GT(count(u"cWhCode = '02'"_s), 2);
}

// Catches: 取数 into posted openings adding unposted rows beside the posted ones
// (the warehouse's openings would then count twice).
TEST_P(FetchStockTest, PostedOpeningsAreNotTakenOverAgain) {
    open();
    opening::Posting posting(ctx);
    ASSERT_NO_THROW(posting.PostOpenings());
    pick(u"04"_s);
    const QString state = snapshot();
    for (const MsgAnswer answer : {MsgAnswer::Yes, MsgAnswer::No}) {
        fetch(answer);
        EXPECT_EQ(sink.texts(), QStringList{u"期初已经记账！"_s});
        EXPECT_EQ(snapshot(), state);
        EXPECT_TRUE(taskFree());
    }
    // The rules refuse it too, whoever calls them.
    sink.clear();
    EXPECT_FALSE(opening::FetchOpenings(ctx, u"04"_s, true));
    EXPECT_EQ(sink.texts(), QStringList{u"期初已经记账！"_s});
    EXPECT_EQ(snapshot(), state);
}

// Catches: a take-over started while a posting runs deciding on the state from
// before the posting, then, once the posting's locks are released, writing
// unposted rows into the freshly posted openings.
TEST_P(FetchStockTest, ATakeOverDuringAPostingWaitsForItAndIsThenRefused) {
    open();
    // The other operator's take-over runs on its own thread and connections, with
    // its login made before the posting holds any lock.
    std::promise<void> ready, go;
    std::atomic<bool> finished{false};
    bool fetched = true;
    QStringList messages;
    std::thread other([&] {
        LoginContext c;
        RecordingSink s;
        QString err;
        auto l =
            VqLogin::login({conn(), u"001"_s, 2026, u"demo"_s, u"demo123"_s, QDate(2026, 1, 1), {}}, &err);
        if (l) {
            c.sink = &s;
            c.scratchFolder = folder();
            c.gInstanceNo = u"8"_s;
            openContext(c, *l, false, ConnectionMode::Reconnect);
        }
        ready.set_value();
        go.get_future().wait();
        if (l) fetched = opening::FetchOpenings(c, u"04"_s, false);
        messages = l ? s.texts() : QStringList{err};
        finished = true;
        closeContext(c);
    });
    ready.get_future().wait();
    bool held = false;
    postingFaults().reached = [&](const QString& step) {
        if (step != u"Dispatched"_s || held) return;
        held = true;
        go.set_value();
        // Long enough for the take-over to reach the openings; it must then wait
        // for the posting instead of finishing beside it.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        EXPECT_FALSE(finished.load());
    };
    opening::Posting posting(ctx);
    QString failure;
    try {
        posting.PostOpenings();
    } catch (const std::exception& e) {
        failure = QString::fromLocal8Bit(e.what());
    }
    postingFaults().reached = nullptr;
    if (!held) go.set_value();
    other.join();
    ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
    EXPECT_TRUE(held);
    EXPECT_FALSE(fetched);
    EXPECT_EQ(messages, QStringList{u"期初已经记账！"_s});
    EXPECT_EQ(count(u"cVouType = '34' AND cAccounter IS NULL"_s), 0);
}

// Catches: a failure in any statement group of the take-over leaving rows
// deleted, rows inserted or a work table behind.
TEST_P(FetchStockTest, AFailureAnywhereLeavesEverythingAsBefore) {
    open();
    ctx.gInstanceNo = u"7"_s;
    for (const QString& failing : opening::fetchSteps()) {
        // The copy belongs to the same-period way, the computation to the other.
        db().exec(u"UPDATE GL_mEnd SET bFlag_ST = ? WHERE iPeriod = 1"_s, {failing == u"copy" ? 0 : 1});
        const QString state = snapshot();
        bool fired = false;
        unitStepHook() = [&](const QString& s) {
            if (s != u"fetch/"_s + failing) return;
            fired = true;
            throw DbError(u"模拟失败："_s + failing);
        };
        sink.clear();
        EXPECT_FALSE(opening::FetchOpenings(ctx, u"02"_s, true)) << failing.toStdString();
        unitStepHook() = nullptr;
        EXPECT_TRUE(fired) << failing.toStdString();
        EXPECT_EQ(sink.texts(), QStringList{u"模拟失败："_s + failing});
        EXPECT_EQ(snapshot(), state) << failing.toStdString();
    }
    // Without a failure the same take-over goes through and leaves no work table.
    EXPECT_TRUE(opening::FetchOpenings(ctx, u"02"_s, true));
    EXPECT_EQ(db().tables().filter(u"tempkcqc"_s).size() + db().tables().filter(u"tempsign"_s).size(), 0);
}

QC_DB_SUITE(FetchStockTest);

}  // namespace
}  // namespace qc
