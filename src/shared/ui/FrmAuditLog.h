#pragma once

#include "host/Pickers.h"
#include "shared/AuditQuery.h"
#include "shared/ui/ResultWindow.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;

namespace qc {

// 操作日志: the events of the audit trail the filter selects, oldest first, with
// the chosen event's values before and after side by side below the grid, under
// the captions of the grid they were typed in. 查询 applies the filter; 行历史
// lists every event of the chosen event's row; 打印, 预览 and 输出 as in every
// result window.
class FrmAuditLog : public ResultWindow {
    Q_OBJECT
  public:
    FrmAuditLog(LoginContext& ctx, Pickers& pickers, TrailCaptions captions, QWidget* parent = nullptr);
    void runCommand(const QString& key) override;
    // The filter the boxes hold; a date that is no date is said and stops 查询.
    [[nodiscard]] std::optional<AuditFilter> filter();

    QLineEdit* sinceEdit = nullptr;
    QLineEdit* untilEdit = nullptr;
    QLineEdit* operatorEdit = nullptr;
    QLineEdit* warehouseEdit = nullptr;
    QLineEdit* itemEdit = nullptr;
    QLineEdit* rowIdEdit = nullptr;
    QComboBox* operationCombo = nullptr;
    QPlainTextEdit* beforeView = nullptr;
    QPlainTextEdit* afterView = nullptr;

  private:
    void query();
    void showEvent(int row);
    // The values of a before or after text as lines "caption：value".
    [[nodiscard]] QString asLines(const QString& json, bool dispatchedGoods) const;

    TrailCaptions m_captions;
};

// Opens the trail for an operator holding the right to read it; says
// "您没有这个权限！" otherwise.
void runAuditLog(LoginContext& ctx, Pickers& pickers, const TrailCaptions& captions, QWidget* parent);

}  // namespace qc
