#include "opening/OpeningColumns.h"

namespace qc::opening {

namespace {

using grid::ColumnKind;
using grid::ColumnSpec;
using grid::Total;

QString twoDigits(int v) {
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

// UserDef ids behind the user-defined columns, in column order.
QString freeId(int n) {  // 1..10
    return n <= 2 ? QString::number(19 + n) : twoDigits(25 + n);
}
QString invDefineId(int n) {  // 1..16
    return n <= 3 ? QString::number(16 + n) : twoDigits(48 + n);
}
QString headDefineId(int n) {  // 1..16
    return twoDigits(n <= 10 ? n : n + 25);
}
QString lineDefineId(int n) {  // 22..37
    return twoDigits(n <= 27 ? n : n + 14);
}

// Display pattern of the numeric user-defined items ("" for text items).
QString invDefinePattern(int n) {
    if (n == 11 || n == 12) return QStringLiteral("###0");
    if (n == 7 || n == 13 || n == 14) return QStringLiteral("###0.000000");
    return {};
}
QString definePattern(int n) {
    if (n == 5 || n == 15 || n == 34 || n == 35) return QStringLiteral("###0");
    if (n == 7 || n == 16 || n == 26 || n == 27) return QStringLiteral("###0.000000");
    return {};
}

ColumnSpec fixed(const char* key, const char* caption, const char* source, ColumnKind kind, int width,
                 bool dictionary = false) {
    ColumnSpec c;
    c.key = QString::fromLatin1(key);
    c.caption = QString::fromUtf8(caption);
    c.source = QString::fromLatin1(source);
    c.kind = kind;
    c.width = width;
    c.dictionary = dictionary;
    return c;
}

ColumnSpec userDefined(const QString& key, const QString& source, const QString& id, const QString& pattern,
                       bool dictionary, bool date) {
    ColumnSpec c;
    c.key = key;
    c.source = source;
    c.userDefId = id;
    c.pattern = pattern;
    c.dictionary = dictionary;
    c.kind = date ? ColumnKind::Date : ColumnKind::Text;
    c.width = 0;  // shown once the item has a caption
    return c;
}

grid::ColumnTable build() {
    using K = ColumnKind;
    grid::ColumnTable t(Col::Count);
    t[Col::VouCode] = fixed("VouCode", "入库单号", "IA_Subsidiary.cVouCode", K::Text, 1200);
    t[Col::InvCode] = fixed("InvCode", "存货编码", "IA_Subsidiary.cInvCode", K::Code, 1200);
    t[Col::InvName] = fixed("InvName", "存货名称", "Inventory.cInvName", K::Name, 1800, true);
    t[Col::InvAddCode] = fixed("InvAddCode", "存货代码", "Inventory.cInvAddCode", K::Text, 1200, true);
    t[Col::InvStd] = fixed("InvStd", "规格型号", "Inventory.cInvStd", K::Text, 1500, true);
    t[Col::Unit] = fixed("Unit", "计量单位", "ComputationUnit.cComUnitName", K::Name, 900, true);
    for (int n = 1; n <= 10; ++n)
        t[Col::Free1 + n - 1] =
            userDefined(QStringLiteral("Free%1").arg(n), QStringLiteral("IA_Subsidiary.cFree%1").arg(n),
                        freeId(n), {}, false, false);
    for (int n = 1; n <= 16; ++n)
        t[Col::InvDefine1 + n - 1] =
            userDefined(QStringLiteral("InvDefine%1").arg(n), QStringLiteral("Inventory.cInvDefine%1").arg(n),
                        invDefineId(n), invDefinePattern(n), true, n == 15 || n == 16);
    t[Col::ReplaceItem] = fixed("ReplaceItem", "替换件", "Inventory.cReplaceItem", K::Text, 1000, true);
    t[Col::Quantity] = fixed("Quantity", "数量", "IA_Subsidiary.iAInQuantity", K::Quantity, 1100);
    t[Col::Quantity].total = Total::Always;
    // The costs shown depend on the valuation method: the loading computes them.
    t[Col::UnitCost] = fixed("UnitCost", "单价", "", K::Price, 1100);
    t[Col::Amount] = fixed("Amount", "金额", "", K::Amount, 1300);
    t[Col::Amount].total = Total::Always;
    t[Col::PlanPrice] = fixed("PlanPrice", "计划价", "", K::Price, 1100, true);
    t[Col::PlanAmount] = fixed("PlanAmount", "计划金额", "", K::Amount, 1300, true);
    t[Col::PlanAmount].total = Total::WhenAny;
    t[Col::VouDate] = fixed("VouDate", "入库日期", "IA_Subsidiary.dVouDate", K::Date, 1100);
    t[Col::Batch] = fixed("Batch", "批号", "IA_Subsidiary.cBatchCode", K::Text, 1000);
    t[Col::VenCode] = fixed("VenCode", "供应商编码", "IA_Subsidiary.cVenCode", K::Code, 1100);
    t[Col::VenName] = fixed("VenName", "供应商", "Vendor.cVenAbbName", K::Name, 1400, true);
    t[Col::DepCode] = fixed("DepCode", "部门编码", "IA_Subsidiary.cAccDep", K::Code, 1000);
    t[Col::DepName] = fixed("DepName", "部门", "Department.cDepName", K::Name, 1200, true);
    t[Col::PersonCode] = fixed("PersonCode", "业务员编码", "IA_Subsidiary.cPersonCode", K::Code, 1100);
    t[Col::PersonName] = fixed("PersonName", "业务员", "Person.cPersonName", K::Name, 1000, true);
    t[Col::InvHead] = fixed("InvHead", "存货科目编码", "IA_Subsidiary.cInvHead", K::Code, 1200);
    t[Col::InvHeadName] = fixed("InvHeadName", "存货科目", "code.cCode_Name", K::Name, 1400, true);
    t[Col::ItemClass] = fixed("ItemClass", "项目大类编码", "IA_Subsidiary.cItem_class", K::Code, 1200);
    t[Col::ItemClassName] =
        fixed("ItemClassName", "项目大类名称", "IA_Subsidiary.cItemCName", K::Name, 1400, true);
    t[Col::ItemCode] = fixed("ItemCode", "项目编码", "IA_Subsidiary.cItemCode", K::Code, 1100);
    t[Col::ItemName] = fixed("ItemName", "项目名称", "IA_Subsidiary.cName", K::Name, 1600, true);
    for (int n = 1; n <= 16; ++n)
        t[Col::Define1 + n - 1] =
            userDefined(QStringLiteral("Define%1").arg(n), QStringLiteral("IA_Subsidiary.cDefine%1").arg(n),
                        headDefineId(n), definePattern(n), false, n == 4 || n == 6);
    for (int n = 22; n <= 37; ++n)
        t[Col::Define22 + n - 22] =
            userDefined(QStringLiteral("Define%1").arg(n), QStringLiteral("IA_Subsidiary.cDefine%1").arg(n),
                        lineDefineId(n), definePattern(n), false, n == 36 || n == 37);
    t[Col::AutoId] = fixed("AutoId", "AUTOID", "IA_Subsidiary.AutoID", K::Key, 0);
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

}  // namespace qc::opening
