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
// The last step this thread announced ("<unit>/<step>").
QString lastAnnouncedStep();

// The operation a step belongs to, as the user names it ("记账", "取数", …).
QString stepOperation(const QString& step);

// The message of work the user stopped before it kept anything
// ("已取消记账，数据没有任何改动。").
QString cancelledMessage(const QString& operation);

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

// While one statement runs long on this thread, the long work listening here is
// given a pulse about every 50 ms: it paints its progress from there and answers
// whether the user has asked to stop. SQLite gives the pulse from inside the
// statement; a server's statement is waited for in small steps that give it.
class StatementPulse {
  public:
    explicit StatementPulse(std::function<bool()> pulse);
    ~StatementPulse();
    StatementPulse(const StatementPulse&) = delete;
    StatementPulse& operator=(const StatementPulse&) = delete;

  private:
    std::function<bool()> m_previous;
};

// Marks the statement this thread runs while it lives as one that may be
// stopped half-way: one that writes, or computes the result it then gives. The
// rows of a result already computed are read to their end, since a read cut
// short would look complete.
class StoppableStatement {
  public:
    StoppableStatement();
    ~StoppableStatement();
    StoppableStatement(const StoppableStatement&) = delete;
    StoppableStatement& operator=(const StoppableStatement&) = delete;

  private:
    bool m_previous;
};

// Whether long work on this thread listens for pulses now (and is not inside
// one already).
bool statementPulseListening();

// Called by the database while a statement runs (often; cheap when no pulse is
// due): gives the pulse when one is due and answers whether to stop the
// statement now. A stopped statement fails as Cancelled.
bool pulseRunningStatement();

}  // namespace qc
