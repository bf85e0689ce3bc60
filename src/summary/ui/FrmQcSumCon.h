#pragma once

#include "summary/GradeSummary.h"

#include <QDialog>

namespace qc {
class ConditionWidgets;
}  // namespace qc

namespace qc::summary {

// 期初汇总条件选择 (the opening summary) or 期初发出商品汇总查询 (the dispatched
// goods of one business type): the warehouses, the inventory class and range and
// the grade range of a summary. 确定 accepts with the request ready; the dialog
// keeps its choices between uses, and the result window moves its grade range.
class FrmQcSumCon : public QDialog {
    Q_OBJECT
  public:
    FrmQcSumCon(LoginContext& ctx, Pickers& pickers, SummaryKind kind, QWidget* parent = nullptr);

    [[nodiscard]] SummaryKind kind() const { return m_kind; }
    // What the user chose (after an accepted display).
    [[nodiscard]] const SummaryRequest& request() const { return m_request; }
    [[nodiscard]] ConditionFields& fields() { return m_fields; }
    [[nodiscard]] ConditionWidgets& widgets() { return *m_widgets; }
    // Shows the grade combos at the accepted indices again (after the result
    // window moved them).
    void showGrades();

  private:
    void display();

    SummaryKind m_kind;
    ConditionFields m_fields;
    ConditionWidgets* m_widgets = nullptr;
    SummaryRequest m_request;
};

}  // namespace qc::summary
