#pragma once

// The fields of the dispatched-goods query dialog (期初发出商品查询) without
// widgets: the condition fields every dialog shares (warehouses, inventory class
// and range) and the customer class and range, with their references, their
// checks on leaving and the filter the dialog hands the window.

#include "dispatched/DispatchedQuery.h"
#include "shared/ConditionFields.h"
#include "shared/Reference.h"

#include <optional>

namespace qc::dispatched {

class DispatchedConditions {
  public:
    DispatchedConditions(LoginContext& ctx, Pickers& pickers);

    // The shared opening steps: the permitted warehouses, every one selected.
    void Load();
    [[nodiscard]] ConditionFields& fields() { return m_fields; }

    CodeBox customerClass, customerFrom, customerTo;
    // The reference buttons; the customers are restricted to the class in the
    // class box's tag.
    void pickCustomerClass();
    void pickCustomerFrom();
    void pickCustomerTo();
    // Leaving a box (the widget layer skips it towards the cancel button, and for
    // the class box towards its own button). False: refused with its message.
    bool leaveCustomerClass();
    bool leaveCustomerFrom();
    bool leaveCustomerTo();

    // 确定: nothing (with "必须至少选择一个仓库！") when no warehouse is selected,
    // otherwise the filter of the boxes by their codes.
    std::optional<DispatchedFilter> Display();

  private:
    bool leaveCustomerBound(CodeBox& box, const QString& refusal);

    LoginContext& m_ctx;
    Pickers& m_pickers;
    ConditionFields m_fields;
};

}  // namespace qc::dispatched
