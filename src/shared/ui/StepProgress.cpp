#include "shared/ui/StepProgress.h"

#include <QApplication>
#include <QAtomicInteger>
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
}  // namespace

// Drops the clicks and keys given to the window whose work runs; a message box
// or question the work shows is a window of its own and takes them.
class StepProgress::InputGuard : public QObject {
  public:
    explicit InputGuard(QWidget* window) : m_window(window) { qApp->installEventFilter(this); }
    ~InputGuard() override { qApp->removeEventFilter(this); }
    InputGuard(const InputGuard&) = delete;
    InputGuard& operator=(const InputGuard&) = delete;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!isUserInput(event->type()) || !m_window) return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        return widget && widget->window() == m_window;
    }

  private:
    QPointer<QWidget> m_window;
};

StepProgress::StepProgress(QWidget* parent)
    : m_parent(parent), m_outer(g_innermost), m_listener([this](const QString& name) { step(name); }) {
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
        if (m_parent) m_guard = std::make_unique<InputGuard>(m_parent->window());
    }
    if (!m_dialog) {
        if (m_timer.elapsed() < g_delayMs.loadRelaxed()) return;
        m_dialog = std::make_unique<QProgressDialog>(m_parent.data());
        m_dialog->setWindowTitle(QStringLiteral("请稍候"));
        m_dialog->setCancelButton(nullptr);
        m_dialog->setRange(0, 0);  // the number of steps is not known beforehand
        m_dialog->setMinimumDuration(0);
        m_dialog->setAccessibleName(QStringLiteral("进度"));
        m_dialog->show();
    }
    m_dialog->setLabelText(QStringLiteral("正在%1：已完成 %2 步，用时 %3 秒")
                               .arg(m_operation)
                               .arg(m_steps)
                               .arg(m_timer.elapsed() / 1000));
    // Painted, but no input reaches a window while the work runs.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace qc
