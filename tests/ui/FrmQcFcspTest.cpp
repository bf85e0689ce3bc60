// The dispatched-goods window driven by keys and clicks on the offscreen
// platform, on the demo account: the accountant's journey from 取数 to 清空, each
// step checked against the database, and the clerk who sees only his part.

#include "Typing.h"
#include "WindowDriving.h"
#include "demo/Demo.h"
#include "dispatched/DispatchedColumns.h"
#include "dispatched/ui/FrmQcFcsp.h"
#include "dispatched/ui/frmQcFcspCon.h"
#include "entry/clsQC.h"
#include "host/VqLogin.h"
#include "platform/Decimal.h"
#include "session/LoginContext.h"
#include "shared/grid/GridModel.h"
#include "shared/ui/ConditionWidgets.h"
#include "shared/ui/EntryGridView.h"
#include "shared/ui/QcToolbar.h"
#include "summary/ui/FrmQcSumCon.h"
#include "summary/ui/FrmQcSumInfo.h"
#include "support/TestDb.h"

#include <QAccessible>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace qc {
namespace {

namespace C = dispatched::DCol;
using dispatched::BusinessType;
using dispatched::FrmQcFcsp;

class FrmQcFcspTest : public test::DbTest {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        qputenv("QC_FAST_HASH", "1");
        qputenv("QC_SETTINGS_FILE", (folder() + u"/machine.ini"_s).toLocal8Bit());
        demo::createDemo(db());
    }
    void TearDown() override {
        close();
        DbTest::TearDown();
    }
    void close() {
        window.reset();
        closeContext(ctx);
        ctx = LoginContext{};
        login.reset();
    }
    void open(const QString& user = u"demo"_s, const QString& password = u"demo123"_s,
              BusinessType type = BusinessType::Instalment) {
        close();
        QString err;
        login = VqLogin::login({conn(), u"001"_s, 2026, user, password, QDate(2026, 1, 1), {}}, &err);
        ASSERT_TRUE(login) << err.toStdString();
        ctx.scratchFolder = folder();
        openContext(ctx, *login, false, ConnectionMode::Reconnect);
        window = std::make_unique<FrmQcFcsp>(ctx, pickers, type);
        ctx.sink = &sink;
        window->resize(1480, 640);
        window->show();
        QApplication::setActiveWindow(window.get());
        QApplication::processEvents();
    }
    void clickButton(const QString& key, std::optional<MsgAnswer> answer = {}) {
        sink.clear();
        if (answer) sink.script(*answer);
        QToolButton* button = window->toolbar->toolButton(key);
        ASSERT_TRUE(button && button->isEnabled()) << key.toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
        QApplication::processEvents();
    }
    // 查询: `fill` sets the dialog's boxes, then 确定.
    void seek(const std::function<void(dispatched::frmQcFcspCon*)>& fill) {
        test::onNextDialog([fill](QWidget* dlg) {
            auto* con = qobject_cast<dispatched::frmQcFcspCon*>(dlg);
            ASSERT_NE(con, nullptr);
            QApplication::setActiveWindow(con);
            fill(con);
            QTest::mouseClick(con->widgets().showButton, Qt::LeftButton);
            if (con->isVisible()) con->reject();  // refused: the test goes on to fail, not hang
        });
        clickButton(u"Seek"_s);
        QApplication::setActiveWindow(window.get());  // back from the dialog, as the window manager does
        QApplication::processEvents();
    }
    static void typeInto(QLineEdit* box, const QString& text) {
        box->setFocus();
        for (const QChar c : text) test::typeChar(box, c);
    }
    void typeIntoCell(int row, int col, const QString& text) {
        sink.clear();
        const QModelIndex index = window->rowsView->cellIndex(row, col);
        window->rowsView->scrollTo(index);
        QTest::mouseClick(window->rowsView->viewport(), Qt::LeftButton, {},
                          window->rowsView->visualRect(index).center());
        for (const QChar c : text) test::typeChar(QApplication::focusWidget(), c);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QApplication::processEvents();
    }
    QString cell(int row, int col) { return window->model().text(row, col); }
    Decimal storedNumber(int row, const char* field) {
        return Decimal::fromVariant(
            db().scalar(u"SELECT %1 FROM IA_EnSubsidiary WHERE AutoID = ?"_s.arg(QString::fromLatin1(field)),
                        {cell(row, C::AutoId).toLongLong()}));
    }
    qint64 count(const QString& sql, const QVariantList& binds = {}) {
        return db().scalar(sql, binds).toLongLong();
    }

    LoginContext ctx;
    RecordingSink sink;
    test::ScriptedPickers pickers;
    std::unique_ptr<VqLogin> login;
    std::unique_ptr<FrmQcFcsp> window;
};

// Catches: the window without 汇总 or 取数, 取数 without rows being
// written, a fetch that reloads or a query that ignores the customer class, an
// edited figure not recomputing its row or not stored at once (or stored when
// refused), the subject reference not writing the cell, and 清空 deleting on 否
// or keeping rows on 是.
TEST_P(FrmQcFcspTest, FromFetchToClearAsTheAccountantWorks) {
    open();
    EXPECT_EQ(window->windowTitle(), u"分期收款发出商品期初"_s);
    EXPECT_EQ(window->titleLabel->text(), u"分期收款发出商品期初"_s);
    EXPECT_TRUE(window->toolbar->buttonEnabled(u"Getcount"_s));
    EXPECT_TRUE(window->toolbar->buttonEnabled(u"Clear"_s));
    EXPECT_TRUE(window->toolbar->buttonEnabled(u"Sum"_s));
    EXPECT_EQ(window->sortColumnList->itemText(0), u"发货单号"_s);
    EXPECT_EQ(window->model().dataRowCount(), 0);

    for (const auto& [key, said] : test::noDataMessages()) {
        sink.clear();
        clickButton(key);
        EXPECT_EQ(sink.texts(), QStringList{said}) << key.toStdString();
    }

    clickButton(u"Getcount"_s);
    EXPECT_EQ(sink.texts(), QStringList{u"取数完毕！"_s});
    const qint64 fetched =
        count(u"SELECT COUNT(*) FROM IA_EnSubsidiary WHERE cBusType = '分期收款' AND iMonth = 0"_s);
    EXPECT_GT(fetched, 0);
    EXPECT_EQ(window->model().dataRowCount(), 0);  // the user queries

    // Customer class 01 without an inventory class: its customers' rows only.
    seek([](dispatched::frmQcFcspCon* con) {
        typeInto(con->customerClassEdit, u"01"_s);
        con->customerFromEdit->setFocus();  // leaving the class box checks it
        QApplication::processEvents();
    });
    const qint64 ofClass = count(
        u"SELECT COUNT(*) FROM IA_EnSubsidiary JOIN Customer ON Customer.cCusCode = IA_EnSubsidiary.cCusCode "
        "WHERE cBusType = '分期收款' AND Customer.cCCCode LIKE '01%'"_s);
    ASSERT_GT(ofClass, 0);
    ASSERT_LT(ofClass, fetched);
    ASSERT_EQ(window->model().dataRowCount(), ofClass) << sink.texts().join(u'\n').toStdString();

    // 发货金额 decides the unit price and what is not yet settled; both stored.
    const Decimal quantity = Decimal::fromText(cell(0, C::OutQuantity));
    const Decimal settled = Decimal::fromText(cell(0, C::SettledQuantity));
    ASSERT_FALSE(quantity.isZero());
    typeIntoCell(0, C::OutAmount, u"1200"_s);
    EXPECT_TRUE(sink.texts().isEmpty()) << sink.texts().join(u'\n').toStdString();
    const Decimal price = (Decimal(1200) / quantity).round(2);
    EXPECT_EQ(cell(0, C::OutAmount), u"1200.00"_s);
    EXPECT_EQ(Decimal::fromText(cell(0, C::UnitPrice)), price);
    EXPECT_EQ(Decimal::fromText(cell(0, C::OpenAmount)), Decimal(1200) - (price * settled).round(2));
    EXPECT_EQ(storedNumber(0, "iAOutPrice"), Decimal(1200));
    EXPECT_EQ(storedNumber(0, "iInCost"), price);
    EXPECT_EQ(storedNumber(0, "iAInPrice"), Decimal::fromText(cell(0, C::OpenAmount)));

    // A negative amount is refused with its message; nothing changes.
    typeIntoCell(0, C::OutAmount, u"-5"_s);
    EXPECT_EQ(sink.texts(), QStringList{u"单价为负数,输入非法！"_s});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_EQ(storedNumber(0, "iAOutPrice"), Decimal(1200));
    EXPECT_EQ(cell(0, C::OutAmount), u"1200.00"_s);

    // F2 in the subject cell picks a subject: code and name shown, code stored.
    pickers.pick = u"140601"_s;
    window->rowsView->setCurrentIndex(window->rowsView->cellIndex(0, C::OutHead));
    window->rowsView->setFocus();
    QTest::keyClick(window->rowsView, Qt::Key_F2);
    QApplication::processEvents();
    EXPECT_EQ(cell(0, C::OutHead), u"140601"_s);
    EXPECT_EQ(cell(0, C::OutHeadName), u"分期收款发出商品"_s);
    EXPECT_EQ(db().scalar(u"SELECT cOutHead FROM IA_EnSubsidiary WHERE AutoID = ?"_s,
                          {cell(0, C::AutoId).toLongLong()})
                  .toString(),
              u"140601"_s);
    test::saveShot(window->grab().toImage(), u"dispatched-rows.png"_s);
    ASSERT_TRUE(pickers.lastQuery);
    EXPECT_EQ(pickers.lastQuery->table, u"code"_s);
    EXPECT_FALSE(pickers.listed.contains(u"1406"_s));  // end-level subjects only

    // 降序 by 发货数量 puts the largest first.
    window->sortColumnList->setCurrentText(u"发货数量"_s);
    clickButton(u"ROrder"_s);
    for (int r = 1; r < window->model().dataRowCount(); ++r)
        EXPECT_GE(Decimal::fromText(cell(r - 1, C::OutQuantity)), Decimal::fromText(cell(r, C::OutQuantity)));

    // 输出 writes the rows as shown.
    QTemporaryDir out;
    pickers.saveAnswer = out.filePath(u"dispatched.csv"_s);
    clickButton(u"OutPut"_s);
    QFile csv(*pickers.saveAnswer);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly)) << sink.texts().join(u' ').toStdString();
    const QStringList csvLines = QString::fromUtf8(csv.readAll().mid(3)).split(u"\r\n"_s, Qt::SkipEmptyParts);
    EXPECT_EQ(csvLines.size(), ofClass + 1);
    EXPECT_TRUE(csvLines.first().startsWith(u"发货单号,发货日期,存货编码"_s));
    // And to XLSX and to the printed pages: every row, the first code in both.
    pickers.saveAnswer = out.filePath(u"dispatched.xlsx"_s);
    clickButton(u"OutPut"_s);
    EXPECT_TRUE(test::unzipped(*pickers.saveAnswer, u"xl/worksheets/sheet1.xml"_s)
                    .contains(u"<row r=\"%1\""_s.arg(ofClass + 1)));
    EXPECT_TRUE(test::unzipped(*pickers.saveAnswer, u"xl/worksheets/sheet1.xml"_s)
                    .contains(u"<t>%1</t>"_s.arg(cell(0, C::InvCode))));
    pickers.saveAnswer = out.filePath(u"dispatched.pdf"_s);
    clickButton(u"OutPut"_s);
    const QString pages = test::pdfText(*pickers.saveAnswer);
    EXPECT_TRUE(test::pdfHolds(pages, window->windowTitle())) << pages.left(600).toStdString();
    EXPECT_TRUE(pages.contains(cell(0, C::InvCode)));

    clickButton(u"Clear"_s, MsgAnswer::No);
    EXPECT_EQ(sink.texts(), QStringList{u"此操作将删除所有期初分期收款数据，是否继续？"_s});
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM IA_EnSubsidiary WHERE cBusType = '分期收款'"_s), fetched);
    EXPECT_EQ(window->model().dataRowCount(), ofClass);
    clickButton(u"Clear"_s, MsgAnswer::Yes);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM IA_EnSubsidiary WHERE cBusType = '分期收款'"_s), 0);
    EXPECT_EQ(window->model().dataRowCount(), 0);
    EXPECT_EQ(window->rowCountLabel->text(), u"共 0 行"_s);
}

// Catches: the clerk offered warehouses outside his rights in the query, shown
// rows of them, or let change a row of a warehouse he may only read.
TEST_P(FrmQcFcspTest, TheClerkSeesAndChangesOnlyWhatHisRightsAllow) {
    open();
    clickButton(u"Getcount"_s);
    open(u"clerk"_s, u"clerk123"_s);
    QStringList offered;
    seek([&offered](dispatched::frmQcFcspCon* con) {
        QListWidget* list = con->widgets().warehouseList;
        for (int i = 0; i < list->count(); ++i) offered << list->item(i)->data(Qt::UserRole).toString();
        test::saveShot(test::composedShot(*con->parentWidget(), con->parentWidget()->rect().center(), *con),
                       u"dispatched-query.png"_s);
    });
    EXPECT_EQ(offered, (QStringList{u"01"_s, u"02"_s, u"03"_s}));
    const qint64 visible = count(
        u"SELECT COUNT(*) FROM IA_EnSubsidiary WHERE cBusType = '分期收款' AND cWhCode IN ('01', '02', '03')"_s);
    ASSERT_GT(visible, 0);
    ASSERT_LT(visible, count(u"SELECT COUNT(*) FROM IA_EnSubsidiary WHERE cBusType = '分期收款'"_s));
    ASSERT_EQ(window->model().dataRowCount(), visible);

    // Warehouse 03 is the clerk's to read only.
    int row03 = -1;
    for (int r = 0; r < window->model().dataRowCount() && row03 < 0; ++r)
        if (db().scalar(u"SELECT cWhCode FROM IA_EnSubsidiary WHERE AutoID = ?"_s,
                        {cell(r, C::AutoId).toLongLong()})
                .toString() == u"03"_s)
            row03 = r;
    ASSERT_GE(row03, 0);
    const Decimal before = storedNumber(row03, "iAOutPrice");
    typeIntoCell(row03, C::OutAmount, u"999"_s);
    EXPECT_EQ(sink.texts(), QStringList{u"您没有此仓库的权限！"_s});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(storedNumber(row03, "iAOutPrice"), before);
}

// Catches: a user-defined column shown under a name its UserDef entry does not
// give, shown (or offered for sorting) without one, and the cells the user edits
// not told apart from those filled from the documents.
TEST_P(FrmQcFcspTest, UserDefinedColumnsFollowTheirNamesAndEditableCellsStandOut) {
    db().exec(u"UPDATE UserDef SET cItemName = ? WHERE cID = '01'"_s, {u"合同号"_s});
    db().exec(u"UPDATE UserDef SET cItemName = '' WHERE cID = '20'"_s);
    open();
    clickButton(u"Getcount"_s);
    seek([](dispatched::frmQcFcspCon*) {});
    ASSERT_GE(window->model().dataRowCount(), 2);

    EXPECT_EQ(window->model().caption(C::Define1), u"合同号"_s);
    EXPECT_FALSE(window->rowsView->isGridColumnHidden(C::Define1));
    EXPECT_TRUE(window->rowsView->isGridColumnHidden(C::Free1));
    EXPECT_TRUE(window->rowsView->isGridColumnHidden(C::AutoId));
    QStringList shown, offered;
    for (int c = 0; c < C::Count; ++c)
        if (!window->rowsView->isGridColumnHidden(c)) shown << window->model().caption(c);
    for (int i = 0; i < window->sortColumnList->count(); ++i) offered << window->sortColumnList->itemText(i);
    EXPECT_EQ(offered, shown);

    // Painted on screen: white where the user types, the filled colour elsewhere.
    window->rowsView->setCurrentIndex(window->rowsView->cellIndex(0, C::VouCode));
    const auto painted = [this](int col) {
        const QModelIndex index = window->rowsView->cellIndex(1, col);
        window->rowsView->scrollTo(index);
        QApplication::processEvents();
        const QRect r = window->rowsView->visualRect(index);
        return window->rowsView->viewport()->grab().toImage().pixelColor(r.left() + 3, r.top() + 3);
    };
    for (const int col : {C::OutAmount, C::SettledAmount, C::UnitPrice, C::OpenAmount, C::OutHead})
        EXPECT_EQ(painted(col), QColor(Qt::white)) << col;
    for (const int col : {C::InvCode, C::OutQuantity, C::Customer, C::OutHeadName})
        EXPECT_EQ(painted(col), QColor(192, 255, 255)) << col;
}

// Catches: 汇总 not opening the dispatched-goods summary of the window's business
// type, or a summary counting the other type.
TEST_P(FrmQcFcspTest, SumOpensTheDispatchedGoodsSummaryOfTheWindowsType) {
    open(u"demo"_s, u"demo123"_s, BusinessType::Consignment);
    // Nothing fetched yet: the summary says so, and the empty result prints nothing.
    QStringList said;
    test::whenModal<summary::FrmQcSumCon>([&](summary::FrmQcSumCon* con) {
        test::whenModal<summary::FrmQcSumInfo>([&](summary::FrmQcSumInfo* info) {
            info->setMessageSink(sink);
            info->runCommand(u"Print"_s);
            info->runCommand(u"Preview"_s);
            info->runCommand(u"OutPut"_s);
            said = sink.texts();
            info->close();
        });
        QTest::mouseClick(con->widgets().showButton, Qt::LeftButton);
    });
    clickButton(u"Sum"_s);
    EXPECT_EQ(said, (QStringList{u"没有找到满足条件的记录！"_s, u"没有数据，不能打印！"_s,
                                 u"没有数据，不能预览！"_s, u"没有数据，不能输出！"_s}));

    clickButton(u"Getcount"_s);
    QString dialogTitle, resultTitle;
    Decimal quantity;
    test::whenModal<summary::FrmQcSumCon>([&](summary::FrmQcSumCon* con) {
        dialogTitle = con->windowTitle();
        con->widgets().gradeToList->setCurrentIndex(con->widgets().gradeToList->count() - 1);
        test::whenModal<summary::FrmQcSumInfo>([&](summary::FrmQcSumInfo* info) {
            resultTitle = info->windowTitle();
            for (int r = 0; r < info->model().dataRowCount(); ++r)
                if (info->model().text(r, 0) == kDetailGrade)
                    quantity += Decimal::fromText(info->model().text(r, info->model().columnTotal() - 3));
            test::saveShot(info->grab().toImage(), u"summary-dispatched.png"_s);
            info->close();
        });
        QTest::mouseClick(con->widgets().showButton, Qt::LeftButton);
    });
    clickButton(u"Sum"_s);
    EXPECT_EQ(dialogTitle, u"期初发出商品汇总查询"_s);
    EXPECT_EQ(resultTitle, u"期初委托代销发出商品汇总"_s);
    ASSERT_FALSE(quantity.isZero());
    EXPECT_EQ(quantity, Decimal::fromVariant(db().scalar(
                            u"SELECT SUM(iAInQuantity) FROM IA_EnSubsidiary WHERE cBusType = '委托代销'"_s)));
}

// Catches: a command without a key, an input without a name for assistive
// technology or out of the keyboard's reach, the query dialog's Tab order not
// following its layout, and Esc closing the window.
TEST_P(FrmQcFcspTest, EveryCommandHasAKeyAndEveryInputIsReachable) {
    open();
    for (const QString& key : window->toolbar->keys()) {
        EXPECT_FALSE(window->toolbar->buttonShortcut(key).isEmpty()) << key.toStdString();
        EXPECT_TRUE(window->toolbar->buttonToolTip(key).contains(
            window->toolbar->buttonShortcut(key).toString(QKeySequence::PortableText)))
            << key.toStdString();
    }
    const auto name = [](QWidget* w) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
        return face ? face->text(QAccessible::Name) : QString();
    };
    // Qt names a combo box by its value; its label comes through the labelled-by relation.
    QStringList labels;
    for (const auto& [other, relation] :
         QAccessible::queryAccessibleInterface(window->sortColumnList)->relations(QAccessible::Label))
        labels << other->text(QAccessible::Name);
    EXPECT_TRUE(labels.join(u'|').contains(u"排列方式"_s)) << labels.join(u'|').toStdString();
    EXPECT_FALSE(name(window->rowsView).isEmpty());

    window->rowsView->setFocus();
    QTest::keyClick(window->rowsView, Qt::Key_L, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), window->sortColumnList);
    QTest::keyClick(window->sortColumnList, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window->rowsView);
    QTest::keyClick(window->rowsView, Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());

    QList<QWidget*> visited;
    bool cancelled = false;
    test::onNextDialog([&](QWidget* dlg) {
        auto* con = qobject_cast<dispatched::frmQcFcspCon*>(dlg);
        ASSERT_NE(con, nullptr);
        QApplication::setActiveWindow(con);
        con->widgets().warehouseList->setFocus();
        for (int i = 0; i < 7; ++i) {
            visited << QApplication::focusWidget();
            EXPECT_FALSE(name(QApplication::focusWidget()).isEmpty());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QApplication::processEvents();
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        cancelled = !con->isVisible();
    });
    QTest::keyClick(window->rowsView, Qt::Key_Q, Qt::AltModifier);
    QApplication::processEvents();
    ASSERT_TRUE(cancelled);
    auto* con = window->conditionDialog();
    EXPECT_EQ(visited, (QList<QWidget*>{con->widgets().warehouseList, con->widgets().itemClassEdit,
                                        con->widgets().itemFromEdit, con->widgets().itemToEdit,
                                        con->customerClassEdit, con->customerFromEdit, con->customerToEdit}));
    EXPECT_EQ(window->model().dataRowCount(), 0);  // cancelled: the grid as it was
}

QC_DB_SUITE(FrmQcFcspTest);

}  // namespace
}  // namespace qc
