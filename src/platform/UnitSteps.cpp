#include "platform/UnitSteps.h"

namespace qc {

std::function<void(const QString& step)>& unitStepHook() {
    static std::function<void(const QString& step)> hook;
    return hook;
}

void announceStep(const QString& unit, const QString& step) {
    const auto& hook = unitStepHook();
    if (hook) hook(unit + u'/' + step);
}

}  // namespace qc
