#include "platform/ui/MessageBoxSink.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>

namespace qc {

namespace {
// Pixels a title bar needs beside the title (icon, close and other buttons), and
// the narrowest box.
constexpr int kTitleBarRoom = 150;
constexpr int kMinimumWidth = 280;
}  // namespace

QString MessageBoxSink::defaultTitle() {
    return QStringLiteral("存货核算");
}

MsgAnswer MessageBoxSink::show(const QString& text, MsgIcon icon, MsgButtons buttons, const QString& title) {
    QMessageBox::Icon boxIcon = QMessageBox::Warning;
    switch (icon) {
        case MsgIcon::Exclamation:
            boxIcon = QMessageBox::Warning;
            break;
        case MsgIcon::Critical:
            boxIcon = QMessageBox::Critical;
            break;
        case MsgIcon::Information:
            boxIcon = QMessageBox::Information;
            break;
        case MsgIcon::Question:
            boxIcon = QMessageBox::Question;
            break;
        case MsgIcon::None:
            boxIcon = QMessageBox::NoIcon;
            break;
    }
    QMessageBox box(boxIcon, title.isEmpty() ? defaultTitle() : title, text, QMessageBox::NoButton, m_parent);
    box.setTextFormat(Qt::PlainText);

    // The buttons in the order of the old message boxes; the first is the default.
    struct Choice {
        QMessageBox::StandardButton button;
        MsgAnswer answer;
        const char16_t* caption;
    };
    QList<Choice> choices;
    switch (buttons) {
        case MsgButtons::Ok:
            choices = {{QMessageBox::Ok, MsgAnswer::Ok, u"确定"}};
            break;
        case MsgButtons::OkCancel:
            choices = {{QMessageBox::Ok, MsgAnswer::Ok, u"确定"},
                       {QMessageBox::Cancel, MsgAnswer::Cancel, u"取消"}};
            break;
        case MsgButtons::YesNo:
            choices = {{QMessageBox::Yes, MsgAnswer::Yes, u"是"}, {QMessageBox::No, MsgAnswer::No, u"否"}};
            break;
        case MsgButtons::YesNoCancel:
            choices = {{QMessageBox::Yes, MsgAnswer::Yes, u"是"},
                       {QMessageBox::No, MsgAnswer::No, u"否"},
                       {QMessageBox::Cancel, MsgAnswer::Cancel, u"取消"}};
            break;
    }
    QMessageBox::StandardButtons all;
    for (const Choice& c : choices) all |= c.button;
    box.setStandardButtons(all);
    for (const Choice& c : choices) box.button(c.button)->setText(QString::fromUtf16(c.caption));
    box.setDefaultButton(choices.first().button);
    // Esc answers Cancel where there is one, No in a Yes/No question, OK otherwise.
    if (all & QMessageBox::Cancel)
        box.setEscapeButton(QMessageBox::Cancel);
    else if (all & QMessageBox::No)
        box.setEscapeButton(QMessageBox::No);
    else
        box.setEscapeButton(QMessageBox::Ok);

    // A short text makes a box narrower than its title, which the window manager
    // then cuts: the box is made wide enough for the title beside the icon and the
    // buttons of the title bar.
    const int titleWidth = QFontMetrics(box.font()).horizontalAdvance(box.windowTitle()) * 5 / 4;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(std::max(kMinimumWidth, titleWidth + kTitleBarRoom), 0,
                                      QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());

    // A message during work under a wait cursor is read and answered with the
    // arrow; the wait cursor comes back afterwards.
    QList<QCursor> lifted;
    while (const QCursor* busy = QApplication::overrideCursor()) {
        lifted.prepend(*busy);
        QApplication::restoreOverrideCursor();
    }
    box.exec();
    for (const QCursor& c : std::as_const(lifted)) QApplication::setOverrideCursor(c);
    QAbstractButton* clicked = box.clickedButton();
    for (const Choice& c : choices) {
        if (clicked == box.button(c.button)) return c.answer;
    }
    // Closed without a button (window closed): the escape answer.
    if (all & QMessageBox::Cancel) return MsgAnswer::Cancel;
    if (all & QMessageBox::No) return MsgAnswer::No;
    return MsgAnswer::Ok;
}

}  // namespace qc
