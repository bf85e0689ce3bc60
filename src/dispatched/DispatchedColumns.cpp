#include "dispatched/DispatchedColumns.h"

#include "shared/grid/ColumnBuilders.h"

namespace qc::dispatched {

namespace {

grid::ColumnTable build() {
    using K = grid::ColumnKind;
    using grid::fixedColumn;
    grid::ColumnTable t(DCol::Count);
    t[DCol::VouCode] = fixedColumn("VouCode", "发货单号", "IA_EnSubsidiary.cVouCode", K::Text, 1000, true);
    t[DCol::VouDate] = fixedColumn("VouDate", "发货日期", "IA_EnSubsidiary.dVouDate", K::Date, 1000, true);
    t[DCol::InvCode] = fixedColumn("InvCode", "存货编码", "IA_EnSubsidiary.cInvCode", K::Code, 1000, true);
    t[DCol::InvName] = fixedColumn("InvName", "存货名称", "Inventory.cInvName", K::Name, 1000, true);
    t[DCol::InvAddCode] = fixedColumn("InvAddCode", "存货代码", "Inventory.cInvAddCode", K::Text, 1000, true);
    t[DCol::InvStd] = fixedColumn("InvStd", "规格型号", "Inventory.cInvStd", K::Text, 1000, true);
    t[DCol::Unit] = fixedColumn("Unit", "单位", "ComputationUnit.cComUnitName", K::Name, 1000, true);
    for (int n = 1; n <= 10; ++n)
        t[DCol::Free1 + n - 1] = grid::userDefinedColumn(QStringLiteral("Free%1").arg(n),
                                                         QStringLiteral("IA_EnSubsidiary.cFree%1").arg(n),
                                                         grid::freeItemId(n), {}, true, false);
    for (int n = 1; n <= 16; ++n)
        t[DCol::InvDefine1 + n - 1] = grid::userDefinedColumn(
            QStringLiteral("InvDefine%1").arg(n), QStringLiteral("Inventory.cInvDefine%1").arg(n),
            grid::inventoryDefineId(n), grid::inventoryDefinePattern(n), true, n == 15 || n == 16);
    t[DCol::OutQuantity] =
        fixedColumn("OutQuantity", "发货数量", "IA_EnSubsidiary.iAOutQuantity", K::Quantity, 1000, true);
    t[DCol::OutAmount] = fixedColumn("OutAmount", "发货金额", "IA_EnSubsidiary.iAOutPrice", K::Amount, 1000);
    // Settled quantity and amount are not stored: dispatched less not yet settled.
    t[DCol::SettledQuantity] =
        fixedColumn("SettledQuantity", "已结算数量",
                    "COALESCE(IA_EnSubsidiary.iAOutQuantity, 0) - COALESCE(IA_EnSubsidiary.iAInQuantity, 0)",
                    K::Quantity, 1000, true);
    t[DCol::SettledAmount] = fixedColumn(
        "SettledAmount", "已结算金额",
        "COALESCE(IA_EnSubsidiary.iAOutPrice, 0) - COALESCE(IA_EnSubsidiary.iAInPrice, 0)", K::Amount, 1000);
    t[DCol::UnitPrice] = fixedColumn("UnitPrice", "单价", "IA_EnSubsidiary.iInCost", K::Price, 1000);
    t[DCol::OpenQuantity] =
        fixedColumn("OpenQuantity", "未结算数量", "IA_EnSubsidiary.iAInQuantity", K::Quantity, 1000, true);
    t[DCol::OpenAmount] =
        fixedColumn("OpenAmount", "未结算金额", "IA_EnSubsidiary.iAInPrice", K::Amount, 1000);
    t[DCol::Warehouse] = fixedColumn("Warehouse", "仓库", "Warehouse.cWhName", K::Name, 1000, true);
    t[DCol::Customer] = fixedColumn("Customer", "客户", "Customer.cCusName", K::Name, 1000, true);
    t[DCol::Department] = fixedColumn("Department", "部门", "Department.cDepName", K::Name, 1000, true);
    t[DCol::Person] = fixedColumn("Person", "业务员", "Person.cPersonName", K::Name, 1000, true);
    t[DCol::ItemClassName] =
        fixedColumn("ItemClassName", "项目大类", "IA_EnSubsidiary.cItemCName", K::Name, 1000, true);
    t[DCol::ItemName] = fixedColumn("ItemName", "项目名称", "IA_EnSubsidiary.cName", K::Name, 1000, true);
    t[DCol::OutHead] = fixedColumn("OutHead", "科目编码", "IA_EnSubsidiary.cOutHead", K::Code, 1000);
    t[DCol::OutHead].nameColumn = DCol::OutHeadName;
    t[DCol::OutHead].picked = true;
    t[DCol::OutHeadName] = fixedColumn("OutHeadName", "科目名称", "code.cCode_Name", K::Name, 1000, true);
    t[DCol::Memo] = fixedColumn("Memo", "备注", "IA_EnSubsidiary.cMemo", K::Text, 1000, true);
    for (int n = 1; n <= 16; ++n)
        t[DCol::Define1 + n - 1] = grid::userDefinedColumn(
            QStringLiteral("Define%1").arg(n), QStringLiteral("IA_EnSubsidiary.cDefine%1").arg(n),
            grid::headDefineId(n), grid::definePattern(n), true, n == 4 || n == 6);
    for (int n = 22; n <= 37; ++n)
        t[DCol::Define22 + n - 22] = grid::userDefinedColumn(
            QStringLiteral("Define%1").arg(n), QStringLiteral("IA_EnSubsidiary.cDefine%1").arg(n),
            grid::lineDefineId(n), grid::definePattern(n), true, n == 36 || n == 37);
    t[DCol::AutoId] = fixedColumn("AutoId", "自动编号", "IA_EnSubsidiary.AutoID", K::Key, 0);
    return t;
}

}  // namespace

const grid::ColumnTable& dispatchedColumns() {
    static const grid::ColumnTable table = build();
    return table;
}

QHash<QString, QString> captionsByStoredColumn() {
    QHash<QString, QString> captions = grid::captionsByColumn(dispatchedColumns());
    // The unit price is stored for the dispatch as well as for what is unsettled.
    captions.insert(QStringLiteral("ioutcost"), dispatchedColumns().at(DCol::UnitPrice).caption);
    return captions;
}

}  // namespace qc::dispatched
