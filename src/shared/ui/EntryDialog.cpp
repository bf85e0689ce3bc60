#include "shared/ui/EntryDialog.h"

#include "shared/ui/WindowLook.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QToolBar>
#include <QVBoxLayout>

namespace qc {

EntryDialog::EntryDialog(QWidget* parent) : QDialog(parent) {
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);
    setSizeGripEnabled(true);
}

QLabel* EntryDialog::makeTitleLabel(const QString& text) {
    return qc::makeTitleLabel(this, text);
}

void EntryDialog::layOut(QToolBar* toolbar, QLabel* title, QLayout* controls, QWidget* grid) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolbar);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(10, 2, 10, 10);
    body->setSpacing(6);
    body->addWidget(title);
    body->addLayout(controls);
    body->addWidget(grid, 1);
    layout->addLayout(body, 1);
}

void EntryDialog::reject() {
    if (m_closing) {
        QDialog::reject();
        return;
    }
    close();
}

void EntryDialog::closeEvent(QCloseEvent* event) {
    if (!mayClose()) {
        event->ignore();
        return;
    }
    m_closing = true;
    QDialog::closeEvent(event);
    m_closing = false;
}

void EntryDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace qc
