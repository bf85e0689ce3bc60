// 操作日志 as the administrator reads it: the events of what was just done in the
// entry window, a filter by operation, the chosen event's values before and after
// side by side; an operator without the right is refused.

#include "EntryWindowFixture.h"
#include "WindowDriving.h"
#include "dispatched/DispatchedColumns.h"
#include "opening/FetchStock.h"
#include "opening/OpeningColumns.h"
#include "shared/grid/GridModel.h"
#include "shared/ui/FrmAuditLog.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTableView>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

class AuditLogWindowTest : public test::EntryWindowFixture {
  protected:
    static TrailCaptions captions() {
        return {opening::captionsByStoredColumn(), dispatched::captionsByStoredColumn()};
    }
};

// Catches: a change made in the grid missing from the window or shown without
// its old and new values (or under the database's column names), a filter that
// lets other operations through, a row's history that misses its events or
// shows another row's, a take-over whose replaced rows the window does not
// point to, a bad date or row number taken as none, and the trail shown to an
// operator without the right.
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
    FrmAuditLog log(ctx, pickers, captions());
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
    // The newest event is chosen: its values side by side, under the grid's captions.
    const QString quantity = opening::openingColumns().at(opening::Col::Quantity).caption;
    const QStringList was = log.beforeView->toPlainText().split(u'\n');
    EXPECT_TRUE(std::any_of(was.begin(), was.end(), [&](const QString& l) {
        return l.startsWith(quantity + u"："_s);
    })) << log.beforeView->toPlainText().toStdString();
    // The amount changed with the quantity: shown as the grid names it too.
    EXPECT_TRUE(was.filter(QRegularExpression(u"^[A-Za-z]"_s)).isEmpty()) << was.join(u' ').toStdString();
    EXPECT_TRUE(log.afterView->toPlainText().split(u'\n').contains(quantity + u"：41"_s))
        << log.afterView->toPlainText().toStdString();
    EXPECT_FALSE(log.beforeView->toPlainText().contains(quantity + u"：41"_s));
    test::saveShot(log.grab().toImage(), u"audit-log.png"_s);

    // The row's history: its change, and nothing of any other row.
    const QString rowId = rows.text(0, 8);
    log.runCommand(u"History"_s);
    EXPECT_EQ(log.rowIdEdit->text(), rowId);
    EXPECT_EQ(log.operationCombo->currentIndex(), 0);
    ASSERT_GE(rows.dataRowCount(), 1);
    for (int r = 0; r < rows.dataRowCount(); ++r) EXPECT_EQ(rows.text(r, 8), rowId);
    // A take-over with overwrite: the window says where the rows it replaced are.
    const qint64 replaced =
        db().scalar(u"SELECT COUNT(*) FROM IA_Subsidiary WHERE cWhCode = '02' AND iMonth = 0"_s).toLongLong();
    ASSERT_TRUE(opening::FetchOpenings(ctx, u"02"_s, true)) << sink.last().toStdString();
    log.rowIdEdit->clear();
    log.operationCombo->setCurrentText(u"取数"_s);
    log.runCommand(u"seek"_s);
    ASSERT_EQ(rows.dataRowCount(), 1);
    EXPECT_TRUE(
        log.beforeView->toPlainText().contains(u"删除的 %1 行原样保存在 IA_AuditSubsidiary"_s.arg(replaced)))
        << log.beforeView->toPlainText().toStdString();
    sink.clear();
    log.runCommand(u"History"_s);
    EXPECT_EQ(sink.texts(), QStringList{u"请先选中一个期初行或发出商品行的事件！"_s});
    log.rowIdEdit->setText(u"-3"_s);
    sink.clear();
    log.runCommand(u"seek"_s);
    EXPECT_EQ(sink.texts(), QStringList{u"行号须为正整数：-3"_s});
    log.rowIdEdit->clear();
    log.operationCombo->setCurrentText(u"修改期初行"_s);

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
    runAuditLog(ctx, pickers, captions(), frm.get());
    EXPECT_EQ(sink.texts(), QStringList{u"您没有这个权限！"_s});
}

QC_DB_SUITE(AuditLogWindowTest);

}  // namespace
}  // namespace qc
