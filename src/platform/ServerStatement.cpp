// One statement on a PostgreSQL connection run through the client library
// directly, so that the thread waits for the server in small steps: between them
// the long work it belongs to paints its progress and may ask the server to
// cancel the statement.

#include "platform/ServerStatement.h"

#include "platform/UnitSteps.h"

#include <QDate>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlField>
#include <QSqlRecord>
#include <QSqlResult>
#include <QTime>

#include <libpq-fe.h>
#include <poll.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

namespace qc {

namespace {

// The server's type numbers of the values told apart below.
enum : Oid {
    kBool = 16,
    kBytea = 17,
    kInt8 = 20,
    kInt2 = 21,
    kInt4 = 23,
    kRegproc = 24,
    kOid = 26,
    kXid = 28,
    kCid = 29,
    kFloat4 = 700,
    kFloat8 = 701,
    kDate = 1082,
    kTime = 1083,
    kTimestamp = 1114,
    kTimestampTz = 1184,
    kTimeTz = 1266,
    kNumeric = 1700,
};

// How long one wait for the server lasts before the pulse is offered again.
constexpr int kWaitMs = 25;

PGconn* connectionOf(QSqlDatabase& db) {
    const QVariant h = db.driver()->handle();
    // The driver names the type by the structure behind the library's name.
    if (!h.isValid() ||
        (std::strcmp(h.typeName(), "pg_conn*") != 0 && std::strcmp(h.typeName(), "PGconn*") != 0))
        return nullptr;
    return *static_cast<PGconn* const*>(h.constData());
}

// The type a value of the server's type comes as.
QMetaType typeOf(Oid type) {
    switch (type) {
        case kBool:
            return QMetaType(QMetaType::Bool);
        case kInt8:
            return QMetaType(QMetaType::LongLong);
        case kInt2:
        case kInt4:
        case kOid:
        case kRegproc:
        case kXid:
        case kCid:
            return QMetaType(QMetaType::Int);
        case kNumeric:
        case kFloat4:
        case kFloat8:
            return QMetaType(QMetaType::Double);
        case kDate:
            return QMetaType(QMetaType::QDate);
        case kTime:
        case kTimeTz:
            return QMetaType(QMetaType::QTime);
        case kTimestamp:
        case kTimestampTz:
            return QMetaType(QMetaType::QDateTime);
        case kBytea:
            return QMetaType(QMetaType::QByteArray);
        default:
            return QMetaType(QMetaType::QString);
    }
}

QVariant valueOf(const PGresult* r, int row, int column) {
    const Oid type = PQftype(r, column);
    const QMetaType meta = typeOf(type);
    if (PQgetisnull(r, row, column)) return QVariant(meta, nullptr);
    const char* text = PQgetvalue(r, row, column);
    const QByteArray bytes = QByteArray::fromRawData(text, PQgetlength(r, row, column));
    switch (meta.id()) {
        case QMetaType::Bool:
            return QVariant(text[0] == 't');
        case QMetaType::LongLong:
            // As the driver gives them: a number without a sign as an unsigned one.
            if (text[0] == '-') return QVariant(bytes.toLongLong());
            return QVariant(bytes.toULongLong());
        case QMetaType::Int:
            return QVariant(bytes.toInt());
        case QMetaType::Double:
            // Exact numbers stay exact: the digits as the server wrote them.
            if (type == kNumeric) return QVariant(QString::fromLatin1(bytes));
            return QVariant(bytes.toDouble());
        case QMetaType::QDate:
            return QVariant(QDate::fromString(QString::fromLatin1(bytes), Qt::ISODate));
        case QMetaType::QTime:
            return QVariant(QTime::fromString(QString::fromLatin1(bytes), Qt::ISODate));
        case QMetaType::QDateTime: {
            QString s = QString::fromLatin1(bytes);
            const QStringView time = QStringView(s).mid(11);
            if (!time.contains(u'-') && !time.contains(u'+') && !time.endsWith(u'Z')) s += u'Z';
            return QVariant(QDateTime::fromString(s, Qt::ISODate));
        }
        case QMetaType::QByteArray: {
            size_t length = 0;
            unsigned char* raw = PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &length);
            QByteArray out(reinterpret_cast<const char*>(raw), static_cast<qsizetype>(length));
            PQfreemem(raw);
            return QVariant(out);
        }
        default:
            return QVariant(QString::fromUtf8(bytes));
    }
}

// The rows of one statement's result, read whole, as a query reads them.
class ServerResult final : public QSqlResult {
  public:
    ServerResult(const QSqlDriver* driver, PGresult* result) : QSqlResult(driver), m_result(result) {
        setForwardOnly(true);
        setSelect(PQresultStatus(result) == PGRES_TUPLES_OK);
        setActive(true);
    }
    ~ServerResult() override { PQclear(m_result); }
    ServerResult(const ServerResult&) = delete;
    ServerResult& operator=(const ServerResult&) = delete;

  protected:
    QVariant data(int column) override {
        if (!validAt(column)) return {};
        return valueOf(m_result, at(), column);
    }
    bool isNull(int column) override { return !validAt(column) || PQgetisnull(m_result, at(), column); }
    bool reset(const QString& /*query*/) override { return false; }
    bool fetch(int row) override {
        if (row < 0 || row >= PQntuples(m_result)) return false;
        setAt(row);
        return true;
    }
    bool fetchFirst() override { return fetch(0); }
    bool fetchLast() override { return fetch(PQntuples(m_result) - 1); }
    int size() override { return isSelect() ? PQntuples(m_result) : -1; }
    // A query's rows are counted by reading them, as the driver counts them.
    int numRowsAffected() override { return isSelect() ? 0 : QByteArray(PQcmdTuples(m_result)).toInt(); }
    [[nodiscard]] QSqlRecord record() const override {
        QSqlRecord out;
        for (int i = 0; i < PQnfields(m_result); ++i) {
            QSqlField f(QString::fromUtf8(PQfname(m_result, i)), typeOf(PQftype(m_result, i)));
            out.append(f);
        }
        return out;
    }

  private:
    [[nodiscard]] bool validAt(int column) const {
        return at() >= 0 && at() < PQntuples(m_result) && column >= 0 && column < PQnfields(m_result);
    }
    PGresult* m_result;
};

// A statement's values as the server takes them, held while it is sent. The
// driver prepares a statement before it binds values, so the server gives each
// value the type of its place in the statement, never one of its own; so here:
// every value goes as text of no stated type.
struct BoundValues {
    std::vector<QByteArray> texts;
    std::vector<const char*> values;
    std::vector<int> lengths;

    explicit BoundValues(const QVariantList& binds) {
        const auto n = static_cast<std::size_t>(binds.size());
        texts.resize(n);
        values.resize(n);
        lengths.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            const bool null = !serverTextOf(binds[static_cast<qsizetype>(i)], texts[i]);
            values[i] = null ? nullptr : texts[i].constData();
            lengths[i] = static_cast<int>(texts[i].size());
        }
    }
};

// The statement with its question marks numbered as the server numbers values
// ($1, $2, …); a mark inside a quoted text or name is left as it is.
QByteArray numberedMarks(const QString& sql) {
    QString out;
    out.reserve(sql.size() + 16);
    QChar closing;
    int count = 0;
    for (const QChar c : sql) {
        if (!closing.isNull()) {
            if (c == closing) closing = QChar();
            out += c;
        } else if (c == u'?') {
            out += u'$' + QString::number(++count);
        } else {
            if (c == u'\'' || c == u'"') closing = c;
            out += c;
        }
    }
    return out.toUtf8();
}

QSqlError errorOf(PGconn* connection, const PGresult* result, const QString& what) {
    QString text = QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(connection));
    const QString code =
        result ? QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE)) : QString();
    if (!code.isEmpty()) text += QStringLiteral("(%1)").arg(code);
    const auto type =
        PQstatus(connection) == CONNECTION_BAD ? QSqlError::ConnectionError : QSqlError::StatementError;
    return {QStringLiteral("QPSQL: ") + what, text.trimmed(), type, code};
}

// Asks the server to cancel what the connection runs now.
void askToCancel(PGconn* connection) {
    PGcancel* cancel = PQgetCancel(connection);
    if (!cancel) return;
    std::array<char, 256> why{};
    PQcancel(cancel, why.data(), static_cast<int>(why.size()));
    PQfreeCancel(cancel);
}

}  // namespace

// The value's text; false for a null. As the driver binds them, a null
// text or byte string and an invalid date or moment are nulls too.
bool serverTextOf(const QVariant& v, QByteArray& out) {
    if (v.isNull()) return false;
    switch (v.typeId()) {
        case QMetaType::QString: {
            const auto* text = static_cast<const QString*>(v.constData());
            out = text->toUtf8();
            return !text->isNull();
        }
        case QMetaType::Bool:
            out = v.toBool() ? "true" : "false";
            return true;
        case QMetaType::QDate:
            out = v.toDate().toString(Qt::ISODate).toLatin1();
            return v.toDate().isValid();
        case QMetaType::QDateTime: {
            const QDateTime t = v.toDateTime();
            out = t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODateWithMs).toLatin1();
            return t.isValid();
        }
        case QMetaType::QByteArray:
            out = "\\x" + v.toByteArray().toHex();
            return !static_cast<const QByteArray*>(v.constData())->isNull();
        default:
            out = v.toString().toUtf8();
            return true;
    }
}

QString serverArray(const QVariantList& values) {
    QString out = QStringLiteral("{");
    QByteArray text;
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0) out += u',';
        if (!serverTextOf(values.at(i), text)) {
            out += QStringLiteral("NULL");
            continue;
        }
        QString element = QString::fromUtf8(text);
        element.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
        out += u'"' + element + u'"';
    }
    return out + u'}';
}

QString unnestedRows(const QStringList& arrayTypes) {
    QStringList arrays;
    for (const QString& type : arrayTypes) arrays << QStringLiteral("CAST(? AS %1)").arg(type);
    return QStringLiteral("SELECT * FROM unnest(%1)").arg(arrays.join(QStringLiteral(", ")));
}

ServerOutcome runOnServer(QSqlDatabase& db, const QString& sql, const QVariantList& binds) {
    ServerOutcome out;
    PGconn* connection = connectionOf(db);
    if (!connection) {
        out.error = QSqlError(QStringLiteral("QPSQL: no connection"), {}, QSqlError::ConnectionError);
        return out;
    }
    // What an earlier query left unread is dropped, as the driver drops it
    // before its next statement.
    while (PGresult* left = PQgetResult(connection)) PQclear(left);

    int sent = 0;
    if (binds.isEmpty()) {
        sent = PQsendQuery(connection, sql.toUtf8().constData());
    } else {
        const BoundValues values(binds);
        sent = PQsendQueryParams(connection, numberedMarks(sql).constData(), static_cast<int>(binds.size()),
                                 nullptr, values.values.data(), values.lengths.data(), nullptr, 0);
    }
    if (!sent) {
        out.error = errorOf(connection, nullptr, QStringLiteral("Unable to send query"));
        return out;
    }

    // Every result is read; the statement's own is the first, unless a later
    // one says it failed.
    PGresult* kept = nullptr;
    const int socket = PQsocket(connection);
    for (;;) {
        while (PQisBusy(connection)) {
            pollfd wait{socket, POLLIN, 0};
            if (::poll(&wait, 1, kWaitMs) < 0 && errno != EINTR) break;
            if (!PQconsumeInput(connection)) break;
            if (!out.stopAsked && pulseRunningStatement()) {
                out.stopAsked = true;
                askToCancel(connection);
            }
        }
        PGresult* r = PQgetResult(connection);
        if (!r) break;
        const ExecStatusType status = PQresultStatus(r);
        const bool failed = status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK;
        if (!kept || (failed && !out.failed())) {
            if (kept) PQclear(kept);
            kept = r;
            if (failed) out.error = errorOf(connection, r, QStringLiteral("Unable to create query"));
        } else {
            PQclear(r);
        }
        if (PQstatus(connection) == CONNECTION_BAD) break;
    }
    if (!kept) {
        if (!out.failed()) out.error = errorOf(connection, nullptr, QStringLiteral("Unable to get result"));
        return out;
    }
    if (out.failed()) {
        PQclear(kept);
        return out;
    }
    out.query.emplace(new ServerResult(db.driver(), kept));
    return out;
}

}  // namespace qc
