#include "platform/UnitSteps.h"

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
}  // namespace

quint64 stepsAnnounced() {
    return t_announced;
}

QString lastAnnouncedUnit() {
    return t_lastUnit;
}

void announceStep(const QString& unit, const QString& step) {
    ++t_announced;
    t_lastUnit = unit;
    const auto& hook = unitStepHook();
    if (hook) hook(unit + u'/' + step);
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

}  // namespace qc
