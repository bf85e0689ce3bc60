// The printed pages of a grid: a grid wider than a page goes on across pages with
// the columns that name a row repeated, rows go on across pages with the captions
// repeated, the text a reader copies is the text printed, and a PDF is written
// whole or not at all.

#include "shared/ui/GridPrinter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

QString pdfText(const QString& file) {
    QProcess p;
    p.start(u"pdftotext"_s, {u"-layout"_s, file, u"-"_s});
    p.waitForFinished();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Catches: columns cut off the page instead of continued, a continued page that
// no longer says whose figures it shows (the first column, a document number,
// is blank on half the rows: the item's code must be repeated), captions only on
// the first page, a page count that does not add up, ideographs read back as the
// radicals the font draws alike (页 as ⻚, 行 as ⾏), and a failed write leaving
// a file.
TEST(GridPrinterTest, WideAndLongGridsGoOnAcrossPages) {
    ExportGrid g;
    g.title = u"宽表：页行子"_s;
    g.columns << ExportColumn{u"单号"_s, false, 1000} << ExportColumn{u"存货编码"_s, false, 1200}
              << ExportColumn{u"存货名称"_s, false, 1500};
    for (int c = 3; c < 24; ++c) g.columns << ExportColumn{u"第%1列"_s.arg(c + 1), true, 1500};
    g.rowNaming = {1, 2};
    for (int r = 0; r < 120; ++r) {
        QStringList row{r % 2 ? QString() : u"D%1"_s.arg(r), u"C%1"_s.arg(r + 1, 3, 10, QLatin1Char('0')),
                        u"行子%1"_s.arg(r + 1)};
        for (int c = 3; c < 24; ++c) row << QString::number(r * 100 + c);
        g.rows << row;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(u"wide.pdf"_s);
    GridPrinter(g, {u"表头"_s}, {u"表尾"_s}).writePdf(path);
    const QString text = pdfText(path);
    const QStringList pages = text.split(u'\f', Qt::SkipEmptyParts);
    ASSERT_GT(pages.size(), 2);
    const QRegularExpression number(u"第\\s*([0-9]+)\\s*页\\s*共\\s*([0-9]+)\\s*页"_s);
    const QRegularExpression code(u"C[0-9]{3}"_s);
    QHash<QString, int> pagesOfCode;
    for (int i = 0; i < pages.size(); ++i) {
        const QString& page = pages.at(i);
        const QRegularExpressionMatch m = number.match(page);
        ASSERT_TRUE(m.hasMatch()) << i << page.left(300).toStdString();
        EXPECT_EQ(m.captured(1).toInt(), i + 1);
        EXPECT_EQ(m.captured(2).toInt(), pages.size());
        EXPECT_TRUE(page.contains(u"宽表：页行子"_s)) << i;
        EXPECT_TRUE(page.contains(u"存货编码"_s) && page.contains(u"存货名称"_s))
            << "names repeated on page " << i;
        EXPECT_TRUE(page.contains(u"表头"_s) && page.contains(u"表尾"_s)) << i;
        auto it = code.globalMatch(page);
        while (it.hasNext()) ++pagesOfCode[it.next().captured(0)];
    }
    // Every row's code on every page that shows its figures: as often as the
    // columns needed page widths, which is more than once.
    ASSERT_EQ(pagesOfCode.size(), 120);
    const int bands = pagesOfCode.value(u"C001"_s);
    EXPECT_GT(bands, 1);
    for (auto it = pagesOfCode.cbegin(); it != pagesOfCode.cend(); ++it)
        EXPECT_EQ(it.value(), bands) << it.key().toStdString();
    // Every cell is on some page: the last column of the last row too.
    EXPECT_TRUE(text.contains(u"第24列"_s));
    EXPECT_TRUE(text.contains(u"行子120"_s));
    EXPECT_TRUE(text.contains(QString::number(119 * 100 + 23)));
    for (const QChar radical : {QChar(0x2EDA), QChar(0x2F8F), QChar(0x2F26)})
        EXPECT_FALSE(text.contains(radical));

    EXPECT_THROW(GridPrinter(g, {}, {}).writePdf(dir.filePath(u"missing/wide.pdf"_s)), ExportError);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"wide.pdf"_s});
}

}  // namespace
}  // namespace qc
