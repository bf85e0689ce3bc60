#include "shared/ui/WindowLook.h"

#include <QLabel>
#include <QTableView>

namespace qc {

QLabel* makeTitleLabel(QWidget* parent, const QString& text) {
    auto* title = new QLabel(text, parent);
    title->setObjectName(QStringLiteral("titleLabel"));
    title->setAlignment(Qt::AlignCenter);
    QFont font = title->font();
    font.setPointSizeF(font.pointSizeF() * 1.7);
    font.setBold(true);
    title->setFont(font);
    title->setStyleSheet(QStringLiteral("color: #1f3a5f; padding: 6px 0px 2px 0px;"));
    return title;
}

void applyGridLook(QTableView* view) {
    view->setStyleSheet(
        QStringLiteral("QTableView { gridline-color: #c8d0d8; selection-background-color: #cfe3f7;"
                       " selection-color: black; }"
                       "QHeaderView::section { background: #e9eef4; border: 0px;"
                       " border-right: 1px solid #c8d0d8; border-bottom: 1px solid #c8d0d8;"
                       " padding: 3px 4px; }"));
}

}  // namespace qc
