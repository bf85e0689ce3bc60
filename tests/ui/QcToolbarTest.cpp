// The toolbar component: its two styles and its buttons by key.

#include "shared/Layouts.h"
#include "shared/ui/QcToolbar.h"
#include "support/QtPrint.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace qc {
namespace {

class QcToolbarTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_settings = m_dir.filePath(QStringLiteral("machine.ini"));
        qputenv("QC_SETTINGS_FILE", m_settings.toLocal8Bit());
    }
    void TearDown() override { qunsetenv("QC_SETTINGS_FILE"); }

    static void fill(QcToolbar& tb) {
        tb.addButton(QStringLiteral("Print"), QStringLiteral("打印"), QStringLiteral("打印"));
        tb.addButton(QStringLiteral("Preview"), QStringLiteral("预览"), QStringLiteral("打印预览"));
        tb.addSeparatorItem();
        tb.addButton(QStringLiteral("Keep"), QStringLiteral("记账"), QStringLiteral("记账"));
        tb.addButton(QStringLiteral("Save"), QStringLiteral("保存"), QStringLiteral("保存"));
        tb.addButton(QStringLiteral("Exit"), QStringLiteral("退出"), QStringLiteral("退出"));
    }

    QTemporaryDir m_dir;
    QString m_settings;
};

// Catches: the appearance setting not reaching the toolbar, or two styles that
// look alike (same button style, same placement of icon and caption).
TEST_F(QcToolbarTest, TheStoredSettingChoosesOneOfTwoVisiblyDifferentStyles) {
    struct Case {
        std::optional<QString> value;
        short style;
    };
    const Case cases[] = {
        {std::nullopt, 1}, {QStringLiteral("Text"), 1}, {QStringLiteral("Icons"), 2}, {QString(), 2}};
    QSize beside, under;
    for (const Case& c : cases) {
        SettingsStore store;
        if (c.value)
            store.write(kAppearanceKey, kToolbarStyleValue, *c.value);
        else
            store.remove(kAppearanceKey, kToolbarStyleValue);
        QcToolbar tb;
        fill(tb);
        tb.applyStoredStyle();
        tb.show();
        SCOPED_TRACE(c.value.value_or(QStringLiteral("<missing>")).toStdString());
        EXPECT_EQ(tb.toolbarStyle(), c.style);
        QToolButton* b = tb.toolButton(QStringLiteral("Print"));
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->toolButtonStyle(),
                  c.style == 1 ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonTextUnderIcon);
        (c.style == 1 ? beside : under) = b->sizeHint();
    }
    // Caption beside the icon: a wide, low button; caption under a larger icon: a
    // taller one, the caption below the icon.
    EXPECT_GT(beside.width(), beside.height());
    EXPECT_GT(under.height(), beside.height());
    QcToolbar tb;
    tb.setToolbarStyle(1);
    const QSize small = tb.iconSize();
    tb.setToolbarStyle(2);
    EXPECT_GT(tb.iconSize().height(), small.height());
}

// Catches: clicks reported with the wrong key or index, clicks from a disabled
// button, state changes that reach the wrong button, or a key added twice.
TEST_F(QcToolbarTest, ButtonsAreAddressedByKey) {
    QcToolbar tb;
    fill(tb);
    tb.setIndex(0);
    tb.show();
    QSignalSpy clicks(&tb, &QcToolbar::buttonClicked);

    QTest::mouseClick(tb.toolButton(QStringLiteral("Preview")), Qt::LeftButton);
    ASSERT_EQ(clicks.size(), 1);
    EXPECT_EQ(clicks.at(0).at(0).toInt(), 0);
    EXPECT_EQ(clicks.at(0).at(1).toString(), QStringLiteral("Preview"));

    tb.setButtonEnabled(QStringLiteral("Keep"), false);
    QTest::mouseClick(tb.toolButton(QStringLiteral("Keep")), Qt::LeftButton);
    EXPECT_EQ(clicks.size(), 1);
    EXPECT_TRUE(tb.buttonEnabled(QStringLiteral("Print")));

    tb.setButtonVisible(QStringLiteral("Save"), false);
    EXPECT_FALSE(tb.toolButton(QStringLiteral("Save"))->isVisible());
    EXPECT_TRUE(tb.toolButton(QStringLiteral("Exit"))->isVisible());

    tb.setCaption(QStringLiteral("Keep"), QStringLiteral("恢复"));
    tb.setButtonToolTip(QStringLiteral("Keep"), QStringLiteral("恢复记账"));
    EXPECT_EQ(tb.toolButton(QStringLiteral("Keep"))->text(), QStringLiteral("恢复"));
    EXPECT_EQ(tb.buttonToolTip(QStringLiteral("Keep")), QStringLiteral("恢复记账(Alt+J)"));
    EXPECT_EQ(tb.caption(QStringLiteral("Print")), QStringLiteral("打印"));

    // Unknown keys are ignored; a key added again replaces its button.
    tb.setButtonEnabled(QStringLiteral("Nothing"), false);
    tb.addButton(QStringLiteral("Print"), QStringLiteral("打印表单"), QStringLiteral("打印表单"));
    EXPECT_EQ(tb.keys().count(QStringLiteral("Print")), 1);
    EXPECT_EQ(tb.caption(QStringLiteral("Print")), QStringLiteral("打印表单"));

    tb.setIndex(3);
    QTest::mouseClick(tb.toolButton(QStringLiteral("Print")), Qt::LeftButton);
    ASSERT_EQ(clicks.size(), 2);
    EXPECT_EQ(clicks.at(1).at(0).toInt(), 3);
    EXPECT_EQ(clicks.at(1).at(1).toString(), QStringLiteral("Print"));
}

// Catches: a command without a key, a key that fires a disabled or hidden
// command, a tooltip that does not show the key (or shows it twice), a window's
// own key firing twice, and a key binding missing for assistive technology.
TEST_F(QcToolbarTest, EveryCommandFiresOnItsKeyAndShowsIt) {
    QWidget window;
    auto* tb = new QcToolbar(&window);
    fill(*tb);
    tb->addButton(QStringLiteral("Add"), QStringLiteral("增加"), QStringLiteral("增加(Ctrl+A)"));
    tb->setButtonShortcut(QStringLiteral("Add"), QKeySequence(Qt::CTRL | Qt::Key_A), false);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QSignalSpy clicks(tb, &QcToolbar::buttonClicked);

    for (const QString& key : tb->keys())
        EXPECT_FALSE(tb->buttonShortcut(key).isEmpty()) << key.toStdString();
    EXPECT_EQ(tb->buttonToolTip(QStringLiteral("Preview")), QStringLiteral("打印预览(Alt+V)"));
    EXPECT_EQ(tb->buttonToolTip(QStringLiteral("Add")), QStringLiteral("增加(Ctrl+A)"));

    QTest::keyClick(&window, Qt::Key_J, Qt::AltModifier);
    ASSERT_EQ(clicks.size(), 1);
    EXPECT_EQ(clicks.at(0).at(1).toString(), QStringLiteral("Keep"));
    tb->setButtonEnabled(QStringLiteral("Keep"), false);
    tb->setButtonVisible(QStringLiteral("Save"), false);
    QTest::keyClick(&window, Qt::Key_J, Qt::AltModifier);
    QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(&window, Qt::Key_A, Qt::ControlModifier);  // the window's own key
    EXPECT_EQ(clicks.size(), 1);

    for (const QString& key : {QStringLiteral("Exit"), QStringLiteral("Add")}) {
        QAccessibleInterface* button = QAccessible::queryAccessibleInterface(tb->toolButton(key));
        ASSERT_NE(button, nullptr);
        ASSERT_NE(button->actionInterface(), nullptr);
        const QString binding = tb->buttonShortcut(key).toString(QKeySequence::NativeText);
        EXPECT_EQ(button->actionInterface()->keyBindingsForAction(QAccessibleActionInterface::pressAction()),
                  QStringList{binding});
        EXPECT_EQ(button->text(QAccessible::Name), tb->caption(key));
    }
    EXPECT_FALSE(tb->accessibleName().isEmpty());
}

}  // namespace
}  // namespace qc
