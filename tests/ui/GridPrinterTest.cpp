// The printed pages of a grid: a grid wider than a page goes on across pages with
// its first column repeated, rows go on across pages with the captions repeated,
// and a PDF is written whole or not at all.

#include "shared/ui/GridPrinter.h"

#include <gtest/gtest.h>

#include <QDir>
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
    // The CJK font draws some ideographs with glyphs it shares with radicals;
    // compatibility normalisation reads those back as the ideographs.
    return QString::fromUtf8(p.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
}

// Catches: columns cut off the page instead of continued, a continued page that
// no longer says which row is which, captions only on the first page, a page
// count that does not add up, and a failed write leaving a file.
TEST(GridPrinterTest, WideAndLongGridsGoOnAcrossPages) {
    ExportGrid g;
    g.title = u"宽表"_s;
    for (int c = 0; c < 24; ++c) g.columns << ExportColumn{u"第%1列"_s.arg(c + 1), c > 0, 1500};
    for (int r = 0; r < 120; ++r) {
        QStringList row{u"行%1"_s.arg(r + 1, 3, 10, QLatin1Char('0'))};
        for (int c = 1; c < 24; ++c) row << QString::number(r * 100 + c);
        g.rows << row;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(u"wide.pdf"_s);
    GridPrinter(g, {u"表头"_s}, {u"表尾"_s}).writePdf(path);
    const QString text = pdfText(path);
    const QStringList pages = text.split(u'\f', Qt::SkipEmptyParts);
    ASSERT_GT(pages.size(), 2);
    // "第 n 页 共 m 页", read without its spacing and without 页 (drawn with a
    // radical's glyph).
    const QRegularExpression number(u"第\\s*([0-9]+)\\D+共\\s*([0-9]+)"_s);
    for (int i = 0; i < pages.size(); ++i) {
        const QString& page = pages.at(i);
        const QRegularExpressionMatch m = number.match(page);
        ASSERT_TRUE(m.hasMatch()) << i;
        EXPECT_EQ(m.captured(1).toInt(), i + 1);
        EXPECT_EQ(m.captured(2).toInt(), pages.size());
        EXPECT_TRUE(page.contains(u"第1列"_s)) << "the first column repeated on page " << i;
        EXPECT_TRUE(page.contains(u"表头"_s) && page.contains(u"表尾"_s)) << i;
    }
    // Every cell is on some page: the last column of the last row too.
    EXPECT_TRUE(text.contains(u"第24列"_s));
    EXPECT_TRUE(text.contains(u"行120"_s));
    EXPECT_TRUE(text.contains(QString::number(119 * 100 + 23)));

    EXPECT_THROW(GridPrinter(g, {}, {}).writePdf(dir.filePath(u"missing/wide.pdf"_s)), ExportError);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"wide.pdf"_s});
}

}  // namespace
}  // namespace qc
