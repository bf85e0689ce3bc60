#pragma once

#include "dispatched/DispatchedConditions.h"

#include <QDialog>

class QLineEdit;
class QToolButton;

namespace qc {
class ConditionWidgets;
}  // namespace qc

namespace qc::dispatched {

// 期初发出商品查询: the query dialog of the dispatched-goods window. The warehouses,
// the inventory class and range, and the customer class and range; 确定 hands the
// window the query of its grid. The dialog lives as long as the window and keeps
// its choices between uses.
class frmQcFcspCon : public QDialog {
    Q_OBJECT
  public:
    frmQcFcspCon(LoginContext& ctx, Pickers& pickers, QWidget* parent = nullptr);

    // Shows the dialog modally for the business type; accepted tells whether the
    // user displayed, and then query holds the grid's statement (every value bound).
    void Seeks(BusinessType type, SqlFragment& query, bool& accepted);

    [[nodiscard]] DispatchedConditions& conditions() { return m_conditions; }
    [[nodiscard]] ConditionWidgets& widgets() { return *m_widgets; }

    QLineEdit* customerClassEdit = nullptr;
    QToolButton* customerClassButton = nullptr;
    QLineEdit* customerFromEdit = nullptr;
    QToolButton* customerFromButton = nullptr;
    QLineEdit* customerToEdit = nullptr;
    QToolButton* customerToButton = nullptr;

  private:
    void display();

    LoginContext& m_ctx;
    DispatchedConditions m_conditions;
    ConditionWidgets* m_widgets = nullptr;
    BusinessType m_type = BusinessType::Instalment;
    SqlFragment m_query;
    bool m_accepted = false;
};

}  // namespace qc::dispatched
