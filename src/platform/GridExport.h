#pragma once

// Output of a grid to a file (输出): the captions and the rows as the grid shows
// them, as a spreadsheet (XLSX) or as CSV. A file is written completely or not at
// all: it is written under a temporary name in the same folder and renamed over
// the target at the end; on a failure nothing is left and ExportError says why.

#include <QList>
#include <QString>
#include <QStringList>

#include <stdexcept>

namespace qc {

struct ExportColumn {
    QString caption;
    bool numeric = false;  // numbers go out as numbers, with the decimals the grid shows
    int widthTwips = 1000;
};

struct ExportGrid {
    QString title;  // the sheet's name
    QList<ExportColumn> columns;
    QList<QStringList> rows;  // the texts as shown, a cell per column
};

class ExportError : public std::runtime_error {
  public:
    explicit ExportError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    [[nodiscard]] QString message() const { return m_message; }

  private:
    QString m_message;
};

// CSV in UTF-8 with a byte-order mark (spreadsheet programs then read Chinese
// right), fields quoted as RFC 4180 asks, lines ended by CR LF.
void writeCsv(const ExportGrid& grid, const QString& path);
// An XLSX workbook of one sheet: the caption row bold and frozen, numbers as
// numbers in their columns' formats (thousands grouped, the decimals shown), every
// other cell as text (codes keep their leading zeros), the columns' widths.
void writeXlsx(const ExportGrid& grid, const QString& path);

}  // namespace qc
