#include "shared/ui/frmInitFind.h"

#include "session/LoginContext.h"
#include "shared/ConditionFields.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace qc {

frmInitFind::frmInitFind(LoginContext& ctx, Pickers& pickers, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_pickers(pickers) {
    setObjectName(QStringLiteral("frmInitFind"));
    setWindowTitle(QStringLiteral("定位"));

    auto* label = new QLabel(QStringLiteral("存货："), this);
    label->setObjectName(QStringLiteral("itemLabel"));
    itemEdit = new QLineEdit(this);
    itemEdit->setObjectName(QStringLiteral("itemEdit"));
    label->setBuddy(itemEdit);
    itemEdit->setAccessibleName(QStringLiteral("存货"));
    itemEdit->installEventFilter(this);
    itemButton = new QToolButton(this);
    itemButton->setObjectName(QStringLiteral("itemButton"));
    itemButton->setText(QStringLiteral("…"));
    itemButton->setToolTip(QStringLiteral("参照(F2)"));
    itemButton->setFocusPolicy(Qt::NoFocus);
    itemButton->hide();
    connect(itemButton, &QToolButton::clicked, this, &frmInitFind::reference);

    okButton =
        new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("确定"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setToolTip(QStringLiteral("确定(Enter)"));
    okButton->setDefault(true);
    okButton->setFocusPolicy(Qt::NoFocus);
    cancelButton =
        new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("取消"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setToolTip(QStringLiteral("取消(Esc)"));
    cancelButton->setAutoDefault(false);
    cancelButton->setFocusPolicy(Qt::NoFocus);
    connect(okButton, &QPushButton::clicked, this, &frmInitFind::accept);
    connect(cancelButton, &QPushButton::clicked, this, &frmInitFind::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(itemEdit, 1);
    row->addWidget(itemButton);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);
    itemEdit->setFocus();
}

bool frmInitFind::eventFilter(QObject* watched, QEvent* event) {
    if (watched == itemEdit) {
        if (event->type() == QEvent::FocusIn) itemButton->show();
        if (event->type() == QEvent::KeyPress) {
            const QString text = static_cast<QKeyEvent*>(event)->text();
            if (text.size() == 1 && ConditionFields::IsRefusedChar(text.at(0))) {
                QApplication::beep();
                return true;
            }
        }
        if (event->type() == QEvent::KeyRelease) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_F2 && !key->isAutoRepeat()) {
                reference();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmInitFind::reference() {
    m_box.text = itemEdit->text();
    ShowReference(m_ctx, m_pickers, m_box, kRefInventory, QString());
    itemEdit->setText(m_box.text);
    itemEdit->setFocus();
}

int frmInitFind::search(const QString& text) const {
    if (m_grid.find) return m_grid.find(text);
    const bool dispatched = m_frmName == u"FrmQcFcsp";
    const int codeColumn = dispatched ? kDispatchedCodeColumn : kEntryCodeColumn;
    const int nameColumn = dispatched ? kDispatchedNameColumn : kEntryNameColumn;
    const QString wanted = text.toUpper();
    const int rows = m_grid.rowCount ? m_grid.rowCount() : 0;
    for (int r = 0; r < rows; ++r) {
        if (m_grid.cellText(r, codeColumn).toUpper() == wanted ||
            m_grid.cellText(r, nameColumn).toUpper() == wanted)
            return r;
    }
    return -1;
}

void frmInitFind::accept() {
    // A grid with no data rows: nothing to find and nothing to say.
    if (!m_grid.rowCount || m_grid.rowCount() <= 0) return;
    const int row = search(itemEdit->text());
    if (row < 0) {
        if (m_ctx.sink)
            m_ctx.sink->show(QStringLiteral("该存货没有找到！"), MsgIcon::None, MsgButtons::Ok, {});
        itemEdit->setFocus();
        return;
    }
    if (m_grid.moveTo) m_grid.moveTo(row);
    QDialog::accept();
}

}  // namespace qc
