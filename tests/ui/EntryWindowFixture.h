#pragma once

// The opening entry window as the accountant opens it: the demo operator logged
// in, the window shown and active, messages and questions going to the test's
// sink; a warehouse chosen from the list with the keyboard; a toolbar button
// clicked.

#include "opening/ui/FrmQcInput.h"
#include "shared/ui/QcToolbar.h"
#include "support/OpeningFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QToolButton>

#include <optional>

namespace qc::test {

class EntryWindowFixture : public OpeningFixture {
  protected:
    void TearDown() override {
        frm.reset();
        OpeningFixture::TearDown();
    }
    void openWindow(const QString& user = QStringLiteral("demo"),
                    const QString& password = QStringLiteral("demo123")) {
        using namespace Qt::StringLiterals;
        QString err;
        login = VqLogin::login({conn(), u"001"_s, 2026, user, password, QDate(2026, 1, 1), {}}, &err);
        ASSERT_TRUE(login) << err.toStdString();
        ctx.scratchFolder = folder();
        openContext(ctx, *login, false, ConnectionMode::Reconnect);
        frm = std::make_unique<opening::FrmQcInput>(ctx, pickers);
        ctx.sink = &sink;  // messages recorded and questions answered from the script
        frm->show();
        QApplication::setActiveWindow(frm.get());
        QApplication::processEvents();
    }
    // Walks the warehouse list down with the keyboard to the warehouse.
    void chooseWarehouse(const QString& wh) {
        frm->warehouseList->setFocus();
        for (int i = 0; i < frm->warehouseList->count() && frm->entry().CurrentWhCode != wh; ++i)
            QTest::keyClick(frm->warehouseList, Qt::Key_Down);
        ASSERT_EQ(frm->entry().CurrentWhCode, wh);
    }
    // Clicks an enabled toolbar button, the sink cleared first and the answer to
    // the question it asks, if any, scripted.
    void clickButton(const QString& key, std::optional<MsgAnswer> answer = {}) {
        sink.clear();
        if (answer) sink.script(*answer);
        QToolButton* button = frm->toolbar->toolButton(key);
        ASSERT_TRUE(button && button->isEnabled()) << key.toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
        QApplication::processEvents();
    }

    std::unique_ptr<opening::FrmQcInput> frm;
};

}  // namespace qc::test
