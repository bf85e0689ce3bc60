#include "reconcile/ui/frmCompareKcCon.h"

#include "session/LoginContext.h"
#include "shared/ui/ConditionWidgets.h"
#include "shared/ui/StepProgress.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace qc::reconcile {

frmCompareKcCon::frmCompareKcCon(LoginContext& ctx, Pickers& pickers, Reconciliation& reconciliation,
                                 QWidget* parent)
    : QDialog(parent),
      m_ctx(ctx),
      m_reconciliation(reconciliation),
      m_fields(ctx, pickers, ConditionOptions{.warehouses = true}) {
    setObjectName(QStringLiteral("frmCompareKcCon"));
    setWindowTitle(QStringLiteral("库存与存货期初对账查询条件"));
    m_widgets = new ConditionWidgets(m_fields, this);

    // The named free items, every one selected.
    auto* frees = new QGroupBox(QStringLiteral("请选择自由项："), this);
    frees->setObjectName(QStringLiteral("freeItemFrame"));
    freeItemList = new QListWidget(frees);
    freeItemList->setObjectName(QStringLiteral("freeItemList"));
    freeItemList->setAccessibleName(QStringLiteral("请选择自由项"));
    freeItemList->setSelectionMode(QAbstractItemView::MultiSelection);
    freeItemList->setMaximumHeight(110);
    for (const auto& [n, name] : reconciliation.namedFreeItems()) {
        auto* item = new QListWidgetItem(name, freeItemList);
        item->setData(Qt::UserRole, n);
        item->setSelected(true);
    }
    selectAllFreeButton = new QPushButton(QStringLiteral("全选(&S)"), frees);
    selectAllFreeButton->setObjectName(QStringLiteral("selectAllFreeButton"));
    selectAllFreeButton->setAutoDefault(false);
    clearFreeButton = new QPushButton(QStringLiteral("全消(&D)"), frees);
    clearFreeButton->setObjectName(QStringLiteral("clearFreeButton"));
    clearFreeButton->setAutoDefault(false);
    connect(selectAllFreeButton, &QPushButton::clicked, freeItemList, &QListWidget::selectAll);
    connect(clearFreeButton, &QPushButton::clicked, freeItemList, &QListWidget::clearSelection);
    auto* freeButtons = new QVBoxLayout;
    freeButtons->addWidget(selectAllFreeButton);
    freeButtons->addWidget(clearFreeButton);
    freeButtons->addStretch(1);
    auto* freeRow = new QHBoxLayout(frees);
    freeRow->addWidget(freeItemList, 1);
    freeRow->addLayout(freeButtons);

    auto* items = new QGroupBox(QStringLiteral("存货"), this);
    items->setObjectName(QStringLiteral("itemFrame"));
    auto* itemRows = new QVBoxLayout(items);
    itemRows->addLayout(m_widgets->classRow());
    itemRows->addLayout(m_widgets->rangeRow());

    quantityCheck = new QCheckBox(QStringLiteral("数量检查(&Q)"), this);
    quantityCheck->setObjectName(QStringLiteral("quantityCheck"));
    quantityCheck->setChecked(true);
    amountCheck = new QCheckBox(QStringLiteral("金额检查(&M)"), this);
    amountCheck->setObjectName(QStringLiteral("amountCheck"));
    auto* checks = new QHBoxLayout;
    checks->addWidget(quantityCheck);
    checks->addWidget(amountCheck);
    checks->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_widgets->warehouseFrame(), 1);
    layout->addWidget(items);
    layout->addWidget(frees);
    layout->addLayout(checks);
    layout->addLayout(m_widgets->buttonRow());

    const QList<QWidget*> chain{m_widgets->warehouseList,
                                m_widgets->itemClassEdit,
                                m_widgets->itemFromEdit,
                                m_widgets->itemToEdit,
                                freeItemList,
                                quantityCheck,
                                amountCheck};
    for (qsizetype i = 1; i < chain.size(); ++i) setTabOrder(chain.at(i - 1), chain.at(i));

    connect(m_widgets->showButton, &QPushButton::clicked, this, &frmCompareKcCon::display);
    m_widgets->load();
    resize(520, 520);
}

ReconcileRequest frmCompareKcCon::request() const {
    ReconcileRequest r;
    for (const WarehouseEntry& w : m_fields.warehouses)
        if (w.selected) r.warehouses << w.code;
    r.itemClass = ConditionFields::CodeOf(m_fields.itemClass);
    r.itemFrom = ConditionFields::CodeOf(m_fields.itemFrom);
    r.itemTo = ConditionFields::CodeOf(m_fields.itemTo);
    for (int i = 0; i < freeItemList->count(); ++i)
        if (freeItemList->item(i)->isSelected())
            r.freeItems << freeItemList->item(i)->data(Qt::UserRole).toInt();
    r.quantities = quantityCheck->isChecked();
    r.amounts = amountCheck->isChecked();
    return r;
}

void frmCompareKcCon::display() {
    if (!m_widgets->readyToDisplay()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        const StepProgress progress(this);
        m_reconciliation.Compute(request());
    } catch (const DbError& e) {
        QApplication::restoreOverrideCursor();
        sinkOf(m_ctx).workStopped(e);
        return;
    }
    const bool differs = !m_reconciliation.rows().isEmpty();
    QApplication::restoreOverrideCursor();
    if (!differs) {
        sinkOf(m_ctx).exclamation(QStringLiteral("对账成功！"));
        return;
    }
    accept();
}

}  // namespace qc::reconcile
