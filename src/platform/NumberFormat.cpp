#include "platform/NumberFormat.h"

namespace qc {

QString formatNumber(const Decimal& value, const QString& pattern) {
    const auto dot = pattern.indexOf(QLatin1Char('.'));
    const QString intPat = dot < 0 ? pattern : pattern.left(dot);
    const QString fracPat = dot < 0 ? QString() : pattern.mid(dot + 1);
    const int places = static_cast<int>(fracPat.count(QLatin1Char('0')) + fracPat.count(QLatin1Char('#')));
    const int minFrac = static_cast<int>(fracPat.count(QLatin1Char('0')));
    const bool group = intPat.contains(QLatin1Char(','));
    const int minInt = static_cast<int>(intPat.count(QLatin1Char('0')));

    const Decimal rounded = value.round(places);
    QString s = rounded.abs().toString(places);
    const bool neg = rounded.isNegative();
    QString ip = s.section(QLatin1Char('.'), 0, 0);
    QString fp = places > 0 ? s.section(QLatin1Char('.'), 1, 1) : QString();
    while (fp.size() > minFrac && fp.endsWith(QLatin1Char('0'))) fp.chop(1);
    // Leading zeros: a '#'-only integer part drops a zero integer ("###.00" -> ".50").
    qsizetype zeros = 0;
    while (zeros < ip.size() && ip.at(zeros) == QLatin1Char('0')) ++zeros;
    ip.remove(0, zeros);
    while (ip.size() < minInt) ip.prepend(QLatin1Char('0'));
    if (group) {
        for (auto i = ip.size() - 3; i > 0; i -= 3) ip.insert(i, QLatin1Char(','));
    }
    QString out = ip;
    if (!fp.isEmpty() || (dot >= 0 && minFrac > 0)) out += QLatin1Char('.') + fp;
    if (neg) out.prepend(QLatin1Char('-'));
    return out;
}

QString decimalsPattern(int places) {
    QString p = QStringLiteral("###0");
    if (places > 0) p += QLatin1Char('.') + QString(places, QLatin1Char('0'));
    return p;
}

QString sqlNumberText(const Decimal& value, int places) {
    return value.toString(places);
}

QString GroupThousands(const QString& text) {
    qsizetype start = text.startsWith(u'-') ? 1 : 0;
    qsizetype end = text.indexOf(u'.');
    if (end < 0) end = text.size();
    if (end - start < 4) return text;
    for (qsizetype i = start; i < text.size(); ++i)
        if (i != end && !text.at(i).isDigit()) return text;
    QString out = text;
    for (qsizetype i = end - 3; i > start; i -= 3) out.insert(i, u',');
    return out;
}

QString StripThousandsSeparators(const QString& text) {
    QString s = text;
    s.remove(QLatin1Char(','));
    return s;
}

}  // namespace qc
