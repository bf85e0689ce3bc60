#include "platform/Decimal.h"

#include <boost/multiprecision/cpp_int.hpp>

#include <stdexcept>

namespace qc {

namespace {

using Wide = boost::multiprecision::int256_t;

constexpr __int128 pow10(int n) {
    __int128 r = 1;
    for (int i = 0; i < n; ++i) r *= 10;
    return r;
}

constexpr __int128 kOne = pow10(Decimal::kScale);
const __int128 kMaxUnits = (static_cast<__int128>(1) << 126);

// Divides rounding half away from zero.
Wide divRound(const Wide& num, const Wide& den) {
    Wide q = num / den;
    Wide r = num % den;
    if (r != 0) {
        Wide twice = abs(r) * 2;
        if (twice >= abs(den)) q += ((num < 0) != (den < 0)) ? -1 : 1;
    }
    return q;
}

__int128 narrow(const Wide& w) {
    if (abs(w) >= (Wide(1) << 126)) throw std::overflow_error("decimal overflow");
    // int256 -> int128 through two 64-bit halves.
    Wide a = abs(w);
    auto lo = static_cast<unsigned long long>(a & Wide(0xFFFFFFFFFFFFFFFFULL));
    auto hi = static_cast<unsigned long long>((a >> 64) & Wide(0xFFFFFFFFFFFFFFFFULL));
    __int128 r = (static_cast<__int128>(hi) << 64) | lo;
    return w < 0 ? -r : r;
}

Wide widen(__int128 v) {
    bool neg = v < 0;
    unsigned __int128 a = neg ? -static_cast<unsigned __int128>(v) : static_cast<unsigned __int128>(v);
    Wide w = Wide(static_cast<unsigned long long>(a >> 64));
    w <<= 64;
    w += Wide(static_cast<unsigned long long>(a & 0xFFFFFFFFFFFFFFFFULL));
    return neg ? Wide(-w) : w;
}

__int128 checked(__int128 v) {
    if (v >= kMaxUnits || v <= -kMaxUnits) throw std::overflow_error("decimal overflow");
    return v;
}

}  // namespace

Decimal::Decimal(int v) : m_units(static_cast<__int128>(v) * kOne) {}
Decimal::Decimal(long long v) : m_units(static_cast<__int128>(v) * kOne) {}

std::optional<Decimal> Decimal::parse(const QString& text) {
    // Read in place: thousands separators are skipped as the digits are read.
    const QStringView s = QStringView(text).trimmed();
    if (s.isEmpty()) return std::nullopt;
    qsizetype i = 0;
    bool neg = false;
    if (s[0] == QLatin1Char('+') || s[0] == QLatin1Char('-')) {
        neg = s[0] == QLatin1Char('-');
        ++i;
    }
    const auto skipCommas = [&] {
        while (i < s.size() && s[i] == QLatin1Char(',')) ++i;
    };
    __int128 intPart = 0;
    QString frac;
    bool digits = false;
    for (skipCommas(); i < s.size() && s[i].isDigit(); ++i, skipCommas()) {
        digits = true;
        intPart = intPart * 10 + s[i].digitValue();
        if (intPart >= pow10(26)) return std::nullopt;
    }
    if (i < s.size() && s[i] == QLatin1Char('.')) {
        for (++i, skipCommas(); i < s.size() && s[i].isDigit(); ++i, skipCommas()) {
            digits = true;
            frac.append(s[i]);
        }
    }
    if (!digits) return std::nullopt;
    int exponent = 0;
    if (i < s.size() && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
        bool ok = false;
        exponent = s.mid(i + 1).toInt(&ok);
        if (!ok || exponent > 25 || exponent < -30) return std::nullopt;
        i = s.size();
    }
    if (i != s.size()) return std::nullopt;

    // The common text, a plain number with no more decimals than kept, is exact in
    // 128 bits: no rounding, no wide arithmetic.
    if (exponent == 0 && frac.size() <= kScale && intPart < pow10(24)) {
        __int128 fracUnits = 0;
        for (QChar c : frac) fracUnits = fracUnits * 10 + c.digitValue();
        const __int128 units = intPart * kOne + fracUnits * pow10(kScale - static_cast<int>(frac.size()));
        return fromUnits(neg ? -units : units);
    }

    // Work in units of 10^-(kScale + extra) so that rounding sees every digit.
    Wide mant = widen(intPart);
    for (QChar c : frac) mant = mant * 10 + c.digitValue();
    int scale = static_cast<int>(frac.size()) - exponent;  // value = mant * 10^-scale
    Wide units;
    if (scale <= kScale) {
        Wide f = 1;
        for (int k = 0; k < kScale - scale; ++k) f *= 10;
        units = mant * f;
    } else {
        Wide f = 1;
        for (int k = 0; k < scale - kScale; ++k) f *= 10;
        units = divRound(mant, f);
    }
    if (neg) units = -units;
    try {
        return fromUnits(narrow(units));
    } catch (const std::overflow_error&) {
        return std::nullopt;
    }
}

Decimal Decimal::fromText(const QString& text) {
    return parse(text).value_or(Decimal());
}

Decimal Decimal::fromDouble(double v) {
    return fromText(QString::number(v, 'g', 15));
}

Decimal Decimal::fromVariant(const QVariant& v) {
    if (v.isNull() || !v.isValid()) return {};
    switch (v.typeId()) {
        case QMetaType::Double:
        case QMetaType::Float:
            return fromDouble(v.toDouble());
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
            return Decimal(v.toLongLong());
        case QMetaType::Bool:
            return Decimal(v.toBool() ? 1 : 0);
        default:
            if (v.canConvert<Decimal>() && v.userType() == qMetaTypeId<Decimal>()) return v.value<Decimal>();
            return fromText(v.toString());
    }
}

Decimal Decimal::round(int places) const {
    if (places >= kScale) return *this;
    if (places < 0) places = 0;
    __int128 f = pow10(kScale - places);
    __int128 q = m_units / f;
    __int128 r = m_units % f;
    if (r != 0 && (r < 0 ? -r : r) * 2 >= f) q += m_units < 0 ? -1 : 1;
    return fromUnits(q * f);
}

QString Decimal::toString(int places) const {
    if (places > kScale) places = kScale;
    if (places < 0) places = 0;
    __int128 u = round(places).m_units;
    bool neg = u < 0;
    unsigned __int128 a = neg ? -static_cast<unsigned __int128>(u) : static_cast<unsigned __int128>(u);
    unsigned __int128 one = static_cast<unsigned __int128>(kOne);
    unsigned __int128 ip = a / one;
    unsigned __int128 fp = a % one;
    QString is;
    do {
        is.prepend(QChar(u'0' + static_cast<int>(ip % 10)));
        ip /= 10;
    } while (ip != 0);
    QString fs;
    for (int k = 0; k < kScale; ++k) {
        fs.prepend(QChar(u'0' + static_cast<int>(fp % 10)));
        fp /= 10;
    }
    fs.truncate(places);
    QString out = neg ? QStringLiteral("-") + is : is;
    if (places > 0) out += QLatin1Char('.') + fs;
    return out;
}

QString Decimal::toPlainString() const {
    QString s = toString(kScale);
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0'))) s.chop(1);
        if (s.endsWith(QLatin1Char('.'))) s.chop(1);
    }
    if (s == QStringLiteral("-0")) s = QStringLiteral("0");
    return s;
}

double Decimal::toDouble() const {
    return toPlainString().toDouble();
}

Decimal Decimal::operator-() const {
    return fromUnits(-m_units);
}
Decimal Decimal::operator+(const Decimal& o) const {
    return fromUnits(checked(m_units + o.m_units));
}
Decimal Decimal::operator-(const Decimal& o) const {
    return fromUnits(checked(m_units - o.m_units));
}

Decimal Decimal::operator*(const Decimal& o) const {
    return fromUnits(narrow(divRound(widen(m_units) * widen(o.m_units), widen(kOne))));
}

Decimal Decimal::operator/(const Decimal& o) const {
    if (o.m_units == 0) throw std::domain_error("division by zero");
    return fromUnits(narrow(divRound(widen(m_units) * widen(kOne), widen(o.m_units))));
}

}  // namespace qc
