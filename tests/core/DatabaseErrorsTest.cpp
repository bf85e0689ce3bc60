// The database failing under an open window: another copy holding the database
// (SQLite) or the table (PostgreSQL) past the lock wait, a database file grown to
// its limit, the server ending the window's session. Each store is refused with
// the cause named, nothing is half-written, and the window stores again once the
// cause is gone.

#include "support/OpeningFixture.h"

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

// Catches: a full database reported as anything but itself, an import that
// stores part of its rows when the space runs out, and a window left unable to
// store when space is there again. SQLite: the file is limited to the pages it
// has (the same failure as a full disk).
TEST_P(DatabaseErrorsTest, AFullDatabaseRefusesTheWholeImportAndNamesTheCause) {
    if (GetParam() != "sqlite") GTEST_SKIP() << "a full server disk is not made in a test";
    open();
    pick(u"02"_s);
    const qint64 before = count(u"1 = 1"_s);
    const qint64 pages = windowDb().scalar(u"PRAGMA page_count"_s).toLongLong();
    windowDb().exec(u"PRAGMA max_page_count = %1"_s.arg(pages));
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

    windowDb().exec(u"PRAGMA max_page_count = 1073741823"_s);
    const opening::ImportOutcome stored = entry->ImportSheet(sheet, request);
    EXPECT_EQ(stored.status, opening::ImportOutcome::Status::Stored) << stored.message.toStdString();
    EXPECT_EQ(count(u"1 = 1"_s), before + rows.size());
}

// Catches: a window whose connection the server ended (a restart, an
// administrator) failing every later command, or a store half-written when the
// connection goes in the middle of it.
TEST_P(DatabaseErrorsTest, AfterTheServerEndsTheSessionTheNextStoreConnectsAgain) {
    if (GetParam() != "postgres") GTEST_SKIP() << "SQLite has no server";
    open();
    pick(u"02"_s);
    const int row = typedRow();
    const qint64 before = count(u"1 = 1"_s);
    const QVariant pid = windowDb().scalar(u"SELECT pg_backend_pid()"_s);
    db().exec(u"SELECT pg_terminate_backend(?)"_s, {pid});
    sink.clear();
    EXPECT_FALSE(leave(row));
    ASSERT_FALSE(sink.texts().isEmpty());
    EXPECT_TRUE(sink.last().contains(u"与数据库的连接已断开"_s)) << sink.last().toStdString();
    EXPECT_EQ(count(u"1 = 1"_s), before);
    ASSERT_TRUE(leave(row)) << sink.texts().join(u' ').toStdString();
    EXPECT_EQ(count(u"1 = 1"_s), before + 1);
    EXPECT_NE(windowDb().scalar(u"SELECT pg_backend_pid()"_s), pid);
}

QC_DB_SUITE(DatabaseErrorsTest);

}  // namespace
}  // namespace qc
