#pragma once

class QSqlDatabase;

namespace qc {

// SQLite keeps NUMERIC values as binary floating point and sums them so. These
// functions, registered on every SQLite connection, compute with exact decimals
// instead (a stored binary value is taken as its 15-significant-digit text, as
// Decimal::fromDouble does) and give their result as decimal text:
//   dec_sum(x)            the exact sum of the non-null values (NULL when none)
//   dec_round(x, p)       x rounded half away from zero to p places ("1234.50")
//   dec_div(a, b, p)      a / b rounded to p places; NULL when b is 0 or NULL
//   dec_mul(a, b, p)      a × b rounded to p places
// A text that is no number is an error of the statement. Dialect hands these
// out by role (exactSum, decimalText, quotientText, productText) with the
// PostgreSQL equivalents, so that both databases give the same texts.
void registerExactDecimals(QSqlDatabase& db);

}  // namespace qc
