#include "platform/SqliteDecimals.h"

#include "platform/Database.h"
#include "platform/Decimal.h"
#include "platform/SqliteConnection.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

#include <cstring>
#include <optional>
#include <stdexcept>
#include <type_traits>

namespace qc {

namespace {

// A value of the statement as a decimal; nothing for NULL. Throws for a text that
// is no number.
std::optional<Decimal> decimalOf(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_NULL:
            return std::nullopt;
        case SQLITE_INTEGER:
            return Decimal(static_cast<long long>(sqlite3_value_int64(v)));
        case SQLITE_FLOAT:
            return Decimal::fromDouble(sqlite3_value_double(v));
        default: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
            const QString s = QString::fromUtf8(text, sqlite3_value_bytes(v));
            if (s.trimmed().isEmpty()) return std::nullopt;
            if (std::optional<Decimal> d = Decimal::parse(s)) return d;
            throw std::invalid_argument("not a number: " + s.left(40).toStdString());
        }
    }
}

int placesOf(sqlite3_value* v) {
    const int p = sqlite3_value_int(v);
    if (p < 0 || p > Decimal::kScale) throw std::invalid_argument("decimal places out of range");
    return p;
}

void resultText(sqlite3_context* c, const QString& s) {
    const QByteArray b = s.toUtf8();
    sqlite3_result_text(c, b.constData(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
}

// Runs `body`; an exception becomes the statement's error.
template <typename F>
void guarded(sqlite3_context* c, F&& body) {
    try {
        body();
    } catch (const std::exception& e) {
        sqlite3_result_error(c, e.what(), -1);
    }
}

// The running sum, kept in SQLite's aggregate memory (which is aligned for 8
// bytes only, less than the decimal's 128-bit units): the decimal is copied in
// and out byte by byte.
struct SumState {
    unsigned char sum[sizeof(Decimal)];
    bool any;
    bool failed;
};
static_assert(std::is_trivially_copyable_v<Decimal>);

Decimal sumOf(const SumState& s) {
    Decimal d;
    std::memcpy(&d, s.sum, sizeof d);
    return d;
}

void sumStep(sqlite3_context* c, int /*argc*/, sqlite3_value** argv) {
    // SQLite zeroes the memory on first use: no value yet, and a zero sum.
    auto* s = static_cast<SumState*>(sqlite3_aggregate_context(c, sizeof(SumState)));
    if (!s || s->failed) return;
    try {
        if (const std::optional<Decimal> d = decimalOf(argv[0])) {
            const Decimal sum = (s->any ? sumOf(*s) : Decimal()) + *d;
            std::memcpy(s->sum, &sum, sizeof sum);
            s->any = true;
        }
    } catch (const std::exception&) {
        s->failed = true;
    }
}

void sumFinal(sqlite3_context* c) {
    const auto* s = static_cast<const SumState*>(sqlite3_aggregate_context(c, 0));
    if (s && s->failed) {
        sqlite3_result_error(c, "dec_sum: a value is no number", -1);
    } else if (!s || !s->any) {
        sqlite3_result_null(c);
    } else {
        resultText(c, sumOf(*s).toPlainString());
    }
}

void roundFn(sqlite3_context* c, int /*argc*/, sqlite3_value** argv) {
    guarded(c, [&] {
        const std::optional<Decimal> x = decimalOf(argv[0]);
        if (!x) {
            sqlite3_result_null(c);
            return;
        }
        resultText(c, x->toString(placesOf(argv[1])));
    });
}

void divFn(sqlite3_context* c, int /*argc*/, sqlite3_value** argv) {
    guarded(c, [&] {
        const std::optional<Decimal> a = decimalOf(argv[0]);
        const std::optional<Decimal> b = decimalOf(argv[1]);
        if (!a || !b || b->isZero()) {
            sqlite3_result_null(c);
            return;
        }
        resultText(c, (*a / *b).toString(placesOf(argv[2])));
    });
}

void mulFn(sqlite3_context* c, int /*argc*/, sqlite3_value** argv) {
    guarded(c, [&] {
        const std::optional<Decimal> a = decimalOf(argv[0]);
        const std::optional<Decimal> b = decimalOf(argv[1]);
        if (!a || !b) {
            sqlite3_result_null(c);
            return;
        }
        resultText(c, (*a * *b).toString(placesOf(argv[2])));
    });
}

}  // namespace

void registerExactDecimals(QSqlDatabase& db) {
    sqlite3* handle = sqliteHandle(db);
    if (!handle) return;
    constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    int rc = sqlite3_create_function_v2(handle, "dec_sum", 1, kFlags, nullptr, nullptr, sumStep, sumFinal,
                                        nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(handle, "dec_round", 2, kFlags, nullptr, roundFn, nullptr, nullptr,
                                        nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(handle, "dec_div", 3, kFlags, nullptr, divFn, nullptr, nullptr,
                                        nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(handle, "dec_mul", 3, kFlags, nullptr, mulFn, nullptr, nullptr,
                                        nullptr);
    if (rc != SQLITE_OK)
        throw DbError(QStringLiteral("无法在 SQLite 连接上注册十进制函数：%1")
                          .arg(QString::fromUtf8(sqlite3_errstr(rc))));
}

}  // namespace qc
