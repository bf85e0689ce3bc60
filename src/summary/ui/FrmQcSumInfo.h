#pragma once

#include "shared/ui/ResultWindow.h"
#include "summary/GradeSummary.h"

class QComboBox;

namespace qc::summary {

// 期初数据汇总 (or 期初分期收款 / 委托代销发出商品汇总): the lines a summary computed,
// for a grade range the user may move without computing again. 查询 goes back to
// the condition dialog; the window then closes with queryAgain() true.
class FrmQcSumInfo : public ResultWindow {
    Q_OBJECT
  public:
    // `fields` are the condition dialog's: the warehouses it chose and the grade
    // range, which this window moves.
    FrmQcSumInfo(LoginContext& ctx, Pickers& pickers, GradeSummary& summary, ConditionFields& fields,
                 QWidget* parent = nullptr);

    [[nodiscard]] bool queryAgain() const { return m_queryAgain; }
    void runCommand(const QString& key) override;

    QLabel* warehouseLabel = nullptr;
    QLabel* gradeLabel = nullptr;
    QComboBox* gradeFromList = nullptr;
    QComboBox* gradeToList = nullptr;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void setTableHead();
    void gradeChanged(QComboBox* combo, int index);
    void refreshGrid();

    GradeSummary& m_summary;
    ConditionFields& m_fields;
    bool m_queryAgain = false;
    bool m_loading = false;
};

}  // namespace qc::summary
