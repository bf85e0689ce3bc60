#pragma once

// The columns of the opening grid, in the order the window shows them, and the
// one table that says what each of them is.

#include "shared/grid/ColumnSpec.h"

namespace qc::opening {

namespace Col {
constexpr int VouCode = 0;         // 入库单号
constexpr int InvCode = 1;         // 存货编码
constexpr int InvName = 2;         // 存货名称
constexpr int InvAddCode = 3;      // 存货代码
constexpr int InvStd = 4;          // 规格型号
constexpr int Unit = 5;            // 计量单位
constexpr int Free1 = 6;           // free items 1..10: 6..15
constexpr int InvDefine1 = 16;     // inventory user-defined items 1..16: 16..31
constexpr int ReplaceItem = 32;    // 替换件
constexpr int Quantity = 33;       // 数量
constexpr int UnitCost = 34;       // 单价
constexpr int Amount = 35;         // 金额
constexpr int PlanPrice = 36;      // 计划价
constexpr int PlanAmount = 37;     // 计划金额
constexpr int VouDate = 38;        // 入库日期
constexpr int Batch = 39;          // 批号
constexpr int VenCode = 40;        // 供应商编码
constexpr int VenName = 41;        // 供应商
constexpr int DepCode = 42;        // 部门编码
constexpr int DepName = 43;        // 部门
constexpr int PersonCode = 44;     // 业务员编码
constexpr int PersonName = 45;     // 业务员
constexpr int InvHead = 46;        // 存货科目编码
constexpr int InvHeadName = 47;    // 存货科目
constexpr int ItemClass = 48;      // 项目大类编码
constexpr int ItemClassName = 49;  // 项目大类名称
constexpr int ItemCode = 50;       // 项目编码
constexpr int ItemName = 51;       // 项目名称
constexpr int Define1 = 52;        // head user-defined items 1..16: 52..67
constexpr int Define22 = 68;       // line user-defined items 22..37: 68..83
constexpr int AutoId = 84;         // AUTOID (hidden)
constexpr int Count = 85;
}  // namespace Col

// Every column of the opening grid, position by position (Col::…): its caption,
// where it is loaded from, its kind, whether it is filled from a dictionary, its
// width, its total and the name column of a code.
const grid::ColumnTable& openingColumns();

// The grid's captions by the IA_Subsidiary column each cell is stored in (lower
// case), the computed costs included: a stored value shown as the grid names it.
QHash<QString, QString> captionsByStoredColumn();

}  // namespace qc::opening
