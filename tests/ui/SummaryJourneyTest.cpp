// 汇总 from the opening entry window on the demo account: the condition dialog,
// the result window with its grade range moved back and forth, 查询 back to the
// dialog; and the clerk, who is offered only his warehouses.

#include "EntryWindowFixture.h"
#include "WindowDriving.h"
#include "shared/ui/ConditionWidgets.h"
#include "summary/ui/FrmQcSumCon.h"
#include "summary/ui/FrmQcSumInfo.h"

#include <QTableView>

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

using summary::FrmQcSumCon;
using summary::FrmQcSumInfo;

class SummaryJourneyTest : public test::EntryWindowFixture {
  protected:
    // The dialog's warehouse codes, in list order.
    static QStringList offered(FrmQcSumCon* con) {
        QStringList codes;
        QListWidget* list = con->widgets().warehouseList;
        for (int i = 0; i < list->count(); ++i) codes << list->item(i)->data(Qt::UserRole).toString();
        return codes;
    }
};

// Catches: 汇总 not opening the dialog, the result not matching the range asked
// for, a grade change that computes again or leaves the wrong column group shown,
// a range refused without its message, 查询 not going back to the dialog with the
// result window's range, and the warehouses of the label.
TEST_P(SummaryJourneyTest, FromTheEntryWindowThroughTheResultAndBack) {
    openWindow();
    QString title, label;
    int allLines = 0, itemLines = 0, classLines = 0;
    bool detailHidesClasses = false, classesHideItems = false, bothShowAll = false;
    QStringList refusal;
    short backFrom = -1, backTo = -1;
    bool recomputed = false;

    test::whenModal<FrmQcSumCon>([&](FrmQcSumCon* con) {
        title = con->windowTitle();
        con->widgets().gradeToList->setCurrentIndex(con->widgets().gradeToList->count() - 1);  // 1 … 明细
        // Two warehouses: clear all, then pick 01 and 02.
        QTest::mouseClick(con->widgets().clearSelectionButton, Qt::LeftButton);
        for (int i = 0; i < 2; ++i) con->widgets().warehouseList->item(i)->setSelected(true);
        test::whenModal<FrmQcSumInfo>([&](FrmQcSumInfo* info) {
            info->setMessageSink(sink);
            label = info->warehouseLabel->text();
            allLines = info->model().dataRowCount();
            bothShowAll = info->columnShown(0) && info->columnShown(3);
            const QString table = u"QCSumTempGJ"_s + ctx.gInstanceNo;
            // Moving the range re-reads the result: a marker line written into the
            // result table shows up without a computation removing it.
            db().exec(
                u"INSERT INTO %1 (Grade, cInvCCode, cInvCode, iJCQuantity) VALUES (4, 'zz', 'marker', "
                "'1')"_s.arg(table));
            info->gradeFromList->setCurrentIndex(info->gradeFromList->count() - 1);  // 明细 … 明细
            itemLines = info->model().dataRowCount();
            recomputed = info->model().text(itemLines - 1, 3) != u"marker"_s;
            detailHidesClasses = !info->columnShown(0) && !info->columnShown(2) && info->columnShown(3);
            test::saveShot(info->grab().toImage(), u"summary-items.png"_s);
            sink.clear();
            info->gradeToList->setCurrentIndex(0);  // below the start: refused
            refusal = sink.texts();
            info->gradeFromList->setCurrentIndex(0);
            info->gradeToList->setCurrentIndex(1);  // 1 … 2
            classLines = info->model().dataRowCount();
            classesHideItems = info->columnShown(0) && !info->columnShown(3) && !info->columnShown(4);
            test::saveShot(info->grab().toImage(), u"summary-classes.png"_s);
            test::whenModal<FrmQcSumCon>([&](FrmQcSumCon* again) {
                backFrom = again->fields().invGradeFrom;
                backTo = again->fields().invGradeTo;
                QTest::mouseClick(again->widgets().cancelButton, Qt::LeftButton);
            });
            info->runCommand(u"Query"_s);
        });
        test::saveShot(test::composedShot(*frm, frm->rect().center(), *con), u"summary-conditions.png"_s);
        QTest::mouseClick(con->widgets().showButton, Qt::LeftButton);
    });
    clickButton(u"Sum"_s);

    EXPECT_EQ(title, u"期初汇总条件选择"_s);
    EXPECT_EQ(label, u"仓库:原料库,电子料库"_s);
    const qint64 items = db().scalar(
                                 u"SELECT COUNT(DISTINCT cInvCode) FROM IA_Subsidiary WHERE cVouType = '34' "
                                 "AND cWhCode IN ('01', '02')"_s)
                             .toLongLong();
    ASSERT_GT(items, 0);
    EXPECT_GT(allLines, items);       // the items and their classes
    EXPECT_EQ(itemLines, items + 1);  // and the marker
    EXPECT_FALSE(recomputed);
    EXPECT_TRUE(bothShowAll);
    EXPECT_TRUE(detailHidesClasses);
    EXPECT_EQ(refusal, QStringList{u"存货级次下限输入有误"_s});
    EXPECT_GT(classLines, 0);
    EXPECT_LT(classLines, allLines - items);
    EXPECT_TRUE(classesHideItems);
    EXPECT_EQ(backFrom, 0);
    EXPECT_EQ(backTo, 1);
    // Closing the result window kept its column widths as layout 12.
    EXPECT_GT(
        db().scalar(u"SELECT COUNT(*) FROM IA_tblRCsetM WHERE ctblNum = 12 AND cCWidth > 0"_s).toLongLong(),
        0);
}

// Catches: the clerk offered a warehouse outside his rights in the summary.
TEST_P(SummaryJourneyTest, TheClerkIsOfferedOnlyHisWarehouses) {
    openWindow(u"clerk"_s, u"clerk123"_s);
    QStringList codes;
    test::whenModal<FrmQcSumCon>([&](FrmQcSumCon* con) {
        codes = offered(con);
        QTest::mouseClick(con->widgets().cancelButton, Qt::LeftButton);
    });
    clickButton(u"Sum"_s);
    EXPECT_EQ(codes, (QStringList{u"01"_s, u"02"_s, u"03"_s}));
}

// Catches: a command of the result window without a key, an input without a name
// for assistive technology, and a Tab order that does not follow the dialog and
// the window as they read.
TEST_P(SummaryJourneyTest, EveryCommandHasAKeyAndEveryInputIsReachable) {
    openWindow();
    QList<QWidget*> dialogOrder, windowOrder;
    QList<QWidget*> expectedDialog, expectedWindow;
    QStringList unnamed, keyless;
    const auto name = [](QWidget* w) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
        return face ? face->text(QAccessible::Name) : QString();
    };
    const auto walk = [&](QWidget* first, int steps, QList<QWidget*>& visited) {
        first->setFocus();
        for (int i = 0; i < steps; ++i) {
            QWidget* w = QApplication::focusWidget();
            visited << w;
            if (name(w).isEmpty() && !qobject_cast<QComboBox*>(w)) unnamed << w->objectName();
            QTest::keyClick(w, Qt::Key_Tab);
            QApplication::processEvents();
        }
    };
    test::whenModal<FrmQcSumCon>([&](FrmQcSumCon* con) {
        ConditionWidgets& w = con->widgets();
        expectedDialog = {w.warehouseList, w.itemClassEdit, w.itemFromEdit,
                          w.itemToEdit,    w.gradeFromList, w.gradeToList};
        walk(w.warehouseList, 6, dialogOrder);
        test::whenModal<FrmQcSumInfo>([&](FrmQcSumInfo* info) {
            for (const QString& key : info->toolbar->keys())
                if (info->toolbar->buttonVisible(key) && info->toolbar->buttonShortcut(key).isEmpty())
                    keyless << key;
            expectedWindow = {info->gradeFromList, info->gradeToList, info->linesView};
            walk(info->gradeFromList, 3, windowOrder);
            info->linesView->setFocus();
            QTest::keyClick(info->linesView, Qt::Key_G, Qt::AltModifier);
            if (QApplication::focusWidget() != info->gradeFromList) unnamed << u"Alt+G"_s;
            QTest::keyClick(info, Qt::Key_E, Qt::AltModifier);
        });
        QTest::mouseClick(w.showButton, Qt::LeftButton);
    });
    clickButton(u"Sum"_s);
    EXPECT_EQ(dialogOrder, expectedDialog);
    EXPECT_EQ(windowOrder, expectedWindow);
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(u' ').toStdString();
    EXPECT_TRUE(keyless.isEmpty()) << keyless.join(u' ').toStdString();
}

QC_DB_SUITE(SummaryJourneyTest);

}  // namespace
}  // namespace qc
