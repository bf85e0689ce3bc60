#pragma once

#include "host/Pickers.h"
#include "host/TaskLease.h"
#include "opening/OpeningColumns.h"
#include "platform/Database.h"
#include "shared/ToolButton.h"
#include "shared/grid/GridModel.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace qc {
struct LoginContext;
struct Sheet;
struct ExportGrid;
class MessageSink;
}  // namespace qc

class QSqlQuery;

namespace qc::opening {

// What the print set-up of the entry grid made: the header and footer tables in the
// scratch database, and the lines read back from them for the pages.
struct PrintSetup {
    QString headerTable, footerTable;
    QStringList header;  // "仓库：name(code)"
    QStringList footer;  // the unit, the operator and the login date
};

// One problem of an imported file: its line in the file, the column's caption, the
// cell's text and what is wrong, in the words a typed row would get.
struct ImportProblem {
    int line = 0;
    QString caption, text, message;
};

// An import of opening rows from a sheet.
struct ImportRequest {
    // Whether openings already in a warehouse are replaced; unset: the user is
    // asked when there are some.
    std::optional<bool> overwrite;
    bool dryRun = false;  // check only
    // Told how far the work is (rows checked of all); false cancels it before
    // anything is stored.
    std::function<bool(int done, int total)> progress;
};

struct ImportOutcome {
    enum class Status { Stored, Checked, Problems, Refused, Cancelled };
    Status status = Status::Refused;
    int rows = 0;  // rows stored, or that would be
    QList<ImportProblem> problems;
    QString message;  // why it was refused, or the success text
};

// What the rules ask of the entry window itself: its dialogs and the few things
// only the window can do. The widget class implements it; tests script it.
class EntryWindow {
  public:
    virtual ~EntryWindow() = default;
    // The grid is editing a cell (most commands do nothing then).
    [[nodiscard]] virtual bool inEditMode() const = 0;
    // The filter dialog, opened with the current class code and code range; true
    // (and the new values) when the user accepted it.
    virtual bool showFilter(QString& classCode, QString& codeFrom, QString& codeTo) = 0;
    // The find dialog over the grid, caption "期初录入".
    virtual void showFind() = 0;
    // Dialogs of later windows (the opening summary, the reconciliation).
    virtual void showSummary() = 0;
    virtual void showCompare() = 0;
    // Help with the window's help context.
    virtual void showHelp(const QString& helpFile, int context) = 0;
    // Print, preview or output the grid ("Print", "Preview", "OutPut").
    virtual void printGrid(const QString& key) = 0;
    // Long work is running (hourglass pointer).
    virtual void setBusy(bool busy) = 0;
    // How far an import is (rows checked of all); false when the user cancelled it.
    virtual bool importProgress(int /*done*/, int /*total*/) { return true; }
    // The problems of a file that was not imported, in a window of their own.
    virtual void showImportProblems(const QList<ImportProblem>& problems) = 0;
    virtual void closeWindow() = 0;
};

// The entry window of a caller without windows (the command line, a benchmark):
// no dialogs, nothing shown, never editing.
class NoEntryWindow : public EntryWindow {
  public:
    [[nodiscard]] bool inEditMode() const override { return false; }
    bool showFilter(QString&, QString&, QString&) override { return false; }
    void showFind() override {}
    void showSummary() override {}
    void showCompare() override {}
    void showHelp(const QString&, int) override {}
    void printGrid(const QString&) override {}
    void setBusy(bool) override {}
    void closeWindow() override {}
    void showImportProblems(const QList<ImportProblem>&) override {}
};

// The rules of the opening entry window 期初余额: loading the rows of a warehouse,
// the cell rules, the row checks and storage, and the toolbar commands. It holds
// the window's state; the widget class only shows it and forwards events.
class OpeningEntry {
  public:
    static constexpr int kMaxRows = 4000;
    static constexpr int kMaxSelect = 2500;
    static constexpr int kHelpContext = 21000240;

    OpeningEntry(LoginContext& ctx, Pickers& pickers, EntryWindow& window);

    // ---- loading and the warehouse list
    // The load steps of the window (after the context is open).
    void Load();
    // Fills the grid with the opening rows of warehouse `whCode` under the
    // current class and code-range filter.
    void LoadRows(const QString& whCode);
    // The statement LoadRows reads (every value bound).
    [[nodiscard]] SqlFragment rowsQuery(const QString& whCode) const;
    // The warehouse list opened and an item of it chosen, with its text ("" for none).
    void WarehouseDropDown(const QString& listText);
    void WarehouseClick(const QString& listText);
    // The item class button: pick an inventory class and reload.
    void ClassReference();
    // The item class box left towards another control than its button, with its text.
    void ClassBoxLeft(const QString& classCode);
    // The cursor entered a row (refreshes the valuation label under per-item accounting).
    void RowEntered(int row);

    // ---- cells and rows
    // Checks an edited cell; may rewrite `value` and fill other cells of the row.
    // Sets cancel when the value is refused (the message has been shown).
    void ValidateCell(QString& value, bool& cancel, int row, int col);
    // The row checks and the storage when the cursor leaves a row.
    void ValidateAndStoreRow(bool& cancel, int row);
    bool CheckAllRows();
    void ApplyPlanPriceRounding();
    qint64 GetCurrentId();
    QString GetDepFromWhCode(const QString& whCode);
    // Whether a cell may be edited at all (the grid's read-only state, the
    // dictionary-filled columns, the totals row).
    [[nodiscard]] bool cellEditable(int row, int col) const;
    // The reference button of a cell: opens the fitting pick window and, on a
    // pick, fills the row through FillReturn.
    void ReferenceClicked(int row, int col);
    // The query the reference window of a cell lists, for the typed text.
    ReferenceQuery ReferenceQueryFor(int row, int col, const QString& typed);
    // Writes a pick into the row and runs the cell rule on it.
    void FillReturn(int row, int col, const PickedRow& picked);

    // ---- commands
    // A toolbar button key ("Add", "Delete", "Keep", ...).
    void Dispatch(const QString& key);
    // The shortcut Ctrl+<letter> (A, D, F in either case), the current row for D.
    void Shortcut(QChar letter, int currentRow);
    void mnuAdd();
    void mnuDelete(int row);
    // The find dialog's search: the first data row whose code or name equals the
    // text without regard to case; -1 when none.
    [[nodiscard]] int FindRow(const QString& text) const;
    // Closing the window: releases the context. Returns false while editing.
    bool Unload();
    // The grid row the cursor is on (the row Delete works on) and the text chosen
    // in the sort list (the column Order and ROrder sort by); the window keeps both current.
    void setCurrentRow(int row) { m_currentRow = row; }
    [[nodiscard]] int currentRow() const { return m_currentRow; }
    void setSortText(const QString& text) { m_sortText = text; }

    // ---- import
    // The columns a file may fill, in the grid's order, and their captions (the
    // template's caption row).
    [[nodiscard]] QList<int> importColumns() const;
    [[nodiscard]] QStringList importCaptions() const;
    // The template: the caption row of those columns, without rows.
    [[nodiscard]] ExportGrid importTemplate() const;
    // Checks every row of the sheet with the cell rules and row checks of typing
    // and stores all of them in one unit of work, or nothing when any fails.
    ImportOutcome ImportSheet(const Sheet& sheet, const ImportRequest& request);

    // ---- state the window shows
    // The grid's rows (from 0; the totals row follows them) as the window shows them.
    grid::GridModel& grid() { return m_grid; }
    [[nodiscard]] const grid::GridModel& grid() const { return m_grid; }
    [[nodiscard]] const QStringList& warehouseItems() const { return m_warehouseItems; }
    [[nodiscard]] const QString& valuationLabel() const { return m_valuationLabel; }
    // The quantity total and the amount total, one per line (beside their captions
    // "数量合计：" and "金额合计：").
    [[nodiscard]] QString totalsLabel() const;
    [[nodiscard]] const QStringList& sortItems() const { return m_sortItems; }  // the sort list
    [[nodiscard]] const QList<int>& columnWidths() const { return m_widths; }   // 0 = hidden
    // The print set-up of the current warehouse: the header table (its label and
    // the warehouse as "name(code)") and the footer table (unit, operator, login
    // date) built anew in the scratch database, named with a unique tag, a random
    // number, InitHead or InitTail and the instance number. DbError on a failure.
    PrintSetup PreparePrint(const QString& warehouseLabel, const QString& warehouseName);
    // The name of the chosen warehouse, as the warehouse list shows it.
    [[nodiscard]] QString currentWarehouseName() const;
    [[nodiscard]] bool planColumnsVisible() const;  // 计划价, 计划金额
    [[nodiscard]] bool gridReadOnly() const { return m_readOnly; }
    [[nodiscard]] const QList<ToolButton>& toolbar() const { return m_toolbar; }
    [[nodiscard]] const ToolButton* button(const QString& key) const;
    [[nodiscard]] QString classCode() const { return m_classCode; }  // the item class box
    [[nodiscard]] int maxTextLength(int col) const;                  // user-defined text columns; 0 = free

    // Window state (the fields of the window object).
    SqlFragment MainSelect;
    int QuanDec = 2;
    int PriceDec = 2;
    QDate IAStartDate;
    bool bPosted = false;
    QString CurWhValueStyle;
    QString CurrentWhCode;
    bool bDirty = false;
    QString strInvCodeFrom;
    QString strInvCodeTo;

  private:
    ImportOutcome importSheet(const Sheet& sheet, const ImportRequest& request);
    // Filled in by the rules' own source files.
    void setUpColumns();
    void setUpToolbar();
    ToolButton* buttonRef(const QString& key);
    // Loading (OpeningEntry.cpp).
    void buildMainSelect();
    // One grid row from a record of the main select; `method` gets the row's method.
    QStringList loadedRow(const QSqlQuery& record, QString& method) const;
    // A stored row shown as the database now holds it (defaults, formats, costs).
    void showStoredRow(int row, qint64 autoId);
    // The cells the grid shows for a stored row as the account holds it now; none
    // when the row is gone.
    std::optional<QStringList> storedCells(qint64 autoId);
    // Inside the store's unit of work: whether the account still holds the row as
    // the grid showed it before the edit (another copy may have changed or deleted
    // it since); when not, says so and shows what the account holds.
    bool storedAsShown(int row, qint64 autoId);
    void applyCommandRules();
    void updateReadOnly();
    MessageSink& sink();
    Database& accountDb();
    // Row checks (OpeningRows.cpp).
    bool checkRow(int row);
    bool storeRow(int row);
    void fetchFromStock();
    // 导入 and 模板 (OpeningImport.cpp).
    void importFile();
    void writeTemplate();
    // Inside the caller's unit of work: takes the openings' lock and tells whether
    // they are still unposted. When another copy has posted them since this window
    // loaded, says so and puts the window into its posted, read-only state.
    bool stillUnposted();
    // Whether the operator still holds the current warehouse (asked afresh: a
    // right taken away while the window is open holds from the next change on);
    // says "您没有此仓库的权限！" when not.
    bool warehouseStillGranted();
    // Commands (OpeningCommands.cpp).
    void runCommand(const QString& key);
    void selectInventory();
    void sortRows(bool ascending);

    LoginContext& m_ctx;
    Pickers& m_pickers;
    EntryWindow& m_window;
    grid::GridModel m_grid;
    QStringList m_warehouseItems;
    QString m_valuationLabel;
    QStringList m_sortItems;
    QList<int> m_widths;
    QList<int> m_maxLength;
    QList<ToolButton> m_toolbar;
    QString m_classCode;
    bool m_readOnly = true;
    bool m_canAdd = false;
    std::optional<TaskLease> m_addTask;  // "ASM310102", entered by Add
    QDate m_periodBegin, m_periodEnd;
    QStringList m_freeNames;     // free items 1..10 (captions, "" when undefined)
    QStringList m_defineNames;   // inventory user-defined items 1..16
    bool m_editRight = false;    // function right "ASM310101"
    bool m_iaStartYear = false;  // IsIaStartYear at load
    bool m_stStarted = false;    // dSTStartDate is a date
    bool m_samePeriod = false;   // stock management in the period of inventory accounting
    int m_currentRow = -1;
    QString m_sortText;

    // A stored row's cells as the grid showed them before its first accepted edit,
    // by AutoID; dropped when the row is stored or the grid reloaded.
    QHash<qint64, QStringList> m_rowsAsShown;

    // cell rules
    // Rights answers of the operator ("存货|<code>", "部门|<code>"), asked once per
    // code while the window is open; rights do not change under it.
    QMap<QString, bool> m_cellRights;
    // Project tables named by fitem that were found in the schema (lower case).
    QStringList m_cellTables;
};

}  // namespace qc::opening
