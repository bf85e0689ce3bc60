#include "reconcile/Reconciliation.h"

#include "domain/Vocabulary.h"
#include "platform/Decimal.h"
#include "platform/Dialect.h"
#include "platform/NumberFormat.h"
#include "platform/Schema.h"
#include "platform/TextInput.h"
#include "platform/UnitSteps.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"
#include "shared/grid/ColumnBuilders.h"

#include <QRegularExpression>
#include <QSqlQuery>

namespace qc::reconcile {

namespace {

QList<std::pair<int, QString>> named(const QStringList& names) {
    QList<std::pair<int, QString>> l;
    for (int i = 0; i < names.size(); ++i)
        if (!names.at(i).trimmed().isEmpty()) l << std::make_pair(i + 1, names.at(i).trimmed());
    return l;
}

const QStringList kKeyColumns{QStringLiteral("cWhCode"),  QStringLiteral("cWhName"),
                              QStringLiteral("cInvCode"), QStringLiteral("cInvName"),
                              QStringLiteral("cInvStd"),  QStringLiteral("cComUnitName")};

}  // namespace

Reconciliation::Reconciliation(LoginContext& ctx) : m_ctx(ctx), m_db(accountDb(ctx)), m_d(m_db.dialect()) {
    m_quantityDecimals =
        std::clamp(ReadAccParam(ctx, QStringLiteral("AA"), QStringLiteral("iStrsQuanDecDgt")).toInt(), 0, 6);
    m_defines = named(InvDefineNames(ctx));
    m_frees = named(FreeItemNames(ctx));
    // The work table's name carries the instance number, which must be a plain number.
    static const QRegularExpression digits(QStringLiteral("^[0-9]*$"));
    if (!digits.match(ctx.gInstanceNo).hasMatch())
        throw DbError(QStringLiteral("实例号不能用作表名：%1").arg(ctx.gInstanceNo));
    m_result = QStringLiteral("QCCompareKc2_") + ctx.gInstanceNo;
}

SqlFragment Reconciliation::conditions(const QString& head, const QString& line) const {
    SqlFragment f;
    const ReconcileRequest& r = m_request;
    f.sql =
        QStringLiteral(" AND %1.cWhCode IN (%2)")
            .arg(head, QStringList(static_cast<int>(r.warehouses.size()), QStringLiteral("?")).join(u','));
    if (r.warehouses.isEmpty()) f.sql = QStringLiteral(" AND 1 = 0");
    for (const QString& w : r.warehouses) f.binds << w;
    const auto add = [&f](const QString& condition, const QVariant& value) {
        f.sql += QStringLiteral(" AND ") + condition;
        f.binds << value;
    };
    if (!r.itemClass.isEmpty())
        add(QStringLiteral("Inventory.cInvCCode LIKE ?") + Dialect::likeEscape(), prefixPattern(r.itemClass));
    if (!r.itemFrom.isEmpty()) add(line + QStringLiteral(".cInvCode >= ?"), r.itemFrom);
    if (!r.itemTo.isEmpty()) add(line + QStringLiteral(".cInvCode <= ?"), r.itemTo);
    const SqlFragment rights =
        RowRightsFilter(m_ctx, head + QStringLiteral(".cWhCode"), head + QStringLiteral(".cDepCode"),
                        QStringLiteral("Inventory.iId"), false);
    if (!rights.isEmpty()) {
        f.sql += QStringLiteral(" AND ") + rights.sql;
        f.binds += rights.binds;
    }
    return f;
}

grid::ColumnTable Reconciliation::columns() const {
    using K = grid::ColumnKind;
    using grid::fixedColumn;
    grid::ColumnTable t{
        fixedColumn("WhCode", "仓库编码", "cWhCode", K::Code, 1000),
        fixedColumn("WhName", "仓库名称", "cWhName", K::Name, 1000),
        fixedColumn("InvCode", "存货编码", "cInvCode", K::Code, 1000),
        fixedColumn("InvName", "存货名称", "cInvName", K::Name, 1200),
        fixedColumn("InvStd", "存货规格型号", "cInvStd", K::Text, 1200),
        fixedColumn("Unit", "存货计量单位", "cComUnitName", K::Name, 1000),
    };
    const auto named = [&t](const QString& key, const QString& caption, const QString& source) {
        grid::ColumnSpec c = fixedColumn("", "", "", K::Text, 1000);
        c.key = key;
        c.caption = caption;
        c.source = source;
        t << c;
    };
    for (const auto& [n, name] : m_defines)
        named(QStringLiteral("InvDefine%1").arg(n), QStringLiteral("存货") + name,
              QStringLiteral("cInvDefine%1").arg(n));
    for (const int n : m_request.freeItems) {
        QString name;
        for (const auto& [k, caption] : m_frees)
            if (k == n) name = caption;
        named(QStringLiteral("Free%1").arg(n), QStringLiteral("自由项") + name,
              QStringLiteral("cFree%1").arg(n));
    }
    t << fixedColumn("StockQuantity", "结存库存数量", "iStockQuantity", K::Quantity, 1200)
      << fixedColumn("AccountingQuantity", "结存存货数量", "iAccQuantity", K::Quantity, 1200)
      << fixedColumn("QuantityDifference", "结存差异数量", "iDiffQuantity", K::Quantity, 1200);
    if (m_request.amounts)
        t << fixedColumn("StockAmount", "结存库存金额", "iStockAmount", K::Amount, 1200)
          << fixedColumn("AccountingAmount", "结存存货金额", "iAccAmount", K::Amount, 1200)
          << fixedColumn("AmountDifference", "结存差异金额", "iDiffAmount", K::Amount, 1200);
    return t;
}

void Reconciliation::Compute(const ReconcileRequest& request) {
    const ReconcileRequest previous = m_request;
    m_request = request;
    const int q = m_quantityDecimals;
    QStringList defines, frees;
    for (const auto& [n, name] : m_defines) defines << QStringLiteral("cInvDefine%1").arg(n);
    for (const int n : request.freeItems) {
        if (n < 1 || n > 10) throw DbError(QStringLiteral("没有自由项 %1").arg(n));
        frees << QStringLiteral("cFree%1").arg(n);
    }
    QStringList figures{QStringLiteral("iStockQuantity"), QStringLiteral("iAccQuantity"),
                        QStringLiteral("iDiffQuantity")};
    if (request.amounts)
        figures << QStringLiteral("iStockAmount") << QStringLiteral("iAccAmount")
                << QStringLiteral("iDiffAmount");

    // One side's rows: the group keys, then the stock quantity (signed), the
    // accounting quantity and what each adds to the difference; the same for the
    // amounts.
    const auto side = [&](const QString& head, const QString& line, const QString& from, const QString& where,
                          const QStringList& values) {
        QStringList l{head + QStringLiteral(".cWhCode AS cWhCode"),
                      QStringLiteral("Warehouse.cWhName AS cWhName"),
                      line + QStringLiteral(".cInvCode AS cInvCode"),
                      QStringLiteral("Inventory.cInvName AS cInvName"),
                      QStringLiteral("Inventory.cInvStd AS cInvStd"),
                      QStringLiteral("ComputationUnit.cComUnitName AS cComUnitName")};
        for (const QString& d : defines) l << QStringLiteral("Inventory.%1 AS %1").arg(d);
        for (const QString& f : frees) l << QStringLiteral("COALESCE(%1.%2, '') AS %2").arg(line, f);
        l << values;
        return QStringLiteral("SELECT ") + l.join(QStringLiteral(", ")) + from + where;
    };
    const QString joins = QStringLiteral(
        " LEFT JOIN Warehouse ON %1.cWhCode = Warehouse.cWhCode"
        " LEFT JOIN Inventory ON %2.cInvCode = Inventory.cInvCode"
        " LEFT JOIN ComputationUnit ON Inventory.cComUnitCode = ComputationUnit.cComUnitCode");
    // A receipt counts in, an issue out; the difference takes the stock out.
    const auto in = [](const char* value) {
        return QStringLiteral("CASE WHEN RdRecord.bRdFlag = 1 THEN %1 ELSE -(%1) END")
            .arg(QString::fromLatin1(value));
    };
    const auto out = [](const char* value) {
        return QStringLiteral("CASE WHEN RdRecord.bRdFlag = 1 THEN -(%1) ELSE %1 END")
            .arg(QString::fromLatin1(value));
    };
    const SqlFragment accounting =
        conditions(QStringLiteral("IA_Subsidiary"), QStringLiteral("IA_Subsidiary"));
    const SqlFragment stock = conditions(QStringLiteral("RdRecord"), QStringLiteral("RdRecords"));
    const QString accountingRows = side(
        QStringLiteral("IA_Subsidiary"), QStringLiteral("IA_Subsidiary"),
        QStringLiteral(" FROM IA_Subsidiary") +
            joins.arg(QStringLiteral("IA_Subsidiary"), QStringLiteral("IA_Subsidiary")),
        QStringLiteral(" WHERE IA_Subsidiary.iMonth = 0 AND IA_Subsidiary.cVouType <> ?") + accounting.sql,
        {QStringLiteral("NULL AS sq"), QStringLiteral("IA_Subsidiary.iAInQuantity AS aq"),
         QStringLiteral("IA_Subsidiary.iAInQuantity AS dq"), QStringLiteral("NULL AS sa"),
         QStringLiteral("IA_Subsidiary.iAInPrice AS aa"), QStringLiteral("IA_Subsidiary.iAInPrice AS da")});
    const QString stockRows =
        side(QStringLiteral("RdRecord"), QStringLiteral("RdRecords"),
             QStringLiteral(" FROM RdRecords JOIN RdRecord ON RdRecords.ID = RdRecord.ID") +
                 joins.arg(QStringLiteral("RdRecord"), QStringLiteral("RdRecords")),
             QStringLiteral(" WHERE RdRecord.bIsSTQc = 1") + stock.sql,
             {in("RdRecords.iQuantity"), QStringLiteral("NULL"), out("RdRecords.iQuantity"),
              in("RdRecords.iPrice"), QStringLiteral("NULL"), out("RdRecords.iPrice")});

    const auto total = [&](const char* column, int places) {
        return m_d.decimalText(
            QStringLiteral("COALESCE(%1, 0)").arg(m_d.exactSum(QStringLiteral("x.") + column)), places);
    };
    QStringList values{total("sq", q), total("aq", q), total("dq", q)};
    if (request.amounts) values << total("sa", 2) << total("aa", 2) << total("da", 2);
    // A group is reported when its difference is not 0: the quantities at six
    // decimals, the amounts at the four the amounts keep.
    QStringList differs;
    const auto nonZero = [&](const char* column, int places) {
        return QStringLiteral("%1 <> %2")
            .arg(total(column, places), m_d.decimalText(QStringLiteral("0"), places));
    };
    if (request.quantities || !request.amounts) differs << nonZero("dq", 6);
    if (request.amounts) differs << nonZero("da", 4);

    QStringList keys = kKeyColumns;
    keys << defines << frees;
    const QString sql = QStringLiteral(
                            "INSERT INTO %1 (%2, %3) SELECT %2, %4 FROM (%5 UNION ALL %6) x GROUP BY %2 "
                            "HAVING %7")
                            .arg(m_result, keys.join(QStringLiteral(", ")),
                                 figures.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")),
                                 accountingRows, stockRows, differs.join(QStringLiteral(" OR ")));
    QVariantList binds{voucher::kEstimate};
    binds += accounting.binds;
    binds += stock.binds;

    // The work table: texts, with the user-defined items typed as in Inventory.
    TableDef t;
    t.name = m_result;
    const TableDef* inventory = findTable(QStringLiteral("Inventory"));
    for (const QString& c : keys + figures) {
        ColumnDef column;
        column.name = c;
        column.type = ColType::Text;
        if (const ColumnDef* typed = defines.contains(c) && inventory ? inventory->column(c) : nullptr) {
            column.type = typed->type;
            column.length = typed->length;
            column.precision = typed->precision;
            column.scale = typed->scale;
        }
        t.columns << column;
    }
    try {
        Transaction tx(m_db);
        announceStep(QStringLiteral("reconcile"), QStringLiteral("table"));
        m_db.exec(m_d.dropTableIfExists(m_result));
        m_db.exec(createStatements(t, m_d).first());
        announceStep(QStringLiteral("reconcile"), QStringLiteral("compare"));
        m_db.exec(sql, binds);
        tx.commit();
    } catch (...) {
        m_request = previous;
        throw;
    }
    m_computed = true;
}

QList<QStringList> Reconciliation::rows() {
    QList<QStringList> out;
    if (!m_computed) return out;
    const grid::ColumnTable cols = columns();
    QStringList sources;
    int define13 = -1;
    for (int c = 0; c < cols.size(); ++c) {
        sources << cols.at(c).source;
        if (cols.at(c).source == u"cInvDefine13") define13 = c;
    }
    QStringList order{QStringLiteral("cWhCode"), QStringLiteral("cInvCode")};
    for (const int n : m_request.freeItems) order << QStringLiteral("cFree%1").arg(n);
    QSqlQuery q =
        m_db.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                      .arg(sources.join(QStringLiteral(", ")), m_result, order.join(QStringLiteral(", "))));
    while (q.next()) {
        QStringList row;
        for (int c = 0; c < sources.size(); ++c) {
            QString text = textOf(q.value(c));
            if (c == define13 && !text.isEmpty())
                if (const std::optional<Decimal> d = Decimal::parse(text))
                    text = formatNumber(*d, QStringLiteral("###0.000000"));
            row << text;
        }
        out << row;
    }
    return out;
}

}  // namespace qc::reconcile
