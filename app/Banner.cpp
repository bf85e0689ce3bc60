#include "Banner.h"

#include "shared/ui/QcToolbar.h"

#include <QLinearGradient>
#include <QPainter>

namespace qc {

Banner::Banner(QString title, QString subtitle, QWidget* parent)
    : QWidget(parent), m_title(std::move(title)), m_subtitle(std::move(subtitle)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize Banner::sizeHint() const {
    return {420, 76};
}

void Banner::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(rect().topLeft(), rect().bottomRight());
    g.setColorAt(0, QColor(0x1b, 0x4f, 0x8a));
    g.setColorAt(1, QColor(0x2f, 0x7d, 0xc4));
    p.fillRect(rect(), g);
    p.setPen(QColor(0x14, 0x3d, 0x6b));
    p.drawLine(rect().bottomLeft(), rect().bottomRight());

    const int mark = height() - 28;
    const QRect markRect(16, (height() - mark) / 2, mark, mark);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 235));
    p.drawRoundedRect(markRect.adjusted(-4, -4, 4, 4), 6, 6);
    QcToolbar::standardIcon(QStringLiteral("Opening")).paint(&p, markRect);

    const int textLeft = markRect.right() + 18;
    QFont titleFont = font();
    titleFont.setPointSizeF(font().pointSizeF() * 1.55);
    titleFont.setBold(true);
    p.setFont(titleFont);
    p.setPen(Qt::white);
    const QRect titleRect(textLeft, 10, width() - textLeft - 12, height() / 2 - 6);
    p.drawText(titleRect, Qt::AlignLeft | Qt::AlignBottom, m_title);
    QFont subFont = font();
    subFont.setPointSizeF(font().pointSizeF() * 0.95);
    p.setFont(subFont);
    p.setPen(QColor(0xdc, 0xe9, 0xf7));
    const QRect subRect(textLeft, height() / 2 + 4, width() - textLeft - 12, height() / 2 - 10);
    p.drawText(subRect, Qt::AlignLeft | Qt::AlignTop, m_subtitle);
}

}  // namespace qc
