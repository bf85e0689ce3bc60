#include "platform/ui/MessageBoxSink.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace qc {

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

    box.exec();
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
