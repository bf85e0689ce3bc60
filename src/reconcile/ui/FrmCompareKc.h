#pragma once

#include "host/Pickers.h"
#include "reconcile/Reconciliation.h"
#include "shared/ui/ResultWindow.h"

namespace qc::reconcile {

// 库存与存货期初对账表: the groups whose stock and accounting openings differ. 查询
// goes back to a fresh condition dialog; the window then closes with
// seekAgain() true.
class FrmCompareKc : public ResultWindow {
    Q_OBJECT
  public:
    FrmCompareKc(LoginContext& ctx, Pickers& pickers, Reconciliation& reconciliation,
                 QWidget* parent = nullptr);

    [[nodiscard]] bool seekAgain() const { return m_seekAgain; }
    void runCommand(const QString& key) override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    bool m_seekAgain = false;
};

// The reconciliation as the user works it: the condition dialog (which says
// "对账成功！" when nothing differs), the result window, and a fresh dialog again on
// 查询, until the dialog is cancelled or the result window closed.
void runReconcile(LoginContext& ctx, Pickers& pickers, QWidget* parent);

}  // namespace qc::reconcile
