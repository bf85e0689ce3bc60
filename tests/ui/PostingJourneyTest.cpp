// 记账 and 恢复 as the accountant does them in the entry window: a warehouse
// picked, the toolbar button clicked once to post the openings and once more to
// cancel the posting, with the window following the posted state.

#include "EntryWindowFixture.h"
#include "opening/ui/FrmQcInput.h"
#include "platform/UnitSteps.h"
#include "shared/grid/GridModel.h"
#include "shared/ui/QcToolbar.h"
#include "shared/ui/StepProgress.h"

#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

class PostingJourneyTest : public test::EntryWindowFixture {
  protected:
    QToolButton* keepButton() { return frm->toolbar->toolButton(u"Keep"_s); }
    void clickKeep() { clickButton(u"Keep"_s); }
    // Data cells of the grid's model that accept an editor.
    int editableCells() {
        const grid::GridModel& m = frm->model();
        int n = 0;
        for (int r = 0; r < m.rowCount(); ++r)
            for (int c = 0; c < m.columnCount(); ++c)
                if (m.flags(m.index(r, c)).testFlag(Qt::ItemIsEditable)) ++n;
        return n;
    }
};

// Catches: the button not reaching posting or cancelling, rows left out of the
// posting or left marked after cancelling, and a window that keeps the old
// caption or the old editability of the grid after either.
TEST_P(PostingJourneyTest, PostThenCancelFromTheToolbar) {
    openWindow();
    chooseWarehouse(u"01"_s);
    const QString opening = u"iMonth = 0 AND cVouType = '34'"_s;
    const qint64 rows = count(opening);
    ASSERT_GT(rows, 0);
    ASSERT_GT(frm->model().rowCount(), 1);
    ASSERT_EQ(keepButton()->text(), u"记账"_s);
    ASSERT_GT(editableCells(), 0);

    clickKeep();
    EXPECT_EQ(sink.last(), u"期初记账成功！"_s) << sink.texts().join(u" | "_s).toStdString();
    EXPECT_EQ(count(opening + u" AND cAccounter IS NOT NULL AND cAccounter <> ''"_s), rows);
    EXPECT_EQ(count(opening + u" AND cAccounter = ?"_s, {login->UserName()}), rows);
    EXPECT_EQ(keepButton()->text(), u"恢复"_s);
    EXPECT_TRUE(keepButton()->isEnabled());
    EXPECT_EQ(editableCells(), 0);

    clickKeep();
    EXPECT_EQ(sink.last(), u"恢复期初记账成功！"_s) << sink.texts().join(u" | "_s).toStdString();
    EXPECT_EQ(count(opening), rows);
    EXPECT_EQ(count(opening + u" AND cAccounter IS NOT NULL AND cAccounter <> ''"_s), 0);
    EXPECT_EQ(keepButton()->text(), u"记账"_s);
    EXPECT_GT(editableCells(), 0);
}

// Catches: a posting or cancelling that runs with no word of how far it got, a
// progress that names the wrong operation, one left open after the work, and a
// second click taken while the work runs (input is held until it ends).
TEST_P(PostingJourneyTest, LongWorkShowsItsProgressAndTakesNoSecondClick) {
    openWindow();
    chooseWarehouse(u"01"_s);
    StepProgress::setDelay(0);
    QStringList labels;
    int clicksTaken = 0;
    // Runs before the progress's own listener: what the dialog showed at the
    // previous step, and a click on 记账 given while the work runs.
    unitStepHook() = [&](const QString&) {
        for (QProgressDialog* d : frm->findChildren<QProgressDialog*>())
            if (d->isVisible()) labels << d->labelText();
        // Queued as the window system queues a user's click.
        const QPointF at = QRectF(keepButton()->rect()).center();
        const QPointF global = keepButton()->mapToGlobal(at);
        QCoreApplication::postEvent(keepButton(),
                                    new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                                    Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(keepButton(),
                                    new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                                                    Qt::NoButton, Qt::NoModifier));
    };
    QObject::connect(keepButton(), &QToolButton::clicked, frm.get(), [&] { ++clicksTaken; });
    clickKeep();
    EXPECT_EQ(sink.texts(), QStringList{u"期初记账成功！"_s});
    clickKeep();
    EXPECT_EQ(sink.texts(), QStringList{u"恢复期初记账成功！"_s});
    unitStepHook() = nullptr;
    StepProgress::setDelay(400);

    ASSERT_FALSE(labels.isEmpty()) << "no progress";
    EXPECT_TRUE(labels.first().startsWith(u"正在记账：已完成 1 步"_s)) << labels.first().toStdString();
    EXPECT_TRUE(labels.last().startsWith(u"正在恢复记账："_s)) << labels.last().toStdString();
    // The two clicks of the test; none of those sent while the work ran.
    EXPECT_EQ(clicksTaken, 2);
    EXPECT_TRUE(frm->findChildren<QProgressDialog*>().isEmpty());
    // Clicks after the work are taken again.
    clickKeep();
    EXPECT_EQ(sink.texts(), QStringList{u"期初记账成功！"_s});
    EXPECT_EQ(clicksTaken, 3);
}

QC_DB_SUITE(PostingJourneyTest);

}  // namespace
}  // namespace qc
