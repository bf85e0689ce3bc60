#pragma once

#include "host/Pickers.h"
#include "platform/MessageSink.h"
#include "shared/ToolButton.h"
#include "shared/grid/ColumnSpec.h"

#include <QDialog>
#include <QSet>

#include <memory>

class QLabel;
class QLayout;
class QTableView;

namespace qc {

struct LoginContext;
class QcToolbar;

namespace grid {
class GridModel;
class ShownColumns;
}  // namespace grid

// The frame of a result window (the summaries, the reconciliation): the toolbar,
// the title, a row of the window's own controls, and a read-only grid of a grid
// model without its hidden columns, numbers with their thousands grouped. Its
// messages go where the window that opened it sends its own.
class ResultWindow : public QDialog {
    Q_OBJECT
  public:
    ~ResultWindow() override;

    [[nodiscard]] grid::GridModel& model() { return *m_model; }
    // Sends the window's messages to `sink` (a script driving it).
    void setMessageSink(MessageSink& sink);
    // A toolbar button or its key.
    virtual void runCommand(const QString& key) = 0;
    // Whether a column of the model is shown now.
    [[nodiscard]] bool columnShown(int column) const;

    QcToolbar* toolbar = nullptr;
    QLabel* titleLabel = nullptr;
    QTableView* linesView = nullptr;

  protected:
    ResultWindow(LoginContext& ctx, Pickers& pickers, grid::ColumnTable columns, QWidget* parent);
    // 打印, 预览, 输出, 查询 (key "seek", its tool tip given), 帮助 and 退出.
    static QList<ToolButton> queryButtons(const QString& queryTip);
    // 打印, 预览 and 输出 (keys Print, Preview, OutPut or Output): the no-data
    // message, or the shown columns printed, previewed or written to a file.
    void outputCommand(const QString& key);
    // Lays the window out: its name and caption, the title, the toolbar buttons
    // (a separator after each key of `groupEnds`; F1 runs Help), and `controls`
    // (may be null) between the title and the grid.
    void setUp(const QString& objectName, const QString& caption, const QString& title,
               const QList<ToolButton>& buttons, const QStringList& groupEnds, QLayout* controls);
    void setHiddenColumns(const QSet<int>& columns);
    // Every shown column `twips` wide (the old unit, about fifteen to a pixel).
    void setColumnWidths(int twips);
    // Every shown column as wide as its column's default width.
    void setColumnWidthsOfColumns();
    // The width of every column in twips, 0 for a hidden one.
    [[nodiscard]] QList<int> columnWidths() const;

    LoginContext& m_ctx;
    Pickers& m_pickers;

  private:
    std::unique_ptr<grid::GridModel> m_model;
    grid::ShownColumns* m_shown = nullptr;
};

}  // namespace qc
