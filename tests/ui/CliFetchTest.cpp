// The command line's 取数 (fetch-stock): the same refusals as the window, with
// nothing changed and a failing exit code.

#include "CliRun.h"
#include "demo/Demo.h"
#include "support/TestDb.h"

#include <QSqlQuery>
#include <QSqlRecord>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

class CliFetchTest : public test::DbTest {
  protected:
    void SetUp() override {
        qputenv("QC_FAST_HASH", "1");
        DbTest::SetUp();
        demo::createDemo(db());
    }
    test::CliResult fetch(const QString& user, const QString& password, const QString& wh) {
        return test::runCli({u"fetch-stock"_s, u"--db"_s, conn(), u"--user"_s, user, u"--password"_s,
                             password, u"--warehouse"_s, wh, u"--overwrite"_s, u"yes"_s});
    }
    // The opening rows, every column of every row.
    QString openings() {
        QString s;
        QSqlQuery q = db().exec(u"SELECT * FROM IA_Subsidiary ORDER BY AutoID"_s);
        while (q.next())
            for (int c = 0; c < q.record().count(); ++c) s += u'|' + q.value(c).toString();
        return s;
    }
};

// Catches: fetch-stock --overwrite yes on a warehouse the operator holds read-only
// deleting its rows and exiting 0, and fetch-stock into posted openings adding
// unposted rows beside the posted ones.
TEST_P(CliFetchTest, ReadOnlyWarehousesAndPostedOpeningsAreRefused) {
    ASSERT_GT(db().scalar(u"SELECT COUNT(*) FROM IA_Subsidiary WHERE cWhCode = '03'"_s).toLongLong(), 0);
    const QString before = openings();
    const test::CliResult readOnly = fetch(u"clerk"_s, u"clerk123"_s, u"03"_s);
    EXPECT_EQ(readOnly.code, 1);
    EXPECT_TRUE(readOnly.err.contains(u"您没有这个权限！"_s)) << readOnly.err.toStdString();
    EXPECT_EQ(openings(), before);

    const test::CliResult post =
        test::runCli({u"post"_s, u"--db"_s, conn(), u"--user"_s, u"demo"_s, u"--password"_s, u"demo123"_s});
    ASSERT_EQ(post.code, 0) << post.err.toStdString();
    const QString posted = openings();
    const test::CliResult again = fetch(u"demo"_s, u"demo123"_s, u"02"_s);
    EXPECT_EQ(again.code, 1);
    EXPECT_TRUE(again.err.contains(u"期初已经记账！"_s)) << again.err.toStdString();
    EXPECT_EQ(openings(), posted);
}

QC_DB_SUITE(CliFetchTest);

}  // namespace
}  // namespace qc
