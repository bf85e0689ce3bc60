#pragma once

#include "host/Pickers.h"
#include "shared/Reference.h"

#include <QDialog>

#include <functional>

class QLineEdit;
class QPushButton;
class QToolButton;

namespace qc {

struct LoginContext;

// The grid the find dialog searches, as the owning window lends it. Rows are the
// grid's data rows 0 .. rowCount() - 1; columns are numbered as in the grid.
struct FindGrid {
    std::function<int()> rowCount;
    std::function<QString(int row, int column)> cellText;
    // Optional: the window's own search (the first row whose code or name equals
    // the text without regard to case, -1 for none); used instead of cellText.
    std::function<int(const QString& text)> find;
    // Makes the row current, selects it across all its columns and scrolls it to
    // the top of the grid.
    std::function<void(int row)> moveTo;
};

// 定位: finds an inventory item by code or name (without regard to letter case)
// in the grid of the entry window, or of the dispatched-goods window when
// frmName is "FrmQcFcsp", and moves that grid to its row.
class frmInitFind : public QDialog {
    Q_OBJECT
  public:
    // Code and name columns of the two grids.
    static constexpr int kEntryCodeColumn = 1;
    static constexpr int kEntryNameColumn = 2;
    static constexpr int kDispatchedCodeColumn = 2;
    static constexpr int kDispatchedNameColumn = 3;

    frmInitFind(LoginContext& ctx, Pickers& pickers, QWidget* parent = nullptr);

    [[nodiscard]] QString frmName() const { return m_frmName; }
    void setFrmName(const QString& name) { m_frmName = name; }
    void setGrid(FindGrid grid) { m_grid = std::move(grid); }

    // The search (the accept button, Enter): moves the grid and closes on a find;
    // "该存货没有找到！" and stays open otherwise; nothing for an empty grid.
    void accept() override;

    QLineEdit* itemEdit = nullptr;
    QToolButton* itemButton = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void reference();
    [[nodiscard]] int search(const QString& text) const;

    LoginContext& m_ctx;
    Pickers& m_pickers;
    QString m_frmName;
    FindGrid m_grid;
    CodeBox m_box;
};

}  // namespace qc
