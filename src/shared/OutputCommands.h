#pragma once

#include "host/Pickers.h"
#include "platform/GridExport.h"

#include <QString>

#include <functional>

namespace qc {

struct LoginContext;

namespace grid {
class GridModel;
}  // namespace grid

// 打印, 预览 and 输出 (keys Print, Preview, OutPut or Output) of a grid with
// `rows` data rows: false, with "没有数据，不能打印！" (预览, 输出) and the
// exclamation icon, when there is nothing to print.
bool OutputAllowed(LoginContext& ctx, const QString& key, int rows);

// Whether a column (by its key) says whose figures a row holds: the warehouse,
// the inventory class or the item, by code or name. A printed grid too wide for
// one page repeats these columns at the head of every page that continues it.
bool NamesRow(const QString& key);

// The grid as it is output: the shown columns (those with a width) in their
// order, their captions and widths, the columns that name a row, every row the
// grid holds (the totals row too).
ExportGrid OutputOf(const grid::GridModel& grid, const QList<int>& widthsTwips, const QString& title);

// 输出: asks where (XLSX, CSV, or PDF when `pdf` writes the printed pages), writes
// by the name's suffix, and says where it went; false when the user cancelled or
// the file could not be written (with the reason).
using PdfWriter = std::function<void(const QString& path)>;
bool OutputGrid(LoginContext& ctx, Pickers& pickers, const ExportGrid& grid, const PdfWriter& pdf = {});

// The lines above and below a printed grid: the header the window names (its
// warehouse, or the company), and the footer of every page: the company, the
// operator and the login date.
QStringList PrintFooter(LoginContext& ctx);
// One footer line: the unit, the operator and the date.
QString PrintFooterLine(const QString& unit, const QString& person, const QString& date);

}  // namespace qc
