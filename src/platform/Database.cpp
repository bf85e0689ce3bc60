#include "platform/Database.h"

#include "platform/TextInput.h"

#include "platform/Dialect.h"
#include "platform/SqliteDecimals.h"
#include "platform/UnitSteps.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QDate>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

namespace qc {

namespace {
QAtomicInteger<quint64> g_connectionCounter;
QAtomicInteger<int> g_lockWaitMs = 10000;

QString describe(const QSqlError& e) {
    QString t = e.databaseText();
    if (t.isEmpty()) t = e.text();
    if (!e.driverText().isEmpty() && !t.contains(e.driverText()))
        t += QStringLiteral(" (") + e.driverText() + u')';
    return t.trimmed();
}

// Every account database has had these two tables from its first version on;
// tables added later may still be missing from an older account.
bool holdsAccountTables(const QStringList& tables) {
    return tables.contains(QStringLiteral("ua_account")) && tables.contains(QStringLiteral("qc_user"));
}

QString notAnAccount(const ConnectionInfo& info) {
    return QStringLiteral("不是存货核算账套：%1").arg(info.display());
}

// The drivers' codes for the causes DbError names: SQLite's primary result codes
// (the low byte of an extended one) and PostgreSQL's SQLSTATE of a write in a
// read-only transaction (a read-only server or standby).
constexpr int kSqliteReadOnly = 8;
constexpr int kSqliteNotADatabase = 26;
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteFull = 13;
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

std::unique_ptr<Database> Database::open(const QString& connectionString, OpenMode mode) {
    const ConnectionInfo info = ConnectionInfo::parse(connectionString);
    if (mode != OpenMode::Any && info.kind == DbKind::Sqlite) {
        if (QFileInfo(info.path).isFile()) {
            // Opening a file for writing may change it already (a header written into
            // an empty file, the journal mode below), so it is read first.
            connect(connectionString, mode, true)->checkHoldsAccount(mode);
        } else if (mode == OpenMode::Account) {
            throw DbError(QStringLiteral("数据库文件不存在：%1").arg(info.path));
        }
    }
    auto d = connect(connectionString, mode, false);
    d->setUpSession();
    if (d->m_info.kind != DbKind::Sqlite && mode != OpenMode::Any)
        d->checkHoldsAccount(mode);  // looking changes nothing on a server
    return d;
}

void Database::setUpSession() {
    if (m_info.kind == DbKind::Sqlite) {
        exec(QStringLiteral("PRAGMA foreign_keys = ON"));
        exec(QStringLiteral("PRAGMA journal_mode = WAL"));
        exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
        exec(QStringLiteral("PRAGMA case_sensitive_like = ON"));
    } else {
        exec(QStringLiteral("SET client_min_messages TO WARNING"));
        // The server lists each session under the program and its process, so that
        // an administrator sees which copy holds which sessions.
        exec(QStringLiteral("SELECT set_config('application_name', ?, false)"),
             {QStringLiteral("QCInput %1").arg(QCoreApplication::applicationPid())});
        // A lock another copy holds is waited for as long as SQLite's busy timeout,
        // then the statement fails with the cause named, rather than the window
        // waiting without end.
        exec(QStringLiteral("SET lock_timeout = %1").arg(g_lockWaitMs.loadRelaxed()));
    }
}

void Database::setLockWait(int milliseconds) {
    g_lockWaitMs.storeRelaxed(milliseconds);
}

void Database::reconnectIfLost() {
    if (!m_lost || m_txDepth > 0) return;
    // The server dropped the connection (restarted, or the session was ended): the
    // next unit of work opens it again, so that the window stays usable.
    m_db.close();
    if (!m_db.open())
        throw DbError(QStringLiteral("与数据库的连接已断开：%1（%2）")
                          .arg(m_info.display(), describe(m_db.lastError())),
                      {}, DbError::Kind::Lost);
    m_lost = false;
    setUpSession();
}

std::unique_ptr<Database> Database::connect(const QString& connectionString, OpenMode mode, bool readOnly) {
    std::unique_ptr<Database> d(new Database());
    d->m_connectionString = connectionString;
    d->m_info = ConnectionInfo::parse(connectionString);
    d->m_mode = mode;
    d->m_dialect = std::make_unique<Dialect>(d->m_info.kind);
    d->m_owner = std::this_thread::get_id();
    d->m_name = QStringLiteral("qc-%1").arg(++g_connectionCounter);
    if (d->m_info.kind == DbKind::Sqlite) {
        d->m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), d->m_name);
        d->m_db.setDatabaseName(d->m_info.path);
        const QString wait = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(g_lockWaitMs.loadRelaxed());
        d->m_db.setConnectOptions(readOnly ? wait + QStringLiteral(";QSQLITE_OPEN_READONLY") : wait);
    } else {
        d->m_db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), d->m_name);
        d->m_db.setHostName(d->m_info.host);
        d->m_db.setPort(d->m_info.port);
        d->m_db.setDatabaseName(d->m_info.dbName);
        d->m_db.setUserName(d->m_info.user);
        d->m_db.setPassword(d->m_info.password);
        if (!d->m_info.options.isEmpty()) d->m_db.setConnectOptions(d->m_info.options);
    }
    // Exact decimals: NUMERIC columns arrive as text, never as a rounded double.
    d->m_db.setNumericalPrecisionPolicy(QSql::HighPrecision);
    if (!d->m_db.open()) {
        const QString msg = describe(d->m_db.lastError());
        d->m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(d->m_name);
        throw DbError(QStringLiteral("无法打开账套数据库 %1：%2").arg(d->m_info.display(), msg));
    }
    if (d->m_info.kind == DbKind::Sqlite) registerExactDecimals(d->m_db);
    return d;
}

void Database::checkHoldsAccount(OpenMode mode) {
    // A file that is no SQLite database at all fails here with NotAnAccount.
    const QStringList present = tables();
    if (holdsAccountTables(present) || (mode == OpenMode::NewAccount && present.isEmpty())) return;
    throw DbError(notAnAccount(m_info), {}, DbError::Kind::NotAnAccount);
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
    const QString why = describe(error);
    switch (kind) {
        case DbError::Kind::ReadOnly:
            return DbError(QStringLiteral("数据库是只读的，不能写入：%1（%2）").arg(m_info.display(), why),
                           statement, kind);
        case DbError::Kind::NotAnAccount:
            return DbError(notAnAccount(m_info), statement, kind);
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
        case DbError::Kind::Failed:
            break;
    }
    return DbError(why, statement);
}

Database::~Database() {
    if (m_db.isValid()) {
        if (m_txDepth > 0) m_db.rollback();
        m_db.close();
    }
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

std::unique_ptr<Database> Database::clone() const {
    return open(m_connectionString, m_mode);
}

void Database::checkThread() const {
    if (std::this_thread::get_id() != m_owner)
        throw DbError(QStringLiteral("数据库连接只能在打开它的线程中使用"));
}

QSqlQuery Database::exec(const QString& sql, const QVariantList& binds) {
    checkThread();
    reconnectIfLost();
    // Outside a unit of work, a connection the server ended while it was idle is
    // found dead only by the next statement, which therefore never ran: it is
    // opened again and the statement run once more, so that a window whose
    // connection went while nobody used it does not refuse its next command.
    if (m_txDepth == 0 && m_info.kind != DbKind::Sqlite) {
        try {
            return run(sql, binds);
        } catch (const DbError& e) {
            if (e.kind() != DbError::Kind::Lost) throw;
            reconnectIfLost();
        }
    }
    return run(sql, binds);
}

QSqlQuery Database::run(const QString& sql, const QVariantList& binds) {
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    // PostgreSQL prepares statements server-side, where DDL and SET are refused; a
    // statement without values runs as it stands.
    if (binds.isEmpty()) {
        if (!q.exec(sql)) throw failure(q.lastError(), sql);
        return q;
    }
    // A text neither database can keep as it is is refused before it reaches the
    // driver, which would cut it short at a NUL or change half a surrogate pair.
    for (const QVariant& v : binds)
        if (v.typeId() == QMetaType::QString && hasUnstorableCharacters(v.toString()))
            throw DbError(kUnstorableText, sql);
    if (!q.prepare(sql)) throw failure(q.lastError(), sql);
    for (int i = 0; i < binds.size(); ++i) q.bindValue(i, binds[i]);
    if (!q.exec()) throw failure(q.lastError(), sql);
    return q;
}

QVariant Database::scalar(const QString& sql, const QVariantList& binds) {
    QSqlQuery q = exec(sql, binds);
    if (q.next()) return q.value(0);
    return {};
}

int Database::execAffected(const QString& sql, const QVariantList& binds) {
    return exec(sql, binds).numRowsAffected();
}

void Database::execScript(const QStringList& statements) {
    for (const QString& s : statements) {
        checkThread();
        QSqlQuery q(m_db);
        if (!q.exec(s)) throw failure(q.lastError(), s);
    }
}

qint64 Database::insertReturningId(const QString& table, const QStringList& columns,
                                   const QVariantList& values, const QString& idColumn) {
    QStringList marks;
    for (int i = 0; i < columns.size(); ++i) marks << QStringLiteral("?");
    const QString sql =
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) RETURNING %4")
            .arg(table, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')), idColumn);
    QSqlQuery q = exec(sql, values);
    if (!q.next()) throw DbError(QStringLiteral("插入后未返回编号"), sql);
    return q.value(0).toLongLong();
}

bool Database::tableExists(const QString& table) {
    return tables().contains(table.toLower());
}

QStringList Database::tables() {
    QStringList out;
    if (m_info.kind == DbKind::Sqlite) {
        QSqlQuery q = exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'"));
        while (q.next()) out << q.value(0).toString().toLower();
    } else {
        QSqlQuery q = exec(QStringLiteral(
            "SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema()"));
        while (q.next()) out << q.value(0).toString().toLower();
    }
    return out;
}

QStringList Database::columnsOf(const QString& table) {
    QStringList out;
    if (m_info.kind == DbKind::Sqlite) {
        QSqlQuery q = exec(QStringLiteral("SELECT name FROM pragma_table_info(?)"), {table});
        while (q.next()) out << q.value(0).toString().toLower();
        if (out.isEmpty()) {  // table names are matched without regard to case
            QSqlQuery t =
                exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND lower(name)=?"),
                     {table.toLower()});
            if (t.next()) return columnsOf(t.value(0).toString());
        }
    } else {
        QSqlQuery q = exec(QStringLiteral("SELECT column_name FROM information_schema.columns "
                                          "WHERE table_schema = current_schema() AND table_name = ? "
                                          "ORDER BY ordinal_position"),
                           {table.toLower()});
        while (q.next()) out << q.value(0).toString().toLower();
    }
    return out;
}

void Database::begin() {
    checkThread();
    reconnectIfLost();
    if (m_info.kind == DbKind::Sqlite) {
        // A unit of work takes SQLite's write lock when it starts, not at its first
        // write: what it reads is then the last committed state and stays so until
        // it ends, and a second unit waits for the first (up to the busy timeout)
        // instead of failing half-way when its snapshot has gone stale.
        QSqlQuery q(m_db);
        if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
            throw failure(q.lastError(), QStringLiteral("BEGIN IMMEDIATE"));
        return;
    }
    // A connection the server ended while it was idle fails at BEGIN, before the
    // unit of work did anything: it is opened again and the unit begun on it.
    for (int attempt = 0;; ++attempt) {
        if (m_db.transaction()) return;
        const DbError error = failure(m_db.lastError(), QStringLiteral("BEGIN"));
        if (error.kind() != DbError::Kind::Lost || attempt > 0) throw error;
        reconnectIfLost();
    }
}

void Database::commit() {
    if (!m_db.commit()) {
        DbError error = failure(m_db.lastError(), QStringLiteral("COMMIT"));
        m_db.rollback();
        throw error;
    }
}

void Database::rollback() {
    m_db.rollback();
}

Transaction::Transaction(Database& db) : m_db(db) {
    m_outer = db.m_txDepth == 0;
    if (m_outer) {
        db.begin();
        db.m_txFailed = false;
        m_stepsAtBegin = stepsAnnounced();
    }
    ++db.m_txDepth;
}

Transaction::~Transaction() {
    if (m_done) return;
    --m_db.m_txDepth;
    if (m_outer)
        m_db.rollback();
    else
        m_db.m_txFailed = true;  // an inner unit that did not finish spoils the outer one
}

void Transaction::commit() {
    if (m_done) return;
    // A unit whose statement groups were announced announces its COMMIT too. The
    // first is announced while the unit is still open: a hook that fails there
    // leaves it to the destructor to roll back.
    const bool announced = m_outer && !m_db.m_txFailed && stepsAnnounced() != m_stepsAtBegin;
    const QString unit = lastAnnouncedUnit();
    if (announced) announceStep(unit, QStringLiteral("commit"));
    m_done = true;
    --m_db.m_txDepth;
    if (!m_outer) return;
    if (m_db.m_txFailed) {
        m_db.rollback();
        throw DbError(QStringLiteral("事务中有一步未完成，全部已回滚"), QStringLiteral("COMMIT"));
    }
    m_db.commit();
    if (announced) announceStep(unit, QStringLiteral("committed"));
}

}  // namespace qc
