#include "summary/GradeSummary.h"

#include "domain/Vocabulary.h"
#include "platform/Dialect.h"
#include "platform/Schema.h"
#include "platform/TextInput.h"
#include "platform/UnitSteps.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"
#include "shared/grid/ColumnBuilders.h"

#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>

namespace qc::summary {

namespace {

int decimals(LoginContext& ctx, const char* name) {
    return std::clamp(ReadAccParam(ctx, QStringLiteral("AA"), QString::fromLatin1(name)).toInt(), 0,
                      Decimal::kScale);
}

// The figure columns of each summary's result, in the grid's order.
QStringList figureNames(SummaryKind kind) {
    if (kind == SummaryKind::Opening)
        return {QStringLiteral("iJCQuantity"), QStringLiteral("iJCCost"), QStringLiteral("iJCMoney"),
                QStringLiteral("iJHCost"), QStringLiteral("iJHMoney")};
    return {QStringLiteral("iAInQuantity"), QStringLiteral("iInCost"), QStringLiteral("iAInPrice")};
}

const QStringList kLineColumns{QStringLiteral("cInvCCode"), QStringLiteral("cInvCName"),
                               QStringLiteral("cInvCode"),  QStringLiteral("cInvName"),
                               QStringLiteral("cInvStd"),   QStringLiteral("cInvM_Unit")};

}  // namespace

GradeSummary::GradeSummary(LoginContext& ctx, SummaryKind kind)
    : m_ctx(ctx), m_db(accountDb(ctx)), m_d(m_db.dialect()), m_kind(kind) {
    m_scheme = ReadAccParam(ctx, QStringLiteral("AA"), QStringLiteral("cGoodClass")).trimmed();
    m_grades = static_cast<int>(m_scheme.size());
    m_quantityDecimals = decimals(ctx, "iStrsQuanDecDgt");
    m_priceDecimals = decimals(ctx, "iStrsPriDecDgt");

    // The user-defined inventory items that have a name take part, in item order.
    QSqlQuery q = m_db.exec(
        QStringLiteral("SELECT cItem, cItemName FROM UserDef WHERE cClass = ? AND cItemName IS NOT NULL "
                       "AND cItemName <> ''"),
        {QStringLiteral("存货")});
    QMap<int, QString> named;
    static const QRegularExpression item(QStringLiteral("^自定义项([0-9]+)$"));
    while (q.next()) {
        const QRegularExpressionMatch m = item.match(textOf(q.value(0)).trimmed());
        const int n = m.hasMatch() ? m.captured(1).toInt() : 0;
        if (n >= 1 && n <= 16) named.insert(n, textOf(q.value(1)));
    }
    for (auto it = named.cbegin(); it != named.cend(); ++it) m_named << std::make_pair(it.key(), it.value());

    // Work-table names carry the instance number, which must be a plain number.
    static const QRegularExpression digits(QStringLiteral("^[0-9]*$"));
    if (!digits.match(ctx.gInstanceNo).hasMatch())
        throw DbError(QStringLiteral("实例号不能用作表名：%1").arg(ctx.gInstanceNo));
    const QString suffix = ctx.gInstanceNo;
    if (kind == SummaryKind::Opening) {
        m_other = QStringLiteral("QCSumTemp2") + suffix;
        m_result = QStringLiteral("QCSumTempGJ") + suffix;
    } else {
        m_other = QStringLiteral("QCOutSumTempGJ") + suffix;
        m_result = QStringLiteral("QCOutSumTemp0") + suffix;
    }
}

QStringList GradeSummary::gradeItems() const {
    QStringList l;
    for (int g = 1; g <= m_grades; ++g) l << QString::number(g);
    l << kDetailGrade;
    return l;
}

QStringList GradeSummary::defineColumns() const {
    QStringList l;
    for (const auto& [n, name] : m_named) l << QStringLiteral("cInvDefine%1").arg(n);
    return l;
}

int GradeSummary::codeLength(int grade) const {
    int length = 0;
    for (int k = 0; k < grade && k < m_scheme.size(); ++k) length += std::max(0, m_scheme.at(k).digitValue());
    return length;
}

grid::ColumnTable GradeSummary::columns() const {
    using K = grid::ColumnKind;
    using grid::fixedColumn;
    grid::ColumnTable t{
        fixedColumn("Grade", "存货级次", "Grade", K::Text, 1000),
        fixedColumn("ClassCode", "存货大类编码", "cInvCCode", K::Code, 1000),
        fixedColumn("ClassName", "存货大类名称", "cInvCName", K::Name, 1000),
        fixedColumn("InvCode", "存货编码", "cInvCode", K::Code, 1000),
        fixedColumn("InvName", "存货名称", "cInvName", K::Name, 1000),
        fixedColumn("InvStd", "规格型号", "cInvStd", K::Text, 1000),
        fixedColumn("Unit", "计量单位", "cInvM_Unit", K::Name, 1000),
    };
    for (const auto& [n, name] : m_named) {
        grid::ColumnSpec c = fixedColumn("", "", "", K::Text, 1000);
        c.key = QStringLiteral("InvDefine%1").arg(n);
        c.caption = name;
        c.source = QStringLiteral("cInvDefine%1").arg(n);
        t << c;
    }
    if (m_kind == SummaryKind::Opening) {
        t << fixedColumn("Quantity", "结存数量", "iJCQuantity", K::Quantity, 1000)
          << fixedColumn("Cost", "结存单价", "iJCCost", K::Price, 1000)
          << fixedColumn("Amount", "结存金额", "iJCMoney", K::Amount, 1000)
          << fixedColumn("PlanPrice", "计划单价", "iJHCost", K::Price, 1000)
          << fixedColumn("PlanAmount", "结存计划金额", "iJHMoney", K::Amount, 1000);
    } else {
        t << fixedColumn("Quantity", "结存数量", "iAInQuantity", K::Quantity, 1000)
          << fixedColumn("Cost", "单价", "iInCost", K::Price, 1000)
          << fixedColumn("Amount", "结存金额", "iAInPrice", K::Amount, 1000);
    }
    return t;
}

void GradeSummary::createTable(const QString& name, const QStringList& textColumns, bool withGrade) {
    TableDef t;
    t.name = name;
    const auto column = [](const QString& columnName, ColType type) {
        ColumnDef c;
        c.name = columnName;
        c.type = type;
        return c;
    };
    if (withGrade) t.columns << column(QStringLiteral("Grade"), ColType::Int);
    // The user-defined items keep the types they have in Inventory, so that a
    // number reads the same from either database; the rest are texts.
    const TableDef* inventory = findTable(QStringLiteral("Inventory"));
    const QStringList defines = defineColumns();
    for (const QString& c : textColumns) {
        const ColumnDef* source = defines.contains(c) && inventory ? inventory->column(c) : nullptr;
        if (source) {
            ColumnDef typed = *source;
            typed.notNull = false;
            typed.defaultValue.clear();
            t.columns << typed;
        } else {
            t.columns << column(c, ColType::Text);
        }
    }
    m_db.exec(createStatements(t, m_d).first());
}

SqlFragment GradeSummary::commonConditions(const SummaryRequest& r, const QString& table) const {
    SqlFragment f;
    const auto add = [&f](const QString& condition, const QVariant& value) {
        f.sql += QStringLiteral(" AND ") + condition;
        f.binds << value;
    };
    if (!r.itemClass.isEmpty())
        add(QStringLiteral("Inventory.cInvCCode LIKE ?") + Dialect::likeEscape(), prefixPattern(r.itemClass));
    if (!r.itemFrom.isEmpty()) add(table + QStringLiteral(".cInvCode >= ?"), r.itemFrom);
    if (!r.itemTo.isEmpty()) add(table + QStringLiteral(".cInvCode <= ?"), r.itemTo);
    const SqlFragment rights =
        RowRightsFilter(m_ctx, table + QStringLiteral(".cWhCode"), table + QStringLiteral(".cAccDep"),
                        QStringLiteral("Inventory.iId"), false);
    if (!rights.isEmpty()) {
        f.sql += QStringLiteral(" AND ") + rights.sql;
        f.binds += rights.binds;
    }
    return f;
}

// The inventory lines of the opening summary, from the opening ledger rows in one
// grouped statement: each row's quantity rounded to the quantity decimals, its
// amount (with the price differences where they belong) to cents, its planned
// amount to cents, then summed per item; the planned price is the rows' average.
void GradeSummary::openingItemLines(const SummaryRequest& r) {
    const int qd = m_quantityDecimals, pd = m_priceDecimals;
    QStringList all, plannedWarehouses;
    for (const WarehouseEntry& w : r.warehouses) {
        all << w.code;
        if (w.valueStyle == costing::kPlanned) plannedWarehouses << w.code;
    }
    const auto marks = [](const QStringList& l) {
        return QStringList(static_cast<int>(l.size()), QStringLiteral("?")).join(u',');
    };
    // Which rows carry the price differences, and which the planned figures:
    // per item, the items valued at planned or selling price; per warehouse, the
    // planned-price warehouses for the differences, and every row when some
    // planned-price warehouse is chosen for the planned figures.
    SqlFragment differences, plannedFigures;
    if (m_ctx.gValueStyle == basis::kByInventory) {
        differences = {QStringLiteral("Inventory.cValueType IN (?, ?)"),
                       {costing::kPlanned, costing::kSelling}};
        plannedFigures = differences;
    } else {
        differences =
            plannedWarehouses.isEmpty()
                ? SqlFragment{QStringLiteral("1 = 0"), {}}
                : SqlFragment{QStringLiteral("IA_Subsidiary.cWhCode IN (%1)").arg(marks(plannedWarehouses)),
                              QVariantList(plannedWarehouses.cbegin(), plannedWarehouses.cend())};
        plannedFigures = {plannedWarehouses.isEmpty() ? QStringLiteral("1 = 0") : QStringLiteral("1 = 1"),
                          {}};
    }
    const QString rowQty = m_d.decimalText(QStringLiteral("COALESCE(IA_Subsidiary.iAInQuantity, 0)"), qd);
    const QString rowMoney =
        QStringLiteral("CASE WHEN %1 THEN %2 ELSE %3 END")
            .arg(differences.sql,
                 m_d.decimalText(QStringLiteral("COALESCE(IA_Subsidiary.iAInPrice, 0) + "
                                                "COALESCE(IA_Subsidiary.iDebitDifCost, 0) - "
                                                "COALESCE(IA_Subsidiary.iCreditDifCost, 0)"),
                                 2),
                 m_d.decimalText(QStringLiteral("IA_Subsidiary.iAInPrice"), 2));
    const QString rowPlanCost =
        QStringLiteral("CASE WHEN %1 THEN %2 ELSE %3 END")
            .arg(plannedFigures.sql, m_d.decimalText(QStringLiteral("Inventory.iInvRCost"), pd),
                 m_d.decimalText(QStringLiteral("0"), pd));
    const QString rowPlanMoney =
        QStringLiteral("CASE WHEN %1 THEN %2 ELSE %3 END")
            .arg(plannedFigures.sql,
                 m_d.productText(QStringLiteral("COALESCE(IA_Subsidiary.iAInQuantity, 0)"),
                                 QStringLiteral("COALESCE(Inventory.iInvRCost, 0)"), 2),
                 m_d.decimalText(QStringLiteral("0"), 2));

    QStringList keys{
        QStringLiteral("InventoryClass.cInvCCode"), QStringLiteral("InventoryClass.cInvCName"),
        QStringLiteral("IA_Subsidiary.cInvCode"),   QStringLiteral("Inventory.cInvName"),
        QStringLiteral("Inventory.cInvStd"),        QStringLiteral("ComputationUnit.cComUnitName")};
    for (const QString& c : defineColumns()) keys << QStringLiteral("Inventory.") + c;
    QStringList keyNames = kLineColumns;
    keyNames << defineColumns();
    QStringList keyed;
    for (int i = 0; i < keys.size(); ++i) keyed << keys.at(i) + QStringLiteral(" AS ") + keyNames.at(i);

    const QString qty = m_d.exactSum(QStringLiteral("x.q"));
    const QString money = m_d.exactSum(QStringLiteral("x.m"));
    QString sql =
        QStringLiteral(
            "INSERT INTO %1 (Grade, %2, %3) SELECT %4, %5, %6, %7, %8, %9, %10 FROM (SELECT %11, %12 AS q, "
            "%13 AS m, "
            "%14 AS pc, %15 AS pm"
            " FROM IA_Subsidiary LEFT JOIN Warehouse ON IA_Subsidiary.cWhCode = Warehouse.cWhCode"
            " LEFT JOIN Inventory ON IA_Subsidiary.cInvCode = Inventory.cInvCode"
            " LEFT JOIN ComputationUnit ON Inventory.cComUnitCode = ComputationUnit.cComUnitCode"
            " LEFT JOIN InventoryClass ON Inventory.cInvCCode = InventoryClass.cInvCCode"
            " WHERE IA_Subsidiary.cVouType = ? AND IA_Subsidiary.cWhCode IN (%16)")
            .arg(m_result, keyNames.join(QStringLiteral(", ")),
                 figureNames(m_kind).join(QStringLiteral(", ")), m_d.typedInt(),
                 keyNames.join(QStringLiteral(", ")),
                 m_d.decimalText(QStringLiteral("COALESCE(%1, 0)").arg(qty), qd),
                 QStringLiteral("COALESCE(%1, %2)")
                     .arg(m_d.quotientText(money, qty, pd), m_d.decimalText(QStringLiteral("0"), pd)),
                 m_d.decimalText(QStringLiteral("COALESCE(%1, 0)").arg(money), 2),
                 m_d.quotientText(m_d.exactSum(QStringLiteral("COALESCE(x.pc, '0')")),
                                  QStringLiteral("COUNT(*)"), pd))
            .arg(m_d.decimalText(QStringLiteral("COALESCE(%1, 0)").arg(m_d.exactSum(QStringLiteral("x.pm"))),
                                 2),
                 keyed.join(QStringLiteral(", ")), rowQty, rowMoney, rowPlanCost, rowPlanMoney, marks(all));
    // The bound values in the order of their marks: the grade, the CASE conditions
    // of the amount and of the two planned figures, then the WHERE clause.
    QVariantList binds{m_grades + 1};
    binds += differences.binds;
    binds += plannedFigures.binds;
    binds += plannedFigures.binds;
    binds << voucher::kOpening;
    for (const QString& w : all) binds << w;
    const SqlFragment common = commonConditions(r, QStringLiteral("IA_Subsidiary"));
    sql += common.sql + QStringLiteral(") x GROUP BY ") + keyNames.join(QStringLiteral(", "));
    m_db.exec(sql, binds + common.binds);
}

// The inventory lines of the dispatched-goods summary: the opening rows of the
// business type summed per item over the chosen warehouses.
void GradeSummary::dispatchedItemLines(const SummaryRequest& r) {
    const int qd = m_quantityDecimals, pd = m_priceDecimals;
    const QString qty = m_d.exactSum(QStringLiteral("IA_EnSubsidiary.iAInQuantity"));
    const QString amount = m_d.exactSum(QStringLiteral("IA_EnSubsidiary.iAInPrice"));
    QStringList sources{
        QStringLiteral("InventoryClass.cInvCCode"), QStringLiteral("InventoryClass.cInvCName"),
        QStringLiteral("IA_EnSubsidiary.cInvCode"), QStringLiteral("Inventory.cInvName"),
        QStringLiteral("Inventory.cInvStd"),        QStringLiteral("ComputationUnit.cComUnitName")};
    for (const QString& c : defineColumns()) sources << QStringLiteral("Inventory.") + c;
    QStringList cols = kLineColumns;
    cols << defineColumns();
    QString sql =
        QStringLiteral(
            "INSERT INTO %1 (Grade, %2, %3) SELECT %4, %5, %6, %7, %8"
            " FROM IA_EnSubsidiary LEFT JOIN Warehouse ON IA_EnSubsidiary.cWhCode = Warehouse.cWhCode"
            " LEFT JOIN Inventory ON IA_EnSubsidiary.cInvCode = Inventory.cInvCode"
            " LEFT JOIN ComputationUnit ON Inventory.cComUnitCode = ComputationUnit.cComUnitCode"
            " LEFT JOIN InventoryClass ON Inventory.cInvCCode = InventoryClass.cInvCCode"
            " WHERE IA_EnSubsidiary.iMonth = 0 AND IA_EnSubsidiary.cBusType = ?")
            .arg(m_result, cols.join(QStringLiteral(", ")), figureNames(m_kind).join(QStringLiteral(", ")),
                 m_d.typedInt(), sources.join(QStringLiteral(", ")),
                 m_d.decimalText(QStringLiteral("COALESCE(%1, 0)").arg(qty), qd),
                 QStringLiteral("COALESCE(%1, %2)")
                     .arg(m_d.quotientText(amount, qty, pd), m_d.decimalText(QStringLiteral("0"), pd)),
                 m_d.decimalText(QStringLiteral("COALESCE(%1, 0)").arg(amount), pd));
    QVariantList binds{m_grades + 1, m_kind == SummaryKind::Instalment ? QStringLiteral("分期收款")
                                                                       : QStringLiteral("委托代销")};
    QStringList warehouses;
    for (const WarehouseEntry& w : r.warehouses) {
        warehouses << QStringLiteral("?");
        binds << w.code;
    }
    sql += QStringLiteral(" AND IA_EnSubsidiary.cWhCode IN (%1)").arg(warehouses.join(u','));
    const SqlFragment common = commonConditions(r, QStringLiteral("IA_EnSubsidiary"));
    sql += common.sql + QStringLiteral(" GROUP BY ") + sources.join(QStringLiteral(", "));
    m_db.exec(sql, binds + common.binds);
}

// The class lines of every grade, from the deepest up: a class sums the inventory
// lines whose class code begins with its own code. The lines are summed per class
// code first (there are few), and each grade sums those sums; items without a
// class give no class line.
void GradeSummary::classLines() {
    const int qd = m_quantityDecimals, pd = m_priceDecimals;
    const bool opening = m_kind == SummaryKind::Opening;
    const QStringList figures = figureNames(m_kind);
    QStringList summed{figures.at(0), figures.at(2)};
    if (opening) summed << QStringLiteral("iJHMoney");
    m_db.exec(m_d.dropTableIfExists(m_other));
    createTable(m_other, QStringList{QStringLiteral("cInvCCode")} + summed, false);
    QStringList sums;
    for (const QString& c : summed) sums << m_d.exactSum(QStringLiteral("s.") + c);
    m_db.exec(
        QStringLiteral("INSERT INTO %1 (cInvCCode, %2) SELECT s.cInvCCode, %3 FROM %4 s WHERE s.cInvCCode IS "
                       "NOT NULL AND s.Grade = %5 GROUP BY s.cInvCCode")
            .arg(m_other, summed.join(QStringLiteral(", ")), sums.join(QStringLiteral(", ")), m_result,
                 m_d.typedInt()),
        {m_grades + 1});

    const QString qty = m_d.exactSum(QStringLiteral("s.") + figures.at(0));
    const QString money = m_d.exactSum(QStringLiteral("s.") + figures.at(2));
    QStringList values{m_d.decimalText(QStringLiteral("COALESCE(%1, 0)").arg(qty), qd),
                       QStringLiteral("COALESCE(%1, %2)")
                           .arg(m_d.quotientText(money, qty, pd), m_d.decimalText(QStringLiteral("0"), pd)),
                       m_d.decimalText(QStringLiteral("COALESCE(%1, 0)").arg(money), opening ? 2 : pd)};
    if (opening)
        values << QStringLiteral("''")
               << m_d.decimalText(
                      QStringLiteral("COALESCE(%1, 0)").arg(m_d.exactSum(QStringLiteral("s.iJHMoney"))), 2);
    QStringList empties{QStringLiteral("''"), QStringLiteral("''"), QStringLiteral("''"),
                        QStringLiteral("''")};
    for (int i = 0; i < m_named.size(); ++i) empties << QStringLiteral("NULL");
    QStringList cols = kLineColumns;
    cols << defineColumns();
    const QString sql =
        QStringLiteral(
            "INSERT INTO %1 (Grade, %2, %3) SELECT %4, InventoryClass.cInvCCode, InventoryClass.cInvCName, "
            "%5, %6 FROM %7 s JOIN InventoryClass ON InventoryClass.cInvCCode = %8"
            " WHERE InventoryClass.iInvCGrade = %4 GROUP BY InventoryClass.cInvCCode, "
            "InventoryClass.cInvCName")
            .arg(m_result, cols.join(QStringLiteral(", ")), figures.join(QStringLiteral(", ")),
                 m_d.typedInt(), empties.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")),
                 m_other, m_d.left(QStringLiteral("s.cInvCCode"), m_d.typedInt()));
    for (int k = m_grades; k >= 1; --k) m_db.exec(sql, {k, codeLength(k), k});
}

void GradeSummary::Compute(const SummaryRequest& r) {
    const QString unit = QStringLiteral("summary");
    Transaction tx(m_db);
    announceStep(unit, QStringLiteral("tables"));
    m_db.exec(m_d.dropTableIfExists(m_result));
    QStringList cols = kLineColumns;
    cols << defineColumns() << figureNames(m_kind);
    createTable(m_result, cols, true);
    announceStep(unit, QStringLiteral("items"));
    if (m_kind == SummaryKind::Opening)
        openingItemLines(r);
    else
        dispatchedItemLines(r);
    // At this point the result holds the inventory lines only.
    announceStep(unit, QStringLiteral("classes"));
    classLines();
    announceStep(unit, QStringLiteral("commit"));
    tx.commit();
    m_computed = true;
}

QList<QStringList> GradeSummary::GetData(int gradeFrom, int gradeTo) {
    QList<QStringList> rows;
    if (!m_computed) return rows;
    QStringList cols{QStringLiteral("Grade")};
    cols << kLineColumns << defineColumns() << figureNames(m_kind);
    QSqlQuery q = m_db.exec(
        QStringLiteral(
            "SELECT %1 FROM %2 WHERE Grade >= ? AND Grade <= ? ORDER BY CASE WHEN cInvCCode IS NULL "
            "THEN 0 ELSE 1 END, cInvCCode, Grade, cInvCode")
            .arg(cols.join(QStringLiteral(", ")), m_result),
        {gradeFrom + 1, gradeTo + 1});
    const int n = static_cast<int>(cols.size());
    while (q.next()) {
        QStringList row;
        row.reserve(n);
        const int grade = q.value(0).toInt();
        row << (grade == m_grades + 1 ? kDetailGrade : QString::number(grade));
        for (int c = 1; c < n; ++c) row << textOf(q.value(c));
        rows << row;
    }
    if (rows.isEmpty()) sinkOf(m_ctx).exclamation(QStringLiteral("没有找到满足条件的记录！"));
    return rows;
}

QString GradeSummary::DispStyle(const QString& gradeFrom, const QString& gradeTo) {
    if (gradeFrom == kDetailGrade && gradeTo == kDetailGrade) return kDetailGrade;
    if (gradeTo == kDetailGrade) return QStringLiteral("级次明细");
    return QStringLiteral("级次");
}

}  // namespace qc::summary
