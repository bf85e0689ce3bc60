#pragma once

#include "dispatched/DispatchedEntry.h"
#include "platform/ui/MessageBoxSink.h"
#include "shared/ui/EntryDialog.h"

#include <memory>

class QComboBox;
class QLabel;

namespace qc {
class QcToolbar;
}  // namespace qc

namespace qc::grid {
class CellEditor;
class EntryGridDelegate;
class EntryGridView;
}  // namespace qc::grid

namespace qc::dispatched {

class frmQcFcspCon;

// 分期收款发出商品期初 / 委托代销发出商品期初: the dispatched-goods window. It shows
// what DispatchedEntry holds and forwards the user's actions to it; every edited
// cell is checked and stored at once.
class FrmQcFcsp : public EntryDialog {
    Q_OBJECT
  public:
    FrmQcFcsp(LoginContext& ctx, Pickers& pickers, BusinessType type, QWidget* parent = nullptr);
    ~FrmQcFcsp() override;

    [[nodiscard]] DispatchedEntry& entry() { return *m_entry; }
    [[nodiscard]] grid::GridModel& model() { return m_entry->grid(); }
    // The query dialog, made on the first 查询 and kept for the window's life.
    [[nodiscard]] frmQcFcspCon* conditionDialog() const { return m_conditions; }

    // Sends the window's messages and questions to `sink` instead of message boxes
    // (a script driving the window); the sink must outlive the window's context.
    void setMessageSink(MessageSink& sink);
    // A toolbar button or its key: the command of that key.
    void runCommand(const QString& key);

    QcToolbar* toolbar = nullptr;
    QLabel* titleLabel = nullptr;
    QLabel* sortLabel = nullptr;
    QComboBox* sortColumnList = nullptr;
    QLabel* rowCountLabel = nullptr;
    grid::EntryGridView* rowsView = nullptr;

  protected:
    bool mayClose() override;

  private:
    void buildWidgets();
    void applyColumns();
    void showRowCount();
    void seek();
    void find();
    void cellReference(grid::CellEditor* editor);
    void currentReference();
    void showHelp();

    LoginContext& m_ctx;
    Pickers& m_pickers;
    MessageBoxSink m_boxSink;
    MessageSink* m_previousSink = nullptr;
    std::unique_ptr<DispatchedEntry> m_entry;
    grid::EntryGridDelegate* m_delegate = nullptr;
    frmQcFcspCon* m_conditions = nullptr;
    SqlFragment m_query;
};

}  // namespace qc::dispatched
