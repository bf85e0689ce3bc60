// The connection to the account database: opening it (and refusing what is no
// account), the settings each session starts with, finding it again after the
// server dropped it, and running statements with their values bound.

#include "platform/Database.h"

#include "platform/Dialect.h"
#include "platform/ServerStatement.h"
#include "platform/SqliteConnection.h"
#include "platform/SqliteDecimals.h"
#include "platform/TextInput.h"
#include "platform/UnitSteps.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSqlError>

namespace qc {

namespace {
QAtomicInteger<quint64> g_connectionCounter;
QAtomicInteger<int> g_lockWaitMs = 10000;

// An INSERT, UPDATE or DELETE that gives no rows back, or a table created from
// a query (which the driver cannot prepare when it has values).
bool writesWithoutRows(const QString& sql) {
    const QStringView head = QStringView(sql).trimmed().left(6);
    const bool write = head.compare(u"INSERT", Qt::CaseInsensitive) == 0 ||
                       head.compare(u"UPDATE", Qt::CaseInsensitive) == 0 ||
                       head.compare(u"DELETE", Qt::CaseInsensitive) == 0 ||
                       head.compare(u"CREATE", Qt::CaseInsensitive) == 0;
    return write && !sql.contains(u"RETURNING", Qt::CaseInsensitive);
}

// An account of how a statement runs, which the driver cannot prepare on a
// server (PREPARE … AS EXPLAIN is refused) when the statement has values.
bool explains(const QString& sql) {
    return QStringView(sql).trimmed().left(7).compare(u"EXPLAIN", Qt::CaseInsensitive) == 0;
}

// Every account database has had these two tables from its first version on;
// tables added later may still be missing from an older account.
bool holdsAccountTables(const QStringList& tables) {
    return tables.contains(QStringLiteral("ua_account")) && tables.contains(QStringLiteral("qc_user"));
}

}  // namespace

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
        // A unit of work that has committed must survive a power cut: the log is
        // flushed to the disk at every commit (NORMAL flushes it only at the
        // next checkpoint, so the last units could vanish; a server flushes at
        // every commit too). It costs about a millisecond a commit here.
        exec(QStringLiteral("PRAGMA synchronous = FULL"));
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
    if (d->m_info.kind == DbKind::Sqlite) {
        registerExactDecimals(d->m_db);
        watchRunningStatements(d->m_db);
    }
    return d;
}

void Database::checkHoldsAccount(OpenMode mode) {
    // A file that is no SQLite database at all fails here with NotAnAccount.
    const QStringList present = tables();
    if (holdsAccountTables(present) || (mode == OpenMode::NewAccount && present.isEmpty())) return;
    throw notAnAccount({});
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
    if (m_txStopped) throw stopped(sql);
    if (m_serverBusy) throw DbError(QStringLiteral("数据库连接正在执行另一条语句"), sql);
    // A text neither database can keep as it is is refused before it reaches the
    // driver, which would cut it short at a NUL or change half a surrogate pair.
    for (const QVariant& v : binds)
        if (v.typeId() == QMetaType::QString && hasUnstorableCharacters(v.toString()))
            throw DbError(kUnstorableText, sql);
    // Long work on a server waits for each statement in small steps, painting
    // its progress meanwhile and able to cancel it; SQLite gives its pulse from
    // inside the statement instead. A write with values goes the same way: sent
    // with its values in one message, where the driver prepares, runs and
    // drops a statement in three exchanges with the server.
    if (m_info.kind != DbKind::Sqlite &&
        (statementPulseListening() || (!binds.isEmpty() && (writesWithoutRows(sql) || explains(sql)))))
        return runWatched(sql, binds);
    // On SQLite a write with values is bound by the library itself, each value
    // once (the driver's cost grows with the square of their number).
    if (m_info.kind == DbKind::Sqlite && !binds.isEmpty() && writesWithoutRows(sql)) {
        QSqlError error;
        const StoppableStatement stoppable;
        QSqlQuery q = runSqliteWrite(m_db, sql, binds, error);
        if (error.isValid()) throw failure(error, sql);
        return q;
    }
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    // PostgreSQL prepares statements server-side, where DDL and SET are refused; a
    // statement without values runs as it stands.
    // The statement may be stopped while it runs (the user cancelling long
    // work); reading the rows it gives afterwards is not.
    if (binds.isEmpty()) {
        const StoppableStatement stoppable;
        if (!q.exec(sql)) throw failure(q.lastError(), sql);
        return q;
    }
    if (!q.prepare(sql)) throw failure(q.lastError(), sql);
    for (int i = 0; i < binds.size(); ++i) q.bindValue(i, binds[i]);
    const StoppableStatement stoppable;
    if (!q.exec()) throw failure(q.lastError(), sql);
    return q;
}

QSqlQuery Database::runWatched(const QString& sql, const QVariantList& binds) {
    ServerOutcome r;
    {
        const StoppableStatement stoppable;
        m_serverBusy = true;
        const auto idle = qScopeGuard([this] { m_serverBusy = false; });
        r = runOnServer(m_db, sql, binds);
    }
    // Stopped at the user's request: the server cancelled the statement, or it
    // ended before the request reached it, in which case the unit it belongs to
    // is not kept either. A statement outside any unit that ended is kept, and
    // the work stops at its next step.
    if (r.stopAsked &&
        (r.failed() ? r.error.nativeErrorCode() == kServerStatementCancelled : m_txDepth > 0)) {
        if (m_txDepth > 0) m_txStopped = true;
        throw stopped(sql);
    }
    if (r.failed()) throw failure(r.error, sql);
    return std::move(*r.query);
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
        // The server's own catalogue: its information views take several times as long.
        QSqlQuery q =
            exec(QStringLiteral("SELECT c.relname FROM pg_catalog.pg_class c "
                                "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
                                "WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'p', 'v', 'f')"));
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
        QSqlQuery q = exec(QStringLiteral("SELECT a.attname FROM pg_catalog.pg_attribute a "
                                          "JOIN pg_catalog.pg_class c ON c.oid = a.attrelid "
                                          "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
                                          "WHERE n.nspname = current_schema() AND c.relname = ? "
                                          "AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum"),
                           {table.toLower()});
        while (q.next()) out << q.value(0).toString().toLower();
    }
    return out;
}

}  // namespace qc
