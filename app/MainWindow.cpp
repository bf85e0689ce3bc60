#include "MainWindow.h"

#include "Banner.h"
#include "LoginForm.h"
#include "dispatched/DispatchedColumns.h"
#include "host/HostDb.h"
#include "host/VqLogin.h"
#include "host/YrCommon.h"
#include "host/ui/UiPickers.h"
#include "opening/OpeningColumns.h"
#include "platform/ui/MessageBoxSink.h"
#include "session/LoginContext.h"
#include "shared/ui/FrmAuditLog.h"
#include "shared/ui/QcToolbar.h"
#include "shared/ui/StepProgress.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace qc {

namespace {
// How often the login's task claims are renewed; a copy that stops renewing
// (crashed, killed) loses its claims after a while.
constexpr int kHeartbeatMs = 30 * 1000;
const QString kUnavailable = QStringLiteral("尚未提供");
}  // namespace

const QList<MainWindow::Entry>& MainWindow::entries() {
    using W = WindowHost::Window;
    static const QList<Entry> list = {
        {QStringLiteral("Opening"), QStringLiteral("期初余额"),
         QStringLiteral("按仓库录入、修改、记账存货的期初余额"), W::Opening, 'O'},
        {QStringLiteral("Dispatch"), QStringLiteral("分期收款发出商品期初"),
         QStringLiteral("分期收款方式下已发出、尚未结算的商品"), W::Dispatched, 'F'},
        {QStringLiteral("Consign"), QStringLiteral("委托代销发出商品期初"),
         QStringLiteral("委托代销方式下已发出、尚未结算的商品"), W::Dispatched, 'W'},
        {QStringLiteral("Sum"), QStringLiteral("期初汇总"), QStringLiteral("按存货分类级次汇总期初余额"),
         W::Summary, 'U'},
        {QStringLiteral("Compare"), QStringLiteral("库存与存货期初对账"),
         QStringLiteral("核对库存管理与存货核算的期初数量"), W::Reconcile, 'C'},
    };
    return list;
}

MainWindow::MainWindow(std::unique_ptr<VqLogin> login, WindowHost* windows, MessageSink* sink,
                       QWidget* parent)
    : QMainWindow(parent), m_login(std::move(login)), m_windows(windows) {
    if (sink) {
        m_sink = sink;
    } else {
        m_ownSink = std::make_unique<MessageBoxSink>(this);
        m_sink = m_ownSink.get();
    }
    m_qc = std::make_unique<clsQC>(m_windows, m_context);
    m_common = std::make_shared<YrCommon>();
    setWindowTitle(QStringLiteral("QCInput 存货核算 — 期初"));
    setObjectName(QStringLiteral("frmMain"));

    QString accountName;
    try {
        accountName = LoginForm::accountName(m_login->Database().Connection(), m_login->AccountId());
    } catch (const DbError&) {
        // Only the status bar misses the name.
    }
    const QString account = AccountChoice{m_login->AccountId(), accountName, {}}.display();

    // Menus.
    QMenu* system = menuBar()->addMenu(QStringLiteral("系统(&S)"));
    QAction* trail = system->addAction(QStringLiteral("操作日志(&L)"), this, &MainWindow::showAuditLog);
    trail->setObjectName(QStringLiteral("mnuAuditLog"));
    trail->setStatusTip(QStringLiteral("谁在何时改了哪些期初数据，改前改后各是什么"));
    QAction* quit = system->addAction(QStringLiteral("退出(&X)"), this, &QWidget::close);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    QMenu* opening = menuBar()->addMenu(QStringLiteral("期初(&Q)"));
    QMenu* help = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
    help->addAction(QStringLiteral("关于(&A)"), this, &MainWindow::about);

    // The entries: one action each, shared by the menu and the buttons.
    auto* panel = new QFrame;
    panel->setObjectName(QStringLiteral("panelEntries"));
    panel->setStyleSheet(QStringLiteral(
        "QFrame#panelEntries { background: #ffffff; border: 1px solid #c9d3de; border-radius: 4px; }"
        "QToolButton { border: 1px solid #d6dee8; border-radius: 4px; background: #f7f9fc; padding: 8px; }"
        "QToolButton:hover { background: #fff4d6; border-color: #e3b95a; }"
        "QToolButton:disabled { color: #8a96a3; background: #f2f4f7; }"));
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(18, 18, 18, 18);
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(14);
    for (int i = 0; i < entries().size(); ++i) {
        const Entry& e = entries()[i];
        auto* a = new QAction(QcToolbar::standardIcon(e.key),
                              QStringLiteral("%1(&%2)").arg(e.caption, QChar::fromLatin1(e.mnemonic)), this);
        a->setObjectName(QStringLiteral("mnu") + e.key);
        const bool ready = m_windows && m_windows->available(e.window);
        a->setEnabled(ready);
        a->setToolTip(ready ? e.description : kUnavailable);
        a->setStatusTip(ready ? e.description : e.caption + QStringLiteral("：") + kUnavailable);
        connect(a, &QAction::triggered, this, [this, i] { runEntry(i); });
        opening->addAction(a);
        m_actions << a;

        auto* b = new QToolButton(panel);
        b->setObjectName(QStringLiteral("cmd") + e.key);
        b->setDefaultAction(a);
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setIconSize(QSize(48, 48));
        b->setFixedSize(184, 112);
        grid->addWidget(b, i / 3, i % 3);
        m_buttons << b;
    }
    // A greyed menu item says why through its tool tip.
    opening->setToolTipsVisible(true);

    auto* heading = new QLabel(QStringLiteral("期初业务"));
    QFont hf = heading->font();
    hf.setBold(true);
    hf.setPointSizeF(hf.pointSizeF() * 1.15);
    heading->setFont(hf);
    heading->setStyleSheet(QStringLiteral("color: #1b4f8a;"));
    auto* note = new QLabel(QStringLiteral("灰色的功能尚未提供；将鼠标移到按钮上可看到说明。"));
    note->setStyleSheet(QStringLiteral("color: #5f6b78;"));

    auto* body = new QVBoxLayout;
    body->setContentsMargins(22, 16, 22, 16);
    body->setSpacing(10);
    body->addWidget(heading);
    body->addWidget(panel);
    body->addWidget(note);
    body->addStretch(1);

    auto* central = new QWidget;
    central->setObjectName(QStringLiteral("central"));
    central->setStyleSheet(QStringLiteral("QWidget#central { background: #eef2f6; }"));
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(new Banner(QStringLiteral("QCInput 存货核算"),
                                QStringLiteral("期初 · %1 · %2 年度").arg(account, m_login->AccountYear()),
                                central));
    outer->addLayout(body);
    setCentralWidget(central);

    // Status bar: account, year, operator, login date.
    const QString user = m_login->UserName().isEmpty()
                             ? m_login->UserId()
                             : QStringLiteral("%1 %2").arg(m_login->UserId(), m_login->UserName());
    for (const QString& text :
         {QStringLiteral("账套：") + account, QStringLiteral("年度：") + m_login->AccountYear(),
          QStringLiteral("操作员：") + user,
          QStringLiteral("登录日期：") + m_login->LoginDate().toString(QStringLiteral("yyyy-MM-dd"))}) {
        auto* l = new QLabel(text);
        l->setContentsMargins(8, 0, 8, 0);
        statusBar()->addPermanentWidget(l);
        m_status << l;
    }

    m_heartbeat = new QTimer(this);
    m_heartbeat->setInterval(kHeartbeatMs);
    connect(m_heartbeat, &QTimer::timeout, this, &MainWindow::heartbeat);
    m_heartbeat->start();

    resize(660, 470);
}

MainWindow::~MainWindow() {
    m_qc.reset();  // its windows close on the session before the session goes
    closeContext(m_context);
}

QString MainWindow::statusText() const {
    QStringList l;
    for (const QLabel* label : m_status) l << label->text();
    return l.join(u'　');
}

void MainWindow::runEntry(int i) {
    if (i < 0 || i >= entries().size()) return;
    m_context.sink = m_sink;
    VqLogin& login = *m_login;
    try {
        switch (i) {
            case 0:
                m_qc->InitNew(login);
                break;
            case 1:
                m_qc->InitFcsp(login, 0);
                break;
            case 2:
                m_qc->InitFcsp(login, 1);
                break;
            case 3:
                m_qc->InitQcSum(login, m_common);
                break;
            case 4:
                m_qc->InitCompareKc(login, m_common);
                break;
            default:
                break;
        }
    } catch (const DbError& e) {
        m_sink->critical(e.message());
    } catch (const std::exception& e) {
        m_sink->critical(QString::fromLocal8Bit(e.what()));
    }
}

void MainWindow::showAuditLog() {
    m_context.sink = m_sink;
    try {
        openContext(m_context, *m_login, false, ConnectionMode::Reconnect);
        {
            UiPickers pickers(this);
            // The trail's values under the captions of the grids they were typed in.
            const TrailCaptions captions{opening::captionsByStoredColumn(),
                                         dispatched::captionsByStoredColumn()};
            runAuditLog(m_context, pickers, captions, this);
        }
        closeContext(m_context);
    } catch (const DbError& e) {
        closeContext(m_context);
        m_sink->critical(e.message());
    }
}

void MainWindow::about() {
    QMessageBox box(QMessageBox::Information, QStringLiteral("关于 QCInput"),
                    QStringLiteral("QCInput 存货核算 — 期初余额\n版本 %1\n\n"
                                   "录入与记账存货期初余额、发出商品期初，"
                                   "期初汇总，以及库存与存货期初对账。")
                        .arg(QCoreApplication::applicationVersion()),
                    QMessageBox::Ok, this);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.setIconPixmap(QcToolbar::standardIcon(QStringLiteral("Opening")).pixmap(48, 48));
    box.exec();
}

void MainWindow::heartbeat() {
    // Long work in a window paints between its steps; the claims are refreshed
    // after it, not against its locks.
    if (StepProgress::running()) return;
    try {
        m_login->heartbeat();
    } catch (const DbError& e) {
        statusBar()->showMessage(QStringLiteral("无法刷新任务登记：%1").arg(e.message()), kHeartbeatMs);
    }
}

}  // namespace qc
