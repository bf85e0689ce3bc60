#include "opening/OpeningColumns.h"

#include "shared/grid/ColumnBuilders.h"

namespace qc::opening {

namespace {

using grid::ColumnKind;
using grid::Total;

grid::ColumnTable build() {
    using K = ColumnKind;
    grid::ColumnTable t(Col::Count);
    t[Col::VouCode] = grid::fixedColumn("VouCode", "入库单号", "IA_Subsidiary.cVouCode", K::Text, 1200);
    t[Col::InvCode] = grid::fixedColumn("InvCode", "存货编码", "IA_Subsidiary.cInvCode", K::Code, 1200);
    t[Col::InvName] = grid::fixedColumn("InvName", "存货名称", "Inventory.cInvName", K::Name, 1800, true);
    t[Col::InvAddCode] =
        grid::fixedColumn("InvAddCode", "存货代码", "Inventory.cInvAddCode", K::Text, 1200, true);
    t[Col::InvStd] = grid::fixedColumn("InvStd", "规格型号", "Inventory.cInvStd", K::Text, 1500, true);
    t[Col::Unit] = grid::fixedColumn("Unit", "计量单位", "ComputationUnit.cComUnitName", K::Name, 900, true);
    for (int n = 1; n <= 10; ++n)
        t[Col::Free1 + n - 1] = grid::userDefinedColumn(QStringLiteral("Free%1").arg(n),
                                                        QStringLiteral("IA_Subsidiary.cFree%1").arg(n),
                                                        grid::freeItemId(n), {}, false, false);
    for (int n = 1; n <= 16; ++n)
        t[Col::InvDefine1 + n - 1] = grid::userDefinedColumn(
            QStringLiteral("InvDefine%1").arg(n), QStringLiteral("Inventory.cInvDefine%1").arg(n),
            grid::inventoryDefineId(n), grid::inventoryDefinePattern(n), true, n == 15 || n == 16);
    t[Col::ReplaceItem] =
        grid::fixedColumn("ReplaceItem", "替换件", "Inventory.cReplaceItem", K::Text, 1000, true);
    t[Col::Quantity] = grid::fixedColumn("Quantity", "数量", "IA_Subsidiary.iAInQuantity", K::Quantity, 1100);
    t[Col::Quantity].total = Total::Always;
    // The costs shown depend on the valuation method: the loading computes them.
    t[Col::UnitCost] = grid::fixedColumn("UnitCost", "单价", "", K::Price, 1100);
    t[Col::Amount] = grid::fixedColumn("Amount", "金额", "", K::Amount, 1300);
    t[Col::Amount].total = Total::Always;
    t[Col::PlanPrice] = grid::fixedColumn("PlanPrice", "计划价", "", K::Price, 1100, true);
    t[Col::PlanAmount] = grid::fixedColumn("PlanAmount", "计划金额", "", K::Amount, 1300, true);
    t[Col::PlanAmount].total = Total::WhenAny;
    t[Col::VouDate] = grid::fixedColumn("VouDate", "入库日期", "IA_Subsidiary.dVouDate", K::Date, 1100);
    t[Col::Batch] = grid::fixedColumn("Batch", "批号", "IA_Subsidiary.cBatchCode", K::Text, 1000);
    t[Col::VenCode] = grid::fixedColumn("VenCode", "供应商编码", "IA_Subsidiary.cVenCode", K::Code, 1100);
    t[Col::VenName] = grid::fixedColumn("VenName", "供应商", "Vendor.cVenAbbName", K::Name, 1400, true);
    t[Col::DepCode] = grid::fixedColumn("DepCode", "部门编码", "IA_Subsidiary.cAccDep", K::Code, 1000);
    t[Col::DepName] = grid::fixedColumn("DepName", "部门", "Department.cDepName", K::Name, 1200, true);
    t[Col::PersonCode] =
        grid::fixedColumn("PersonCode", "业务员编码", "IA_Subsidiary.cPersonCode", K::Code, 1100);
    t[Col::PersonName] = grid::fixedColumn("PersonName", "业务员", "Person.cPersonName", K::Name, 1000, true);
    t[Col::InvHead] = grid::fixedColumn("InvHead", "存货科目编码", "IA_Subsidiary.cInvHead", K::Code, 1200);
    t[Col::InvHeadName] =
        grid::fixedColumn("InvHeadName", "存货科目", "code.cCode_Name", K::Name, 1400, true);
    t[Col::ItemClass] =
        grid::fixedColumn("ItemClass", "项目大类编码", "IA_Subsidiary.cItem_class", K::Code, 1200);
    t[Col::ItemClassName] =
        grid::fixedColumn("ItemClassName", "项目大类名称", "IA_Subsidiary.cItemCName", K::Name, 1400, true);
    t[Col::ItemCode] = grid::fixedColumn("ItemCode", "项目编码", "IA_Subsidiary.cItemCode", K::Code, 1100);
    t[Col::ItemName] = grid::fixedColumn("ItemName", "项目名称", "IA_Subsidiary.cName", K::Name, 1600, true);
    for (int n = 1; n <= 16; ++n)
        t[Col::Define1 + n - 1] = grid::userDefinedColumn(
            QStringLiteral("Define%1").arg(n), QStringLiteral("IA_Subsidiary.cDefine%1").arg(n),
            grid::headDefineId(n), grid::definePattern(n), false, n == 4 || n == 6);
    for (int n = 22; n <= 37; ++n)
        t[Col::Define22 + n - 22] = grid::userDefinedColumn(
            QStringLiteral("Define%1").arg(n), QStringLiteral("IA_Subsidiary.cDefine%1").arg(n),
            grid::lineDefineId(n), grid::definePattern(n), false, n == 36 || n == 37);
    t[Col::AutoId] = grid::fixedColumn("AutoId", "AUTOID", "IA_Subsidiary.AutoID", K::Key, 0);
    for (const int code : {Col::InvCode, Col::VenCode, Col::DepCode, Col::PersonCode, Col::InvHead,
                           Col::ItemClass, Col::ItemCode})
        t[code].nameColumn = code + 1;
    // The cells whose editor offers a pick window (or the calendar): the codes, the
    // free items, the entry date and the head and line items kept as dates.
    for (const int c : {Col::InvCode, Col::VouDate, Col::VenCode, Col::DepCode, Col::PersonCode, Col::InvHead,
                        Col::ItemClass, Col::ItemCode, Col::Define1 + 3, Col::Define1 + 5, Col::Define22 + 14,
                        Col::Define22 + 15})
        t[c].picked = true;
    for (int n = 0; n < 10; ++n) t[Col::Free1 + n].picked = true;
    return t;
}

}  // namespace

const grid::ColumnTable& openingColumns() {
    static const grid::ColumnTable table = build();
    return table;
}

QHash<QString, QString> captionsByStoredColumn() {
    QHash<QString, QString> captions = grid::captionsByColumn(openingColumns());
    // A row stores its unit cost in iInCost and its amount in iAInPrice.
    captions.insert(QStringLiteral("iincost"), openingColumns().at(Col::UnitCost).caption);
    captions.insert(QStringLiteral("iainprice"), openingColumns().at(Col::Amount).caption);
    return captions;
}

}  // namespace qc::opening
