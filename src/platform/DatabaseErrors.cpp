// How a failed statement is told: the cause each driver's code stands for, and
// the message that names it.

#include "platform/Database.h"

#include "platform/UnitSteps.h"

#include <QSqlError>

namespace qc {

namespace {
// The drivers' codes for the causes DbError names: SQLite's primary result codes
// (the low byte of an extended one) and PostgreSQL's SQLSTATE of a write in a
// read-only transaction (a read-only server or standby).
constexpr int kSqliteReadOnly = 8;
constexpr int kSqliteNotADatabase = 26;
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteFull = 13;
constexpr int kSqliteInterrupted = 9;  // stopped while it ran (the user cancelled the work)
const QLatin1StringView kPostgresReadOnly("25006");
const QLatin1StringView kPostgresOutOfRange("22003");

// PostgreSQL's classes and codes of the other causes: lock not available,
// deadlock and serialization (busy), insufficient resources (full), the
// connection broken or the server shutting down (lost).
DbError::Kind postgresKind(const QString& state) {
    if (state == kPostgresReadOnly) return DbError::Kind::ReadOnly;
    if (state == kPostgresOutOfRange) return DbError::Kind::OutOfRange;
    if (state == u"55P03" || state == u"40P01" || state == u"40001") return DbError::Kind::Busy;
    if (state.startsWith(u"53")) return DbError::Kind::Full;
    if (state.startsWith(u"08") || state.startsWith(u"57P")) return DbError::Kind::Lost;
    return DbError::Kind::Failed;
}

DbError::Kind sqliteKind(int primary) {
    switch (primary) {
        case kSqliteReadOnly:
            return DbError::Kind::ReadOnly;
        case kSqliteNotADatabase:
            return DbError::Kind::NotAnAccount;
        case kSqliteBusy:
        case kSqliteLocked:
            return DbError::Kind::Busy;
        case kSqliteFull:
            return DbError::Kind::Full;
        case kSqliteInterrupted:
            return DbError::Kind::Cancelled;
        default:
            return DbError::Kind::Failed;
    }
}
}  // namespace

DbError::DbError(const QString& message, QString statement, Kind kind)
    : std::runtime_error(message.toStdString()),
      m_message(message),
      m_statement(std::move(statement)),
      m_kind(kind) {}

QString Database::describe(const QSqlError& e) {
    QString t = e.databaseText();
    if (t.isEmpty()) t = e.text();
    if (!e.driverText().isEmpty() && !t.contains(e.driverText()))
        t += QStringLiteral(" (") + e.driverText() + u')';
    return t.trimmed();
}

DbError Database::notAnAccount(const QString& statement) const {
    return DbError(QStringLiteral("不是存货核算账套：%1").arg(m_info.display()), statement,
                   DbError::Kind::NotAnAccount);
}

DbError Database::stopped(const QString& statement) {
    return DbError(cancelledMessage(stepOperation(lastAnnouncedStep())), statement, DbError::Kind::Cancelled);
}

DbError Database::failure(const QSqlError& error, const QString& statement) const {
    const QString code = error.nativeErrorCode();
    DbError::Kind kind = m_info.kind == DbKind::Sqlite ? sqliteKind(code.toInt() & 0xff) : postgresKind(code);
    // A connection the server dropped gives the driver's text and no code.
    if (m_info.kind != DbKind::Sqlite && kind == DbError::Kind::Failed &&
        error.type() == QSqlError::ConnectionError)
        kind = DbError::Kind::Lost;
    if (m_info.kind != DbKind::Sqlite && kind == DbError::Kind::Failed && !m_db.isOpen())
        kind = DbError::Kind::Lost;
    if (kind == DbError::Kind::Lost) m_lost = true;
    if (kind == DbError::Kind::Cancelled && m_txDepth > 0) m_txStopped = true;
    const QString why = describe(error);
    switch (kind) {
        case DbError::Kind::ReadOnly:
            return DbError(QStringLiteral("数据库是只读的，不能写入：%1（%2）").arg(m_info.display(), why),
                           statement, kind);
        case DbError::Kind::NotAnAccount:
            return notAnAccount(statement);
        case DbError::Kind::OutOfRange:
            return DbError(QStringLiteral("数据超出允许范围（%1）").arg(why), statement, kind);
        case DbError::Kind::Busy:
            return DbError(
                QStringLiteral("数据正被其他用户使用，请稍后再试：%1（%2）").arg(m_info.display(), why),
                statement, kind);
        case DbError::Kind::Full:
            return DbError(QStringLiteral("磁盘空间不足：%1（%2）").arg(m_info.display(), why), statement,
                           kind);
        case DbError::Kind::Lost:
            return DbError(QStringLiteral("与数据库的连接已断开：%1（%2）").arg(m_info.display(), why),
                           statement, kind);
        case DbError::Kind::Cancelled:
            return stopped(statement);
        case DbError::Kind::Failed:
            break;
    }
    return DbError(why, statement);
}

}  // namespace qc
