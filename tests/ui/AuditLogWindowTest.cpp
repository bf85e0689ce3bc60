// 操作日志 as the administrator reads it: the events of what was just done in the
// entry window, a filter by operation, the chosen event's values before and after
// side by side; an operator without the right is refused.

#include "EntryWindowFixture.h"
#include "WindowDriving.h"
#include "opening/OpeningColumns.h"
#include "shared/grid/GridModel.h"
#include "shared/ui/FrmAuditLog.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

class AuditLogWindowTest : public test::EntryWindowFixture {};

// Catches: a change made in the grid missing from the window or shown without
// its old and new values, a filter that lets other operations through, a bad
// date taken as no date, and the trail shown to an operator without the right.
TEST_P(AuditLogWindowTest, TheAdministratorSeesWhatChangedAndTheClerkIsRefused) {
    openWindow();
    chooseWarehouse(u"02"_s);
    // One stored row changed: its quantity from what it was to 41.
    opening::OpeningEntry& opened = frm->entry();
    QString value = u"41"_s;
    bool cancel = false;
    opened.ValidateCell(value, cancel, 0, opening::Col::Quantity);
    ASSERT_FALSE(cancel) << sink.last().toStdString();
    opened.grid().setText(0, opening::Col::Quantity, value);
    opened.ValidateAndStoreRow(cancel, 0);
    ASSERT_FALSE(cancel) << sink.last().toStdString();

    sink.clear();
    FrmAuditLog log(ctx, pickers);
    log.setMessageSink(sink);
    log.show();
    QApplication::processEvents();
    grid::GridModel& rows = log.model();
    ASSERT_GT(rows.dataRowCount(), 0);
    log.operationCombo->setCurrentText(u"修改期初行"_s);
    log.runCommand(u"seek"_s);
    ASSERT_EQ(rows.dataRowCount(), 1) << sink.texts().join(u' ').toStdString();
    EXPECT_EQ(rows.text(0, 4), u"修改期初行"_s);
    EXPECT_EQ(rows.text(0, 1), u"demo"_s);
    EXPECT_EQ(rows.text(0, 5), u"02"_s);
    // The newest event is chosen: its values side by side.
    EXPECT_TRUE(log.beforeView->toPlainText().contains(u"iAInQuantity"_s))
        << log.beforeView->toPlainText().toStdString();
    EXPECT_TRUE(log.afterView->toPlainText().split(u'\n').contains(u"iAInQuantity：41"_s))
        << log.afterView->toPlainText().toStdString();
    EXPECT_FALSE(log.beforeView->toPlainText().contains(u"iAInQuantity：41"_s));
    test::saveShot(log.grab().toImage(), u"audit-log.png"_s);

    log.sinceEdit->setText(u"2026-02-30"_s);
    sink.clear();
    log.runCommand(u"seek"_s);
    EXPECT_EQ(sink.texts(), QStringList{u"日期须为 yyyy-MM-dd 格式：2026-02-30"_s});
    EXPECT_EQ(rows.dataRowCount(), 1);
    log.close();

    frm.reset();
    close();
    openWindow(u"clerk"_s, u"clerk123"_s);
    sink.clear();
    runAuditLog(ctx, pickers, frm.get());
    EXPECT_EQ(sink.texts(), QStringList{u"您没有这个权限！"_s});
}

QC_DB_SUITE(AuditLogWindowTest);

}  // namespace
}  // namespace qc
