// 输出 from the windows on the demo account: the entry window's warehouse, a
// summary and the reconciliation written to XLSX or CSV, read back; a file that
// cannot be written says why and leaves nothing.

#include "EntryWindowFixture.h"
#include "WindowDriving.h"
#include "reconcile/ui/FrmCompareKc.h"
#include "reconcile/ui/frmCompareKcCon.h"
#include "shared/grid/GridModel.h"
#include "shared/ui/ConditionWidgets.h"
#include "summary/ui/FrmQcSumCon.h"
#include "summary/ui/FrmQcSumInfo.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

// The cells of a worksheet's XML by their reference ("C2"): whether the cell is
// a number, and its value or text.
QHash<QString, std::pair<bool, QString>> cellsOf(const QString& sheet) {
    QHash<QString, std::pair<bool, QString>> cells;
    QXmlStreamReader xml(sheet);
    QString ref;
    bool number = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        if (xml.name() == u"c") {
            ref = xml.attributes().value(u"r"_s).toString();
            number = xml.attributes().value(u"t"_s).isEmpty();
        } else if (xml.name() == u"v" || xml.name() == u"t") {
            cells.insert(ref, {number, xml.readElementText()});
        }
    }
    return cells;
}

// The spreadsheet name of column `c` (from 0) and row `r` (from 1): "A1".
QString cellName(int c, int r) {
    QString letters;
    for (int n = c + 1; n > 0; n = (n - 1) / 26) letters.prepend(QChar(u'A' + (n - 1) % 26));
    return letters + QString::number(r);
}

class OutputJourneyTest : public test::EntryWindowFixture {
  protected:
    QTemporaryDir dir;
};

// Catches: 输出 not reaching a file from a window, rows or captions missing from
// it, no word of where it went, and a failed write that leaves a file or says
// nothing.
TEST_P(OutputJourneyTest, EveryWindowWritesWhatItShows) {
    openWindow();
    chooseWarehouse(u"02"_s);
    const int rows = frm->model().dataRowCount();
    ASSERT_GT(rows, 0);
    const QString entryFile = dir.filePath(u"entry.xlsx"_s);
    pickers.saveAnswer = entryFile;
    clickButton(u"OutPut"_s);
    const QString sheet = test::unzipped(entryFile, u"xl/worksheets/sheet1.xml"_s);
    EXPECT_EQ(sink.texts(), QStringList{u"已输出到 %1"_s.arg(entryFile)});
    EXPECT_TRUE(sheet.contains(u"<t>%1</t>"_s.arg(frm->model().text(0, opening::Col::InvCode))));
    EXPECT_TRUE(sheet.contains(u"存货编码"_s));
    EXPECT_TRUE(sheet.contains(u"<row r=\"%1\""_s.arg(rows + 2)));  // captions, rows, totals
    EXPECT_FALSE(sheet.contains(u"<row r=\"%1\""_s.arg(rows + 3)));
    // Every cell as the grid shows it: the shown columns in their order, figures
    // as numbers of the same value, texts (codes with their leading zeros) as texts.
    const QHash<QString, std::pair<bool, QString>> cells = cellsOf(sheet);
    const QList<int> widths = frm->rowsView->columnWidthsTwips();
    int checked = 0;
    for (int r = 0; r <= rows; ++r) {
        int column = 0;
        for (int c = 0; c < widths.size(); ++c) {
            if (widths.at(c) <= 0) continue;
            const QString shown = frm->model().text(r, c);
            const QString name = cellName(column++, r + 2);
            if (shown.isEmpty()) {
                EXPECT_FALSE(cells.contains(name)) << name.toStdString();
                continue;
            }
            ASSERT_TRUE(cells.contains(name)) << name.toStdString() << " " << shown.toStdString();
            const auto& [number, value] = cells.value(name);
            const bool figure = frm->entry().grid().columns().at(c).numeric();
            EXPECT_EQ(number, figure) << name.toStdString();
            if (figure)
                EXPECT_EQ(value.toDouble(), QString(shown).remove(u',').toDouble()) << name.toStdString();
            else
                EXPECT_EQ(value, shown) << name.toStdString();
            ++checked;
        }
    }
    EXPECT_GT(checked, rows * 5);

    // The printed pages as a PDF: the title, the warehouse, every row's code and
    // the totals, in Chinese, with the page numbers.
    const QString pdfFile = dir.filePath(u"entry.pdf"_s);
    pickers.saveAnswer = pdfFile;
    clickButton(u"OutPut"_s);
    const QString text = test::pdfText(pdfFile);
    EXPECT_TRUE(text.contains(u"期初余额"_s)) << text.left(1500).toStdString();
    const auto has = [&text](const QString& expected) { return test::pdfHolds(text, expected); };
    EXPECT_TRUE(has(u"仓库：电子料库(02)"_s));
    for (int r = 0; r < rows; ++r)
        EXPECT_TRUE(text.contains(frm->model().text(r, opening::Col::InvCode))) << r;
    EXPECT_TRUE(text.contains(frm->model().text(rows, opening::Col::Amount).remove(u',')) ||
                text.contains(frm->model().text(rows, opening::Col::Amount)));
    EXPECT_TRUE(text.contains(QRegularExpression(u"第\\s*1\\D+共\\s*[0-9]+"_s)));
    EXPECT_TRUE(has(u"操作员："_s));
    test::saveFirstPage(pdfFile, u"print-entry"_s);

    // A folder that does not exist: the reason, and no file.
    pickers.saveAnswer = dir.filePath(u"missing/entry.xlsx"_s);
    clickButton(u"OutPut"_s);
    ASSERT_EQ(sink.texts().size(), 1);
    EXPECT_TRUE(sink.texts().first().startsWith(u"无法写入文件"_s)) << sink.texts().first().toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{u"entry.pdf"_s, u"entry.xlsx"_s}));

    // The summary's lines to CSV.
    const QString summaryFile = dir.filePath(u"summary.csv"_s);
    const QString summaryPdf = dir.filePath(u"summary.pdf"_s);
    const QString summaryXlsx = dir.filePath(u"summary.xlsx"_s);
    int lines = 0;
    QString summaryTitle, firstLine;
    test::whenModal<summary::FrmQcSumCon>([&](summary::FrmQcSumCon* con) {
        test::whenModal<summary::FrmQcSumInfo>([&](summary::FrmQcSumInfo* info) {
            lines = info->model().rowCount();
            summaryTitle = info->titleLabel->text();
            firstLine = info->model().text(0, 1);
            pickers.saveAnswer = summaryFile;
            info->runCommand(u"OutPut"_s);
            pickers.saveAnswer = summaryPdf;
            info->runCommand(u"OutPut"_s);
            pickers.saveAnswer = summaryXlsx;
            info->runCommand(u"OutPut"_s);
            info->close();
        });
        QTest::mouseClick(con->widgets().showButton, Qt::LeftButton);
    });
    clickButton(u"Sum"_s);
    QFile csv(summaryFile);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QStringList csvLines = QString::fromUtf8(csv.readAll().mid(3)).split(u"\r\n"_s, Qt::SkipEmptyParts);
    ASSERT_GT(lines, 0);
    EXPECT_EQ(csvLines.size(), lines + 1);
    EXPECT_TRUE(csvLines.first().startsWith(u"存货级次,"_s));
    const QString summarySheet = test::unzipped(summaryXlsx, u"xl/worksheets/sheet1.xml"_s);
    EXPECT_TRUE(summarySheet.contains(u"<row r=\"%1\""_s.arg(lines + 1)));
    EXPECT_FALSE(summarySheet.contains(u"<row r=\"%1\""_s.arg(lines + 2)));
    // Its printed pages: the title, the company, the first line and the page numbers.
    const QString summaryText = test::pdfText(summaryPdf);
    EXPECT_TRUE(test::pdfHolds(summaryText, summaryTitle)) << summaryText.left(800).toStdString();
    EXPECT_TRUE(test::pdfHolds(summaryText, firstLine)) << firstLine.toStdString();
    EXPECT_TRUE(summaryText.contains(QRegularExpression(u"第\\s*1\\D+共\\s*[0-9]+"_s)));
    test::saveFirstPage(summaryPdf, u"print-summary"_s);

    // The reconciliation's differences to XLSX.
    const QString reconcileFile = dir.filePath(u"reconcile.xlsx"_s);
    int differing = 0;
    test::whenModal<reconcile::frmCompareKcCon>([&](reconcile::frmCompareKcCon* con) {
        test::whenModal<reconcile::FrmCompareKc>([&](reconcile::FrmCompareKc* result) {
            differing = result->model().rowCount();
            pickers.saveAnswer = reconcileFile;
            result->runCommand(u"Output"_s);
            pickers.saveAnswer = dir.filePath(u"reconcile.pdf"_s);
            result->runCommand(u"Output"_s);
            result->close();
        });
        QTest::mouseClick(con->widgets().showButton, Qt::LeftButton);
    });
    clickButton(u"Compare"_s);
    ASSERT_GT(differing, 0);
    EXPECT_TRUE(test::unzipped(reconcileFile, u"xl/worksheets/sheet1.xml"_s).contains(u"结存差异数量"_s));
    EXPECT_TRUE(test::unzipped(reconcileFile, u"xl/worksheets/sheet1.xml"_s)
                    .contains(u"<row r=\"%1\""_s.arg(differing + 1)));
    EXPECT_TRUE(test::pdfHolds(test::pdfText(dir.filePath(u"reconcile.pdf"_s)), u"结存差异数量"_s));
}

QC_DB_SUITE(OutputJourneyTest);

}  // namespace
}  // namespace qc
