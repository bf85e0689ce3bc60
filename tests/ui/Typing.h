#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QWidget>

namespace qc::test {

// One key press for a character, a Chinese one as an input method delivers it.
inline void typeChar(QWidget* w, QChar c) {
    if (c.unicode() < 0x80) {
        QTest::keyClick(w, c.toLatin1());
        return;
    }
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &release);
}

}  // namespace qc::test
