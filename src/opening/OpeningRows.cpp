// The checks a whole grid row must pass when the cursor leaves it, the statements
// that store it as an opening row of IA_Subsidiary, and the planned-price rounding.

#include "opening/OpeningEntry.h"

#include "domain/Vocabulary.h"

#include "platform/Decimal.h"
#include "platform/Dialect.h"
#include "platform/NumberFormat.h"
#include "platform/Schema.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"

#include <QHash>
#include <QSqlQuery>

#include <limits>

namespace qc::opening {

namespace {

const QString kOutOfRange = QStringLiteral("数据超出允许范围");
const QString kNoNegativeSpecific = QStringLiteral("个别计价法不允许录入负数量！");
const QString kFreeMissing = QStringLiteral("设置自由项的存货必须输入自由项！");
const QString kSignsDiffer = QStringLiteral("先进先出/后进先出法仓库相同存货数量必须同正同负！");

// The labels under which one item's rows must all be receipts or all be returns.
bool isFifoLifoLabel(const QString& label) {
    return label == u"计价方式：先进先出法" || label == u"计价方式：后进先出法";
}
// The labels under which a row may carry neither quantity nor amount.
bool isPlanLabel(const QString& label) {
    return label == u"存货计价方式：售价法" || label == u"存货计价方式：计划价法" ||
           label == u"计价方式：售价法" || label == u"计价方式：计划价法";
}

Decimal cellNumber(const QString& text) {
    return Decimal::fromText(StripThousandsSeparators(text));
}

// What the row checks need to know of an inventory item.
struct ItemFacts {
    QString method;      // cValueType
    bool uses[10] = {};  // bFree1..bFree10
};

// The facts of the given items, read in a few statements however many rows the
// grid holds.
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

// The values of one statement, checked against the declared columns so that a
// value the column cannot hold is refused the same way on every database.
class RowValues {
  public:
    RowValues() : m_table(findTable(QStringLiteral("IA_Subsidiary"))) {}

    [[nodiscard]] bool ok() const { return m_ok; }
    [[nodiscard]] const QStringList& columns() const { return m_columns; }
    [[nodiscard]] const QVariantList& values() const { return m_values; }

    void fixed(const QString& column, const QVariant& v) { add(column, v); }

    // A text cell: empty is NULL, anything else is stored as typed.
    void text(const QString& column, const QString& cell) {
        if (cell.isEmpty()) return add(column, QVariant());
        const ColumnDef* c = def(column);
        if (c && c->type == ColType::Text && c->length > 0 && cell.size() > c->length) m_ok = false;
        add(column, cell);
    }

    // A number cell: empty is NULL; the text must be a number the column holds.
    // Whole-number columns take only whole numbers unless `roundToWhole`.
    void number(const QString& column, const QString& cell, bool roundToWhole = false) {
        if (cell.trimmed().isEmpty()) return add(column, QVariant());
        std::optional<Decimal> d = Decimal::parse(cell.trimmed());
        const ColumnDef* c = def(column);
        if (!d || !c) {
            m_ok = false;
            return add(column, QVariant());
        }
        if (c->type == ColType::Int || c->type == ColType::SmallInt || c->type == ColType::BigInt) {
            if (roundToWhole) d = d->round(0);
            const Decimal limit = c->type == ColType::SmallInt ? Decimal(32767)
                                  : c->type == ColType::Int    ? Decimal(std::numeric_limits<int>::max())
                                                            : Decimal(std::numeric_limits<long long>::max());
            if (d->round(0) != *d || d->abs() > limit) m_ok = false;
        } else if (c->type == ColType::Numeric && c->precision - c->scale <= 24) {
            // Wider columns hold every number a Decimal can carry.
            Decimal limit(1);
            for (int i = 0; i < c->precision - c->scale; ++i) limit = limit * Decimal(10);
            if (d->round(c->scale).abs() >= limit) m_ok = false;
        }
        add(column, d->toVariant());
    }

    // A date; an invalid one cannot be stored.
    void date(const QString& column, const QDate& d) {
        if (!d.isValid()) m_ok = false;
        add(column, d);
    }

  private:
    const ColumnDef* def(const QString& column) const { return m_table ? m_table->column(column) : nullptr; }
    void add(const QString& column, const QVariant& v) {
        m_columns << column;
        m_values << v;
    }

    const TableDef* m_table;
    QStringList m_columns;
    QVariantList m_values;
    bool m_ok = true;
};

// The user-defined fields stored from the grid, with their columns.
struct DefineField {
    QString name;
    int col;
    bool numeric;
};
QList<DefineField> defineFields() {
    static const QList<int> numericItems{5, 7, 15, 16, 26, 27, 34, 35};
    QList<DefineField> l;
    for (int n = 1; n <= 16; ++n)
        l << DefineField{QStringLiteral("cDefine%1").arg(n), Col::Define1 + n - 1, numericItems.contains(n)};
    for (int n = 22; n <= 37; ++n)
        l << DefineField{QStringLiteral("cDefine%1").arg(n), Col::Define22 + n - 22,
                         numericItems.contains(n)};
    return l;
}

// Accepts the grid's YYYY/MM/DD and the ISO form.
QDate cellDate(const QString& text) {
    return dateOf(QVariant(text.trimmed()));
}

// The label the row's method is read from: the window's under per-warehouse and
// per-department accounting, the row item's own under per-item accounting.
QString methodLabelOf(const LoginContext& ctx, const QString& windowLabel, const ItemFacts* item) {
    if (ctx.gValueStyle != basis::kByInventory) return windowLabel;
    return QStringLiteral("存货计价方式：") + (item ? item->method : QString());
}

}  // namespace

bool OpeningEntry::checkRow(int row) {
    MessageSink& out = sink();
    const QString code = m_grid.text(row, Col::InvCode).trimmed();
    const auto facts = code.isEmpty() ? QHash<QString, ItemFacts>() : itemFacts(accountDb(), {code});
    const ItemFacts* item = facts.contains(code) ? &facts.find(code).value() : nullptr;
    const QString label = methodLabelOf(m_ctx, m_valuationLabel, item);
    const Decimal qty = cellNumber(m_grid.text(row, Col::Quantity));
    bool ok = true;

    // Group A: the first failure is the only one reported.
    auto groupA = [&]() -> QString {
        if (code.isEmpty()) return QStringLiteral("存货不能为空！");
        if (cellNumber(m_grid.text(row, Col::UnitCost)).isNegative())
            return QStringLiteral("单价必须大于等于零！");
        if (label.contains(costing::kSpecific) && qty.isNegative()) return kNoNegativeSpecific;
        for (int i = 0; i < 10; ++i)
            if (!m_freeNames.value(i).isEmpty() && item && item->uses[i] &&
                m_grid.text(row, Col::Free1 + i).isEmpty())
                return kFreeMissing;
        if (isFifoLifoLabel(label) && !qty.isZero()) {
            for (int r = 0; r < m_grid.dataRowCount(); ++r) {
                if (r == row || m_grid.text(r, Col::InvCode).trimmed() != code) continue;
                const Decimal other = cellNumber(m_grid.text(r, Col::Quantity));
                if ((qty.isNegative() && other > Decimal()) || (other.isNegative() && qty > Decimal()))
                    return kSignsDiffer;
            }
        }
        return {};
    };
    if (const QString refusal = groupA(); !refusal.isEmpty()) {
        out.critical(refusal);
        ok = false;
    }

    if (!m_grid.text(row, Col::ItemClass).trimmed().isEmpty() &&
        m_grid.text(row, Col::ItemCode).trimmed().isEmpty()) {
        out.critical(QStringLiteral("必须输入具体项目！"));
        ok = false;
    }
    if (!isPlanLabel(label) && cellNumber(m_grid.text(row, Col::Amount)).isZero() && qty.isZero()) {
        out.critical(QStringLiteral("数量和金额不允许都为空或0"));
        ok = false;
    }
    return ok;
}

bool OpeningEntry::storeRow(int row) {
    const QStringList cells = m_grid.dataRow(row);
    auto cell = [&](int col) { return cells.at(col); };
    const bool perDepartment = m_ctx.gValueStyle == basis::kByDepartment;
    const QString department = perDepartment ? GetDepFromWhCode(CurrentWhCode) : QString();

    const QString dateText = cell(Col::VouDate).trimmed();
    const QDate vouDate = dateText.isEmpty() ? IAStartDate.addDays(-1) : cellDate(dateText);
    const QString autoId = cell(Col::AutoId).trimmed();
    const bool insert = autoId.isEmpty();

    RowValues v;
    std::optional<qint64> id;
    if (insert) {
        v.fixed(QStringLiteral("bRdFlag"), 1);
        v.text(QStringLiteral("cWhCode"), CurrentWhCode);
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
        // The insertion writes every user-defined field as its text without commas.
        for (const DefineField& f : defineFields()) {
            const QString t = StripThousandsSeparators(cell(f.col));
            if (f.numeric)
                v.number(f.name, t);
            else
                v.text(f.name, t);
        }
        for (int n = 1; n <= 10; ++n) v.text(QStringLiteral("cFree%1").arg(n), cell(Col::Free1 + n - 1));
        v.text(QStringLiteral("cItem_class"), cell(Col::ItemClass));
        v.text(QStringLiteral("cItemCName"), cell(Col::ItemClassName));
        v.text(QStringLiteral("cName"), cell(Col::ItemName));
        v.text(QStringLiteral("cItemCode"), cell(Col::ItemCode));
    } else {
        v.text(QStringLiteral("cWhCode"), CurrentWhCode);
        v.date(QStringLiteral("dVouDate"), vouDate);
        v.text(QStringLiteral("cAccDep"), cell(Col::DepCode));
        v.text(QStringLiteral("cPersonCode"), cell(Col::PersonCode));
        if (perDepartment) v.text(QStringLiteral("cDepCode"), department);
        v.text(QStringLiteral("cVouCode"), cell(Col::VouCode));
        v.text(QStringLiteral("cInvCode"), cell(Col::InvCode));
        v.text(QStringLiteral("cVenCode"), cell(Col::VenCode));
        v.fixed(QStringLiteral("cVouType"), QStringLiteral("34"));
        v.text(QStringLiteral("cInvHead"), cell(Col::InvHead));
        v.text(QStringLiteral("cBatchCode"), cell(Col::Batch));
        v.number(QStringLiteral("iAInQuantity"), StripThousandsSeparators(cell(Col::Quantity)));
        v.number(QStringLiteral("iInCost"), StripThousandsSeparators(cell(Col::UnitCost)));
        v.number(QStringLiteral("iAInPrice"), StripThousandsSeparators(cell(Col::Amount)));
        for (int n = 1; n <= 10; ++n) v.text(QStringLiteral("cFree%1").arg(n), cell(Col::Free1 + n - 1));
        // The update writes the numeric user-defined fields as numbers (whole ones
        // rounded) and the others as typed.
        for (const DefineField& f : defineFields()) {
            if (f.numeric)
                v.number(f.name, cell(f.col), true);
            else
                v.text(f.name, cell(f.col));
        }
        v.text(QStringLiteral("cItem_class"), cell(Col::ItemClass));
        v.text(QStringLiteral("cItemCName"), cell(Col::ItemClassName));
        v.text(QStringLiteral("cName"), cell(Col::ItemName));
        v.text(QStringLiteral("cItemCode"), cell(Col::ItemCode));
        bool isId = false;
        id = autoId.toLongLong(&isId);
        if (!isId) id.reset();
    }

    bool stored = v.ok() && (insert || id.has_value());
    bool posted = false;
    if (stored) {
        try {
            Database& db = accountDb();
            Transaction tx(db);
            posted = !stillUnposted();
            if (posted) {
                stored = false;
            } else if (insert) {
                id = db.insertReturningId(QStringLiteral("IA_Subsidiary"), v.columns(), v.values(),
                                          QStringLiteral("AutoID"));
            } else {
                QStringList sets;
                for (const QString& c : v.columns()) sets << c + QStringLiteral(" = ?");
                QVariantList binds = v.values();
                binds << *id;
                db.exec(QStringLiteral("UPDATE IA_Subsidiary SET %1 WHERE AutoID = ?").arg(sets.join(u',')),
                        binds);
            }
            if (stored) tx.commit();
        } catch (const DbError&) {
            stored = false;
        }
    }
    if (posted) return false;
    if (!stored) {
        sink().critical(kOutOfRange);
        return false;
    }
    if (insert) m_grid.setText(row, Col::AutoId, QString::number(*id));
    showStoredRow(row, *id);
    bDirty = true;
    return true;
}

bool OpeningEntry::stillUnposted() {
    AccPara& para = accParaOf(m_ctx);
    para.LockOpenings();
    if (!para.IsPosted(QStringLiteral("IA"))) return true;
    sink().exclamation(QStringLiteral("期初已经记账！"));
    bPosted = true;
    applyCommandRules();
    updateReadOnly();
    return false;
}

void OpeningEntry::ValidateAndStoreRow(bool& cancel, int row) {
    cancel = false;
    if (!m_grid.isDataRow(row) || m_readOnly) return;
    if (!checkRow(row) || !storeRow(row)) cancel = true;
}

bool OpeningEntry::CheckAllRows() {
    QStringList codes;
    QHash<QString, int> signs;  // per item: 1 some row above zero, 2 some row below zero
    for (int r = 0; r < m_grid.dataRowCount(); ++r) {
        const QString code = m_grid.text(r, Col::InvCode).trimmed();
        if (code.isEmpty()) continue;
        if (!signs.contains(code)) codes << code;
        const Decimal q = cellNumber(m_grid.text(r, Col::Quantity));
        signs[code] |= q.isNegative() ? 2 : (q.isZero() ? 0 : 1);
    }
    const QHash<QString, ItemFacts> facts = itemFacts(accountDb(), codes);

    for (int r = 0; r < m_grid.dataRowCount(); ++r) {
        const QString code = m_grid.text(r, Col::InvCode).trimmed();
        const auto it = facts.constFind(code);
        const ItemFacts* item = it == facts.constEnd() ? nullptr : &it.value();
        const QString label = methodLabelOf(m_ctx, m_valuationLabel, item);
        const Decimal qty = cellNumber(m_grid.text(r, Col::Quantity));
        QString refusal;
        if (label.contains(costing::kSpecific) && qty.isNegative()) refusal = kNoNegativeSpecific;
        for (int i = 0; refusal.isEmpty() && i < 10; ++i)
            if (!m_freeNames.value(i).isEmpty() && item && item->uses[i] &&
                m_grid.text(r, Col::Free1 + i).isEmpty())
                refusal = kFreeMissing;
        if (refusal.isEmpty() && isFifoLifoLabel(label) && !qty.isZero() && signs.value(code) == 3)
            refusal = kSignsDiffer;
        if (!refusal.isEmpty()) {
            sink().critical(refusal);
            return false;
        }
    }
    return true;
}

void OpeningEntry::ApplyPlanPriceRounding() {
    if (bPosted) return;
    Database& db = accountDb();
    const Dialect& d = db.dialect();
    // Every opening row priced by plan takes the item's planned price as its cost and
    // the planned price times the quantity, to the cent, as its amount.
    const QString price = QStringLiteral(
        "(SELECT Inventory.iInvRCost FROM Inventory WHERE Inventory.cInvCode = IA_Subsidiary.cInvCode)");
    QString sql =
        QStringLiteral(
            "UPDATE IA_Subsidiary SET iAInPrice = ROUND(ROUND(%1, %2) * ROUND(iAInQuantity, %3), 2), "
            "iInCost = %1 WHERE iMonth = 0 AND ")
            .arg(price, d.typedInt(), d.typedInt());
    if (m_ctx.gValueStyle == basis::kByInventory)
        sql += QStringLiteral("cInvCode IN (SELECT cInvCode FROM Inventory WHERE cValueType IN (?, ?))");
    else
        sql += QStringLiteral("cWhCode IN (SELECT cWhCode FROM Warehouse WHERE cWhValueStyle IN (?, ?))");
    db.exec(sql, {PriceDec, QuanDec, QStringLiteral("计划价法"), QStringLiteral("售价法")});
}

qint64 OpeningEntry::GetCurrentId() {
    return accountDb().scalar(QStringLiteral("SELECT MAX(AutoID) FROM IA_Subsidiary")).toLongLong();
}

QString OpeningEntry::GetDepFromWhCode(const QString& whCode) {
    return textOf(
        accountDb().scalar(QStringLiteral("SELECT cDepCode FROM Warehouse WHERE cWhCode = ?"), {whCode}));
}

}  // namespace qc::opening
