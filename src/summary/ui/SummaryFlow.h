#pragma once

#include "summary/GradeSummary.h"

class QWidget;

namespace qc::summary {

// A summary as the user works it: the condition dialog, the computation (with its
// error shown when it fails, the dialog then open again), the result window, and
// back to the dialog with its choices on 查询, until the dialog is cancelled or the
// result window closed. `parent` is the window the dialogs stand over.
void runSummary(LoginContext& ctx, Pickers& pickers, SummaryKind kind, QWidget* parent);

}  // namespace qc::summary
