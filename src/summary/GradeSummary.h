#pragma once

// 期初汇总: the openings summarised per inventory item and per inventory class at
// every grade of the class coding scheme, into work tables of the account
// database named with the instance number; then read back for any grade range
// without computing again. Two summaries share the shape: the opening balances of
// the inventory ledger (期初数据汇总) and the opening rows of dispatched goods of
// one business type (期初发出商品汇总).
//
// Every figure is computed with exact decimals and rounded once, half away from
// zero: quantities to the quantity decimals, unit prices to the price decimals,
// amounts to 2 decimals (dispatched goods: to the price decimals).

#include "platform/Database.h"
#include "shared/ConditionFields.h"
#include "shared/grid/ColumnSpec.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace qc::summary {

enum class SummaryKind { Opening, Instalment, Consignment };

// What a summary is asked for: the selected warehouses (with their valuation
// method), the inventory class and the inventory range (codes; empty for none).
struct SummaryRequest {
    QList<WarehouseEntry> warehouses = {};
    QString itemClass = {}, itemFrom = {}, itemTo = {};
};

class GradeSummary {
  public:
    GradeSummary(LoginContext& ctx, SummaryKind kind);

    [[nodiscard]] SummaryKind kind() const { return m_kind; }
    // The grades of the class coding scheme (N), and the range items "1" … "N",
    // "明细" (index N: the inventory lines).
    [[nodiscard]] int gradeCount() const { return m_grades; }
    [[nodiscard]] QStringList gradeItems() const;
    // The inventory user-defined items that have a name, in item order: (item
    // number 1 … 16, name).
    [[nodiscard]] const QList<std::pair<int, QString>>& namedItems() const { return m_named; }

    // The columns of the result grid: 存货级次, the class, the item, the named
    // user-defined items, the figures.
    [[nodiscard]] grid::ColumnTable columns() const;
    // The first column of the item group and the first of the figures.
    [[nodiscard]] int itemColumn() const { return 3; }
    [[nodiscard]] int figureColumn() const { return 7 + static_cast<int>(m_named.size()); }

    // Computes the summary into the work tables, in one unit of work: on a failure
    // (DbError) the previous result stays as it was.
    void Compute(const SummaryRequest& request);
    // The lines of the grade range (indices into gradeItems()), class lines before
    // their sub-classes and items, as the grid shows them ("明细" for the grade of
    // an inventory line). Empty when nothing was computed.
    [[nodiscard]] QList<QStringList> GetData(int gradeFrom, int gradeTo);

    // "明细" (inventory lines only), "级次明细" (class and inventory lines) or "级次"
    // (class lines only) for a grade range given by its texts.
    static QString DispStyle(const QString& gradeFrom, const QString& gradeTo);
    // The name of the result work table (with the instance suffix).
    [[nodiscard]] QString resultTable() const { return m_result; }

  private:
    void openingItemLines(const SummaryRequest& r);
    void dispatchedItemLines(const SummaryRequest& r);
    void classLines();
    // The shared conditions: class, range and the operator's data rights on the
    // columns of `table` (IA_Subsidiary or IA_EnSubsidiary).
    [[nodiscard]] SqlFragment commonConditions(const SummaryRequest& r, const QString& table) const;
    void createTable(const QString& name, const QStringList& textColumns, bool withGrade);
    [[nodiscard]] QStringList defineColumns() const;
    [[nodiscard]] int codeLength(int grade) const;

    LoginContext& m_ctx;
    Database& m_db;
    const Dialect& m_d;
    SummaryKind m_kind;
    QString m_scheme;  // cGoodClass: the code length of each grade
    int m_grades = 0;
    int m_quantityDecimals = 2, m_priceDecimals = 2;
    QList<std::pair<int, QString>> m_named;
    QString m_result;
    QString m_other;  // the sums per class code the class lines are made of
    bool m_computed = false;
};

}  // namespace qc::summary
