#pragma once

#include "platform/Settings.h"

#include <QList>
#include <QString>

namespace qc {

struct LoginContext;

// Layout numbers of the result windows whose column widths are kept.
inline constexpr short kLayoutSummaryInfo = 12;
inline constexpr short kLayoutCompareInfo = 13;

// Where the machine keeps the toolbar appearance.
inline const QString kAppearanceKey = QStringLiteral("SOFTWARE\\Merovex\\WF\\V8.50\\Appearance");
inline const QString kToolbarStyleValue = QStringLiteral("Toolbar Style");

// Replaces the stored column widths of a window layout in IA_tblRCsetM by the
// grid's widths, in column order (column index from 0).
void SaveColumnWidths(LoginContext& ctx, short layout, const QList<int>& widths);

// The toolbar style of the machine: 1 (the host's toolbar) when the setting is
// missing or starts with "T", 2 (the standard toolbar) for any other value.
short ToolbarStyle(const SettingsStore& store = SettingsStore{});

}  // namespace qc
