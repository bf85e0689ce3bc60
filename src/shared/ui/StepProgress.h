#pragma once

// Long work in a window: while it lives, the statement groups the work announces
// drive a progress dialog (the operation, how many steps are done, how long it
// has taken), shown once the work has run a moment, and the windows are painted
// between steps. Clicks and keys given to the window while the work runs are
// dropped, so that the same command is not started twice; message boxes the
// work shows take theirs.

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
    class InputGuard;
    std::unique_ptr<InputGuard> m_guard;  // from the first step to the end
    std::unique_ptr<QProgressDialog> m_dialog;
    QElapsedTimer m_timer;
    int m_steps = 0;
    QString m_operation;
    StepListener m_listener;
};

}  // namespace qc
