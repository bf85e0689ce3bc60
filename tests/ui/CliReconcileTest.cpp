// The command line's reconciliation on the demo account: the exit code a script
// gates the posting on, the options narrowing it, and the refusals.

#include "CliRun.h"
#include "demo/Demo.h"
#include "support/TestDb.h"

using namespace Qt::StringLiterals;

namespace qc {
namespace {

class CliReconcileTest : public test::DbTest {
  protected:
    void SetUp() override {
        qputenv("QC_FAST_HASH", "1");
        DbTest::SetUp();
        demo::createDemo(db());
    }
    test::CliResult run(const QStringList& options) {
        return test::runCli(QStringList{u"reconcile"_s, u"--db"_s, conn(), u"--user"_s, u"demo"_s,
                                        u"--password"_s, u"demo123"_s} +
                            options);
    }
};

// Catches: differences that exit 0 (a script would post), agreement that does
// not, the CSV not listing exactly the groups that differ, the amount check not
// adding its columns, and an unknown free item accepted.
TEST_P(CliReconcileTest, ExitCodesAndOutput) {
    const test::CliResult differs = run({u"--warehouses"_s, u"02"_s, u"--csv"_s});
    EXPECT_EQ(differs.code, 3) << differs.err.toStdString();
    const QStringList rows = differs.out.split(u"\r\n"_s, Qt::SkipEmptyParts);
    ASSERT_GE(rows.size(), 2);
    EXPECT_TRUE(rows.first().endsWith(u"结存差异数量"_s)) << rows.first().toStdString();
    for (const QString& r : rows.mid(1)) EXPECT_TRUE(r.startsWith(u"02,"_s)) << r.toStdString();

    // Make warehouse 02 agree: its openings become the stock module's.
    db().exec(u"DELETE FROM IA_Subsidiary WHERE cWhCode = '02'"_s);
    const test::CliResult fetched =
        test::runCli({u"fetch-stock"_s, u"--db"_s, conn(), u"--user"_s, u"demo"_s, u"--password"_s,
                      u"demo123"_s, u"--warehouse"_s, u"02"_s, u"--overwrite"_s, u"yes"_s});
    ASSERT_EQ(fetched.code, 0) << fetched.err.toStdString();
    const test::CliResult agrees = run({u"--warehouses"_s, u"02"_s});
    EXPECT_EQ(agrees.code, 0) << agrees.out.toStdString() << agrees.err.toStdString();
    EXPECT_TRUE(agrees.out.contains(u"对账成功！"_s));

    const test::CliResult amounts = run({u"--amounts"_s, u"--csv"_s});
    EXPECT_EQ(amounts.code, 3);
    EXPECT_TRUE(amounts.out.section(u"\r\n"_s, 0, 0).endsWith(u"结存差异金额"_s));

    const test::CliResult unknown = run({u"--free"_s, u"没有这个"_s});
    EXPECT_EQ(unknown.code, 1);
    EXPECT_TRUE(unknown.err.contains(u"没有名为 没有这个 的自由项"_s)) << unknown.err.toStdString();
}

QC_DB_SUITE(CliReconcileTest);

}  // namespace
}  // namespace qc
