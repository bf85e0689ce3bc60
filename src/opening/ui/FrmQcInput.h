#pragma once

#include <QPointer>

#include "opening/OpeningEntry.h"
#include "platform/ui/MessageBoxSink.h"
#include "shared/ui/EntryDialog.h"
#include "shared/ui/EntryGridView.h"

#include <QDialog>
#include <QSet>
#include <QTableView>

#include <functional>
#include <memory>

class QComboBox;
class QProgressDialog;
class QLabel;
class QLineEdit;
class QMenu;
class QToolButton;

namespace qc {
class QcToolbar;
class frmInitCon;
}  // namespace qc

namespace qc::grid {
class CellEditor;
class EntryGridDelegate;
}  // namespace qc::grid

namespace qc::opening {

// 期初余额: the opening entry window. It shows what OpeningEntry holds and
// forwards the user's actions to it; the rules decide.
class FrmQcInput : public EntryDialog, public EntryWindow {
    Q_OBJECT
  public:
    FrmQcInput(LoginContext& ctx, Pickers& pickers, QWidget* parent = nullptr);
    ~FrmQcInput() override;

    [[nodiscard]] OpeningEntry& entry() { return *m_entry; }
    [[nodiscard]] grid::GridModel& model() { return *m_model; }
    // Sends the window's messages and questions to `sink` instead of message boxes
    // (a script driving the window); the sink must outlive the window's context.
    void setMessageSink(MessageSink& sink);

    // A toolbar button, a shortcut or the pop-up menu: the command of that key.
    void runCommand(const QString& key);
    // The grid row the cursor is on (from 0); -1 for none.
    [[nodiscard]] int currentGridRow() const;
    // Leaves the current row as moving the cursor away would: commits an open
    // editor and runs the row check of an edited row. False when refused.
    bool leaveCurrentRow();
    // rowsView rows keyed since they were last stored.
    [[nodiscard]] const QSet<int>& editedRows() const { return m_edited; }

    // EntryWindow
    [[nodiscard]] bool inEditMode() const override;
    bool showFilter(QString& classCode, QString& codeFrom, QString& codeTo) override;
    void showFind() override;
    void showSummary() override;
    void showCompare() override;
    void showHelp(const QString& helpFile, int context) override;
    void printGrid(const QString& key) override;
    void setBusy(bool busy) override;
    bool importProgress(int done, int total) override;
    void showImportProblems(const QList<ImportProblem>& problems) override;
    void closeWindow() override;

    // The controls.
    QcToolbar* toolbar = nullptr;
    QLabel* titleLabel = nullptr;
    QLabel* warehouseLabel = nullptr;
    QComboBox* warehouseList = nullptr;
    QLabel* itemClassLabel = nullptr;
    QLineEdit* itemClassEdit = nullptr;
    QToolButton* itemClassButton = nullptr;
    QLabel* sortLabel = nullptr;
    QComboBox* sortColumnList = nullptr;
    QLabel* valuationLabel = nullptr;
    QLabel* totalsCaptionLabel = nullptr;
    QLabel* totalsLabel = nullptr;
    grid::EntryGridView* rowsView = nullptr;
    QMenu* rowMenu = nullptr;
    QAction* addRowAction = nullptr;
    QAction* insertRowAction = nullptr;
    QAction* deleteRowAction = nullptr;

  protected:
    bool mayClose() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildWidgets();
    void buildToolbar();
    void loadWindow();
    void applyColumns();
    void applyState();
    void warehouseChosen(int index);
    void classBoxLeft();
    void classReference();
    void addRow(bool fromMenu);
    void deleteRow();
    void cellReference(grid::CellEditor* editor);
    void currentReference();
    void shortcut(QChar letter);
    bool checkRow(int row);
    void rowsRemoved(int first, int last);
    void currentRowChanged(const QModelIndex& current, const QModelIndex& previous);
    void focusCell(int row, int col);

    LoginContext& m_ctx;
    Pickers& m_pickers;
    MessageBoxSink m_boxSink;
    MessageSink* m_previousSink = nullptr;
    std::unique_ptr<OpeningEntry> m_entry;
    grid::GridModel* m_model = nullptr;
    grid::EntryGridDelegate* m_delegate = nullptr;
    frmInitCon* m_filter = nullptr;
    QSet<int> m_edited;
    int m_warehouseIndex = -1;
    bool m_unloaded = false;
    QPointer<QProgressDialog> m_progress;  // while an import runs
};

}  // namespace qc::opening
