// 导入 as the accountant works it: the template written by 模板 and filled in, a
// file with three bad rows refused with all three listed and nothing stored, the
// file put right and imported beside the openings already there.

#include "EntryWindowFixture.h"
#include "WindowDriving.h"
#include "opening/ui/FrmImportProblems.h"
#include "platform/GridExport.h"
#include "platform/SheetReader.h"
#include "shared/grid/GridModel.h"

#include <QTemporaryDir>

#include <xlsxwriter.h>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

namespace Col = opening::Col;

class ImportJourneyTest : public test::EntryWindowFixture {
  protected:
    QTemporaryDir dir;
};

// Catches: a template whose captions an import does not read back, an import that
// stops at the first bad row or stores the good ones beside bad ones, problems on
// the wrong lines, and a stored import the grid does not show.
TEST_P(ImportJourneyTest, ThreeBadRowsAreListedThenTheFixedFileIsImported) {
    openWindow();
    chooseWarehouse(u"02"_s);
    const int before = frm->model().dataRowCount();
    const qint64 stored = count(u"cWhCode = '02'"_s);

    pickers.saveAnswer = dir.filePath(u"模板.xlsx"_s);
    clickButton(u"Template"_s);
    const Sheet blank = readSheet(*pickers.saveAnswer);
    EXPECT_EQ(blank.captions, frm->entry().importCaptions());
    EXPECT_TRUE(blank.rows.isEmpty());

    // The template filled in: numbers as numbers, a code with its leading zero.
    ExportGrid filled = frm->entry().importTemplate();
    const auto column = [&](const QString& caption) {
        return static_cast<int>(blank.captions.indexOf(caption));
    };
    const auto row = [&](const QString& item, const QString& qty, const QString& price,
                         const QString& dep = {}) {
        QStringList r(blank.captions.size());
        r[column(u"存货编码"_s)] = item;
        r[column(u"数量"_s)] = qty;
        r[column(u"单价"_s)] = price;
        r[column(u"部门编码"_s)] = dep;
        return r;
    };
    filled.rows = {row(u"1103"_s, u"12"_s, u"3.5"_s), row(u"9999"_s, u"1"_s, u"1"_s),
                   row(u"1104"_s, u"abc"_s, u"2"_s), row(u"1105"_s, u"4"_s, u"2.25"_s, u"06"_s),
                   row(u"1106"_s, u"2"_s, u"-1"_s)};
    const QString file = dir.filePath(u"期初.xlsx"_s);
    writeXlsx(filled, file);

    QStringList listed;
    test::whenModal<opening::FrmImportProblems>([&](opening::FrmImportProblems* problems) {
        problems->sortByColumn(0);
        problems->sortByColumn(0);  // the other way: the last line first
        for (int r = 0; r < problems->model().dataRowCount(); ++r)
            listed << problems->model().text(r, 0) + u'|' + problems->model().text(r, 3);
        test::saveShot(problems->grab().toImage(), u"import-problems.png"_s);
        // The list to a workbook, to hand to whoever fixes the file.
        pickers.saveAnswer = dir.filePath(u"问题.xlsx"_s);
        problems->runCommand(u"Output"_s);
        problems->runCommand(u"Exit"_s);
    });
    pickers.openAnswer = file;
    clickButton(u"Import"_s);
    EXPECT_EQ(listed, (QStringList{u"6|单价必须大于等于零！"_s, u"4|输入非法！"_s, u"3|存货不合法！"_s}));
    const Sheet problemSheet = readSheet(dir.filePath(u"问题.xlsx"_s));
    ASSERT_EQ(problemSheet.rows.size(), 3);
    EXPECT_TRUE(problemSheet.rows.at(0).cells.contains(u"单价必须大于等于零！"_s))
        << problemSheet.rows.at(0).cells.join(u'|').toStdString();
    EXPECT_TRUE(problemSheet.rows.at(2).cells.contains(u"9999"_s));
    EXPECT_EQ(count(u"cWhCode = '02'"_s), stored);
    EXPECT_EQ(frm->model().dataRowCount(), before);

    // Put right and imported beside the openings already there.
    filled.rows[1] = row(u"1102"_s, u"1"_s, u"1"_s);
    filled.rows[2] = row(u"1104"_s, u"7"_s, u"2"_s);
    filled.rows[4] = row(u"1106"_s, u"2"_s, u"1"_s);
    writeXlsx(filled, file);
    clickButton(u"Import"_s, MsgAnswer::No);
    EXPECT_EQ(sink.texts(),
              (QStringList{u"该仓库已存在期初数据，您要覆盖原来的数据吗？"_s, u"导入成功：5 行"_s}));
    EXPECT_EQ(count(u"cWhCode = '02'"_s), stored + 5);
    ASSERT_EQ(frm->model().dataRowCount(), before + 5);
    bool shown = false;
    for (int r = 0; r < frm->model().dataRowCount(); ++r)
        shown = shown || (frm->model().text(r, Col::InvCode) == u"1105" &&
                          frm->model().text(r, Col::DepCode) == u"06");
    EXPECT_TRUE(shown);

    // A workbook whose first worksheet is a note: the user is asked which one holds
    // the rows; cancelling the question imports nothing and says nothing.
    const QString two = dir.filePath(u"两页.xlsx"_s);
    {
        lxw_workbook* book = workbook_new(two.toUtf8().constData());
        worksheet_write_string(workbook_add_worksheet(book, "说明"), 0, 0, "请填写第二页", nullptr);
        lxw_worksheet* rows = workbook_add_worksheet(book, "期初");
        for (int c = 0; c < blank.captions.size(); ++c)
            worksheet_write_string(rows, 0, static_cast<lxw_col_t>(c),
                                   blank.captions.at(c).toUtf8().constData(), nullptr);
        worksheet_write_string(rows, 1, static_cast<lxw_col_t>(column(u"存货编码"_s)), "1103", nullptr);
        worksheet_write_number(rows, 1, static_cast<lxw_col_t>(column(u"数量"_s)), 3, nullptr);
        worksheet_write_number(rows, 1, static_cast<lxw_col_t>(column(u"单价"_s)), 1.5, nullptr);
        ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
    }
    pickers.openAnswer = two;
    pickers.chooseAnswer.reset();
    clickButton(u"Import"_s);
    EXPECT_EQ(pickers.offered, (QStringList{u"说明"_s, u"期初"_s}));
    EXPECT_TRUE(sink.texts().isEmpty()) << sink.texts().join(u'|').toStdString();
    EXPECT_EQ(count(u"cWhCode = '02'"_s), stored + 5);
    pickers.chooseAnswer = u"期初"_s;
    clickButton(u"Import"_s, MsgAnswer::No);
    EXPECT_EQ(sink.texts().value(1), u"导入成功：1 行"_s) << sink.texts().join(u'|').toStdString();
    EXPECT_EQ(count(u"cWhCode = '02'"_s), stored + 6);
}

QC_DB_SUITE(ImportJourneyTest);

}  // namespace
}  // namespace qc
