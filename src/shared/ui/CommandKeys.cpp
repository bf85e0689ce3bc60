#include "shared/ui/CommandKeys.h"

#include <QHash>

namespace qc {

QKeySequence commandShortcut(const QString& commandKey) {
    static const QHash<QString, QKeySequence> keys{
        {QStringLiteral("Print"), QKeySequence(Qt::ALT | Qt::Key_P)},
        {QStringLiteral("Preview"), QKeySequence(Qt::ALT | Qt::Key_V)},
        {QStringLiteral("OutPut"), QKeySequence(Qt::ALT | Qt::Key_O)},
        {QStringLiteral("Output"), QKeySequence(Qt::ALT | Qt::Key_O)},
        {QStringLiteral("Add"), QKeySequence(Qt::CTRL | Qt::Key_A)},
        {QStringLiteral("Delete"), QKeySequence(Qt::CTRL | Qt::Key_D)},
        {QStringLiteral("Save"), QKeySequence(Qt::CTRL | Qt::Key_S)},
        {QStringLiteral("Query"), QKeySequence(Qt::ALT | Qt::Key_Q)},
        {QStringLiteral("Seek"), QKeySequence(Qt::ALT | Qt::Key_Q)},
        {QStringLiteral("seek"), QKeySequence(Qt::ALT | Qt::Key_Q)},
        {QStringLiteral("Clear"), QKeySequence(Qt::ALT | Qt::Key_K)},
        {QStringLiteral("Select"), QKeySequence(Qt::ALT | Qt::Key_X)},
        {QStringLiteral("Getcount"), QKeySequence(Qt::ALT | Qt::Key_G)},
        {QStringLiteral("Import"), QKeySequence(Qt::ALT | Qt::Key_I)},
        {QStringLiteral("Template"), QKeySequence(Qt::ALT | Qt::Key_T)},
        {QStringLiteral("Sum"), QKeySequence(Qt::ALT | Qt::Key_H)},
        {QStringLiteral("Compare"), QKeySequence(Qt::ALT | Qt::Key_M)},
        {QStringLiteral("Find"), QKeySequence(Qt::CTRL | Qt::Key_F)},
        {QStringLiteral("Keep"), QKeySequence(Qt::ALT | Qt::Key_J)},
        {QStringLiteral("Order"), QKeySequence(Qt::ALT | Qt::Key_S)},
        {QStringLiteral("ROrder"), QKeySequence(Qt::ALT | Qt::Key_R)},
        {QStringLiteral("History"), QKeySequence(Qt::ALT | Qt::Key_L)},
        {QStringLiteral("Help"), QKeySequence(Qt::Key_F1)},
        {QStringLiteral("Exit"), QKeySequence(Qt::ALT | Qt::Key_E)},
        {QStringLiteral("Close"), QKeySequence(Qt::ALT | Qt::Key_E)},
    };
    return keys.value(commandKey);
}

QString toolTipWithKey(const QString& toolTip, const QKeySequence& sequence) {
    if (sequence.isEmpty()) return toolTip;
    const QString key = sequence.toString(QKeySequence::PortableText);
    if (toolTip.contains(key, Qt::CaseInsensitive)) return toolTip;
    return toolTip + u'(' + key + u')';
}

}  // namespace qc
