// The cell rules of the opening entry window: what a typed or picked value must be,
// what it fills in the rest of the row, and the reference lookups of the code cells.

#include "session/LoginContext.h"

#include "domain/Vocabulary.h"
#include "host/VqLogin.h"
#include "opening/OpeningEntry.h"
#include "platform/Decimal.h"
#include "platform/Dialect.h"
#include "platform/NumberFormat.h"
#include "shared/AccountParams.h"

#include <QMap>
#include <QRegularExpression>
#include <QSqlQuery>

#include <optional>

namespace qc::opening {

namespace {

const QString kMoneyPattern = QStringLiteral("###0.00");
const QString kDateFormat = QStringLiteral("yyyy/MM/dd");

// The inventory record a code cell is filled from.
struct InvRecord {
    QString code, name, addCode, std, unit, replaceItem, valueType;
    std::optional<Decimal> sPrice, rCost;  // nothing when not set
    QStringList defines;                   // cinvdefine1..16 as grid texts
    bool frees[10] = {};                   // the item uses free item n
    bool tracked = false;
};

enum class Outcome { Accept, Refuse, RefuseAndClear };

// What the rules work with: the window's state, lent by the entry object for one call.
struct Env {
    LoginContext& ctx;
    Database& db;
    MessageSink& sink;
    grid::GridModel& grid;
    QString& label2;
    QString& curStyle;  // CurWhValueStyle
    const QStringList& freeNames;
    int quanDec;
    int priceDec;
    QDate iaStart;
    QMap<QString, bool>& rightsSeen;
    QStringList& tablesSeen;

    [[nodiscard]] QDate loginDate() const {
        return ctx.gLogin ? ctx.gLogin->LoginDate() : QDate::currentDate();
    }
    [[nodiscard]] bool perItem() const { return ctx.gValueStyle == basis::kByInventory; }
    [[nodiscard]] QString text(int row, int col) const { return grid.text(row, col); }
    void set(int row, int col, const QString& v) {
        if (grid.text(row, col) != v) grid.setText(row, col, v);
    }
    Outcome refuse(const QString& message) {
        sink.critical(message);
        return Outcome::Refuse;
    }
};

QString priceText(const Env& e, const Decimal& d) {
    return formatNumber(d, decimalsPattern(e.priceDec));
}
QString moneyText(const Decimal& d) {
    return formatNumber(d, kMoneyPattern);
}
// A cell's number; nothing when the cell is empty or not a number.
std::optional<Decimal> numberIn(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    return Decimal::parse(t);
}
// Accepts 2025-12-31, 2025/12/31, 2025.12.31 (months and days with one or two
// digits) and 20251231.
QDate parseDate(const QString& text) {
    const QString t = text.trimmed();
    static const QRegularExpression separated(QStringLiteral("^(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})$"));
    static const QRegularExpression compact(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})$"));
    QRegularExpressionMatch m = separated.match(t);
    if (!m.hasMatch()) m = compact.match(t);
    if (!m.hasMatch()) return {};
    return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
}

bool isColumn(int col) {
    return col >= 0 && col < Col::Count;
}

bool isDateColumn(int col) {
    return isColumn(col) && openingColumns().at(col).kind == grid::ColumnKind::Date;
}

// Columns filled from dictionaries and the row's key: never keyed.
bool isDictionaryColumn(int col) {
    return !isColumn(col) || !openingColumns().at(col).keyed();
}

// The user-defined item behind a column: its UserDef id and field name; nothing for
// other columns.
struct DefItem {
    QString id, field;
    bool isFree = false;
};
std::optional<DefItem> defItemOf(int col) {
    // The opening row's own items: free items and the head and line items (the
    // inventory's items are shown, not typed).
    if (!isColumn(col)) return std::nullopt;
    const grid::ColumnSpec& spec = openingColumns().at(col);
    if (spec.userDefId.isEmpty() || !spec.source.startsWith(QStringLiteral("IA_Subsidiary.")))
        return std::nullopt;
    const bool free = col >= Col::Free1 && col < Col::Free1 + 10;
    return DefItem{spec.userDefId, spec.source.mid(14).toLower(), free};
}

// ---- lookups

// A right of the operator on one code, asked only while that rights checking is on.
// Entering and changing rows needs the write grant.
bool hasRight(Env& e, const QString& code, const QString& kind) {
    if (kind == kRightInventory && !e.ctx.bInventoryCheck) return true;
    if (kind == kRightDepartment && !e.ctx.bDepartmentCheck) return true;
    if (code.trimmed().isEmpty()) return true;
    const QString key = kind + u'|' + code;
    const auto it = e.rightsSeen.constFind(key);
    if (it != e.rightsSeen.constEnd()) return it.value();
    const bool ok = HasDataRight(e.ctx, code, kind, true);
    e.rightsSeen.insert(key, ok);
    return ok;
}

// Why the row may not be changed at all; empty when it may.
QString rowRightsRefusal(Env& e, int row) {
    if (!hasRight(e, e.text(row, Col::InvCode).trimmed(), kRightInventory))
        return QStringLiteral("该存货不是您所管辖的存货，无权修改数据！");
    if (!hasRight(e, e.text(row, Col::DepCode).trimmed(), kRightDepartment))
        return QStringLiteral("该部门不是您所管辖的部门，无权修改数据！");
    return {};
}

// `field` of the row of `table` whose `keyField` equals the value; invalid when
// there is none. The identifiers come from this file, but are checked all the same.
QVariant LookupFieldValue(Env& e, const QString& field, const QString& keyField, const QString& table,
                          const QString& value) {
    for (const QString& id : {field, keyField, table}) {
        static const QRegularExpression ident(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
        if (!ident.match(id).hasMatch()) throw std::invalid_argument("not an identifier");
    }
    return e.db.scalar(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(field, table, keyField), {value});
}

// The method the row's rules follow: the item's own under per-item accounting,
// otherwise the window's warehouse (or department).
QString methodOf(Env& e, const QString& invCode) {
    if (!e.perItem()) return e.curStyle;
    if (invCode.trimmed().isEmpty()) return {};
    return textOf(LookupFieldValue(e, QStringLiteral("cValueType"), QStringLiteral("cInvCode"),
                                   QStringLiteral("Inventory"), invCode.trimmed()));
}

bool isTracked(Env& e, const QString& invCode) {
    if (invCode.trimmed().isEmpty()) return false;
    return intOf(LookupFieldValue(e, QStringLiteral("bTrack"), QStringLiteral("cInvCode"),
                                  QStringLiteral("Inventory"), invCode.trimmed())) == 1;
}

QString defineText(const QVariant& v, int n) {
    if (v.isNull()) return {};
    if (n == 11 || n == 12) return formatNumber(Decimal::fromVariant(v), QStringLiteral("###0"));
    if (n == 13 || n == 14) return formatNumber(Decimal::fromVariant(v), QStringLiteral("###0.000000"));
    if (n == 15 || n == 16) return dateOf(v).toString(kDateFormat);
    return textOf(v);
}

// The item that may be entered for a typed text: by code first, then by code, name
// or mnemonic code. Services, non-stock items and items stopped on or before the
// login date never qualify. Both lookups run on indexed columns.
std::optional<InvRecord> GetInvCanFill(Env& e, const QString& text) {
    QString select = QStringLiteral(
        "SELECT Inventory.cInvCode, Inventory.cInvName, Inventory.cInvAddCode, Inventory.cInvStd, "
        "ComputationUnit.cComUnitName, Inventory.iInvSPrice, Inventory.iInvRCost, Inventory.cReplaceItem, "
        "Inventory.cValueType, Inventory.bTrack");
    for (int n = 1; n <= 16; ++n) select += QStringLiteral(", Inventory.cInvDefine%1").arg(n);
    for (int n = 1; n <= 10; ++n) select += QStringLiteral(", Inventory.bFree%1").arg(n);
    select += QStringLiteral(
        " FROM Inventory LEFT JOIN ComputationUnit ON Inventory.cComUnitCode = ComputationUnit.cComunitCode "
        "WHERE Inventory.bService = 0 AND Inventory.bInvType = 0 "
        "AND (Inventory.dEDate IS NULL OR Inventory.dEDate > ?) AND ");
    const QDate login = e.loginDate();

    auto recordOf = [](const QSqlQuery& q) {
        InvRecord r;
        r.code = textOf(q.value(0));
        r.name = textOf(q.value(1));
        r.addCode = textOf(q.value(2));
        r.std = textOf(q.value(3));
        r.unit = textOf(q.value(4));
        if (!q.value(5).isNull()) r.sPrice = Decimal::fromVariant(q.value(5));
        if (!q.value(6).isNull()) r.rCost = Decimal::fromVariant(q.value(6));
        r.replaceItem = textOf(q.value(7));
        r.valueType = textOf(q.value(8)).trimmed();
        r.tracked = intOf(q.value(9)) == 1;
        for (int n = 1; n <= 16; ++n) r.defines << defineText(q.value(9 + n), n);
        for (int n = 1; n <= 10; ++n) r.frees[n - 1] = intOf(q.value(25 + n)) == 1;
        return r;
    };

    QSqlQuery q = e.db.exec(select + QStringLiteral("Inventory.cInvCode = ?"), {login, text});
    if (q.next()) return recordOf(q);
    q = e.db.exec(select + QStringLiteral("(Inventory.cInvCode = ? OR Inventory.cInvName = ? OR "
                                          "Inventory.cInvAddCode = ?)"),
                  {login, text, text, text});
    // Several items may share a name: the one with the lowest code is taken.
    std::optional<InvRecord> best;
    while (q.next())
        if (!best || textOf(q.value(0)) < best->code) best = recordOf(q);
    return best;
}

// The item's exchange rate; nothing, after "该存货不存在！", when there is no such item.
[[maybe_unused]] std::optional<Decimal> InvCodeToExch(Env& e, const QString& code) {
    QSqlQuery q = e.db.exec(QStringLiteral("SELECT iInvExchRate FROM Inventory WHERE cInvCode = ?"), {code});
    if (!q.next()) {
        e.sink.critical(QStringLiteral("该存货不存在！"));
        return std::nullopt;
    }
    return Decimal::fromVariant(q.value(0));
}

bool GetDefCheck(Env& e, const QString& id) {
    return intOf(e.db.scalar(QStringLiteral("SELECT bCheckVal FROM UserDef WHERE cID = ?"), {id})) == 1;
}
bool GetDefArchive(Env& e, const QString& id) {
    return intOf(e.db.scalar(QStringLiteral("SELECT bArchive FROM UserDef WHERE cID = ?"), {id})) == 1;
}

bool IsDepartmentIn(Env& e, const QString& person, const QString& dep) {
    return e.db.scalar(QStringLiteral("SELECT COUNT(*) FROM Person WHERE cPersonCode = ? AND cDepCode = ?"),
                       {person, dep})
               .toLongLong() > 0;
}

// The table that lists the projects of a class, checked against the schema: "INVENTORY"
// for the inventory items; empty when the class names no usable table.
QString projectTable(Env& e, const QString& cls) {
    const QString t =
        textOf(e.db.scalar(QStringLiteral("SELECT cTable FROM fitem WHERE cItem_Class = ?"), {cls}))
            .trimmed();
    if (t.compare(QStringLiteral("INVENTORY"), Qt::CaseInsensitive) == 0) return QStringLiteral("INVENTORY");
    static const QRegularExpression ident(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    if (!ident.match(t).hasMatch()) return {};
    const QString lower = t.toLower();
    if (e.tablesSeen.contains(lower)) return lower;
    if (!e.db.tables().contains(lower)) return {};
    const QStringList cols = e.db.columnsOf(lower);
    if (!cols.contains(QStringLiteral("citemcode")) || !cols.contains(QStringLiteral("citemname"))) return {};
    e.tablesSeen << lower;
    return lower;
}

// The values of a user-defined item's archive, for its reference window.
ReferenceQuery archiveQuery(Env& e, const QString& id, const QString& typed, const QString& caption) {
    ReferenceQuery q;
    q.list =
        SqlFragment{QStringLiteral("SELECT cValue, cAlias FROM UserDefine WHERE cID = ? AND UPPER(cValue) "
                                   "LIKE UPPER(%1) ORDER BY cValue")
                        .arg(e.db.dialect().typedText()),
                    {id, QVariant(u'%' + typed + u'%')}};
    q.table = QStringLiteral("UserDefine");
    q.textField = QStringLiteral("cValue");
    q.tagField = QStringLiteral("cValue");
    q.captions = QStringList{caption, QStringLiteral("别名")};
    q.title = caption;
    return q;
}

ReferenceQuery RefrenceFree(Env& e, int col, const QString& typed) {
    const std::optional<DefItem> item = defItemOf(col);
    const int i = col - Col::Free1;
    return archiveQuery(e, item->id, typed, e.freeNames.value(i));
}

// A user-defined or free item checked against its archive when the item asks for it;
// a value typed as its alias is replaced by the value itself.
bool CheckUserDef(Env& e, int col, QString& value) {
    const std::optional<DefItem> item = defItemOf(col);
    if (!item || value.trimmed().isEmpty() || !GetDefCheck(e, item->id)) return true;
    QSqlQuery q = e.db.exec(
        QStringLiteral(
            "SELECT cValue FROM UserDefine WHERE cID = ? AND (cValue = ? OR cAlias = ?) ORDER BY cValue"),
        {item->id, value, value});
    if (q.next()) {
        value = textOf(q.value(0));
        return true;
    }
    QString caption = item->isFree ? e.freeNames.value(col - Col::Free1) : QString();
    if (caption.isEmpty()) caption = e.grid.captions().value(col);
    if (caption.isEmpty()) caption = item->isFree ? QStringLiteral("自由项") : QStringLiteral("自定义项");
    e.sink.critical(caption + QStringLiteral("不合法！"));
    return false;
}

// The free items of the row after an item is entered: a named free item the item
// does not use is cleared; the others keep what was typed.
void SetEveryRow(Env& e, int row, const InvRecord& inv) {
    for (int i = 0; i < 10; ++i) {
        if (e.freeNames.value(i).isEmpty() || inv.frees[i]) continue;
        e.set(row, Col::Free1 + i, QString());
    }
}

// ---- the rules of the columns

Outcome inventoryRule(Env& e, QString& value, int row) {
    const QString typed = value.trimmed();
    if (typed.isEmpty()) {
        // No item: nothing it filled remains.
        for (int c = Col::InvName; c <= Col::Unit; ++c) e.set(row, c, QString());
        for (int c = Col::InvDefine1; c <= Col::ReplaceItem; ++c) e.set(row, c, QString());
        value.clear();
        return Outcome::Accept;
    }
    const std::optional<InvRecord> found = GetInvCanFill(e, typed);
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
    if (!head.isEmpty())
        e.set(row, Col::InvHeadName,
              textOf(LookupFieldValue(e, QStringLiteral("cCode_Name"), QStringLiteral("cCode"),
                                      QStringLiteral("code"), head)));
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

// A code-and-name dictionary of the row: the typed text as a code first, then as a name.
struct Dictionary {
    const char* table;
    const char* codeColumn;
    const char* nameColumns[2];  // the first is shown
    const char* condition;       // always applies
    const char* refusal;
};

const Dictionary kVendor{"Vendor", "cVenCode", {"cVenAbbName", "cVenName"}, "1 = 1", "供应商不合法！"};
const Dictionary kDepartment{"Department", "cDepCode", {"cDepName", nullptr}, "bDepEnd = 1", "部门不合法！"};
const Dictionary kPerson{"Person", "cPersonCode", {"cPersonName", nullptr}, "1 = 1", "业务员不合法！"};
const Dictionary kSubject{"code", "cCode", {"cCode_Name", nullptr}, "bEnd = 1", "存货科目不合法！"};

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
    const auto found = lookupCodeName(e, d, typed);
    if (!found) return e.refuse(QString::fromUtf8(d.refusal));
    const auto& [code, name] = *found;
    if (col == Col::DepCode && !hasRight(e, code, kRightDepartment))
        return e.refuse(QStringLiteral("该部门不是您所管辖的部门，请重新录入！"));
    if (col == Col::PersonCode) {
        const QString dep = e.text(row, Col::DepCode).trimmed();
        if (!dep.isEmpty() && !IsDepartmentIn(e, code, dep) &&
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
    QSqlQuery q =
        e.db.exec(QStringLiteral("SELECT cItem_Class, cItem_Name FROM fitem WHERE cItem_Class = ?"), {typed});
    if (!q.next()) return e.refuse(QStringLiteral("项目大类不合法！"));
    value = textOf(q.value(0));
    e.set(row, Col::ItemClassName, textOf(q.value(1)));
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
    if (cls.isEmpty() ||
        !e.db.scalar(QStringLiteral("SELECT cItem_Class FROM fitem WHERE cItem_Class = ?"), {cls}).isValid())
        return e.refuse(QStringLiteral("项目大类不合法！"));
    const QString table = projectTable(e, cls);
    if (table.isEmpty()) return e.refuse(QStringLiteral("项目不合法！"));
    const QString sql =
        table == u"INVENTORY"
            ? QStringLiteral("SELECT cInvCode, cInvName FROM Inventory WHERE cInvCode = ?")
            : QStringLiteral("SELECT citemcode, citemname FROM %1 WHERE citemcode = ?").arg(table);
    QSqlQuery q = e.db.exec(sql, {typed});
    if (!q.next()) return e.refuse(QStringLiteral("项目不合法！"));
    value = textOf(q.value(0));
    e.set(row, Col::ItemName, textOf(q.value(1)));
    return Outcome::Accept;
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
    }
    if (!CheckUserDef(e, col, value)) return Outcome::Refuse;
    return Outcome::Accept;
}

Outcome runRule(Env& e, QString& value, int row, int col) {
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
    return QStringLiteral("UPPER(%1) LIKE UPPER(%2)").arg(column, e.db.dialect().typedText());
}

}  // namespace

// ---- OpeningEntry

// The rules' view of the window's state, for one call.
#define QC_CELL_ENV(self)                                                                      \
    Env env {                                                                                  \
        (self)->m_ctx, (self)->m_ctx.gDb->Connection(), sinkOf((self)->m_ctx), (self)->m_grid, \
            (self)->m_label2, (self)->CurWhValueStyle, (self)->m_freeNames, (self)->QuanDec,   \
            (self)->PriceDec, (self)->IAStartDate, (self)->m_cellRights, (self)->m_cellTables  \
    }

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
    const QString labelBefore = m_label2, styleBefore = CurWhValueStyle;
    QString v = value;
    const Outcome outcome = runRule(env, v, row, col);
    if (outcome != Outcome::Accept) {
        for (int c = 0; c < before.size(); ++c) env.set(row, c, before.at(c));
        m_label2 = labelBefore;
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
    m_label2 = QStringLiteral("存货计价方式：") + method;
    CurWhValueStyle = method;
}

ReferenceQuery OpeningEntry::ReferenceQueryFor(int row, int col, const QString& typed) {
    QC_CELL_ENV(this);
    const QString pattern = u'%' + typed + u'%';
    ReferenceQuery q;
    q.title = m_grid.captions().value(col);
    switch (col) {
        case Col::InvCode: {
            QString sql = QStringLiteral(
                              "SELECT cInvCode, cInvName, cInvAddCode, cInvStd, cInvCCode FROM Inventory "
                              "WHERE bService = 0 AND bInvType = 0 AND (dEDate IS NULL OR dEDate > ?) "
                              "AND (%1 OR %2 OR %3)")
                              .arg(likeUpper(env, QStringLiteral("cInvCode")),
                                   likeUpper(env, QStringLiteral("cInvAddCode")),
                                   likeUpper(env, QStringLiteral("cInvName")));
            QVariantList binds{env.loginDate(), pattern, pattern, pattern};
            if (m_ctx.bInventoryCheck) {
                const SqlFragment rights =
                    BuildRightsFilter(m_ctx, QStringLiteral("Inventory.iId"), kRightInventory, true);
                if (!rights.isEmpty()) {
                    sql += QStringLiteral(" AND ") + rights.sql;
                    binds += rights.binds;
                }
            }
            q.list = SqlFragment{sql + QStringLiteral(" ORDER BY cInvCode"), binds};
            q.classTree = SqlFragment{
                QStringLiteral("SELECT cInvCCode, cInvCName FROM InventoryClass ORDER BY cInvCCode"), {}};
            q.table = QStringLiteral("Inventory");
            q.textField = QStringLiteral("cInvName");
            q.tagField = QStringLiteral("cInvCode");
            q.captions = QStringList{QStringLiteral("存货编码"), QStringLiteral("存货名称"),
                                     QStringLiteral("存货代码"), QStringLiteral("规格型号"),
                                     QStringLiteral("存货分类")};
            break;
        }
        case Col::DepCode: {
            QString sql = QStringLiteral(
                              "SELECT DISTINCT cDepCode, cDepName, cDepPerson FROM Department "
                              "WHERE bDepEnd = 1 AND (%1 OR %2)")
                              .arg(likeUpper(env, QStringLiteral("cDepCode")),
                                   likeUpper(env, QStringLiteral("cDepName")));
            QVariantList binds{pattern, pattern};
            if (m_ctx.bDepartmentCheck) {
                const SqlFragment rights =
                    BuildRightsFilter(m_ctx, QStringLiteral("cDepCode"), kRightDepartment, true);
                if (!rights.isEmpty()) {
                    sql += QStringLiteral(" AND ") + rights.sql;
                    binds += rights.binds;
                }
            }
            q.list = SqlFragment{sql + QStringLiteral(" ORDER BY cDepCode"), binds};
            q.table = QStringLiteral("Department");
            q.textField = QStringLiteral("cDepName");
            q.tagField = QStringLiteral("cDepCode");
            q.captions =
                QStringList{QStringLiteral("部门编码"), QStringLiteral("部门名称"), QStringLiteral("负责人")};
            break;
        }
        case Col::PersonCode: {
            QString sql = QStringLiteral(
                              "SELECT Person.cPersonCode, Person.cPersonName, Department.cDepName "
                              "FROM Department INNER JOIN Person ON Department.cDepCode = "
                              "Person.cDepCode WHERE (%1 OR %2)")
                              .arg(likeUpper(env, QStringLiteral("Person.cPersonCode")),
                                   likeUpper(env, QStringLiteral("Person.cPersonName")));
            QVariantList binds{pattern, pattern};
            const QString dep = m_grid.text(row, Col::DepCode).trimmed();
            if (!dep.isEmpty()) {
                sql += QStringLiteral(" AND Department.cDepCode = ?");
                binds << dep;
            }
            q.list = SqlFragment{sql + QStringLiteral(" ORDER BY Person.cPersonCode"), binds};
            q.table = QStringLiteral("Person");
            q.textField = QStringLiteral("cPersonName");
            q.tagField = QStringLiteral("cPersonCode");
            q.captions = QStringList{QStringLiteral("业务员编码"), QStringLiteral("业务员名称"),
                                     QStringLiteral("所属部门")};
            break;
        }
        case Col::VenCode:
            q.list = SqlFragment{QStringLiteral("SELECT cVenCode, cVenAbbName, cVenName, cVCCode FROM Vendor "
                                                "WHERE %1 ORDER BY cVenCode")
                                     .arg(likeUpper(env, QStringLiteral("cVenCode"))),
                                 {pattern}};
            q.classTree =
                SqlFragment{QStringLiteral("SELECT cVCCode, cVCName FROM VendorClass ORDER BY cVCCode"), {}};
            q.table = QStringLiteral("Vendor");
            q.textField = QStringLiteral("cVenAbbName");
            q.tagField = QStringLiteral("cVenCode");
            q.captions = QStringList{QStringLiteral("供应商编码"), QStringLiteral("供应商简称"),
                                     QStringLiteral("供应商名称"), QStringLiteral("供应商分类")};
            break;
        case Col::InvHead:
            q.list =
                SqlFragment{QStringLiteral("SELECT cCode, cCode_Name FROM code WHERE bEnd = 1 AND (%1 OR %2) "
                                           "ORDER BY cCode")
                                .arg(likeUpper(env, QStringLiteral("cCode")),
                                     likeUpper(env, QStringLiteral("cCode_Name"))),
                            {pattern, pattern}};
            q.table = QStringLiteral("code");
            q.textField = QStringLiteral("cCode_Name");
            q.tagField = QStringLiteral("cCode");
            q.captions = QStringList{QStringLiteral("科目编码"), QStringLiteral("科目名称")};
            break;
        case Col::ItemClass:
            q.list = SqlFragment{QStringLiteral("SELECT cItem_Class, cItem_Name FROM fitem WHERE %1 "
                                                "ORDER BY cItem_Class")
                                     .arg(likeUpper(env, QStringLiteral("cItem_Class"))),
                                 {pattern}};
            q.table = QStringLiteral("fitem");
            q.textField = QStringLiteral("cItem_Name");
            q.tagField = QStringLiteral("cItem_Class");
            q.captions = QStringList{QStringLiteral("项目大类编码"), QStringLiteral("项目大类名称")};
            break;
        case Col::ItemCode: {
            const QString cls = m_grid.text(row, Col::ItemClass).trimmed();
            const QString table = cls.isEmpty() ? QString() : projectTable(env, cls);
            if (table.isEmpty()) return {};
            if (table == u"INVENTORY") {
                q.list = SqlFragment{QStringLiteral("SELECT cInvCode, cInvName FROM Inventory WHERE %1 "
                                                    "ORDER BY cInvCode")
                                         .arg(likeUpper(env, QStringLiteral("cInvCode"))),
                                     {pattern}};
                q.textField = QStringLiteral("cInvName");
                q.tagField = QStringLiteral("cInvCode");
            } else {
                q.list = SqlFragment{QStringLiteral("SELECT citemcode, citemname FROM %1 WHERE %2 "
                                                    "ORDER BY citemcode")
                                         .arg(table, likeUpper(env, QStringLiteral("citemcode"))),
                                     {pattern}};
                q.textField = QStringLiteral("citemname");
                q.tagField = QStringLiteral("citemcode");
            }
            q.table = table;
            q.captions = QStringList{QStringLiteral("项目编码"), QStringLiteral("项目名称")};
            break;
        }
        default: {
            const std::optional<DefItem> item = defItemOf(col);
            if (!item || isDateColumn(col)) return {};
            if (item->isFree) return RefrenceFree(env, col, typed);
            if (!GetDefArchive(env, item->id)) return {};
            return archiveQuery(env, item->id, typed, m_grid.captions().value(col));
        }
    }
    return q;
}

void OpeningEntry::ReferenceClicked(int row, int col) {
    if (!cellEditable(row, col)) return;
    MessageSink& sink = sinkOf(m_ctx);
    if (isDateColumn(col)) {
        const QString t = m_grid.text(row, col).trimmed();
        QDate initial = m_ctx.gLogin ? m_ctx.gLogin->LoginDate() : QDate::currentDate();
        if (col == Col::VouDate && IAStartDate.isValid()) initial = IAStartDate.addDays(-1);
        if (!t.isEmpty()) {
            initial = parseDate(t);
            if (!initial.isValid()) {
                sink.critical(QStringLiteral("请按照正确的日期格式输入日期"));
                return;
            }
        }
        const std::optional<QDate> picked = m_pickers.pickDate(initial);
        if (!picked) return;
        QString value = picked->toString(kDateFormat);
        bool cancel = false;
        ValidateCell(value, cancel, row, col);
        return;
    }
    try {
        const ReferenceQuery query = ReferenceQueryFor(row, col, m_grid.text(row, col).trimmed());
        if (query.list.isEmpty()) return;
        const std::optional<PickedRow> picked = m_pickers.reference(m_ctx.gDb->Connection(), query);
        if (picked) FillReturn(row, col, *picked);
    } catch (const DbError& e) {
        sink.critical(e.message());
    }
}

void OpeningEntry::FillReturn(int row, int col, const PickedRow& picked) {
    if (!m_grid.isDataRow(row)) return;
    // The code and name fields of the row a pick window returns, whichever window it was.
    auto first = [&](std::initializer_list<const char*> fields) {
        for (const char* f : fields) {
            const QVariant v = pickedValue(picked, QString::fromLatin1(f));
            if (v.isValid()) return textOf(v);
        }
        return QString();
    };
    QString code, name;
    switch (col) {
        case Col::InvCode:
            code = first({"cInvCode"});
            name = first({"cInvName"});
            break;
        case Col::VenCode:
            code = first({"cVenCode"});
            name = first({"cVenAbbName", "cVenName"});
            break;
        case Col::DepCode:
            code = first({"cDepCode"});
            name = first({"cDepName"});
            break;
        case Col::PersonCode:
            code = first({"cPersonCode"});
            name = first({"cPersonName"});
            break;
        case Col::InvHead:
            code = first({"cCode"});
            name = first({"cCode_Name"});
            break;
        case Col::ItemClass:
            code = first({"cItem_Class"});
            name = first({"cItem_Name"});
            break;
        case Col::ItemCode:
            code = first({"citemcode", "cInvCode"});
            name = first({"citemname", "cInvName"});
            break;
        default:
            code = first({"cValue"});
            break;
    }
    const QStringList before = m_grid.dataRow(row);
    const int nameCol = nameColumnOf(col);
    if (nameCol >= 0) m_grid.setText(row, nameCol, name);
    m_grid.setText(row, col, code);
    QString value = code;
    bool cancel = false;
    ValidateCell(value, cancel, row, col);
    if (cancel)
        for (int c = 0; c < before.size(); ++c)
            if (m_grid.text(row, c) != before.at(c)) m_grid.setText(row, c, before.at(c));
}

#undef QC_CELL_ENV

}  // namespace qc::opening
