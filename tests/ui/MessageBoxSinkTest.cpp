// The message-box sink: icon, caption and buttons of the box, and the answer.

#include "platform/ui/MessageBoxSink.h"
#include "support/QtPrint.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QMessageBox>
#include <QTimer>

namespace qc {
namespace {

struct SeenBox {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QStringList buttons;  // captions, in the order the box holds them
    int width = 0;
};

// Shows one message through the sink and, once the box is up, notes what it
// shows and presses the button with the caption `press` (Esc when empty).
MsgAnswer showAndPress(MessageBoxSink& sink, const QString& text, MsgIcon icon, MsgButtons buttons,
                       const QString& title, const QString& press, SeenBox* seen) {
    QTimer poll;
    QElapsedTimer waited;
    waited.start();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            // Never leave the test waiting for a box that did not come up.
            if (waited.elapsed() > 10000) ADD_FAILURE() << "no message box";
            return;
        }
        poll.stop();
        seen->icon = box->icon();
        seen->title = box->windowTitle();
        seen->text = box->text();
        for (QAbstractButton* b : box->buttons()) seen->buttons << b->text();
        seen->width = box->width();
        if (press.isEmpty()) {
            box->reject();
            return;
        }
        for (QAbstractButton* b : box->buttons()) {
            if (b->text() == press) b->click();
        }
    });
    poll.start(10);
    return sink.show(text, icon, buttons, title);
}

// Catches: a wrong icon, English or missing button captions, a lost caption, or an
// answer that does not match the button pressed.
TEST(MessageBoxSinkTest, BoxesShowTheIconAndChineseButtonsAndReturnThePressedOne) {
    MessageBoxSink sink;
    struct Case {
        MsgIcon icon;
        MsgButtons buttons;
        QString title;
        QString press;
        QMessageBox::Icon boxIcon;
        QStringList captions;
        MsgAnswer answer;
    };
    const Case cases[] = {
        {MsgIcon::Exclamation,
         MsgButtons::Ok,
         {},
         QStringLiteral("确定"),
         QMessageBox::Warning,
         {QStringLiteral("确定")},
         MsgAnswer::Ok},
        {MsgIcon::Critical,
         MsgButtons::OkCancel,
         QStringLiteral("期初余额 — 分期收款发出商品期初"),
         QStringLiteral("取消"),
         QMessageBox::Critical,
         {QStringLiteral("确定"), QStringLiteral("取消")},
         MsgAnswer::Cancel},
        {MsgIcon::Information,
         MsgButtons::Ok,
         {},
         QStringLiteral("确定"),
         QMessageBox::Information,
         {QStringLiteral("确定")},
         MsgAnswer::Ok},
        {MsgIcon::Question,
         MsgButtons::YesNo,
         {},
         QStringLiteral("否"),
         QMessageBox::Question,
         {QStringLiteral("是"), QStringLiteral("否")},
         MsgAnswer::No},
        {MsgIcon::Question,
         MsgButtons::YesNoCancel,
         {},
         QStringLiteral("是"),
         QMessageBox::Question,
         {QStringLiteral("是"), QStringLiteral("否"), QStringLiteral("取消")},
         MsgAnswer::Yes},
        // Esc: Cancel where there is one, otherwise No.
        {MsgIcon::Question,
         MsgButtons::YesNoCancel,
         {},
         {},
         QMessageBox::Question,
         {QStringLiteral("是"), QStringLiteral("否"), QStringLiteral("取消")},
         MsgAnswer::Cancel},
        {MsgIcon::Question,
         MsgButtons::YesNo,
         {},
         {},
         QMessageBox::Question,
         {QStringLiteral("是"), QStringLiteral("否")},
         MsgAnswer::No},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(++n);
        SeenBox seen;
        const QString text = n == 1 ? QStringLiteral("存货不合法！") : QStringLiteral("第 %1 条消息").arg(n);
        const MsgAnswer a = showAndPress(sink, text, c.icon, c.buttons, c.title, c.press, &seen);
        EXPECT_EQ(seen.icon, c.boxIcon);
        EXPECT_EQ(seen.title, c.title.isEmpty() ? QStringLiteral("存货核算") : c.title);
        EXPECT_EQ(seen.text, text);
        QStringList sortedSeen = seen.buttons, sortedWanted = c.captions;
        sortedSeen.sort();
        sortedWanted.sort();
        EXPECT_EQ(sortedSeen, sortedWanted);
        EXPECT_EQ(a, c.answer);
        // Wide enough for the title and the title bar's buttons, however short the text.
        EXPECT_GE(seen.width, QFontMetrics(QApplication::font()).horizontalAdvance(seen.title) + 120);
    }
}

}  // namespace
}  // namespace qc
