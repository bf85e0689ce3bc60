#include "summary/ui/FrmQcSumCon.h"

#include "shared/ui/ConditionWidgets.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace qc::summary {

FrmQcSumCon::FrmQcSumCon(LoginContext& ctx, Pickers& pickers, SummaryKind kind, QWidget* parent)
    : QDialog(parent),
      m_kind(kind),
      m_fields(ctx, pickers,
               ConditionOptions{
                   .warehouses = true, .valuationInEntries = kind == SummaryKind::Opening, .grades = true}) {
    const bool opening = kind == SummaryKind::Opening;
    setObjectName(opening ? QStringLiteral("FrmQcSumCon") : QStringLiteral("frmQCOutSumCon"));
    setWindowTitle(opening ? QStringLiteral("期初汇总条件选择") : QStringLiteral("期初发出商品汇总查询"));
    m_widgets = new ConditionWidgets(m_fields, this);

    auto* items = new QGroupBox(QStringLiteral("存货"), this);
    items->setObjectName(QStringLiteral("itemFrame"));
    auto* itemRows = new QVBoxLayout(items);
    itemRows->addLayout(m_widgets->classRow());
    itemRows->addLayout(m_widgets->rangeRow());
    itemRows->addLayout(m_widgets->gradeRow());

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_widgets->warehouseFrame(), 1);
    layout->addWidget(items);
    layout->addLayout(m_widgets->buttonRow());

    const QList<QWidget*> chain{m_widgets->warehouseList, m_widgets->itemClassEdit, m_widgets->itemFromEdit,
                                m_widgets->itemToEdit,    m_widgets->gradeFromList, m_widgets->gradeToList};
    for (qsizetype i = 1; i < chain.size(); ++i) setTabOrder(chain.at(i - 1), chain.at(i));

    connect(m_widgets->showButton, &QPushButton::clicked, this, &FrmQcSumCon::display);
    m_widgets->load();
    resize(520, 440);
}

void FrmQcSumCon::showGrades() {
    for (QComboBox* c : {m_widgets->gradeFromList, m_widgets->gradeToList}) {
        const QSignalBlocker block(c);
        c->setCurrentIndex(c == m_widgets->gradeFromList ? m_fields.invGradeFrom : m_fields.invGradeTo);
    }
}

void FrmQcSumCon::display() {
    if (!m_widgets->readyToDisplay()) return;
    SummaryRequest r;
    for (const WarehouseEntry& w : m_fields.warehouses)
        if (w.selected) r.warehouses << w;
    // The boxes show names; their tags hold the codes.
    r.itemClass = ConditionFields::CodeOf(m_fields.itemClass);
    r.itemFrom = ConditionFields::CodeOf(m_fields.itemFrom);
    r.itemTo = ConditionFields::CodeOf(m_fields.itemTo);
    m_fields.SelectedWarehouseCodes();  // strWhCode: the last of them
    m_request = r;
    accept();
}

}  // namespace qc::summary
