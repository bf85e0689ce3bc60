#include "opening/ui/frmInitFind.h"

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
    label->setObjectName(QStringLiteral("Label1"));
    txtInv = new QLineEdit(this);
    txtInv->setObjectName(QStringLiteral("txtInv"));
    label->setBuddy(txtInv);
    txtInv->installEventFilter(this);
    cmdRefInv = new QToolButton(this);
    cmdRefInv->setObjectName(QStringLiteral("cmdRefInv"));
    cmdRefInv->setText(QStringLiteral("…"));
    cmdRefInv->setToolTip(QStringLiteral("参照(F2)"));
    cmdRefInv->setFocusPolicy(Qt::NoFocus);
    cmdRefInv->hide();
    connect(cmdRefInv, &QToolButton::clicked, this, &frmInitFind::reference);

    cmdOk = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("确定"), this);
    cmdOk->setObjectName(QStringLiteral("cmdOkCancel0"));
    cmdOk->setDefault(true);
    cmdOk->setFocusPolicy(Qt::NoFocus);
    cmdCancel =
        new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("取消"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdOkCancel1"));
    cmdCancel->setAutoDefault(false);
    cmdCancel->setFocusPolicy(Qt::NoFocus);
    connect(cmdOk, &QPushButton::clicked, this, &frmInitFind::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &frmInitFind::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(txtInv, 1);
    row->addWidget(cmdRefInv);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOk);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);
    txtInv->setFocus();
}

bool frmInitFind::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtInv) {
        if (event->type() == QEvent::FocusIn) cmdRefInv->show();
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
    m_box.text = txtInv->text();
    ShowReference(m_ctx, m_pickers, m_box, kRefInventory, QString());
    txtInv->setText(m_box.text);
    txtInv->setFocus();
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
    const int row = search(txtInv->text());
    if (row < 0) {
        if (m_ctx.sink)
            m_ctx.sink->show(QStringLiteral("该存货没有找到！"), MsgIcon::None, MsgButtons::Ok, {});
        txtInv->setFocus();
        return;
    }
    if (m_grid.moveTo) m_grid.moveTo(row);
    QDialog::accept();
}

}  // namespace qc
