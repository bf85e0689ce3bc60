#pragma once

#include <QString>

#include <functional>

namespace qc {

// Called with "<unit>/<step>" before each statement group of a unit of work runs.
// Tests install a hook that throws at a chosen step to prove that a failure
// anywhere leaves the database as it was; it is empty otherwise.
std::function<void(const QString& step)>& unitStepHook();
// Announces a statement group to the hook.
void announceStep(const QString& unit, const QString& step);

// How many steps this thread has announced, and the unit of the last one: a unit
// of work that announced steps announces its COMMIT as two more ("<unit>/commit"
// before it, "<unit>/committed" once the database has taken it), so that a crash
// can be placed on either side of it.
quint64 stepsAnnounced();
QString lastAnnouncedUnit();

// The operation a step belongs to, as the user names it ("记账", "取数", …).
QString stepOperation(const QString& step);

// Listens to the steps announced while it lives, after whatever listened before
// (a test's hook keeps its place and runs first), and restores that one when it
// goes.
class StepListener {
  public:
    explicit StepListener(std::function<void(const QString& step)> listen);
    ~StepListener();
    StepListener(const StepListener&) = delete;
    StepListener& operator=(const StepListener&) = delete;

  private:
    std::function<void(const QString& step)> m_previous;
};

}  // namespace qc
