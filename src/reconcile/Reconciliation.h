#pragma once

// 库存与存货期初对账: the opening quantities kept by inventory accounting (the
// opening ledger rows other than estimates) against the stock openings kept by
// stock management (receipts counted in, issues out), per warehouse and item, its
// named user-defined items and the chosen free items; every group whose
// quantities differ (or, when asked, whose amounts differ) is listed. Exact
// decimals, in one unit of work, into a work table named with the instance number.

#include "platform/Database.h"
#include "shared/grid/ColumnSpec.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace qc {
struct LoginContext;
}  // namespace qc

namespace qc::reconcile {

struct ReconcileRequest {
    QStringList warehouses = {};  // codes; none compares nothing
    QString itemClass = {}, itemFrom = {}, itemTo = {};
    QList<int> freeItems = {};  // free items 1..10 that split the groups, in list order
    bool quantities = true;     // 数量检查: differing quantities are reported
    bool amounts = false;       // 金额检查: the amounts too, and differing amounts are reported
};

class Reconciliation {
  public:
    explicit Reconciliation(LoginContext& ctx);

    // The free items that have a name: (item number 1..10, name), in item order.
    [[nodiscard]] const QList<std::pair<int, QString>>& namedFreeItems() const { return m_frees; }
    // The inventory user-defined items that have a name, in item order.
    [[nodiscard]] const QList<std::pair<int, QString>>& namedInventoryItems() const { return m_defines; }

    // Compares, in one unit of work; the work table holds the differing groups.
    // DbError when a statement fails (the previous result is kept then).
    void Compute(const ReconcileRequest& request);
    // The columns of the last result: 仓库编码 … 存货计量单位, "存货" + item name,
    // "自由项" + free item name, the stock, accounting and difference quantities
    // (and amounts when they were compared).
    [[nodiscard]] grid::ColumnTable columns() const;
    // The differing groups of the last computation as the grid shows them (the
    // 13th user-defined item as "###0.000000"), by warehouse and item.
    [[nodiscard]] QList<QStringList> rows();
    [[nodiscard]] QString resultTable() const { return m_result; }

  private:
    // The selected warehouses, class, range and the operator's rights on one side:
    // `head` the table with the warehouse and department, `line` the one with the item.
    [[nodiscard]] SqlFragment conditions(const QString& head, const QString& line) const;

    LoginContext& m_ctx;
    Database& m_db;
    const Dialect& m_d;
    int m_quantityDecimals = 2;
    QList<std::pair<int, QString>> m_frees, m_defines;
    ReconcileRequest m_request;
    QString m_result;
    bool m_computed = false;
};

}  // namespace qc::reconcile
