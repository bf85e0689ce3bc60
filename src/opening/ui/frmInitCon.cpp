#include "opening/ui/frmInitCon.h"

#include "shared/ConditionText.h"
#include "shared/ui/ConditionWidgets.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qc {

frmInitCon::frmInitCon(LoginContext& ctx, Pickers& pickers, QWidget* parent)
    : QDialog(parent), m_fields(ctx, pickers, ConditionOptions{}) {
    setObjectName(QStringLiteral("frmInitCon"));
    setWindowTitle(QStringLiteral("期初余额查询"));
    m_widgets = new ConditionWidgets(m_fields, this);

    auto* frame = new QGroupBox(QStringLiteral("存货范围"), this);
    frame->setObjectName(QStringLiteral("filterFrame"));
    frame->setLayout(m_widgets->rangeRow());

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(m_widgets->classRow());
    layout->addWidget(frame);
    layout->addLayout(m_widgets->buttonRow());

    connect(m_widgets->showButton, &QPushButton::clicked, this, &frmInitCon::display);
    // A pick is the code in force at once.
    connect(m_widgets, &ConditionWidgets::picked, this, [this](QLineEdit* box) {
        if (box == m_widgets->itemClassEdit) m_fields.strInvCCode = m_fields.itemClass.tag;
        if (box == m_widgets->itemFromEdit) m_fields.strInvCodeFrom = m_fields.itemFrom.tag;
        if (box == m_widgets->itemToEdit) m_fields.strInvCodeTo = m_fields.itemTo.tag;
    });
    m_widgets->load();
}

void frmInitCon::setStrInvCCode(const QString& code) {
    m_fields.strInvCCode = code;
    m_fields.itemClass.tag = code;
    m_fields.itemClass.text = m_fields.itemClass.text.trimmed();
    CheckCodeName(m_fields.context(), m_fields.itemClass, QStringLiteral("cInvCCode"),
                  QStringLiteral("cInvCName"), QStringLiteral("InventoryClass"));
    m_widgets->showBoxes();
}

void frmInitCon::setStrInvCodeFrom(const QString& code) {
    m_fields.strInvCodeFrom = code;
    m_fields.itemFrom.tag = code;
    if (m_fields.itemFrom.text.isEmpty()) m_fields.itemFrom.text = code;
    m_widgets->showBoxes();
}

void frmInitCon::setStrInvCodeTo(const QString& code) {
    m_fields.strInvCodeTo = code;
    m_fields.itemTo.tag = code;
    if (m_fields.itemTo.text.isEmpty()) m_fields.itemTo.text = code;
    m_widgets->showBoxes();
}

bool frmInitCon::run() {
    m_fields.blnOk = false;
    m_widgets->itemClassEdit->setFocus();
    exec();
    return m_fields.blnOk;
}

void frmInitCon::display() {
    if (!m_widgets->readyToDisplay()) return;
    m_fields.strInvCCode = m_fields.itemClass.tag;
    m_fields.strInvCodeFrom = m_fields.itemFrom.tag;
    m_fields.strInvCodeTo = m_fields.itemTo.tag;
    m_fields.blnOk = true;
    accept();
}

void frmInitCon::reject() {
    // Cancelled: what was typed is dropped, as if the dialog were opened afresh.
    m_fields.Cancel();
    m_fields.itemClass = CodeBox{};
    m_fields.itemFrom = CodeBox{};
    m_fields.itemTo = CodeBox{};
    m_widgets->showBoxes();
    QDialog::reject();
}

}  // namespace qc
