#pragma once

class QSqlDatabase;
struct sqlite3;

namespace qc {

// The SQLite handle under an open connection; null for another driver.
sqlite3* sqliteHandle(QSqlDatabase& db);

// Lets the statements of an SQLite connection be watched while they run: every
// few thousand steps of its program a statement asks pulseRunningStatement()
// whether a pulse is due and whether to stop (it then fails with SQLite's
// "interrupted", which the connection reports as Cancelled).
void watchRunningStatements(QSqlDatabase& db);

}  // namespace qc
