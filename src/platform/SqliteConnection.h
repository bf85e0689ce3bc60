#pragma once

#include <QSqlQuery>
#include <QString>
#include <QVariantList>

class QSqlDatabase;
class QSqlError;
struct sqlite3;

namespace qc {

// The SQLite handle under an open connection; null for another driver.
sqlite3* sqliteHandle(QSqlDatabase& db);

// Lets the statements of an SQLite connection be watched while they run: every
// few thousand steps of its program a statement asks pulseRunningStatement()
// whether a pulse is due and whether to stop (it then fails with SQLite's
// "interrupted", which the connection reports as Cancelled).
void watchRunningStatements(QSqlDatabase& db);

// Runs a statement that gives no rows (a write) with its values on an SQLite
// connection through the library itself, each value bound once by its position:
// the driver looks each value's place up among all the statement's, a cost that
// grows with the square of their number. The values are bound as the driver
// binds them (nulls as NULL, texts, integers and floating-point numbers as
// such, a byte string as a blob, anything else as its text), and the query
// given back tells the rows changed. On failure `error` is set as the driver
// would set it and the query is inactive.
QSqlQuery runSqliteWrite(QSqlDatabase& db, const QString& sql, const QVariantList& binds, QSqlError& error);

}  // namespace qc
