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

using namespace Qt::StringLiterals;

namespace qc {
namespace {

class OutputJourneyTest : public test::EntryWindowFixture {
  protected:
    static QString unzipped(const QString& file, const QString& member) {
        QProcess p;
        p.start(u"unzip"_s, {u"-p"_s, file, member});
        p.waitForFinished();
        return QString::fromUtf8(p.readAllStandardOutput());
    }
    static QString pdfText(const QString& file) {
        QProcess p;
        p.start(u"pdftotext"_s, {u"-layout"_s, file, u"-"_s});
        p.waitForFinished();
        // The CJK font draws some ideographs with glyphs it shares with radicals;
        // compatibility normalisation reads those back as the ideographs.
        return QString::fromUtf8(p.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
    }
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
    EXPECT_EQ(sink.texts(), QStringList{u"已输出到 %1"_s.arg(entryFile)});
    const QString strings = unzipped(entryFile, u"xl/sharedStrings.xml"_s);
    EXPECT_TRUE(strings.contains(u"<t>%1</t>"_s.arg(frm->model().text(0, opening::Col::InvCode))));
    EXPECT_TRUE(strings.contains(u"存货编码"_s));
    const QString sheet = unzipped(entryFile, u"xl/worksheets/sheet1.xml"_s);
    EXPECT_TRUE(sheet.contains(u"<row r=\"%1\""_s.arg(rows + 2)));  // captions, rows, totals
    EXPECT_FALSE(sheet.contains(u"<row r=\"%1\""_s.arg(rows + 3)));

    // The printed pages as a PDF: the title, the warehouse, every row's code and
    // the totals, in Chinese, with the page numbers.
    const QString pdfFile = dir.filePath(u"entry.pdf"_s);
    pickers.saveAnswer = pdfFile;
    clickButton(u"OutPut"_s);
    const QString text = pdfText(pdfFile);
    EXPECT_TRUE(text.contains(u"期初余额"_s)) << text.left(1500).toStdString();
    const auto has = [&text](const QString& expected) {
        return text.contains(expected.normalized(QString::NormalizationForm_KC));
    };
    EXPECT_TRUE(has(u"仓库：电子料库(02)"_s));
    for (int r = 0; r < rows; ++r)
        EXPECT_TRUE(text.contains(frm->model().text(r, opening::Col::InvCode))) << r;
    EXPECT_TRUE(text.contains(frm->model().text(rows, opening::Col::Amount).remove(u',')) ||
                text.contains(frm->model().text(rows, opening::Col::Amount)));
    EXPECT_TRUE(text.contains(QRegularExpression(u"第\\s*1\\D+共\\s*[0-9]+"_s)));
    EXPECT_TRUE(has(u"操作员："_s));
    // With QC_SCREENSHOT_DIR set, the first printed page as a picture.
    if (const QString shots = qEnvironmentVariable("QC_SCREENSHOT_DIR"); !shots.isEmpty())
        QProcess::execute(u"pdftoppm"_s, {u"-png"_s, u"-r"_s, u"70"_s, u"-f"_s, u"1"_s, u"-l"_s, u"1"_s,
                                          u"-singlefile"_s, pdfFile, shots + u"/print-entry"_s});

    // A folder that does not exist: the reason, and no file.
    pickers.saveAnswer = dir.filePath(u"missing/entry.xlsx"_s);
    clickButton(u"OutPut"_s);
    ASSERT_EQ(sink.texts().size(), 1);
    EXPECT_TRUE(sink.texts().first().startsWith(u"无法写入文件"_s)) << sink.texts().first().toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{u"entry.pdf"_s, u"entry.xlsx"_s}));

    // The summary's lines to CSV.
    const QString summaryFile = dir.filePath(u"summary.csv"_s);
    int lines = 0;
    test::whenModal<summary::FrmQcSumCon>([&](summary::FrmQcSumCon* con) {
        test::whenModal<summary::FrmQcSumInfo>([&](summary::FrmQcSumInfo* info) {
            lines = info->model().rowCount();
            pickers.saveAnswer = summaryFile;
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

    // The reconciliation's differences to XLSX.
    const QString reconcileFile = dir.filePath(u"reconcile.xlsx"_s);
    int differing = 0;
    test::whenModal<reconcile::frmCompareKcCon>([&](reconcile::frmCompareKcCon* con) {
        test::whenModal<reconcile::FrmCompareKc>([&](reconcile::FrmCompareKc* result) {
            differing = result->model().rowCount();
            pickers.saveAnswer = reconcileFile;
            result->runCommand(u"Output"_s);
            result->close();
        });
        QTest::mouseClick(con->widgets().showButton, Qt::LeftButton);
    });
    clickButton(u"Compare"_s);
    ASSERT_GT(differing, 0);
    EXPECT_TRUE(unzipped(reconcileFile, u"xl/sharedStrings.xml"_s).contains(u"结存差异数量"_s));
    EXPECT_TRUE(unzipped(reconcileFile, u"xl/worksheets/sheet1.xml"_s)
                    .contains(u"<row r=\"%1\""_s.arg(differing + 1)));
}

QC_DB_SUITE(OutputJourneyTest);

}  // namespace
}  // namespace qc
