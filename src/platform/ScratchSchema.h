#pragma once

#include <QString>

namespace qc {

// A PostgreSQL schema of its own holding a scratch account (the test suites and
// the benchmarks): created empty on the server `adminConnection` names (a
// leftover of the same name dropped first); the returned connection string has
// it as its search path. The name must be lower-case letters, digits and '_'.
QString createScratchSchema(const QString& adminConnection, const QString& schema);
// Drops the schema with everything in it; throws DbError when the server refuses.
void dropScratchSchema(const QString& adminConnection, const QString& schema);

}  // namespace qc
