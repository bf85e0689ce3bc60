// Loading the opening rows of a warehouse into the grid: the SELECT derived from
// the column table, the rights and filters, and the costs shown per valuation method.

#include "opening/OpeningEntry.h"

#include "domain/Vocabulary.h"
#include "platform/Decimal.h"
#include "platform/Dialect.h"
#include "platform/NumberFormat.h"
#include "platform/TextInput.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"

#include <QSqlQuery>

namespace qc::opening {

namespace {

const QString kTooMany = QStringLiteral("数据量太大,请缩小查询范围,不要超过4000条记录！");

// A database value as a grid text: numbers in their pattern (a text that is not a
// number stays as it is), dates as YYYY/MM/DD.
QString cellText(const QVariant& v, const QString& pattern = {}) {
    if (v.isNull()) return {};
    const int type = v.typeId();
    if (type == QMetaType::QDate || type == QMetaType::QDateTime)
        return dateOf(v).toString(QStringLiteral("yyyy/MM/dd"));
    if (pattern.isEmpty()) return v.toString();
    const auto d = type == QMetaType::Double ? std::optional<Decimal>(Decimal::fromVariant(v))
                                             : Decimal::parse(v.toString());
    return d ? formatNumber(*d, pattern) : v.toString();
}

std::optional<Decimal> numberOf(const QVariant& v) {
    if (v.isNull()) return std::nullopt;
    return Decimal::fromVariant(v);
}

// The fields MainSelect reads after the loaded columns, by their place after them.
namespace LoadedField {
constexpr int InCost = 0, InPrice = 1, DebitDif = 2, CreditDif = 3, PlanPrice = 4, Accounter = 5, Method = 6;
}  // namespace LoadedField

// The columns MainSelect loads as they stand, in its order.
const QList<int>& loadedColumns() {
    static const QList<int> cols = [] {
        QList<int> l;
        for (int c = 0; c < Col::Count; ++c)
            if (!openingColumns().at(c).source.isEmpty()) l << c;
        return l;
    }();
    return cols;
}

}  // namespace

void OpeningEntry::buildMainSelect() {
    // The columns loaded as they stand, in the grid's order, then the fields the
    // costs shown are computed from (LoadedField).
    QStringList f;
    for (const grid::ColumnSpec& c : openingColumns())
        if (!c.source.isEmpty()) f << c.source;
    f << QStringLiteral("IA_Subsidiary.iInCost") << QStringLiteral("IA_Subsidiary.iAInPrice")
      << QStringLiteral("IA_Subsidiary.iDebitDifCost") << QStringLiteral("IA_Subsidiary.iCreditDifCost")
      << QStringLiteral("Inventory.iInvRCost")
      << QStringLiteral("IA_Subsidiary.cAccounter")
      // The method that prices the row: the item's own under per-item accounting,
      // the warehouse's otherwise.
      << (m_ctx.gValueStyle == basis::kByInventory ? QStringLiteral("Inventory.cValueType")
                                                   : QStringLiteral("Warehouse.cWhValueStyle"));

    SqlFragment s;
    s.sql = QStringLiteral("SELECT ") + f.join(QStringLiteral(", ")) +
            QStringLiteral(
                " FROM IA_Subsidiary"
                " LEFT JOIN Inventory ON IA_Subsidiary.cInvCode = Inventory.cInvCode"
                " LEFT JOIN Warehouse ON IA_Subsidiary.cWhCode = Warehouse.cWhCode"
                " LEFT JOIN Vendor ON IA_Subsidiary.cVenCode = Vendor.cVenCode"
                " LEFT JOIN Department ON IA_Subsidiary.cAccDep = Department.cDepCode"
                " LEFT JOIN Person ON IA_Subsidiary.cPersonCode = Person.cPersonCode"
                " LEFT JOIN code ON IA_Subsidiary.cInvHead = code.cCode"
                " LEFT JOIN ComputationUnit ON Inventory.cComUnitCode = ComputationUnit.cComunitCode"
                " WHERE IA_Subsidiary.cVouType = ?");
    s.binds << QStringLiteral("34");
    const SqlFragment rights =
        RowRightsFilter(m_ctx, QStringLiteral("IA_Subsidiary.cWhCode"),
                        QStringLiteral("IA_Subsidiary.cAccDep"), QStringLiteral("Inventory.iId"), false);
    if (!rights.isEmpty()) {
        s.sql += QStringLiteral(" AND ") + rights.sql;
        s.binds += rights.binds;
    }
    MainSelect = s;
}

QStringList OpeningEntry::loadedRow(const QSqlQuery& r, QString& methodOut) const {
    const int extra = static_cast<int>(loadedColumns().size());
    const auto field = [&](int f) { return r.value(extra + f); };
    // The warehouse's method, or the item's under per-item accounting.
    const QString method = textOf(field(LoadedField::Method));
    methodOut = method;
    const bool planned = isPricedByPlan(costingMethodOf(method));

    QStringList row;
    row.reserve(Col::Count);
    for (int c = 0; c < Col::Count; ++c) row << QString();
    std::optional<Decimal> qty;
    for (int i = 0; i < extra; ++i) {
        const int c = loadedColumns().at(i);
        const grid::ColumnSpec& column = openingColumns().at(c);
        const QVariant v = r.value(i);
        if (c == Col::Quantity) {
            qty = numberOf(v);
            if (qty) row[c] = sqlNumberText(*qty, QuanDec);
        } else if (column.kind == grid::ColumnKind::Date && column.userDefId.isEmpty()) {
            const QDate d = dateOf(v);
            if (d.isValid()) row[c] = d.toString(QStringLiteral("yyyy/MM/dd"));
        } else {
            row[c] = cellText(v, column.pattern);
        }
    }

    const auto inCost = numberOf(field(LoadedField::InCost));
    const auto inPrice = numberOf(field(LoadedField::InPrice));
    const Decimal debit = Decimal::fromVariant(field(LoadedField::DebitDif));
    const Decimal credit = Decimal::fromVariant(field(LoadedField::CreditDif));
    const auto rCost = numberOf(field(LoadedField::PlanPrice));
    const bool posted = !field(LoadedField::Accounter).isNull();

    // Under planned and selling prices the cost shown is the actual one: the
    // amount with its differences over the quantity.
    if (planned) {
        if (qty && !qty->isZero())
            row[Col::UnitCost] =
                sqlNumberText((inPrice.value_or(Decimal()) + debit - credit) / *qty, PriceDec);
    } else if (inCost) {
        row[Col::UnitCost] = sqlNumberText(*inCost, PriceDec);
    }
    if (inPrice) row[Col::Amount] = sqlNumberText((*inPrice + debit - credit).round(2), 2);
    if (planned) {
        // Before posting the item's planned price and the amount it gives; after
        // posting the stored cost and amount.
        const auto price = posted ? inCost : rCost;
        if (price) row[Col::PlanPrice] = sqlNumberText(*price, PriceDec);
        std::optional<Decimal> planAmount;
        if (!posted && rCost && qty)
            planAmount = (rCost->round(PriceDec) * qty->round(QuanDec)).round(2);
        else if (posted && inPrice)
            planAmount = inPrice->round(2);
        if (planAmount) row[Col::PlanAmount] = sqlNumberText(*planAmount, 2);
    }
    return row;
}

std::optional<QStringList> OpeningEntry::storedCells(qint64 autoId) {
    SqlFragment q = MainSelect;
    q.sql += QStringLiteral(" AND IA_Subsidiary.AutoID = ?");
    q.binds << autoId;
    QSqlQuery r = accountDb().exec(q);
    if (!r.next()) return std::nullopt;
    QString method;
    return loadedRow(r, method);
}

void OpeningEntry::showStoredRow(int row, qint64 autoId) {
    m_rowsAsShown.remove(autoId);
    const std::optional<QStringList> cells = storedCells(autoId);
    if (!cells) return;
    for (int c = 0; c < Col::Count; ++c)
        if (m_grid.text(row, c) != cells->at(c)) m_grid.setText(row, c, cells->at(c));
}

SqlFragment OpeningEntry::rowsQuery(const QString& whCode) const {
    SqlFragment q = MainSelect;
    q.sql += QStringLiteral(" AND IA_Subsidiary.cWhCode = ?");
    q.binds << whCode;
    if (!m_classCode.isEmpty()) {
        q.sql += QStringLiteral(" AND Inventory.cInvCCode LIKE ?") + Dialect::likeEscape();
        q.binds << prefixPattern(m_classCode);
    }
    if (!strInvCodeFrom.isEmpty()) {
        q.sql += QStringLiteral(" AND Inventory.cInvCode >= ?");
        q.binds << strInvCodeFrom;
    }
    if (!strInvCodeTo.isEmpty()) {
        q.sql += QStringLiteral(" AND Inventory.cInvCode <= ?");
        q.binds << strInvCodeTo;
    }
    // One row past the limit tells that there are too many.
    q.sql += QStringLiteral(" ORDER BY IA_Subsidiary.AutoID LIMIT %1").arg(kMaxRows + 1);
    return q;
}

void OpeningEntry::LoadRows(const QString& whCode) {
    m_rowsAsShown.clear();
    const bool perItem = m_ctx.gValueStyle == basis::kByInventory;
    if (!perItem) CurWhValueStyle = m_ctx.gAccPara->WarehouseValueStyle(whCode);

    const SqlFragment q = rowsQuery(whCode);
    QSqlQuery r = accountDb().exec(q);
    QList<QStringList> rows;
    rows.reserve(kMaxRows);
    QString lastMethod = CurWhValueStyle;
    while (r.next()) {
        if (rows.size() == kMaxRows) {
            m_grid.clear();
            sink().exclamation(kTooMany);
            return;
        }
        rows << loadedRow(r, lastMethod);
    }
    if (perItem) CurWhValueStyle = lastMethod;

    m_grid.setDataRows(std::move(rows));
    bDirty = false;
}

}  // namespace qc::opening
