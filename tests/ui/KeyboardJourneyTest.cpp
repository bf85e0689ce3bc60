// The accountant who never touches the mouse: the login dialog's focus and
// names, then the daily loop from the login to leaving the entry window, every
// step a key press on whatever has the focus.

#include "LoginDialog.h"
#include "MainWindow.h"
#include "Typing.h"
#include "WindowDriving.h"
#include "WindowHostImpl.h"
#include "demo/Demo.h"
#include "dispatched/DispatchedColumns.h"
#include "dispatched/ui/FrmQcFcsp.h"
#include "dispatched/ui/frmQcFcspCon.h"
#include "opening/OpeningColumns.h"
#include "opening/ui/FrmQcInput.h"
#include "opening/ui/frmInitCon.h"
#include "platform/Decimal.h"
#include "platform/MessageSink.h"
#include "shared/grid/GridModel.h"
#include "shared/ui/EntryGridView.h"
#include "summary/ui/FrmQcSumCon.h"
#include "support/TestDb.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

namespace Col = opening::Col;

class KeyboardJourneyTest : public test::DbTest {
  protected:
    void SetUp() override {
        qputenv("QC_FAST_HASH", "1");
        DbTest::SetUp();
        m_demo = demo::createDemo(db());
    }
    static QWidget* focus() { return QApplication::focusWidget(); }
    static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(focus(), key, modifiers);
        QApplication::processEvents();
    }
    static void typeText(const QString& text) {
        for (const QChar c : text) test::typeChar(focus(), c);
        QApplication::processEvents();
    }
    // The login dialog by keys: operator, Tab, password, Enter. The login, or
    // null when it was refused.
    std::unique_ptr<VqLogin> logInByKeys() {
        LoginDialog dialog(&m_sink);
        dialog.setConnectionString(conn());
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        typeText(u"demo"_s);
        press(Qt::Key_Tab);
        typeText(u"demo123"_s);
        press(Qt::Key_Return);
        return dialog.result() == QDialog::Accepted ? dialog.takeLogin() : nullptr;
    }
    // Should a step no longer work by keys, the windows would wait for ever: after
    // a generous while the test closes them and fails instead of hanging.
    static void startWatchdog(QTimer& watchdog) {
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] {
            const QWidget* stuck = QApplication::activeModalWidget();
            ADD_FAILURE() << "the journey stalled in "
                          << (stuck ? stuck->objectName().toStdString() : "a menu");
            while (QWidget* popup = QApplication::activePopupWidget()) popup->hide();
            while (QWidget* modal = QApplication::activeModalWidget()) modal->hide();
        });
        watchdog.start(60 * 1000);
    }

    // Logs in by keys and shows the menu of the real host, active, with the
    // watchdog running; false when the login was refused.
    bool openMenuByKeys() {
        std::unique_ptr<VqLogin> login = logInByKeys();
        if (!login) return false;
        m_main = std::make_unique<MainWindow>(std::move(login), &m_windows, &m_sink);
        m_windows.setParentWidget(m_main.get());
        m_main->show();
        QApplication::setActiveWindow(m_main.get());
        startWatchdog(m_watchdog);
        return QTest::qWaitForWindowActive(m_main.get());
    }
    void TearDown() override {
        m_main.reset();
        DbTest::TearDown();
    }

    demo::DemoInfo m_demo;
    RecordingSink m_sink;
    WindowHostImpl m_windows;
    std::unique_ptr<MainWindow> m_main;
    QTimer m_watchdog;
};

// Catches: the focus left in the database field (typing then overwrites the
// path), a field without a name for assistive technology, the browse button out
// of the keyboard's reach, and a field the label's Alt+letter does not reach.
TEST_P(KeyboardJourneyTest, TheLoginStartsWhereTypingIsNeededAndEveryFieldIsReachable) {
    LoginDialog dialog(&m_sink);
    dialog.setConnectionString(conn());
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    EXPECT_EQ(focus(), dialog.operatorEdit());
    dialog.setOperator(u"demo"_s);
    EXPECT_EQ(focus(), dialog.passwordEdit());

    const QList<QWidget*> inputs{dialog.databaseEdit(),  dialog.browseButton(), dialog.accountCombo(),
                                 dialog.yearEdit(),      dialog.operatorEdit(), dialog.passwordEdit(),
                                 dialog.loginDateEdit(), dialog.okButton(),     dialog.cancelButton()};
    QList<QWidget*> visited;
    dialog.databaseEdit()->setFocus();
    for (int i = 0; i < 30; ++i) {
        // A composite field (the account's line edit) counts as its field; Tab
        // walks the date's parts before it leaves the date.
        QWidget* w = focus();
        while (w && !inputs.contains(w)) w = w->parentWidget();
        if (w && !visited.contains(w)) visited << w;
        press(Qt::Key_Tab);
        if (focus() == dialog.databaseEdit()) break;
    }
    EXPECT_EQ(visited, inputs);
    for (QWidget* w : inputs) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(face, nullptr);
        EXPECT_FALSE(face->text(QAccessible::Name).isEmpty()) << w->objectName().toStdString();
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(dialog.databaseEdit())->text(QAccessible::Name),
              u"数据库"_s);

    press(Qt::Key_U, Qt::AltModifier);
    EXPECT_EQ(focus(), dialog.operatorEdit());
    press(Qt::Key_D, Qt::AltModifier);
    EXPECT_EQ(focus(), dialog.databaseEdit());
    press(Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
}

// Catches: any step of the daily loop that needs the mouse: logging in, opening
// 期初余额 from the menu, choosing a warehouse, reaching the grid, keying and
// storing a row (which then shows its stored date), querying and leaving.
TEST_P(KeyboardJourneyTest, TheWholeEntryLoopByKeyboardAlone) {
    ASSERT_TRUE(openMenuByKeys());

    qint64 storedBefore = 0, storedAfter = 0;
    QString shownDate;
    bool queried = false, left = false;
    test::whenModal<opening::FrmQcInput>([&](opening::FrmQcInput* frm) {
        frm->setMessageSink(m_sink);
        press(Qt::Key_W, Qt::AltModifier);
        EXPECT_EQ(focus(), frm->warehouseList);
        for (int i = 0; i < 10 && frm->entry().CurrentWhCode != u"02"_s; ++i) press(Qt::Key_Down);
        storedBefore = frm->model().dataRowCount();
        for (int i = 0; i < 3; ++i) press(Qt::Key_Tab);
        EXPECT_EQ(focus(), frm->rowsView);

        press(Qt::Key_A, Qt::ControlModifier);
        typeText(u"1101"_s);
        press(Qt::Key_Tab);
        for (int i = 0; i < 20 && frm->rowsView->currentGridColumn() != Col::Quantity; ++i)
            press(Qt::Key_Tab);
        typeText(u"2"_s);
        press(Qt::Key_Tab);
        press(Qt::Key_Up);  // leaving the row stores it
        const int row = frm->model().dataRowCount() - 1;
        storedAfter = frm->model().dataRowCount();
        shownDate = frm->model().text(row, Col::VouDate);

        test::whenModal<frmInitCon>([&](frmInitCon*) {
            queried = true;
            press(Qt::Key_Escape);
        });
        press(Qt::Key_Q, Qt::AltModifier);
        QApplication::setActiveWindow(frm);  // back from the dialog, as the window manager does
        press(Qt::Key_E, Qt::AltModifier);
        left = !frm->isVisible();
    });
    press(Qt::Key_Q, Qt::AltModifier);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QTest::keyClick(menu, Qt::Key_O);  // runs the window until it is left
    QApplication::processEvents();

    EXPECT_TRUE(m_sink.texts().isEmpty()) << m_sink.texts().join(u'\n').toStdString();
    EXPECT_EQ(storedAfter, storedBefore + 1);
    EXPECT_EQ(db().scalar(u"SELECT COUNT(*) FROM IA_Subsidiary WHERE cWhCode = '02' AND cInvCode = '1101' "
                          "AND iAInQuantity = 2 AND cVouType = '34'"_s)
                  .toLongLong(),
              1);
    EXPECT_EQ(shownDate, u"2025/12/31"_s);
    EXPECT_TRUE(queried);
    EXPECT_TRUE(left);
}

// Catches: 分期收款发出商品期初 not reachable from the menu by keys, or any step of
// its loop that needs the mouse: 取数, 查询 with every warehouse, keying an
// amount into the first row (stored at once) and leaving.
TEST_P(KeyboardJourneyTest, DispatchedGoodsFromTheMenuByKeyboardAlone) {
    ASSERT_TRUE(openMenuByKeys());

    QString caption, keyedId;
    int rows = 0;
    bool left = false;
    test::whenModal<dispatched::FrmQcFcsp>([&](dispatched::FrmQcFcsp* frm) {
        frm->setMessageSink(m_sink);
        caption = frm->windowTitle();
        press(Qt::Key_G, Qt::AltModifier);  // 取数
        test::whenModal<dispatched::frmQcFcspCon>([&](dispatched::frmQcFcspCon*) { press(Qt::Key_Return); });
        press(Qt::Key_Q, Qt::AltModifier);  // 查询, every warehouse
        QApplication::setActiveWindow(frm);
        rows = frm->model().dataRowCount();
        if (rows > 0) {
            // The query leaves the cursor on the first row's 发货金额.
            EXPECT_EQ(frm->rowsView->currentGridColumn(), dispatched::DCol::OutAmount);
            keyedId = frm->model().text(0, dispatched::DCol::AutoId);
            typeText(u"360"_s);
            press(Qt::Key_Return);
        }
        press(Qt::Key_E, Qt::AltModifier);
        left = !frm->isVisible();
    });
    press(Qt::Key_Q, Qt::AltModifier);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QTest::keyClick(menu, Qt::Key_F);  // runs the window until it is left
    QApplication::processEvents();

    EXPECT_EQ(caption, u"分期收款发出商品期初"_s);
    EXPECT_EQ(m_sink.texts(), QStringList{u"取数完毕！"_s});
    ASSERT_GT(rows, 0);
    EXPECT_EQ(Decimal::fromVariant(db().scalar(u"SELECT iAOutPrice FROM IA_EnSubsidiary WHERE AutoID = ?"_s,
                                               {keyedId.toLongLong()})),
              Decimal(360));
    EXPECT_TRUE(left);
}

// Catches: 期初汇总 not reachable from the menu by keys, or its dialog not closing
// on Esc.
TEST_P(KeyboardJourneyTest, TheSummaryFromTheMenuByKeyboard) {
    ASSERT_TRUE(openMenuByKeys());
    QString title;
    test::whenModal<summary::FrmQcSumCon>([&](summary::FrmQcSumCon* con) {
        title = con->windowTitle();
        press(Qt::Key_Escape);
    });
    press(Qt::Key_Q, Qt::AltModifier);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QTest::keyClick(menu, Qt::Key_U);
    QApplication::processEvents();
    EXPECT_EQ(title, u"期初汇总条件选择"_s);
    EXPECT_TRUE(m_sink.texts().isEmpty()) << m_sink.texts().join(u' ').toStdString();
}

QC_DB_SUITE(KeyboardJourneyTest);

}  // namespace
}  // namespace qc
