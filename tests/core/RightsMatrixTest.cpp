// Every operation that writes openings, run by an operator with some rights over a
// grid of warehouses, departments and items: what succeeds is exactly what the
// rights grant, whichever way the operation is reached (typing, import, take-over,
// dispatched goods), and a right taken away while the window is open holds from
// the next store on.

#include "host/Users.h"
#include "opening/FetchStock.h"
#include "support/OpeningFixture.h"

using namespace Qt::StringLiterals;

namespace qc {
namespace {

namespace Col = opening::Col;

const QStringList kWarehouses{u"01"_s, u"02"_s, u"03"_s, u"05"_s};
const QStringList kItems{u"1101"_s, u"1102"_s, u"2002"_s, u"3011"_s};
const QStringList kDepartments{u"06"_s, u"0401"_s};
// What the clerk is granted.
const QStringList kVisible{u"01"_s, u"02"_s, u"03"_s}, kWritable{u"02"_s, u"03"_s};
const QStringList kGrantedItems{u"1101"_s, u"2002"_s}, kGrantedDepartments{u"06"_s};

class RightsMatrixTest : public test::OpeningFixture {
  protected:
    void buildAccount() override {
        test::AccountBuilder account(db());
        account.warehouses({"01", "02", "03", "05"}).items({"1101", "1102", "2002", "3011"});
        account.clerkHolds(kVisible, kWritable, kGrantedDepartments, kGrantedItems);
    }
    int cases = 0;
};

// Catches: a row stored for an item or department the operator holds no right on,
// or refused where the rights grant it; an import that lets such a row through or
// takes a warehouse outside the operator's list; a take-over into a warehouse the
// operator may only read.
TEST_P(RightsMatrixTest, WhatSucceedsIsWhatTheRightsGrant) {
    open(u"clerk"_s, u"clerk123"_s);
    QStringList listed;
    for (const QString& item : entry->warehouseItems()) listed << item.left(15).trimmed();
    EXPECT_EQ(listed, kVisible);

    for (const QString& wh : kVisible) {
        SCOPED_TRACE("warehouse " + wh.toStdString());
        pick(wh);
        for (const QString& item : kItems)
            for (const QString& dep : kDepartments) {
                SCOPED_TRACE((item + u' ' + dep).toStdString());
                ++cases;
                const bool granted = kGrantedItems.contains(item) && kGrantedDepartments.contains(dep);
                // Typed: the item cell refuses an item without the right, the row an
                // unlisted department at its store.
                const int row = grid().addEmptyRow();
                bool stored = true;
                for (const auto& [col, text] : {std::pair{Col::InvCode, item}, std::pair{Col::DepCode, dep},
                                                std::pair{Col::Quantity, u"1"_s}}) {
                    QString value = text;
                    bool cancel = false;
                    entry->ValidateCell(value, cancel, row, col);
                    if (cancel) {
                        stored = false;
                        break;
                    }
                    grid().setText(row, col, value);
                }
                stored = stored && leave(row);
                EXPECT_EQ(stored, granted) << sink.texts().join(u' ').toStdString();
                if (stored)
                    db().exec(u"DELETE FROM IA_Subsidiary WHERE AutoID = ?"_s,
                              {grid().text(row, Col::AutoId)});
                grid().removeDataRow(row);
            }
    }

    // One file naming every warehouse, item and department: the rows the rights
    // grant pass, every other is listed, and nothing is stored.
    pick(u"02"_s);
    QList<QStringList> rows;
    QList<bool> grantedRows;
    for (const QString& wh : kWarehouses)
        for (const QString& item : kItems)
            for (const QString& dep : kDepartments) {
                rows << QStringList{wh, item, dep, u"1"_s};
                grantedRows << (kVisible.contains(wh) && kGrantedItems.contains(item) &&
                                kGrantedDepartments.contains(dep));
                ++cases;
            }
    opening::ImportRequest check;
    check.dryRun = true;
    const opening::ImportOutcome out =
        entry->ImportSheet(test::sheetOf({u"仓库"_s, grid().caption(Col::InvCode),
                                          grid().caption(Col::DepCode), grid().caption(Col::Quantity)},
                                         rows),
                           check);
    QSet<int> refusedLines;
    for (const opening::ImportProblem& p : out.problems) refusedLines << p.line;
    for (int i = 0; i < rows.size(); ++i)
        EXPECT_EQ(!refusedLines.contains(i + 2), grantedRows.at(i)) << rows.at(i).join(u' ').toStdString();

    // The take-over: only into a warehouse the operator may change.
    for (const QString& wh : kWarehouses) {
        SCOPED_TRACE("take-over into " + wh.toStdString());
        ++cases;
        sink.clear();
        const bool done = opening::FetchOpenings(ctx, wh, true, nullptr);
        EXPECT_EQ(done, kWritable.contains(wh)) << sink.texts().join(u' ').toStdString();
        if (!kWritable.contains(wh)) {
            EXPECT_TRUE(sink.texts().contains(u"您没有这个权限！"_s));
        }
    }
    RecordProperty("cases", cases);
}

// Catches: rights answered once and kept for the window's life, so that an item,
// a department or the warehouse taken away from the operator while the window is
// open can still be stored; and a right given back that stays refused.
TEST_P(RightsMatrixTest, ARightTakenAwayWhileTheWindowIsOpenHoldsAtTheNextStore) {
    open(u"clerk"_s, u"clerk123"_s);
    pick(u"02"_s);
    const QString itemId =
        db().scalar(u"SELECT CAST(iId AS TEXT) FROM Inventory WHERE cInvCode = '1101'"_s).toString();
    struct Right {
        QString object, code;
        QString refusal;  // what the store says, where it names the right
    };
    const QList<Right> rights{
        {u"Inventory"_s, itemId, u"该存货不是您所管辖的存货，无权修改数据！"_s},
        {u"Department"_s, u"06"_s, {}},
        {u"Warehouse"_s, u"02"_s, u"您没有此仓库的权限！"_s},
    };
    for (const Right& right : rights) {
        SCOPED_TRACE(right.object.toStdString());
        ++cases;
        const int row = grid().addEmptyRow();
        for (const auto& [col, text] : {std::pair{Col::InvCode, u"1101"_s}, std::pair{Col::DepCode, u"06"_s},
                                        std::pair{Col::Quantity, u"2"_s}}) {
            QString value = text;
            bool cancel = false;
            entry->ValidateCell(value, cancel, row, col);
            ASSERT_FALSE(cancel) << sink.last().toStdString();
            grid().setText(row, col, value);
        }
        // The administrator takes the right away.
        db().exec(u"DELETE FROM qc_data_right WHERE cUserId = 'clerk' AND cObject = ? AND cCode = ?"_s,
                  {right.object, right.code});
        const qint64 before = count(u"1 = 1"_s);
        sink.clear();
        EXPECT_FALSE(leave(row));
        ASSERT_EQ(sink.texts().size(), 1) << sink.texts().join(u' ').toStdString();
        if (!right.refusal.isEmpty()) {
            EXPECT_EQ(sink.texts().first(), right.refusal);
        }
        EXPECT_EQ(count(u"1 = 1"_s), before);
        // Given back, the same row is stored at its next leave.
        Users::grantData(db(), u"clerk"_s, right.object, right.code, true);
        sink.clear();
        EXPECT_TRUE(leave(row)) << sink.texts().join(u' ').toStdString();
        EXPECT_EQ(count(u"1 = 1"_s), before + 1);
    }
    RecordProperty("cases", cases);
}

QC_DB_SUITE(RightsMatrixTest);

}  // namespace
}  // namespace qc
