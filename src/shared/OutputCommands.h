#pragma once

#include "host/Pickers.h"
#include "platform/GridExport.h"

#include <QString>

namespace qc {

struct LoginContext;

namespace grid {
class GridModel;
}  // namespace grid

// 打印, 预览 and 输出 (keys Print, Preview, OutPut or Output) of a grid with
// `rows` data rows: false, with "没有数据，不能打印！" (预览, 输出) and the
// exclamation icon, when there is nothing to print.
bool OutputAllowed(LoginContext& ctx, const QString& key, int rows);

// The grid as it is output: the shown columns (those with a width) in their
// order, their captions and widths, every row the grid holds (the totals row too).
ExportGrid OutputOf(const grid::GridModel& grid, const QList<int>& widthsTwips, const QString& title);

// 输出: asks where (XLSX or CSV, by the name's suffix), writes, and says where it
// went; false when the user cancelled or the file could not be written (with
// the reason).
bool OutputGrid(LoginContext& ctx, Pickers& pickers, const ExportGrid& grid);

}  // namespace qc
