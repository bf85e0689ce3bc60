// 对账 from the opening entry window on the demo account: the conditions, the
// result window with the differences, 查询 back to a fresh dialog; and a choice
// that agrees, which says "对账成功！" and shows no window.

#include "EntryWindowFixture.h"
#include "Typing.h"
#include "WindowDriving.h"
#include "reconcile/ui/FrmCompareKc.h"
#include "reconcile/ui/frmCompareKcCon.h"
#include "shared/grid/GridModel.h"
#include "shared/ui/ConditionWidgets.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

using reconcile::FrmCompareKc;
using reconcile::frmCompareKcCon;

class ReconcileJourneyTest : public test::EntryWindowFixture {};

// Catches: 对账 not opening the conditions, differences not shown (or shown for
// groups that agree), the free items or checks not offered, 查询 not starting
// the conditions anew, and an agreeing choice showing a window instead of
// "对账成功！".
TEST_P(ReconcileJourneyTest, DifferencesInTheWindowAndAgreementSaidSo) {
    openWindow();
    QString title;
    int frees = -1, rows = 0, selectedAfterSeek = -1;
    bool quantityChecked = false;
    QStringList caption;
    test::whenModal<frmCompareKcCon>([&](frmCompareKcCon* con) {
        title = con->windowTitle();
        frees = con->freeItemList->count();
        quantityChecked = con->quantityCheck->isChecked() && !con->amountCheck->isChecked();
        test::whenModal<FrmCompareKc>([&](FrmCompareKc* result) {
            result->setMessageSink(sink);
            rows = result->model().dataRowCount();
            caption = result->model().captions();
            test::saveShot(result->grab().toImage(), u"reconcile-result.png"_s);
            test::whenModal<frmCompareKcCon>([&](frmCompareKcCon* again) {
                selectedAfterSeek = again->widgets().warehouseList->selectedItems().size();
                QTest::mouseClick(again->widgets().cancelButton, Qt::LeftButton);
            });
            result->runCommand(u"seek"_s);
        });
        test::saveShot(test::composedShot(*frm, frm->rect().center(), *con), u"reconcile-conditions.png"_s);
        QTest::mouseClick(con->widgets().showButton, Qt::LeftButton);
    });
    clickButton(u"Compare"_s);
    EXPECT_EQ(title, u"库存与存货期初对账查询条件"_s);
    EXPECT_GT(frees, 0);
    EXPECT_TRUE(quantityChecked);
    ASSERT_GT(rows, 0) << sink.texts().join(u' ').toStdString();
    EXPECT_EQ(caption.mid(0, 6), (QStringList{u"仓库编码"_s, u"仓库名称"_s, u"存货编码"_s, u"存货名称"_s,
                                              u"存货规格型号"_s, u"存货计量单位"_s}));
    EXPECT_EQ(caption.last(), u"结存差异数量"_s);
    EXPECT_EQ(selectedAfterSeek, frm->warehouseList->count());  // anew: every warehouse selected

    // Services only: nothing on either side, so the openings agree.
    bool windowShown = false;
    QStringList said;
    QObject waitScope;
    test::whenModal<frmCompareKcCon>([&](frmCompareKcCon* con) {
        con->widgets().itemClassEdit->setFocus();
        for (const QChar c : u"06"_s) test::typeChar(con->widgets().itemClassEdit, c);
        con->widgets().itemFromEdit->setFocus();
        QApplication::processEvents();
        // No window may come: the wait ends with the test.
        test::whenModal<FrmCompareKc>(
            [&](FrmCompareKc* result) {
                windowShown = true;
                result->close();
            },
            &waitScope);
        sink.clear();
        QTest::mouseClick(con->widgets().showButton, Qt::LeftButton);
        said = sink.texts();
        QTest::mouseClick(con->widgets().cancelButton, Qt::LeftButton);
    });
    clickButton(u"Compare"_s);
    EXPECT_EQ(said, QStringList{u"对账成功！"_s});
    EXPECT_FALSE(windowShown);
}

QC_DB_SUITE(ReconcileJourneyTest);

}  // namespace
}  // namespace qc
