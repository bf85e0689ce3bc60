// The lookups behind the cell rules of the opening grid: rights of the operator,
// valuation methods, the inventory record a code fills a row from, user-defined
// items and their archives, project tables.

#include "opening/CellRules.h"
#include "platform/TextInput.h"

namespace qc::opening::cells {

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

std::optional<DefItem> defItemOf(int col) {
    // The opening row's own items: free items and the head and line items (the
    // inventory's items are shown, not typed).
    if (!isColumn(col)) return std::nullopt;
    const grid::ColumnSpec& column = openingColumns().at(col);
    if (column.userDefId.isEmpty() || !column.source.startsWith(QStringLiteral("IA_Subsidiary.")))
        return std::nullopt;
    const bool free = col >= Col::Free1 && col < Col::Free1 + 10;
    return DefItem{column.userDefId, column.source.mid(14).toLower(), free};
}

// A right of the operator on one code, asked only while that rights checking is on.
// Entering and changing rows needs the write grant.
bool hasRight(Env& e, const QString& code, const QString& kind) {
    if (kind == kRightInventory && !e.ctx.bInventoryCheck) return true;
    if (kind == kRightDepartment && !e.ctx.bDepartmentCheck) return true;
    if (code.trimmed().isEmpty()) return true;
    const QString key = kind + u'|' + code;
    const auto it = e.rightsSeen.constFind(key);
    if (it != e.rightsSeen.constEnd()) return it.value();
    const bool ok = e.look->right(code, kind);
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
    return e.look->inventoryMethod(invCode.trimmed());
}

bool isTracked(Env& e, const QString& invCode) {
    if (invCode.trimmed().isEmpty()) return false;
    return e.look->tracked(invCode.trimmed());
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
QString inventoryColumns() {
    QString select = QStringLiteral(
        "Inventory.cInvCode, Inventory.cInvName, Inventory.cInvAddCode, Inventory.cInvStd, "
        "ComputationUnit.cComUnitName, Inventory.iInvSPrice, Inventory.iInvRCost, Inventory.cReplaceItem, "
        "Inventory.cValueType, Inventory.bTrack");
    for (int n = 1; n <= 16; ++n) select += QStringLiteral(", Inventory.cInvDefine%1").arg(n);
    for (int n = 1; n <= 10; ++n) select += QStringLiteral(", Inventory.bFree%1").arg(n);
    return select;
}

QString inventoryQualifies() {
    return QStringLiteral(
        "Inventory.bService = 0 AND Inventory.bInvType = 0 AND (Inventory.dEDate IS NULL OR Inventory.dEDate "
        "> ?)");
}

InvRecord inventoryRecord(const QSqlQuery& q, int first) {
    const auto value = [&q, first](int i) { return q.value(first + i); };
    InvRecord r;
    r.code = textOf(value(0));
    r.name = textOf(value(1));
    r.addCode = textOf(value(2));
    r.std = textOf(value(3));
    r.unit = textOf(value(4));
    if (!value(5).isNull()) r.sPrice = Decimal::fromVariant(value(5));
    if (!value(6).isNull()) r.rCost = Decimal::fromVariant(value(6));
    r.replaceItem = textOf(value(7));
    r.valueType = textOf(value(8)).trimmed();
    r.tracked = intOf(value(9)) == 1;
    for (int n = 1; n <= 16; ++n) r.defines << defineText(value(9 + n), n);
    for (int n = 1; n <= 10; ++n) r.frees[n - 1] = intOf(value(25 + n)) == 1;
    return r;
}

std::optional<InvRecord> GetInvCanFill(Env& e, const QString& text) {
    const QString select = QStringLiteral("SELECT ") + inventoryColumns() + QStringLiteral(" ") +
                           kInventoryFrom + QStringLiteral(" WHERE ") + inventoryQualifies() +
                           QStringLiteral(" AND ");
    const QDate login = e.loginDate();
    QSqlQuery q = e.db.exec(select + QStringLiteral("Inventory.cInvCode = ?"), {login, text});
    if (q.next()) return inventoryRecord(q, 0);
    q = e.db.exec(select + QStringLiteral("(Inventory.cInvCode = ? OR Inventory.cInvName = ? OR "
                                          "Inventory.cInvAddCode = ?)"),
                  {login, text, text, text});
    // Several items may share a name: the one with the lowest code is taken.
    std::optional<InvRecord> best;
    while (q.next())
        if (!best || textOf(q.value(0)) < best->code) best = inventoryRecord(q, 0);
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
    QString lower = t.toLower();
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
                                   "LIKE UPPER(%1)%2 ORDER BY cValue")
                        .arg(e.db.dialect().typedText(), Dialect::likeEscape()),
                    {id, QVariant(containsPattern(typed))}};
    q.table = QStringLiteral("UserDefine");
    q.textField = QStringLiteral("cValue");
    q.tagField = QStringLiteral("cValue");
    q.captions = QStringList{caption, QStringLiteral("别名")};
    q.title = caption;
    return q;
}

ReferenceQuery freeItemQuery(Env& e, int col, const QString& typed) {
    const std::optional<DefItem> item = defItemOf(col);
    const int i = col - Col::Free1;
    return archiveQuery(e, item->id, typed, e.freeNames.value(i));
}

// A user-defined or free item checked against its archive when the item asks for it;
// a value typed as its alias is replaced by the value itself.
bool CheckUserDef(Env& e, int col, QString& value) {
    const std::optional<DefItem> item = defItemOf(col);
    if (!item || value.trimmed().isEmpty() || !e.look->defChecked(item->id)) return true;
    if (const std::optional<QString> stored = e.look->defValue(item->id, value)) {
        value = *stored;
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

std::optional<InvRecord> DatabaseLookups::inventory(const QString& typed) {
    return GetInvCanFill(*env, typed);
}

bool DatabaseLookups::right(const QString& code, const QString& kind) {
    return HasDataRight(env->ctx, code, kind, true);
}

QString DatabaseLookups::inventoryMethod(const QString& code) {
    return textOf(LookupFieldValue(*env, QStringLiteral("cValueType"), QStringLiteral("cInvCode"),
                                   QStringLiteral("Inventory"), code));
}

bool DatabaseLookups::tracked(const QString& code) {
    return intOf(LookupFieldValue(*env, QStringLiteral("bTrack"), QStringLiteral("cInvCode"),
                                  QStringLiteral("Inventory"), code)) == 1;
}

QString DatabaseLookups::subjectName(const QString& code) {
    return textOf(LookupFieldValue(*env, QStringLiteral("cCode_Name"), QStringLiteral("cCode"),
                                   QStringLiteral("code"), code));
}

std::optional<std::pair<QString, QString>> DatabaseLookups::codeName(const Dictionary& d,
                                                                     const QString& text) {
    return lookupCodeName(*env, d, text);
}

bool DatabaseLookups::personInDepartment(const QString& person, const QString& department) {
    return IsDepartmentIn(*env, person, department);
}

std::optional<std::pair<QString, QString>> DatabaseLookups::projectClass(const QString& cls) {
    QSqlQuery q = env->db.exec(
        QStringLiteral("SELECT cItem_Class, cItem_Name FROM fitem WHERE cItem_Class = ?"), {cls});
    if (!q.next()) return std::nullopt;
    return std::pair{textOf(q.value(0)), textOf(q.value(1))};
}

std::optional<std::pair<QString, QString>> DatabaseLookups::project(const QString& cls, const QString& code) {
    const QString table = projectTable(*env, cls);
    if (table.isEmpty()) return std::nullopt;
    const QString sql =
        table == u"INVENTORY"
            ? QStringLiteral("SELECT cInvCode, cInvName FROM Inventory WHERE cInvCode = ?")
            : QStringLiteral("SELECT citemcode, citemname FROM %1 WHERE citemcode = ?").arg(table);
    QSqlQuery q = env->db.exec(sql, {code});
    if (!q.next()) return std::nullopt;
    return std::pair{textOf(q.value(0)), textOf(q.value(1))};
}

bool DatabaseLookups::defChecked(const QString& id) {
    return GetDefCheck(*env, id);
}

std::optional<QString> DatabaseLookups::defValue(const QString& id, const QString& typed) {
    QSqlQuery q = env->db.exec(
        QStringLiteral(
            "SELECT cValue FROM UserDefine WHERE cID = ? AND (cValue = ? OR cAlias = ?) ORDER BY cValue"),
        {id, typed, typed});
    if (!q.next()) return std::nullopt;
    return textOf(q.value(0));
}

}  // namespace qc::opening::cells
