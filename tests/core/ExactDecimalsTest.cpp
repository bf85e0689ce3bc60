// Exact decimal sums, roundings, quotients and products in SQL: the same texts on
// SQLite (which stores binary floating point) and on PostgreSQL.

#include "platform/Database.h"
#include "platform/Decimal.h"
#include "platform/Dialect.h"
#include "support/TestDb.h"

using namespace Qt::StringLiterals;

namespace qc {
namespace {

class ExactDecimalsTest : public test::DbTest {
  protected:
    QString text(const QString& sql, const QVariantList& binds = {}) {
        const QVariant v = db().scalar(sql, binds);
        return v.isNull() ? u"NULL"_s : v.toString();
    }
    const Dialect& d() { return db().dialect(); }
};

// Catches: sums carrying binary residue (0.1 ten times, a cent a hundred thousand
// times, large amounts), half-way values rounded to even or towards zero, a
// negative result rounded to "-0.00", a division by zero failing the statement
// instead of giving NULL, and NULLs counted as zeros in a sum.
TEST_P(ExactDecimalsTest, SumsRoundingsQuotientsAndProductsAreExact) {
    db().exec(u"CREATE TABLE dec_t (g INTEGER, x NUMERIC(19,4))"_s);
    for (int i = 0; i < 10; ++i) db().exec(u"INSERT INTO dec_t (g, x) VALUES (1, ?)"_s, {u"0.1"_s});
    db().exec(
        u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
        "INSERT INTO dec_t (g, x) SELECT 2, 0.01 FROM n"_s);
    for (int i = 0; i < 7; ++i)
        db().exec(u"INSERT INTO dec_t (g, x) VALUES (3, ?)"_s, {u"123456789012.34"_s});
    db().exec(u"INSERT INTO dec_t (g, x) VALUES (3, NULL)"_s);
    db().exec(u"INSERT INTO dec_t (g, x) VALUES (4, NULL)"_s);
    // 1 + 0.005 in binary is 1.00499999999999989…: a binary sum rounds it down.
    db().exec(u"INSERT INTO dec_t (g, x) VALUES (5, ?), (5, ?)"_s, {u"1"_s, u"0.005"_s});

    const auto sumOf = [&](int g) {
        return text(u"SELECT %1 FROM dec_t WHERE g = ?"_s.arg(d().decimalText(d().exactSum(u"x"_s), 2)), {g});
    };
    EXPECT_EQ(sumOf(1), u"1.00"_s);
    EXPECT_EQ(sumOf(2), u"1000.00"_s);
    EXPECT_EQ(sumOf(3), u"864197523086.38"_s);
    EXPECT_EQ(sumOf(4), u"NULL"_s);
    EXPECT_EQ(sumOf(5), u"1.01"_s);
    // The exact sum itself compares as a number.
    EXPECT_EQ(
        Decimal::fromVariant(db().scalar(u"SELECT %1 FROM dec_t WHERE g = 1"_s.arg(d().exactSum(u"x"_s)))),
        Decimal(1));

    const auto rounded = [&](const QString& value, int places) {
        return text(u"SELECT %1"_s.arg(d().decimalText(d().typedNumeric(), places)), {value});
    };
    EXPECT_EQ(rounded(u"2.345"_s, 2), u"2.35"_s);
    EXPECT_EQ(rounded(u"-2.345"_s, 2), u"-2.35"_s);
    EXPECT_EQ(rounded(u"-0.001"_s, 2), u"0.00"_s);
    EXPECT_EQ(rounded(u"7"_s, 3), u"7.000"_s);
    EXPECT_EQ(rounded(u"0.5"_s, 0), u"1"_s);

    const auto quotient = [&](const QString& a, const QString& b, int places) {
        return text(u"SELECT %1"_s.arg(d().quotientText(d().typedNumeric(), d().typedNumeric(), places)),
                    {a, b});
    };
    EXPECT_EQ(quotient(u"1"_s, u"3"_s, 4), u"0.3333"_s);
    EXPECT_EQ(quotient(u"2"_s, u"3"_s, 2), u"0.67"_s);
    EXPECT_EQ(quotient(u"-1"_s, u"8"_s, 2), u"-0.13"_s);
    EXPECT_EQ(quotient(u"5"_s, u"0"_s, 2), u"NULL"_s);

    const auto product = [&](const QString& a, const QString& b, int places) {
        return text(u"SELECT %1"_s.arg(d().productText(d().typedNumeric(), d().typedNumeric(), places)),
                    {a, b});
    };
    EXPECT_EQ(product(u"1.005"_s, u"3"_s, 2), u"3.02"_s);
    EXPECT_EQ(product(u"0.1"_s, u"0.1"_s, 3), u"0.010"_s);
}

QC_DB_SUITE(ExactDecimalsTest);

}  // namespace
}  // namespace qc
