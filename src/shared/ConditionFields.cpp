#include "shared/ConditionFields.h"

#include "host/HostDb.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"
#include "shared/ConditionText.h"

#include <QSqlQuery>

#include <algorithm>

namespace qc {

namespace {

void say(LoginContext& ctx, const QString& text) {
    if (ctx.sink) ctx.sink->exclamation(text);
}

// "code  name", and with the valuation method after the name padded to 20
// characters, at least one blank so that the method stays a separate item.
QString warehouseText(const WarehouseEntry& e, bool withMethod) {
    QString text = e.code + QStringLiteral("  ") + e.name;
    if (withMethod) text += QString(std::max<qsizetype>(1, 20 - e.name.size()), u' ') + e.valueStyle;
    return text;
}

}  // namespace

ConditionFields::ConditionFields(LoginContext& ctx, Pickers& pickers, ConditionOptions options)
    : m_ctx(ctx), m_pickers(pickers), m_options(std::move(options)) {}

bool ConditionFields::IsRefusedChar(QChar c) {
    static const QString refused = QStringLiteral("|~[]'@?\"#*");
    return refused.contains(c);
}

void ConditionFields::Load() {
    strWhStyle = m_ctx.gValueStyle;
    if (m_options.warehouses) loadWarehouses();
    if (m_options.grades) {
        gradeItems.clear();
        const qsizetype n = ReadAccParam(m_ctx, QStringLiteral("AA"), QStringLiteral("cGoodClass")).size();
        for (qsizetype i = 1; i <= n; ++i) gradeItems << QString::number(i);
        gradeItems << kDetailGrade;
        invGradeFrom = 0;
        invGradeTo = 0;
    }
}

void ConditionFields::loadWarehouses() {
    warehouses.clear();
    const bool withMethod = m_options.valuationInEntries;
    QString sql = withMethod ? QStringLiteral("SELECT cWhCode ,cWhName,cWhValueStyle FROM Warehouse ")
                             : QStringLiteral("SELECT cWhCode ,cWhName FROM Warehouse ");
    const SqlFragment rights = BuildRightsFilter(m_ctx, QStringLiteral("cWhCode"), kRightWarehouse, false);
    if (!rights.isEmpty()) sql += QStringLiteral(" where ") + rights.sql;
    sql += QStringLiteral(" ORDER BY cWhCode");
    QSqlQuery q = m_ctx.gDb->Connection().exec(sql, rights.binds);
    while (q.next()) {
        WarehouseEntry e;
        e.code = textOf(q.value(0));
        e.name = textOf(q.value(1));
        if (withMethod) e.valueStyle = textOf(q.value(2));
        e.text = warehouseText(e, withMethod);
        warehouses << e;
    }
}

void ConditionFields::pickItemClass() {
    ShowReference(m_ctx, m_pickers, itemClass, kRefInventoryClass, QString());
}

void ConditionFields::pickItemFrom() {
    ShowReference(m_ctx, m_pickers, itemFrom, kRefInventory, itemClass.tag);
}

void ConditionFields::pickItemTo() {
    ShowReference(m_ctx, m_pickers, itemTo, kRefInventory, itemClass.tag);
}

bool ConditionFields::leaveItemClass() {
    itemClass.text = itemClass.text.trimmed();
    if (CheckCodeName(m_ctx, itemClass, QStringLiteral("cInvCCode"), QStringLiteral("cInvCName"),
                      QStringLiteral("InventoryClass")))
        return true;
    say(m_ctx, m_options.word + QStringLiteral("分类输入不合法！"));
    itemClass = CodeBox{};
    return false;
}

bool ConditionFields::leaveItemFrom() {
    return leaveBound(itemFrom, m_options.word + QStringLiteral("上限输入不合法！"),
                      QStringLiteral(" And  bService=0 And bInvType=0  "));
}

bool ConditionFields::leaveItemTo() {
    return leaveBound(itemTo, m_options.word + QStringLiteral("下限输入不合法！"),
                      QStringLiteral(" And   bService=0 And bInvType=0  "));
}

bool ConditionFields::leaveBound(CodeBox& box, const QString& refusal, const QString& extra) {
    box.text = box.text.trimmed();
    if (!CheckCodeName(m_ctx, box, QStringLiteral("cInvCode"), QStringLiteral("cInvName"),
                       QStringLiteral("Inventory"), QStringLiteral("cInvCCode"),
                       QStringLiteral("InventoryClass"), itemClass.tag, SqlFragment{extra, {}})) {
        say(m_ctx, refusal);
        return false;
    }
    // The box shows the item's name; the rights are held on its code, in the tag.
    // Like every rights check, it applies only while inventory rights checking is on.
    if (!box.text.isEmpty() && m_ctx.bInventoryCheck &&
        !HasDataRight(m_ctx, box.tag, kRightInventory, false)) {
        say(m_ctx, QStringLiteral("该存货不是您所管辖的存货，请重新录入！"));
        box = CodeBox{};
        return false;
    }
    return true;
}

int ConditionFields::GradeFromChanged(int index) {
    if (index > invGradeTo) {
        say(m_ctx, QStringLiteral("存货级次上限输入有误"));
        return invGradeFrom;
    }
    invGradeFrom = static_cast<short>(index);
    return index;
}

int ConditionFields::GradeToChanged(int index) {
    if (index < invGradeFrom) {
        say(m_ctx, QStringLiteral("存货级次下限输入有误"));
        return invGradeTo;
    }
    invGradeTo = static_cast<short>(index);
    return index;
}

void ConditionFields::SelectAllWarehouses() {
    for (WarehouseEntry& e : warehouses) e.selected = true;
}

void ConditionFields::ClearWarehouses() {
    for (WarehouseEntry& e : warehouses) e.selected = false;
}

QStringList ConditionFields::SelectedWarehouseCodes() {
    QStringList codes;
    for (const WarehouseEntry& e : warehouses)
        if (e.selected) codes << e.code;
    if (!codes.isEmpty()) strWhCode = codes.last();
    return codes;
}

bool ConditionFields::CheckWarehouseChosen() {
    if (!m_options.warehouses) return true;
    const bool any = std::any_of(warehouses.cbegin(), warehouses.cend(),
                                 [](const WarehouseEntry& e) { return e.selected; });
    if (!any) say(m_ctx, QStringLiteral("必须至少选择一个仓库！"));
    return any;
}

}  // namespace qc
