#include "host/ui/UiPickers.h"

#include "host/ui/ReferenceDialog.h"
#include "host/ui/SelectionDialog.h"

#include <QCalendarWidget>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace qc {

std::optional<PickedRow> UiPickers::reference(Database& db, const ReferenceQuery& query) {
    ReferenceDialog dlg(db, query, m_parent);
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.picked();
}

std::optional<QList<PickedRow>> UiPickers::selectInventory(Database& db, const SqlFragment& condition) {
    SelectionDialog dlg(db, condition, m_parent);
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.chosen();
}

std::optional<QDate> UiPickers::pickDate(const QDate& initial) {
    QDialog dlg(m_parent);
    dlg.setWindowTitle(QStringLiteral("选择日期"));
    auto* calendar = new QCalendarWidget(&dlg);
    calendar->setGridVisible(true);
    if (initial.isValid()) calendar->setSelectedDate(initial);
    auto* buttons = new QDialogButtonBox(&dlg);
    buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    // Enter or a double click on a day picks it.
    QObject::connect(calendar, &QCalendarWidget::activated, &dlg, &QDialog::accept);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addWidget(calendar);
    layout->addWidget(buttons);
    calendar->setFocus();
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return calendar->selectedDate();
}

std::optional<QString> UiPickers::saveFile(const QString& suggested, const QStringList& filters) {
    QString chosenFilter = filters.value(0);
    const QString path = QFileDialog::getSaveFileName(m_parent, QStringLiteral("输出"), suggested,
                                                      filters.join(QStringLiteral(";;")), &chosenFilter);
    if (path.isEmpty()) return std::nullopt;
    // A name typed without its suffix takes the chosen kind's.
    static const QRegularExpression suffix(QStringLiteral("\\(\\*(\\.[a-z]+)\\)"));
    const QRegularExpressionMatch m = suffix.match(chosenFilter);
    if (QFileInfo(path).suffix().isEmpty() && m.hasMatch()) return path + m.captured(1);
    return path;
}

std::optional<QString> UiPickers::openFile(const QStringList& filters) {
    const QString path = QFileDialog::getOpenFileName(m_parent, QStringLiteral("导入"), QString(),
                                                      filters.join(QStringLiteral(";;")));
    if (path.isEmpty()) return std::nullopt;
    return path;
}

std::optional<QString> UiPickers::chooseItem(const QString& title, const QString& label,
                                             const QStringList& items) {
    bool ok = false;
    const QString chosen = QInputDialog::getItem(m_parent, title, label, items, 0, false, &ok);
    if (!ok || chosen.isEmpty()) return std::nullopt;
    return chosen;
}

}  // namespace qc
