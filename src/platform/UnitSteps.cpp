#include "platform/UnitSteps.h"

#include <chrono>
#include <utility>

namespace qc {

std::function<void(const QString& step)>& unitStepHook() {
    static std::function<void(const QString& step)> hook;
    return hook;
}

namespace {
// Per thread: copies of a unit of work in other threads (logins at several desks
// at once) count their own.
thread_local quint64 t_announced = 0;
thread_local QString t_lastUnit;
thread_local QString t_lastStep;
thread_local std::function<bool()> t_pulse;
thread_local bool t_stoppable = false;
thread_local std::chrono::steady_clock::time_point t_lastPulse;
thread_local bool t_inPulse = false;
constexpr std::chrono::milliseconds kPulseEvery{50};
}  // namespace

quint64 stepsAnnounced() {
    return t_announced;
}

QString lastAnnouncedUnit() {
    return t_lastUnit;
}

QString lastAnnouncedStep() {
    return t_lastStep;
}

QString cancelledMessage(const QString& operation) {
    return QStringLiteral("已取消%1，数据没有任何改动。").arg(operation);
}

void announceStep(const QString& unit, const QString& step) {
    ++t_announced;
    t_lastUnit = unit;
    t_lastStep = unit + u'/' + step;
    const auto& hook = unitStepHook();
    if (hook) hook(t_lastStep);
}

QString stepOperation(const QString& step) {
    const QString unit = step.section(u'/', 0, 0);
    if (unit == u"posting")
        return step.section(u'/', 1).startsWith(u"Cancel") ? QStringLiteral("恢复记账")
                                                           : QStringLiteral("记账");
    if (unit == u"fetch") return QStringLiteral("取数");
    if (unit == u"import") return QStringLiteral("导入");
    if (unit == u"dispatched-fetch") return QStringLiteral("发出商品取数");
    if (unit == u"dispatched-clear") return QStringLiteral("清空发出商品");
    if (unit == u"summary") return QStringLiteral("汇总");
    if (unit == u"reconcile") return QStringLiteral("对账");
    return QStringLiteral("处理");
}

StepListener::StepListener(std::function<void(const QString& step)> listen) : m_previous(unitStepHook()) {
    unitStepHook() = [previous = m_previous, listen = std::move(listen)](const QString& step) {
        if (previous) previous(step);
        listen(step);
    };
}

StepListener::~StepListener() {
    unitStepHook() = m_previous;
}

StatementPulse::StatementPulse(std::function<bool()> pulse)
    : m_previous(std::exchange(t_pulse, std::move(pulse))) {
    t_lastPulse = std::chrono::steady_clock::now();
}

StatementPulse::~StatementPulse() {
    t_pulse = std::move(m_previous);
}

StoppableStatement::StoppableStatement() : m_previous(std::exchange(t_stoppable, true)) {}

StoppableStatement::~StoppableStatement() {
    t_stoppable = m_previous;
}

bool statementPulseListening() {
    return t_pulse && !t_inPulse;
}

bool pulseRunningStatement() {
    if (!t_pulse || t_inPulse) return false;
    const auto now = std::chrono::steady_clock::now();
    if (now - t_lastPulse < kPulseEvery) return false;
    // The pulse paints, and a statement it causes is not given one of its own.
    const bool stoppable = t_stoppable;
    t_inPulse = true;
    bool stop = true;
    // Nothing may be thrown through the database's own frames: a pulse that
    // fails stops the statement instead.
    try {
        stop = t_pulse();
    } catch (...) {
        stop = true;
    }
    t_inPulse = false;
    t_lastPulse = std::chrono::steady_clock::now();
    return stop && stoppable;
}

}  // namespace qc
