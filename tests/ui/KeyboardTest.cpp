// The entry window by keyboard alone and as assistive technology sees it: the
// focus chain, Tab inside and Ctrl+Tab out of the grid, a key for every command,
// and a name for every input.

#include "EntryWindowFixture.h"
#include "Typing.h"
#include "shared/ui/EntryGridDelegate.h"
#include "shared/ui/EntryGridView.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

namespace Col = opening::Col;

class KeyboardTest : public test::EntryWindowFixture {
  protected:
    static QWidget* focus() { return QApplication::focusWidget(); }
    void press(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(target, key, modifiers);
        QApplication::processEvents();
    }
    // Whether the focus is in the grid: the view itself or its open cell editor.
    bool inGrid() const {
        for (QWidget* w = focus(); w; w = w->parentWidget())
            if (w == frm->rowsView) return true;
        return false;
    }
    static QString accessibleName(QWidget* w) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
        return face ? face->text(QAccessible::Name) : QString();
    }
    // Starts editing the item code of a new row and types `code` into it.
    void typeNewItemCode(const QString& code) {
        frm->rowsView->setFocus();
        press(frm->rowsView, Qt::Key_A, Qt::ControlModifier);
        const int row = frm->model().dataRowCount() - 1;
        frm->rowsView->setCurrentIndex(frm->rowsView->cellIndex(row, Col::InvCode));
        for (const QChar c : code) test::typeChar(focus(), c);
        QApplication::processEvents();
        ASSERT_TRUE(frm->rowsView->editing());
    }
};

// Catches: an input the keyboard cannot reach, Tab leaving the grid instead of
// moving between its cells, Ctrl+Tab moving between cells instead of leaving, an
// open editor left without its value going through the cell rules, or a refused
// value let out of its cell.
TEST_P(KeyboardTest, TabMovesThroughTheWindowAndCtrlTabLeavesTheGrid) {
    openWindow();
    chooseWarehouse(u"02"_s);

    // From the first field, Tab (Ctrl+Tab in the grid) visits every input once.
    QList<QWidget*> visited;
    frm->warehouseList->setFocus();
    for (int i = 0; i < 8 && !visited.contains(focus()); ++i) {
        visited << focus();
        press(focus(), Qt::Key_Tab, inGrid() ? Qt::ControlModifier : Qt::NoModifier);
    }
    EXPECT_EQ(visited,
              (QList<QWidget*>{frm->warehouseList, frm->itemClassEdit, frm->sortColumnList, frm->rowsView}));
    frm->rowsView->setFocus();
    press(frm->rowsView, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(focus(), frm->sortColumnList);

    // Tab and Shift+Tab in the grid move between editable cells and keep the focus.
    frm->rowsView->setFocus();
    frm->rowsView->setCurrentIndex(frm->rowsView->cellIndex(0, Col::InvCode));
    press(frm->rowsView, Qt::Key_Tab);
    EXPECT_TRUE(inGrid());
    const int next = frm->rowsView->currentGridColumn();
    EXPECT_GT(next, Col::InvCode);
    press(frm->rowsView, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(frm->rowsView->currentGridColumn(), Col::InvCode);

    // Ctrl+Tab from an open editor: the value goes through the cell rules first; a
    // refused one keeps the focus in its cell, an accepted one lets it go.
    sink.clear();
    typeNewItemCode(u"nope"_s);
    press(focus(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(sink.texts(), QStringList{u"存货不合法！"_s});
    EXPECT_TRUE(inGrid());
    ASSERT_TRUE(frm->rowsView->editing());
    for (int i = 0; i < 4; ++i) press(focus(), Qt::Key_Backspace);
    for (const QChar c : u"1101"_s) test::typeChar(focus(), c);
    press(focus(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_FALSE(inGrid());
    EXPECT_EQ(focus(), frm->warehouseList);
    const int row = frm->model().dataRowCount() - 1;
    EXPECT_EQ(frm->model().text(row, Col::InvName), u"单片机"_s);
}

// Catches: a toolbar command without a key, two commands (or a command and a
// label) on one key, a key missing from the tooltip, a key that does not reach its
// command in the window, and labels without their Alt+letter.
TEST_P(KeyboardTest, EveryCommandHasItsOwnKeyShownInItsTooltip) {
    openWindow();
    chooseWarehouse(u"02"_s);
    QcToolbar* toolbar = frm->toolbar;

    QSet<QString> keys{u"Alt+W"_s, u"Alt+C"_s, u"Alt+L"_s};  // the labels' mnemonics
    for (const QString& key : toolbar->keys()) {
        const QString sequence = toolbar->buttonShortcut(key).toString(QKeySequence::PortableText);
        EXPECT_FALSE(sequence.isEmpty()) << key.toStdString();
        EXPECT_FALSE(keys.contains(sequence)) << key.toStdString() << " " << sequence.toStdString();
        keys << sequence;
        EXPECT_TRUE(toolbar->buttonToolTip(key).endsWith(u'(' + sequence + u')'))
            << toolbar->buttonToolTip(key).toStdString();
    }

    // The keys reach the commands, from the grid too. The window runs Ctrl+A,
    // Ctrl+D, Ctrl+F and F1 itself (tested with their commands), so the toolbar
    // must not report them.
    QObject::disconnect(toolbar, &QcToolbar::buttonClicked, frm.get(), nullptr);
    QSignalSpy fired(toolbar, &QcToolbar::buttonClicked);
    frm->rowsView->setFocus();
    QStringList expected;
    for (const QString& key : toolbar->keys()) {
        if (!toolbar->buttonEnabled(key) || !toolbar->buttonVisible(key)) continue;
        if (QStringList{u"Add"_s, u"Delete"_s, u"Find"_s, u"Help"_s}.contains(key)) continue;
        QTest::keySequence(frm.get(), toolbar->buttonShortcut(key));
        QApplication::processEvents();
        expected << key;
    }
    QStringList got;
    for (const QList<QVariant>& click : fired) got << click.at(1).toString();
    EXPECT_EQ(got, expected);
    EXPECT_TRUE(expected.contains(u"Keep"_s) && expected.contains(u"Exit"_s));

    press(frm.get(), Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(focus(), frm->itemClassEdit);
    press(frm.get(), Qt::Key_L, Qt::AltModifier);
    EXPECT_EQ(focus(), frm->sortColumnList);
    press(frm.get(), Qt::Key_W, Qt::AltModifier);
    EXPECT_EQ(focus(), frm->warehouseList);
}

// Catches: an input, the grid or the toolbar without an accessible name, a
// combo box named by its value, and a cell editor that does not say which cell
// it edits.
TEST_P(KeyboardTest, EveryInputIsNamedForAssistiveTechnology) {
    openWindow();
    chooseWarehouse(u"02"_s);
    for (QWidget* w : {static_cast<QWidget*>(frm->warehouseList), static_cast<QWidget*>(frm->itemClassEdit),
                       static_cast<QWidget*>(frm->sortColumnList), static_cast<QWidget*>(frm->rowsView),
                       static_cast<QWidget*>(frm->toolbar)})
        EXPECT_FALSE(accessibleName(w).isEmpty()) << w->objectName().toStdString();
    // Qt on Linux names a combo box by its value and tells its label through the
    // labelled-by relation, which is what a screen reader reads out.
    QStringList labels;
    for (const auto& [other, relation] :
         QAccessible::queryAccessibleInterface(frm->warehouseList)->relations(QAccessible::Label))
        labels << other->text(QAccessible::Name);
    EXPECT_TRUE(labels.join(u'|').contains(u"仓库"_s)) << labels.join(u'|').toStdString();

    // The grid tells only the columns it shows, each under its caption.
    QAccessibleTableInterface* table = QAccessible::queryAccessibleInterface(frm->rowsView)->tableInterface();
    ASSERT_NE(table, nullptr);
    int shown = 0;
    for (int c = 0; c < Col::Count; ++c) shown += frm->rowsView->isGridColumnHidden(c) ? 0 : 1;
    EXPECT_LT(shown, Col::Count);
    EXPECT_EQ(table->columnCount(), shown);
    for (int c = 0; c < table->columnCount(); ++c) EXPECT_FALSE(table->columnDescription(c).isEmpty()) << c;
    EXPECT_EQ(table->rowCount(), frm->model().rowCount());

    typeNewItemCode(u"11"_s);
    const int row = frm->model().dataRowCount() - 1;
    EXPECT_EQ(accessibleName(focus()), u"存货编码 第%1行"_s.arg(row + 1));
}

QC_DB_SUITE(KeyboardTest);

}  // namespace
}  // namespace qc
