#include "platform/GridExport.h"

#include "platform/Decimal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qc {

namespace {

QString csvField(const QString& s) {
    if (!s.contains(u',') && !s.contains(u'"') && !s.contains(u'\n') && !s.contains(u'\r')) return s;
    QString q = s;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

// A cell's text as a workbook keeps it: the library writes a control character
// as "_xHHHH_", so an underscore that would begin such an escape where a reader
// looks for one is itself escaped ("_x005F_"), as spreadsheet programs do, and
// the text reads back as it was.
QString escapedCellText(const QString& text) {
    if (!text.contains(QStringLiteral("_x"))) return text;
    const auto startsEscape = [&text](qsizetype i) {
        if (i + 6 >= text.size() || text.at(i) != u'_' || text.at(i + 1) != u'x' || text.at(i + 6) != u'_')
            return false;
        for (qsizetype k = i + 2; k < i + 6; ++k)
            if (!isxdigit(text.at(k).unicode())) return false;
        return true;
    };
    QString out;
    out.reserve(text.size() + 14);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (startsEscape(i))
            out += QStringLiteral("_x005F_");
        else
            out += text.at(i);
    }
    return out;
}

// The decimals a number's text shows ("1,234.50": 2).
int decimalsOf(const QString& text) {
    const qsizetype dot = text.indexOf(u'.');
    return dot < 0 ? 0 : static_cast<int>(text.size() - dot - 1);
}

// A sheet name Excel accepts: at most 31 characters, none of []:*?/\.
QString sheetName(const QString& title) {
    QString s = title;
    for (const QChar c : {u'[', u']', u':', u'*', u'?', u'/', u'\\'}) s.remove(c);
    s = s.left(31).trimmed();
    return s.isEmpty() ? QStringLiteral("Sheet1") : s;
}

// The workbook written to `name`: rows in order, streamed to disk as they come
// with their texts inline, so memory stays flat and no shared-string table is
// built for 100,000s of distinct codes and names.
void writeXlsxTo(const ExportGrid& grid, const QString& path, const QByteArray& name) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(name.constData(), &options);
    if (!book) throw ExportError(QStringLiteral("无法写入文件 %1").arg(path));
    const QByteArray sheetTitle = sheetName(grid.title).toUtf8();
    lxw_worksheet* sheet = workbook_add_worksheet(book, sheetTitle.constData());
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);

    const int columns = static_cast<int>(grid.columns.size());
    QList<lxw_format*> formats(columns, nullptr);
    for (int c = 0; c < columns; ++c) {
        const ExportColumn& col = grid.columns.at(c);
        int places = 0;
        if (col.numeric)
            for (const QStringList& r : grid.rows) places = std::max(places, decimalsOf(r.value(c)));
        if (col.numeric) {
            formats[c] = workbook_add_format(book);
            const QByteArray pattern =
                (QStringLiteral("#,##0") + (places > 0 ? u'.' + QString(places, u'0') : QString()))
                    .toLatin1();
            format_set_num_format(formats[c], pattern.constData());
        }
        worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                             std::max(6.0, col.widthTwips / 110.0), nullptr);
        const QByteArray caption = escapedCellText(col.caption).toUtf8();
        worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), caption.constData(), bold);
    }
    worksheet_freeze_panes(sheet, 1, 0);
    lxw_row_t row = 1;
    for (const QStringList& r : grid.rows) {
        for (int c = 0; c < columns && c < r.size(); ++c) {
            const QString& text = r.at(c);
            if (text.isEmpty()) continue;
            const auto column = static_cast<lxw_col_t>(c);
            if (grid.columns.at(c).numeric) {
                if (const std::optional<Decimal> d = Decimal::parse(text)) {
                    worksheet_write_number(sheet, row, column, d->toDouble(), formats.at(c));
                    continue;
                }
            }
            const QByteArray utf8 = escapedCellText(text).toUtf8();
            worksheet_write_string(sheet, row, column, utf8.constData(), nullptr);
        }
        ++row;
    }
    const lxw_error error = workbook_close(book);
    if (error != LXW_NO_ERROR) {
        throw ExportError(
            QStringLiteral("无法写入文件 %1：%2").arg(path, QString::fromUtf8(lxw_strerror(error))));
    }
}

// The file-creation mask of this process, read without changing it.
mode_t processUmask() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("Umask:"))
                return static_cast<mode_t>(line.mid(6).trimmed().toUInt(nullptr, 8));
    return 022;
}

}  // namespace

void writeCsv(const ExportGrid& grid, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw ExportError(QStringLiteral("无法写入文件 %1：%2").arg(path, file.errorString()));
    QByteArray out("\xEF\xBB\xBF");
    const auto line = [&out](const QStringList& fields) {
        QStringList quoted;
        for (const QString& f : fields) quoted << csvField(f);
        out += quoted.join(u',').toUtf8() + "\r\n";
    };
    QStringList captions;
    for (const ExportColumn& c : grid.columns) captions << c.caption;
    line(captions);
    for (const QStringList& r : grid.rows) line(r);
    file.write(out);
    if (!file.commit())
        throw ExportError(QStringLiteral("无法写入文件 %1：%2").arg(path, file.errorString()));
}

void writeWhole(const QString& path, const QString& suffix,
                const std::function<void(const QString& temporaryName)>& write) {
    const QFileInfo target(path);
    QTemporaryFile temporary(target.absolutePath() + QStringLiteral("/.qc-output-XXXXXX") + suffix);
    temporary.setAutoRemove(false);
    if (!temporary.open())
        throw ExportError(QStringLiteral("无法写入文件 %1：%2").arg(path, temporary.errorString()));
    const QString temporaryName = temporary.fileName();
    temporary.close();
    try {
        write(temporaryName);
        if (QFileInfo(temporaryName).size() == 0)
            throw ExportError(QStringLiteral("无法写入文件 %1").arg(path));
        // A temporary file is the owner's alone; the output gets what the file it
        // replaces had, or what a file the user makes gets.
        if (target.exists()) {
            QFile::setPermissions(temporaryName, target.permissions());
        } else {
            const QByteArray temporaryPath = QFile::encodeName(temporaryName);
            ::chmod(temporaryPath.constData(), 0666 & ~processUmask());
        }
        if (::rename(QFile::encodeName(temporaryName).constData(),
                     QFile::encodeName(target.absoluteFilePath()).constData()) != 0)
            throw ExportError(QStringLiteral("无法写入文件 %1：%2")
                                  .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    } catch (...) {
        QFile::remove(temporaryName);
        throw;
    }
}

void writeXlsx(const ExportGrid& grid, const QString& path) {
    writeWhole(path, QStringLiteral(".xlsx"), [&grid, &path](const QString& temporaryName) {
        writeXlsxTo(grid, path, QFile::encodeName(temporaryName));
    });
}

}  // namespace qc
