#include "dispatched/ui/frmQcFcspCon.h"

#include "dispatched/DispatchedQuery.h"
#include "shared/ui/ConditionWidgets.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace qc::dispatched {

frmQcFcspCon::frmQcFcspCon(LoginContext& ctx, Pickers& pickers, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_conditions(ctx, pickers) {
    setObjectName(QStringLiteral("frmQcFcspCon"));
    setWindowTitle(QStringLiteral("期初发出商品查询"));
    m_widgets = new ConditionWidgets(m_conditions.fields(), this);

    customerClassEdit =
        ConditionWidgets::codeEdit(this, QStringLiteral("customerClassEdit"), QStringLiteral("客户分类"));
    customerClassButton = ConditionWidgets::referenceButton(this, QStringLiteral("customerClassButton"));
    customerFromEdit =
        ConditionWidgets::codeEdit(this, QStringLiteral("customerFromEdit"), QStringLiteral("客户名称 起"));
    customerFromButton = ConditionWidgets::referenceButton(this, QStringLiteral("customerFromButton"));
    customerToEdit =
        ConditionWidgets::codeEdit(this, QStringLiteral("customerToEdit"), QStringLiteral("客户名称 止"));
    customerToButton = ConditionWidgets::referenceButton(this, QStringLiteral("customerToButton"));
    DispatchedConditions& c = m_conditions;
    m_widgets->addCodeBox(
        customerClassEdit, customerClassButton, &c.customerClass, [&c] { c.pickCustomerClass(); },
        [&c] { return c.leaveCustomerClass(); });
    m_widgets->addCodeBox(
        customerFromEdit, customerFromButton, &c.customerFrom, [&c] { c.pickCustomerFrom(); },
        [&c] { return c.leaveCustomerFrom(); });
    m_widgets->addCodeBox(
        customerToEdit, customerToButton, &c.customerTo, [&c] { c.pickCustomerTo(); },
        [&c] { return c.leaveCustomerTo(); });

    auto* itemFrame = new QGroupBox(QStringLiteral("存货"), this);
    itemFrame->setObjectName(QStringLiteral("itemFrame"));
    auto* items = new QVBoxLayout(itemFrame);
    items->addLayout(m_widgets->classRow());
    items->addLayout(m_widgets->rangeRow());

    auto* customerFrame = new QGroupBox(QStringLiteral("客户"), this);
    customerFrame->setObjectName(QStringLiteral("customerFrame"));
    auto* customers = new QVBoxLayout(customerFrame);
    customers->addLayout(ConditionWidgets::codeRow(this, QStringLiteral("customerClassLabel"),
                                                   QStringLiteral("客户分类："), customerClassEdit,
                                                   customerClassButton));
    customers->addLayout(ConditionWidgets::codeRangeRow(
        this, QStringLiteral("customerLabel"), QStringLiteral("客户名称："), customerFromEdit,
        customerFromButton, customerToEdit, customerToButton));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_widgets->warehouseFrame(), 1);
    layout->addWidget(itemFrame);
    layout->addWidget(customerFrame);
    layout->addLayout(m_widgets->buttonRow());

    // Tab goes down the dialog as it reads: warehouses, inventory, customers.
    const QList<QWidget*> chain{
        m_widgets->warehouseList, m_widgets->itemClassEdit, m_widgets->itemFromEdit, m_widgets->itemToEdit,
        customerClassEdit,        customerFromEdit,         customerToEdit};
    for (qsizetype i = 1; i < chain.size(); ++i) setTabOrder(chain.at(i - 1), chain.at(i));

    connect(m_widgets->showButton, &QPushButton::clicked, this, &frmQcFcspCon::display);
    m_widgets->load();
    resize(520, 440);
}

void frmQcFcspCon::Seeks(BusinessType type, SqlFragment& query, bool& accepted) {
    m_type = type;
    m_accepted = false;
    m_widgets->warehouseList->setFocus();
    exec();
    accepted = m_accepted;
    if (m_accepted) query = m_query;
}

void frmQcFcspCon::display() {
    if (!m_widgets->readyToDisplay()) return;
    const std::optional<DispatchedFilter> filter = m_conditions.Display();
    if (!filter) return;
    m_query = dispatchedQuery(m_ctx, m_type, *filter);
    m_accepted = true;
    accept();
}

}  // namespace qc::dispatched
