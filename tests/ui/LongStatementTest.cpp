// A statement that runs long inside long work, on either database: the progress
// dialog shows and is painted while it runs, and its 取消 stops a statement that
// writes or computes, with the unit of work rolled back, but never cuts short
// the rows of a result being read. On a server the statements of long work take
// another way to the server than other statements; what they give must not
// differ.

#include "platform/Database.h"
#include "platform/UnitSteps.h"
#include "shared/ui/StepProgress.h"
#include "support/TestDb.h"

#include <QDateTime>
#include <QProgressDialog>
#include <QPushButton>
#include <QSqlRecord>
#include <QTest>
#include <QTimer>

#include <QWidget>
#include <functional>

#include <optional>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

// Numbers 1 to a bound count from a recursive query: long enough to run for a
// while, with no sort, so that its rows come as they are made.
const QString kNumbers = u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "_s;

class LongStatementTest : public test::DbTest {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        window.resize(300, 200);
        window.show();
        db().exec(u"CREATE TABLE scratch (i INTEGER)"_s);
        StepProgress::setDelay(0);
    }
    void TearDown() override {
        StepProgress::setDelay(400);
        DbTest::TearDown();
    }
    QProgressDialog* dialog() {
        for (QProgressDialog* d : window.findChildren<QProgressDialog*>())
            if (d->isVisible()) return d;
        return nullptr;
    }
    // Clicks 取消 the first time the event loop runs, noting whether the dialog
    // was up by then.
    void cancelAtFirstChance() {
        QTimer::singleShot(0, &window, [this] {
            QProgressDialog* d = dialog();
            dialogWasUp = d != nullptr;
            if (d) QTest::mouseClick(d->findChild<QPushButton*>(), Qt::LeftButton);
        });
    }
    QWidget window;
    bool dialogWasUp = false;
};

// Catches: a long statement that freezes the window and cannot be stopped until
// it ends, an interrupted statement reported as a failure rather than as the
// user's cancel, statements after the stopped one kept outside any unit, a
// unit of work left unusable after SQLite rolled it back itself, and a read whose rows stop at the cancel as
// though the result ended.
TEST_P(LongStatementTest, CancelStopsAStatementWhileItRunsButNeverCutsAReadShort) {
    {
        StepProgress progress(&window);
        Transaction tx(db());
        announceStep(u"fetch"_s, u"prepare"_s);
        db().exec(u"INSERT INTO scratch (i) VALUES (0)"_s);
        cancelAtFirstChance();
        try {
            // Would insert 50 million rows if it ran to its end.
            db().exec(u"INSERT INTO scratch (i) "_s + kNumbers + u"SELECT i FROM n"_s, {50'000'000});
            ADD_FAILURE() << "the statement ran to its end";
        } catch (const DbError& e) {
            EXPECT_EQ(e.kind(), DbError::Kind::Cancelled) << e.message().toStdString();
            EXPECT_EQ(e.message(), u"已取消取数，数据没有任何改动。"_s);
        }
        EXPECT_TRUE(dialogWasUp) << "the dialog was not shown while the statement ran";
        // The stopped statement spoilt the unit (SQLite rolled it back itself):
        // what the work would still run in it is refused rather than kept on
        // its own.
        EXPECT_THROW(db().exec(u"INSERT INTO scratch (i) VALUES (9)"_s), DbError);
    }
    EXPECT_EQ(db().scalar(u"SELECT COUNT(*) FROM scratch"_s).toLongLong(), 0);
    {
        Transaction tx(db());
        db().exec(u"INSERT INTO scratch (i) VALUES (1)"_s);
        tx.commit();
    }
    EXPECT_EQ(db().scalar(u"SELECT COUNT(*) FROM scratch"_s).toLongLong(), 1);

    constexpr int kRows = 1'000'000;
    dialogWasUp = false;
    if (GetParam() != "sqlite") {
        // A server computes a result whole before its first row comes: a
        // cancel meanwhile stops the statement, and no row is read at all.
        StepProgress progress(&window);
        Transaction tx(db());
        announceStep(u"posting"_s, u"read"_s);
        cancelAtFirstChance();
        try {
            db().exec(kNumbers + u"SELECT i FROM n ORDER BY i DESC"_s, {50'000'000});
            ADD_FAILURE() << "the statement ran to its end";
        } catch (const DbError& e) {
            EXPECT_EQ(e.kind(), DbError::Kind::Cancelled) << e.message().toStdString();
            EXPECT_EQ(e.message(), u"已取消记账，数据没有任何改动。"_s);
        }
        EXPECT_TRUE(dialogWasUp) << "the dialog was not shown while the statement ran";
        return;
    }
    // SQLite makes the rows of a result while they are read: a cancel then lets
    // the read end, and stops the work at its next step instead.
    {
        StepProgress progress(&window);
        Transaction tx(db());
        announceStep(u"posting"_s, u"read"_s);
        QSqlQuery q = db().exec(kNumbers + u"SELECT i FROM n"_s, {kRows});
        cancelAtFirstChance();
        qint64 read = 0, sum = 0;
        while (q.next()) {
            ++read;
            sum += q.value(0).toLongLong();
        }
        EXPECT_TRUE(dialogWasUp) << "the dialog was not shown while the rows were read";
        EXPECT_EQ(read, kRows);
        EXPECT_EQ(sum, qint64{kRows} * (kRows + 1) / 2);
        db().exec(u"INSERT INTO scratch (i) VALUES (2)"_s);
        try {
            announceStep(u"posting"_s, u"write"_s);
            ADD_FAILURE() << "the work went on after the cancel";
        } catch (const DbError& e) {
            EXPECT_EQ(e.kind(), DbError::Kind::Cancelled);
            EXPECT_EQ(e.message(), u"已取消记账，数据没有任何改动。"_s);
        }
    }
    EXPECT_EQ(db().scalar(u"SELECT COUNT(*) FROM scratch"_s).toLongLong(), 1);
}

// What one statement gave: its columns, its rows (each value with its type),
// the rows it changed, or that it failed (and, told by the database layer, why).
struct Given {
    QStringList columns;
    QList<QVariantList> rows;
    int changed = 0;
    bool failed = false;
    std::optional<DbError::Kind> why;
};

void readInto(Given& out, QSqlQuery& q) {
    if (!q.isSelect()) out.changed = q.numRowsAffected();
    const QSqlRecord record = q.record();
    for (int i = 0; i < record.count(); ++i) out.columns << record.fieldName(i);
    while (q.next()) {
        QVariantList row;
        for (int i = 0; i < record.count(); ++i) row << q.value(i);
        out.rows << row;
    }
}

// Through the database layer, whichever way it sends the statement.
Given run(Database& db, const QString& sql, const QVariantList& binds) {
    Given out;
    try {
        QSqlQuery q = db.exec(sql, binds);
        readInto(out, q);
    } catch (const DbError& e) {
        out.failed = true;
        out.why = e.kind();
    }
    return out;
}

// Through the driver alone, prepared and bound as the driver does it.
Given runByDriver(QSqlDatabase& handle, const QString& sql, const QVariantList& binds) {
    Given out;
    QSqlQuery q(handle);
    q.setForwardOnly(true);
    bool ok = q.prepare(sql);
    for (int i = 0; ok && i < binds.size(); ++i) q.bindValue(i, binds[i]);
    ok = ok && q.exec();
    if (ok)
        readInto(out, q);
    else
        out.failed = true;
    return out;
}

void expectSame(const Given& expected, const Given& given) {
    EXPECT_EQ(expected.columns, given.columns);
    EXPECT_EQ(expected.changed, given.changed);
    EXPECT_EQ(expected.failed, given.failed);
    ASSERT_EQ(expected.rows.size(), given.rows.size());
    for (qsizetype r = 0; r < expected.rows.size(); ++r) {
        ASSERT_EQ(expected.rows[r].size(), given.rows[r].size());
        for (qsizetype c = 0; c < expected.rows[r].size(); ++c) {
            const QVariant& a = expected.rows[r][c];
            const QVariant& b = given.rows[r][c];
            EXPECT_EQ(a.typeId(), b.typeId()) << "row " << r << " column " << c;
            EXPECT_EQ(a.isNull(), b.isNull()) << "row " << r << " column " << c;
            EXPECT_EQ(a, b) << "row " << r << " column " << c << ": " << a.toString().toStdString() << " / "
                            << b.toString().toStdString();
        }
    }
}

// Catches: a value read back, by long work or any other statement, as another
// type or another value than the driver gives (an exact number rounded, a date
// as text, a null without its type, a big number cut), a value bound with
// another type than the driver gives it (a text that cannot be compared with a
// date, a number a CASE turns into text), a changed-row count lost, and a
// failure missed or told as another cause.
TEST_P(LongStatementTest, EveryWayToTheDatabaseReadsAndWritesWhatTheDriverDoes) {
    db().exec(
        u"CREATE TABLE kinds (k INTEGER, b BIGINT, n NUMERIC(18, 6), t VARCHAR(40), d DATE, "
        u"f DOUBLE PRECISION)"_s);
    const QString insert = u"INSERT INTO kinds (k, b, n, t, d, f) VALUES (?, ?, ?, ?, ?, ?)"_s;
    db().exec(insert,
              {1, qlonglong{5'000'000'000}, u"12345678.123456"_s, u"甲乙 'x' ?"_s, QDate(2026, 1, 31), 1.5});
    db().exec(insert, {2, qlonglong{-7}, u"-0.000001"_s, QString(), QDate(1999, 12, 31), -2.0});
    db().exec(insert, {QVariant(QMetaType(QMetaType::Int)), QVariant(QMetaType(QMetaType::LongLong)),
                       QVariant(QMetaType(QMetaType::QString)), QVariant(QMetaType(QMetaType::QString)),
                       QVariant(QMetaType(QMetaType::QDate)), QVariant(QMetaType(QMetaType::Double))});

    const QList<std::pair<QString, QVariantList>> statements = {
        {u"SELECT k, b, n, t, d, f FROM kinds ORDER BY COALESCE(k, 0)"_s, {}},
        {u"SELECT k, n * 2 AS twice, t || '?' AS marked FROM kinds WHERE d <= ? AND n > ? AND t LIKE ? "
         u"ORDER BY k"_s,
         {QDate(2026, 12, 31), u"-1"_s, u"甲%"_s}},
        {u"SELECT CASE WHEN ? > 0 THEN ? ELSE ? END AS pick, ? + 1 AS next, ? AS big, ? AS half, "
         u"? AS whole, ? AS text, ? AS day, ? AS nothing, CASE WHEN ? THEN 1 ELSE 0 END AS yes"_s,
         {3, u"7.50"_s, u"8"_s, qlonglong{41}, qlonglong{6'000'000'000}, 0.5, 2.0, u"乙"_s,
          QDate(2026, 2, 28), QVariant(QMetaType(QMetaType::QDate)), true}},
        {u"SELECT COUNT(*) AS rows_, SUM(n) AS total, MAX(d) AS last FROM kinds"_s, {}},
        {u"UPDATE kinds SET t = ? WHERE k >= ?"_s, {u"丙"_s, 1}},
        {u"UPDATE kinds SET t = ? WHERE k > ?"_s, {u"丁"_s, 100}},
        {u"INSERT INTO kinds (k) VALUES (?)"_s, {qlonglong{99'999'999'999}}},
        // A null text or byte string is bound as a null, an empty text as a text.
        {u"UPDATE kinds SET t = 'x' WHERE CAST(? AS VARCHAR(10)) IS NULL"_s, {QString()}},
        {u"UPDATE kinds SET t = 'x' WHERE CAST(? AS VARCHAR(10)) IS NULL"_s, {u""_s}},
        {u"SELECT CASE WHEN CAST(? AS VARCHAR(10)) IS NULL THEN 1 ELSE 0 END AS unset, "
         u"CASE WHEN CAST(? AS VARCHAR(10)) IS NULL THEN 1 ELSE 0 END AS empty"_s,
         {QString(), u""_s}},
        {u"SELECT k FROM no_such_table WHERE k = ?"_s, {1}},
        {u"DELETE FROM no_such_table WHERE k = ?"_s, {1}},
        {u"DELETE FROM kinds WHERE k = ?"_s, {2}},
    };
    // Each way runs in a unit of work of its own that is rolled back, so that
    // each finds the table as the others did.
    for (const auto& [sql, binds] : statements) {
        SCOPED_TRACE(sql.toStdString());
        Given driver, plain, watched;
        {
            const Transaction tx(db());
            driver = runByDriver(db().handle(), sql, binds);
        }
        {
            const Transaction tx(db());
            plain = run(db(), sql, binds);
        }
        {
            const Transaction tx(db());
            const StatementPulse pulse([] { return false; });
            watched = run(db(), sql, binds);
        }
        expectSame(driver, plain);
        expectSame(driver, watched);
        EXPECT_EQ(plain.why, watched.why);
    }
    // How a statement with values would run: the driver cannot prepare such an
    // account on a server; the layer sends the statement with its values.
    {
        const QString explain = GetParam() == "sqlite" ? u"EXPLAIN QUERY PLAN "_s : u"EXPLAIN "_s;
        QSqlQuery plan = db().exec(explain + u"SELECT k FROM kinds WHERE k = ? AND t = ?"_s, {1, u"甲"_s});
        EXPECT_TRUE(plan.next());
        EXPECT_FALSE(plan.value(plan.record().count() - 1).toString().isEmpty());
    }
    // What each way stores: the same values written by the driver and by each way
    // are read back by the driver alike, on SQLite with the storage class each
    // took too (a number kept as text sorts and compares as text).
    const QVariantList written[] = {
        {7, qlonglong{5'000'000'000}, u"0.10"_s, u"甲 ?"_s, QDate(2026, 1, 31), 0.25},
        {-3, 42U, 12.5, u""_s, QDate(1999, 12, 31), 2.0},
        {QVariant(QMetaType(QMetaType::Int)), QVariant(QMetaType(QMetaType::LongLong)), QString(), QString(),
         QDate(), QVariant(QMetaType(QMetaType::Double))},
    };
    const QString classes = GetParam() == "sqlite"
                                ? u", typeof(k), typeof(b), typeof(n), typeof(t), typeof(d), typeof(f)"_s
                                : QString();
    const Transaction tx(db());
    for (const QVariantList& values : written) {
        const QString write = u"INSERT INTO kinds (k, b, n, t, d, f) VALUES (?, ?, ?, ?, ?, ?)"_s;
        const auto storedBy = [&](const std::function<void(const QVariantList&)>& way) {
            db().exec(u"DELETE FROM kinds"_s);
            way(values);
            return runByDriver(db().handle(), u"SELECT k, b, n, t, d, f"_s + classes + u" FROM kinds"_s, {});
        };
        const Given byDriver = storedBy(
            [&](const QVariantList& v) { ASSERT_FALSE(runByDriver(db().handle(), write, v).failed); });
        ASSERT_EQ(byDriver.rows.size(), 1);
        expectSame(byDriver, storedBy([&](const QVariantList& v) { db().exec(write, v); }));
        expectSame(byDriver, storedBy([&](const QVariantList& v) {
                       const StatementPulse pulse([] { return false; });
                       db().exec(write, v);
                   }));
    }

    // SQLite keeps a value in a column without a declared type as it was bound:
    // each kind of value is stored by the driver and by the database layer alike.
    if (GetParam() == "sqlite") {
        db().exec(u"CREATE TABLE loose (v)"_s);
        const QVariantList kinds{7,
                                 true,
                                 0.25,
                                 42U,
                                 qlonglong{-5'000'000'000},
                                 qulonglong{18'000'000'000'000'000'000ULL},
                                 u"甲"_s,
                                 u""_s,
                                 QString(),
                                 QDate(2026, 1, 31),
                                 QDate(),
                                 QDateTime(QDate(2026, 2, 1), QTime(8, 30, 1, 250)),
                                 QTime(23, 59, 58, 7),
                                 QByteArray("\x00\x01", 2),
                                 QVariant(QMetaType(QMetaType::Int))};
        for (const QVariant& value : kinds) {
            SCOPED_TRACE(value.toString().toStdString());
            const QString write = u"INSERT INTO loose (v) VALUES (?)"_s;
            const QString read = u"SELECT typeof(v), v FROM loose"_s;
            db().exec(u"DELETE FROM loose"_s);
            ASSERT_FALSE(runByDriver(db().handle(), write, {value}).failed);
            const Given byDriver = runByDriver(db().handle(), read, {});
            db().exec(u"DELETE FROM loose"_s);
            db().exec(write, {value});
            expectSame(byDriver, runByDriver(db().handle(), read, {}));
        }
    }

    // A number out of the column's range is told as such whichever way it went
    // (SQLite's integers hold it).
    const Given outOfRange = run(db(), u"INSERT INTO kinds (k) VALUES (?)"_s, {qlonglong{99'999'999'999}});
    if (GetParam() != "sqlite") {
        EXPECT_EQ(outOfRange.why, DbError::Kind::OutOfRange);
    }
}

QC_DB_SUITE(LongStatementTest);

}  // namespace
}  // namespace qc
