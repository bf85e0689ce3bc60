#include "dispatched/DispatchedConditions.h"

#include "session/LoginContext.h"
#include "shared/ConditionText.h"

namespace qc::dispatched {

DispatchedConditions::DispatchedConditions(LoginContext& ctx, Pickers& pickers)
    : m_ctx(ctx), m_pickers(pickers), m_fields(ctx, pickers, ConditionOptions{.warehouses = true}) {}

void DispatchedConditions::Load() {
    m_fields.Load();
}

void DispatchedConditions::pickCustomerClass() {
    ShowReference(m_ctx, m_pickers, customerClass, kRefCustomerClass, QString());
}

void DispatchedConditions::pickCustomerFrom() {
    ShowReference(m_ctx, m_pickers, customerFrom, kRefCustomer, customerClass.tag);
}

void DispatchedConditions::pickCustomerTo() {
    ShowReference(m_ctx, m_pickers, customerTo, kRefCustomer, customerClass.tag);
}

bool DispatchedConditions::leaveCustomerClass() {
    customerClass.text = customerClass.text.trimmed();
    if (CheckCodeName(m_ctx, customerClass, QStringLiteral("cCCCode"), QStringLiteral("cCCName"),
                      QStringLiteral("CustomerClass")))
        return true;
    sinkOf(m_ctx).exclamation(QStringLiteral("客户分类输入不合法！"));
    customerClass = CodeBox{};
    return false;
}

bool DispatchedConditions::leaveCustomerFrom() {
    return leaveCustomerBound(customerFrom, QStringLiteral("客户上限输入不合法！"));
}

bool DispatchedConditions::leaveCustomerTo() {
    return leaveCustomerBound(customerTo, QStringLiteral("客户下限输入不合法！"));
}

bool DispatchedConditions::leaveCustomerBound(CodeBox& box, const QString& refusal) {
    box.text = box.text.trimmed();
    if (CheckCodeName(m_ctx, box, QStringLiteral("cCusCode"), QStringLiteral("cCusName"),
                      QStringLiteral("Customer"), QStringLiteral("cCCCode"), QStringLiteral("CustomerClass"),
                      customerClass.tag))
        return true;
    sinkOf(m_ctx).exclamation(refusal);
    return false;
}

std::optional<DispatchedFilter> DispatchedConditions::Display() {
    if (!m_fields.CheckWarehouseChosen()) return std::nullopt;
    DispatchedFilter f;
    f.warehouses = m_fields.SelectedWarehouseCodes();
    // The boxes show names; their tags hold the codes.
    f.itemClass = ConditionFields::CodeOf(m_fields.itemClass);
    f.itemFrom = ConditionFields::CodeOf(m_fields.itemFrom);
    f.itemTo = ConditionFields::CodeOf(m_fields.itemTo);
    f.customerClass = ConditionFields::CodeOf(customerClass);
    f.customerFrom = ConditionFields::CodeOf(customerFrom);
    f.customerTo = ConditionFields::CodeOf(customerTo);
    return f;
}

}  // namespace qc::dispatched
