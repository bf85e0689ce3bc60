#pragma once

// The pieces the CSV and the XLSX readers share: messages about a file, the
// gathering of rows into a sheet, opening a file for reading. Internal to the
// readers (SheetReader.cpp, XlsxReader.cpp).

#include "platform/SheetReader.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <algorithm>

namespace qc::sheetparts {

using namespace Qt::StringLiterals;

[[noreturn]] inline void fail(const QString& message) {
    throw SheetError(message);
}

// "文件 <path>" for messages about a file, a neutral name for bytes from elsewhere.
inline QString fileLabel(const QString& path) {
    return path.isEmpty() ? u"CSV 数据"_s : u"文件 %1"_s.arg(QDir::toNativeSeparators(path));
}

// Old binary workbooks (.xls) start with the compound-document signature; users
// pick them by mistake often enough to deserve their own hint.
inline bool isLegacyWorkbook(const QByteArray& head) {
    return head.startsWith(QByteArrayView("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
}

// A cell without text is "" and never a null string, which a database would
// store as NULL.
inline QString emptyText() {
    return u""_s;
}

inline bool hasText(const QStringList& cells) {
    return std::any_of(cells.begin(), cells.end(), [](const QString& cell) {
        return std::any_of(cell.begin(), cell.end(), [](QChar c) { return !c.isSpace(); });
    });
}

// Gathers the rows as they are read: the first one with any text holds the
// captions, blank ones are dropped, and at the end every row (and the captions) is
// made as wide as the rightmost text of the sheet reaches.
class SheetBuilder {
  public:
    void add(int line, QStringList cells) {
        while (!cells.isEmpty() && cells.constLast().isEmpty()) cells.removeLast();
        if (!hasText(cells)) return;
        m_width = std::max(m_width, cells.size());
        if (m_sheet.captionLine == 0) {
            for (QString& caption : cells) caption = caption.trimmed();
            m_sheet.captionLine = line;
            m_sheet.captions = std::move(cells);
        } else {
            m_sheet.rows.append(SheetRow{line, std::move(cells)});
        }
    }

    [[nodiscard]] bool empty() const { return m_sheet.captionLine == 0; }

    Sheet finish() {
        m_sheet.captions.resize(m_width, emptyText());
        for (SheetRow& row : m_sheet.rows) row.cells.resize(m_width, emptyText());
        return std::move(m_sheet);
    }

  private:
    Sheet m_sheet;
    qsizetype m_width = 0;
};

inline void openForReading(QFile& file) {
    const QString shown = QDir::toNativeSeparators(file.fileName());
    if (!file.exists()) fail(u"无法读取文件 %1：文件不存在"_s.arg(shown));
    if (!file.open(QIODevice::ReadOnly)) fail(u"无法读取文件 %1：%2"_s.arg(shown, file.errorString()));
}

// The names of the worksheets of the workbook at `path`, in the workbook's order.
QStringList xlsxSheetNames(const QString& path);

}  // namespace qc::sheetparts
