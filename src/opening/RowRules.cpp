// The row refusals, the item facts and the stored values shared by typed and
// imported opening rows.

#include "opening/RowRules.h"
#include "opening/PackedRows.h"

#include "domain/Vocabulary.h"
#include "opening/OpeningColumns.h"
#include "platform/NumberFormat.h"
#include "platform/ServerStatement.h"
#include "platform/UnitSteps.h"
#include "session/LoginContext.h"

#include <QSqlQuery>

#include <algorithm>
#include <limits>

namespace qc::opening::rows {

bool isFifoLifoLabel(const QString& label) {
    return label == u"计价方式：先进先出法" || label == u"计价方式：后进先出法";
}

bool isPlanLabel(const QString& label) {
    return label == u"存货计价方式：售价法" || label == u"存货计价方式：计划价法" ||
           label == u"计价方式：售价法" || label == u"计价方式：计划价法";
}

Decimal cellNumber(const QString& text) {
    return Decimal::fromText(StripThousandsSeparators(text));
}

QHash<QString, ItemFacts> itemFacts(Database& db, const QStringList& codes) {
    QHash<QString, ItemFacts> out;
    constexpr int kChunk = 400;
    for (int i = 0; i < codes.size(); i += kChunk) {
        const QStringList part = codes.mid(i, kChunk);
        QStringList marks;
        QVariantList binds;
        for (const QString& c : part) {
            marks << QStringLiteral("?");
            binds << c;
        }
        QString sql = QStringLiteral("SELECT cInvCode, cValueType");
        for (int n = 1; n <= 10; ++n) sql += QStringLiteral(", bFree%1").arg(n);
        sql += QStringLiteral(" FROM Inventory WHERE cInvCode IN (%1)").arg(marks.join(u','));
        QSqlQuery q = db.exec(sql, binds);
        while (q.next()) {
            ItemFacts f;
            f.method = textOf(q.value(1));
            for (int n = 0; n < 10; ++n) f.uses[n] = intOf(q.value(2 + n)) == 1;
            out.insert(textOf(q.value(0)), f);
        }
    }
    return out;
}

QString methodLabelOf(const LoginContext& ctx, const QString& windowLabel, const ItemFacts* item) {
    if (ctx.gValueStyle != basis::kByInventory) return windowLabel;
    return QStringLiteral("存货计价方式：") + (item ? item->method : QString());
}

QStringList rowRefusals(const QStringList& cells, const QString& label, const ItemFacts* item,
                        const QStringList& freeNames, bool signsDiffer) {
    const auto cell = [&cells](int col) { return cells.value(col); };
    const QString code = cell(Col::InvCode).trimmed();
    const Decimal qty = cellNumber(cell(Col::Quantity));
    QStringList out;
    // The row's own checks: the first failure is the only one reported.
    const auto own = [&]() -> QString {
        if (code.isEmpty()) return QStringLiteral("存货不能为空！");
        if (cellNumber(cell(Col::UnitCost)).isNegative()) return QStringLiteral("单价必须大于等于零！");
        if (label.contains(costing::kSpecific) && qty.isNegative()) return kNoNegativeSpecific;
        for (int i = 0; i < 10; ++i)
            if (!freeNames.value(i).isEmpty() && item && item->uses[i] && cell(Col::Free1 + i).isEmpty())
                return kFreeMissing;
        if (isFifoLifoLabel(label) && !qty.isZero() && signsDiffer) return kSignsDiffer;
        return {};
    };
    if (const QString refusal = own(); !refusal.isEmpty()) out << refusal;
    if (!cell(Col::ItemClass).trimmed().isEmpty() && cell(Col::ItemCode).trimmed().isEmpty())
        out << QStringLiteral("必须输入具体项目！");
    if (!isPlanLabel(label) && cellNumber(cell(Col::Amount)).isZero() && qty.isZero())
        out << QStringLiteral("数量和金额不允许都为空或0");
    return out;
}

namespace {

// The opening table's columns by their names as written here, looked up once:
// every imported row asks for each of its seventy columns.
struct OpeningColumnIndex {
    const TableDef* table = findTable(QStringLiteral("IA_Subsidiary"));
    QHash<QString, const ColumnDef*> byName = [this] {
        QHash<QString, const ColumnDef*> h;
        if (table)
            for (const ColumnDef& c : table->columns) h.insert(c.name, &c);
        return h;
    }();
};
const OpeningColumnIndex& openingColumnIndex() {
    static const OpeningColumnIndex index;
    return index;
}

// 10 to the power of `digits`: the least number a column with that many
// digits before the decimal point cannot hold.
const Decimal& firstTooWide(int digits) {
    static const QList<Decimal> powers = [] {
        QList<Decimal> l{Decimal(1)};
        for (int i = 1; i <= 24; ++i) l << l.last() * Decimal(10);
        return l;
    }();
    return powers.at(std::clamp(digits, 0, 24));
}

}  // namespace

RowValues::RowValues(const QStringList* columns) : m_table(openingColumnIndex().table), m_known(columns) {
    m_values.reserve(columns ? columns->size() : 72);
}

void RowValues::text(const QString& column, const QString& cell) {
    if (cell.isEmpty()) return add(column, QVariant());
    const ColumnDef* c = def(column);
    if (c && c->type == ColType::Text && c->length > 0 && cell.size() > c->length) fail(column);
    add(column, cell);
}

void RowValues::number(const QString& column, const QString& cell, bool roundToWhole) {
    const QString trimmed = cell.trimmed();
    if (trimmed.isEmpty()) return add(column, QVariant());
    std::optional<Decimal> d = Decimal::parse(trimmed);
    const ColumnDef* c = def(column);
    if (!d || !c) {
        fail(column);
        return add(column, QVariant());
    }
    if (c->type == ColType::Int || c->type == ColType::SmallInt || c->type == ColType::BigInt) {
        if (roundToWhole) d = d->round(0);
        const Decimal limit = c->type == ColType::SmallInt ? Decimal(32767)
                              : c->type == ColType::Int    ? Decimal(std::numeric_limits<int>::max())
                                                           : Decimal(std::numeric_limits<long long>::max());
        if (d->round(0) != *d || d->abs() > limit) fail(column);
    } else if (c->type == ColType::Numeric && c->precision - c->scale <= 24) {
        // Wider columns hold every number a Decimal can carry.
        if (d->round(c->scale).abs() >= firstTooWide(c->precision - c->scale)) fail(column);
    }
    add(column, d->toVariant());
}

void RowValues::date(const QString& column, const QDate& d) {
    if (!d.isValid()) fail(column);
    add(column, d);
}

const ColumnDef* RowValues::def(const QString& column) const {
    // The names here are spelt as the schema spells them; another spelling is
    // looked for regardless of case.
    if (const ColumnDef* c = openingColumnIndex().byName.value(column)) return c;
    return m_table ? m_table->column(column) : nullptr;
}

void RowValues::add(const QString& column, const QVariant& v) {
    if (!m_known) m_columns << column;
    m_values << v;
}

void RowValues::fail(const QString& column) {
    if (m_ok) m_failed = column;
    m_ok = false;
}

const QList<DefineField>& defineFields() {
    static const QList<DefineField> fields = [] {
        static const QList<int> numericItems{5, 7, 15, 16, 26, 27, 34, 35};
        QList<DefineField> l;
        for (int n = 1; n <= 16; ++n)
            l << DefineField{QStringLiteral("cDefine%1").arg(n), Col::Define1 + n - 1,
                             numericItems.contains(n)};
        for (int n = 22; n <= 37; ++n)
            l << DefineField{QStringLiteral("cDefine%1").arg(n), Col::Define22 + n - 22,
                             numericItems.contains(n)};
        return l;
    }();
    return fields;
}

QDate cellDate(const QString& text) {
    return dateOf(QVariant(text.trimmed()));
}

namespace {

void fillInsertValues(RowValues& v, const QStringList& cells, const QString& whCode,
                      const QString& department, const QDate& vouDate) {
    const auto cell = [&cells](int col) { return cells.value(col); };
    v.fixed(QStringLiteral("bRdFlag"), 1);
    v.text(QStringLiteral("cWhCode"), whCode);
    v.date(QStringLiteral("dVouDate"), vouDate);
    v.text(QStringLiteral("cVouCode"), cell(Col::VouCode));
    v.text(QStringLiteral("cAccDep"), cell(Col::DepCode));
    v.text(QStringLiteral("cDepCode"), department);
    v.fixed(QStringLiteral("iMonth"), 0);
    v.text(QStringLiteral("cInvHead"), cell(Col::InvHead));
    v.fixed(QStringLiteral("cVouType"), QStringLiteral("34"));
    v.text(QStringLiteral("cInvCode"), cell(Col::InvCode));
    v.text(QStringLiteral("cVenCode"), cell(Col::VenCode));
    v.text(QStringLiteral("cPersonCode"), cell(Col::PersonCode));
    v.number(QStringLiteral("iAInQuantity"), StripThousandsSeparators(cell(Col::Quantity)));
    v.number(QStringLiteral("iInCost"), StripThousandsSeparators(cell(Col::UnitCost)));
    v.number(QStringLiteral("iAInPrice"), StripThousandsSeparators(cell(Col::Amount)));
    v.text(QStringLiteral("cBatchCode"), cell(Col::Batch));
    v.fixed(QStringLiteral("bFlag"), 0);
    v.fixed(QStringLiteral("bMoneyFlag"), 1);
    v.fixed(QStringLiteral("bSale"), 0);
    // A new row writes every user-defined field as its text without commas.
    for (const DefineField& f : defineFields()) {
        const QString t = StripThousandsSeparators(cell(f.col));
        if (f.numeric)
            v.number(f.name, t);
        else
            v.text(f.name, t);
    }
    static const QStringList frees = [] {
        QStringList l;
        for (int n = 1; n <= 10; ++n) l << QStringLiteral("cFree%1").arg(n);
        return l;
    }();
    for (int n = 0; n < 10; ++n) v.text(frees.at(n), cell(Col::Free1 + n));
    v.text(QStringLiteral("cItem_class"), cell(Col::ItemClass));
    v.text(QStringLiteral("cItemCName"), cell(Col::ItemClassName));
    v.text(QStringLiteral("cName"), cell(Col::ItemName));
    v.text(QStringLiteral("cItemCode"), cell(Col::ItemCode));
}

}  // namespace

RowValues insertValues(const QStringList& cells, const QString& whCode, const QString& department,
                       const QDate& vouDate) {
    // Every row adds the same columns in the same order.
    static const QStringList columns = [] {
        RowValues named;
        fillInsertValues(named, {}, {}, {}, QDate(2000, 1, 1));
        return named.columns();
    }();
    RowValues v(&columns);
    fillInsertValues(v, cells, whCode, department, vouDate);
    return v;
}

namespace {

// The array type a column's values are cast to on their way in: the base type
// without length or scale, so that the column's own check (a text too long, a
// number too wide) applies as it applies to a single value.
QString arrayTypeOf(const ColumnDef* column) {
    switch (column ? column->type : ColType::Text) {
        case ColType::Identity:
        case ColType::Int:
            return QStringLiteral("INTEGER[]");
        case ColType::SmallInt:
        case ColType::Bit:
            return QStringLiteral("SMALLINT[]");
        case ColType::BigInt:
            return QStringLiteral("BIGINT[]");
        case ColType::Numeric:
            return QStringLiteral("NUMERIC[]");
        case ColType::Float:
            return QStringLiteral("DOUBLE PRECISION[]");
        case ColType::Date:
            return QStringLiteral("DATE[]");
        case ColType::Text:
            break;
    }
    return QStringLiteral("TEXT[]");
}

}  // namespace

void insertRows(Database& db, const PackedRows& rows, const QString& table) {
    QList<qsizetype> slots;
    for (qsizetype r = 0; r < rows.size(); ++r)
        if (rows.has(r)) slots << r;
    if (slots.isEmpty()) return;
    const QStringList& all = rows.columns();
    const QList<bool> anyFilled = rows.filledColumns();
    const TableDef* def = findTable(QStringLiteral("IA_Subsidiary"));
    QList<int> used;
    for (int c = 0; c < all.size(); ++c) {
        const ColumnDef* column = def ? def->column(all.at(c)) : nullptr;
        if (!column || !column->defaultValue.isEmpty() || anyFilled.at(c)) used << c;
    }
    QStringList columns;
    for (const int c : used) columns << all.at(c);
    const int perStatement = std::max(1, kValuesPerStatement / static_cast<int>(columns.size()));
    const QString head = QStringLiteral("INSERT INTO %1 (%2) ").arg(table, columns.join(u','));
    if (db.kind() != DbKind::Sqlite) {
        // One array of values per column, unnested into rows.
        QStringList types;
        for (const QString& name : columns) types << arrayTypeOf(def ? def->column(name) : nullptr);
        const QString sql = head + unnestedRows(types);
        const qsizetype perArray = kValuesPerStatement;
        for (qsizetype first = 0; first < slots.size(); first += perArray) {
            announceStep(QStringLiteral("import"), QStringLiteral("insert"));
            const qsizetype last = std::min(slots.size(), first + perArray);
            QList<QVariantList> byColumn(columns.size());
            for (qsizetype r = first; r < last; ++r) {
                const QVariantList row = rows.values(slots.at(r));
                for (qsizetype k = 0; k < used.size(); ++k) byColumn[k] << row.at(used.at(k));
            }
            QVariantList binds;
            for (const QVariantList& values : std::as_const(byColumn)) binds << serverArray(values);
            db.exec(sql, binds);
        }
        return;
    }
    const QString marks = u'(' + QStringList(columns.size(), QStringLiteral("?")).join(u',') + u')';
    const QString full = head + QStringLiteral("VALUES ") + QStringList(perStatement, marks).join(u',');
    for (qsizetype first = 0; first < slots.size(); first += perStatement) {
        announceStep(QStringLiteral("import"), QStringLiteral("insert"));
        const qsizetype last = std::min(slots.size(), first + perStatement);
        QVariantList binds;
        binds.reserve((last - first) * columns.size());
        for (qsizetype r = first; r < last; ++r) {
            const QVariantList row = rows.values(slots.at(r));
            for (const int c : used) binds << row.at(c);
        }
        db.exec(last - first == perStatement
                    ? full
                    : head + QStringLiteral("VALUES ") + QStringList(last - first, marks).join(u','),
                binds);
    }
}

}  // namespace qc::opening::rows
