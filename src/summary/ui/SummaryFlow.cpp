#include "summary/ui/SummaryFlow.h"

#include "session/LoginContext.h"
#include "shared/ui/StepProgress.h"
#include "summary/ui/FrmQcSumCon.h"
#include "summary/ui/FrmQcSumInfo.h"

#include <QApplication>

namespace qc::summary {

void runSummary(LoginContext& ctx, Pickers& pickers, SummaryKind kind, QWidget* parent) {
    FrmQcSumCon conditions(ctx, pickers, kind, parent);
    GradeSummary summary(ctx, kind);
    while (conditions.exec() == QDialog::Accepted) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        try {
            const StepProgress progress(&conditions);
            summary.Compute(conditions.request());
        } catch (const DbError& e) {
            QApplication::restoreOverrideCursor();
            sinkOf(ctx).workStopped(e);
            continue;
        }
        QApplication::restoreOverrideCursor();
        FrmQcSumInfo result(ctx, pickers, summary, conditions.fields(), parent);
        result.exec();
        if (!result.queryAgain()) break;
        conditions.showGrades();
    }
}

}  // namespace qc::summary
