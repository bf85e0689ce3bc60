#pragma once

// Reading a spreadsheet into texts, for importing rows from a file: an XLSX
// workbook's worksheet or a CSV file becomes a caption row and the rows below it,
// every cell as the text it holds. Numbers come out as plain decimal text (no
// exponent, no binary noise); dates stay day numbers, since only the caller knows
// which columns hold dates (excelSerialDate turns them into dates).

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

namespace qc {

struct SheetRow {
    int line = 0;       // 1-based row number in the file, for messages
    QStringList cells;  // one text per caption, "" where the file has none
};

// The first non-blank row is the caption row (captions trimmed, duplicates and
// empty ones kept). Rows that are blank (every cell empty or only spaces) are left
// out. Every row has exactly as many cells as there are captions; when a row holds
// a text to the right of the last caption, the captions are extended with empty
// ones so that nothing in the file is lost.
struct Sheet {
    QString name;            // the worksheet's name; for CSV the file's name without its suffix
    QStringList sheetNames;  // every worksheet of the workbook, in its order; for CSV `name`
    int captionLine = 0;
    QStringList captions;
    QList<SheetRow> rows;
    bool date1904 = false;  // the workbook counts days from 1904 (see excelSerialDate)
};

class SheetError {
  public:
    explicit SheetError(QString m) : m_message(std::move(m)) {}
    [[nodiscard]] const QString& message() const { return m_message; }

  private:
    QString m_message;
};

// Reads `path` as XLSX when its name ends in .xlsx (in any case), otherwise as CSV.
// `sheetName` picks a worksheet of a workbook by its name (case does not matter);
// empty means the first. Throws SheetError with a message for the user that names
// the file and says what is wrong.
Sheet readSheet(const QString& path, const QString& sheetName = {});

// The worksheets of the workbook at `path`, in its order (a CSV file: its name),
// without reading their cells; SheetError as readSheet.
QStringList worksheetNames(const QString& path);

// CSV (RFC 4180) from bytes in UTF-8, with or without a byte-order mark, or else in
// GB18030. A row's line is its record number: a line break inside quotes does not
// start a record.
Sheet readCsv(const QByteArray& bytes);

// A worksheet of the XLSX workbook at `path`, whatever the file's name.
Sheet readXlsx(const QString& path, const QString& sheetName = {});

// A day number as spreadsheet programs store dates: in the 1900 system day 1 is
// 1900-01-01 and day 60 the 1900-02-29 that never was (invalid here); in the 1904
// system day 0 is 1904-01-01. A fraction (time of day) is dropped. Invalid for a
// day before the first or after 9999-12-31.
QDate excelSerialDate(double serial, bool date1904);

}  // namespace qc
