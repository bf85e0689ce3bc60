#pragma once

#include <QString>

namespace qc::crypto {

// libsodium is initialised once per process, on first use.
void ensureInitialised();

// A password hash in libsodium's text form (algorithm, limits and salt included).
// The limits are the interactive ones, or the minimum ones when the environment
// variable QC_FAST_HASH is set (test runs hash many passwords).
QString hashPassword(const QString& password);
// True when the password matches the stored hash; false for a malformed hash.
bool verifyPassword(const QString& storedHash, const QString& password);
// A fixed hash, with the limits hashPassword uses now, of a password nobody kept.
QString standInHash();
// Verifies against standInHash(): an unknown operator costs exactly what a wrong
// password costs, and nothing more the first time.
void verifyStandIn(const QString& password);

// How many hashes and verifications this process has run, so that a test can
// show that two paths do the same work without timing them.
struct WorkCount {
    qint64 hashes = 0;
    qint64 verifications = 0;
};
WorkCount workCount();

// Lower-case hex of `bytes` random bytes.
QString randomHex(int bytes);

}  // namespace qc::crypto
