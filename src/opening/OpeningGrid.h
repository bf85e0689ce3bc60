#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace qc::opening {

// Columns of the opening grid, in the order the window shows them.
namespace Col {
constexpr int VouCode = 0;         // 入库单号
constexpr int InvCode = 1;         // 存货编码
constexpr int InvName = 2;         // 存货名称
constexpr int InvAddCode = 3;      // 存货代码
constexpr int InvStd = 4;          // 规格型号
constexpr int Unit = 5;            // 计量单位
constexpr int Free1 = 6;           // free items 1..10: 6..15
constexpr int InvDefine1 = 16;     // inventory user-defined items 1..16: 16..31
constexpr int ReplaceItem = 32;    // 替换件
constexpr int Quantity = 33;       // 数量
constexpr int UnitCost = 34;       // 单价
constexpr int Amount = 35;         // 金额
constexpr int PlanPrice = 36;      // 计划价
constexpr int PlanAmount = 37;     // 计划金额
constexpr int VouDate = 38;        // 入库日期
constexpr int Batch = 39;          // 批号
constexpr int VenCode = 40;        // 供应商编码
constexpr int VenName = 41;        // 供应商
constexpr int DepCode = 42;        // 部门编码
constexpr int DepName = 43;        // 部门
constexpr int PersonCode = 44;     // 业务员编码
constexpr int PersonName = 45;     // 业务员
constexpr int InvHead = 46;        // 存货科目编码
constexpr int InvHeadName = 47;    // 存货科目
constexpr int ItemClass = 48;      // 项目大类编码
constexpr int ItemClassName = 49;  // 项目大类名称
constexpr int ItemCode = 50;       // 项目编码
constexpr int ItemName = 51;       // 项目名称
constexpr int Define1 = 52;        // head user-defined items 1..16: 52..67
constexpr int Define22 = 68;       // line user-defined items 22..37: 68..83
constexpr int AutoId = 84;         // AUTOID (hidden)
constexpr int Count = 85;
}  // namespace Col

// The cells of the opening grid as texts, laid out as the window shows them:
// row 0 is the caption row, data rows follow, and while there are data rows the
// last row is the totals row ("合计：" in the inventory-code column). Row numbers
// everywhere in the rules are these grid rows.
class OpeningGrid {
  public:
    // Told about changes so that a view can follow them.
    struct Listener {
        virtual ~Listener() = default;
        virtual void gridReset() = 0;           // everything may have changed
        virtual void rowChanged(int row) = 0;   // texts of one row changed
        virtual void rowInserted(int row) = 0;  // a row now stands at `row`
        virtual void rowRemoved(int row) = 0;   // the row at `row` is gone
    };

    OpeningGrid();
    void setListener(Listener* l) { m_listener = l; }

    void setCaptions(const QStringList& captions);  // row 0
    [[nodiscard]] const QStringList& captions() const { return m_captions; }

    [[nodiscard]] int rowCount() const;  // caption row, data rows and the totals row
    [[nodiscard]] int dataRowCount() const { return static_cast<int>(m_rows.size()); }
    [[nodiscard]] bool hasTotals() const { return !m_rows.isEmpty(); }
    [[nodiscard]] int totalsRow() const { return hasTotals() ? rowCount() - 1 : -1; }
    [[nodiscard]] bool isDataRow(int row) const { return row >= 1 && row <= dataRowCount(); }

    // Texts by grid row (0: caption row, last: totals row); "" outside.
    [[nodiscard]] QString text(int row, int col) const;
    void setText(int row, int col, const QString& value);
    [[nodiscard]] QStringList dataRow(int row) const;

    // Back to the caption row only.
    void clear();
    // Replaces every data row at once (loading); the totals row is added when
    // there are rows; its sums are left to the caller.
    void setDataRows(QList<QStringList> rows);
    // Adds an empty data row: after the caption row when the grid is empty (the
    // totals row comes with it), otherwise just above the totals row. Returns its row.
    int addEmptyRow();
    // Inserts data rows above the totals row (or as the first rows); returns the first.
    int insertDataRows(const QList<QStringList>& rows);
    // Removes a data row; the last one removed takes the totals row with it.
    void removeDataRow(int row);
    // Sorts the data rows by one column (numbers as numbers when every non-empty
    // text of the column is a number).
    void sortBy(int col, bool ascending);

  private:
    QStringList m_captions;
    QList<QStringList> m_rows;  // data rows
    QStringList m_totals;
    Listener* m_listener = nullptr;
};

}  // namespace qc::opening
