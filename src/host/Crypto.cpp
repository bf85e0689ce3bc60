#include "host/Crypto.h"

#include <sodium.h>

#include <QByteArray>

#include <atomic>
#include <mutex>
#include <stdexcept>

namespace qc::crypto {

void ensureInitialised() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (sodium_init() < 0) throw std::runtime_error("libsodium could not be initialised");
    });
}

namespace {
bool fastHash() {
    return !qEnvironmentVariableIsEmpty("QC_FAST_HASH");
}

std::atomic<qint64> g_hashes{0};
std::atomic<qint64> g_verifications{0};
}  // namespace

QString hashPassword(const QString& password) {
    ensureInitialised();
    const QByteArray pw = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    const unsigned long long ops =
        fastHash() ? crypto_pwhash_OPSLIMIT_MIN : crypto_pwhash_OPSLIMIT_INTERACTIVE;
    const size_t mem = fastHash() ? crypto_pwhash_MEMLIMIT_MIN : crypto_pwhash_MEMLIMIT_INTERACTIVE;
    ++g_hashes;
    if (crypto_pwhash_str(out, pw.constData(), static_cast<unsigned long long>(pw.size()), ops, mem) != 0)
        throw std::runtime_error("out of memory while hashing a password");
    return QString::fromLatin1(out);
}

bool verifyPassword(const QString& storedHash, const QString& password) {
    ensureInitialised();
    ++g_verifications;
    const QByteArray hash = storedHash.toLatin1();
    if (hash.isEmpty() || hash.size() >= crypto_pwhash_STRBYTES) return false;
    const QByteArray pw = password.toUtf8();
    return crypto_pwhash_str_verify(hash.constData(), pw.constData(),
                                    static_cast<unsigned long long>(pw.size())) == 0;
}

QString standInHash() {
    // Made once from a random password that was thrown away, with the interactive
    // and with the minimum limits of hashPassword.
    static const QString interactive = QStringLiteral(
        "$argon2id$v=19$m=65536,t=2,p=1$1jOvrkMKn0owsnmWWBobkg$VLkBZD8zZzGetxgxrgdl40NMsvaMKjPxK+nMM57TG4A");
    static const QString minimum = QStringLiteral(
        "$argon2id$v=19$m=8,t=1,p=1$70T5tGJmpjfKLunwTdymWA$tGEFc4TmWIv8hPhjiBmmV24O+Pjyp46pQkGpU3EEC9Y");
    return fastHash() ? minimum : interactive;
}

void verifyStandIn(const QString& password) {
    (void)verifyPassword(standInHash(), password);
}

WorkCount workCount() {
    return {g_hashes.load(), g_verifications.load()};
}

QString randomHex(int bytes) {
    ensureInitialised();
    QByteArray buf(bytes, '\0');
    randombytes_buf(buf.data(), static_cast<size_t>(buf.size()));
    return QString::fromLatin1(buf.toHex());
}

}  // namespace qc::crypto
