#include "Shell.h"

#include "Cli.h"
#include "LoginDialog.h"
#include "MainWindow.h"
#include "WindowHostImpl.h"
#include "demo/Demo.h"
#include "entry/clsQC.h"
#include "host/ui/UiPickers.h"
#include "opening/ui/FrmQcInput.h"
#include "platform/Database.h"
#include "platform/ui/MessageBoxSink.h"
#include "session/LoginContext.h"
#include "shared/ui/QcToolbar.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QStyleFactory>
#include <QTimer>
#include <QToolButton>

#ifndef QC_VERSION
#define QC_VERSION "0.1"
#endif

namespace qc::shell {

namespace {

void settle() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

// A window as the documentation shows it: a plain title bar with the window's
// caption above the grab, a thin border and a soft background.
// margin 0 gives the window alone (a message box laid over another shot).
QPixmap framed(const QPixmap& window, const QString& title, int m = 14, int buttonCount = 3) {
    const int bar = title.isEmpty() ? 0 : 30;
    QPixmap out(window.width() + 2 * m, window.height() + bar + 2 * m);
    out.fill(QColor(0xe9, 0xed, 0xf2));
    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (int i = 6; i > 0; --i) {
        p.setBrush(QColor(0, 0, 0, 10));
        p.drawRoundedRect(
            QRectF(m - i + 2, m - i + 3, window.width() + 2 * i - 4, window.height() + bar + 2 * i - 4), i,
            i);
    }
    if (bar > 0) {
        const QRect barRect(m, m, window.width(), bar);
        QLinearGradient g(barRect.topLeft(), barRect.bottomLeft());
        g.setColorAt(0, QColor(0xf4, 0xf6, 0xf8));
        g.setColorAt(1, QColor(0xdd, 0xe3, 0xea));
        p.fillRect(barRect, g);
        p.setPen(QColor(0x2b, 0x33, 0x3b));
        p.drawText(barRect.adjusted(12, 0, -80, 0), Qt::AlignLeft | Qt::AlignVCenter, title);
        const QColor buttons[] = {QColor(0xb0, 0xb8, 0xc1), QColor(0xb0, 0xb8, 0xc1),
                                  QColor(0xd9, 0x53, 0x4f)};
        for (int i = 3 - buttonCount; i < 3; ++i) {
            p.setPen(Qt::NoPen);
            p.setBrush(buttons[i]);
            p.drawEllipse(QPointF(barRect.right() - 60 + i * 22, barRect.center().y() + 0.5), 6, 6);
        }
    }
    p.drawPixmap(m, m + bar, window);
    p.setPen(QColor(0x9a, 0xa7, 0xb4));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(m - 1, m - 1, window.width() + 1, window.height() + bar + 1));
    return out;
}

bool save(const QPixmap& pm, const QString& file, QTextStream& out, QTextStream& err) {
    if (!pm.save(file, "PNG")) {
        err << QStringLiteral("无法写入截图：%1\n").arg(file);
        return false;
    }
    out << file << '\n';
    return true;
}

// The entry window on warehouse 02 with the tooltip of a command, which names
// the command's key, drawn under its button: one picture per command.
bool entryShots(const QString& folder, VqLogin& login, MessageSink& sink, QTextStream& out,
                QTextStream& err) {
    LoginContext ctx;
    ctx.sink = &sink;
    openContext(ctx, login, false, ConnectionMode::Reconnect);
    createScratchDatabase(ctx);
    bool ok = true;
    {
        UiPickers pickers(nullptr);
        opening::FrmQcInput window(ctx, pickers);
        window.resize(1180, 560);
        window.show();
        for (int i = 0; i < window.warehouseList->count() && window.entry().CurrentWhCode != u"02"; ++i) {
            QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
            QApplication::sendEvent(window.warehouseList, &down);
        }
        settle();
        for (const auto& [key, file] :
             {std::pair{QStringLiteral("Keep"), QStringLiteral("tooltip-keep.png")},
              std::pair{QStringLiteral("Query"), QStringLiteral("tooltip-query.png")}}) {
            QToolButton* button = window.toolbar->toolButton(key);
            if (!button) continue;
            const QPoint at = button->mapTo(&window, QPoint(8, button->height() + 4));
            QPixmap shot = window.grab();
            QLabel tip(window.toolbar->buttonToolTip(key));
            tip.setWindowFlags(Qt::ToolTip);
            tip.setStyleSheet(
                QStringLiteral("QLabel { background: #ffffdc; color: black; border: 1px solid #767676; "
                               "padding: 2px 5px; }"));
            tip.adjustSize();
            QPainter p(&shot);
            p.fillRect(QRect(at + QPoint(2, 2), tip.size()), QColor(0, 0, 0, 45));
            tip.render(&p, at);
            p.end();
            ok = ok && save(framed(shot, window.windowTitle()), QDir(folder).filePath(file), out, err);
        }
        window.hide();
    }
    closeContext(ctx);
    return ok;
}

}  // namespace

void setupApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("QCInput"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QC_VERSION));
}

void applyLook() {
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
    const QStringList families = QFontDatabase::families();
    for (const QString& family : {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Source Han Sans SC"),
                                  QStringLiteral("WenQuanYi Micro Hei")}) {
        if (families.contains(family)) {
            QFont f(family);
            f.setPointSizeF(10);
            QApplication::setFont(f);
            break;
        }
    }
}

int runInteractive(const QString& connectionString) {
    LoginDialog login;
    if (!connectionString.isEmpty()) login.setConnectionString(connectionString);
    if (login.exec() != QDialog::Accepted) return 0;
    WindowHostImpl windows;
    MainWindow main(login.takeLogin(), &windows);
    windows.setParentWidget(&main);
    main.show();
    return QApplication::exec();
}

int takeScreenshots(const QString& folder, const QString& connectionString, QTextStream& out,
                    QTextStream& err) {
    if (!QDir().mkpath(folder)) {
        err << QStringLiteral("无法创建文件夹：%1\n").arg(folder);
        return 1;
    }
    const QString conn = connectionString.isEmpty() ? demo::defaultDemoPath() : connectionString;
    demo::DemoInfo info;
    try {
        info = cli::createDemoAccount(conn);
    } catch (const std::exception& e) {
        err << QString::fromLocal8Bit(e.what()) << '\n';
        return 1;
    }
    if (info.users.isEmpty()) {
        err << QStringLiteral("示范账套没有操作员\n");
        return 1;
    }
    const demo::DemoUser& user = info.users.first();

    MessageBoxSink sink;
    LoginDialog dialog(&sink);
    sink.setParentWidget(&dialog);
    dialog.setConnectionString(conn);
    dialog.setOperator(user.userId);
    dialog.setPassword(user.password);
    dialog.show();
    dialog.passwordEdit()->setFocus();
    settle();
    const QPixmap loginShot = dialog.grab();
    if (!save(framed(loginShot, dialog.windowTitle()), QDir(folder).filePath(QStringLiteral("login.png")),
              out, err))
        return 1;

    // A wrong password: the refusal as the user sees it, over the dialog.
    dialog.setPassword(user.password + QStringLiteral("x"));
    QPixmap refused;
    QTimer::singleShot(0, &dialog, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box || box == &dialog) return;
        settle();
        refused = loginShot;
        QPainter p(&refused);
        const QPixmap boxShot = framed(box->grab(), box->windowTitle(), 0, 1);
        const QPoint at((refused.width() - boxShot.width()) / 2, (refused.height() - boxShot.height()) / 2);
        p.fillRect(refused.rect(), QColor(0, 0, 0, 40));
        p.fillRect(QRect(at + QPoint(3, 4), boxShot.size()), QColor(0, 0, 0, 60));
        p.drawPixmap(at, boxShot);
        p.setPen(QColor(0x7a, 0x86, 0x92));
        p.drawRect(QRect(at - QPoint(1, 1), boxShot.size() + QSize(1, 1)));
        box->close();
    });
    dialog.tryLogin();
    if (dialog.result() == QDialog::Accepted || refused.isNull()) {
        err << QStringLiteral("错误的密码没有被拒绝\n");
        return 1;
    }
    if (!save(framed(refused, dialog.windowTitle()),
              QDir(folder).filePath(QStringLiteral("login-refused.png")), out, err))
        return 1;

    dialog.setPassword(user.password);
    dialog.tryLogin();
    if (dialog.result() != QDialog::Accepted) {
        err << QStringLiteral("示范操作员无法登录\n");
        return 1;
    }
    dialog.hide();

    WindowHostImpl windows;
    MainWindow main(dialog.takeLogin(), &windows, &sink);
    windows.setParentWidget(&main);
    main.show();
    settle();
    QPixmap menuShot = main.grab();
    if (!save(framed(menuShot, main.windowTitle()), QDir(folder).filePath(QStringLiteral("menu.png")), out,
              err))
        return 1;
    // The same with the entry menu dropped down.
    QMenu* entries = nullptr;
    QAction* entriesAction = nullptr;
    for (QAction* a : main.menuBar()->actions()) {
        if (a->menu() && a->menu()->actions().contains(main.entryAction(0))) {
            entries = a->menu();
            entriesAction = a;
        }
    }
    if (entries) {
        const QRect item = main.menuBar()->actionGeometry(entriesAction);
        const QPoint at = main.menuBar()->mapTo(&main, item.bottomLeft());
        entries->popup(main.mapToGlobal(at));
        settle();
        const QPixmap dropped = entries->grab();
        entries->hide();
        QPainter p(&menuShot);
        p.fillRect(QRect(at + QPoint(3, 3), dropped.size()), QColor(0, 0, 0, 45));
        p.drawPixmap(at, dropped);
    }
    if (!save(framed(menuShot, main.windowTitle()), QDir(folder).filePath(QStringLiteral("menu-entries.png")),
              out, err))
        return 1;
    return entryShots(folder, main.login(), sink, out, err) ? 0 : 1;
}

}  // namespace qc::shell
