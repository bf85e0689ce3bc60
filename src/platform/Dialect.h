#pragma once

#include <QString>
#include <QStringList>

namespace qc {

enum class DbKind;

// What differs between SQLite and PostgreSQL in the statements this system writes.
class Dialect {
  public:
    explicit Dialect(DbKind kind) : m_kind(kind) {}
    [[nodiscard]] DbKind kind() const { return m_kind; }
    [[nodiscard]] bool isSqlite() const;

    // Column type texts for the declared column kinds.
    [[nodiscard]] QString identityColumn() const;  // integer key filled by the database
    [[nodiscard]] QString textType(int length) const;
    [[nodiscard]] QString numericType(int precision, int scale) const;
    [[nodiscard]] QString floatType() const;
    [[nodiscard]] QString dateType() const;
    [[nodiscard]] QString bigintType() const;

    // CREATE TABLE name AS select (both accept the same text; kept for clarity).
    [[nodiscard]] QString createTableAs(const QString& table, const QString& select) const;
    // DROP TABLE IF EXISTS name.
    [[nodiscard]] QString dropTableIfExists(const QString& table) const;
    // LEFT(text, n) of the old database.
    [[nodiscard]] QString left(const QString& expr, const QString& n) const;
    // String concatenation of two expressions.
    [[nodiscard]] QString concat(const QString& a, const QString& b) const;
    // a × b and a ÷ b (NULL when b is 0) rounded half away from zero: exact on
    // PostgreSQL; on SQLite, whose round() works from the shortest decimal text
    // of its binary result, the same for values of 15 significant digits.
    [[nodiscard]] QString mulRound(const QString& a, const QString& b, int places) const;
    [[nodiscard]] QString divRound(const QString& a, const QString& b, int places) const;
    // The last n characters of a text.
    [[nodiscard]] QString right(const QString& expr, int n) const;
    // A computed decimal rounded to the scale of the column it goes into where the
    // database computes in binary floating point (SQLite), as it stands where it
    // computes exactly (PostgreSQL).
    [[nodiscard]] QString roundWhereInexact(const QString& expr, int places) const;
    // SUM(expr) to the same end; a group of one row is taken as it stands, since
    // only adding binary values can leave digits to round away, and SQLite's
    // rounding is costly over a hundred thousand groups.
    [[nodiscard]] QString sumWhereInexact(const QString& expr, int places) const;
    // Exact decimal arithmetic, whatever the database computes in: the exact sum of
    // a column (numbers or decimal texts), and a value, a quotient (NULL when the
    // divisor is 0) or a product rounded half away from zero to `places` and given
    // as text with exactly that many decimals ("1234.50", "0.00"). The texts are
    // the same on SQLite (SqliteDecimals) and PostgreSQL (NUMERIC).
    [[nodiscard]] QString exactSum(const QString& expr) const;
    [[nodiscard]] QString decimalText(const QString& expr, int places) const;
    [[nodiscard]] QString quotientText(const QString& a, const QString& b, int places) const;
    [[nodiscard]] QString productText(const QString& a, const QString& b, int places) const;
    // What follows CREATE TABLE's column list to leave room in each page for
    // in-place updates ("" where the database has no such setting).
    [[nodiscard]] QString fillFactorClause(int percent) const;
    // A statement that makes the calling transaction the only holder of `key`
    // until it ends, within the current schema; "" where the transactions that
    // write are exclusive already (SQLite's begin IMMEDIATE). One bound value: the key.
    [[nodiscard]] QString transactionLock() const;
    // a = b where two NULLs count as equal.
    [[nodiscard]] QString nullSafeEquals(const QString& a, const QString& b) const;
    // The database clock as whole seconds since 1970.
    [[nodiscard]] QString nowEpoch() const;
    // The database clock as local time text "yyyy-MM-dd hh:mm:ss.zzz" (sorts as time).
    [[nodiscard]] QString nowText() const;
    // A row's columns as JSON object text, keys the column names as given, values
    // as the database writes them as text (exact numbers), nulls left out. The names must be columns of the
    // table the statement reads.
    [[nodiscard]] QString rowJson(const QStringList& columns) const;
    // A bound value used where the database must know its type (PostgreSQL infers
    // none for "? IS NULL" or a bare select-list item).
    [[nodiscard]] QString typedText() const;  // ? as text
    // " ESCAPE '\\'": after a LIKE whose pattern comes from containsPattern().
    [[nodiscard]] static QString likeEscape();
    [[nodiscard]] QString typedNumeric() const;  // ? as numeric
    [[nodiscard]] QString typedInt() const;      // ? as integer
    // A column kept from the choice of an index: a condition that holds for most
    // rows reads the table in order instead of row by row through an index.
    [[nodiscard]] QString unindexed(const QString& column) const;
    [[nodiscard]] QString typedDate() const;  // ? as date
    // True where at least one of the expressions is not NULL (at least one).
    [[nodiscard]] QString anyNotNull(const QStringList& exprs) const;

  private:
    DbKind m_kind;
};

}  // namespace qc
