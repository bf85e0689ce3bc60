// The host shell: login dialog and menu, against a demo account on each back end.

#include "LoginDialog.h"
#include "LoginForm.h"
#include "MainWindow.h"
#include "WindowHostImpl.h"
#include "demo/Demo.h"
#include "entry/clsQC.h"
#include "host/YrCommon.h"
#include "platform/MessageSink.h"
#include "session/LoginContext.h"
#include "support/TestDb.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QTest>
#include <QToolButton>

namespace qc {
namespace {

class ShellTest : public test::DbTest {
  protected:
    void SetUp() override {
        qputenv("QC_FAST_HASH", "1");
        DbTest::SetUp();
        demo::initDatabase(db());
        m_demo = demo::createDemo(db());
        ASSERT_GE(m_demo.users.size(), 2);
    }

    // A dialog on the scratch account, shown, with the operator typed.
    std::unique_ptr<LoginDialog> openDialog(const QString& userId) {
        auto dialog = std::make_unique<LoginDialog>(&m_sink);
        dialog->setConnectionString(conn());
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        dialog->operatorEdit()->setFocus();
        QTest::keyClicks(dialog->operatorEdit(), userId);
        return dialog;
    }

    static void typePasswordAndEnter(LoginDialog& dialog, const QString& password) {
        dialog.passwordEdit()->setFocus();
        dialog.passwordEdit()->clear();
        QTest::keyClicks(dialog.passwordEdit(), password);
        QTest::keyClick(dialog.passwordEdit(), Qt::Key_Return);
    }

    demo::DemoInfo m_demo;
    RecordingSink m_sink;
};

// Catches: a refused login that closes the dialog, leaks which part was wrong,
// or leaves the focus elsewhere than on the password.
TEST_P(ShellTest, WrongPasswordIsRefusedAndTheDialogStays) {
    const demo::DemoUser& user = m_demo.users.first();
    auto dialog = openDialog(user.userId);
    EXPECT_EQ(LoginForm::accountIdOf(dialog->accountCombo()->currentText()), m_demo.accountId);
    EXPECT_EQ(dialog->yearEdit()->value(), m_demo.year);

    typePasswordAndEnter(*dialog, user.password + QStringLiteral("x"));
    ASSERT_EQ(m_sink.entries().size(), 1);
    EXPECT_EQ(m_sink.entries().first().icon, MsgIcon::Exclamation);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_NE(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->focusWidget(), dialog->passwordEdit());
    EXPECT_EQ(dialog->passwordEdit()->selectedText(), dialog->passwordEdit()->text());
    EXPECT_EQ(dialog->takeLogin(), nullptr);
    const QString wrongPassword = m_sink.last();

    // An unknown operator and a year the account does not have get the same words.
    dialog->operatorEdit()->setText(QStringLiteral("nobody"));
    typePasswordAndEnter(*dialog, user.password);
    dialog->operatorEdit()->setText(user.userId);
    dialog->yearEdit()->setValue(m_demo.year - 5);
    typePasswordAndEnter(*dialog, user.password);
    ASSERT_EQ(m_sink.entries().size(), 3);
    EXPECT_EQ(m_sink.texts().at(1), wrongPassword);
    EXPECT_EQ(m_sink.texts().at(2), wrongPassword);
    EXPECT_FALSE(wrongPassword.contains(user.userId));
    EXPECT_NE(dialog->result(), QDialog::Accepted);
}

// Catches: Enter that logs in from a field before the password, or Esc that does
// not cancel.
TEST_P(ShellTest, EnterMovesOnAndEscCancels) {
    auto dialog = openDialog(m_demo.users.first().userId);
    QTest::keyClick(dialog->operatorEdit(), Qt::Key_Return);
    EXPECT_EQ(dialog->focusWidget(), dialog->passwordEdit());
    EXPECT_TRUE(m_sink.entries().isEmpty());
    QTest::keyClick(dialog->passwordEdit(), Qt::Key_Escape);
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(m_sink.entries().isEmpty());
}

// The component's windows as the shell sees them: the ones listed are built, and
// each show is noted instead of opening a window.
class NotingWindows : public WindowHost {
  public:
    explicit NotingWindows(QList<Window> built) : m_built(std::move(built)) {}
    [[nodiscard]] bool available(Window w) const override { return m_built.contains(w); }
    void showOpening(LoginContext&, VqLogin& login, bool) override { note(QStringLiteral("opening"), login); }
    void showDispatched(LoginContext&, VqLogin& login, int type) override {
        note(QStringLiteral("dispatched:%1").arg(type), login);
    }
    void showSummary(LoginContext&, VqLogin& login, bool) override { note(QStringLiteral("summary"), login); }
    void showReconcile(LoginContext&, VqLogin& login, YrCommon&) override {
        note(QStringLiteral("reconcile"), login);
    }
    QStringList shown;

  private:
    void note(const QString& what, VqLogin& login) { shown << what + u'/' + login.UserId(); }
    QList<Window> m_built;
};

// Catches: an operator that cannot log in, a menu missing an entry, an entry whose
// window is not built left clickable, or an entry that opens another window (or
// the wrong business type) than its caption says.
TEST_P(ShellTest, EveryDemoOperatorLogsInAndTheEntriesOpenTheirWindows) {
    using W = WindowHost::Window;
    const QStringList expected = {QStringLiteral("期初余额(&O)"), QStringLiteral("分期收款发出商品期初(&F)"),
                                  QStringLiteral("委托代销发出商品期初(&W)"), QStringLiteral("期初汇总(&U)"),
                                  QStringLiteral("库存与存货期初对账(&C)")};
    for (const demo::DemoUser& user : m_demo.users) {
        SCOPED_TRACE(user.userId.toStdString());
        auto dialog = openDialog(user.userId);
        typePasswordAndEnter(*dialog, user.password);
        EXPECT_TRUE(m_sink.entries().isEmpty()) << m_sink.last().toStdString();
        ASSERT_EQ(dialog->result(), QDialog::Accepted);
        std::unique_ptr<VqLogin> login = dialog->takeLogin();
        ASSERT_NE(login, nullptr);
        EXPECT_EQ(login->UserId(), user.userId);
        const QString date = login->LoginDate().toString(QStringLiteral("yyyy-MM-dd"));

        // Nothing built: every entry greyed and saying so.
        NotingWindows none({});
        MainWindow bare(std::move(login), &none, &m_sink);
        bare.show();
        EXPECT_EQ(bare.windowTitle(), QStringLiteral("QCInput 存货核算 — 期初"));
        QStringList captions;
        for (int i = 0; i < expected.size(); ++i) {
            QAction* a = bare.entryAction(i);
            ASSERT_NE(a, nullptr);
            captions << a->text();
            EXPECT_FALSE(a->isEnabled());
            EXPECT_EQ(a->toolTip(), QStringLiteral("尚未提供"));
            ASSERT_NE(bare.entryButton(i), nullptr);
            EXPECT_FALSE(bare.entryButton(i)->isEnabled());
        }
        EXPECT_EQ(captions, expected);
        EXPECT_EQ(bare.entryAction(expected.size()), nullptr);
        const QString status = bare.statusText();
        for (const QString& part : {m_demo.accountId, QString::number(m_demo.year), user.userId, date})
            EXPECT_TRUE(status.contains(part)) << status.toStdString() << " lacks " << part.toStdString();

        // Everything built: each button runs its own entry for the logged-in operator.
        NotingWindows all({W::Opening, W::Dispatched, W::Summary, W::Reconcile});
        std::unique_ptr<VqLogin> again = VqLogin::login({conn(),
                                                         m_demo.accountId,
                                                         m_demo.year,
                                                         user.userId,
                                                         user.password,
                                                         QDate::fromString(date, Qt::ISODate),
                                                         {}},
                                                        nullptr);
        ASSERT_NE(again, nullptr);
        MainWindow full(std::move(again), &all, &m_sink);
        full.show();
        QApplication::setActiveWindow(&full);
        // Tab reaches every entry, each named for assistive technology.
        QSet<QWidget*> reached;
        full.entryButton(0)->setFocus();
        for (int i = 0; i < 2 * expected.size(); ++i) {
            reached << QApplication::focusWidget();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        for (int i = 0; i < expected.size(); ++i) {
            EXPECT_TRUE(reached.contains(full.entryButton(i))) << i;
            EXPECT_FALSE(QAccessible::queryAccessibleInterface(full.entryButton(i))
                             ->text(QAccessible::Name)
                             .isEmpty());
        }
        for (int i = 0; i < expected.size(); ++i) {
            EXPECT_TRUE(full.entryButton(i)->isEnabled());
            QTest::mouseClick(full.entryButton(i), Qt::LeftButton);
        }
        const QString who = u'/' + user.userId;
        EXPECT_EQ(all.shown,
                  QStringList({QStringLiteral("opening") + who, QStringLiteral("dispatched:0") + who,
                               QStringLiteral("dispatched:1") + who, QStringLiteral("summary") + who,
                               QStringLiteral("reconcile") + who}));
        EXPECT_TRUE(m_sink.entries().isEmpty()) << m_sink.last().toStdString();
    }
}

// Catches: a login date that ignores the start date of inventory accounting.
TEST_P(ShellTest, LoginDateDefaultsToTheStartOfInventoryAccounting) {
    const QDate start(m_demo.year, 3, 1);
    db().exec(QStringLiteral("UPDATE AccInformation SET cValue = ? WHERE cSysID = ? AND cName = ?"),
              {start.toString(Qt::ISODate), QStringLiteral("IA"), QStringLiteral("dIAStartDate")});
    auto dialog = openDialog(m_demo.users.first().userId);
    EXPECT_EQ(dialog->loginDateEdit()->date(), start);
    typePasswordAndEnter(*dialog, m_demo.users.first().password);
    ASSERT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->takeLogin()->LoginDate(), start);
}

// Catches: a login that opens a connection beside the one that listed the
// accounts, or a window whose host database object opens one beside its own; and
// a refused login that leaves the next one without a connection.
TEST_P(ShellTest, ALoginAndItsWindowHoldThreeConnections) {
    const auto open = [] { return QSqlDatabase::connectionNames().size(); };
    const qsizetype before = open();
    const demo::DemoUser& user = m_demo.users.first();
    LoginForm form;
    QString message;
    ASSERT_TRUE(form.loadDatabase(conn(), &message)) << message.toStdString();
    EXPECT_EQ(open(), before + 1);
    LoginRequest r{conn(), m_demo.accountId, m_demo.year, user.userId, user.password + u'x', {}, {}};
    r.loginDate = form.defaultLoginDate();
    EXPECT_EQ(form.login(r, &message, nullptr), nullptr);
    EXPECT_EQ(open(), before);
    r.password = user.password;
    std::unique_ptr<VqLogin> login = form.login(r, &message, nullptr);
    ASSERT_NE(login, nullptr) << message.toStdString();
    EXPECT_EQ(open(), before + 2);  // the host's and the task claims'
    ASSERT_TRUE(form.loadDatabase(conn(), &message));
    login = form.login(r, &message, nullptr);
    ASSERT_NE(login, nullptr) << message.toStdString();
    EXPECT_EQ(open(), before + 2);

    LoginContext ctx;
    ctx.sink = &m_sink;
    openContext(ctx, *login, false, ConnectionMode::Reconnect);
    EXPECT_EQ(open(), before + 3);
    closeContext(ctx);
    EXPECT_EQ(open(), before + 2);
}

QC_DB_SUITE(ShellTest);

// Catches: the login creating an empty SQLite file for a mistyped path (opening
// a SQLite database that is not there makes one).
TEST(LoginFormTest, AMissingDatabaseFileIsRefusedAndNotCreated) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("typo.db"));
    LoginForm form;
    QString error;
    EXPECT_FALSE(form.loadDatabase(path, &error));
    EXPECT_TRUE(error.contains(path));
    LoginRequest r{
        path, QStringLiteral("001"), 2026, QStringLiteral("demo"), QStringLiteral("x"), QDate(2026, 1, 1),
        {}};
    LoginForm::Field field = LoginForm::Field::Password;
    EXPECT_EQ(form.login(r, &error, &field), nullptr);
    EXPECT_EQ(field, LoginForm::Field::Database);
    EXPECT_FALSE(QFileInfo::exists(path));
}

}  // namespace
}  // namespace qc
