#pragma once

#include "platform/MessageSink.h"
#include "summary/GradeSummary.h"

#include <QDialog>

#include <memory>

class QComboBox;
class QLabel;
class QTableView;

namespace qc {
class QcToolbar;
}  // namespace qc

namespace qc::grid {
class GridModel;
class ShownColumns;
}  // namespace qc::grid

namespace qc::summary {

// 期初数据汇总 (or 期初分期收款 / 委托代销发出商品汇总): the lines a summary computed,
// for a grade range the user may move without computing again. 查询 goes back to
// the condition dialog; the window then closes with queryAgain() true. Its
// messages go where the window that opened it sends its own.
class FrmQcSumInfo : public QDialog {
    Q_OBJECT
  public:
    // `fields` are the condition dialog's: the warehouses it chose and the grade
    // range, which this window moves.
    FrmQcSumInfo(LoginContext& ctx, GradeSummary& summary, ConditionFields& fields,
                 QWidget* parent = nullptr);
    ~FrmQcSumInfo() override;

    [[nodiscard]] grid::GridModel& model() { return *m_model; }
    [[nodiscard]] bool queryAgain() const { return m_queryAgain; }
    // Sends the window's messages to `sink` instead of message boxes.
    void setMessageSink(MessageSink& sink);
    // A toolbar button or its key.
    void runCommand(const QString& key);
    // Whether a grid column (in the summary's columns) is shown now.
    [[nodiscard]] bool columnShown(int column) const;

    QcToolbar* toolbar = nullptr;
    QLabel* titleLabel = nullptr;
    QLabel* warehouseLabel = nullptr;
    QLabel* gradeLabel = nullptr;
    QComboBox* gradeFromList = nullptr;
    QComboBox* gradeToList = nullptr;
    QTableView* linesView = nullptr;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildWidgets();
    void setTableHead();
    void gradeChanged(QComboBox* combo, int index);
    void refreshGrid();
    void showHelp();

    LoginContext& m_ctx;
    GradeSummary& m_summary;
    ConditionFields& m_fields;
    std::unique_ptr<grid::GridModel> m_model;
    grid::ShownColumns* m_shown = nullptr;
    bool m_queryAgain = false;
    bool m_loading = false;
};

}  // namespace qc::summary
