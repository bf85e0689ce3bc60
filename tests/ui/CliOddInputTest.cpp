// The odd and hostile texts as the value of every option of the command line:
// each run ends with an exit code and, when it refuses, a message a user can read;
// nothing is written by a refused run or by a command that only reads.

#include "CliRun.h"
#include "demo/Demo.h"
#include "platform/SheetReader.h"
#include "support/DatabaseDump.h"
#include "support/OddInputs.h"
#include "support/TestDb.h"

#include <QFile>
#include <QTemporaryDir>

#include <xlsxwriter.h>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

class CliOddInputTest : public test::DbTest {
  protected:
    void SetUp() override {
        qputenv("QC_FAST_HASH", "1");
        DbTest::SetUp();
        demo::createDemo(db());
        file = dir.filePath(u"openings.csv"_s);
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("存货编码,数量,单价\r\n1101,5,8.3\r\n");
    }
    // The account's data; failed logins are counted and every run's login is in
    // the trail by design (changeEvents() counts what the trail says changed).
    test::DatabaseDump dump() {
        return test::dumpDatabase(
            db(), QStringList{u"qc_task"_s, u"qc_counter"_s, u"qc_login_fail"_s} + test::kTrailTables);
    }
    QTemporaryDir dir;
    QString file;
};

// A refusal a user can read: in Chinese, naming options and values as typed, and
// no driver's or statement's words.
bool isClearRefusal(const QString& err, const QString& input) {
    QString m = err;
    if (!input.isEmpty()) m.remove(input);
    bool chinese = false;
    for (const QChar c : m) chinese = chinese || (c.unicode() >= 0x4e00 && c.unicode() <= 0x9fff);
    for (const char* word :
         {"QSQLITE", "QPSQL", "ERROR:", "syntax", "SELECT ", "INSERT ", "UPDATE ", "DELETE ", "Unable to"})
        if (m.contains(QLatin1StringView(word), Qt::CaseInsensitive)) return false;
    return chinese;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr qsizetype kSanitizedShare = 3;
#else
constexpr qsizetype kSanitizedShare = 1;
#endif

struct OptionCase {
    QStringList words;  // the command and its other options
    QString option;     // the option the input is given to
    bool writes;        // the command changes the account when it succeeds
};

// Catches: an option value that crashes the command, lets an exception out, ends
// without an exit code or with a refusal in a driver's words or none, or reaches
// the database as anything but a bound value (a quote, a NUL, a pattern character
// changing what is read or written).
TEST_P(CliOddInputTest, EveryOptionTakesAnyText) {
    QList<OptionCase> cases;
    for (const QString& option : {u"--user"_s, u"--password"_s, u"--date"_s, u"--year"_s, u"--account"_s,
                                  u"--warehouses"_s, u"--class"_s, u"--from"_s, u"--to"_s, u"--grades"_s})
        cases << OptionCase{{u"summary"_s}, option, false};
    cases << QList<OptionCase>{
        {{u"reconcile"_s}, u"--warehouses"_s, false},
        {{u"reconcile"_s}, u"--class"_s, false},
        {{u"reconcile"_s}, u"--free"_s, false},
        {{u"reconcile"_s, u"--free"_s, u"颜色"_s}, u"--to"_s, false},
        {{u"export"_s, u"--format"_s, u"csv"_s, u"--out"_s, dir.filePath(u"out.csv"_s)}, u"--what"_s, false},
        {{u"export"_s, u"--what"_s, u"openings"_s, u"--out"_s, dir.filePath(u"out.csv"_s)},
         u"--format"_s,
         false},
        {{u"export"_s, u"--what"_s, u"openings"_s, u"--format"_s, u"csv"_s, u"--out"_s,
          dir.filePath(u"o.csv"_s)},
         u"--warehouse"_s,
         false},
        {{u"export"_s, u"--what"_s, u"dispatched"_s, u"--format"_s, u"csv"_s, u"--out"_s,
          dir.filePath(u"d.csv"_s)},
         u"--type"_s,
         false},
        {{u"fetch-stock"_s, u"--overwrite"_s, u"yes"_s}, u"--warehouse"_s, true},
        {{u"fetch-stock"_s, u"--warehouse"_s, u"02"_s}, u"--overwrite"_s, true},
        {{u"import-openings"_s, u"--warehouse"_s, u"08"_s}, u"--file"_s, true},
        {{u"import-openings"_s, u"--file"_s, file, u"--warehouse"_s, u"08"_s}, u"--sheet"_s, true},
        {{u"import-openings"_s, u"--file"_s, file, u"--overwrite"_s, u"no"_s}, u"--warehouse"_s, true},
        {{u"fetch-dispatched"_s}, u"--type"_s, true},
        {{u"export"_s, u"--what"_s, u"dispatched"_s, u"--type"_s, u"instalment"_s, u"--format"_s, u"csv"_s,
          u"--out"_s, dir.filePath(u"c.csv"_s)},
         u"--customer-class"_s,
         false},
        {{u"export"_s, u"--what"_s, u"dispatched"_s, u"--type"_s, u"consignment"_s, u"--format"_s, u"csv"_s,
          u"--out"_s, dir.filePath(u"c.csv"_s)},
         u"--customer-from"_s,
         false},
    };
    for (const QString& option : {u"--since"_s, u"--until"_s, u"--warehouse"_s, u"--operator"_s, u"--item"_s,
                                  u"--row"_s, u"--operation"_s})
        cases << OptionCase{{u"audit"_s}, option, false};
    test::DatabaseDump before = dump();
    int runs = 0, refused = 0;
    // Options read against a fixed list of choices never reach the database.
    const QStringList choices{u"--type"_s,   u"--format"_s, u"--what"_s, u"--overwrite"_s,
                              u"--grades"_s, u"--year"_s,   u"--date"_s};
    // Every input on SQLite; on the server those it treats apart from plain text.
    const QList<QString> inputs =
        GetParam() == "sqlite" ? test::oddInputs() : test::databaseSensitiveInputs();
    qsizetype turn = 0;
    for (const OptionCase& c : cases) {
        if (GetParam() != "sqlite" && choices.contains(c.option)) continue;
        SCOPED_TRACE((c.words.first() + u' ' + c.option).toStdString());
        ++turn;
        for (qsizetype n = 0; n < inputs.size(); ++n) {
            // Under the sanitizers a copy takes three times as long to start:
            // each option gets every third input there, in turn, so that every
            // input still meets a third of the options.
            if ((n + turn) % kSanitizedShare != 0) continue;
            const QString& input = inputs.at(n);
            SCOPED_TRACE(test::describeInput(input));
            QStringList words = c.words;
            if (c.option != u"--user" && c.option != u"--password")
                words << u"--user"_s << u"demo"_s << u"--password"_s << u"demo123"_s;
            else if (c.option == u"--user")
                words << u"--password"_s << u"demo123"_s;
            else
                words << u"--user"_s << u"demo"_s;
            words << u"--db"_s << conn() << c.option << input;
            const qint64 events = test::changeEvents(db());
            const test::CliResult r = test::runCli(words);
            ++runs;
            EXPECT_GE(r.code, 0);
            EXPECT_LE(r.code, 3);
            if (r.code != 0 && r.code != 3) {
                ++refused;
                EXPECT_TRUE(isClearRefusal(r.err + r.out, input)) << (r.err + r.out).toStdString();
                EXPECT_EQ(test::changeEvents(db()), events) << "a refused run left an event of a change";
                if (c.writes) {
                    EXPECT_EQ(test::dumpDifference(before, dump()), QString()) << "a refused run wrote";
                }
            } else if (c.writes) {
                before = dump();
            }
        }
        if (!c.writes) {
            EXPECT_EQ(test::dumpDifference(before, dump()), QString()) << "a reading command wrote";
        }
    }
    RecordProperty("runs", runs);
    RecordProperty("refused", refused);
}

// Catches: an imported cell that crashes the import or reaches a statement as
// anything but a bound value, a problem described in a driver's words, and a
// file with refused rows of which some are stored all the same. Every odd text
// goes into every column of the template, one row each beside a valid item and
// quantity, in a CSV file and in a workbook.
TEST_P(CliOddInputTest, EveryImportedCellTakesAnyText) {
    const QString blank = dir.filePath(u"template.csv"_s);
    ASSERT_EQ(test::runCli({u"export"_s, u"--what"_s, u"template"_s, u"--format"_s, u"csv"_s, u"--out"_s,
                            blank, u"--user"_s, u"demo"_s, u"--password"_s, u"demo123"_s, u"--db"_s, conn()})
                  .code,
              0);
    const QStringList captions = readSheet(blank).captions;
    const qsizetype item = captions.indexOf(u"存货编码"_s), quantity = captions.indexOf(u"数量"_s);
    ASSERT_GE(item, 0);
    ASSERT_GE(quantity, 0);
    // On the server, the inputs it treats apart from plain text.
    const QList<QString> inputs =
        GetParam() == "sqlite" ? test::oddInputs() : test::databaseSensitiveInputs();
    QList<QStringList> rows;
    for (qsizetype column = 0; column < captions.size(); ++column)
        for (const QString& input : inputs) {
            QStringList row(captions.size());
            row[item] = u"1101"_s;
            row[quantity] = u"1"_s;
            row[column] = input;
            rows << row;
        }
    // The CSV by the RFC 4180 rules; the workbook by the spreadsheet library.
    QByteArray csv;
    for (const QStringList& line : QList<QStringList>{captions} + rows) {
        QStringList quoted;
        for (QString cell : line) quoted << u'"' + cell.replace(u'"', u"\"\""_s) + u'"';
        csv += quoted.join(u',').toUtf8() + "\r\n";
    }
    const QString csvFile = dir.filePath(u"odd.csv"_s);
    test::writeFile(csvFile, csv);
    const QString bookFile = dir.filePath(u"odd.xlsx"_s);
    {
        lxw_workbook* book = workbook_new(bookFile.toUtf8().constData());
        ASSERT_NE(book, nullptr);
        lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
        for (int r = 0; r <= rows.size(); ++r) {
            const QStringList& line = r == 0 ? captions : rows.at(r - 1);
            for (int c = 0; c < line.size(); ++c)
                worksheet_write_string(sheet, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c),
                                       line.at(c).toUtf8().constData(), nullptr);
        }
        ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
    }

    const test::DatabaseDump before = dump();
    for (const QString& sheet : {csvFile, bookFile}) {
        SCOPED_TRACE(sheet.toStdString());
        const QString errors = dir.filePath(u"errors.csv"_s);
        const test::CliResult r =
            test::runCli({u"import-openings"_s, u"--file"_s, sheet, u"--warehouse"_s, u"08"_s,
                          u"--overwrite"_s, u"no"_s, u"--errors"_s, errors, u"--user"_s, u"demo"_s,
                          u"--password"_s, u"demo123"_s, u"--db"_s, conn()});
        // Some inputs are refused wherever they stand (a quantity of "NaN"): the
        // file is refused and nothing of it is stored.
        EXPECT_EQ(r.code, 1) << r.err.toStdString();
        EXPECT_EQ(test::dumpDifference(before, dump()), QString()) << "a refused import wrote";
        const Sheet problems = readSheet(errors);
        EXPECT_GT(problems.rows.size(), captions.size());
        for (const SheetRow& problem : problems.rows)
            EXPECT_TRUE(test::isClearMessage(problem.cells.value(3)))
                << problem.cells.join(u" | ").toStdString();
        RecordProperty(sheet.endsWith(u".csv") ? "csv_problems" : "xlsx_problems",
                       static_cast<int>(problems.rows.size()));
    }
    RecordProperty("cells", static_cast<int>(rows.size()));
}

QC_DB_SUITE(CliOddInputTest);

}  // namespace
}  // namespace qc
