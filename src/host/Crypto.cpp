#include "host/Crypto.h"

#include <sodium.h>

#include <QByteArray>

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
}  // namespace

QString hashPassword(const QString& password) {
    ensureInitialised();
    const QByteArray pw = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    const unsigned long long ops =
        fastHash() ? crypto_pwhash_OPSLIMIT_MIN : crypto_pwhash_OPSLIMIT_INTERACTIVE;
    const size_t mem = fastHash() ? crypto_pwhash_MEMLIMIT_MIN : crypto_pwhash_MEMLIMIT_INTERACTIVE;
    if (crypto_pwhash_str(out, pw.constData(), static_cast<unsigned long long>(pw.size()), ops, mem) != 0)
        throw std::runtime_error("out of memory while hashing a password");
    return QString::fromLatin1(out);
}

bool verifyPassword(const QString& storedHash, const QString& password) {
    ensureInitialised();
    const QByteArray hash = storedHash.toLatin1();
    if (hash.isEmpty() || hash.size() >= crypto_pwhash_STRBYTES) return false;
    const QByteArray pw = password.toUtf8();
    return crypto_pwhash_str_verify(hash.constData(), pw.constData(),
                                    static_cast<unsigned long long>(pw.size())) == 0;
}

void verifyDummy(const QString& password) {
    static const QString dummy = hashPassword(randomHex(16));
    (void)verifyPassword(dummy, password);
}

QString randomHex(int bytes) {
    ensureInitialised();
    QByteArray buf(bytes, '\0');
    randombytes_buf(buf.data(), static_cast<size_t>(buf.size()));
    return QString::fromLatin1(buf.toHex());
}

}  // namespace qc::crypto
