#pragma once

#include <QString>

class QLabel;
class QTableView;
class QWidget;

namespace qc {

// The large centred title every window shows under its toolbar.
QLabel* makeTitleLabel(QWidget* parent, const QString& text);
// The grid look every window shares: light grid lines, the selection, the captions.
void applyGridLook(QTableView* view);

}  // namespace qc
