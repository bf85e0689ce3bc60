#include "shared/ui/HelpPage.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace qc {

void showHelpPage(QWidget* parent, const QString& window, const QString& html, const QString& helpFile) {
    QDialog dlg(parent);
    dlg.setObjectName(QStringLiteral("helpPage"));
    dlg.setWindowTitle(QStringLiteral("帮助 - ") + window);
    auto* text = new QTextBrowser(&dlg);
    text->setObjectName(QStringLiteral("helpText"));
    text->setOpenExternalLinks(false);
    text->setHtml(html);
    if (!helpFile.isEmpty())
        text->append(QStringLiteral("<p style='color:gray'>%1</p>").arg(helpFile.toHtmlEscaped()));
    auto* buttons = new QDialogButtonBox(&dlg);
    buttons->addButton(QStringLiteral("关闭"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addWidget(text);
    layout->addWidget(buttons);
    dlg.resize(520, 360);
    dlg.exec();
}

}  // namespace qc
