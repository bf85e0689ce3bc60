#pragma once

// Output of a grid to a file (输出): the captions and the rows as the grid shows
// them, as a spreadsheet (XLSX) or as CSV. A file is written completely or not at
// all: it is written under a temporary name in the same folder and renamed over
// the target at the end; on a failure nothing is left and ExportError says why.

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
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
    QList<int> rowNaming;     // the columns that name a row (code and name), in order
};

class ExportError : public std::runtime_error {
  public:
    explicit ExportError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    [[nodiscard]] QString message() const { return m_message; }

  private:
    QString m_message;
};

// Writes `path` whole or not at all: `write` fills a temporary file in the same
// folder (it is handed its name and throws ExportError when it fails), which then
// replaces `path` in one step, with the permissions of the file it replaces or,
// for a new file, those the user's umask gives. On any failure nothing is left
// behind and ExportError says why.
void writeWhole(const QString& path, const QString& suffix,
                const std::function<void(const QString& temporaryName)>& write);

// CSV in UTF-8 with a byte-order mark (spreadsheet programs then read Chinese
// right), fields quoted as RFC 4180 asks, lines ended by CR LF.
void writeCsv(const ExportGrid& grid, const QString& path);
// An XLSX workbook of one sheet: the caption row bold and frozen, numbers as
// numbers in their columns' formats (thousands grouped, the decimals shown), every
// other cell as text (codes keep their leading zeros), the columns' widths.
void writeXlsx(const ExportGrid& grid, const QString& path);

}  // namespace qc
