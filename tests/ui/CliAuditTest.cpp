// qcinput audit: the trail of what the other commands did, filtered, and only for
// an operator with the right to read it.

#include "CliRun.h"
#include "demo/Demo.h"
#include "support/TestDb.h"

using namespace Qt::StringLiterals;

namespace qc {
namespace {

class CliAuditTest : public test::DbTest {
  protected:
    void SetUp() override {
        qputenv("QC_FAST_HASH", "1");
        DbTest::SetUp();
        demo::createDemo(db());
    }
    test::CliResult as(const QString& user, const QString& password, QStringList words) {
        words << u"--db"_s << conn() << u"--user"_s << user << u"--password"_s << password;
        return test::runCli(words);
    }
};

// Catches: a command's event missing from the listing or in the wrong order, a
// filter that lets other events through, and the trail readable by an operator
// without the right (or a refusal that leaves no trace).
TEST_P(CliAuditTest, ListsWhatTheCommandsDidForThoseWhoMayReadIt) {
    ASSERT_EQ(
        as(u"demo"_s, u"demo123"_s, {u"fetch-stock"_s, u"--warehouse"_s, u"02"_s, u"--overwrite"_s, u"yes"_s})
            .code,
        0);
    ASSERT_EQ(as(u"demo"_s, u"demo123"_s, {u"post"_s}).code, 0);
    ASSERT_EQ(as(u"demo"_s, u"demo123"_s, {u"cancel-post"_s}).code, 0);

    const test::CliResult all = as(u"demo"_s, u"demo123"_s, {u"audit"_s, u"--csv"_s});
    ASSERT_EQ(all.code, 0) << all.err.toStdString();
    const qsizetype fetch = all.out.indexOf(u",取数,"_s), post = all.out.indexOf(u",期初记账,"_s),
                    cancel = all.out.indexOf(u",恢复期初记账,"_s);
    EXPECT_GE(fetch, 0);
    EXPECT_GT(post, fetch);
    EXPECT_GT(cancel, post);
    EXPECT_TRUE(all.out.contains(u",登录,"_s));

    const test::CliResult fetches =
        as(u"demo"_s, u"demo123"_s,
           {u"audit"_s, u"--csv"_s, u"--operation"_s, u"取数"_s, u"--warehouse"_s, u"02"_s});
    ASSERT_EQ(fetches.code, 0) << fetches.err.toStdString();
    const QStringList lines = fetches.out.trimmed().split(u'\n');
    ASSERT_EQ(lines.size(), 2) << fetches.out.toStdString();  // the captions and the one event
    EXPECT_TRUE(lines.at(1).contains(u"取回行数"_s));

    // A row's history: only the events of that row.
    const qint64 row =
        db().scalar(u"SELECT MIN(AutoID) FROM IA_Subsidiary WHERE cWhCode = '02' AND iMonth = 0"_s)
            .toLongLong();
    db().exec(
        u"INSERT INTO IA_AuditLog (cTime, cOperation, cWhCode, iRowID) VALUES ('2026-01-05', '修改期初行', "
        u"'02', ?), ('2026-01-06', '修改期初行', '02', ?)"_s,
        {row, row + 1});
    const test::CliResult history =
        as(u"demo"_s, u"demo123"_s, {u"audit"_s, u"--csv"_s, u"--row"_s, QString::number(row)});
    ASSERT_EQ(history.code, 0) << history.err.toStdString();
    EXPECT_EQ(history.out.trimmed().split(u'\n').size(), 2) << history.out.toStdString();
    EXPECT_TRUE(history.out.contains(u"2026-01-05"_s));
    EXPECT_EQ(as(u"demo"_s, u"demo123"_s, {u"audit"_s, u"--row"_s, u"x1"_s}).code, 1);

    const test::CliResult future =
        as(u"demo"_s, u"demo123"_s,
           {u"audit"_s, u"--since"_s, QDate::currentDate().addDays(2).toString(Qt::ISODate)});
    EXPECT_EQ(future.code, 0);
    EXPECT_TRUE(future.out.contains(u"没有符合条件的操作日志"_s));
    EXPECT_EQ(as(u"demo"_s, u"demo123"_s, {u"audit"_s, u"--until"_s, u"2026-13-01"_s}).code, 1);

    const test::CliResult clerk = as(u"clerk"_s, u"clerk123"_s, {u"audit"_s});
    EXPECT_EQ(clerk.code, 1);
    EXPECT_TRUE(clerk.err.contains(u"您没有这个权限！"_s)) << clerk.err.toStdString();
    EXPECT_FALSE(clerk.out.contains(u"取数"_s));
    EXPECT_EQ(
        db().scalar(u"SELECT COUNT(*) FROM IA_AuditLog WHERE cOperation = '权限拒绝' AND cUserId = 'clerk'"_s)
            .toInt(),
        1);
}

QC_DB_SUITE(CliAuditTest);

}  // namespace
}  // namespace qc
