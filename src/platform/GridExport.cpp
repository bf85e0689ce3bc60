#include "platform/GridExport.h"

#include "platform/Decimal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <xlsxwriter.h>

namespace qc {

namespace {

QString csvField(const QString& s) {
    if (!s.contains(u',') && !s.contains(u'"') && !s.contains(u'\n') && !s.contains(u'\r')) return s;
    QString q = s;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
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

void writeXlsx(const ExportGrid& grid, const QString& path) {
    // The workbook goes to a temporary file beside the target, renamed at the end.
    const QFileInfo target(path);
    QTemporaryFile temporary(target.absolutePath() + QStringLiteral("/.qc-output-XXXXXX.xlsx"));
    if (!temporary.open())
        throw ExportError(QStringLiteral("无法写入文件 %1：%2").arg(path, temporary.errorString()));
    const QString temporaryName = temporary.fileName();
    temporary.close();
    const QByteArray name = QFile::encodeName(temporaryName);
    // Rows are written in order and streamed to disk as they come, with their texts
    // inline: memory stays flat and no shared-string table is built for 100,000s of
    // distinct codes and names.
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
        const QByteArray caption = col.caption.toUtf8();
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
            const QByteArray utf8 = text.toUtf8();
            worksheet_write_string(sheet, row, column, utf8.constData(), nullptr);
        }
        ++row;
    }
    const lxw_error error = workbook_close(book);
    if (error != LXW_NO_ERROR) {
        QFile::remove(temporaryName);
        throw ExportError(
            QStringLiteral("无法写入文件 %1：%2").arg(path, QString::fromUtf8(lxw_strerror(error))));
    }
    // Replace the target in one step.
    if (::rename(name.constData(), QFile::encodeName(target.absoluteFilePath()).constData()) != 0) {
        QFile::remove(temporaryName);
        throw ExportError(QStringLiteral("无法写入文件 %1").arg(path));
    }
}

}  // namespace qc
