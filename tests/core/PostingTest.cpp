// Posting the openings and cancelling the posting, on the demo account and a
// generated one: what the rows and the engine's tables hold afterwards, the
// preconditions, and that every failure leaves the account as it was.

#include "host/AccPara.h"

#include "domain/Vocabulary.h"
#include "ledger/AccountEngine.h"
#include "opening/Posting.h"
#include "support/OpeningFixture.h"

#include <QMap>

#include <functional>

namespace qc::test {
namespace {

using opening::KeepOutcome;
using opening::Posting;

// Tables the posting and the cancelling write.
const QStringList kTouched{
    QStringLiteral("IA_Subsidiary"),   QStringLiteral("IA_EnSubsidiary"), QStringLiteral("IA_Summary"),
    QStringLiteral("IA_ValuationAss"), QStringLiteral("GL_mEnd"),         QStringLiteral("RdRecord"),
    QStringLiteral("RdRecords"),       QStringLiteral("PurSettleVouchs"), QStringLiteral("AccInformation")};

class PostingTest : public OpeningFixture {
  protected:
    void TearDown() override {
        postingFaults().failAt.clear();
        OpeningFixture::TearDown();
    }

    // Every row of a table as text, in a fixed order, without the columns left out.
    QStringList rowsOf(const QString& table, const QStringList& without = {}, Database* on = nullptr) {
        Database& d = on ? *on : db();
        QStringList cols;
        for (const QString& c : d.columnsOf(table))
            if (!without.contains(c, Qt::CaseInsensitive) && c != u"autoid") cols << c;
        QStringList order;
        for (int i = 1; i <= cols.size(); ++i) order << QString::number(i);
        QSqlQuery q = d.exec(
            QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(cols.join(u','), table, order.join(u',')));
        QStringList out;
        while (q.next()) {
            QStringList r;
            for (int i = 0; i < cols.size(); ++i)
                r << (q.value(i).isNull() ? QStringLiteral("<null>") : q.value(i).toString());
            out << r.join(u'|');
        }
        return out;
    }
    QMap<QString, QStringList> snapshot() {
        QMap<QString, QStringList> s;
        for (const QString& t : kTouched) s[t] = rowsOf(t);
        return s;
    }

    // Quantity and amount per key, as IA_Summary holds them for a month, and as an
    // independent grouped query over the posted ledger rows gives them.
    using Sums = QMap<QString, QString>;
    Sums summaryOf(int month) {
        Sums m;
        QSqlQuery q =
            db().exec(QStringLiteral("SELECT COALESCE(cWhCode, ''), cInvCode, COALESCE(cDepCode, ''), "
                                     "iNum, iMoney FROM IA_Summary WHERE iMonth = ?"),
                      {month});
        while (q.next())
            m[q.value(0).toString() + u'/' + q.value(1).toString() + u'/' + q.value(2).toString()] =
                Decimal::fromVariant(q.value(3)).toString(2) + u' ' +
                Decimal::fromVariant(q.value(4)).toString(2);
        return m;
    }
    Sums ledgerSums(const QString& months, bool byDepartment) {
        const QString wh = byDepartment ? QStringLiteral("''") : QStringLiteral("s.cWhCode");
        const QString dep =
            byDepartment ? QStringLiteral("COALESCE(s.cDepCode, w.cDepCode, '')") : QStringLiteral("''");
        Sums m;
        QSqlQuery q =
            db().exec(QStringLiteral("SELECT %1, s.cInvCode, %2, "
                                     "SUM(CASE WHEN s.bRdFlag = 1 THEN COALESCE(s.iAInQuantity, 0) ELSE "
                                     "-COALESCE(s.iAOutQuantity, 0) END), "
                                     "SUM(CASE WHEN s.bRdFlag = 1 THEN COALESCE(s.iAInPrice, 0) ELSE "
                                     "-COALESCE(s.iAOutPrice, 0) END) "
                                     "FROM IA_Subsidiary s LEFT JOIN Warehouse w ON w.cWhCode = s.cWhCode "
                                     "WHERE s.iMonth IN (%3) AND s.cAccounter IS NOT NULL GROUP BY 1, 2, 3")
                          .arg(wh, dep, months));
        while (q.next())
            m[q.value(0).toString() + u'/' + q.value(1).toString() + u'/' + q.value(2).toString()] =
                Decimal::fromVariant(q.value(3)).toString(2) + u' ' +
                Decimal::fromVariant(q.value(4)).toString(2);
        return m;
    }

    void post() { Posting(ctx).PostOpenings(); }
};

// Catches: posting columns, voucher numbers or ids missed or given to the wrong
// rows; summaries or layers that disagree with the ledger; a second posting let through.
TEST_P(PostingTest, PostingTheDemoNumbersMarksAndSummarisesEveryOpeningRow) {
    open();
    struct Before {
        QString vouCode, method;
        bool hasId;
    };
    QMap<qint64, Before> before;
    QSqlQuery q =
        db().exec(QStringLiteral("SELECT s.AutoID, s.cVouCode, s.ID, w.cWhValueStyle FROM IA_Subsidiary s "
                                 "LEFT JOIN Warehouse w ON w.cWhCode = s.cWhCode WHERE s.iMonth = 0"));
    while (q.next())
        before[q.value(0).toLongLong()] = {textOf(q.value(1)), textOf(q.value(3)), !q.value(2).isNull()};
    ASSERT_GT(before.size(), 20);

    entry->Dispatch(QStringLiteral("Keep"));
    EXPECT_EQ(sink.last(), QStringLiteral("期初记账成功！"));
    EXPECT_EQ(entry->button(QStringLiteral("Keep"))->caption, QStringLiteral("恢复"));
    EXPECT_EQ(entry->button(QStringLiteral("Keep"))->toolTip, QStringLiteral("恢复记账前状态"));
    EXPECT_TRUE(entry->button(QStringLiteral("Keep"))->enabled);
    pick(QStringLiteral("01"));
    EXPECT_TRUE(entry->gridReadOnly());

    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        const qint64 id = it.key();
        SCOPED_TRACE(id);
        EXPECT_EQ(textOf(stored(id, QStringLiteral("cAccounter"))), login->UserName());
        EXPECT_EQ(dateOf(stored(id, QStringLiteral("dKeepDate"))), QDate(2025, 12, 31));
        const bool lot = QStringList{costing::kFifo, costing::kLifo, costing::kSpecific}.contains(it->method);
        if (it->vouCode.isEmpty()) {
            const qint64 expected = lot ? id : -id;
            EXPECT_EQ(textOf(stored(id, QStringLiteral("cVouCode"))), QString::number(expected));
            EXPECT_EQ(stored(id, QStringLiteral("ID")).toLongLong(), expected);
        } else {
            EXPECT_EQ(textOf(stored(id, QStringLiteral("cVouCode"))), it->vouCode);
        }
    }
    // The start month is 1: no period before it to close.
    EXPECT_EQ(db().scalar(QStringLiteral("SELECT COUNT(*) FROM GL_mEnd WHERE bFlag_IA = 1")).toInt(), 0);

    const Sums opening = summaryOf(0);
    EXPECT_EQ(opening, ledgerSums(QStringLiteral("0"), false));
    EXPECT_EQ(summaryOf(1), ledgerSums(QStringLiteral("0, 1"), false));
    // The purchase module's unsettled receipts became estimates, reversed in the start month.
    EXPECT_GT(count(QStringLiteral("cVouType = '33'")), 0);
    EXPECT_EQ(count(QStringLiteral("cVouType = '24'")),
              count(QStringLiteral("cVouType = '33' AND cBusType = '普通采购'")));
    // One receipt layer per lot-valued opening row, with the same quantities.
    EXPECT_EQ(
        db().scalar(QStringLiteral("SELECT COUNT(*) FROM IA_ValuationAss WHERE cInVouType = '34'")).toInt(),
        std::count_if(before.cbegin(), before.cend(), [](const Before& b) {
            return QStringList{costing::kFifo, costing::kLifo, costing::kSpecific}.contains(b.method);
        }));
    EXPECT_EQ(
        Decimal::fromVariant(db().scalar(QStringLiteral("SELECT SUM(iIQuantity) FROM IA_ValuationAss v WHERE "
                                                        "cInVouType IN ('34', '33')")))
            .toString(2),
        Decimal::fromVariant(
            db().scalar(
                QStringLiteral("SELECT SUM(s.iAInQuantity) FROM IA_Subsidiary s JOIN Warehouse w ON "
                               "w.cWhCode = s.cWhCode WHERE s.iMonth = 0 AND w.cWhValueStyle IN (?, ?, ?)"),
                {costing::kFifo, costing::kLifo, costing::kSpecific}))
            .toString(2));

    sink.clear();
    entry->Dispatch(QStringLiteral("Keep"));  // now 恢复: cancels
    EXPECT_EQ(sink.last(), QStringLiteral("恢复期初记账成功！"));
    EXPECT_FALSE(ctx.gAccPara->IsPosted(QStringLiteral("IA")));
    EXPECT_EQ(entry->button(QStringLiteral("Keep"))->caption, QStringLiteral("记账"));
    EXPECT_FALSE(entry->gridReadOnly());

    // Posting again, then once more: the second is refused before anything else.
    ASSERT_NO_THROW(post());
    sink.clear();
    EXPECT_EQ(opening::PostCommand(ctx, false), KeepOutcome::Refused);
    EXPECT_EQ(sink.texts(), QStringList{QStringLiteral("期初已经记账！")});
    // The rules refuse it too, whoever calls them.
    EXPECT_THROW(post(), DbError);
}

// Catches: the wrong periods closed for the module.
TEST_P(PostingTest, PeriodsBeforeTheStartMonthAreClosed) {
    open();
    setParam("IA", "dIAStartDate", QStringLiteral("2026-04-01"));
    ASSERT_NO_THROW(post());
    QSqlQuery q =
        db().exec(QStringLiteral("SELECT iPeriod FROM GL_mEnd WHERE bFlag_IA = 1 ORDER BY iPeriod"));
    QList<int> closed;
    while (q.next()) closed << q.value(0).toInt();
    EXPECT_EQ(closed, (QList<int>{1, 2, 3}));
    EXPECT_EQ(dateOf(db().scalar(QStringLiteral(
                  "SELECT MAX(dKeepDate) FROM IA_Subsidiary WHERE iMonth = 0 AND cVouType = '34'"))),
              QDate(2026, 3, 31));
    EXPECT_GT(db().scalar(QStringLiteral("SELECT COUNT(*) FROM IA_Summary WHERE iMonth = 4")).toInt(), 0);

    Posting(ctx).CancelPosting();
    setParam("IA", "dIAStartDate", QString());
    ASSERT_NO_THROW(post());
    EXPECT_EQ(db().scalar(QStringLiteral("SELECT COUNT(*) FROM GL_mEnd WHERE bFlag_IA = 1")).toInt(), 0);
}

// Catches: a precondition skipped, its message wrong, or a refusal that still writes.
TEST_P(PostingTest, PreconditionsRefuseWithTheirMessagesAndWriteNothing) {
    open();
    const auto refusedWith = [&](const QString& message) {
        sink.clear();
        const auto before = snapshot();
        EXPECT_EQ(opening::PostCommand(ctx, false), KeepOutcome::Refused);
        EXPECT_EQ(sink.last(), message);
        EXPECT_EQ(snapshot(), before);
    };
    // Purchasing in the same period with its openings not posted.
    setParam("PU", "bQCAccount", QStringLiteral("false"));
    refusedWith(QStringLiteral("采购系统期初尚未记账，不能确定期初暂估余额，无法记账！"));
    setParam("PU", "bQCAccount", QStringLiteral("true"));
    // Inventory accounting in period 3, purchasing still in 1.
    db().exec(QStringLiteral("UPDATE GL_mEnd SET bFlag_IA = 1 WHERE iPeriod < 3"));
    refusedWith(QStringLiteral("采购系统2月份未月末结账，本系统不能进行期初记账！"));
    db().exec(QStringLiteral("UPDATE GL_mEnd SET bFlag_IA = 0"));

    const qint64 gb = insertOpening(QStringLiteral("05"), QStringLiteral("2012"), QStringLiteral("1"),
                                    QStringLiteral("150000"), QStringLiteral("150000"));
    db().exec(QStringLiteral("UPDATE IA_Subsidiary SET iAInPrice = NULL WHERE AutoID = ?"), {gb});
    refusedWith(QStringLiteral("个别计价的期初单据没有单价金额，请输入！"));
    db().exec(
        QStringLiteral("UPDATE IA_Subsidiary SET iAInPrice = -150000, iAInQuantity = -1 WHERE AutoID = ?"),
        {gb});
    refusedWith(QStringLiteral("个别计价的期初单据数量不能为负数，请重新输入！"));
    // Each refusal after the task entry left the task: a later command can enter it.
    EXPECT_TRUE(login->TaskExec(task::kPostOpenings, -1));
}

// Catches: an estimate posted without a method or planned price instead of
// stopping the posting with the item's message and rolling back.
TEST_P(PostingTest, AReceiptWithoutMethodOrPlannedPriceStopsThePosting) {
    open();
    const auto stopsWith = [&](const QString& message) {
        sink.clear();
        const auto before = snapshot();
        EXPECT_EQ(opening::PostCommand(ctx, false), KeepOutcome::Failed);
        EXPECT_EQ(sink.texts(), (QStringList{message, QStringLiteral("期初记账不成功！")}));
        EXPECT_EQ(snapshot(), before);
    };
    db().exec(QStringLiteral("UPDATE Inventory SET iInvRCost = NULL WHERE cInvCode = '1001'"));
    stopsWith(QStringLiteral("存货1001没有设置计划价/售价！"));
    db().exec(QStringLiteral("UPDATE Warehouse SET cWhValueStyle = NULL WHERE cWhCode = '02'"));
    stopsWith(QStringLiteral("存货1101没有设置计价方式！"));
}

// Catches: cancelling allowed after business of the start month or cost adjustments.
TEST_P(PostingTest, CancellingIsRefusedOnceBusinessFollowedTheOpenings) {
    open();
    ASSERT_NO_THROW(post());
    Posting p(ctx);
    EXPECT_TRUE(p.CanCancelPosting());
    db().exec(QStringLiteral(
        "INSERT INTO IA_Subsidiary (bRdFlag, cWhCode, iMonth, cVouType, cInvCode, iAInQuantity) "
        "VALUES (1, '02', 1, '01', '1101', 5)"));
    EXPECT_FALSE(p.CanCancelPosting());
    db().exec(QStringLiteral("DELETE FROM IA_Subsidiary WHERE iMonth = 1 AND cVouType = '01'"));
    EXPECT_TRUE(p.CanCancelPosting());
    db().exec(QStringLiteral(
        "INSERT INTO JustInVouch (cJIVCode, cWhCode, cInvCode) VALUES ('TZ001', '02', '1101')"));
    EXPECT_FALSE(p.CanCancelPosting());
    db().exec(QStringLiteral("DELETE FROM JustInVouch"));
    db().exec(QStringLiteral("UPDATE Warehouse SET cMonth = '202601' WHERE cWhCode = '03'"));
    EXPECT_FALSE(p.CanCancelPosting());

    // The window keeps 恢复 disabled and the command line refuses.
    open();
    EXPECT_FALSE(entry->button(QStringLiteral("Keep"))->enabled);
    EXPECT_EQ(opening::CancelCommand(ctx), KeepOutcome::Refused);
    EXPECT_TRUE(ctx.gAccPara->IsPosted(QStringLiteral("IA")));
}

// Catches: cancelling that leaves summaries, layers, estimates, flags or marks behind.
TEST_P(PostingTest, CancellingBringsTheTablesBack) {
    open();
    // Cancelling keeps the numbers and keep dates the rows were given, and marks
    // the settlement lines as accounted by purchasing; the line costs stay too.
    const QMap<QString, QStringList> kept{
        {QStringLiteral("IA_Subsidiary"),
         {QStringLiteral("cvoucode"), QStringLiteral("id"), QStringLiteral("dkeepdate"),
          QStringLiteral("cpzid")}},
        {QStringLiteral("PurSettleVouchs"), {QStringLiteral("baccount"), QStringLiteral("bispuracc")}},
        {QStringLiteral("RdRecords"), {QStringLiteral("ipunitcost"), QStringLiteral("ipprice")}},
        {QStringLiteral("AccInformation"), {QStringLiteral("cvalue")}}};
    QMap<QString, QStringList> before;
    for (const QString& t : kTouched) before[t] = rowsOf(t, kept.value(t));
    ASSERT_NO_THROW(post());
    EXPECT_NE(rowsOf(QStringLiteral("RdRecord")), before[QStringLiteral("RdRecord")]);
    Posting(ctx).CancelPosting();
    for (const QString& t : kTouched) EXPECT_EQ(rowsOf(t, kept.value(t)), before[t]) << t.toStdString();
    EXPECT_FALSE(ctx.gAccPara->IsPosted(QStringLiteral("IA")));
    // And posting again gives the same summaries.
    ASSERT_NO_THROW(post());
    EXPECT_EQ(summaryOf(0), ledgerSums(QStringLiteral("0"), false));
}

// Catches: a step whose failure leaves part of the posting or cancelling behind.
TEST_P(PostingTest, EveryFailingStepLeavesEverythingAsBefore) {
    open();
    const auto before = snapshot();
    for (const char* step :
         {"GL_mEnd", "Init", "KeepVouCode", "PostingColumns", "VoucherNumbers", "Dispatched",
          "PostOpeningRows", "SettledLines", "ReceiptLines", "OpeningSummaries", "MonthRows", "PostMonthRows",
          "MonthIssues", "Estimates", "SettlementMarks", "PostedState"}) {
        SCOPED_TRACE(step);
        postingFaults().failAt = QString::fromLatin1(step);
        EXPECT_THROW(post(), std::exception);
        EXPECT_EQ(snapshot(), before);
    }
    postingFaults().failAt.clear();
    ASSERT_NO_THROW(post());
    const auto posted = snapshot();
    for (const char* step : {"CancelSummaries", "CancelPostingColumns", "CancelDispatched", "CancelEstimates",
                             "CancelReversals", "CancelPeriods", "CancelReceipts", "CancelPostedState"}) {
        SCOPED_TRACE(step);
        postingFaults().failAt = QString::fromLatin1(step);
        EXPECT_THROW(Posting(ctx).CancelPosting(), DbError);
        EXPECT_EQ(snapshot(), posted);
    }
}

// Catches: estimates written at once that differ from what the engine writes from
// each receipt line's record: quantities, unit costs, amounts rounded on the wrong
// side of a half, planned-price differences, summaries, layers.
TEST_P(PostingTest, EstimatesAtOnceEqualTheEngineFedOneRecordAtATime) {
    open();
    Posting posting(ctx);
    // Everything on the posting's own connection, each run in a transaction rolled back.
    Database& pdb = ctx.gDb->Connection();
    const Posting::Params p = posting.read();
    clsAccount engine;
    ASSERT_TRUE(engine.Init(pdb, p.valueStyle, false, p.postingDate, p.startDate, p.operatorName,
                            p.quantityDecimals));
    const QList<QDomDocument> records = posting.ReceiptLineRecords(engine, p);
    ASSERT_GE(records.size(), 2);
    EXPECT_TRUE(std::any_of(records.cbegin(), records.cend(), [](const QDomDocument& r) {
        return r.documentElement().hasAttribute(QStringLiteral("a33"));
    })) << "no line under a planned price";
    // The first line's unsettled quantity becomes 3 at 0.895: 2.685, a half.
    const QDomElement first = records.first().documentElement();
    const qint64 line = first.attribute(QStringLiteral("a4")).toLongLong();
    const QString unsettled = first.attribute(QStringLiteral("a27"));
    db().exec(QStringLiteral("UPDATE RdRecords SET iQuantity = iQuantity - ? + 3, iUnitCost = 0.895, "
                             "fACost = NULL WHERE AutoID = ?"),
              {Decimal::fromText(unsettled).toVariant(), line});

    const auto run = [&](bool atOnce) {
        Transaction tx(pdb);
        if (atOnce) {
            posting.PostReceiptLines(engine, p);
        } else {
            for (const QDomDocument& r : posting.ReceiptLineRecords(engine, p))
                EXPECT_TRUE(engine.AccountSub(r)) << engine.lastError().toStdString();
        }
        QMap<QString, QStringList> out;
        out[QStringLiteral("ledger")] = rowsOf(QStringLiteral("IA_Subsidiary"), {}, &pdb);
        out[QStringLiteral("summary")] = rowsOf(QStringLiteral("IA_Summary"), {}, &pdb);
        out[QStringLiteral("layers")] =
            rowsOf(QStringLiteral("IA_ValuationAss"), {QStringLiteral("SubID")}, &pdb);
        if (atOnce) {
            EXPECT_EQ(
                Decimal::fromVariant(pdb.scalar(
                    QStringLiteral("SELECT iAInPrice FROM IA_Subsidiary WHERE cVouType = '33' AND ID = ?"),
                    {line})),
                Decimal::fromText(QStringLiteral("2.69")));
            QSqlQuery q = pdb.exec(
                QStringLiteral("SELECT iPUnitCost, iPPrice FROM RdRecords WHERE AutoID = ?"), {line});
            EXPECT_TRUE(q.next());
            EXPECT_EQ(Decimal::fromVariant(q.value(0)), Decimal::fromText(QStringLiteral("0.895")));
            EXPECT_EQ(Decimal::fromVariant(q.value(1)), Decimal::fromText(QStringLiteral("2.69")));
        }
        return out;  // the transaction rolls back
    };
    const auto oneByOne = run(false);
    const auto atOnce = run(true);
    EXPECT_GE(atOnce.value(QStringLiteral("ledger")).size(),
              rowsOf(QStringLiteral("IA_Subsidiary")).size() + records.size());
    EXPECT_EQ(atOnce, oneByOne);
}

// Catches: summaries keyed by warehouse under department accounting.
TEST_P(PostingTest, UnderDepartmentAccountingSummariesAreKeyedByDepartment) {
    open();
    setParam("IA", "cValueStyle", basis::kByDepartment);
    ASSERT_NO_THROW(post());
    const Sums s = summaryOf(0);
    EXPECT_EQ(s, ledgerSums(QStringLiteral("0"), true));
    EXPECT_EQ(
        db().scalar(QStringLiteral("SELECT COUNT(*) FROM IA_Summary WHERE cWhCode IS NOT NULL")).toInt(), 0);
}

// Catches: set-based summaries that go wrong at size (grouping, many warehouses
// and methods, rows sharing a key).
TEST_P(PostingTest, AGeneratedAccountPostsConsistently) {
    // A fresh account instead of the demo.
    m_account.reset();
    m_account = std::make_unique<ScratchAccount>(GetParam());
    demo::generateScale(db(), {60, 12, 1500, 300, 10, 7});
    open();
    ASSERT_NO_THROW(post());
    EXPECT_EQ(count(QStringLiteral("iMonth = 0 AND cAccounter IS NULL")), 0);
    EXPECT_EQ(summaryOf(0), ledgerSums(QStringLiteral("0"), false));
    EXPECT_EQ(summaryOf(1), ledgerSums(QStringLiteral("0, 1"), false));
}

QC_DB_SUITE(PostingTest);

// The engine row by row against the engine at once.
class EngineTest : public OpeningFixture {
  protected:
    QStringList tableRows(const QString& table) {
        QStringList cols;
        for (const QString& c : db().columnsOf(table))
            if (c != u"autoid") cols << c;
        QSqlQuery q = db().exec(QStringLiteral("SELECT %1 FROM %2").arg(cols.join(u','), table));
        QStringList out;
        while (q.next()) {
            QStringList r;
            for (int i = 0; i < cols.size(); ++i) {
                const QVariant v = q.value(i);
                bool number = false;
                v.toString().toDouble(&number);
                r << (v.isNull() ? QStringLiteral("<null>")
                      : number   ? Decimal::fromVariant(v).toString(10)
                                 : v.toString());
            }
            out << r.join(u'|');
        }
        out.sort();
        return out;
    }
};

// Catches: the per-row members and the set-based path disagreeing on a summary
// or a layer (keys with nulls, issues, rows without a warehouse).
TEST_P(EngineTest, RowByRowGivesTheSameSummariesAndLayersAsAtOnce) {
    open();
    const QDate posting(2025, 12, 31);
    db().exec(QStringLiteral("UPDATE IA_Subsidiary SET dKeepDate = ?, cAccounter = 'x' WHERE iMonth = 0"),
              {posting});
    // Start-month rows: a FIFO receipt and issue, a planned-price receipt with a
    // difference, and an issue without a warehouse.
    db().exec(QStringLiteral(
        "INSERT INTO IA_Subsidiary (bRdFlag, cWhCode, cDepCode, iMonth, cVouType, cVouCode, ID, cInvCode, "
        "iAInQuantity, iInCost, iAInPrice, iAOutQuantity, iOutCost, iAOutPrice, iDebitDifCost, dVouDate, "
        "bMoneyFlag) VALUES "
        "(1, '02', NULL, 1, '01', 'R1', 1, '1101', 10, 8.5, 85, NULL, NULL, NULL, NULL, '2026-01-05', 1), "
        "(0, '02', NULL, 1, '32', 'C1', 2, '1101', NULL, NULL, NULL, 4, 8.5, 34, NULL, '2026-01-06', 1), "
        "(1, '01', NULL, 1, '01', 'R2', 3, '1001', 2, 4200, 8400, NULL, NULL, NULL, 12.5, '2026-01-07', 1), "
        "(0, NULL, '0401', 1, '32', 'C2', 4, '3001', NULL, NULL, NULL, 3, 40, 120, NULL, '2026-01-08', 1)"));

    clsAccount setPath;
    ASSERT_TRUE(setPath.Init(db(), QStringLiteral("按仓库核算"), true, posting, QDate(2026, 1, 1),
                             QStringLiteral("x"), 2));
    ASSERT_TRUE(setPath.PostOpeningRows());
    ASSERT_TRUE(setPath.PostMonthRows({QStringLiteral("s.iMonth = 1"), {}}));
    const QStringList summary = tableRows(QStringLiteral("IA_Summary"));
    const QStringList layers = tableRows(QStringLiteral("IA_ValuationAss"));
    ASSERT_FALSE(summary.isEmpty());
    db().exec(QStringLiteral("DELETE FROM IA_Summary"));
    db().exec(QStringLiteral("DELETE FROM IA_ValuationAss"));

    clsAccount rows;
    ASSERT_TRUE(rows.Init(db(), QStringLiteral("按仓库核算"), true, posting, QDate(2026, 1, 1),
                          QStringLiteral("x"), 2));
    QSqlQuery q =
        db().exec(QStringLiteral("SELECT AutoID FROM IA_Subsidiary WHERE iMonth = 0 ORDER BY AutoID"));
    QList<qint64> ids;
    while (q.next()) ids << q.value(0).toLongLong();
    for (qint64 id : ids) ASSERT_TRUE(rows.VouchQCAccount(id));
    QSqlQuery m = db().exec(QStringLiteral(
        "SELECT s.cWhCode, s.cDepCode, s.cInvCode, s.bRdFlag, s.iAInQuantity, s.iAInPrice, s.iAOutQuantity, "
        "s.iAOutPrice, s.iDebitDifCost, s.iCreditDifCost, s.cVouCode, s.ID, s.dVouDate, s.iInCost, "
        "s.iOutCost, "
        "s.AutoID, s.cVouType, w.cWhValueStyle FROM IA_Subsidiary s LEFT JOIN Warehouse w ON w.cWhCode = "
        "s.cWhCode "
        "WHERE s.iMonth = 1 ORDER BY s.AutoID"));
    QList<QVariantList> monthRows;
    while (m.next()) {
        QVariantList r;
        for (int c = 0; c < 18; ++c) r << m.value(c);
        monthRows << r;
    }
    for (const QVariantList& r : monthRows) {
        const auto value = [&r](int c) { return r.at(c); };
        const bool in = value(3).toInt() == 1;
        const Decimal qty = Decimal::fromVariant(in ? value(4) : value(6));
        const Decimal amount = Decimal::fromVariant(in ? value(5) : value(7));
        const Decimal dd = Decimal::fromVariant(value(8)), cd = Decimal::fromVariant(value(9));
        const bool posted = value(0).isNull() ? rows.AccountSummaryZy(textOf(value(1)), textOf(value(2)),
                                                                      in ? 1 : 0, qty, amount, dd, cd)
                                              : rows.AccountSummary(textOf(value(0)), {}, textOf(value(2)),
                                                                    in ? 1 : 0, qty, amount, dd, cd);
        ASSERT_TRUE(posted);
        const QString method = textOf(value(17));
        if (method == costing::kFifo || method == costing::kLifo) {
            ASSERT_TRUE(rows.AccountAss(textOf(value(10)), value(11).toLongLong(), dateOf(value(12)), QDate(),
                                        textOf(value(0)), {}, textOf(value(2)), in ? 1 : 0, qty,
                                        Decimal::fromVariant(in ? value(13) : value(14)), amount,
                                        value(15).toLongLong(), textOf(value(16))));
        }
    }
    EXPECT_EQ(tableRows(QStringLiteral("IA_Summary")), summary);
    EXPECT_EQ(tableRows(QStringLiteral("IA_ValuationAss")), layers);

    // Each member reports a failure instead of writing.
    const QMap<QString, std::function<bool()>> members{
        {QStringLiteral("AccountSummary"),
         [&] {
             return rows.AccountSummary(QStringLiteral("02"), {}, QStringLiteral("1101"), 1, 1, 1, 0, 0);
         }},
        {QStringLiteral("AccountSummaryZy"),
         [&] { return rows.AccountSummaryZy(QStringLiteral("06"), QStringLiteral("1101"), 1, 1, 1, 0, 0); }},
        {QStringLiteral("AccountAss"),
         [&] {
             return rows.AccountAss({}, 0, {}, {}, QStringLiteral("02"), {}, QStringLiteral("1101"), 1, 1, 1,
                                    1, 0, QStringLiteral("01"));
         }},
        {QStringLiteral("VouchQCAccount"), [&] { return rows.VouchQCAccount(ids.first()); }}};
    for (auto it = members.cbegin(); it != members.cend(); ++it) {
        postingFaults().failAt = it.key();
        const QStringList s = tableRows(QStringLiteral("IA_Summary"));
        const QStringList l = tableRows(QStringLiteral("IA_ValuationAss"));
        EXPECT_FALSE(it.value()()) << it.key().toStdString();
        EXPECT_EQ(tableRows(QStringLiteral("IA_Summary")), s);
        EXPECT_EQ(tableRows(QStringLiteral("IA_ValuationAss")), l);
    }
    postingFaults().failAt.clear();
}

// Catches: the opening summaries written at once in their carried form (an empty
// summary table) differing from those written with their movements and then
// carried, which is the way taken when summaries were there before: the unit
// price, the difference rate, the emptied movements.
TEST_P(EngineTest, OpeningSummariesCarriedAtOnceEqualThoseCarriedAfterwards) {
    open();
    const QDate posting(2025, 12, 31);
    // A balance whose unit price and difference rate do not end: 10 / 3 and 1 / 7.
    db().exec(
        QStringLiteral("INSERT INTO IA_Subsidiary (bRdFlag, cWhCode, iMonth, cVouType, cVouCode, ID, "
                       "cInvCode, iAInQuantity, "
                       "iInCost, iAInPrice, iDebitDifCost, dVouDate, bMoneyFlag) VALUES "
                       "(1, '05', 0, '34', 'Q9', 9, '9001', 3, 3.3333, 10, NULL, '2025-12-01', 1), "
                       "(1, '06', 0, '34', 'Q8', 8, '9002', 1, 7, 7, 1, '2025-12-01', 1)"));
    db().exec(QStringLiteral("UPDATE IA_Subsidiary SET dKeepDate = ?, cAccounter = 'x' WHERE iMonth = 0"),
              {posting});
    const auto post = [&] {
        clsAccount engine;
        EXPECT_TRUE(engine.Init(db(), QStringLiteral("按仓库核算"), true, posting, QDate(2026, 1, 1),
                                QStringLiteral("x"), 2));
        EXPECT_TRUE(engine.PostOpeningRowsCarried()) << engine.lastError().toStdString();
        EXPECT_TRUE(engine.CarryOpeningSummaries()) << engine.lastError().toStdString();
    };
    post();
    const QStringList atOnce = tableRows(QStringLiteral("IA_Summary"));
    ASSERT_FALSE(atOnce.isEmpty());
    // A month's differences and unit prices are among them.
    EXPECT_GT(
        db().scalar(QStringLiteral("SELECT COUNT(*) FROM IA_Summary WHERE iUnitPrice IS NOT NULL")).toInt(),
        0);
    EXPECT_EQ(db().scalar(QStringLiteral("SELECT COUNT(*) FROM IA_Summary WHERE iINum IS NOT NULL")).toInt(),
              0);

    db().exec(QStringLiteral("DELETE FROM IA_Summary"));
    db().exec(QStringLiteral("DELETE FROM IA_ValuationAss"));
    db().exec(
        QStringLiteral("INSERT INTO IA_Summary (cWhCode, cInvCode, iMonth, iNum) VALUES ('01', 'x', 99, 1)"));
    post();
    db().exec(QStringLiteral("DELETE FROM IA_Summary WHERE iMonth = 99"));
    EXPECT_EQ(tableRows(QStringLiteral("IA_Summary")), atOnce);

    // Written with their copy into the start month in the same statement: month 0
    // as before, and beside each row its copy without unit price and rate.
    db().exec(QStringLiteral("DELETE FROM IA_Summary"));
    db().exec(QStringLiteral("DELETE FROM IA_ValuationAss"));
    clsAccount engine;
    ASSERT_TRUE(engine.Init(db(), QStringLiteral("按仓库核算"), true, posting, QDate(2026, 1, 1),
                            QStringLiteral("x"), 2));
    ASSERT_TRUE(engine.PostOpeningRowsCarried());
    ASSERT_TRUE(engine.CarryOpeningSummaries(1)) << engine.lastError().toStdString();
    EXPECT_EQ(engine.carriedInto(), 1);
    const qint64 copies =
        db().scalar(QStringLiteral("SELECT COUNT(*) FROM IA_Summary WHERE iMonth = 1")).toLongLong();
    db().exec(QStringLiteral("DELETE FROM IA_Summary WHERE iMonth = 1"));
    EXPECT_EQ(tableRows(QStringLiteral("IA_Summary")), atOnce);
    EXPECT_EQ(copies, atOnce.size());
}

QC_DB_SUITE(EngineTest);

}  // namespace
}  // namespace qc::test
