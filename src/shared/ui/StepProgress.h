#pragma once

// Long work in a window: while it lives, the statement groups the work announces
// drive a progress dialog (the operation, how many steps are done, how long it
// has taken), shown once the work has run a moment, and the windows are painted
// between steps. Clicks and keys given to the window while the work runs are
// dropped, so that the same command is not started twice; message boxes the
// work shows take theirs.
//
// The dialog's 取消 (or Esc) stops the work at its next step for as long as the
// work has committed nothing: the step throws a DbError of kind Cancelled, and
// the unit of work it runs in rolls back. A statement that runs long is painted
// over and stopped the same way while it runs (SQLite from inside the
// statement, a server by cancelling it). From the COMMIT of its first unit on,
// the work can no longer be stopped half-way, and the button says so.

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
    bool pulse();
    void showProgress();
    void showDialog();
    void requestCancel();

    QPointer<QWidget> m_parent;
    StepProgress* m_outer;
    class InputGuard;
    std::unique_ptr<InputGuard> m_guard;  // from the first step to the end
    std::unique_ptr<QProgressDialog> m_dialog;
    QElapsedTimer m_timer;
    int m_steps = 0;
    QString m_operation;
    bool m_cancelRequested = false;
    bool m_committing = false;  // from the first unit's COMMIT on, nothing can be stopped
    StepListener m_listener;
    StatementPulse m_pulse;
};

}  // namespace qc
