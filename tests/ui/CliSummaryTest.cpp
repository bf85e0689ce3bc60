// The command line's summary on the demo account: the table and the CSV, the
// options narrowing it, and the refusals with a failing exit code.

#include "CliRun.h"
#include "demo/Demo.h"
#include "platform/Decimal.h"
#include "support/TestDb.h"

using namespace Qt::StringLiterals;

namespace qc {
namespace {

class CliSummaryTest : public test::DbTest {
  protected:
    void SetUp() override {
        qputenv("QC_FAST_HASH", "1");
        DbTest::SetUp();
        demo::createDemo(db());
    }
    test::CliResult run(QStringList options, const QString& user = u"demo"_s,
                        const QString& password = u"demo123"_s) {
        options = QStringList{u"summary"_s, u"--db"_s, conn(), u"--user"_s, user, u"--password"_s, password} +
                  options;
        return test::runCli(options);
    }
};

// Catches: a summary that is not the window's (lines, order, figures), CSV that a
// spreadsheet would split wrongly, a grade range or class not applied, and an
// operator given a warehouse outside his rights or a class that does not exist.
TEST_P(CliSummaryTest, TableCsvAndRefusals) {
    const test::CliResult table = run({u"--warehouses"_s, u"01,02"_s, u"--grades"_s, u"1..2"_s});
    ASSERT_EQ(table.code, 0) << table.err.toStdString();
    const QStringList lines = table.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines.at(0).startsWith(u"存货级次"_s));
    EXPECT_TRUE(lines.at(1).startsWith(u"1 "_s)) << lines.at(1).toStdString();
    EXPECT_TRUE(lines.at(1).contains(u"原材料"_s));

    const test::CliResult csv =
        run({u"--warehouses"_s, u"01"_s, u"--class"_s, u"0101"_s, u"--grades"_s, u"明细"_s, u"--csv"_s});
    ASSERT_EQ(csv.code, 0) << csv.err.toStdString();
    const QStringList rows = csv.out.split(u"\r\n"_s, Qt::SkipEmptyParts);
    ASSERT_GE(rows.size(), 2);
    const QStringList captions = rows.first().split(u',');
    const auto qty = captions.indexOf(u"结存数量"_s);
    const auto money = captions.indexOf(u"结存金额"_s);
    ASSERT_GE(qty, 0);
    Decimal total;
    for (const QString& r : rows.mid(1)) {
        const QStringList f = r.split(u',');
        ASSERT_EQ(f.size(), captions.size()) << r.toStdString();
        EXPECT_EQ(f.first(), u"明细"_s);
        EXPECT_TRUE(f.at(1).startsWith(u"0101"_s));
        total += Decimal::fromText(f.at(money));
    }
    EXPECT_EQ(total,
              Decimal::fromVariant(db().scalar(
                  u"SELECT SUM(iAInPrice + COALESCE(iDebitDifCost, 0) - COALESCE(iCreditDifCost, 0)) FROM "
                  "IA_Subsidiary s JOIN Inventory i ON i.cInvCode = s.cInvCode WHERE s.cWhCode = '01' AND "
                  "s.cVouType = '34' AND i.cInvCCode LIKE '0101%'"_s)));

    for (const auto& [options, user, message] :
         {std::tuple{QStringList{u"--warehouses"_s, u"05"_s}, u"clerk"_s, u"仓库 05"_s},
          std::tuple{QStringList{u"--class"_s, u"99"_s}, u"demo"_s, u"存货分类输入不合法！"_s},
          std::tuple{QStringList{u"--grades"_s, u"3..1"_s}, u"demo"_s, u"存货级次下限输入有误"_s},
          std::tuple{QStringList{u"--dispatched"_s, u"cash"_s}, u"demo"_s, u"--dispatched"_s}}) {
        const test::CliResult refused = run(options, user, user == u"clerk"_s ? u"clerk123"_s : u"demo123"_s);
        EXPECT_EQ(refused.code, 1) << options.join(u' ').toStdString();
        EXPECT_TRUE(refused.err.contains(message)) << refused.err.toStdString();
    }
}

QC_DB_SUITE(CliSummaryTest);

}  // namespace
}  // namespace qc
