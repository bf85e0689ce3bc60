#include "platform/SqliteConnection.h"

#include "platform/UnitSteps.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlResult>
#include <QTime>
#include <QVariant>

#include <sqlite3.h>

#include <cstring>

namespace qc {

namespace {
// How many steps of a statement's program run between two looks at the clock:
// some tens of microseconds, so that a look costs nothing measurable.
constexpr int kStepsBetweenLooks = 10000;

int onProgress(void* /*unused*/) {
    return pulseRunningStatement() ? 1 : 0;
}

// A statement that gave no rows: what QSqlQuery tells of it is the rows it changed.
class WriteResult final : public QSqlResult {
  public:
    WriteResult(const QSqlDriver* driver, int affected) : QSqlResult(driver), m_affected(affected) {
        setForwardOnly(true);
        setSelect(false);
        setActive(true);
    }

  protected:
    QVariant data(int /*column*/) override { return {}; }
    bool isNull(int /*column*/) override { return true; }
    bool reset(const QString& /*query*/) override { return false; }
    bool fetch(int /*row*/) override { return false; }
    bool fetchFirst() override { return false; }
    bool fetchLast() override { return false; }
    int size() override { return -1; }
    int numRowsAffected() override { return m_affected; }

  private:
    int m_affected;
};

// Whether the driver binds the value as NULL: a null variant, or a null text,
// byte string, date or time inside one.
bool boundAsNull(const QVariant& v) {
    if (v.isNull()) return true;
    switch (v.typeId()) {
        case QMetaType::QString:
            return static_cast<const QString*>(v.constData())->isNull();
        case QMetaType::QByteArray:
            return static_cast<const QByteArray*>(v.constData())->isNull();
        case QMetaType::QDateTime:
            return !static_cast<const QDateTime*>(v.constData())->isValid();
        case QMetaType::QDate:
            return !static_cast<const QDate*>(v.constData())->isValid();
        case QMetaType::QTime:
            return !static_cast<const QTime*>(v.constData())->isValid();
        default:
            return false;
    }
}

int bindText(sqlite3_stmt* statement, int place, const QString& text) {
    return sqlite3_bind_text16(statement, place, text.utf16(), int(text.size() * sizeof(char16_t)),
                               SQLITE_TRANSIENT);
}

int bindValue(sqlite3_stmt* statement, int place, const QVariant& v) {
    if (boundAsNull(v)) return sqlite3_bind_null(statement, place);
    switch (v.typeId()) {
        case QMetaType::QByteArray: {
            const auto* bytes = static_cast<const QByteArray*>(v.constData());
            return sqlite3_bind_blob(statement, place, bytes->constData(), int(bytes->size()),
                                     SQLITE_TRANSIENT);
        }
        case QMetaType::Int:
        case QMetaType::Bool:
            return sqlite3_bind_int(statement, place, v.toInt());
        case QMetaType::Double:
            return sqlite3_bind_double(statement, place, v.toDouble());
        case QMetaType::UInt:
        case QMetaType::LongLong:
            return sqlite3_bind_int64(statement, place, v.toLongLong());
        case QMetaType::QDateTime:
            return bindText(statement, place, v.toDateTime().toString(Qt::ISODateWithMs));
        case QMetaType::QTime:
            return bindText(statement, place, v.toTime().toString(QStringLiteral("hh:mm:ss.zzz")));
        case QMetaType::QString:
            return bindText(statement, place, *static_cast<const QString*>(v.constData()));
        default:
            return bindText(statement, place, v.toString());
    }
}

QSqlError errorOf(sqlite3* handle, const char* what, QSqlError::ErrorType type, int code) {
    return {QCoreApplication::translate("QSQLiteResult", what),
            QString::fromUtf16(static_cast<const char16_t*>(sqlite3_errmsg16(handle))), type,
            QString::number(code)};
}
}  // namespace

sqlite3* sqliteHandle(QSqlDatabase& db) {
    const QVariant h = db.driver()->handle();
    if (!h.isValid() || std::strcmp(h.typeName(), "sqlite3*") != 0) return nullptr;
    return *static_cast<sqlite3* const*>(h.constData());
}

void watchRunningStatements(QSqlDatabase& db) {
    if (sqlite3* handle = sqliteHandle(db))
        sqlite3_progress_handler(handle, kStepsBetweenLooks, onProgress, nullptr);
}

QSqlQuery runSqliteWrite(QSqlDatabase& db, const QString& sql, const QVariantList& binds, QSqlError& error) {
    sqlite3* handle = sqliteHandle(db);
    if (!handle) {
        error = QSqlError(QStringLiteral("not an SQLite connection"), {}, QSqlError::ConnectionError);
        return QSqlQuery(db);
    }
    sqlite3_stmt* statement = nullptr;
    int rc =
        sqlite3_prepare16_v2(handle, sql.utf16(), int(sql.size() * sizeof(char16_t)), &statement, nullptr);
    if (rc != SQLITE_OK) {
        error = errorOf(handle, "Unable to execute statement", QSqlError::StatementError, rc);
        sqlite3_finalize(statement);
        return QSqlQuery(db);
    }
    if (sqlite3_bind_parameter_count(statement) != binds.size()) {
        sqlite3_finalize(statement);
        error = QSqlError(QStringLiteral("Parameter count mismatch"), {}, QSqlError::StatementError);
        return QSqlQuery(db);
    }
    for (int i = 0; i < binds.size(); ++i) {
        rc = bindValue(statement, i + 1, binds.at(i));
        if (rc != SQLITE_OK) {
            error = errorOf(handle, "Unable to bind parameters", QSqlError::StatementError, rc);
            sqlite3_finalize(statement);
            return QSqlQuery(db);
        }
    }
    do rc = sqlite3_step(statement);
    while (rc == SQLITE_ROW);
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE) {
        error = errorOf(handle, "Unable to fetch row", QSqlError::ConnectionError, rc);
        return QSqlQuery(db);
    }
    error = QSqlError();
    return QSqlQuery(new WriteResult(db.driver(), sqlite3_changes(handle)));
}

}  // namespace qc
