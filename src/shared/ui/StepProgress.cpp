#include "shared/ui/StepProgress.h"

#include <QApplication>
#include <QAtomicInteger>
#include <QWidget>

namespace qc {

namespace {
QAtomicInteger<int> g_delayMs{400};
int g_running = 0;
StepProgress* g_innermost = nullptr;  // only the innermost work shows its progress
}  // namespace

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
    if (!m_window) return;
    // What the user gave the window while the work ran is let go on the window
    // still disabled, so that none of it runs a command again.
    QApplication::processEvents();
    m_window->setEnabled(true);
    if (m_focused) m_focused->setFocus(Qt::OtherFocusReason);
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
    // The work is named by its first step (its later ones may be shared).
    if (m_steps == 1) m_operation = stepOperation(name);
    if (m_steps == 1 && m_parent) {
        // The window takes no click or key while its work runs.
        m_window = m_parent->window();
        m_focused = QApplication::focusWidget();
        m_window->setEnabled(false);
    }
    if (!m_dialog) {
        if (m_timer.elapsed() < g_delayMs.loadRelaxed()) return;
        // A window of its own (a child of the disabled window would be disabled
        // too), over the middle of the window whose work it shows.
        m_dialog = std::make_unique<QProgressDialog>();
        m_dialog->setWindowTitle(QStringLiteral("请稍候"));
        m_dialog->setCancelButton(nullptr);
        m_dialog->setRange(0, 0);  // the number of steps is not known beforehand
        m_dialog->setMinimumDuration(0);
        m_dialog->setAccessibleName(QStringLiteral("进度"));
        if (m_window) m_dialog->move(m_window->geometry().center() - m_dialog->rect().center());
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
