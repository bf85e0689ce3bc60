// The filter and find dialogs of the entry window, the shared condition widgets
// and the host's reference window, driven by keys on the offscreen platform.

#include "Typing.h"
#include "core/ConditionFixture.h"
#include "host/ui/ReferenceDialog.h"
#include "opening/ui/frmInitCon.h"
#include "shared/Reference.h"
#include "shared/ui/ConditionWidgets.h"
#include "shared/ui/frmInitFind.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

class ConditionDialogsTest : public test::ConditionAccount {
  protected:
    static void activate(QDialog& dlg, QWidget* focus) {
        dlg.show();
        QApplication::setActiveWindow(&dlg);
        focus->setFocus();
        QApplication::processEvents();
    }
    // Key presses for every character, Chinese ones included (as an input method
    // would deliver them).
    static void type(QWidget* w, const QString& text) {
        for (const QChar c : text) test::typeChar(w, c);
    }
    // Types into a box and leaves it with Tab; the box is validated on the way out.
    static void typeAndLeave(QLineEdit* box, const QString& text) {
        box->setFocus();
        box->clear();
        type(box, text);
        QTest::keyClick(box, Qt::Key_Tab);
        QApplication::processEvents();
    }
};

// Catches: a box of the filter or the find dialog that Tab does not reach, a box
// without a name for assistive technology, and a button whose key its tooltip
// does not name (the buttons never take the focus from the boxes).
TEST_P(ConditionDialogsTest, EveryBoxIsReachedByTabAndNamedAndEveryButtonShowsItsKey) {
    openAs(u"boss"_s);
    frmInitCon filter(ctx, pickers);
    frmInitFind find(ctx, pickers);
    for (QDialog* dlg : {static_cast<QDialog*>(&filter), static_cast<QDialog*>(&find)}) {
        SCOPED_TRACE(dlg->objectName().toStdString());
        dlg->show();
        QApplication::setActiveWindow(dlg);
        QApplication::processEvents();
        QList<QWidget*> inputs;
        for (QWidget* w : dlg->findChildren<QWidget*>())
            if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) &&
                (qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) || qobject_cast<QListWidget*>(w)))
                inputs << w;
        ASSERT_FALSE(inputs.isEmpty());
        inputs.first()->setFocus();
        QSet<QWidget*> reached;
        for (int i = 0; i < 2 * inputs.size(); ++i) {
            reached << QApplication::focusWidget();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QApplication::processEvents();
        }
        for (QWidget* w : inputs) {
            EXPECT_TRUE(reached.contains(w)) << w->objectName().toStdString();
            EXPECT_FALSE(QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).isEmpty())
                << w->objectName().toStdString();
        }
        for (QPushButton* b : dlg->findChildren<QPushButton*>())
            EXPECT_TRUE(QRegularExpression(u"\\((Enter|Esc|Alt\\+.)\\)$"_s).match(b->toolTip()).hasMatch())
                << b->objectName().toStdString() << " " << b->toolTip().toStdString();
        dlg->hide();
    }
}

// Catches: the filter forgetting its boxes between uses, an OK that hands back
// names instead of codes, a Cancel, Esc or close box that reports OK, or a
// cancelled dialog that keeps what was typed.
TEST_P(ConditionDialogsTest, FilterKeepsItsChoiceAndCancelDropsIt) {
    openAs(u"boss"_s);
    frmInitCon dlg(ctx, pickers);
    ConditionWidgets& w = dlg.widgets();
    EXPECT_EQ(dlg.windowTitle(), u"期初余额查询"_s);
    dlg.setStrInvCCode({});
    dlg.setStrInvCodeFrom({});
    dlg.setStrInvCodeTo({});
    activate(dlg, w.itemClassEdit);
    typeAndLeave(w.itemClassEdit, u"钢材"_s);
    typeAndLeave(w.itemFromEdit, u"A001"_s);
    w.itemToEdit->setFocus();
    QTest::keyClick(w.itemToEdit, Qt::Key_Return);
    EXPECT_TRUE(dlg.blnOk());
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.strInvCCode(), u"0101"_s);
    EXPECT_EQ(dlg.strInvCodeFrom(), u"A001"_s);
    EXPECT_EQ(dlg.strInvCodeTo(), QString());

    // The entry window opens it again with the codes in force.
    dlg.setStrInvCCode(u"0101"_s);
    dlg.setStrInvCodeFrom(u"A001"_s);
    dlg.setStrInvCodeTo({});
    EXPECT_EQ(w.itemClassEdit->text(), u"钢材"_s);
    EXPECT_EQ(w.itemFromEdit->text(), u"圆钢"_s);
    QTimer::singleShot(0, &dlg, [&] { QTest::keyClick(w.itemClassEdit, Qt::Key_Return); });
    EXPECT_TRUE(dlg.run());
    EXPECT_EQ(dlg.strInvCCode(), u"0101"_s);

    // The close box and the cancel button both report "not OK".
    activate(dlg, w.itemClassEdit);
    dlg.close();
    EXPECT_FALSE(dlg.blnOk());
    activate(dlg, w.itemClassEdit);
    QTest::keyClick(w.itemClassEdit, Qt::Key_Return);
    ASSERT_TRUE(dlg.blnOk());
    activate(dlg, w.itemToEdit);
    QTest::keyClicks(w.itemToEdit, u"B001"_s);
    QTest::mouseClick(w.cancelButton, Qt::LeftButton);
    EXPECT_FALSE(dlg.blnOk());
    EXPECT_FALSE(dlg.isVisible());
    // A cancelled dialog opens afresh, with only the codes handed in.
    EXPECT_EQ(w.itemClassEdit->text(), QString());
    EXPECT_EQ(w.itemToEdit->text(), QString());
    dlg.setStrInvCodeFrom(u"A001"_s);
    EXPECT_EQ(w.itemFromEdit->text(), u"A001"_s);

    QTimer::singleShot(0, &dlg, [&] { QTest::keyClick(w.itemToEdit, Qt::Key_Escape); });
    EXPECT_FALSE(dlg.run());
    EXPECT_TRUE(sink->texts().isEmpty());
}

// Catches: refused characters reaching a box, a bad class accepted or kept, the
// focus not returned to the refused box, or a display that runs past a refusal.
TEST_P(ConditionDialogsTest, RefusalsKeepTheUserInTheBox) {
    openAs(u"boss"_s);
    frmInitCon dlg(ctx, pickers);
    ConditionWidgets& w = dlg.widgets();
    activate(dlg, w.itemFromEdit);
    QTest::keyClicks(w.itemFromEdit, u"A|0'0*1#~"_s);
    EXPECT_EQ(w.itemFromEdit->text(), u"A001"_s);

    typeAndLeave(w.itemClassEdit, u"99"_s);
    EXPECT_EQ(sink->texts(), QStringList{u"存货分类输入不合法！"_s});
    EXPECT_EQ(w.itemClassEdit->text(), QString());
    EXPECT_EQ(QApplication::focusWidget(), w.itemClassEdit);

    // Enter in a box with a bad bound: the refusal, and the dialog stays.
    w.itemToEdit->setFocus();
    QTest::keyClicks(w.itemToEdit, u"S001"_s);
    QTest::keyClick(w.itemToEdit, Qt::Key_Return);
    EXPECT_EQ(sink->last(), u"存货下限输入不合法！"_s);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_FALSE(dlg.blnOk());
    EXPECT_EQ(QApplication::focusWidget(), w.itemToEdit);
}

// Catches: F2 not reaching the reference, the bound's reference not restricted
// to the class box, a pick that is not stored, or reference buttons that do not
// follow the focus.
TEST_P(ConditionDialogsTest, F2OpensTheReferenceOfTheFocusedBox) {
    openAs(u"boss"_s);
    frmInitCon dlg(ctx, pickers);
    ConditionWidgets& w = dlg.widgets();
    activate(dlg, w.itemClassEdit);
    EXPECT_TRUE(w.itemClassButton->isVisible());
    EXPECT_FALSE(w.itemFromButton->isVisible());

    pickers.pick = u"0101"_s;
    QTest::keyClick(w.itemClassEdit, Qt::Key_F2);
    EXPECT_EQ(pickers.calls, 1);
    EXPECT_EQ(w.itemClassEdit->text(), u"钢材"_s);
    EXPECT_EQ(dlg.strInvCCode(), u"0101"_s);

    w.itemFromEdit->setFocus();
    QApplication::processEvents();
    EXPECT_FALSE(w.itemClassButton->isVisible());
    EXPECT_TRUE(w.itemFromButton->isVisible());
    pickers.pick = u"A002"_s;
    QTest::keyClick(w.itemFromEdit, Qt::Key_F2);
    EXPECT_EQ(pickers.listed, (QStringList{u"A001"_s, u"A002"_s}));
    EXPECT_EQ(w.itemFromEdit->text(), u"O'Brien 扣件"_s);
    EXPECT_EQ(dlg.strInvCodeFrom(), u"A002"_s);
    EXPECT_TRUE(sink->texts().isEmpty());
}

// Catches: a find that depends on letter case or only looks at one column, the
// wrong columns for the dispatched-goods grid, a miss that closes the dialog or
// shows an icon, or an empty grid that still says something.
TEST_P(ConditionDialogsTest, FindMovesTheGridToTheItem) {
    openAs(u"boss"_s);
    QStandardItemModel grid(0, 4);
    auto addRow = [&](const QStringList& cells) {
        QList<QStandardItem*> items;
        for (const QString& c : cells) items << new QStandardItem(c);
        grid.appendRow(items);
    };
    int movedTo = -1;
    auto lend = [&](int count) {
        return FindGrid{[count] { return count; },
                        [&](int r, int c) { return grid.item(r, c)->text(); },
                        {},
                        [&](int r) { movedTo = r; }};
    };
    addRow({{}, u"A001"_s, u"圆钢"_s, u"Bar"_s});
    addRow({{}, u"B001"_s, u"Steel Plate"_s, u"x"_s});
    addRow({{}, u"C1"_s, u"C2"_s, u"b001"_s});

    frmInitFind dlg(ctx, pickers);
    EXPECT_EQ(dlg.windowTitle(), u"定位"_s);
    dlg.setGrid(lend(3));
    activate(dlg, dlg.itemEdit);
    QTest::keyClicks(dlg.itemEdit, u"b001"_s);
    QTest::keyClick(dlg.itemEdit, Qt::Key_Return);
    EXPECT_EQ(movedTo, 1);
    EXPECT_FALSE(dlg.isVisible());

    activate(dlg, dlg.itemEdit);
    movedTo = -1;
    dlg.itemEdit->setText(u"STEEL plate"_s);
    QTest::keyClick(dlg.itemEdit, Qt::Key_Return);
    EXPECT_EQ(movedTo, 1);
    dlg.itemEdit->setText(u"c2"_s);
    activate(dlg, dlg.itemEdit);
    QTest::keyClick(dlg.itemEdit, Qt::Key_Return);
    EXPECT_EQ(movedTo, 2);

    // The dispatched-goods grid keeps code and name in columns 2 and 3.
    dlg.setFrmName(u"FrmQcFcsp"_s);
    activate(dlg, dlg.itemEdit);
    dlg.itemEdit->setText(u"BAR"_s);
    QTest::keyClick(dlg.itemEdit, Qt::Key_Return);
    EXPECT_EQ(movedTo, 0);
    activate(dlg, dlg.itemEdit);
    dlg.itemEdit->setText(u"A001"_s);
    movedTo = -1;
    QTest::keyClick(dlg.itemEdit, Qt::Key_Return);
    EXPECT_EQ(movedTo, -1);
    EXPECT_TRUE(dlg.isVisible());
    ASSERT_EQ(sink->texts(), QStringList{u"该存货没有找到！"_s});
    EXPECT_EQ(sink->entries().first().icon, MsgIcon::None);

    dlg.setGrid(lend(0));
    QTest::keyClick(dlg.itemEdit, Qt::Key_Return);
    EXPECT_EQ(movedTo, -1);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(sink->texts().size(), 1);
}

// Catches: the reference window not listing the query's rows, a search or class
// choice that does not narrow the list, keys that do not move through it, or a
// pick that returns another row than the one chosen.
TEST_P(ConditionDialogsTest, ReferenceWindowListsFiltersAndPicks) {
    openAs(u"boss"_s);
    const std::optional<ReferenceQuery> q = BuildReferenceQuery(ctx, kRefInventory, {}, {});
    ASSERT_TRUE(q);
    Database& account = ctx.gDb->Connection();
    {
        ReferenceDialog dlg(account, *q);
        activate(dlg, dlg.searchBox());
        EXPECT_EQ(dlg.visibleRows(), 5);
        ASSERT_NE(dlg.classTree(), nullptr);
        const QList<QTreeWidgetItem*> steel = dlg.classTree()->findItems(u"0101 钢材"_s, Qt::MatchRecursive);
        ASSERT_EQ(steel.size(), 1);
        EXPECT_EQ(steel.first()->parent()->text(0), u"01 原材料"_s);
        dlg.classTree()->setCurrentItem(steel.first());
        EXPECT_EQ(dlg.visibleRows(), 2);
        QTest::keyClick(dlg.searchBox(), Qt::Key_Down);
        QTest::keyClick(dlg.searchBox(), Qt::Key_Return);
        ASSERT_TRUE(dlg.picked());
        EXPECT_EQ(textOf(pickedValue(*dlg.picked(), u"cInvCode"_s)), u"A002"_s);
        EXPECT_EQ(textOf(pickedValue(*dlg.picked(), u"cInvName"_s)), u"O'Brien 扣件"_s);
    }
    {
        ReferenceDialog dlg(account, *q);
        activate(dlg, dlg.searchBox());
        type(dlg.searchBox(), u"成品"_s);
        EXPECT_EQ(dlg.visibleRows(), 1);
        QTest::keyClick(dlg.searchBox(), Qt::Key_Escape);
        EXPECT_FALSE(dlg.picked());
        EXPECT_FALSE(dlg.isVisible());
    }
}

QC_DB_SUITE(ConditionDialogsTest);

}  // namespace
}  // namespace qc
