#pragma once

#include <QString>

namespace qc {

class Database;

// The slow-down after refused logins. Each attempt for an operator name, whether
// the account knows the name or not, is counted in the account database before
// the password is checked: the count holds across processes and machines, and
// attempts made at the same moment are each counted. A successful login clears
// it. After a few refusals in a row the name waits before its next attempt, longer
// after each, by the database's clock.
namespace LoginThrottle {

// The longest wait, in seconds.
constexpr int kMaxDelaySeconds = 15 * 60;
// The wait after `failures` refusals in a row: none after the first three, then
// 1 s, doubling up to kMaxDelaySeconds.
int delayAfter(int failures);

// Creates the table when an older account lacks it.
void ensureTable(Database& db);
// Counts an attempt for the name and returns 0, or, while the name has to wait,
// counts nothing and returns the seconds left.
qint64 beginAttempt(Database& db, const QString& userId);
// Seconds until the name may try again; 0 when at once.
qint64 secondsToWait(Database& db, const QString& userId);
// After a successful login the name starts again from no refusals.
void succeeded(Database& db, const QString& userId);
// The sentence a refusal adds while the name has to wait.
QString waitNote(qint64 seconds);

}  // namespace LoginThrottle

}  // namespace qc
