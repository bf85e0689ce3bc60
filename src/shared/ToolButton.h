#pragma once

#include <QString>

namespace qc {

// One toolbar button of a window as its rules leave it: the command key, what the
// button shows, and whether it may be used.
struct ToolButton {
    QString key;
    QString caption;
    QString toolTip;
    QString image;  // image key: the button's own key, or another drawing ("Restore" for 恢复)
    bool enabled = true;
    bool visible = true;
};

}  // namespace qc
