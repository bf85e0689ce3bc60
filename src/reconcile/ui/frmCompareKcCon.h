#pragma once

#include "reconcile/Reconciliation.h"
#include "shared/ConditionFields.h"

#include <QDialog>

class QCheckBox;
class QListWidget;
class QPushButton;

namespace qc {
class ConditionWidgets;
}  // namespace qc

namespace qc::reconcile {

// 库存与存货期初对账查询条件: the warehouses, the inventory class and range, the free
// items that split the groups and the checks of the reconciliation. 确定 compares:
// when something differs the dialog accepts (the result window shows it); when
// nothing does it says "对账成功！" and stays.
class frmCompareKcCon : public QDialog {
    Q_OBJECT
  public:
    frmCompareKcCon(LoginContext& ctx, Pickers& pickers, Reconciliation& reconciliation,
                    QWidget* parent = nullptr);

    [[nodiscard]] ConditionFields& fields() { return m_fields; }
    [[nodiscard]] ConditionWidgets& widgets() { return *m_widgets; }
    [[nodiscard]] ReconcileRequest request() const;

    QListWidget* freeItemList = nullptr;
    QPushButton* selectAllFreeButton = nullptr;
    QPushButton* clearFreeButton = nullptr;
    QCheckBox* quantityCheck = nullptr;
    QCheckBox* amountCheck = nullptr;

  private:
    void display();

    LoginContext& m_ctx;
    Reconciliation& m_reconciliation;
    ConditionFields m_fields;
    ConditionWidgets* m_widgets = nullptr;
};

}  // namespace qc::reconcile
