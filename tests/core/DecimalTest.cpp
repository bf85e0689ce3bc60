#include "platform/Decimal.h"
#include "platform/NumberFormat.h"

#include <gtest/gtest.h>

#include "support/QtPrint.h"

using qc::Decimal;

namespace {
Decimal d(const char* s) {
    return Decimal::parse(QString::fromLatin1(s)).value();
}
}  // namespace

// Rounding must go away from zero at exactly one half, for both signs; banker's
// rounding or a binary double would give 2.67 -> "2.67" but 2.675 -> "2.67".
TEST(DecimalTest, RoundsHalfAwayFromZero) {
    EXPECT_EQ(d("2.675").toString(2), QStringLiteral("2.68"));
    EXPECT_EQ(d("-2.675").toString(2), QStringLiteral("-2.68"));
    EXPECT_EQ(d("2.665").toString(2), QStringLiteral("2.67"));
    EXPECT_EQ(d("0.5").toString(0), QStringLiteral("1"));
    EXPECT_EQ(d("-0.5").toString(0), QStringLiteral("-1"));
    EXPECT_EQ(d("-0.004").toString(2), QStringLiteral("0.00"));
    EXPECT_EQ(d("1.4999999").toString(0), QStringLiteral("1"));
}

// Sums of many small amounts stay exact where binary floating point drifts.
TEST(DecimalTest, ArithmeticIsExact) {
    Decimal sum;
    for (int i = 0; i < 1000; ++i) sum += d("0.1");
    EXPECT_EQ(sum, Decimal(100));
    EXPECT_EQ((d("3.3333") * d("3")).toPlainString(), QStringLiteral("9.9999"));
    EXPECT_EQ((Decimal(10) / Decimal(3)).toString(2), QStringLiteral("3.33"));
    EXPECT_EQ((Decimal(2) / Decimal(3)).toString(13), QStringLiteral("0.6666666666667"));
    EXPECT_EQ((d("123456789012.3456") * d("98765.4321")).toString(4),
              QStringLiteral("12193263112482845.4185"));
    EXPECT_THROW((void)(Decimal(1) / Decimal()), std::domain_error);
}

TEST(DecimalTest, ParsesTextsOfUsersAndDatabases) {
    EXPECT_EQ(d("1,234.50"), d("1234.5"));
    EXPECT_EQ(d(" -7 "), Decimal(-7));
    EXPECT_EQ(d("1e3"), Decimal(1000));
    EXPECT_EQ(d(".25").toString(2), QStringLiteral("0.25"));
    EXPECT_FALSE(Decimal::parse(QStringLiteral("12a")).has_value());
    EXPECT_FALSE(Decimal::parse(QStringLiteral("")).has_value());
    EXPECT_FALSE(Decimal::parse(QStringLiteral("-")).has_value());
    EXPECT_EQ(Decimal::fromText(QStringLiteral("abc")), Decimal());
    // A double as SQLite returns a stored 12.35.
    EXPECT_EQ(Decimal::fromDouble(12.35), d("12.35"));
    EXPECT_EQ(Decimal::fromVariant(QVariant(0.1 + 0.2)), d("0.3"));
    EXPECT_EQ(Decimal::fromVariant(QVariant()), Decimal());
}

TEST(NumberFormatTest, PatternsOfTheGrids) {
    EXPECT_EQ(qc::formatNumber(d("1234.5"), QStringLiteral("###0.00")), QStringLiteral("1234.50"));
    EXPECT_EQ(qc::formatNumber(d("0.5"), QStringLiteral("###.00")), QStringLiteral(".50"));
    EXPECT_EQ(qc::formatNumber(d("0.125"), QStringLiteral("###0.00")), QStringLiteral("0.13"));
    EXPECT_EQ(qc::formatNumber(d("-1234567.891"), QStringLiteral("#,##0.00")),
              QStringLiteral("-1,234,567.89"));
    EXPECT_EQ(qc::formatNumber(d("7.6"), QStringLiteral("###0")), QStringLiteral("8"));
    EXPECT_EQ(qc::formatNumber(d("3.1"), QStringLiteral("###0.000000")), QStringLiteral("3.100000"));
    EXPECT_EQ(qc::decimalsPattern(3), QStringLiteral("###0.000"));
    EXPECT_EQ(qc::decimalsPattern(0), QStringLiteral("###0"));
    EXPECT_EQ(qc::StripThousandsSeparators(QStringLiteral("1,234,567.00")), QStringLiteral("1234567.00"));
    EXPECT_EQ(qc::sqlNumberText(d("2.005"), 2), QStringLiteral("2.01"));
}
