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
// Spends about the time of one verification without any stored hash, so that an
// unknown operator takes as long to refuse as a wrong password.
void verifyDummy(const QString& password);

// Lower-case hex of `bytes` random bytes.
QString randomHex(int bytes);

}  // namespace qc::crypto
