// Output of a grid to CSV and XLSX: what a spreadsheet program reads back, and
// that a failed write leaves nothing behind.

#include "platform/GridExport.h"
#include "platform/SheetReader.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

ExportGrid sample() {
    ExportGrid g;
    g.title = u"期初余额 [02]"_s;
    g.columns = {{u"存货编码"_s, false, 1000},
                 {u"存货名称"_s, false, 1400},
                 {u"数量"_s, true, 1000},
                 {u"金额"_s, true, 1200}};
    g.rows = {{u"0101"_s, u"圆钢 \"Q235\", Φ20"_s, u"24.00"_s, u"1,234.50"_s},
              {u"0102"_s, u"两行\n文字"_s, u"-3.5"_s, u""_s},
              {u"合计"_s, u""_s, u"20.50"_s, u"1,234.50"_s}};
    return g;
}

// Reads RFC 4180 CSV back: quoted fields with doubled quotes, commas and line breaks.
QList<QStringList> readCsv(const QString& text) {
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
            row << field;
            rows << row;
            row.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
    }
    return rows;
}

QString unzipped(const QString& file, const QString& member) {
    QProcess p;
    p.start(u"unzip"_s, {u"-p"_s, file, member});
    p.waitForFinished();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Catches: a BOM missing (spreadsheets then misread Chinese), a quote, comma or
// line break inside a cell breaking the row, and a row or cell lost.
TEST(GridExportTest, CsvReadsBackEqual) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"out.csv"_s);
    writeCsv(sample(), path);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QList<QStringList> rows = readCsv(QString::fromUtf8(bytes.mid(3)));
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows.at(0), (QStringList{u"存货编码"_s, u"存货名称"_s, u"数量"_s, u"金额"_s}));
    EXPECT_EQ(rows.mid(1), sample().rows);
}

// Catches: numbers written as texts (or texts as numbers: codes losing their
// leading zeros), the caption row not frozen or not bold, a sheet name Excel
// refuses, and a failed write leaving a file behind.
TEST(GridExportTest, XlsxHasNumbersTextsAndAFrozenCaptionRow) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"out.xlsx"_s);
    writeXlsx(sample(), path);
    const QString sheet = unzipped(path, u"xl/worksheets/sheet1.xml"_s);
    const QString book = unzipped(path, u"xl/workbook.xml"_s);
    ASSERT_FALSE(sheet.isEmpty());
    EXPECT_TRUE(sheet.contains(u"<pane ySplit=\"1\""_s)) << sheet.left(600).toStdString();
    // C2 (数量 of the first row) and D2 are numbers; A2 is the text "0101".
    EXPECT_TRUE(sheet.contains(u"<c r=\"C2\" s=\""_s));
    EXPECT_TRUE(sheet.contains(u"<v>24</v>"_s));
    EXPECT_TRUE(sheet.contains(u"<v>1234.5</v>"_s));
    EXPECT_TRUE(sheet.contains(u"<v>-3.5</v>"_s));
    EXPECT_TRUE(sheet.contains(u"<c r=\"A2\" t=\"inlineStr\"><is><t>0101</t></is>"_s)) << sheet.toStdString();
    EXPECT_TRUE(sheet.contains(u"两行\n文字"_s));
    EXPECT_TRUE(book.contains(u"name=\"期初余额 02\""_s)) << book.toStdString();
    EXPECT_TRUE(unzipped(path, u"xl/styles.xml"_s).contains(u"#,##0.00"_s));

    // A folder that does not exist: the error, and no file anywhere.
    const QString nowhere = dir.filePath(u"missing/out.xlsx"_s);
    EXPECT_THROW(writeXlsx(sample(), nowhere), ExportError);
    EXPECT_THROW(writeCsv(sample(), dir.filePath(u"missing/out.csv"_s)), ExportError);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{u"out.xlsx"_s}));
}

// Catches: a text that a workbook cannot hold as it is (a control character, a
// Windows line break, a text that itself reads like the workbook's escape for
// one) written so that it reads back as something else.
TEST(GridExportTest, XlsxTextsReadBackAsTheyWere) {
    ExportGrid g = sample();
    const QStringList texts{u"a\r\nb"_s,   u"\x01"_s,         u"_x0041_"_s, u"_x0041_x0042_"_s,
                            u"__x005F_"_s, u"_x00zz_ _x1_"_s, u"x_"_s,      u"\t头\t"_s};
    g.rows.clear();
    for (const QString& t : texts) g.rows << QStringList{t, t, QString(), QString()};
    QTemporaryDir dir;
    const QString path = dir.filePath(u"odd.xlsx"_s);
    writeXlsx(g, path);
    const Sheet back = readSheet(path);
    ASSERT_EQ(back.rows.size(), texts.size());
    for (int i = 0; i < texts.size(); ++i) EXPECT_EQ(back.rows.at(i).cells.value(1), texts.at(i)) << i;
}

unsigned modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 0777u : 0u;
}

// Catches: an output that keeps the temporary file's owner-only permissions (a
// colleague cannot open the list the accountant saved for them), a replaced file
// losing its permissions, and a write or a rename that fails leaving its
// temporary file behind or the old file damaged.
TEST(GridExportTest, AWholeFileGetsTheUsersPermissionsAndAFailureLeavesTheOldFile) {
    QTemporaryDir dir;
    const mode_t previous = ::umask(022);
    const QString fresh = dir.filePath(u"fresh.xlsx"_s);
    writeXlsx(sample(), fresh);
    EXPECT_EQ(modeOf(fresh), 0644u);
    const QString kept = dir.filePath(u"kept.xlsx"_s);
    writeXlsx(sample(), kept);
    ::chmod(QFile::encodeName(kept).constData(), 0640);
    writeXlsx(sample(), kept);
    ::umask(previous);
    EXPECT_EQ(modeOf(kept), 0640u);

    // A writer that fails after writing part of its file, and a target the
    // finished file cannot be renamed over (a folder of that name): the old file
    // as it was, nothing else left.
    QFile before(kept);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray old = before.readAll();
    before.close();
    EXPECT_THROW(writeWhole(kept, u".xlsx"_s,
                            [](const QString& name) {
                                QFile f(name);
                                if (f.open(QIODevice::WriteOnly)) f.write("half");
                                throw ExportError(u"磁盘已满"_s);
                            }),
                 ExportError);
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"folder.xlsx"_s));
    EXPECT_THROW(writeXlsx(sample(), dir.filePath(u"folder.xlsx"_s)), ExportError);
    QFile after(kept);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{u"fresh.xlsx"_s, u"kept.xlsx"_s}));
}

}  // namespace
}  // namespace qc
