// The command line's import-openings on the demo account: the template it exports
// read back as the file, a file with problems refused with every problem listed (or
// written out) and nothing stored, a dry run, and the rows stored.

#include "CliRun.h"
#include "demo/Demo.h"
#include "platform/SheetReader.h"
#include "support/TestDb.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

class CliImportTest : public test::DbTest {
  protected:
    void SetUp() override {
        qputenv("QC_FAST_HASH", "1");
        DbTest::SetUp();
        demo::createDemo(db());
    }
    test::CliResult run(const QString& command, const QStringList& options) {
        return test::runCli(
            QStringList{command, u"--db"_s, conn(), u"--user"_s, u"demo"_s, u"--password"_s, u"demo123"_s} +
            options);
    }
    // A CSV file in GB18030, as older spreadsheet programs save it.
    QString gbFile(const QString& name, const QString& text) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        QStringEncoder gb("GB18030");
        f.write(gb.encode(text));
        return path;
    }
    qint64 rowsIn(const QString& wh) {
        return db().scalar(u"SELECT COUNT(*) FROM IA_Subsidiary WHERE cWhCode = ?"_s, {wh}).toLongLong();
    }
    QTemporaryDir dir;
};

// Catches: a template the import cannot read back, a refused file that stores
// some rows or exits 0, problems missing from the list or the --errors file, a dry
// run that stores, and a warehouse's openings replaced without being told to.
TEST_P(CliImportTest, ProblemsAreListedAndNothingIsStoredUntilTheFileIsRight) {
    const QString blank = dir.filePath(u"template.csv"_s);
    ASSERT_EQ(run(u"export"_s, {u"--what"_s, u"template"_s, u"--format"_s, u"csv"_s, u"--out"_s, blank}).code,
              0);
    const Sheet template_ = readSheet(blank);
    EXPECT_TRUE(template_.rows.isEmpty());
    ASSERT_TRUE(template_.captions.contains(u"存货编码"_s));
    EXPECT_FALSE(template_.captions.contains(u"存货名称"_s));  // filled from the item, not typed

    const qint64 before = rowsIn(u"08"_s);
    const QString bad = gbFile(u"bad.csv"_s,
                               u"存货编码,数量,单价,供应商编码\r\n"
                               "1101,5,8.3,\r\n"
                               "1102,-,2,\r\n"
                               "\"9,9\",1,1,\r\n"
                               "1103,1,1,V-NONE\r\n"_s);
    const test::CliResult refused = run(u"import-openings"_s, {u"--file"_s, bad, u"--warehouse"_s, u"08"_s});
    EXPECT_EQ(refused.code, 1);
    EXPECT_TRUE(refused.out.contains(u"文件有 3 处问题"_s)) << refused.out.toStdString();
    for (const QString& expected :
         {u"第 3 行 数量“-”：输入非法！"_s, u"第 4 行 存货编码“9,9”：存货不合法！"_s,
          u"第 5 行 供应商编码“V-NONE”：供应商不合法！"_s})
        EXPECT_TRUE(refused.out.contains(expected)) << expected.toStdString() << "\n"
                                                    << refused.out.toStdString();
    EXPECT_EQ(rowsIn(u"08"_s), before);

    const QString errors = dir.filePath(u"errors.csv"_s);
    EXPECT_EQ(
        run(u"import-openings"_s, {u"--file"_s, bad, u"--warehouse"_s, u"08"_s, u"--errors"_s, errors}).code,
        1);
    EXPECT_EQ(readSheet(errors).rows.size(), 3);

    const QString good = gbFile(u"good.csv"_s, u"数量,存货编码\r\n5,1101\r\n7,1102\r\n"_s);
    const test::CliResult dry =
        run(u"import-openings"_s, {u"--file"_s, good, u"--warehouse"_s, u"08"_s, u"--dry-run"_s});
    EXPECT_EQ(dry.code, 0) << dry.err.toStdString();
    EXPECT_TRUE(dry.out.contains(u"检查通过：2 行"_s));
    EXPECT_EQ(rowsIn(u"08"_s), before);
    const test::CliResult stored = run(u"import-openings"_s, {u"--file"_s, good, u"--warehouse"_s, u"08"_s});
    EXPECT_EQ(stored.code, 0) << stored.err.toStdString();
    EXPECT_TRUE(stored.out.contains(u"导入成功：2 行"_s));
    EXPECT_EQ(rowsIn(u"08"_s), before + 2);

    // Openings there now: the command does not decide for the user.
    const test::CliResult undecided =
        run(u"import-openings"_s, {u"--file"_s, good, u"--warehouse"_s, u"08"_s});
    EXPECT_EQ(undecided.code, 1);
    EXPECT_TRUE(undecided.err.contains(u"--overwrite"_s)) << undecided.err.toStdString();
    EXPECT_EQ(
        run(u"import-openings"_s, {u"--file"_s, good, u"--warehouse"_s, u"08"_s, u"--overwrite"_s, u"yes"_s})
            .code,
        0);
    EXPECT_EQ(rowsIn(u"08"_s), 2);
}

QC_DB_SUITE(CliImportTest);

}  // namespace
}  // namespace qc
