// 取数 as the accountant takes it: the warehouse picked in the entry window's
// list, the toolbar button clicked, the overwrite question answered; and the same
// take-over from the command line.

#include "Cli.h"
#include "EntryWindowFixture.h"
#include "host/Users.h"
#include "opening/ui/FrmQcInput.h"
#include "platform/UnitSteps.h"
#include "shared/grid/GridModel.h"
#include "shared/ui/QcToolbar.h"
#include "shared/ui/StepProgress.h"
#include "support/DatabaseDump.h"

#include <QApplication>
#include <QComboBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

class FetchJourneyTest : public test::EntryWindowFixture {
  protected:
    void clickFetch(MsgAnswer answer) { clickButton(u"Getcount"_s, answer); }
    qint64 stockOpeningLines(const QString& wh) {
        return db()
            .scalar(
                u"SELECT COUNT(*) FROM RdRecords l JOIN RdRecord h ON h.ID = l.ID "
                "WHERE h.cWhCode = ? AND h.cVouchType = '34'"_s,
                {wh})
            .toLongLong();
    }
    int cli(const QStringList& args, QString* errText = nullptr) {
        QString outText, errBuf;
        QTextStream out(&outText), err(&errBuf);
        const int code = cli::run(args, out, err);
        if (errText) *errText = errBuf;
        return code;
    }
};

// Catches: the toolbar button not reaching the command, 否 dropping the rows there
// or not fetching, 是 keeping old rows, and a grid not reloaded afterwards.
TEST_P(FetchJourneyTest, FetchAnsweringNoThenYes) {
    openWindow();
    chooseWarehouse(u"02"_s);
    const qint64 before = count(u"cWhCode = '02'"_s);
    const qint64 lines = stockOpeningLines(u"02"_s);
    ASSERT_GT(before, 0);
    ASSERT_EQ(frm->model().rowCount(), before + 1);  // and the totals row

    clickFetch(MsgAnswer::No);
    ASSERT_FALSE(sink.entries().isEmpty());
    EXPECT_EQ(sink.entries().first().text, u"该仓库已存在期初数据，您要覆盖原来的数据吗？"_s);
    EXPECT_EQ(count(u"cWhCode = '02'"_s), before + lines);
    EXPECT_EQ(frm->entry().grid().dataRowCount(), before + lines);

    clickFetch(MsgAnswer::Yes);
    EXPECT_EQ(count(u"cWhCode = '02'"_s), lines);
    EXPECT_EQ(count(u"cWhCode = '02' AND ID IS NULL"_s), 0);  // every row comes from a stock line
    EXPECT_EQ(frm->entry().grid().dataRowCount(), lines);
    EXPECT_EQ(frm->model().rowCount(), lines + 1);
}

// Catches: a take-over stopped from its progress dialog after it has deleted
// the rows it replaces keeping that deletion, or being reported as a failure.
TEST_P(FetchJourneyTest, AFetchStoppedFromItsProgressKeepsTheRowsItWouldReplace) {
    openWindow();
    chooseWarehouse(u"02"_s);
    const qint64 before = count(u"cWhCode = '02'"_s);
    ASSERT_GT(before, 0);
    const test::DatabaseDump unchanged = test::dumpDatabase(db());
    StepProgress::setDelay(0);
    QStringList steps;
    // Stopped at the step after the deletion.
    unitStepHook() = [&](const QString& step) {
        const bool afterDelete = !steps.isEmpty() && steps.last() == u"fetch/delete"_s;
        steps << step;
        if (!afterDelete) return;
        for (QProgressDialog* d : frm->findChildren<QProgressDialog*>())
            if (d->isVisible()) QTest::keyClick(d->findChild<QPushButton*>(), Qt::Key_Escape);
    };
    clickFetch(MsgAnswer::Yes);
    unitStepHook() = nullptr;
    StepProgress::setDelay(400);
    ASSERT_TRUE(steps.contains(u"fetch/delete"_s)) << steps.join(u' ').toStdString();
    EXPECT_EQ(sink.last(), u"已取消取数，数据没有任何改动。"_s) << sink.texts().join(u" | "_s).toStdString();
    EXPECT_EQ(sink.entries().last().icon, MsgIcon::None);
    const test::DatabaseDump after = test::dumpDatabase(db());
    EXPECT_TRUE(unchanged == after) << test::dumpDifference(unchanged, after).toStdString();
    EXPECT_EQ(frm->entry().grid().dataRowCount(), before);
    EXPECT_TRUE(frm->findChildren<QProgressDialog*>().isEmpty());
}

// Catches: the command line skipping the rights, the task or the overwrite
// choice, or reporting a refusal with exit code 0.
TEST_P(FetchJourneyTest, CommandLineFetch) {
    const QStringList base{u"fetch-stock"_s, u"--db"_s, conn(), u"--password"_s};
    const qint64 before = count(u"cWhCode = '02'"_s), lines = stockOpeningLines(u"02"_s);
    EXPECT_EQ(cli(base + QStringList{u"demo123"_s, u"--user"_s, u"demo"_s, u"--warehouse"_s, u"02"_s,
                                     u"--overwrite"_s, u"no"_s}),
              0);
    EXPECT_EQ(count(u"cWhCode = '02'"_s), before + lines);
    EXPECT_EQ(cli(base + QStringList{u"demo123"_s, u"--user"_s, u"demo"_s, u"--warehouse"_s, u"02"_s,
                                     u"--overwrite"_s, u"yes"_s}),
              0);
    EXPECT_EQ(count(u"cWhCode = '02'"_s), lines);

    QString err;
    const qint64 rows05 = count(u"cWhCode = '05'"_s);
    EXPECT_EQ(cli(base + QStringList{u"clerk123"_s, u"--user"_s, u"clerk"_s, u"--warehouse"_s, u"05"_s,
                                     u"--overwrite"_s, u"yes"_s},
                  &err),
              1);
    EXPECT_TRUE(err.contains(u"不是您所管辖的仓库"_s)) << err.toStdString();
    EXPECT_EQ(count(u"cWhCode = '05'"_s), rows05);

    Users::createUser(db(), u"typist"_s, u"录入员"_s, u"pw"_s, false);
    EXPECT_EQ(cli(base + QStringList{u"pw"_s, u"--user"_s, u"typist"_s, u"--warehouse"_s, u"02"_s,
                                     u"--overwrite"_s, u"yes"_s},
                  &err),
              1);
    EXPECT_EQ(err.trimmed(), u"您没有这个权限！"_s);
    EXPECT_EQ(count(u"cWhCode = '02'"_s), lines);
}

QC_DB_SUITE(FetchJourneyTest);

}  // namespace
}  // namespace qc
