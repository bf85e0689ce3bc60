#pragma once

#include "host/Pickers.h"
#include "platform/GridExport.h"

#include <QStringList>

class QPainter;
class QPrinter;
class QWidget;

namespace qc {

// The pages of a grid as an accountant signs them: the title, the header lines,
// the caption row repeated on every page, the rows (the totals row last), the
// footer lines and "第 n 页 共 m 页". The columns keep their order and their widths'
// proportions, scaled to the page (landscape when they are wide); columns too many
// for one page width go on further pages, the first column repeated so that each
// page names its rows. Simplified Chinese is drawn with a CJK font, embedded in a PDF.
class GridPrinter {
  public:
    GridPrinter(ExportGrid grid, QStringList header, QStringList footer);

    // Paints every page on `printer` (its page size and orientation already set).
    void paint(QPrinter& printer) const;
    // The orientation the columns want: landscape when they are wider than a
    // portrait page.
    void preparePrinter(QPrinter& printer) const;
    // Writes the pages as a PDF, whole or not at all (ExportError on a failure).
    void writePdf(const QString& path) const;
    // 预览 and 打印: the preview window, or the system print dialog then the pages.
    void preview(QWidget* parent) const;
    void print(QWidget* parent) const;

  private:
    ExportGrid m_grid;
    QStringList m_header, m_footer;
};

struct LoginContext;

// 打印, 预览 or 输出 of a grid that has rows (the window has checked): the print
// dialog, the preview, or the file the user picks (XLSX, CSV or the PDF of the
// pages). `header` heads every page; the footer is `footer`, or else the unit,
// the operator and the login date.
void runOutputCommand(LoginContext& ctx, Pickers& pickers, QWidget* parent, const QString& key,
                      const ExportGrid& grid, const QStringList& header, const QStringList& footer = {});

}  // namespace qc
