#include "shared/ui/GridPrinter.h"

#include "platform/PdfTextMap.h"
#include "shared/OutputCommands.h"

#include <QFile>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRawFont>

#include <cmath>
#include <functional>

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
// page when they are at most a third too wide), else bands of columns that fit.
// Each band after the first begins with the columns that name a row (the first
// column when none is named), so that every page says whose figures it shows.
QList<QList<int>> bandsOf(const QList<double>& natural, double width, QList<int> naming) {
    double total = 0;
    for (const double w : natural) total += w;
    QList<int> all;
    for (int c = 0; c < natural.size(); ++c) all << c;
    if (total <= width * 1.34 || natural.size() < 2) return {all};
    if (naming.isEmpty()) naming = {0};
    double namingWidth = 0;
    for (const int c : naming) namingWidth += natural.at(c);
    QList<QList<int>> bands;
    QList<int> band;
    double used = 0;
    bool fresh = false;  // the band holds a column no earlier band showed
    for (int c = 0; c < natural.size(); ++c) {
        if (!bands.isEmpty() && naming.contains(c)) continue;  // already at the band's head
        if (fresh && used + natural.at(c) > width) {
            bands << band;
            band = naming;
            used = namingWidth;
        }
        band << c;
        used += natural.at(c);
        fresh = true;
    }
    bands << band;
    return bands;
}

// The ideograph the page font draws with the same glyph as a radical (⻚ and 页),
// for the text of a printed page; other characters as they are.
std::function<char32_t(char32_t)> ideographOfRadical() {
    static const auto lookup = [] {
        const QRawFont font = QRawFont::fromFont(pageFont(10));
        QString ideographs;
        for (char32_t c = 0x3400; c <= 0x9FFF; ++c)
            if (c < 0x4DC0 || c >= 0x4E00) ideographs += QChar(static_cast<char16_t>(c));
        const QList<quint32> glyphs = font.glyphIndexesForString(ideographs);
        QHash<quint32, char32_t> byGlyph;
        for (qsizetype i = 0; i < glyphs.size() && i < ideographs.size(); ++i)
            if (glyphs.at(i) != 0 && !byGlyph.contains(glyphs.at(i)))
                byGlyph.insert(glyphs.at(i), ideographs.at(i).unicode());
        QHash<char32_t, char32_t> ideographOf;
        for (char32_t radical = 0x2E80; radical <= 0x2FDF; ++radical) {
            const quint32 glyph =
                font.glyphIndexesForString(QString(QChar(static_cast<char16_t>(radical)))).value(0);
            if (glyph != 0 && byGlyph.contains(glyph)) ideographOf.insert(radical, byGlyph.value(glyph));
        }
        return ideographOf;
    }();
    return [](char32_t c) { return lookup.value(c, c); };
}

// A cell's text as one run of glyphs of the page font, looked up character by
// character: grid cells hold codes, names and numbers that need no shaping, and
// skipping the text layout makes a page of thousands of cells several times
// cheaper. setText is false when the font lacks a glyph; the caller then lays the
// text out in full.
class CellRun {
  public:
    explicit CellRun(const QRawFont& font) : m_font(font) { m_run.setRawFont(font); }
    bool setText(const QString& text) {
        int count = static_cast<int>(text.size());
        m_glyphs.resize(count);
        if (!m_font.glyphIndexesForChars(text.constData(), count, m_glyphs.data(), &count)) return false;
        m_glyphs.resize(count);
        for (const quint32 g : m_glyphs)
            if (g == 0) return false;
        m_advances = m_font.advancesForGlyphIndexes(m_glyphs, QRawFont::SeparateAdvances);
        m_positions.resize(count);
        double pen = 0;
        for (int i = 0; i < count; ++i) {
            m_positions[i] = QPointF(pen, 0);
            pen += m_advances.at(i).x();
        }
        m_advance = pen;
        m_run.setGlyphIndexes(m_glyphs);
        m_run.setPositions(m_positions);
        return true;
    }
    [[nodiscard]] double advance() const { return m_advance; }
    [[nodiscard]] const QGlyphRun& run() const { return m_run; }

  private:
    QRawFont m_font;
    QGlyphRun m_run;
    QList<quint32> m_glyphs;
    QList<QPointF> m_advances, m_positions;
    double m_advance = 0;
};

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
    const QFontMetricsF fm(body, &printer), boldMetrics(bold, &printer), tm(title, &printer);
    QRawFont cellFont = QRawFont::fromFont(body);
    cellFont.setPixelSize(body.pointSizeF() * dpi / 72.0);
    CellRun cellRun(cellFont);
    const double line = fm.height() * 1.15, rowHeight = fm.height() * 1.5, pad = fm.averageCharWidth() * 0.6;

    QList<double> natural;
    for (const ExportColumn& c : m_grid.columns) natural << c.widthTwips / kTwipsPerInch * dpi;
    const QList<QList<int>> bands = bandsOf(natural, area.width(), m_grid.rowNaming);

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
            // The caption row centred in bold on its shaded band; the data rows drawn
            // at a computed baseline (texts elided only when they do not fit), and
            // the ruling as one line per row and per column rather than a frame per
            // cell: a page of 85 columns holds thousands of cells.
            const double left = x.first(), right = x.last();
            const int first = chunk * perPage, last = std::min(rows, (chunk + 1) * perPage);
            const double tableTop = y, tableBottom = y + rowHeight * (1 + last - first);
            p.setPen(QPen(QColor(90, 90, 90), 0));
            p.fillRect(QRectF(left, y, right - left, rowHeight), QColor(233, 238, 244));
            p.setFont(bold);
            for (int i = 0; i < band.size(); ++i) {
                const QRectF inner(x.at(i) + pad, y, x.at(i + 1) - x.at(i) - 2 * pad, rowHeight);
                p.drawText(inner, Qt::AlignCenter,
                           boldMetrics.elidedText(m_grid.columns.at(band.at(i)).caption, Qt::ElideRight,
                                                  inner.width()));
            }
            y += rowHeight;
            p.setFont(body);
            const double baseline = (rowHeight + fm.ascent() - fm.descent()) / 2;
            for (int r = first; r < last; ++r) {
                const QStringList& texts = m_grid.rows.at(r);
                for (int i = 0; i < band.size(); ++i) {
                    const int c = band.at(i);
                    const QString& text = texts.value(c);
                    if (text.isEmpty()) continue;
                    const double width = x.at(i + 1) - x.at(i) - 2 * pad;
                    const bool numeric = m_grid.columns.at(c).numeric;
                    if (cellRun.setText(text) && cellRun.advance() <= width) {
                        const double at = numeric ? x.at(i + 1) - pad - cellRun.advance() : x.at(i) + pad;
                        p.drawGlyphRun(QPointF(at, y + baseline), cellRun.run());
                        continue;
                    }
                    // Glyphs the page font lacks, or too wide: the full text layout.
                    const QString shown = fm.elidedText(text, Qt::ElideRight, width);
                    const double advance = fm.horizontalAdvance(shown);
                    p.drawText(QPointF(numeric ? x.at(i + 1) - pad - advance : x.at(i) + pad, y + baseline),
                               shown);
                }
                y += rowHeight;
            }
            QList<QLineF> ruling;
            for (int k = 0; k <= 1 + last - first; ++k)
                ruling << QLineF(left, tableTop + k * rowHeight, right, tableTop + k * rowHeight);
            for (const double cx : x) ruling << QLineF(cx, tableTop, cx, tableBottom);
            p.drawLines(ruling);
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
    writeWhole(path, QStringLiteral(".pdf"), [this, &path](const QString& temporaryName) {
        {
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(temporaryName);
            printer.setCreator(QStringLiteral("QCInput"));
            printer.setDocName(m_grid.title);
            preparePrinter(printer);
            paint(printer);
        }
        // The text a reader copies from the pages: ideographs, not the radicals
        // the page font draws with the same glyphs.
        QFile file(temporaryName);
        if (!file.open(QIODevice::ReadWrite))
            throw ExportError(QStringLiteral("无法写入文件 %1：%2").arg(path, file.errorString()));
        const QByteArray written = file.readAll();
        const QByteArray mapped = mapGlyphsTo(written, ideographOfRadical());
        if (mapped.isEmpty() || mapped == written) return;
        if (!file.resize(0) || file.write(mapped) != mapped.size() || !file.flush())
            throw ExportError(QStringLiteral("无法写入文件 %1：%2").arg(path, file.errorString()));
    });
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
