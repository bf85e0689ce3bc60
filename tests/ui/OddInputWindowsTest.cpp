// The odd-input list typed into the windows themselves, box by box, as a user
// pastes it: the entry window's 存货分类 box, the condition dialogs of the
// openings, the dispatched goods, the summary and the reconciliation, the find
// dialog, the reference window's search box, the 操作日志 filters and the login
// fields. Each box is left with Tab and the window's OK (or Enter) pressed. Nothing
// crashes or hangs, whatever the window says is said in Chinese, and the account
// is as it was: none of these windows writes the account.

#include "EntryWindowFixture.h"
#include "LoginDialog.h"
#include "dispatched/DispatchedColumns.h"
#include "dispatched/ui/frmQcFcspCon.h"
#include "host/ui/ReferenceDialog.h"
#include "opening/OpeningColumns.h"
#include "opening/ui/frmInitCon.h"
#include "reconcile/Reconciliation.h"
#include "reconcile/ui/frmCompareKcCon.h"
#include "shared/Reference.h"
#include "shared/ui/ConditionWidgets.h"
#include "shared/ui/FrmAuditLog.h"
#include "shared/ui/frmInitFind.h"
#include "summary/ui/FrmQcSumCon.h"
#include "support/DatabaseDump.h"
#include "support/OddInputs.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

class OddInputWindowsTest : public test::EntryWindowFixture {
  protected:
    // What the account holds, without the claims of running work, the login
    // throttle and the trail (a refused right is an event of its own).
    test::DatabaseDump account() {
        return test::dumpDatabase(
            db(), QStringList{u"qc_task"_s, u"qc_counter"_s, u"qc_login_fail"_s} + test::kTrailTables);
    }
    // The boxes of a window a user can type into.
    static QList<QLineEdit*> boxesOf(QWidget& shown) {
        QList<QLineEdit*> boxes;
        for (QLineEdit* box : shown.findChildren<QLineEdit*>())
            if (box->isVisibleTo(&shown) && box->isEnabled() && !box->isReadOnly()) boxes << box;
        return boxes;
    }
    // Pastes each odd text into each box in turn (the others as they were),
    // leaves the box with Tab and lets `commit` do what the window's OK does.
    void sweep(QWidget& shown, const QList<QLineEdit*>& boxes, const std::function<void()>& commit) {
        ASSERT_FALSE(boxes.isEmpty()) << shown.objectName().toStdString();
        for (QLineEdit* box : boxes) {
            const QString original = box->text();
            for (const QString& text : test::oddInputs()) {
                if (!shown.isVisible()) shown.show();
                QApplication::setActiveWindow(&shown);
                box->setFocus();
                box->selectAll();
                box->insert(text);
                QTest::keyClick(box, Qt::Key_Tab);
                commit();
                QApplication::processEvents();
                ++tried;
                said += static_cast<int>(sink.texts().size());
                for (const QString& message : sink.texts())
                    EXPECT_TRUE(test::isClearMessage(message, text))
                        << box->objectName().toStdString() << " " << test::describeInput(text) << ": said "
                        << message.toStdString();
                sink.clear();
                box->setText(original);
            }
        }
    }
    int tried = 0, said = 0;
};

// Catches: a box whose text reaches a statement unbound or unescaped (quotes,
// pattern characters, NUL), a check that throws out of the event loop or shows
// the database's own English, a search that hangs on a long or invisible text,
// and a dialog that writes the account when it should only read it.
TEST_P(OddInputWindowsTest, EveryBoxOfEveryWindowTakesAnyText) {
    openWindow();
    chooseWarehouse(u"02"_s);
    const test::DatabaseDump before = account();

    // The entry window's 存货分类 box: Enter applies it.
    sweep(*frm, {frm->itemClassEdit}, [&] {
        frm->itemClassEdit->setFocus();
        QTest::keyClick(frm->itemClassEdit, Qt::Key_Return);
    });

    frmInitCon filter(ctx, pickers);
    sweep(filter, boxesOf(filter), [&] { filter.widgets().showButton->click(); });
    frmInitFind find(ctx, pickers);
    sweep(find, boxesOf(find), [&] { find.okButton->click(); });
    dispatched::frmQcFcspCon dispatched(ctx, pickers);
    sweep(dispatched, boxesOf(dispatched), [&] { dispatched.widgets().showButton->click(); });
    summary::FrmQcSumCon summaryConditions(ctx, pickers, summary::SummaryKind::Opening);
    sweep(summaryConditions, boxesOf(summaryConditions),
          [&] { summaryConditions.widgets().showButton->click(); });
    reconcile::Reconciliation reconciliation(ctx);
    reconcile::frmCompareKcCon reconcileConditions(ctx, pickers, reconciliation);
    sweep(reconcileConditions, boxesOf(reconcileConditions),
          [&] { reconcileConditions.widgets().showButton->click(); });

    // The reference window: the search box narrows the list as it is typed;
    // Enter picks what is left, if anything.
    const std::optional<ReferenceQuery> items = BuildReferenceQuery(ctx, kRefInventory, {}, {});
    ASSERT_TRUE(items);
    ReferenceDialog reference(ctx.gDb->Connection(), *items);
    sweep(reference, {reference.searchBox()}, [&] {
        reference.searchBox()->setFocus();
        QTest::keyClick(reference.searchBox(), Qt::Key_Return);
    });

    FrmAuditLog log(ctx, pickers,
                    TrailCaptions{opening::captionsByStoredColumn(), dispatched::captionsByStoredColumn()});
    log.setMessageSink(sink);
    sweep(log,
          {log.sinceEdit, log.untilEdit, log.operatorEdit, log.warehouseEdit, log.itemEdit, log.rowIdEdit},
          [&] { log.runCommand(u"seek"_s); });

    // The login: each field with the others right; OK tries it.
    auto loginDialog = std::make_unique<LoginDialog>(&sink);
    loginDialog->setConnectionString(conn());
    loginDialog->setOperator(u"demo"_s);
    loginDialog->setPassword(u"demo123"_s);
    sweep(*loginDialog, {loginDialog->operatorEdit(), loginDialog->passwordEdit()}, [&] {
        loginDialog->okButton()->click();
        // An odd text that logged in (none should) is not left open.
        EXPECT_FALSE(loginDialog->takeLogin()) << loginDialog->operatorEdit()->text().toStdString() << " / "
                                               << loginDialog->passwordEdit()->text().toStdString();
    });
    sweep(*loginDialog, {loginDialog->databaseEdit()}, [&] { loginDialog->okButton()->click(); });
    // Closed while a database just typed (one that holds accounts) still has the
    // focus: the box losing it as the dialog goes must not reach the dialog's
    // parts already gone.
    loginDialog->show();
    QApplication::setActiveWindow(loginDialog.get());
    loginDialog->databaseEdit()->setFocus();
    loginDialog->databaseEdit()->selectAll();
    loginDialog->databaseEdit()->insert(u"x"_s);
    QTest::keyClick(loginDialog->databaseEdit(), Qt::Key_Backspace);
    loginDialog->databaseEdit()->insert(conn());
    loginDialog.reset();

    EXPECT_EQ(test::dumpDifference(before, account()), QString());
    RecordProperty("inputs", tried);
    RecordProperty("messages", said);
}

QC_DB_SUITE(OddInputWindowsTest);

}  // namespace
}  // namespace qc
