// The command line's export on the demo account: each window's content in each
// format, read back, and the refusals.

#include "CliRun.h"
#include "demo/Demo.h"
#include "support/TestDb.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

class CliExportTest : public test::DbTest {
  protected:
    void SetUp() override {
        qputenv("QC_FAST_HASH", "1");
        DbTest::SetUp();
        demo::createDemo(db());
    }
    test::CliResult run(const QStringList& options) {
        return test::runCli(QStringList{u"export"_s, u"--db"_s, conn(), u"--user"_s, u"demo"_s,
                                        u"--password"_s, u"demo123"_s} +
                            options);
    }
    static QString command(const QString& program, const QStringList& args) {
        QProcess p;
        p.start(program, args);
        p.waitForFinished();
        return QString::fromUtf8(p.readAllStandardOutput());
    }
    QTemporaryDir dir;
};

// Catches: an export that is not the window's content (rows, codes, the
// warehouse), a format written as another, and an export without a target or
// of something unknown accepted.
TEST_P(CliExportTest, EachWindowInEachFormat) {
    const qint64 rows = db().scalar(
                                u"SELECT COUNT(*) FROM IA_Subsidiary WHERE cWhCode = '02' AND iMonth = 0 AND "
                                "cVouType = '34'"_s)
                            .toLongLong();
    const QString csv = dir.filePath(u"02.csv"_s);
    const test::CliResult a = run({u"--warehouse"_s, u"02"_s, u"--format"_s, u"csv"_s, u"--out"_s, csv});
    ASSERT_EQ(a.code, 0) << a.err.toStdString();
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll().mid(3)).split(u"\r\n"_s, Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), rows + 2);  // captions, rows, totals
    EXPECT_TRUE(lines.value(1).contains(u",1101,"_s)) << lines.value(1).toStdString();

    const QString xlsx = dir.filePath(u"02.xlsx"_s);
    ASSERT_EQ(run({u"--warehouse"_s, u"02"_s, u"--out"_s, xlsx}).code, 0);
    EXPECT_TRUE(
        command(u"unzip"_s, {u"-p"_s, xlsx, u"xl/worksheets/sheet1.xml"_s}).contains(u"<t>1101</t>"_s));

    const QString pdf = dir.filePath(u"summary.pdf"_s);
    const test::CliResult s =
        run({u"--what"_s, u"summary"_s, u"--grades"_s, u"1..2"_s, u"--format"_s, u"pdf"_s, u"--out"_s, pdf});
    ASSERT_EQ(s.code, 0) << s.err.toStdString();
    const QString text = command(u"pdftotext"_s, {pdf, u"-"_s});
    EXPECT_TRUE(text.contains(u"期初数据汇总表"_s)) << text.left(300).toStdString();
    EXPECT_TRUE(text.contains(u"原材料"_s));

    EXPECT_EQ(run({u"--warehouse"_s, u"02"_s}).code, 1);
    const test::CliResult unknown = run({u"--what"_s, u"everything"_s, u"--out"_s, dir.filePath(u"x"_s)});
    EXPECT_EQ(unknown.code, 1);
    EXPECT_TRUE(unknown.err.contains(u"--what"_s));
}

// Catches: a printed list whose header is not the window's (the warehouse's
// whole name and code from the print set-up), the dispatched goods exported
// without the query's customer conditions, a condition the dialog would refuse
// accepted, and a warehouse the operator may not see exported.
TEST_P(CliExportTest, HeadersConditionsAndRightsAreTheWindows) {
    const QString name = db().scalar(u"SELECT cWhName FROM Warehouse WHERE cWhCode = '02'"_s).toString();
    const QString pdf = dir.filePath(u"02.pdf"_s);
    ASSERT_EQ(run({u"--warehouse"_s, u"02"_s, u"--format"_s, u"pdf"_s, u"--out"_s, pdf}).code, 0);
    const QString text = command(u"pdftotext"_s, {pdf, u"-"_s});
    EXPECT_TRUE(text.contains(u"仓库：%1(02)"_s.arg(name))) << text.left(400).toStdString();
    EXPECT_TRUE(text.contains(u"操作员："_s) && text.contains(QRegularExpression(u"第\\s*1\\s*页"_s)))
        << text.right(200).toStdString();

    ASSERT_EQ(test::runCli({u"fetch-dispatched"_s, u"--db"_s, conn(), u"--user"_s, u"demo"_s, u"--password"_s,
                            u"demo123"_s, u"--type"_s, u"instalment"_s})
                  .code,
              0);
    const auto exported = [this](const QStringList& conditions) {
        const QString csv = dir.filePath(u"dispatched.csv"_s);
        const test::CliResult r = run(QStringList{u"--what"_s, u"dispatched"_s, u"--type"_s, u"instalment"_s,
                                                  u"--format"_s, u"csv"_s, u"--out"_s, csv} +
                                      conditions);
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        QFile f(csv);
        return f.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(f.readAll().mid(3)).split(u"\r\n"_s, Qt::SkipEmptyParts).size()
                   : -1;
    };
    const qint64 all =
        db().scalar(u"SELECT COUNT(*) FROM IA_EnSubsidiary WHERE iMonth = 0 AND cBusType = ?"_s,
                    {u"分期收款"_s})
            .toLongLong();
    const qint64 ofClass =
        db().scalar(
                u"SELECT COUNT(*) FROM IA_EnSubsidiary e JOIN Customer c ON c.cCusCode = e.cCusCode WHERE "
                "e.iMonth = 0 AND e.cBusType = ? AND c.cCCCode LIKE '01%'"_s,
                {u"分期收款"_s})
            .toLongLong();
    ASSERT_GT(all, ofClass);
    ASSERT_GT(ofClass, 0);
    // The captions above the rows (the dispatched-goods grid has no totals row).
    EXPECT_EQ(exported({}), all + 1);
    EXPECT_EQ(exported({u"--customer-class"_s, u"01"_s}), ofClass + 1);
    const test::CliResult unknownClass =
        run({u"--what"_s, u"dispatched"_s, u"--type"_s, u"instalment"_s, u"--customer-class"_s, u"99"_s,
             u"--out"_s, dir.filePath(u"x.csv"_s)});
    EXPECT_EQ(unknownClass.code, 1);
    EXPECT_FALSE(unknownClass.err.isEmpty());

    // The clerk keeps some warehouses; 05 is not one of them.
    const test::CliResult refused =
        test::runCli({u"export"_s, u"--db"_s, conn(), u"--user"_s, u"clerk"_s, u"--password"_s, u"clerk123"_s,
                      u"--warehouse"_s, u"05"_s, u"--out"_s, dir.filePath(u"05.xlsx"_s)});
    EXPECT_EQ(refused.code, 1);
    EXPECT_TRUE(refused.err.contains(u"权限"_s)) << refused.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(u"05.xlsx"_s)));
}

QC_DB_SUITE(CliExportTest);

}  // namespace
}  // namespace qc
