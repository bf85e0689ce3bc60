#pragma once

// Helpers for driving a window in a test: pick windows that answer from a
// script (ScriptedPickers), answering the modal dialog an action opens, and
// pictures of a window (with a dialog drawn over it) for the documentation.

#include "support/ScriptedPickers.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

namespace qc::test {

// Runs `answer` on the modal dialog the next action opens, once it is up.
inline void onNextDialog(std::function<void(QWidget*)> answer, int tries = 100) {
    QTimer::singleShot(0, [answer = std::move(answer), tries]() mutable {
        QWidget* dlg = QApplication::activeModalWidget();
        if (!dlg && tries > 0) {
            onNextDialog(std::move(answer), tries - 1);
            return;
        }
        ASSERT_NE(dlg, nullptr);
        answer(dlg);
    });
}

// Runs `step` once a modal window of type T is up (its own event loop running),
// activated as the window manager would. A window that may never come is waited
// for only while `scope` lives.
template <typename T>
void whenModal(std::function<void(T*)> step, QObject* scope = nullptr) {
    auto* poll = new QTimer(scope);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, step] {
        auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!window) return;
        poll->stop();
        poll->deleteLater();
        QApplication::setActiveWindow(window);
        step(window);
    });
    poll->start();
}

// With QC_SCREENSHOT_DIR set, the journeys leave pictures of their windows there.
inline void saveShot(const QImage& image, const QString& name) {
    const QString dir = qEnvironmentVariable("QC_SCREENSHOT_DIR");
    if (!dir.isEmpty()) image.save(dir + u'/' + name);
}

// The window with `dialog` drawn over it, centred on `centre` (window coordinates).
inline QImage composedShot(QWidget& window, const QPoint& centre, QWidget& dialog) {
    QImage base = window.grab().toImage();
    dialog.adjustSize();
    dialog.resize(dialog.size().expandedTo(QSize(760, 0)));
    const QImage top = dialog.grab().toImage();
    QPainter p(&base);
    const QPoint at = centre - QPoint(top.width() / 2, top.height() / 2);
    p.fillRect(QRect(at + QPoint(4, 4), top.size()), QColor(0, 0, 0, 60));
    p.drawImage(at, top);
    p.setPen(QColor(90, 110, 130));
    p.drawRect(QRect(at, top.size()).adjusted(0, 0, -1, -1));
    return base;
}

// The three output commands of a window's toolbar and what each says of a grid
// without data.
inline QList<std::pair<QString, QString>> noDataMessages() {
    return {{QStringLiteral("Print"), QStringLiteral("没有数据，不能打印！")},
            {QStringLiteral("Preview"), QStringLiteral("没有数据，不能预览！")},
            {QStringLiteral("OutPut"), QStringLiteral("没有数据，不能输出！")}};
}

// A member of a zip file (an XLSX part), as text.
inline QString unzipped(const QString& file, const QString& member) {
    QProcess p;
    p.start(QStringLiteral("unzip"), {QStringLiteral("-p"), file, member});
    p.waitForFinished();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The text of a PDF as laid out on its pages.
inline QString pdfText(const QString& file) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    p.waitForFinished();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Whether the PDF text holds `expected`.
inline bool pdfHolds(const QString& text, const QString& expected) {
    return text.contains(expected);
}

// With QC_SCREENSHOT_DIR set, the first page of a PDF as a picture named `name`.png.
inline void saveFirstPage(const QString& pdf, const QString& name) {
    if (const QString shots = qEnvironmentVariable("QC_SCREENSHOT_DIR"); !shots.isEmpty())
        QProcess::execute(QStringLiteral("pdftoppm"),
                          {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("70"),
                           QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                           QStringLiteral("1"), QStringLiteral("-singlefile"), pdf, shots + u'/' + name});
}

}  // namespace qc::test
