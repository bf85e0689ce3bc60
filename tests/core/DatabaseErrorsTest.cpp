// The database failing under an open window: another copy holding the database
// (SQLite) or the table (PostgreSQL) past the lock wait, a database file grown to
// its limit, the server ending the window's session. Each store is refused with
// the cause named, nothing is half-written, and the window stores again once the
// cause is gone.

#include "opening/FetchStock.h"
#include "opening/Posting.h"
#include "platform/UnitSteps.h"
#include "support/DatabaseDump.h"
#include "support/OpeningFixture.h"

#include <QRegularExpression>

#include <functional>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

namespace Col = opening::Col;

class DatabaseErrorsTest : public test::OpeningFixture {
  protected:
    void SetUp() override {
        // A short wait keeps the test quick; the window waits 10 s.
        Database::setLockWait(300);
        OpeningFixture::SetUp();
    }
    void TearDown() override {
        OpeningFixture::TearDown();
        Database::setLockWait(10000);
    }
    // A new row of item 1101 in warehouse 02, typed and not stored yet.
    int typedRow() {
        const int row = grid().addEmptyRow();
        for (const auto& [col, text] :
             {std::pair{Col::InvCode, u"1101"_s}, std::pair{Col::Quantity, u"3"_s}}) {
            QString value = text;
            bool cancel = false;
            entry->ValidateCell(value, cancel, row, col);
            EXPECT_FALSE(cancel) << sink.last().toStdString();
            grid().setText(row, col, value);
        }
        return row;
    }
    Database& windowDb() { return ctx.gDb->Connection(); }
};

// Catches: a window that waits without end on another copy's lock, a failure
// reported as "数据超出允许范围" or in nobody's words, and a window that cannot
// store again once the other copy has let go.
TEST_P(DatabaseErrorsTest, AnotherCopyHoldingTheDatabaseDelaysTheStoreButLosesNothing) {
    open();
    pick(u"02"_s);
    const int row = typedRow();
    const QStringList typed = grid().dataRow(row);
    const qint64 before = count(u"1 = 1"_s);
    {
        const std::unique_ptr<Database> other = Database::open(conn());
        if (GetParam() == "sqlite") {
            other->exec(u"BEGIN EXCLUSIVE"_s);
        } else {
            other->exec(u"BEGIN"_s);
            other->exec(u"LOCK TABLE IA_Subsidiary IN ACCESS EXCLUSIVE MODE"_s);
        }
        sink.clear();
        EXPECT_FALSE(leave(row));
        ASSERT_EQ(sink.texts().size(), 1);
        EXPECT_TRUE(sink.last().startsWith(u"保存失败：数据正被其他用户使用，请稍后再试"_s))
            << sink.last().toStdString();
        other->exec(u"ROLLBACK"_s);
    }
    EXPECT_EQ(count(u"1 = 1"_s), before);
    EXPECT_EQ(grid().dataRow(row), typed);
    ASSERT_TRUE(leave(row)) << sink.last().toStdString();
    EXPECT_EQ(count(u"1 = 1"_s), before + 1);
}

// Catches: a full database reported as anything but itself, an import, a
// take-over or a posting that writes part of its rows when the space runs out,
// and a window left unable to work when space is there again. SQLite: the file
// is limited to the pages it has (the same failure as a full disk). PostgreSQL:
// the account's tables are moved to a tablespace on a small file system of its
// own, which is then filled.
TEST_P(DatabaseErrorsTest, AFullDatabaseRefusesTheWholeImportAndNamesTheCause) {
    const QString tablespace = qEnvironmentVariable("QC_TEST_PG_SMALL_TABLESPACE");
    if (GetParam() == "postgres" && tablespace.isEmpty())
        GTEST_SKIP() << "no small tablespace (QC_TEST_PG_SMALL_TABLESPACE; scripts/test.sh makes one)";
    // The name goes into the statements as an identifier: it must be one.
    ASSERT_TRUE(tablespace.isEmpty() ||
                QRegularExpression(u"^[a-z_][a-z0-9_]*$"_s).match(tablespace).hasMatch())
        << tablespace.toStdString();
    open();
    pick(u"02"_s);
    const qint64 before = count(u"1 = 1"_s);
    const QString filler = u"qc_filler"_s;
    if (GetParam() == "sqlite") {
        const qint64 pages = windowDb().scalar(u"PRAGMA page_count"_s).toLongLong();
        windowDb().exec(u"PRAGMA max_page_count = %1"_s.arg(pages));
    } else {
        // The names come from the database's own catalogue.
        for (const QString& table : db().tables())
            db().exec(u"ALTER TABLE %1 SET TABLESPACE %2"_s.arg(table, tablespace));
        db().exec(u"CREATE TABLE %1 (b TEXT) TABLESPACE %2"_s.arg(filler, tablespace));
        db().exec(u"ALTER TABLE %1 ALTER COLUMN b SET STORAGE EXTERNAL"_s.arg(filler));
        // Texts of 1 MB, then of 64 KB, then of 4 KB, each size until the file
        // system refuses it: what is left is less than a page.
        int refused = 0;
        for (const int size : {1 << 20, 1 << 16, 1 << 12}) {
            for (int i = 0; i < 64; ++i) {
                try {
                    db().exec(u"INSERT INTO %1 VALUES (repeat('x', ?))"_s.arg(filler), {size});
                } catch (const DbError& e) {
                    ASSERT_EQ(e.kind(), DbError::Kind::Full) << e.message().toStdString();
                    ++refused;
                    break;
                }
            }
        }
        ASSERT_EQ(refused, 3) << "the small file system did not fill";
    }
    QList<QStringList> rows;
    for (int i = 0; i < 2000; ++i) rows << QStringList{u"1101"_s, u"1"_s, QString(20, u'批')};
    const Sheet sheet = test::sheetOf(
        {grid().caption(Col::InvCode), grid().caption(Col::Quantity), grid().caption(Col::Batch)}, rows);
    opening::ImportRequest request;
    request.overwrite = false;
    sink.clear();
    const opening::ImportOutcome full = entry->ImportSheet(sheet, request);
    EXPECT_NE(full.status, opening::ImportOutcome::Status::Stored);
    EXPECT_TRUE((full.message + sink.texts().join(u' ')).contains(u"磁盘空间不足"_s))
        << full.message.toStdString() << sink.texts().join(u' ').toStdString();
    EXPECT_EQ(count(u"1 = 1"_s), before);
    // The take-over and the posting, on the same full file: refused with the
    // cause, the account as it was.
    const QStringList skipped{u"qc_task"_s, u"qc_counter"_s, filler};
    const test::DatabaseDump full0 = test::dumpDatabase(db(), skipped);
    db().exec(u"UPDATE GL_mEnd SET bFlag_ST = 1 WHERE iPeriod = 1"_s);
    const test::DatabaseDump fullBefore = test::dumpDatabase(db(), skipped);
    sink.clear();
    EXPECT_FALSE(opening::FetchOpenings(ctx, u"02"_s, true));
    EXPECT_TRUE(sink.texts().join(u' ').contains(u"磁盘空间不足"_s)) << sink.texts().join(u' ').toStdString();
    EXPECT_EQ(test::dumpDifference(fullBefore, test::dumpDatabase(db(), skipped)), QString());
    db().exec(u"UPDATE GL_mEnd SET bFlag_ST = 0 WHERE iPeriod = 1"_s);
    EXPECT_EQ(test::dumpDifference(full0, test::dumpDatabase(db(), skipped)), QString());
    try {
        opening::Posting(ctx).PostOpenings();
        ADD_FAILURE() << "posted into a full database";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().contains(u"磁盘空间不足"_s)) << e.message().toStdString();
    }
    EXPECT_EQ(test::dumpDifference(full0, test::dumpDatabase(db(), skipped)), QString());

    // Room again: each goes through.
    if (GetParam() == "sqlite")
        windowDb().exec(u"PRAGMA max_page_count = 1073741823"_s);
    else
        db().exec(u"DROP TABLE %1"_s.arg(filler));
    const opening::ImportOutcome stored = entry->ImportSheet(sheet, request);
    EXPECT_EQ(stored.status, opening::ImportOutcome::Status::Stored) << stored.message.toStdString();
    EXPECT_EQ(count(u"1 = 1"_s), before + rows.size());
    EXPECT_NO_THROW(opening::Posting(ctx).PostOpenings());
}

// Catches: a window whose connection the server ended (a restart, an
// administrator) failing its next command: the store opens the connection again
// and is written once.
TEST_P(DatabaseErrorsTest, AfterTheServerEndsTheSessionTheNextStoreConnectsAgain) {
    if (GetParam() != "postgres") GTEST_SKIP() << "SQLite has no server";
    open();
    pick(u"02"_s);
    const int row = typedRow();
    const qint64 before = count(u"1 = 1"_s);
    const QVariant pid = windowDb().scalar(u"SELECT pg_backend_pid()"_s);
    db().exec(u"SELECT pg_terminate_backend(?)"_s, {pid});
    sink.clear();
    ASSERT_TRUE(leave(row)) << sink.texts().join(u' ').toStdString();
    EXPECT_TRUE(sink.texts().isEmpty()) << sink.texts().join(u' ').toStdString();
    EXPECT_EQ(count(u"1 = 1"_s), before + 1);
    EXPECT_NE(windowDb().scalar(u"SELECT pg_backend_pid()"_s), pid);
}

// Catches: an import or a posting committed in part when the server ends the
// session in the middle of it (a restart, an administrator), a failure that does
// not say the connection went, a task claim or half-written row that refuses
// the next run, and an operation that cannot be run again once the server is
// back. The session is ended at every statement group in turn: inside a unit of
// work the operation is refused and the account is as before; between units (the
// import's checks) the connection is opened again and the operation runs to its
// end, once.
TEST_P(DatabaseErrorsTest, TheServerEndingTheSessionMidOperationLeavesTheAccountAsBefore) {
    if (GetParam() != "postgres") GTEST_SKIP() << "SQLite has no server";
    open();
    pick(u"08"_s);
    const Sheet sheet = test::sheetOf({grid().caption(Col::InvCode), grid().caption(Col::Quantity)},
                                      {{u"1101"_s, u"2"_s}, {u"1102"_s, u"3"_s}});
    const qint64 openings = count(u"cWhCode = '08' AND iMonth = 0"_s);
    struct Operation {
        QString name;
        std::function<QString()> run;  // the refusal, or nothing when it ran to its end
        std::function<void()> undo;    // back to before it, for the next round
    };
    const QList<Operation> operations{
        {u"导入"_s,
         [&] {
             opening::ImportRequest request;
             request.overwrite = false;
             const opening::ImportOutcome out = entry->ImportSheet(sheet, request);
             return out.status == opening::ImportOutcome::Status::Stored ? QString() : out.message;
         },
         [&] { db().exec(u"DELETE FROM IA_Subsidiary WHERE cWhCode = '08' AND iMonth = 0"_s); }},
        {u"记账"_s,
         [&] {
             try {
                 opening::Posting(ctx).PostOpenings();
                 return QString();
             } catch (const DbError& e) {
                 return e.message();
             }
         },
         [&] { opening::Posting(ctx).CancelPosting(); }},
    };
    const QStringList skipped = QStringList{u"qc_task"_s, u"qc_counter"_s} + test::kTrailTables;
    int ended = 0, healed = 0;
    for (const Operation& op : operations) {
        for (int at = 1;; ++at) {
            ASSERT_LT(at, 60) << op.name.toStdString() << " never ran to its end";
            const test::DatabaseDump before = test::dumpDatabase(db(), skipped);
            const qint64 events = test::changeEvents(db());
            // The sessions of this process (the window's and the host's), not those
            // of other copies on the same server.
            int seen = 0;
            unitStepHook() = [&](const QString&) {
                if (++seen == at)
                    db().exec(
                        u"SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = "
                        "current_setting('application_name') AND pid <> pg_backend_pid()"_s);
            };
            const QString refusal = op.run();
            unitStepHook() = nullptr;
            const std::string where = op.name.toStdString() + " at step " + std::to_string(at);
            if (seen < at) {
                ASSERT_TRUE(refusal.isEmpty()) << where << ": " << refusal.toStdString();
                break;
            }
            if (refusal.isEmpty()) {
                ++healed;
                EXPECT_EQ(test::changeEvents(db()), events + 1) << where;
                op.undo();
                continue;
            }
            ++ended;
            EXPECT_TRUE(refusal.contains(u"与数据库的连接已断开"_s))
                << where << ": " << refusal.toStdString();
            ASSERT_EQ(test::dumpDifference(before, test::dumpDatabase(db(), skipped)), QString()) << where;
            EXPECT_EQ(test::changeEvents(db()), events) << where;
        }
    }
    RecordProperty("ended", ended);
    RecordProperty("healed", healed);
    EXPECT_GT(ended, 4);
    EXPECT_GT(healed, 0);
    EXPECT_EQ(count(u"cWhCode = '08' AND iMonth = 0"_s), openings + 2);
}

QC_DB_SUITE(DatabaseErrorsTest);

}  // namespace
}  // namespace qc
