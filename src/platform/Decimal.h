#pragma once

#include <QString>
#include <QVariant>

#include <compare>
#include <optional>

namespace qc {

// An exact decimal number: a 128-bit integer counted in units of 10^-13.
//
// Quantities, prices and amounts of the account database are decimals with at most
// 13 places (costs are NUMERIC(38,13)); holding them all at that one scale keeps
// addition and comparison exact. Multiplication and division are carried out on a
// 256-bit intermediate and rounded to 13 places half away from zero; every other
// rounding is explicit through round(places).
class Decimal {
  public:
    static constexpr int kScale = 13;

    constexpr Decimal() = default;
    Decimal(int v);        // NOLINT(google-explicit-constructor): integers are decimals
    Decimal(long long v);  // NOLINT(google-explicit-constructor)

    // Parses "123", "-1,234.5", " 0.125 ", "1e3". Thousands separators are
    // skipped; more than 13 decimal places are rounded half away from zero.
    // An empty or malformed text gives nothing.
    static std::optional<Decimal> parse(const QString& text);
    // Like parse, but an empty or malformed text is 0 (the old text-to-number rule).
    static Decimal fromText(const QString& text);
    // A binary double as read from a database that keeps decimals as floating
    // point: its shortest 15-significant-digit text is taken as the value.
    static Decimal fromDouble(double v);
    // A database value: null -> 0; text, integer or floating point otherwise.
    static Decimal fromVariant(const QVariant& v);

    // Rounded to `places` decimals, half away from zero (places 0..13).
    [[nodiscard]] Decimal round(int places) const;
    // Text with exactly `places` decimals after rounding half away from zero; no
    // thousands separators ("1234.50", "-0.13").
    [[nodiscard]] QString toString(int places) const;
    // Text with as many decimals as needed and no trailing zeros ("12.5", "3").
    [[nodiscard]] QString toPlainString() const;
    // The value as bound into SQL: its plain text, exact on every driver.
    [[nodiscard]] QVariant toVariant() const { return toPlainString(); }
    [[nodiscard]] double toDouble() const;

    [[nodiscard]] bool isZero() const { return m_units == 0; }
    [[nodiscard]] bool isNegative() const { return m_units < 0; }
    [[nodiscard]] Decimal abs() const { return m_units < 0 ? -*this : *this; }

    Decimal operator-() const;
    Decimal operator+(const Decimal& o) const;
    Decimal operator-(const Decimal& o) const;
    Decimal operator*(const Decimal& o) const;
    // Division by zero throws std::domain_error.
    Decimal operator/(const Decimal& o) const;
    Decimal& operator+=(const Decimal& o) { return *this = *this + o; }
    Decimal& operator-=(const Decimal& o) { return *this = *this - o; }

    friend bool operator==(const Decimal& a, const Decimal& b) = default;
    friend std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) {
        return a.m_units <=> b.m_units;
    }

  private:
    static Decimal fromUnits(__int128 u) {
        Decimal d;
        d.m_units = u;
        return d;
    }
    __int128 m_units = 0;
};

}  // namespace qc

Q_DECLARE_METATYPE(qc::Decimal)
