// The toolbar's images, drawn rather than loaded: one glyph per key on a 32 x 32
// canvas, scaled to the size asked for.

#include "shared/ui/ToolbarGlyphs.h"

#include <QPainter>
#include <QPainterPath>

namespace qc {

namespace {

// Colours of the drawn icons: muted, as in the rest of the suite.
const QColor kInk(0x37, 0x47, 0x4f);
const QColor kPaper(0xfa, 0xfa, 0xf7);
const QColor kBlue(0x1e, 0x6f, 0xc0);
const QColor kGreen(0x2e, 0x8b, 0x3d);
const QColor kRed(0xc6, 0x28, 0x28);
const QColor kAmber(0xe0, 0x9b, 0x1a);
const QColor kGrey(0x90, 0xa4, 0xae);

QPen pen(const QColor& c, qreal w = 2.0) {
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void page(QPainter& p, const QRectF& r) {
    p.setPen(pen(kInk, 1.5));
    p.setBrush(kPaper);
    QPainterPath path;
    const qreal fold = 6;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.drawPath(path);
    p.setPen(pen(kGrey, 1.5));
    for (qreal y = r.top() + 9; y < r.bottom() - 3; y += 4.5)
        p.drawLine(QPointF(r.left() + 4, y), QPointF(r.right() - 5, y));
}

void magnifier(QPainter& p, QPointF c, qreal radius) {
    p.setPen(pen(kInk, 3));
    p.drawLine(c + QPointF(radius * 0.7, radius * 0.7), c + QPointF(radius * 1.8, radius * 1.8));
    p.setPen(pen(kBlue, 2.2));
    p.setBrush(QColor(0xd6, 0xea, 0xfb));
    p.drawEllipse(c, radius, radius);
}

void arrow(QPainter& p, QPointF from, QPointF to, const QColor& c) {
    p.setPen(pen(c, 3));
    p.drawLine(from, to);
    const QLineF l(to, from);
    QLineF a = l;
    a.setLength(6);
    a.setAngle(l.angle() + 35);
    QLineF b = l;
    b.setLength(6);
    b.setAngle(l.angle() - 35);
    p.drawLine(a);
    p.drawLine(b);
}

void cylinder(QPainter& p, const QRectF& r, const QColor& c) {
    p.setPen(pen(kInk, 1.5));
    p.setBrush(c);
    const qreal h = 6;
    QPainterPath body;
    body.moveTo(r.left(), r.top() + h / 2);
    body.lineTo(r.left(), r.bottom() - h / 2);
    body.arcTo(QRectF(r.left(), r.bottom() - h, r.width(), h), 180, 180);
    body.lineTo(r.right(), r.top() + h / 2);
    p.drawPath(body);
    p.drawEllipse(QRectF(r.left(), r.top(), r.width(), h));
}

void book(QPainter& p, const QColor& cover) {
    p.setPen(pen(kInk, 1.5));
    p.setBrush(cover);
    p.drawRoundedRect(QRectF(6, 4, 20, 24), 2, 2);
    p.setBrush(kPaper);
    p.drawRect(QRectF(10, 7, 13, 18));
    p.setPen(pen(kGrey, 1.5));
    for (qreal y = 11; y < 24; y += 4) p.drawLine(QPointF(12, y), QPointF(21, y));
}

void check(QPainter& p, QPointF at, const QColor& c) {
    p.setPen(pen(c, 3.2));
    p.drawPolyline(QPolygonF({at, at + QPointF(4, 4), at + QPointF(11, -5)}));
}

// Draws one glyph on a 32 × 32 canvas.
void drawGlyph(QPainter& p, const QString& key) {
    const QString k = key.toLower();
    if (k == u"print") {
        p.setPen(pen(kInk, 1.5));
        p.setBrush(kPaper);
        p.drawRect(QRectF(9, 3, 14, 10));
        p.setBrush(QColor(0x78, 0x90, 0x9c));
        p.drawRoundedRect(QRectF(3, 11, 26, 12), 2, 2);
        p.setBrush(kPaper);
        p.drawRect(QRectF(9, 19, 14, 10));
        p.setPen(pen(kGrey, 1.2));
        p.drawLine(QPointF(11, 23), QPointF(21, 23));
        p.drawLine(QPointF(11, 26), QPointF(19, 26));
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        p.drawEllipse(QPointF(25, 15), 1.5, 1.5);
    } else if (k == u"preview") {
        page(p, QRectF(4, 3, 18, 24));
        magnifier(p, QPointF(19, 18), 6);
    } else if (k == u"output") {
        page(p, QRectF(3, 3, 17, 25));
        arrow(p, QPointF(13, 18), QPointF(29, 18), kGreen);
    } else if (k == u"add") {
        page(p, QRectF(3, 3, 18, 24));
        p.setPen(pen(kGreen, 3.5));
        p.drawLine(QPointF(23, 15), QPointF(23, 29));
        p.drawLine(QPointF(16, 22), QPointF(30, 22));
    } else if (k == u"insert") {
        p.setPen(pen(kInk, 1.5));
        p.setBrush(kPaper);
        p.drawRect(QRectF(10, 5, 19, 7));
        p.drawRect(QRectF(10, 20, 19, 7));
        arrow(p, QPointF(2, 16), QPointF(16, 16), kGreen);
        p.setPen(pen(kGreen, 1.5));
        p.drawLine(QPointF(18, 16), QPointF(29, 16));
    } else if (k == u"delete") {
        page(p, QRectF(3, 3, 18, 24));
        p.setPen(pen(kRed, 3.5));
        p.drawLine(QPointF(17, 16), QPointF(29, 28));
        p.drawLine(QPointF(29, 16), QPointF(17, 28));
    } else if (k == u"save") {
        p.setPen(pen(kInk, 1.5));
        p.setBrush(kBlue);
        p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
        p.setBrush(kPaper);
        p.drawRect(QRectF(9, 4, 14, 9));
        p.setBrush(QColor(0xcf, 0xd8, 0xdc));
        p.drawRect(QRectF(8, 17, 16, 11));
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.drawRect(QRectF(18, 6, 3, 5));
    } else if (k == u"query" || k == u"seek") {
        magnifier(p, QPointF(13, 13), 8);
    } else if (k == u"select") {
        p.setPen(pen(kInk, 1.5));
        p.setBrush(kPaper);
        p.drawRect(QRectF(4, 5, 10, 10));
        p.drawRect(QRectF(4, 19, 10, 10));
        check(p, QPointF(5, 10), kGreen);
        p.setPen(pen(kGrey, 2));
        p.drawLine(QPointF(18, 10), QPointF(29, 10));
        p.drawLine(QPointF(18, 24), QPointF(29, 24));
    } else if (k == u"getcount") {
        cylinder(p, QRectF(4, 3, 18, 20), QColor(0xbb, 0xde, 0xfb));
        arrow(p, QPointF(24, 12), QPointF(24, 29), kGreen);
    } else if (k == u"sum") {
        p.setPen(pen(kBlue, 3.5));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(25, 7), QPointF(25, 4), QPointF(7, 4), QPointF(17, 16),
                                  QPointF(7, 28), QPointF(25, 28), QPointF(25, 25)}));
    } else if (k == u"compare") {
        p.setPen(pen(kInk, 2));
        p.drawLine(QPointF(16, 4), QPointF(16, 28));
        p.drawLine(QPointF(5, 8), QPointF(27, 8));
        p.drawLine(QPointF(10, 28), QPointF(22, 28));
        p.setBrush(QColor(0xff, 0xe0, 0x82));
        p.setPen(pen(kAmber, 1.5));
        p.drawChord(QRectF(1, 10, 12, 10), 180 * 16, 180 * 16);
        p.drawChord(QRectF(19, 10, 12, 10), 180 * 16, 180 * 16);
        p.setPen(pen(kInk, 1.2));
        p.drawLine(QPointF(5, 8), QPointF(2, 15));
        p.drawLine(QPointF(5, 8), QPointF(12, 15));
        p.drawLine(QPointF(27, 8), QPointF(20, 15));
        p.drawLine(QPointF(27, 8), QPointF(30, 15));
    } else if (k == u"find") {
        p.setPen(pen(kRed, 2.2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(16, 16), 10, 10);
        p.drawEllipse(QPointF(16, 16), 4, 4);
        p.setPen(pen(kInk, 2));
        p.drawLine(QPointF(16, 1), QPointF(16, 9));
        p.drawLine(QPointF(16, 23), QPointF(16, 31));
        p.drawLine(QPointF(1, 16), QPointF(9, 16));
        p.drawLine(QPointF(23, 16), QPointF(31, 16));
    } else if (k == u"keep") {
        book(p, kBlue);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(23, 23), 7.5, 7.5);
        check(p, QPointF(18, 23), kGreen);
    } else if (k == u"restore") {
        p.setPen(pen(kBlue, 3.2));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(6, 8, 20, 18), 90 * 16, -250 * 16);
        p.setPen(pen(kBlue, 3.2));
        p.drawPolyline(QPolygonF({QPointF(10, 3), QPointF(16, 8), QPointF(10, 13)}));
    } else if (k == u"order" || k == u"rorder") {
        const bool up = k == u"order";
        p.setPen(pen(kInk, 2));
        const qreal widths[] = {6, 11, 16, 21};
        for (int i = 0; i < 4; ++i) {
            const qreal w = up ? widths[i] : widths[3 - i];
            const qreal y = 6 + i * 6.5;
            p.drawLine(QPointF(4, y), QPointF(4 + w * 0.7, y));
        }
        if (up)
            arrow(p, QPointF(25, 28), QPointF(25, 5), kGreen);
        else
            arrow(p, QPointF(25, 4), QPointF(25, 27), kGreen);
    } else if (k == u"help") {
        p.setPen(pen(kBlue.darker(120), 1.5));
        p.setBrush(kBlue);
        p.drawEllipse(QPointF(16, 16), 13, 13);
        QFont f = p.font();
        f.setBold(true);
        f.setPixelSize(20);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, QStringLiteral("?"));
    } else if (k == u"exit" || k == u"close") {
        p.setPen(pen(kInk, 1.5));
        p.setBrush(QColor(0xa1, 0x88, 0x7f));
        p.drawRect(QRectF(4, 3, 15, 26));
        p.setPen(Qt::NoPen);
        p.setBrush(kAmber);
        p.drawEllipse(QPointF(16, 16), 1.5, 1.5);
        arrow(p, QPointF(14, 16), QPointF(30, 16), kRed);
    } else if (k == u"clear") {
        p.setPen(pen(kInk, 1.5));
        p.setBrush(QColor(0xf4, 0x8f, 0xb1));
        QPolygonF eraser({QPointF(14, 4), QPointF(28, 16), QPointF(18, 27), QPointF(4, 15)});
        p.drawPolygon(eraser);
        p.setBrush(kPaper);
        p.drawPolygon(QPolygonF({QPointF(9, 19.5), QPointF(18, 27), QPointF(23, 21.5), QPointF(14, 13.8)}));
        p.setPen(pen(kGrey, 1.5));
        p.drawLine(QPointF(3, 29), QPointF(29, 29));
    } else if (k == u"opening") {
        book(p, kGreen);
    } else if (k == u"dispatch" || k == u"consign") {
        p.setPen(pen(kInk, 1.5));
        p.setBrush(k == u"dispatch" ? kAmber : QColor(0x80, 0xcb, 0xc4));
        p.drawRect(QRectF(2, 9, 18, 13));
        p.setBrush(kBlue);
        QPainterPath cab;
        cab.moveTo(20, 12);
        cab.lineTo(26, 12);
        cab.lineTo(30, 17);
        cab.lineTo(30, 22);
        cab.lineTo(20, 22);
        cab.closeSubpath();
        p.drawPath(cab);
        p.setBrush(kInk);
        p.drawEllipse(QPointF(8, 24), 3, 3);
        p.drawEllipse(QPointF(24, 24), 3, 3);
    } else {
        p.setPen(pen(kInk, 1.5));
        p.setBrush(kGrey);
        p.drawRoundedRect(QRectF(6, 6, 20, 20), 3, 3);
    }
}

}  // namespace

QPixmap renderGlyph(const QString& key, int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(size / 32.0, size / 32.0);
    drawGlyph(p, key);
    return pm;
}

}  // namespace qc
