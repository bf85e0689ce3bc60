#pragma once

// Long work in a window: while it lives, the statement groups the work announces
// drive a progress dialog (the operation, how many steps are done, how long it
// has taken), shown once the work has run a moment, and the windows are painted
// between steps. The window is disabled while the work runs and what was given
// to it meanwhile is dropped, so that the same command is not started twice.

#include "platform/UnitSteps.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>

#include <memory>

class QWidget;

namespace qc {

class StepProgress {
  public:
    explicit StepProgress(QWidget* parent);
    ~StepProgress();
    StepProgress(const StepProgress&) = delete;
    StepProgress& operator=(const StepProgress&) = delete;

    // How long work runs before the dialog shows (tests set 0).
    static void setDelay(int milliseconds);
    // Whether some work is under way: timers that would touch the database
    // (the task heartbeat) wait until it ends rather than meet its locks.
    static bool running();

  private:
    void step(const QString& name);

    QPointer<QWidget> m_parent;
    StepProgress* m_outer;
    QPointer<QWidget> m_window, m_focused;  // disabled while the work runs, and its focus
    std::unique_ptr<QProgressDialog> m_dialog;
    QElapsedTimer m_timer;
    int m_steps = 0;
    QString m_operation;
    StepListener m_listener;
};

}  // namespace qc
