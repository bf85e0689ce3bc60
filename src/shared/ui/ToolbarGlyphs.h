#pragma once

#include <QPixmap>
#include <QString>

namespace qc {

// The drawn image of a toolbar key ("Print", "Keep", "Restore", …) at a square
// size in pixels; transparent where nothing is drawn, empty for an unknown key.
QPixmap renderGlyph(const QString& key, int size);

}  // namespace qc
