#include "shared/ui/StepProgress.h"

#include "platform/Database.h"

#include <QApplication>
#include <QAtomicInteger>
#include <QCloseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QWidget>

namespace qc {

namespace {
QAtomicInteger<int> g_delayMs{400};
int g_running = 0;
StepProgress* g_innermost = nullptr;  // only the innermost work shows its progress

bool isUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
            return true;
        default:
            return false;
    }
}
// Esc and the window's close button ask to cancel like the 取消 button does,
// rather than hiding the dialog while the work goes on.
class CancellableProgress : public QProgressDialog {
  public:
    using QProgressDialog::QProgressDialog;
    void reject() override { Q_EMIT canceled(); }

  protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        Q_EMIT canceled();
    }
};
}  // namespace

// Drops the clicks and keys given to the window whose work runs; a message box
// or question the work shows is a window of its own and takes them. Between
// steps only the progress dialog takes any: its 取消 is the one thing the user
// can do while the work runs.
class StepProgress::InputGuard : public QObject {
  public:
    explicit InputGuard(QWidget* window) : m_window(window) { qApp->installEventFilter(this); }
    ~InputGuard() override { qApp->removeEventFilter(this); }
    InputGuard(const InputGuard&) = delete;
    InputGuard& operator=(const InputGuard&) = delete;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!isUserInput(event->type())) return false;
        // A shortcut's event goes to the shortcut or action, which belongs to a widget.
        QObject* owner = watched;
        while (owner && !owner->isWidgetType()) owner = owner->parent();
        auto* widget = static_cast<QWidget*>(owner);
        if (!widget) return false;
        if (m_between) return widget->window() != m_between;
        return m_window && widget->window() == m_window;
    }
    // Lets events run with only the dialog taking input.
    void processEvents(QWidget* dialog) {
        m_between = dialog;
        QApplication::processEvents();
        m_between = nullptr;
    }

  private:
    QPointer<QWidget> m_window;
    QPointer<QWidget> m_between;
};

StepProgress::StepProgress(QWidget* parent)
    : m_parent(parent),
      m_outer(g_innermost),
      m_listener([this](const QString& name) { step(name); }),
      m_pulse([this] { return pulse(); }) {
    m_timer.start();
    ++g_running;
    g_innermost = this;
}

StepProgress::~StepProgress() {
    --g_running;
    g_innermost = m_outer;
    m_dialog.reset();
    if (!m_guard) return;
    // What the user gave the window while the work ran is let go now, and
    // dropped, so that none of it runs a command again.
    QApplication::processEvents();
    m_guard.reset();
}

void StepProgress::setDelay(int milliseconds) {
    g_delayMs.storeRelaxed(milliseconds);
}

bool StepProgress::running() {
    return g_running > 0;
}

void StepProgress::step(const QString& name) {
    if (g_innermost != this) return;
    ++m_steps;
    if (m_steps == 1) {
        // The work is named by its first step (its later ones may be shared).
        m_operation = stepOperation(name);
        m_guard = std::make_unique<InputGuard>(m_parent ? m_parent->window() : nullptr);
    }
    const QString stage = name.section(u'/', 1);
    // A unit announces its COMMIT while still open ("commit"): the last moment
    // a cancel rolls everything back. Once taken ("committed"), part of the
    // work is kept, and stopping later would leave it half-done.
    const bool lastChance = stage == u"commit";
    if (stage == u"committed") m_committing = true;
    showProgress();
    if (m_cancelRequested && !m_committing) {
        m_dialog->hide();
        throw DbError(cancelledMessage(m_operation), name, DbError::Kind::Cancelled);
    }
    // Past the last chance, the COMMIT runs: neither a click nor the statement's
    // pulse stops it any more.
    if (lastChance) m_committing = true;
    if (m_committing && m_dialog) {
        if (QPushButton* cancel = m_dialog->findChild<QPushButton*>()) {
            cancel->setEnabled(false);
            cancel->setText(QStringLiteral("正在保存，不能取消"));
        }
    }
}

bool StepProgress::pulse() {
    if (g_innermost != this || m_steps == 0) return false;
    showProgress();
    return m_cancelRequested && !m_committing;
}

void StepProgress::showProgress() {
    if (!m_dialog && m_timer.elapsed() >= g_delayMs.loadRelaxed()) showDialog();
    if (!m_dialog) return;
    m_dialog->setLabelText(QStringLiteral("正在%1：已完成 %2 步，用时 %3 秒")
                               .arg(m_operation)
                               .arg(m_steps)
                               .arg(m_timer.elapsed() / 1000));
    // Painted; while the work runs only the dialog's 取消 takes input.
    m_guard->processEvents(m_dialog.get());
}

void StepProgress::showDialog() {
    m_dialog = std::make_unique<CancellableProgress>(m_parent.data());
    m_dialog->setWindowTitle(QStringLiteral("请稍候"));
    m_dialog->setRange(0, 0);  // the number of steps is not known beforehand
    m_dialog->setMinimumDuration(0);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setAccessibleName(QStringLiteral("进度"));
    auto* cancel = new QPushButton(QStringLiteral("取消"), m_dialog.get());
    cancel->setAccessibleDescription(QStringLiteral("在保存之前停止，数据不作任何改动"));
    cancel->setToolTip(QStringLiteral("取消(Esc)"));
    m_dialog->setCancelButton(cancel);
    // The dialog's own cancel hides it at once; it stays up instead, saying it
    // is stopping, until the work reaches its next step and rolls back.
    QObject::disconnect(m_dialog.get(), &QProgressDialog::canceled, m_dialog.get(), &QProgressDialog::cancel);
    QObject::connect(m_dialog.get(), &QProgressDialog::canceled, m_dialog.get(), [this] { requestCancel(); });
    // Its Esc shortcut is put by one of its own: bound to the standard cancel
    // key, it can register Esc twice and then only reports it as ambiguous.
    qDeleteAll(m_dialog->findChildren<QShortcut*>());
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), m_dialog.get());
    QObject::connect(escape, &QShortcut::activated, m_dialog.get(), [this] { requestCancel(); });
    m_dialog->show();
    // The keyboard goes to the dialog: Esc or Space on 取消 stops the work.
    m_dialog->activateWindow();
    cancel->setFocus(Qt::OtherFocusReason);
}

void StepProgress::requestCancel() {
    if (m_committing || m_cancelRequested) return;
    m_cancelRequested = true;
    if (QPushButton* cancel = m_dialog->findChild<QPushButton*>()) {
        cancel->setEnabled(false);
        cancel->setText(QStringLiteral("正在取消……"));
    }
}

}  // namespace qc
