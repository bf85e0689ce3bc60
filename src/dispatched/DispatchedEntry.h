#pragma once

// The rules of the dispatched-goods window (发出商品期初), without widgets: its
// state at load, the rows a query brings, the four amount and price cells that
// recompute their row, the subject code, storing an edited row at once, and the
// 取数 and 清空 commands. A window shows what this holds and forwards the user's
// actions to it.

#include "dispatched/DispatchedGoods.h"
#include "platform/Database.h"
#include "shared/grid/GridModel.h"

#include <functional>
#include <memory>

namespace qc::dispatched {

class DispatchedEntry {
  public:
    DispatchedEntry(LoginContext& ctx, BusinessType type);
    ~DispatchedEntry();
    DispatchedEntry(const DispatchedEntry&) = delete;
    DispatchedEntry& operator=(const DispatchedEntry&) = delete;

    // Reads the decimals, the posting state, the rights and the start year, and
    // sets up the columns (captions of the user-defined items, widths).
    void Load();

    [[nodiscard]] BusinessType businessType() const { return m_type; }
    // "分期收款发出商品期初" or "委托代销发出商品期初".
    [[nodiscard]] QString caption() const;
    [[nodiscard]] grid::GridModel& grid() { return *m_grid; }
    [[nodiscard]] const QList<int>& columnWidths() const { return m_widths; }
    [[nodiscard]] bool gridReadOnly() const { return m_readOnly; }
    // 取数 and 清空 may be used (the right, unposted, the start year).
    [[nodiscard]] bool canFetchAndClear() const { return m_canFetch; }
    [[nodiscard]] bool posted() const { return m_posted; }

    // Shows the rows of a query (the condition dialog's), formatted as the grid
    // shows them; an empty query leaves the grid empty.
    void Refresh(const SqlFragment& query);

    // A typed cell: may rewrite `value` and the row's other cells; sets cancel and
    // shows the message when refused.
    void ValidateCell(QString& value, bool& cancel, int row, int col);
    // Stores the row's edited values at once; false (with the message) when the
    // database refused them, the row then unchanged.
    bool StoreRow(int row);

    // 取数: nothing when rows of the business type exist; otherwise the take-over
    // under the fetch task, "取数完毕！" when done. True when rows were fetched.
    bool Fetch();
    // 清空: asks first; true when the rows were cleared.
    bool Clear();

  private:
    [[nodiscard]] bool rightsAllow(int row);
    // Runs `work` as one unit of work with the openings locked against a posting;
    // a failure rolls it back and shows its description.
    bool inLockedUnit(const std::function<void()>& work);
    bool recompute(QString& value, int row, int col);
    [[nodiscard]] Decimal number(int row, int col) const;
    void setNumber(int row, int col, const std::optional<Decimal>& v, int places);

    LoginContext& m_ctx;
    BusinessType m_type;
    std::unique_ptr<grid::GridModel> m_grid;
    QList<int> m_widths;
    bool m_readOnly = true, m_canFetch = false, m_posted = false;
    int m_quantityDecimals = 2, m_priceDecimals = 2;
};

}  // namespace qc::dispatched
