// The command line's export on the demo account: each window's content in each
// format, read back, and the refusals.

#include "CliRun.h"
#include "demo/Demo.h"
#include "support/TestDb.h"

#include <QFile>
#include <QProcess>
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
    const QString text = command(u"pdftotext"_s, {pdf, u"-"_s}).normalized(QString::NormalizationForm_KC);
    EXPECT_TRUE(text.contains(u"期初数据汇总表"_s)) << text.left(300).toStdString();
    EXPECT_TRUE(text.contains(u"原材料"_s));

    EXPECT_EQ(run({u"--warehouse"_s, u"02"_s}).code, 1);
    const test::CliResult unknown = run({u"--what"_s, u"everything"_s, u"--out"_s, dir.filePath(u"x"_s)});
    EXPECT_EQ(unknown.code, 1);
    EXPECT_TRUE(unknown.err.contains(u"--what"_s));
}

QC_DB_SUITE(CliExportTest);

}  // namespace
}  // namespace qc
