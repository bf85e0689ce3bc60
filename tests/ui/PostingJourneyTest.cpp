// 记账 and 恢复 as the accountant does them in the entry window: a warehouse
// picked, the toolbar button clicked once to post the openings and once more to
// cancel the posting, with the window following the posted state.

#include "EntryWindowFixture.h"
#include "opening/ui/FrmQcInput.h"
#include "platform/UnitSteps.h"
#include "shared/grid/GridModel.h"
#include "shared/ui/QcToolbar.h"
#include "shared/ui/StepProgress.h"
#include "support/DatabaseDump.h"

#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>
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

// Catches: a 取消 that leaves part of the work kept or the trail written, one
// that does nothing, one that still stops the work once its COMMIT is taken
// (the work would then be kept but reported as stopped), and a cancelled work
// reported as a failure.
TEST_P(PostingJourneyTest, CancelStopsTheWorkUntilItIsCommitted) {
    openWindow();
    chooseWarehouse(u"01"_s);
    StepProgress::setDelay(0);
    // A whole run of each to learn their steps.
    QStringList postSteps, cancelSteps;
    QStringList* seen = &postSteps;
    unitStepHook() = [&](const QString& step) { seen->append(step); };
    clickKeep();
    seen = &cancelSteps;
    clickKeep();
    ASSERT_EQ(sink.texts(), QStringList{u"恢复期初记账成功！"_s});
    ASSERT_GT(postSteps.size(), 3);
    ASSERT_TRUE(postSteps.last().endsWith(u"/committed"_s)) << postSteps.join(u' ').toStdString();

    const auto cancelButton = [&]() -> QPushButton* {
        for (QProgressDialog* d : frm->findChildren<QProgressDialog*>())
            if (d->isVisible()) return d->findChild<QPushButton*>();
        return nullptr;
    };
    int cancelled = 0, kept = 0;
    for (const bool posting : {true, false}) {
        if (!posting) clickKeep();  // cancelling starts from the posted openings
        const QStringList& steps = posting ? postSteps : cancelSteps;
        const QString stopped =
            posting ? u"已取消记账，数据没有任何改动。"_s : u"已取消恢复记账，数据没有任何改动。"_s;
        const QString done = posting ? u"期初记账成功！"_s : u"恢复期初记账成功！"_s;
        // The dialog is up from the first step on: asked from the second.
        for (int at = 1; at < steps.size(); ++at) {
            const test::DatabaseDump before = test::dumpDatabase(db());
            int step = 0;
            QString buttonAtCommitted;
            unitStepHook() = [&](const QString& name) {
                if (step++ != at) return;
                QPushButton* cancel = cancelButton();
                ASSERT_TRUE(cancel) << name.toStdString();
                if (name.endsWith(u"/committed"_s)) buttonAtCommitted = cancel->text();
                if (at % 2 != 0) {
                    // Esc on the dialog, as the keyboard gives it.
                    QTest::keyClick(cancel, Qt::Key_Escape);
                } else {
                    const QPointF c = QRectF(cancel->rect()).center();
                    QCoreApplication::postEvent(
                        cancel, new QMouseEvent(QEvent::MouseButtonPress, c, cancel->mapToGlobal(c),
                                                Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
                    QCoreApplication::postEvent(
                        cancel, new QMouseEvent(QEvent::MouseButtonRelease, c, cancel->mapToGlobal(c),
                                                Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
                }
            };
            clickKeep();
            unitStepHook() = nullptr;
            const std::string where = steps.at(at).toStdString();
            if (steps.at(at).endsWith(u"/committed"_s)) {
                // Too late: the work is kept and said to be.
                EXPECT_EQ(sink.texts(), QStringList{done}) << where;
                EXPECT_EQ(buttonAtCommitted, u"正在保存，不能取消"_s) << where;
                EXPECT_EQ(keepButton()->text(), posting ? u"恢复"_s : u"记账"_s) << where;
                ++kept;
                clickKeep();  // back where the loop started
                ASSERT_EQ(sink.texts(), QStringList{posting ? u"恢复期初记账成功！"_s : u"期初记账成功！"_s});
            } else {
                EXPECT_EQ(sink.texts(), QStringList{stopped}) << where;
                // Said as it is, not as a failure.
                EXPECT_EQ(sink.entries().last().icon, MsgIcon::None) << where;
                const test::DatabaseDump after = test::dumpDatabase(db());
                EXPECT_TRUE(before == after) << where << test::dumpDifference(before, after).toStdString();
                EXPECT_EQ(keepButton()->text(), posting ? u"记账"_s : u"恢复"_s) << where;
                ++cancelled;
            }
            EXPECT_TRUE(frm->findChildren<QProgressDialog*>().isEmpty()) << where;
        }
    }
    StepProgress::setDelay(400);
    EXPECT_EQ(kept, 2);
    EXPECT_EQ(cancelled, postSteps.size() + cancelSteps.size() - 4);
}

QC_DB_SUITE(PostingJourneyTest);

}  // namespace
}  // namespace qc
