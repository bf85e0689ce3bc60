#pragma once

#include "opening/OpeningEntry.h"
#include "shared/ui/ResultWindow.h"

namespace qc::opening {

// 导入问题: every problem of a file that was not imported, one line each (the
// file's line, the column, the cell's text, what is wrong). A click on a caption
// sorts by that column (again: the other way); 输出 writes the list to a file.
class FrmImportProblems : public ResultWindow {
    Q_OBJECT
  public:
    FrmImportProblems(LoginContext& ctx, Pickers& pickers, const QList<ImportProblem>& problems,
                      QWidget* parent = nullptr);
    void runCommand(const QString& key) override;
    // Sorts by a column; a second time on the same column, the other way.
    void sortByColumn(int column);

  private:
    int m_sortColumn = -1;
    bool m_ascending = true;
};

}  // namespace qc::opening
