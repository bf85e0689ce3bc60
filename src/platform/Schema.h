#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace qc {

class Database;
class Decimal;
class Dialect;

enum class ColType { Identity, Text, SmallInt, Int, BigInt, Numeric, Float, Bit, Date };

struct ColumnDef {
    QString name;
    ColType type = ColType::Text;
    int length = 0;     // Text: characters (0 = unbounded)
    int precision = 0;  // Numeric
    int scale = 0;      // Numeric
    bool notNull = false;
    QString defaultValue;  // SQL literal, or empty
};

struct IndexDef {
    QString name;
    QStringList columns;
    bool unique = false;
    // The column only grows with the table's rows, which are never changed: on
    // PostgreSQL a block-range index, which costs next to nothing to keep up.
    bool growsWithTable = false;
};

struct TableDef {
    QString name;
    QList<ColumnDef> columns;
    QStringList primaryKey;  // empty: none, or the identity column
    QList<IndexDef> indexes;
    // PostgreSQL: the share of each page filled by inserts (0: the default). Tables
    // whose rows are rewritten in place keep room for the new row versions on the
    // same page, so the update leaves the indexes alone.
    int fillFactor = 0;

    [[nodiscard]] const ColumnDef* column(const QString& name) const;  // case-insensitive
};

// Builds a table from a compact column list: "name type[,name type...]" where type is
//   id        integer identity key        t<n>  text of n characters   t  unbounded text
//   i         integer       si smallint   bi    big integer            bit  0/1 small integer
//   f         double        d  date       money NUMERIC(19,4)          n<p>_<s> NUMERIC(p,s)
// A trailing '!' makes the column NOT NULL; "=literal" gives a default.
TableDef table(const QString& name, const QString& columns, const QStringList& primaryKey = {});

// The whole account database this system reads and writes: the account's own
// tables and the host's tables (users, rights, tasks, counters, settings).
const QList<TableDef>& accountSchema();
const TableDef* findTable(const QString& name);  // case-insensitive
// A work table named `name` with the given columns of the account table `source`,
// their types kept and nothing required of them (no NOT NULL, no defaults).
// DbError when the schema has no such table or column.
TableDef scratchTableOf(const QString& name, const QString& source, const QStringList& columns);

// CREATE TABLE and CREATE INDEX statements for one dialect.
QStringList createStatements(const TableDef& t, const Dialect& d);

// Creates every table and index that does not exist yet, and the guards that keep
// the audit trail append-only. Idempotent.
void createSchema(Database& db);

// The audit trail's tables: the events, and the rows bulk operations deleted.
QList<TableDef> auditTables();
// The table in which the audit trail keeps the rows a bulk operation deleted from
// `ledger` (IA_Subsidiary, IA_EnSubsidiary); empty for any other table.
QString keptRowsTable(const QString& ledger);

// The statements that make the audit trail's tables refuse UPDATE and DELETE (and,
// on PostgreSQL, TRUNCATE). Idempotent.
QStringList appendOnlyGuards(const Dialect& d);

// True when `column` is a column of `table` in the declared schema. Identifiers
// taken from data are checked against the database itself with Database::columnsOf.
bool schemaHasColumn(const QString& table, const QString& column);

// Whether a value fits a declared column: a number within its precision (after
// rounding to its scale), a text within its length. Both databases then refuse or
// accept the same values (SQLite itself would store any number and any text).
bool fitsColumn(const QString& table, const QString& column, const Decimal& value);
bool fitsColumn(const QString& table, const QString& column, const QString& text);

}  // namespace qc
