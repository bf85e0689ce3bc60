#include "platform/SheetReader.h"

#include "platform/SheetParts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cmath>

using namespace Qt::StringLiterals;

namespace qc {

using namespace sheetparts;

namespace {

// UTF-8 when the bytes are valid UTF-8 (a byte-order mark is dropped), otherwise
// GB18030, the legacy encoding of Chinese text files (a superset of GBK and GB2312).
QString decodeText(const QByteArray& bytes, const QString& where) {
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError()) {
        QStringDecoder gb18030("GB18030");
        if (gb18030.isValid()) text = gb18030(bytes);
        if (!gb18030.isValid() || gb18030.hasError()) {
            if (isLegacyWorkbook(bytes))
                fail(u"%1 是旧格式（.xls）的工作簿，请另存为 .xlsx 或 CSV 后再读取"_s.arg(where));
            fail(u"%1 不是 UTF-8 或 GB18030 编码的 CSV 文本"_s.arg(where));
        }
    }
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    return text;
}

// RFC 4180: fields separated by commas; a field that starts with a quote runs to
// the closing quote, with "" for a quote and commas and line breaks kept as text.
// Records end at CR LF, LF or CR; a final line break does not start another record.
Sheet csvSheet(const QByteArray& bytes, const QString& where) {
    const QString text = decodeText(bytes, where);
    const QStringView all(text);
    const qsizetype n = all.size();
    SheetBuilder builder;
    QStringList row;
    int record = 1;
    qsizetype i = 0;
    while (true) {
        QString field = emptyText();
        if (i < n && all[i] == u'"') {
            ++i;
            while (true) {
                const qsizetype quote = all.indexOf(u'"', i);
                if (quote < 0) fail(u"%1 第 %2 行有一个引号没有闭合"_s.arg(where).arg(record));
                field += all.sliced(i, quote - i);
                i = quote + 1;
                if (i < n && all[i] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    break;
                }
            }
        }
        // An unquoted field, or stray text after a closing quote, runs to the next
        // comma or line break and is kept literally.
        qsizetype end = i;
        while (end < n && all[end] != u',' && all[end] != u'\n' && all[end] != u'\r') ++end;
        field += all.sliced(i, end - i);
        row.append(std::move(field));
        i = end;
        if (i < n && all[i] == u',') {
            ++i;
            continue;
        }
        builder.add(record++, std::exchange(row, {}));
        if (i >= n) break;
        i += (all[i] == u'\r' && i + 1 < n && all[i + 1] == u'\n') ? 2 : 1;
        if (i >= n) break;
    }
    if (builder.empty()) fail(u"%1 中没有数据"_s.arg(where));
    return builder.finish();
}

}  // namespace

Sheet readSheet(const QString& path, const QString& sheetName) {
    if (path.endsWith(u".xlsx", Qt::CaseInsensitive)) return readXlsx(path, sheetName);
    QFile file(path);
    openForReading(file);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        fail(u"无法读取文件 %1：%2"_s.arg(QDir::toNativeSeparators(path), file.errorString()));
    Sheet sheet = csvSheet(bytes, fileLabel(path));
    sheet.name = QFileInfo(path).completeBaseName();
    sheet.sheetNames = QStringList{sheet.name};
    return sheet;
}

QStringList worksheetNames(const QString& path) {
    if (!path.endsWith(u".xlsx", Qt::CaseInsensitive)) return {QFileInfo(path).completeBaseName()};
    return sheetparts::xlsxSheetNames(path);
}

Sheet readCsv(const QByteArray& bytes) {
    return csvSheet(bytes, fileLabel(QString()));
}

QDate excelSerialDate(double serial, bool date1904) {
    if (!std::isfinite(serial)) return {};
    const double day = std::floor(serial);
    if (date1904) {
        if (day < 0 || day > 2957003) return {};  // 1904-01-01 … 9999-12-31
        return QDate(1904, 1, 1).addDays(static_cast<qint64>(day));
    }
    // The 1900 system counts a 1900-02-29 the calendar never had (day 60), so the
    // days after it are one ahead of a plain count from 1899-12-31.
    if (day < 1 || day == 60 || day > 2958465) return {};  // 1900-01-01 … 9999-12-31
    return QDate(1899, 12, day < 60 ? 31 : 30).addDays(static_cast<qint64>(day));
}

}  // namespace qc
