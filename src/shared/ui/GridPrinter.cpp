#include "shared/ui/GridPrinter.h"

#include "shared/OutputCommands.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTemporaryFile>

#include <cmath>
#include <cstdio>

namespace qc {

namespace {

constexpr double kTwipsPerInch = 1440.0;

QFont pageFont(double points, bool bold = false) {
    QFont f(QStringLiteral("Noto Sans CJK SC"));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// The columns of each page width: all in one when they fit (scaled down to the
// page when they are at most a third too wide), else bands of columns that fit,
// each after the first repeating the first column.
QList<QList<int>> bandsOf(const QList<double>& natural, double width) {
    double total = 0;
    for (const double w : natural) total += w;
    QList<int> all;
    for (int c = 0; c < natural.size(); ++c) all << c;
    if (total <= width * 1.34 || natural.size() < 2) return {all};
    QList<QList<int>> bands;
    QList<int> band{0};
    double used = natural.first();
    for (int c = 1; c < natural.size(); ++c) {
        if (used + natural.at(c) > width && band.size() > 1) {
            bands << band;
            band = {0};
            used = natural.first();
        }
        band << c;
        used += natural.at(c);
    }
    bands << band;
    return bands;
}

}  // namespace

GridPrinter::GridPrinter(ExportGrid grid, QStringList header, QStringList footer)
    : m_grid(std::move(grid)), m_header(std::move(header)), m_footer(std::move(footer)) {}

void GridPrinter::preparePrinter(QPrinter& printer) const {
    printer.setPageSize(QPageSize(QPageSize::A4));
    double inches = 0;
    for (const ExportColumn& c : m_grid.columns) inches += c.widthTwips / kTwipsPerInch;
    // A4 portrait leaves about 7.5 inches between the margins.
    printer.setPageOrientation(inches > 7.5 ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
}

void GridPrinter::paint(QPrinter& printer) const {
    QPainter p(&printer);
    if (!p.isActive()) return;
    const QRectF area =
        printer.pageLayout()
            .paintRectPixels(printer.resolution())
            .translated(-printer.pageLayout().paintRectPixels(printer.resolution()).topLeft());
    const double dpi = printer.resolution();
    const QFont body = pageFont(8.5), bold = pageFont(8.5, true), title = pageFont(14, true);
    const QFontMetricsF fm(body, &printer), tm(title, &printer);
    const double line = fm.height() * 1.15, rowHeight = fm.height() * 1.5, pad = fm.averageCharWidth() * 0.6;

    QList<double> natural;
    for (const ExportColumn& c : m_grid.columns) natural << c.widthTwips / kTwipsPerInch * dpi;
    const QList<QList<int>> bands = bandsOf(natural, area.width());

    const double top = tm.height() * 1.6 + m_header.size() * line + rowHeight;
    const double bottom = (m_footer.size() + 1) * line + line * 0.5;
    const int perPage = std::max(1, static_cast<int>((area.height() - top - bottom) / rowHeight));
    const int rows = static_cast<int>(m_grid.rows.size());
    const int chunks = std::max(1, (rows + perPage - 1) / perPage);
    const int pages = chunks * static_cast<int>(bands.size());

    int page = 0;
    for (int chunk = 0; chunk < chunks; ++chunk) {
        for (const QList<int>& band : bands) {
            if (page > 0) printer.newPage();
            ++page;
            double y = 0;
            p.setFont(title);
            p.drawText(QRectF(0, y, area.width(), tm.height() * 1.4), Qt::AlignCenter, m_grid.title);
            y += tm.height() * 1.6;
            p.setFont(body);
            for (const QString& h : m_header) {
                p.drawText(QRectF(0, y, area.width(), line), Qt::AlignLeft | Qt::AlignVCenter, h);
                y += line;
            }
            // The band's widths, scaled to the page width when they are wider.
            double total = 0;
            for (const int c : band) total += natural.at(c);
            const double scale = total > area.width() ? area.width() / total : 1.0;
            QList<double> x{0};
            for (const int c : band) x << x.last() + natural.at(c) * scale;
            const auto cells = [&](const QStringList& texts, double rowTop, bool caption) {
                for (int i = 0; i < band.size(); ++i) {
                    const int c = band.at(i);
                    const QRectF cell(x.at(i), rowTop, x.at(i + 1) - x.at(i), rowHeight);
                    if (caption) p.fillRect(cell, QColor(233, 238, 244));
                    p.drawRect(cell);
                    const QRectF inner = cell.adjusted(pad, 0, -pad, 0);
                    const Qt::Alignment align = caption ? Qt::AlignCenter
                                                : m_grid.columns.at(c).numeric
                                                    ? Qt::AlignRight | Qt::AlignVCenter
                                                    : Qt::AlignLeft | Qt::AlignVCenter;
                    p.drawText(inner, align, fm.elidedText(texts.value(c), Qt::ElideRight, inner.width()));
                }
            };
            p.setPen(QPen(QColor(90, 90, 90), 0));
            p.setFont(bold);
            QStringList captions;
            for (const ExportColumn& c : m_grid.columns) captions << c.caption;
            cells(captions, y, true);
            y += rowHeight;
            p.setFont(body);
            for (int r = chunk * perPage; r < std::min(rows, (chunk + 1) * perPage); ++r) {
                cells(m_grid.rows.at(r), y, false);
                y += rowHeight;
            }
            p.setPen(Qt::black);
            double fy = area.height() - bottom + line * 0.5;
            for (const QString& f : m_footer) {
                p.drawText(QRectF(0, fy, area.width(), line), Qt::AlignLeft | Qt::AlignVCenter, f);
                fy += line;
            }
            p.drawText(QRectF(0, fy, area.width(), line), Qt::AlignRight | Qt::AlignVCenter,
                       QStringLiteral("第 %1 页 共 %2 页").arg(page).arg(pages));
        }
    }
}

void GridPrinter::writePdf(const QString& path) const {
    const QFileInfo target(path);
    QTemporaryFile temporary(target.absolutePath() + QStringLiteral("/.qc-output-XXXXXX.pdf"));
    if (!temporary.open())
        throw ExportError(QStringLiteral("无法写入文件 %1：%2").arg(path, temporary.errorString()));
    const QString temporaryName = temporary.fileName();
    temporary.close();
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(temporaryName);
        printer.setCreator(QStringLiteral("QCInput"));
        printer.setDocName(m_grid.title);
        preparePrinter(printer);
        paint(printer);
    }
    if (QFileInfo(temporaryName).size() == 0) {
        QFile::remove(temporaryName);
        throw ExportError(QStringLiteral("无法写入文件 %1").arg(path));
    }
    if (std::rename(QFile::encodeName(temporaryName).constData(),
                    QFile::encodeName(target.absoluteFilePath()).constData()) != 0) {
        QFile::remove(temporaryName);
        throw ExportError(QStringLiteral("无法写入文件 %1").arg(path));
    }
}

void GridPrinter::preview(QWidget* parent) const {
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("打印预览 - ") + m_grid.title);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [this](QPrinter* target) { paint(*target); });
    dialog.exec();
}

void GridPrinter::print(QWidget* parent) const {
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer);
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("打印 - ") + m_grid.title);
    if (dialog.exec() == QDialog::Accepted) paint(printer);
}

void runOutputCommand(LoginContext& ctx, Pickers& pickers, QWidget* parent, const QString& key,
                      const ExportGrid& grid, const QStringList& header, const QStringList& footer) {
    const GridPrinter pages(grid, header, footer.isEmpty() ? PrintFooter(ctx) : footer);
    if (key == u"Print")
        pages.print(parent);
    else if (key == u"Preview")
        pages.preview(parent);
    else
        OutputGrid(ctx, pickers, grid, [&pages](const QString& path) { pages.writePdf(path); });
}

}  // namespace qc
