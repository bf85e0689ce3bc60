#pragma once

#include <QString>

class QWidget;

namespace qc {

// A window's help page: a modal page titled "帮助 - <window>" showing `html`, with
// the application's help file named under it when there is one.
void showHelpPage(QWidget* parent, const QString& window, const QString& html, const QString& helpFile);

}  // namespace qc
