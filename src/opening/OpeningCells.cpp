// The cell rules of the opening entry window: what a typed or picked value must be
// and what it fills in the rest of the row.

#include "opening/CellRules.h"
#include "platform/TextInput.h"

#include <stdexcept>

namespace qc::opening {

namespace cells {

Outcome inventoryRule(Env& e, QString& value, int row) {
    const QString typed = value.trimmed();
    if (typed.isEmpty()) {
        // No item: nothing it filled remains.
        for (int c = Col::InvName; c <= Col::Unit; ++c) e.set(row, c, QString());
        for (int c = Col::InvDefine1; c <= Col::ReplaceItem; ++c) e.set(row, c, QString());
        value.clear();
        return Outcome::Accept;
    }
    const std::optional<InvRecord> found = e.look->inventory(typed);
    if (!found) return e.refuse(QStringLiteral("存货不合法！"));
    const InvRecord& inv = *found;
    if (!hasRight(e, inv.code, kRightInventory)) {
        e.sink.critical(QStringLiteral("该存货不是您所管辖的存货，请重新录入！"));
        return Outcome::RefuseAndClear;
    }
    QString method = e.curStyle;
    if (e.perItem()) {
        if (inv.valueType.isEmpty()) return e.refuse(QStringLiteral("对不起，此存货没有设置计价方式！"));
        method = inv.valueType;
    }
    e.set(row, Col::InvCode, inv.code);
    e.set(row, Col::InvName, inv.name);
    e.set(row, Col::InvAddCode, inv.addCode);
    e.set(row, Col::InvStd, inv.std);
    e.set(row, Col::Unit, inv.unit);
    for (int n = 0; n < 16; ++n) e.set(row, Col::InvDefine1 + n, inv.defines.value(n));
    e.set(row, Col::ReplaceItem, inv.replaceItem);

    const std::optional<Decimal> qty = numberIn(e.text(row, Col::Quantity));
    if (isPricedByPlan(costingMethodOf(method))) {
        if (!inv.rCost)
            return e.refuse(
                QStringLiteral("请在存货目录中录入该存货的") +
                (method == costing::kPlanned ? QStringLiteral("计划单价") : QStringLiteral("售价")) +
                QStringLiteral("，再录入它的期初！"));
        const Decimal price = inv.rCost->round(e.priceDec);
        e.set(row, Col::UnitCost, priceText(e, price));
        if (qty) e.set(row, Col::Amount, moneyText(*qty * price));
        e.set(row, Col::PlanPrice, e.text(row, Col::UnitCost));
        e.set(row, Col::PlanAmount, e.text(row, Col::Amount));
    } else if (inv.sPrice) {
        const Decimal price = inv.sPrice->round(e.priceDec);
        e.set(row, Col::UnitCost, priceText(e, price));
        if (qty) e.set(row, Col::Amount, moneyText(*qty * price));
    }

    SetEveryRow(e, row, inv);
    // The subject keeps its code; its name is shown again as the dictionary has it.
    const QString head = e.text(row, Col::InvHead).trimmed();
    if (!head.isEmpty()) e.set(row, Col::InvHeadName, e.look->subjectName(head));
    if (e.perItem()) {
        e.label2 = QStringLiteral("存货计价方式：") + inv.valueType;
        e.curStyle = inv.valueType;
    }
    value = inv.code;
    return Outcome::Accept;
}

// Under the planned and selling-price methods the posted differences of a stored
// row no longer fit a new quantity: they are cleared at once, in their own unit of
// work, before the row itself is written again.
bool clearDifferences(Env& e, int row) {
    bool ok = false;
    const qint64 autoId = e.text(row, Col::AutoId).trimmed().toLongLong(&ok);
    if (!ok) return true;
    try {
        Transaction tx(e.db);
        e.db.exec(QStringLiteral("UPDATE IA_Subsidiary SET iCreditDifCost = NULL, iDebitDifCost = NULL "
                                 "WHERE AutoID = ?"),
                  {autoId});
        tx.commit();
    } catch (const DbError&) {
        e.sink.critical(QStringLiteral("数据超出允许范围"));
        return false;
    }
    return true;
}

Outcome quantityRule(Env& e, QString& value, int row) {
    std::optional<Decimal> typed;
    if (!value.trimmed().isEmpty()) {
        typed = Decimal::parse(value.trimmed());
        if (!typed) return e.refuse(QStringLiteral("输入非法！"));
    }
    const QString inv = e.text(row, Col::InvCode).trimmed();
    if (inv.isEmpty()) return e.refuse(QStringLiteral("请输入存货！"));

    const QString method = methodOf(e, inv);
    const bool specific = method.contains(costing::kSpecific);
    const std::optional<Decimal> qty = typed ? std::optional<Decimal>(typed->round(e.quanDec)) : std::nullopt;
    const Decimal q = qty.value_or(Decimal());
    if (q.isNegative()) {
        if (specific) return e.refuse(QStringLiteral("个别计价法不允许录入负数量！"));
        if (isTracked(e, inv)) return e.refuse(QStringLiteral("跟踪型管理的存货不允许录入负数量！"));
    }
    if (specific && q <= Decimal() && Decimal::fromText(e.text(row, Col::Amount)).isNegative())
        return e.refuse(QStringLiteral("非调整单，个别计价法不允许录入负金额！"));

    if (isPricedByPlan(costingMethodOf(method))) {
        if (qty) {
            if (!clearDifferences(e, row)) return Outcome::Refuse;
            if (const std::optional<Decimal> plan = numberIn(e.text(row, Col::PlanPrice))) {
                e.set(row, Col::UnitCost, e.text(row, Col::PlanPrice));
                e.set(row, Col::Amount, moneyText(*qty * *plan));
                e.set(row, Col::PlanAmount, e.text(row, Col::Amount));
            }
        }
    } else {
        const Decimal price = Decimal::fromText(e.text(row, Col::UnitCost));
        const Decimal amount = Decimal::fromText(e.text(row, Col::Amount));
        if (!q.isZero() && !price.isZero())
            e.set(row, Col::Amount, moneyText(q * price));
        else if (price.isZero() && !q.isZero() && !amount.isZero())
            e.set(row, Col::UnitCost, priceText(e, amount / q));
    }
    value = qty ? formatNumber(*qty, decimalsPattern(e.quanDec)) : QString();
    return Outcome::Accept;
}

Outcome priceRule(Env& e, QString& value, int row) {
    if (value.trimmed().isEmpty()) {
        value.clear();
        return Outcome::Accept;
    }
    const std::optional<Decimal> typed = Decimal::parse(value.trimmed());
    if (!typed) return e.refuse(QStringLiteral("输入非法！"));
    if (typed->isNegative()) return e.refuse(QStringLiteral("单价必须大于等于零！"));
    const Decimal price = typed->round(e.priceDec);
    if (const std::optional<Decimal> qty = numberIn(e.text(row, Col::Quantity)))
        e.set(row, Col::Amount, moneyText(*qty * price));
    value = priceText(e, price);
    return Outcome::Accept;
}

Outcome amountRule(Env& e, QString& value, int row) {
    if (value.trimmed().isEmpty()) {
        value.clear();
        return Outcome::Accept;
    }
    const std::optional<Decimal> typed = Decimal::parse(value.trimmed());
    if (!typed) return e.refuse(QStringLiteral("输入非法！"));
    const Decimal amount = typed->round(2);
    const QString inv = e.text(row, Col::InvCode).trimmed();
    if (amount.isNegative()) {
        if (methodOf(e, inv).contains(costing::kSpecific))
            return e.refuse(QStringLiteral("非调整单，个别计价法不允许录入负金额！"));
        if (isTracked(e, inv)) return e.refuse(QStringLiteral("进行跟踪型管理的存货不允许录入负金额！"));
    }
    // The unit cost follows the amount; a planned price stays where it is.
    const Decimal q = Decimal::fromText(e.text(row, Col::Quantity));
    if (!q.isZero()) e.set(row, Col::UnitCost, priceText(e, amount / q));
    value = moneyText(amount);
    return Outcome::Accept;
}

Outcome dateRule(Env& e, QString& value, int col) {
    if (value.trimmed().isEmpty()) {
        value.clear();
        return Outcome::Accept;
    }
    const QDate d = parseDate(value);
    if (!d.isValid()) return e.refuse(QStringLiteral("日期不合法！"));
    if (d <= QDate(1949, 1, 1)) return e.refuse(QStringLiteral("日期输入不合法"));
    if (col == Col::VouDate && e.iaStart.isValid() && d >= e.iaStart)
        return e.refuse(QStringLiteral("入库日期必须小于本系统启用日期！"));
    value = d.toString(kDateFormat);
    return Outcome::Accept;
}

std::optional<std::pair<QString, QString>> lookupCodeName(Env& e, const Dictionary& d, const QString& text) {
    const QString t = QString::fromLatin1(d.table), code = QString::fromLatin1(d.codeColumn),
                  name = QString::fromLatin1(d.nameColumns[0]), cond = QString::fromLatin1(d.condition);
    const QString select = QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4 AND ").arg(code, name, t, cond);
    QSqlQuery q = e.db.exec(select + code + QStringLiteral(" = ?"), {text});
    if (q.next()) return std::pair{textOf(q.value(0)), textOf(q.value(1))};
    QString byName = name + QStringLiteral(" = ?");
    QVariantList binds{text};
    if (d.nameColumns[1]) {
        byName = u'(' + byName + QStringLiteral(" OR ") + QString::fromLatin1(d.nameColumns[1]) +
                 QStringLiteral(" = ?)");
        binds << text;
    }
    q = e.db.exec(select + byName + QStringLiteral(" ORDER BY ") + code, binds);
    if (q.next()) return std::pair{textOf(q.value(0)), textOf(q.value(1))};
    return std::nullopt;
}

Outcome dictionaryRule(Env& e, QString& value, int row, int col) {
    const Dictionary& d = col == Col::VenCode      ? kVendor
                          : col == Col::DepCode    ? kDepartment
                          : col == Col::PersonCode ? kPerson
                                                   : kSubject;
    const QString typed = value.trimmed();
    if (typed.isEmpty()) {
        e.set(row, col + 1, QString());
        value.clear();
        return Outcome::Accept;
    }
    const auto found = e.look->codeName(d, typed);
    if (!found) return e.refuse(QString::fromUtf8(d.refusal));
    const auto& [code, name] = *found;
    if (col == Col::DepCode && !hasRight(e, code, kRightDepartment))
        return e.refuse(QStringLiteral("该部门不是您所管辖的部门，请重新录入！"));
    if (col == Col::PersonCode) {
        const QString dep = e.text(row, Col::DepCode).trimmed();
        if (!dep.isEmpty() && !e.look->personInDepartment(code, dep) &&
            e.sink.ask(QStringLiteral("部门无此业务员，是否继续？")) != MsgAnswer::Yes)
            return Outcome::Refuse;
    }
    e.set(row, col + 1, name);
    value = code;
    return Outcome::Accept;
}

Outcome projectClassRule(Env& e, QString& value, int row) {
    const QString typed = value.trimmed();
    const QString before = e.text(row, Col::ItemClass).trimmed();
    if (typed.isEmpty()) {
        for (int c : {Col::ItemClassName, Col::ItemCode, Col::ItemName}) e.set(row, c, QString());
        value.clear();
        return Outcome::Accept;
    }
    const auto found = e.look->projectClass(typed);
    if (!found) return e.refuse(QStringLiteral("项目大类不合法！"));
    value = found->first;
    e.set(row, Col::ItemClassName, found->second);
    // A project belongs to its class: another class leaves no project behind.
    if (value != before)
        for (int c : {Col::ItemCode, Col::ItemName}) e.set(row, c, QString());
    return Outcome::Accept;
}

Outcome projectRule(Env& e, QString& value, int row) {
    const QString typed = value.trimmed();
    if (typed.isEmpty()) {
        e.set(row, Col::ItemName, QString());
        value.clear();
        return Outcome::Accept;
    }
    const QString cls = e.text(row, Col::ItemClass).trimmed();
    if (cls.isEmpty() || !e.look->projectClass(cls)) return e.refuse(QStringLiteral("项目大类不合法！"));
    const auto found = e.look->project(cls, typed);
    if (!found) return e.refuse(QStringLiteral("项目不合法！"));
    value = found->first;
    e.set(row, Col::ItemName, found->second);
    return Outcome::Accept;
}

// The digits of a number from its first non-zero digit to its last.
int significantDigits(const Decimal& n) {
    QString digits = n.toString(Decimal::kScale);
    digits.remove(u'-').remove(u'.');
    while (digits.startsWith(u'0')) digits.remove(0, 1);
    while (digits.endsWith(u'0')) digits.chop(1);
    return static_cast<int>(digits.size());
}

Outcome userDefRule(Env& e, QString& value, int col) {
    if (isDateColumn(col)) return dateRule(e, value, col);
    const std::optional<DefItem> item = defItemOf(col);
    static const QStringList wholeFields{QStringLiteral("cdefine5"), QStringLiteral("cdefine15")};
    static const QStringList realFields{QStringLiteral("cdefine7"),  QStringLiteral("cdefine16"),
                                        QStringLiteral("cdefine26"), QStringLiteral("cdefine27"),
                                        QStringLiteral("cdefine34"), QStringLiteral("cdefine35")};
    if (!value.trimmed().isEmpty() &&
        (wholeFields.contains(item->field) || realFields.contains(item->field))) {
        const std::optional<Decimal> n = Decimal::parse(value.trimmed());
        if (!n || (wholeFields.contains(item->field) && n->round(0) != *n))
            return e.refuse(QStringLiteral("输入非法！"));
        // A real field keeps fifteen significant digits; more would be stored changed.
        if (realFields.contains(item->field) && significantDigits(*n) > 15)
            return e.refuse(QStringLiteral("数据超出允许范围"));
    }
    if (!CheckUserDef(e, col, value)) return Outcome::Refuse;
    return Outcome::Accept;
}

Outcome runRule(Env& e, QString& value, int row, int col) {
    if (hasNoTextCharacters(value)) return e.refuse(kNoTextCharacters);
    // A number the row's figures cannot be computed with (a product or quotient
    // beyond what a decimal holds) is refused like any value its column cannot hold.
    try {
        switch (col) {
            case Col::InvCode:
                return inventoryRule(e, value, row);
            case Col::Quantity:
                return quantityRule(e, value, row);
            case Col::UnitCost:
                return priceRule(e, value, row);
            case Col::Amount:
                return amountRule(e, value, row);
            case Col::VenCode:
            case Col::DepCode:
            case Col::PersonCode:
            case Col::InvHead:
                return dictionaryRule(e, value, row, col);
            case Col::ItemClass:
                return projectClassRule(e, value, row);
            case Col::ItemCode:
                return projectRule(e, value, row);
            default:
                break;
        }
    } catch (const std::overflow_error&) {
        return e.refuse(QStringLiteral("数据超出允许范围"));
    }
    if (isDateColumn(col)) return dateRule(e, value, col);
    if (defItemOf(col)) return userDefRule(e, value, col);
    return Outcome::Accept;
}

// The name beside a code column; -1 for a column without one.
int nameColumnOf(int col) {
    return isColumn(col) ? openingColumns().at(col).nameColumn : -1;
}

// Contains-pattern on a column without regard to letter case, the typed text bound.
QString likeUpper(const Env& e, const QString& column) {
    return QStringLiteral("UPPER(%1) LIKE UPPER(%2)").arg(column, e.db.dialect().typedText()) +
           Dialect::likeEscape();
}

}  // namespace cells

using namespace cells;

void OpeningEntry::ValidateCell(QString& value, bool& cancel, int row, int col) {
    cancel = false;
    if (!m_grid.isDataRow(row) || col < 0 || col >= Col::Count || gridReadOnly() || isDictionaryColumn(col)) {
        cancel = true;
        return;
    }
    QC_CELL_ENV(this);
    if (const QString refusal = rowRightsRefusal(env, row); !refusal.isEmpty()) {
        env.sink.critical(refusal);
        cancel = true;
        return;
    }
    // A refused value leaves the whole row as it was, whatever the rule filled first.
    const QStringList before = m_grid.dataRow(row);
    const QString labelBefore = m_valuationLabel, styleBefore = CurWhValueStyle;
    QString v = value;
    Outcome outcome = Outcome::Refuse;
    try {
        outcome = runRule(env, v, row, col);
    } catch (const DbError& e) {
        // A lookup the database failed: the cell is refused with the cause.
        env.sink.critical(e.message());
    }
    if (outcome != Outcome::Accept) {
        for (int c = 0; c < before.size(); ++c) env.set(row, c, before.at(c));
        m_valuationLabel = labelBefore;
        CurWhValueStyle = styleBefore;
        if (outcome == Outcome::RefuseAndClear) {
            value.clear();
            env.set(row, col, QString());
        }
        cancel = true;
        return;
    }
    value = v;
    env.set(row, col, value);
    bDirty = true;
    // The stored row as shown before its first change: what the store checks the
    // account still holds.
    bool stored = false;
    const qint64 id = before.value(Col::AutoId).toLongLong(&stored);
    if (stored && !m_rowsAsShown.contains(id)) m_rowsAsShown.insert(id, before);
}

bool OpeningEntry::cellEditable(int row, int col) const {
    if (!m_grid.isDataRow(row) || col < 0 || col >= Col::Count) return false;
    if (gridReadOnly() || isDictionaryColumn(col)) return false;
    if (!m_ctx.gDb) return false;
    auto* self = const_cast<OpeningEntry*>(this);  // the rights answers are cached
    QC_CELL_ENV(self);
    return rowRightsRefusal(env, row).isEmpty();
}

void OpeningEntry::RowEntered(int row) {
    if (m_ctx.gValueStyle != basis::kByInventory || !m_ctx.gDb) return;
    QC_CELL_ENV(this);
    const QString method = m_grid.isDataRow(row) ? methodOf(env, m_grid.text(row, Col::InvCode)) : QString();
    m_valuationLabel = QStringLiteral("存货计价方式：") + method;
    CurWhValueStyle = method;
}

}  // namespace qc::opening
