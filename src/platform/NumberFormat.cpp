#include "platform/NumberFormat.h"

#include <QHash>

#include <algorithm>

namespace qc {

namespace {

// What a display pattern asks for.
struct NumberPattern {
    int places = 0;   // decimals shown at most
    int minFrac = 0;  // decimals always shown
    int minInt = 0;   // whole digits always shown
    bool group = false;
    bool point = false;  // the pattern has a decimal point
};

NumberPattern readPattern(const QString& pattern) {
    NumberPattern p;
    const qsizetype dot = pattern.indexOf(u'.');
    p.point = dot >= 0;
    const QStringView whole = p.point ? QStringView(pattern).left(dot) : QStringView(pattern);
    const QStringView fraction = p.point ? QStringView(pattern).mid(dot + 1) : QStringView();
    p.minFrac = static_cast<int>(fraction.count(u'0'));
    p.places = p.minFrac + static_cast<int>(fraction.count(u'#'));
    p.group = whole.contains(u',');
    p.minInt = static_cast<int>(whole.count(u'0'));
    return p;
}

// The windows use a handful of patterns, each formatting thousands of cells: a
// pattern is read once per thread.
const NumberPattern& patternOf(const QString& pattern) {
    thread_local QHash<QString, NumberPattern> known;
    auto it = known.constFind(pattern);
    if (it == known.constEnd()) it = known.insert(pattern, readPattern(pattern));
    return *it;
}

}  // namespace

QString formatNumber(const Decimal& value, const QString& pattern) {
    const NumberPattern& p = patternOf(pattern);
    const Decimal rounded = value.round(p.places);
    const QString s = rounded.abs().toString(p.places);
    const qsizetype point = s.indexOf(u'.');
    QStringView whole = point < 0 ? QStringView(s) : QStringView(s).left(point);
    QStringView fraction = p.places > 0 && point >= 0 ? QStringView(s).mid(point + 1) : QStringView();
    while (fraction.size() > p.minFrac && fraction.endsWith(u'0')) fraction.chop(1);
    // Leading zeros: a '#'-only whole part drops a zero ("###.00" -> ".50").
    while (!whole.isEmpty() && whole.front() == u'0') whole = whole.mid(1);
    const qsizetype padding = std::max<qsizetype>(0, p.minInt - whole.size());
    const qsizetype digits = padding + whole.size();

    QString out;
    out.reserve(digits + digits / 3 + fraction.size() + 2);
    if (rounded.isNegative()) out += u'-';
    for (qsizetype i = 0; i < digits; ++i) {
        if (p.group && i > 0 && (digits - i) % 3 == 0) out += u',';
        out += i < padding ? QChar(u'0') : whole.at(i - padding);
    }
    if (!fraction.isEmpty() || (p.point && p.minFrac > 0)) {
        out += u'.';
        out += fraction;
    }
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
