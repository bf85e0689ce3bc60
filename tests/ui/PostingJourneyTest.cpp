// 记账 and 恢复 as the accountant does them in the entry window: a warehouse
// picked, the toolbar button clicked once to post the openings and once more to
// cancel the posting, with the window following the posted state.

#include "EntryWindowFixture.h"
#include "opening/ui/FrmQcInput.h"
#include "shared/grid/GridModel.h"
#include "shared/ui/QcToolbar.h"

#include <QApplication>
#include <QComboBox>
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

QC_DB_SUITE(PostingJourneyTest);

}  // namespace
}  // namespace qc
