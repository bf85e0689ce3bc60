#include "platform/Schema.h"

#include "platform/Database.h"
#include "platform/Decimal.h"
#include "platform/Dialect.h"

#include <QRegularExpression>

namespace qc {

QList<TableDef> accountTables();  // AccountSchema.cpp
QList<TableDef> hostTables();     // HostSchema.cpp

const ColumnDef* TableDef::column(const QString& n) const {
    for (const ColumnDef& c : columns)
        if (c.name.compare(n, Qt::CaseInsensitive) == 0) return &c;
    return nullptr;
}

namespace {
ColumnDef parseColumn(const QString& columnText) {
    ColumnDef c;
    QString s = columnText.trimmed();
    const auto eq = s.indexOf(QLatin1Char('='));
    if (eq >= 0) {
        c.defaultValue = s.mid(eq + 1).trimmed();
        s = s.left(eq).trimmed();
    }
    if (s.endsWith(QLatin1Char('!'))) {
        c.notNull = true;
        s.chop(1);
    }
    const auto parts = s.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    Q_ASSERT(parts.size() == 2);
    c.name = parts[0];
    const QString& t = parts[1];
    static const QRegularExpression textRe(QStringLiteral("^t(\\d*)$"));
    static const QRegularExpression numRe(QStringLiteral("^n(\\d+)_(\\d+)$"));
    if (t == u"id")
        c.type = ColType::Identity;
    else if (t == u"i")
        c.type = ColType::Int;
    else if (t == u"si")
        c.type = ColType::SmallInt;
    else if (t == u"bi")
        c.type = ColType::BigInt;
    else if (t == u"bit")
        c.type = ColType::Bit;
    else if (t == u"f")
        c.type = ColType::Float;
    else if (t == u"d")
        c.type = ColType::Date;
    else if (t == u"money") {
        c.type = ColType::Numeric;
        c.precision = 19;
        c.scale = 4;
    } else if (auto m = numRe.match(t); m.hasMatch()) {
        c.type = ColType::Numeric;
        c.precision = m.captured(1).toInt();
        c.scale = m.captured(2).toInt();
    } else if (auto mt = textRe.match(t); mt.hasMatch()) {
        c.type = ColType::Text;
        c.length = mt.captured(1).isEmpty() ? 0 : mt.captured(1).toInt();
    } else {
        qFatal("unknown column type in schema: %s", qPrintable(columnText));
    }
    return c;
}

QString typeText(const ColumnDef& c, const Dialect& d) {
    switch (c.type) {
        case ColType::Identity:
            return d.identityColumn();
        case ColType::Text:
            return d.textType(c.length);
        case ColType::SmallInt:
            return QStringLiteral("SMALLINT");
        case ColType::Int:
            return QStringLiteral("INTEGER");
        case ColType::BigInt:
            return d.bigintType();
        case ColType::Numeric:
            return d.numericType(c.precision, c.scale);
        case ColType::Float:
            return d.floatType();
        case ColType::Bit:
            return QStringLiteral("SMALLINT");
        case ColType::Date:
            return d.dateType();
    }
    return {};
}
}  // namespace

TableDef table(const QString& name, const QString& columns, const QStringList& primaryKey) {
    TableDef t;
    t.name = name;
    t.primaryKey = primaryKey;
    for (const QString& columnText : columns.split(QLatin1Char(','), Qt::SkipEmptyParts))
        t.columns << parseColumn(columnText);
    return t;
}

const QList<TableDef>& accountSchema() {
    static const QList<TableDef> all = [] {
        QList<TableDef> l = accountTables();
        l += hostTables();
        return l;
    }();
    return all;
}

const TableDef* findTable(const QString& name) {
    for (const TableDef& t : accountSchema())
        if (t.name.compare(name, Qt::CaseInsensitive) == 0) return &t;
    return nullptr;
}

bool schemaHasColumn(const QString& tableName, const QString& column) {
    const TableDef* t = findTable(tableName);
    return t && t->column(column);
}

bool fitsColumn(const QString& tableName, const QString& column, const Decimal& value) {
    const TableDef* t = findTable(tableName);
    const ColumnDef* c = t ? t->column(column) : nullptr;
    if (!c || c->type != ColType::Numeric) return true;
    const std::optional<Decimal> limit = Decimal::parse(u'1' + QString(c->precision - c->scale, u'0'));
    return !limit || value.round(std::min(c->scale, Decimal::kScale)).abs() < *limit;
}

bool fitsColumn(const QString& tableName, const QString& column, const QString& text) {
    const TableDef* t = findTable(tableName);
    const ColumnDef* c = t ? t->column(column) : nullptr;
    return !c || c->type != ColType::Text || c->length == 0 || text.size() <= c->length;
}

QStringList createStatements(const TableDef& t, const Dialect& d) {
    QStringList cols;
    for (const ColumnDef& c : t.columns) {
        QString line = c.name + u' ' + typeText(c, d);
        if (c.notNull && c.type != ColType::Identity) line += QStringLiteral(" NOT NULL");
        if (!c.defaultValue.isEmpty()) line += QStringLiteral(" DEFAULT ") + c.defaultValue;
        cols << line;
    }
    const bool hasIdentity = std::any_of(t.columns.begin(), t.columns.end(),
                                         [](const ColumnDef& c) { return c.type == ColType::Identity; });
    if (!t.primaryKey.isEmpty() && !hasIdentity)
        cols << QStringLiteral("PRIMARY KEY (%1)").arg(t.primaryKey.join(QLatin1Char(',')));
    QStringList out;
    QString create = QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (\n  %2\n)")
                         .arg(t.name, cols.join(QStringLiteral(",\n  ")));
    create += d.fillFactorClause(t.fillFactor);
    out << create;
    for (const IndexDef& i : t.indexes)
        out << QStringLiteral("CREATE %1INDEX IF NOT EXISTS %2 ON %3 %4(%5)")
                   .arg(i.unique ? QStringLiteral("UNIQUE ") : QString(), i.name, t.name,
                        i.growsWithTable && !d.isSqlite() ? QStringLiteral("USING brin ") : QString(),
                        i.columns.join(QLatin1Char(',')));
    return out;
}

void createSchema(Database& db) {
    Transaction tx(db);
    for (const TableDef& t : accountSchema()) db.execScript(createStatements(t, db.dialect()));
    db.execScript(appendOnlyGuards(db.dialect()));
    tx.commit();
}

TableDef scratchTableOf(const QString& name, const QString& source, const QStringList& columns) {
    const TableDef* from = findTable(source);
    if (!from) throw DbError(QStringLiteral("账套结构中没有 %1").arg(source));
    TableDef t;
    t.name = name;
    for (const QString& c : columns) {
        const ColumnDef* def = from->column(c);
        if (!def) throw DbError(QStringLiteral("%1 没有列 %2").arg(source, c));
        ColumnDef col = *def;
        col.notNull = false;
        col.defaultValue.clear();
        t.columns << col;
    }
    return t;
}

}  // namespace qc
