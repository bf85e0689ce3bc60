#include "shared/AccountParams.h"

#include "host/HostDb.h"
#include "host/VqLogin.h"
#include "host/YrCommon.h"
#include "session/LoginContext.h"

#include <QHash>
#include <QSqlQuery>

#include <stdexcept>

namespace qc {

namespace {

YrCommon& commonOf(LoginContext& ctx) {
    if (!ctx.gCommon) throw std::logic_error("data rights asked before the common services were bound");
    return *ctx.gCommon;
}

VqLogin& loginOf(LoginContext& ctx) {
    if (!ctx.gLogin) throw std::logic_error("no login in the start-up context");
    return *ctx.gLogin;
}

// The rights service's answer for "restricted, and holds nothing".
bool isNullAnswer(const SqlFragment& f) {
    return f.sql.trimmed().compare(u"Null", Qt::CaseInsensitive) == 0;
}

QString rightsFlag(bool writeRight, const QString& otherwise) {
    return writeRight ? QStringLiteral("W") : otherwise;
}

// Column texts come from the calling code, never from data; still, refuse anything
// that could carry more than a (qualified) column name into the statement.
QString checkedColumn(const QString& column) {
    QString c = column.trimmed();
    bool ok = !c.isEmpty();
    for (const QChar ch : column) {
        const char16_t u = ch.unicode();
        const bool ident = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') ||
                           u == u'_' || u == u'.' || u == u' ';
        if (!ident) ok = false;
    }
    if (!ok) throw std::invalid_argument("not a column name: " + column.toStdString());
    return c;
}

QStringList firstColumn(Database& db, const SqlFragment& query) {
    QStringList out;
    QSqlQuery q = db.exec(query);
    while (q.next()) out << textOf(q.value(0));
    return out;
}

// The permitted codes of a coded dictionary as one SELECT: the rights service's
// answer, or the whole dictionary when the operator is not restricted. Nothing
// (std::nullopt) when he holds no code at all.
std::optional<SqlFragment> codeSource(LoginContext& ctx, const QString& objectType, bool writeRight,
                                      const QString& fallback) {
    SqlFragment s = commonOf(ctx).GetRightsSql(objectType, QString(), rightsFlag(writeRight, QString()));
    if (isNullAnswer(s)) return std::nullopt;
    if (s.isEmpty()) s = SqlFragment{fallback, {}};
    return s;
}

const QString kWarehouseAll = QStringLiteral("select cWhCode from Warehouse order by cWhCode ");
const QString kDepartmentAll =
    QStringLiteral("select cDepCode from Department Where bDepEnd = 1 order by cDepCode ");

// "(col IN (<codes>) or col is null)", or "(col is null)" when no code is held.
// The permitted codes stay a subquery so that the condition does not grow with the
// number of codes; an empty subquery selects the same rows as "(col is null)".
SqlFragment codedFilter(LoginContext& ctx, const QString& col, const QString& objectType, bool writeRight,
                        const QString& fallback) {
    const std::optional<SqlFragment> src = codeSource(ctx, objectType, writeRight, fallback);
    if (!src) return SqlFragment{u'(' + col + QStringLiteral(" is null)"), {}};
    return SqlFragment{u'(' + col + QStringLiteral(" IN (") + src->sql + QStringLiteral(") or ") + col +
                           QStringLiteral(" is null)"),
                       src->binds};
}

// A caller-named table and column are used only when the database has them.
void checkTableColumns(Database& db, const QString& table, const QStringList& columns) {
    const QStringList have = db.columnsOf(table.trimmed());
    if (have.isEmpty())  // no such table
        throw std::invalid_argument("no such table: " + table.toStdString());
    for (const QString& c : columns) {
        if (!have.contains(c.trimmed().toLower()))
            throw std::invalid_argument("no such column: " + table.toStdString() + "." + c.toStdString());
    }
}

QStringList itemCaptions(LoginContext& ctx, const QString& itemWord, int count, const QString& cClass) {
    QStringList items;
    for (int n = 1; n <= count; ++n) items << itemWord + QString::number(n);
    QString sql = QStringLiteral("SELECT cItem, cItemName FROM UserDef WHERE ");
    QVariantList binds;
    if (!cClass.isEmpty()) {
        sql += QStringLiteral("cClass = ? AND ");
        binds << cClass;
    }
    sql += QStringLiteral("cItem IN (") + QStringList(count, QStringLiteral("?")).join(u',') +
           QStringLiteral(") AND COALESCE(cItemName,'') <> ''");
    for (const QString& i : items) binds << i;

    QHash<QString, QString> found;
    QSqlQuery q = accountDb(ctx).exec(sql, binds);
    while (q.next()) {
        const QString item = textOf(q.value(0));
        if (!found.contains(item)) found.insert(item, textOf(q.value(1)));
    }
    QStringList out;
    for (const QString& i : items) out << found.value(i);
    return out;
}

}  // namespace

QString ReadAccParam(LoginContext& ctx, const QString& cSysID, const QString& cName) {
    QSqlQuery q = accountDb(ctx).exec(
        QStringLiteral("SELECT cValue, cDefault FROM AccInformation WHERE cSysID = ? AND cName = ?"),
        {cSysID, cName});
    if (!q.next()) return {};
    const QString value = textOf(q.value(0));
    return value.isEmpty() ? textOf(q.value(1)) : value;
}

QString ReadAccValue(LoginContext& ctx, const QString& cSysID, const QString& cName) {
    QSqlQuery q = accountDb(ctx).exec(
        QStringLiteral("SELECT cValue FROM AccInformation WHERE cSysID = ? AND cName = ?"), {cSysID, cName});
    if (!q.next()) return {};
    return textOf(q.value(0));
}

bool IsIaStartYear(LoginContext& ctx) {
    VqLogin& login = loginOf(ctx);
    QSqlQuery q = login.Database().OpenRecordset(
        QStringLiteral("SELECT 1 FROM UA_Account_Sub WHERE cSub_Id = ? AND cAcc_Id = ? AND iYear < ?"),
        {QStringLiteral("IA"), login.AccountId(), login.AccountYear().toInt()});
    return !q.next();
}

void ReadRightsFlags(LoginContext& ctx) {
    const QString sys = commonOf(ctx).RightsSysId() == u"ST" ? QStringLiteral("ST") : QStringLiteral("IA");
    auto on = [&](const char* name) {
        return ReadAccParam(ctx, sys, QString::fromLatin1(name)).toUpper() == u"TRUE";
    };
    ctx.bWarehouseCheck = on("bWarehouseCheck");
    ctx.bDepartmentCheck = on("bDepartmentCheck");
    ctx.bInventoryCheck = on("bInventoryCheck");
    ctx.bOperatorCheck = on("bOperatorCheck");
}

SqlFragment BuildRightsFilter(LoginContext& ctx, const QString& column, const QString& kind, bool writeRight,
                              bool* built) {
    const QString col = checkedColumn(column);
    SqlFragment f;
    if (kind == kRightWarehouse) {
        if (ctx.bWarehouseCheck)
            f = codedFilter(ctx, col, QStringLiteral("Warehouse"), writeRight, kWarehouseAll);
    } else if (kind == kRightDepartment) {
        if (ctx.bDepartmentCheck)
            f = codedFilter(ctx, col, QStringLiteral("Department"), writeRight, kDepartmentAll);
    } else if (kind == kRightInventory) {
        if (ctx.bInventoryCheck) {
            const SqlFragment s = InventoryRightsSql(ctx, writeRight);
            if (!s.isEmpty() && !isNullAnswer(s))
                f = SqlFragment{col + QStringLiteral(" IN (") + s.sql + u')', s.binds};
        }
    } else if (kind == kRightOperator) {
        if (ctx.bOperatorCheck) {
            const SqlFragment s = UserRightsSql(ctx, writeRight);
            if (isNullAnswer(s))
                f = SqlFragment{u'(' + col + QStringLiteral(" is null)"), {}};
            else if (!s.isEmpty())
                f = SqlFragment{col + QStringLiteral(" IN (") + s.sql + u')', s.binds};
        }
    }
    ctx.lastRightsFilter = f;
    ctx.lastRightsColumn = column;
    if (built) *built = !f.isEmpty();
    return f;
}

SqlFragment RowRightsFilter(LoginContext& ctx, const QString& warehouseColumn,
                            const QString& departmentColumn, const QString& inventoryIdColumn,
                            bool writeRight) {
    return BuildRightsFilter(ctx, warehouseColumn, kRightWarehouse, writeRight)
        .andWith(BuildRightsFilter(ctx, departmentColumn, kRightDepartment, writeRight))
        .andWith(BuildRightsFilter(ctx, inventoryIdColumn, kRightInventory, writeRight));
}

QStringList WarehouseCodeList(LoginContext& ctx, bool writeRight) {
    const auto src = codeSource(ctx, QStringLiteral("Warehouse"), writeRight, kWarehouseAll);
    return src ? firstColumn(accountDb(ctx), *src) : QStringList();
}

QStringList DepartmentCodeList(LoginContext& ctx, bool writeRight) {
    const auto src = codeSource(ctx, QStringLiteral("Department"), writeRight, kDepartmentAll);
    return src ? firstColumn(accountDb(ctx), *src) : QStringList();
}

SqlFragment InventoryRightsSql(LoginContext& ctx, bool writeRight) {
    return commonOf(ctx).GetRightsSql(QStringLiteral("Inventory"), QString(),
                                      rightsFlag(writeRight, QString()));
}

SqlFragment UserRightsSql(LoginContext& ctx, bool writeRight) {
    return commonOf(ctx).GetRightsSql(QStringLiteral("User"), QString(),
                                      rightsFlag(writeRight, QStringLiteral("R")));
}

SqlFragment InventoryCodeFilter(LoginContext& ctx, const QString& column, bool writeRight) {
    const QString col = checkedColumn(column);
    const SqlFragment s = InventoryRightsSql(ctx, writeRight);
    if (s.isEmpty()) return {};
    const SqlFragment permitted{
        QStringLiteral("select cInvCode from Inventory where iid in (") + s.sql + u')', s.binds};
    // Whether any item is permitted decides the form; the codes themselves stay a
    // subquery instead of a literal list that grows with the inventory.
    const bool any = !isNullAnswer(s) && accountDb(ctx).exec(permitted).next();
    if (!any) return SqlFragment{col + QStringLiteral(" is null "), {}};
    return SqlFragment{col + QStringLiteral(" in (") + permitted.sql + u')', permitted.binds};
}

bool HasDataRight(LoginContext& ctx, const QString& code, const QString& kind, bool writeRight) {
    if (code.isEmpty()) return true;
    QString object;
    if (kind == kRightWarehouse)
        object = QStringLiteral("warehouse");
    else if (kind == kRightDepartment)
        object = QStringLiteral("department");
    else if (kind == kRightInventory)
        object = QStringLiteral("inventory");
    else
        return false;
    return commonOf(ctx).HasRight(object, code, rightsFlag(writeRight, QStringLiteral("R")), QString());
}

QStringList FillWarehouseCombo(LoginContext& ctx, const QString& depCode) {
    SqlFragment q{QStringLiteral("SELECT cWhCode,cWhName FROM Warehouse"), {}};
    const SqlFragment filter = BuildRightsFilter(ctx, QStringLiteral("cWhCode"), kRightWarehouse, false);
    SqlFragment where = filter;
    if (!depCode.isEmpty()) where = where.andWith(SqlFragment{QStringLiteral("cDepCode = ?"), {depCode}});
    if (!where.isEmpty()) {
        q.sql += QStringLiteral(" WHERE ") + where.sql;
        q.binds += where.binds;
    }
    q.sql += QStringLiteral(" ORDER BY cWhCode");

    QStringList items;
    QSqlQuery r = accountDb(ctx).exec(q);
    while (r.next()) items << textOf(r.value(0)).leftJustified(15, u' ') + textOf(r.value(1));
    return items;
}

QStringList InvDefineNames(LoginContext& ctx) {
    return itemCaptions(ctx, QStringLiteral("自定义项"), 16, QStringLiteral("存货"));
}

QStringList FreeItemNames(LoginContext& ctx) {
    return itemCaptions(ctx, QStringLiteral("自由项"), 10, QString());
}

short UserDefLength(LoginContext& ctx, const QString& field, const QString& table, const QString& keyColumn,
                    const QString& key) {
    Database& db = accountDb(ctx);
    checkTableColumns(db, table, {field, keyColumn, QStringLiteral("cType")});
    QSqlQuery q = db.exec(QStringLiteral("SELECT %1 AS iLong FROM %2 WHERE cType = ? AND %3 = ?")
                              .arg(field.trimmed(), table.trimmed(), keyColumn.trimmed()),
                          {QStringLiteral("文本"), key});
    if (!q.next()) return 0;
    return static_cast<short>(intOf(q.value(0)));
}

std::optional<QString> UserDefCaption(LoginContext& ctx, const QString& field, const QString& table,
                                      const QString& keyColumn, const QString& key) {
    Database& db = accountDb(ctx);
    checkTableColumns(db, table, {field, keyColumn, QStringLiteral("cItem")});
    QSqlQuery q = db.exec(QStringLiteral("SELECT %1 AS name, cItem FROM %2 WHERE %3 = ?")
                              .arg(field.trimmed(), table.trimmed(), keyColumn.trimmed()),
                          {key});
    if (!q.next()) return std::nullopt;
    return q.value(0).isNull() ? textOf(q.value(1)) : textOf(q.value(0));
}

QHash<QString, UserDefItem> UserDefItems(LoginContext& ctx, const QStringList& ids) {
    QHash<QString, UserDefItem> out;
    if (ids.isEmpty()) return out;
    QVariantList binds{QStringLiteral("文本")};
    for (const QString& id : ids) binds << id;
    QSqlQuery q = accountDb(ctx).exec(
        QStringLiteral("SELECT cID, cItemName, cItem, CASE WHEN cType = ? THEN iLong ELSE 0 END "
                       "FROM UserDef WHERE cID IN (") +
            QStringList(static_cast<int>(ids.size()), QStringLiteral("?")).join(u',') + u')',
        binds);
    while (q.next())
        out.insert(textOf(q.value(0)),
                   UserDefItem{q.value(1).isNull() ? textOf(q.value(2)) : textOf(q.value(1)),
                               static_cast<short>(intOf(q.value(3)))});
    return out;
}

std::optional<PeriodDates> LoginPeriod(LoginContext& ctx, int period) {
    if (!ctx.gLogin) return std::nullopt;
    QSqlQuery q = accountDb(ctx).exec(
        QStringLiteral("SELECT dBegin, dEnd FROM UA_Period WHERE cAcc_Id = ? AND iYear = ? AND iId = ?"),
        {ctx.gLogin->AccountId(), ctx.gLogin->AccountYear().toInt(), period});
    if (!q.next()) return std::nullopt;
    return PeriodDates{dateOf(q.value(0)), dateOf(q.value(1))};
}

QString UserDefId(LoginContext& ctx, const QString& cClass, int n) {
    return textOf(
        accountDb(ctx).scalar(QStringLiteral("SELECT cID FROM UserDef WHERE cClass = ? AND cItem = ?"),
                              {cClass, QStringLiteral("自定义项") + QString::number(n)}));
}

QString UnitName(LoginContext& ctx) {
    return textOf(accountDb(ctx).scalar(QStringLiteral("SELECT cUnitName FROM UA_Account WHERE cAcc_Id = ?"),
                                        {loginOf(ctx).AccountId()}));
}

}  // namespace qc
