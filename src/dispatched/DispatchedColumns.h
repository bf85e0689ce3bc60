#pragma once

// The columns of the dispatched-goods grid, in the order the window shows them,
// and the one table that says what each of them is.

#include "shared/grid/ColumnSpec.h"

namespace qc::dispatched {

namespace DCol {
constexpr int VouCode = 0;           // 发货单号
constexpr int VouDate = 1;           // 发货日期
constexpr int InvCode = 2;           // 存货编码
constexpr int InvName = 3;           // 存货名称
constexpr int InvAddCode = 4;        // 存货代码
constexpr int InvStd = 5;            // 规格型号
constexpr int Unit = 6;              // 单位
constexpr int Free1 = 7;             // free items 1..10: 7..16
constexpr int InvDefine1 = 17;       // inventory user-defined items 1..16: 17..32
constexpr int OutQuantity = 33;      // 发货数量
constexpr int OutAmount = 34;        // 发货金额
constexpr int SettledQuantity = 35;  // 已结算数量
constexpr int SettledAmount = 36;    // 已结算金额
constexpr int UnitPrice = 37;        // 单价
constexpr int OpenQuantity = 38;     // 未结算数量
constexpr int OpenAmount = 39;       // 未结算金额
constexpr int Warehouse = 40;        // 仓库
constexpr int Customer = 41;         // 客户
constexpr int Department = 42;       // 部门
constexpr int Person = 43;           // 业务员
constexpr int ItemClassName = 44;    // 项目大类
constexpr int ItemName = 45;         // 项目名称
constexpr int OutHead = 46;          // 科目编码
constexpr int OutHeadName = 47;      // 科目名称
constexpr int Memo = 48;             // 备注
constexpr int Define1 = 49;          // head user-defined items 1..16: 49..64
constexpr int Define22 = 65;         // line user-defined items 22..37: 65..80
constexpr int AutoId = 81;           // 自动编号 (hidden)
constexpr int Count = 82;
}  // namespace DCol

// Every column of the dispatched-goods grid, position by position (DCol::…).
// The user edits only 发货金额, 已结算金额, 单价, 未结算金额 and 科目编码; every
// other column is coloured as filled from the documents.
const grid::ColumnTable& dispatchedColumns();

// The grid's captions by the IA_EnSubsidiary column each cell is stored in (lower
// case): a stored value shown as the grid names it.
QHash<QString, QString> captionsByStoredColumn();

}  // namespace qc::dispatched
