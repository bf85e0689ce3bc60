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

}  // namespace qc
