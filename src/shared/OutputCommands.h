#pragma once

#include <QString>

namespace qc {

struct LoginContext;

// 打印, 预览 and 输出 (keys Print, Preview, OutPut or Output) of a grid with
// `rows` data rows: false, with "没有数据，不能打印！" (预览, 输出) and the
// exclamation icon, when there is nothing to print.
bool OutputAllowed(LoginContext& ctx, const QString& key, int rows);

}  // namespace qc
