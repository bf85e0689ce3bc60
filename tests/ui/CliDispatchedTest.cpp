// The command line's 取数 and 清空 of dispatched goods on the demo account: what
// they write, and the refusals, with nothing changed and a failing exit code.

#include "CliRun.h"
#include "demo/Demo.h"
#include "host/Users.h"
#include "support/TestDb.h"

#include <QSqlQuery>
#include <QSqlRecord>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

class CliDispatchedTest : public test::DbTest {
  protected:
    void SetUp() override {
        qputenv("QC_FAST_HASH", "1");
        DbTest::SetUp();
        demo::createDemo(db());
    }
    test::CliResult run(const QString& command, const QString& type, const QString& user = u"demo"_s,
                        const QString& password = u"demo123"_s) {
        return test::runCli(
            {command, u"--db"_s, conn(), u"--user"_s, user, u"--password"_s, password, u"--type"_s, type});
    }
    qint64 rows(const QString& busType) {
        return db()
            .scalar(u"SELECT COUNT(*) FROM IA_EnSubsidiary WHERE cBusType = ? AND iMonth = 0"_s, {busType})
            .toLongLong();
    }
    // Every table the two commands write, as text.
    QString state() {
        QString s;
        for (const char* table : {"IA_EnSubsidiary", "DispatchList", "SaleBillVouch", "AccInformation"}) {
            QSqlQuery q = db().exec(u"SELECT * FROM %1 ORDER BY 1, 2"_s.arg(QString::fromLatin1(table)));
            while (q.next())
                for (int c = 0; c < q.record().count(); ++c) s += u'|' + q.value(c).toString();
        }
        return s;
    }
};

// Catches: a fetch that writes nothing from the demo's sales or repeats itself
// over existing rows, a clear that keeps rows or stamps, an operator without the
// right or posted openings let through (and anything changed then), and a
// business type the command does not know.
TEST_P(CliDispatchedTest, FetchAndClearWithTheWindowsRules) {
    const test::CliResult fetched = run(u"fetch-dispatched"_s, u"instalment"_s);
    ASSERT_EQ(fetched.code, 0) << fetched.err.toStdString();
    EXPECT_TRUE(fetched.out.contains(u"取数完毕！"_s)) << fetched.out.toStdString();
    const qint64 instalment = rows(u"分期收款"_s);
    EXPECT_GT(instalment, 0);
    EXPECT_TRUE(fetched.out.contains(QString::number(instalment))) << fetched.out.toStdString();
    EXPECT_EQ(rows(u"委托代销"_s), 0);

    const QString once = state();
    const test::CliResult again = run(u"fetch-dispatched"_s, u"instalment"_s);
    EXPECT_EQ(again.code, 0);
    EXPECT_TRUE(again.out.contains(u"未取数"_s)) << again.out.toStdString();
    EXPECT_EQ(state(), once);

    Users::createUser(db(), u"viewer"_s, u"查看员"_s, u"pw"_s, false);
    const test::CliResult refused = run(u"clear-dispatched"_s, u"instalment"_s, u"viewer"_s, u"pw"_s);
    EXPECT_EQ(refused.code, 1);
    EXPECT_TRUE(refused.err.contains(u"您没有这个权限！"_s)) << refused.err.toStdString();
    EXPECT_EQ(state(), once);

    const test::CliResult cleared = run(u"clear-dispatched"_s, u"instalment"_s);
    ASSERT_EQ(cleared.code, 0) << cleared.err.toStdString();
    EXPECT_EQ(rows(u"分期收款"_s), 0);
    EXPECT_EQ(
        db().scalar(u"SELECT COUNT(*) FROM DispatchList WHERE cBusType = '分期收款' AND cVouchType = '05' "
                    "AND cAccounter IS NOT NULL AND dDate < '2026-01-01'"_s)
            .toLongLong(),
        0);

    const test::CliResult unknown = run(u"fetch-dispatched"_s, u"barter"_s);
    EXPECT_NE(unknown.code, 0);
    EXPECT_TRUE(unknown.err.contains(u"--type"_s));

    db().exec(u"UPDATE AccInformation SET cValue = 'true' WHERE cSysID = 'IA' AND cName = 'bQCAccount'"_s);
    const QString posted = state();
    const test::CliResult late = run(u"fetch-dispatched"_s, u"consignment"_s);
    EXPECT_EQ(late.code, 1);
    EXPECT_TRUE(late.err.contains(u"期初已经记账！"_s)) << late.err.toStdString();
    EXPECT_EQ(state(), posted);
}

QC_DB_SUITE(CliDispatchedTest);

}  // namespace
}  // namespace qc
