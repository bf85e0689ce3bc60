// The opening entry window driven by keys and clicks on the offscreen platform:
// the journeys of an accountant keying opening balances, each checked against
// the database afterwards, and the grid model under Qt's model checker.

#include "Typing.h"
#include "WindowDriving.h"
#include "demo/Demo.h"
#include "entry/clsQC.h"
#include "host/VqLogin.h"
#include "host/ui/ReferenceDialog.h"
#include "opening/ui/FrmQcInput.h"
#include "opening/ui/frmInitCon.h"
#include "platform/Decimal.h"
#include "session/LoginContext.h"
#include "shared/grid/GridModel.h"
#include "shared/ui/ConditionWidgets.h"
#include "shared/ui/EntryGridDelegate.h"
#include "shared/ui/QcToolbar.h"
#include "shared/ui/frmInitFind.h"
#include "support/TestDb.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

namespace Col = opening::Col;
using opening::FrmQcInput;

using test::ScriptedPickers;

class FrmQcInputTest : public test::DbTest {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        qputenv("QC_FAST_HASH", "1");
        qputenv("QC_SETTINGS_FILE", (folder() + u"/machine.ini"_s).toLocal8Bit());
        demo::createDemo(db());
    }
    void TearDown() override {
        window.reset();
        closeContext(ctx);
        login.reset();
        DbTest::TearDown();
    }

    void open(const QString& user = u"demo"_s, const QString& password = u"demo123"_s) {
        QString err;
        login = VqLogin::login({conn(), u"001"_s, 2026, user, password, QDate(2026, 1, 1), {}}, &err);
        ASSERT_TRUE(login) << err.toStdString();
        ctx.scratchFolder = folder();
        openContext(ctx, *login, false, ConnectionMode::Reconnect);
        window = std::make_unique<FrmQcInput>(ctx, pickers);
        ctx.sink = &sink;
        window->resize(1480, 720);
        window->show();
        QApplication::setActiveWindow(window.get());
        window->rowsView->setFocus();
        QApplication::processEvents();
    }

    QStringList warehouseCodes() const {
        QStringList codes;
        for (int i = 0; i < window->warehouseList->count(); ++i)
            codes << window->warehouseList->itemText(i).left(15).trimmed();
        return codes;
    }
    // Chooses a warehouse with the arrow keys, as the keyboard does in the list.
    void pickWarehouse(const QString& code) {
        const auto target = warehouseCodes().indexOf(code);
        ASSERT_GE(target, 0) << code.toStdString();
        window->warehouseList->setFocus();
        while (window->warehouseList->currentIndex() < target)
            QTest::keyClick(window->warehouseList, Qt::Key_Down);
        while (window->warehouseList->currentIndex() > target)
            QTest::keyClick(window->warehouseList, Qt::Key_Up);
        QApplication::processEvents();
        ASSERT_EQ(window->entry().CurrentWhCode, code);
        window->rowsView->setFocus();
        sink.clear();
    }

    static QWidget* focus() {
        QWidget* w = QApplication::focusWidget();
        return w ? w : nullptr;
    }
    // Keys to whatever has the focus, Chinese characters as an input method delivers them.
    void type(const QString& text) {
        for (const QChar c : text) {
            QWidget* w = focus();
            ASSERT_NE(w, nullptr);
            test::typeChar(w, c);
        }
    }
    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(focus(), k, m);
        QApplication::processEvents();
    }
    void ctrl(char letter) {
        QTest::keyClick(window->rowsView, letter, Qt::ControlModifier);
        QApplication::processEvents();
    }
    // A click on a cell (model row).
    void click(int row, int col) {
        const QModelIndex index = window->rowsView->cellIndex(row, col);
        window->rowsView->scrollTo(index);
        QTest::mouseClick(window->rowsView->viewport(), Qt::LeftButton, {},
                          window->rowsView->visualRect(index).center());
        QApplication::processEvents();
    }
    void typeInto(int row, int col, const QString& text) {
        click(row, col);
        type(text);
        key(Qt::Key_Return);
    }
    QString cell(int row, int col) { return window->model().index(row, col).data().toString(); }
    int currentRow() const { return window->rowsView->currentIndex().row(); }
    grid::GridModel& grid() { return window->entry().grid(); }
    // The colour the grid paints a cell with, read off the screen beside its text.
    QColor painted(const QModelIndex& index) {
        window->rowsView->scrollTo(index);
        QApplication::processEvents();
        const QRect r = window->rowsView->visualRect(index);
        return window->rowsView->viewport()->grab().toImage().pixelColor(r.right() - 3, r.top() + 3);
    }

    qint64 openingRows(const QString& wh) {
        return db()
            .scalar(
                u"SELECT COUNT(*) FROM IA_Subsidiary WHERE cWhCode = ? AND iMonth = 0 AND cVouType = '34'"_s,
                {wh})
            .toLongLong();
    }
    QVariant stored(const QString& autoId, const QString& field) {
        return db().scalar(u"SELECT %1 FROM IA_Subsidiary WHERE AutoID = ?"_s.arg(field),
                           {autoId.toLongLong()});
    }
    // The two lines of totalsLabel as numbers.
    std::pair<Decimal, Decimal> totals() {
        const QStringList lines = window->totalsLabel->text().split(u'\n');
        return {Decimal::fromText(lines.value(0).remove(u',')),
                Decimal::fromText(lines.value(1).remove(u','))};
    }
    static void onNextDialog(std::function<void(QWidget*)> answer) { test::onNextDialog(std::move(answer)); }
    void clickButton(const QString& key) {
        QTest::mouseClick(window->toolbar->toolButton(key), Qt::LeftButton);
        QApplication::processEvents();
    }

    static void save(const QImage& image, const QString& name) { test::saveShot(image, name); }
    // The window with a dialog drawn over its grid.
    QImage composed(QWidget& dialog) {
        return test::composedShot(*window, window->rowsView->geometry().center(), dialog);
    }

    LoginContext ctx;
    RecordingSink sink;
    ScriptedPickers pickers;
    std::unique_ptr<VqLogin> login;
    std::unique_ptr<FrmQcInput> window;
};

// Catches: the window not showing its captions and toolbar as laid down, the
// grid editable before a warehouse is chosen, rows not loaded on a choice, the
// totals row not last or not coloured, AUTOID shown, a clerk offered a
// warehouse outside his rights.
TEST_P(FrmQcInputTest, OpensEmptyAndLoadsTheChosenWarehouse) {
    open();
    EXPECT_EQ(window->windowTitle(), u"期初余额"_s);
    EXPECT_EQ(window->titleLabel->text(), u"期 初 余 额"_s);
    EXPECT_EQ(window->warehouseList->currentIndex(), -1);
    EXPECT_EQ(window->model().rowCount(), 0);
    QStringList keys;
    for (const ToolButton& b : window->entry().toolbar()) keys << b.key;
    EXPECT_EQ(window->toolbar->keys(), keys);
    EXPECT_FALSE(window->toolbar->buttonVisible(u"Save"_s));
    // No warehouse, no rows: nothing to print, preview or output.
    for (const auto& [key, said] : test::noDataMessages()) {
        sink.clear();
        clickButton(key);
        EXPECT_EQ(sink.texts(), QStringList{said}) << key.toStdString();
    }
    EXPECT_EQ(window->toolbar->buttonToolTip(u"Add"_s), u"增加(Ctrl+A)"_s);
    ctrl('a');
    EXPECT_EQ(window->model().rowCount(), 0) << "a row was added without a warehouse";

    pickWarehouse(u"02"_s);
    const int rows = window->model().rowCount();
    EXPECT_EQ(rows - 1, openingRows(u"02"_s));
    const QModelIndex totals = window->rowsView->cellIndex(rows - 1, Col::InvCode);
    EXPECT_EQ(totals.data().toString(), u"合计："_s);
    EXPECT_EQ(painted(totals), QColor(192, 255, 255));
    EXPECT_EQ(painted(window->rowsView->cellIndex(0, Col::InvName)), QColor(192, 255, 255));
    EXPECT_NE(painted(window->rowsView->cellIndex(0, Col::Quantity)), QColor(192, 255, 255));
    EXPECT_FALSE(window->model().index(rows - 1, Col::Quantity).flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(window->rowsView->isGridColumnHidden(Col::AutoId));
    EXPECT_EQ(window->model().headerData(Col::Quantity, Qt::Horizontal, Qt::DisplayRole).toString(),
              u"数量"_s);
    EXPECT_EQ(window->valuationLabel->text(), u"计价方式：先进先出法"_s);
    save(window->grab().toImage(), u"opening-rows.png"_s);

    window.reset();
    closeContext(ctx);
    ctx = LoginContext{};
    login.reset();
    open(u"clerk"_s, u"clerk123"_s);
    const QStringList codes = warehouseCodes();
    EXPECT_TRUE(codes.contains(u"01"_s));
    EXPECT_FALSE(codes.contains(u"05"_s));
    EXPECT_FALSE(codes.contains(u"07"_s));
}

// Catches: a name typed in 存货编码 not replaced by its code, amount or totals not
// following quantity and price, a row not stored when the cursor leaves it (or
// stored with the wrong month or type), AutoID not read back, an edit of a
// stored row inserting a second row instead of updating it.
TEST_P(FrmQcInputTest, KeyedRowIsStoredWhenLeftAndUpdatedWhenEdited) {
    open();
    pickWarehouse(u"07"_s);
    ASSERT_EQ(openingRows(u"07"_s), 0);
    ctrl('a');
    ASSERT_EQ(window->model().rowCount(), 2);
    EXPECT_EQ(window->rowsView->currentIndex(), window->rowsView->cellIndex(0, Col::InvCode));

    type(u"木箱"_s);
    EXPECT_TRUE(window->inEditMode());
    key(Qt::Key_Return);
    EXPECT_EQ(cell(0, Col::InvCode), u"4001"_s);
    EXPECT_EQ(cell(0, Col::InvName), u"木箱"_s);
    EXPECT_FALSE(window->inEditMode());

    typeInto(0, Col::Quantity, u"30"_s);
    typeInto(0, Col::UnitCost, u"255.5"_s);
    EXPECT_EQ(Decimal::fromText(cell(0, Col::Amount)), Decimal::fromText(u"7665"_s));
    EXPECT_EQ(totals(), std::make_pair(Decimal(30), Decimal::fromText(u"7665"_s)));
    EXPECT_EQ(openingRows(u"07"_s), 0) << "stored before the row was left";

    key(Qt::Key_Down);
    ASSERT_TRUE(sink.texts().isEmpty()) << sink.texts().join(u'|').toStdString();
    ASSERT_EQ(openingRows(u"07"_s), 1);
    const QString id = cell(0, Col::AutoId);
    ASSERT_FALSE(id.isEmpty());
    EXPECT_EQ(stored(id, u"cInvCode"_s).toString(), u"4001"_s);
    EXPECT_EQ(stored(id, u"iMonth"_s).toInt(), 0);
    EXPECT_EQ(stored(id, u"cVouType"_s).toString(), u"34"_s);
    EXPECT_EQ(Decimal::fromVariant(stored(id, u"iAInPrice"_s)), Decimal::fromText(u"7665"_s));

    typeInto(0, Col::Quantity, u"40"_s);
    click(1, Col::Quantity);  // the totals row: leaving the edited row
    EXPECT_EQ(openingRows(u"07"_s), 1);
    EXPECT_EQ(Decimal::fromVariant(stored(id, u"iAInQuantity"_s)), Decimal(40));
    EXPECT_EQ(Decimal::fromVariant(stored(id, u"iAInPrice"_s)), Decimal(10220));
    EXPECT_EQ(totals(), std::make_pair(Decimal(40), Decimal(10220)));
}

// Catches: a refused cell that closes its editor or lets the cursor go, a
// refused value written into the grid or the database, a refused row that lets
// the cursor leave or reaches the database.
TEST_P(FrmQcInputTest, RefusalsKeepTheCursorWhereTheFaultIs) {
    open();
    pickWarehouse(u"05"_s);
    const QString id = cell(0, Col::AutoId);
    const QString quantity = cell(0, Col::Quantity);
    typeInto(0, Col::Quantity, u"-5"_s);
    EXPECT_EQ(sink.last(), u"个别计价法不允许录入负数量！"_s);
    EXPECT_TRUE(window->inEditMode());
    EXPECT_EQ(window->rowsView->currentIndex(), window->rowsView->cellIndex(0, Col::Quantity));
    ASSERT_NE(window->rowsView->currentEditor(), nullptr);
    EXPECT_EQ(window->rowsView->currentEditor()->text(), u"-5"_s);
    EXPECT_EQ(cell(0, Col::Quantity), quantity);
    // A click elsewhere does not take the cursor out of the refused cell.
    sink.clear();
    click(1, Col::UnitCost);
    EXPECT_EQ(window->rowsView->currentIndex(), window->rowsView->cellIndex(0, Col::Quantity));
    EXPECT_EQ(sink.last(), u"个别计价法不允许录入负数量！"_s);
    {
        QMessageBox box(QMessageBox::Critical, u"存货核算"_s, sink.last(), QMessageBox::Ok, window.get());
        box.button(QMessageBox::Ok)->setText(u"确定"_s);
        save(composed(box), u"opening-refusal.png"_s);
    }
    key(Qt::Key_Escape);
    EXPECT_FALSE(window->inEditMode());
    EXPECT_EQ(cell(0, Col::Quantity), quantity);
    EXPECT_EQ(Decimal::fromVariant(stored(id, u"iAInQuantity"_s)), Decimal::fromText(quantity));

    // A row with neither quantity nor amount under FIFO stays where it is.
    pickWarehouse(u"07"_s);
    ctrl('a');
    type(u"4002"_s);
    key(Qt::Key_Return);
    ASSERT_EQ(cell(0, Col::InvCode), u"4002"_s);
    key(Qt::Key_Down);
    EXPECT_EQ(sink.last(), u"数量和金额不允许都为空或0"_s);
    EXPECT_EQ(currentRow(), 0);
    EXPECT_EQ(openingRows(u"07"_s), 0);
    typeInto(0, Col::Quantity, u"12"_s);
    sink.clear();
    key(Qt::Key_Down);
    EXPECT_TRUE(sink.texts().isEmpty());
    EXPECT_EQ(currentRow(), 1);
    EXPECT_EQ(openingRows(u"07"_s), 1);
}

// Catches: delete without asking, a cancelled delete that deletes, a grid row
// removed while its database row stays; the filter not narrowing the rows or a
// cancelled filter changing them; find not moving the cursor to the row.
TEST_P(FrmQcInputTest, DeleteFilterAndFind) {
    open();
    pickWarehouse(u"02"_s);
    const int rows = window->model().rowCount() - 1;
    ASSERT_GT(rows, 4);

    click(2, Col::InvCode);
    const QString id = cell(2, Col::AutoId);
    sink.script(MsgAnswer::Cancel);
    ctrl('d');
    EXPECT_EQ(sink.last(), u"确认删除吗？"_s);
    EXPECT_EQ(openingRows(u"02"_s), rows);
    sink.script(MsgAnswer::Ok);
    ctrl('d');
    EXPECT_EQ(openingRows(u"02"_s), rows - 1);
    EXPECT_FALSE(stored(id, u"AutoID"_s).isValid());
    EXPECT_EQ(window->model().rowCount() - 1, rows - 1);
    for (int r = 0; r < rows - 1; ++r) EXPECT_NE(cell(r, Col::AutoId), id);

    // Find by name in another case of letters than stored: the last row's code.
    const QString wanted = cell(rows - 2, Col::InvName);
    click(0, Col::InvCode);
    onNextDialog([&](QWidget* w) {
        auto* dlg = qobject_cast<frmInitFind*>(w);
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(dlg->windowTitle(), u"期初录入"_s);
        dlg->itemEdit->setText(wanted.toLower());
        QTest::mouseClick(dlg->okButton, Qt::LeftButton);
    });
    ctrl('f');
    EXPECT_EQ(cell(currentRow(), Col::InvName), wanted);

    const qint64 inRange = db().scalar(
                                   u"SELECT COUNT(*) FROM IA_Subsidiary WHERE cWhCode = '02' AND iMonth = 0 "
                                   "AND cInvCode >= '1101' AND cInvCode <= '1105'"_s)
                               .toLongLong();
    ASSERT_GT(inRange, 0);
    ASSERT_LT(inRange, rows - 1);
    onNextDialog([](QWidget* w) {
        auto* dlg = qobject_cast<frmInitCon*>(w);
        ASSERT_NE(dlg, nullptr);
        dlg->widgets().itemFromEdit->setText(u"1101"_s);
        dlg->fields().itemFrom.tag = u"1101"_s;
        dlg->widgets().itemToEdit->setText(u"1105"_s);
        dlg->fields().itemTo.tag = u"1105"_s;
        QTest::mouseClick(dlg->widgets().showButton, Qt::LeftButton);
    });
    clickButton(u"Query"_s);
    ASSERT_EQ(window->model().rowCount() - 1, inRange);
    for (int r = 0; r < inRange; ++r) {
        EXPECT_GE(cell(r, Col::InvCode), u"1101"_s);
        EXPECT_LE(cell(r, Col::InvCode), u"1105"_s);
    }
    onNextDialog([](QWidget* w) {
        auto* dlg = qobject_cast<frmInitCon*>(w);
        ASSERT_NE(dlg, nullptr);
        QTest::mouseClick(dlg->widgets().cancelButton, Qt::LeftButton);
    });
    clickButton(u"Query"_s);
    EXPECT_EQ(window->model().rowCount() - 1, inRange);
}

// Catches: F2 not opening the reference of the cell, the pick window not given
// the typed text, a pick not filling the row through the inventory rule.
TEST_P(FrmQcInputTest, ReferenceOfTheCodeCellFillsTheRow) {
    open();
    pickWarehouse(u"07"_s);
    ctrl('a');
    type(u"纸"_s);
    pickers.pick = u"4002"_s;
    key(Qt::Key_F2);
    ASSERT_TRUE(pickers.lastQuery.has_value());
    EXPECT_TRUE(pickers.lastQuery->list.binds.contains(QVariant(u"%纸%"_s)));
    EXPECT_EQ(cell(0, Col::InvCode), u"4002"_s);
    EXPECT_EQ(cell(0, Col::InvName), u"五层纸箱"_s);
    EXPECT_FALSE(window->inEditMode());
    EXPECT_TRUE(window->editedRows().contains(0));

    ReferenceDialog ref(db(), *pickers.lastQuery, window.get());
    save(composed(ref), u"opening-reference.png"_s);
}

QC_DB_SUITE(FrmQcInputTest);

// Catches: a model whose begin/end notifications disagree with its row count
// (rows appended before the totals row, removed, the last one taking the totals
// row with it, sorted), and totals that drift from the rows as cells change.
TEST(GridModelTest, RowsAndTotalsStayConsistent) {
    grid::GridModel model(opening::openingColumns());
    model.setTotalsCaption(Col::InvCode, u"合计："_s);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    auto row = [](const QString& code, const QString& qty) {
        QStringList r;
        for (int c = 0; c < Col::Count; ++c) r << QString();
        r[Col::InvCode] = code;
        r[Col::Quantity] = qty;
        return r;
    };
    const auto total = [&] { return model.index(model.totalsRow(), Col::Quantity).data().toString(); };
    model.setDataRows({row(u"A"_s, u"1.5"_s), row(u"B"_s, u"2"_s)});
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.totalsRow(), 2);
    EXPECT_EQ(total(), u"3.5"_s);
    EXPECT_EQ(model.index(2, Col::InvCode).data().toString(), u"合计："_s);
    EXPECT_EQ(model.index(2, Col::PlanAmount).data().toString(), QString());  // no row has one
    EXPECT_EQ(model.addEmptyRow(), 2);
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.insertDataRows({row(u"C"_s, u"1,000"_s), row(u"D"_s, u"x"_s)}), 3);
    EXPECT_EQ(model.index(4, Col::InvCode).data().toString(), u"D"_s);
    EXPECT_EQ(total(), u"1003.5"_s);
    model.setText(0, Col::Quantity, u"-0.5"_s);
    model.setText(2, Col::PlanAmount, u"7"_s);
    EXPECT_EQ(total(), u"1001.5"_s);
    EXPECT_EQ(model.index(model.totalsRow(), Col::PlanAmount).data().toString(), u"7"_s);
    EXPECT_EQ(model.index(0, Col::Quantity).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
              int(Qt::AlignRight));
    EXPECT_TRUE(model.index(0, Col::InvName).data(grid::GridModel::DictionaryRole).toBool());
    EXPECT_FALSE(model.flags(model.index(0, Col::InvName)) & Qt::ItemIsEditable);
    EXPECT_TRUE(model.flags(model.index(0, Col::Quantity)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model.flags(model.index(model.totalsRow(), Col::Quantity)) & Qt::ItemIsEditable);
    model.sortBy(Col::InvCode, false);
    EXPECT_EQ(model.index(0, Col::InvCode).data().toString(), u"D"_s);
    while (model.dataRowCount() > 1) model.removeDataRow(0);
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.index(0, Col::InvCode).data().toString(), QString());  // the empty row sorts last
    EXPECT_EQ(total(), u"0"_s);
    model.removeDataRow(0);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.total(Col::Quantity).toPlainString(), u"0"_s);
    model.addEmptyRow();
    EXPECT_EQ(model.rowCount(), 2);
    model.setReadOnly(true);
    EXPECT_FALSE(model.flags(model.index(0, Col::Quantity)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model.setData(model.index(0, Col::Quantity), u"5"_s, Qt::EditRole));
}

}  // namespace
}  // namespace qc
