// The audit trail of the openings: each operation that changes them writes its
// event in the same unit of work, with the values before and after (a single row)
// or its parameters and counts (a bulk operation), keeps whole what a bulk
// operation deleted, writes nothing when it fails, and no one can change or delete
// an event afterwards.

#include "dispatched/DispatchedGoods.h"
#include "ledger/AccountEngine.h"
#include "opening/FetchStock.h"
#include "opening/Posting.h"
#include "support/OpeningFixture.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

namespace Col = opening::Col;

class AuditTrailTest : public test::OpeningFixture {
  protected:
    void TearDown() override {
        postingFaults().failAt.clear();
        OpeningFixture::TearDown();
    }
    struct Logged {
        QString operation, user, warehouse, item;
        qint64 rowId = 0;
        QJsonObject before, after, detail;
        qint64 id = 0;
    };
    // The events after `after` (an event number), oldest first.
    QList<Logged> eventsSince(qint64 after) {
        QList<Logged> out;
        QSqlQuery q = db().exec(
            u"SELECT AutoID, cOperation, cUserId, cWhCode, cInvCode, iRowID, cBefore, cAfter, cDetail, cTime "
            "FROM IA_AuditLog WHERE AutoID > ? ORDER BY AutoID"_s,
            {after});
        const auto json = [](const QVariant& v) {
            return QJsonDocument::fromJson(v.toString().toUtf8()).object();
        };
        while (q.next()) {
            EXPECT_FALSE(q.value(9).toString().isEmpty());
            out << Logged{q.value(1).toString(), q.value(2).toString(),   q.value(3).toString(),
                          q.value(4).toString(), q.value(5).toLongLong(), json(q.value(6)),
                          json(q.value(7)),      json(q.value(8)),        q.value(0).toLongLong()};
        }
        return out;
    }
    qint64 lastEvent() {
        return db().scalar(u"SELECT COALESCE(MAX(AutoID), 0) FROM IA_AuditLog"_s).toLongLong();
    }
    void type(int row, int col, const QString& text) {
        QString value = text;
        bool cancel = false;
        entry->ValidateCell(value, cancel, row, col);
        ASSERT_FALSE(cancel) << sink.last().toStdString();
        grid().setText(row, col, value);
    }
};

// Catches: a typed row stored without its event or with the wrong values, an
// update logged with columns it did not change, a delete losing the row's values,
// and a refused store leaving an event behind.
TEST_P(AuditTrailTest, EveryRowStoredOrDeletedInTheGridIsOneEventWithWhatChanged) {
    open();
    pick(u"02"_s);
    qint64 mark = lastEvent();
    const int row = grid().addEmptyRow();
    type(row, Col::InvCode, u"1101"_s);
    type(row, Col::Quantity, u"4"_s);
    type(row, Col::UnitCost, u"8.3"_s);
    ASSERT_TRUE(leave(row)) << sink.last().toStdString();
    const qint64 id = grid().text(row, Col::AutoId).toLongLong();
    QList<Logged> e = eventsSince(mark);
    ASSERT_EQ(e.size(), 1);
    EXPECT_EQ(e[0].operation, u"新增期初行"_s);
    EXPECT_EQ(e[0].user, u"demo"_s);
    EXPECT_EQ(e[0].warehouse, u"02"_s);
    EXPECT_EQ(e[0].item, u"1101"_s);
    EXPECT_EQ(e[0].rowId, id);
    EXPECT_TRUE(e[0].before.isEmpty());
    EXPECT_EQ(Decimal::fromText(e[0].after.value(u"iAInQuantity"_s).toString()), Decimal(4));
    EXPECT_EQ(Decimal::fromText(e[0].after.value(u"iAInPrice"_s).toString()), *Decimal::parse(u"33.2"_s));

    mark = lastEvent();
    type(row, Col::Quantity, u"5"_s);
    ASSERT_TRUE(leave(row)) << sink.last().toStdString();
    e = eventsSince(mark);
    ASSERT_EQ(e.size(), 1);
    EXPECT_EQ(e[0].operation, u"修改期初行"_s);
    // Only what changed: the quantity and the amount it carries.
    QStringList changedKeys = e[0].before.keys();
    changedKeys.sort();
    EXPECT_EQ(changedKeys, (QStringList{u"iAInPrice"_s, u"iAInQuantity"_s}));
    EXPECT_EQ(Decimal::fromText(e[0].before.value(u"iAInQuantity"_s).toString()), Decimal(4));
    EXPECT_EQ(Decimal::fromText(e[0].after.value(u"iAInQuantity"_s).toString()), Decimal(5));

    // Leaving the row unchanged stores nothing new and logs nothing.
    mark = lastEvent();
    ASSERT_TRUE(leave(row));
    EXPECT_TRUE(eventsSince(mark).isEmpty());

    // A store refused (another copy changed the row) leaves no event.
    type(row, Col::Batch, u"B"_s);
    db().exec(u"UPDATE IA_Subsidiary SET iAInQuantity = 6 WHERE AutoID = ?"_s, {id});
    EXPECT_FALSE(leave(row));
    EXPECT_TRUE(eventsSince(mark).isEmpty());

    entry->mnuDelete(row);  // "确认删除吗？" answered OK
    e = eventsSince(mark);
    ASSERT_EQ(e.size(), 1);
    EXPECT_EQ(e[0].operation, u"删除期初行"_s);
    EXPECT_EQ(e[0].rowId, id);
    EXPECT_EQ(e[0].before.value(u"cInvCode"_s).toString(), u"1101"_s);
    EXPECT_EQ(Decimal::fromText(e[0].before.value(u"iAInQuantity"_s).toString()), Decimal(6));
    EXPECT_TRUE(e[0].after.isEmpty());
}

// Catches: a take-over with overwrite that deletes rows without keeping them, a
// bulk operation logged row by row or without its counts, and a failed posting
// leaving its event.
TEST_P(AuditTrailTest, BulkOperationsAreOneEventAndKeepWhatTheyDeleted) {
    open();
    const qint64 replaced =
        db().scalar(u"SELECT COUNT(*) FROM IA_Subsidiary WHERE cWhCode = '02' AND iMonth = 0"_s).toLongLong();
    ASSERT_GT(replaced, 0);
    db().exec(
        u"CREATE TABLE before_fetch AS SELECT * FROM IA_Subsidiary WHERE cWhCode = '02' AND iMonth = 0"_s);
    qint64 mark = lastEvent();
    ASSERT_TRUE(opening::FetchOpenings(ctx, u"02"_s, true)) << sink.last().toStdString();
    QList<Logged> e = eventsSince(mark);
    ASSERT_EQ(e.size(), 1);
    EXPECT_EQ(e[0].operation, u"取数"_s);
    EXPECT_EQ(e[0].warehouse, u"02"_s);
    EXPECT_EQ(e[0].detail.value(u"删除行数"_s).toInteger(), replaced);
    EXPECT_EQ(e[0].detail.value(u"取回行数"_s).toInteger(),
              db().scalar(u"SELECT COUNT(*) FROM IA_Subsidiary WHERE cWhCode = '02' AND iMonth = 0"_s)
                  .toLongLong());
    // The replaced rows, whole and typed as they were, under the event.
    const QStringList columns = db().columnsOf(u"IA_Subsidiary"_s);
    const QString keptRows =
        u"SELECT %1 FROM IA_AuditSubsidiary WHERE iAuditID = ?"_s.arg(columns.join(u','));
    EXPECT_EQ(db().scalar(u"SELECT COUNT(*) FROM (%1 EXCEPT %2) gone"_s.arg(
                              keptRows, u"SELECT %1 FROM before_fetch"_s.arg(columns.join(u','))),
                          {e[0].id})
                  .toLongLong(),
              0);
    EXPECT_EQ(
        db().scalar(u"SELECT COUNT(*) FROM IA_AuditSubsidiary WHERE iAuditID = ?"_s, {e[0].id}).toLongLong(),
        replaced);
    EXPECT_THROW(db().exec(u"UPDATE IA_AuditSubsidiary SET cWhCode = 'x'"_s), DbError);
    EXPECT_THROW(db().exec(u"DELETE FROM IA_AuditSubsidiary"_s), DbError);

    mark = lastEvent();
    dispatched::GetFromXsFcsp(ctx, dispatched::BusinessType::Instalment);
    const qint64 fetched = db().scalar(u"SELECT COUNT(*) FROM IA_EnSubsidiary"_s).toLongLong();
    dispatched::DeleteQCFCSP(ctx, dispatched::BusinessType::Instalment);
    e = eventsSince(mark);
    ASSERT_EQ(e.size(), 2);
    EXPECT_EQ(e[0].operation, u"发出商品取数"_s);
    EXPECT_EQ(e[1].operation, u"发出商品清空"_s);
    EXPECT_EQ(e[1].detail.value(u"删除行数"_s).toInteger(), fetched);
    EXPECT_EQ(db().scalar(u"SELECT COUNT(*) FROM IA_AuditEnSubsidiary WHERE iAuditID = ?"_s, {e[1].id})
                  .toLongLong(),
              fetched);
    EXPECT_THROW(db().exec(u"DELETE FROM IA_AuditEnSubsidiary"_s), DbError);

    // A posting failing half-way writes no event; one that ends writes one, and
    // so does the cancelling.
    mark = lastEvent();
    postingFaults().failAt = u"OpeningSummaries"_s;
    EXPECT_EQ(opening::PostCommand(ctx, false), opening::KeepOutcome::Failed);
    EXPECT_TRUE(eventsSince(mark).isEmpty());
    postingFaults().failAt.clear();
    EXPECT_EQ(opening::PostCommand(ctx, false), opening::KeepOutcome::Done);
    const qint64 stamped =
        db().scalar(u"SELECT COUNT(*) FROM IA_Subsidiary WHERE iMonth = 0 AND cAccounter IS NOT NULL"_s)
            .toLongLong();
    EXPECT_EQ(opening::CancelCommand(ctx), opening::KeepOutcome::Done);
    e = eventsSince(mark);
    ASSERT_EQ(e.size(), 2);
    EXPECT_EQ(e[0].operation, u"期初记账"_s);
    EXPECT_GT(e[0].detail.value(u"汇总行数"_s).toInteger(), 0);
    EXPECT_GT(stamped, 0);
    EXPECT_EQ(e[0].detail.value(u"已记账期初行数"_s).toInteger(), stamped);
    EXPECT_EQ(e[1].operation, u"恢复期初记账"_s);
    EXPECT_EQ(e[1].detail.value(u"删除汇总行数"_s).toInteger(), e[0].detail.value(u"汇总行数"_s).toInteger());
}

// Catches: events that can be changed or deleted afterwards, logins and refused
// logins or rights not logged, and an account made before the trail left without
// it (or without its guards) after an upgrade.
TEST_P(AuditTrailTest, TheTrailOnlyGrowsAndLoginsAreInIt) {
    open();
    EXPECT_THROW(db().exec(u"UPDATE IA_AuditLog SET cUserId = 'x'"_s), DbError);
    EXPECT_THROW(db().exec(u"DELETE FROM IA_AuditLog"_s), DbError);
    const qint64 mark = lastEvent();
    open(u"clerk"_s, u"clerk123"_s);
    QString err;
    EXPECT_FALSE(
        VqLogin::login({conn(), u"001"_s, 2026, u"clerk"_s, u"wrong"_s, QDate(2026, 1, 1), {}}, &err));
    EXPECT_FALSE(ctx.gLogin->TaskExec(u"ASM3102"_s, 1));
    const QList<Logged> e = eventsSince(mark);
    ASSERT_EQ(e.size(), 3);
    EXPECT_EQ(e[0].operation, u"登录"_s);
    EXPECT_EQ(e[0].user, u"clerk"_s);
    EXPECT_EQ(e[1].operation, u"登录失败"_s);
    EXPECT_EQ(e[1].detail.value(u"操作员"_s).toString(), u"clerk"_s);
    EXPECT_EQ(e[2].operation, u"权限拒绝"_s);
    EXPECT_EQ(e[2].detail.value(u"功能"_s).toString(), u"ASM3102"_s);

    // An account without the trail gets it, guarded, at its next login.
    close();
    db().exec(u"DROP TABLE IA_AuditSubsidiary"_s);
    db().exec(u"DROP TABLE IA_AuditEnSubsidiary"_s);
    db().exec(u"DROP TABLE IA_AuditLog"_s);
    open();
    EXPECT_TRUE(db().tableExists(u"IA_AuditLog"_s));
    EXPECT_EQ(eventsSince(0).size(), 1);
    EXPECT_THROW(db().exec(u"DELETE FROM IA_AuditLog"_s), DbError);
}

QC_DB_SUITE(AuditTrailTest);

}  // namespace
}  // namespace qc
