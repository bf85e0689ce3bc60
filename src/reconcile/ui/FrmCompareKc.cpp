#include "reconcile/ui/FrmCompareKc.h"

#include "reconcile/ui/frmCompareKcCon.h"
#include "session/LoginContext.h"
#include "shared/Layouts.h"
#include "shared/OutputCommands.h"
#include "shared/grid/GridModel.h"
#include "shared/ui/HelpPage.h"

#include <QCloseEvent>

namespace qc::reconcile {

FrmCompareKc::FrmCompareKc(LoginContext& ctx, Pickers& pickers, Reconciliation& reconciliation,
                           QWidget* parent)
    : ResultWindow(ctx, pickers, reconciliation.columns(), parent) {
    const QString caption = QStringLiteral("库存与存货期初对账表");
    const QList<ToolButton> buttons = queryButtons(QStringLiteral("显示明细"));
    setUp(QStringLiteral("FrmCompareKc"), caption, caption, buttons,
          {QStringLiteral("Output"), QStringLiteral("Exit")}, nullptr);
    model().setDataRows(reconciliation.rows());
    setColumnWidths(1200);
    resize(1100, 560);
}

void FrmCompareKc::runCommand(const QString& key) {
    if (key == u"Print" || key == u"Preview" || key == u"Output") {
        outputCommand(key);
    } else if (key == u"seek") {
        m_seekAgain = true;
        close();
    } else if (key == u"Help") {
        showHelpPage(
            this, windowTitle(),
            QStringLiteral("<h3>库存与存货期初对账表</h3>"
                           "<p>表中列出库存管理的期初结存与存货核算的期初余额不一致的仓库和存货："
                           "库存数量按入库为正、出库为负合计，存货数量不含暂估行，差异为存货减库存。</p>"
                           "<ul><li>Alt+Q 查询（重新选择条件），Alt+E 退出，F1 帮助。</li></ul>"),
            m_ctx.gHelpFile);
    } else if (key == u"Exit") {
        close();
    }
}

void FrmCompareKc::closeEvent(QCloseEvent* event) {
    try {
        SaveColumnWidths(m_ctx, kLayoutCompareInfo, columnWidths());
    } catch (const DbError& e) {
        sinkOf(m_ctx).critical(e.message());
    }
    ResultWindow::closeEvent(event);
}

void runReconcile(LoginContext& ctx, Pickers& pickers, QWidget* parent) {
    Reconciliation reconciliation(ctx);
    for (;;) {
        // A fresh dialog each time: 查询 starts the conditions anew.
        frmCompareKcCon conditions(ctx, pickers, reconciliation, parent);
        if (conditions.exec() != QDialog::Accepted) return;
        FrmCompareKc result(ctx, pickers, reconciliation, parent);
        result.exec();
        if (!result.seekAgain()) return;
    }
}

}  // namespace qc::reconcile
