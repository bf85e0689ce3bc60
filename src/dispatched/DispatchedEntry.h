#pragma once

// The rules of the dispatched-goods window (发出商品期初), without widgets: its
// state at load, the rows a query brings, the four amount and price cells that
// recompute their row, the subject code, storing an edited row at once, and the
// 取数 and 清空 commands. A window shows what this holds and forwards the user's
// actions to it.

#include "dispatched/DispatchedGoods.h"
#include "host/Pickers.h"
#include "platform/Database.h"
#include "shared/ToolButton.h"
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
    // The toolbar: 取数 and 清空 as the rights, the posting and the year allow.
    [[nodiscard]] QList<ToolButton> toolbar() const;
    // The captions of the shown columns, in column order: what 升序 and 降序 sort by.
    [[nodiscard]] const QStringList& sortItems() const { return m_sortItems; }

    // Shows the rows of a query (the condition dialog's), formatted as the grid
    // shows them; an empty query leaves the grid empty.
    void Refresh(const SqlFragment& query);

    // A typed cell: may rewrite `value` and the row's other cells; sets cancel and
    // shows the message when refused.
    void ValidateCell(QString& value, bool& cancel, int row, int col);
    // Stores the row's edited values at once; false (with the message) when the
    // database refused them or another copy changed or deleted the row since it was
    // shown as `shown` (its cells before the edit), the row then unchanged.
    bool StoreRow(int row, const QStringList& shown);
    // A typed cell as the window hands it over: checked, written into the row with
    // the figures it recomputes, and stored at once. Refused or not stored: cancel
    // is set and the row is as it was.
    void ValidateAndStore(QString& value, bool& cancel, int row, int col);
    // The account-subject reference of the 科目编码 cell, primed with `typed`: the
    // code picked, or nothing when the user cancelled.
    std::optional<QString> PickSubject(Pickers& pickers, const QString& typed);

    // 升序 / 降序 by the column whose caption is `caption` (texts without regard to
    // case, numbers as numbers); nothing without rows or a caption.
    void Sort(const QString& caption, bool ascending);
    // 打印, 预览, 输出: false with "没有数据，不能…！" when the grid has no rows.
    bool OutputAllowed(const QString& key);

    // 取数: nothing when rows of the business type exist; otherwise the take-over
    // under the fetch task, "取数完毕！" when done. True when rows were fetched.
    bool Fetch();
    // 清空: asks first; true when the rows were cleared.
    bool Clear();

  private:
    // Inside the store's unit of work: whether the account still holds the row's
    // stored figures and subject as `shown`; says why not.
    bool storedAsShown(qint64 id, const QStringList& shown);
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
    QStringList m_sortItems;
    bool m_readOnly = true, m_canFetch = false, m_posted = false;
    int m_quantityDecimals = 2, m_priceDecimals = 2;
};

}  // namespace qc::dispatched
