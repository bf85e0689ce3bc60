#include "platform/Database.h"

#include "platform/Dialect.h"

#include <QAtomicInteger>
#include <QDate>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QUrl>
#include <QUrlQuery>

namespace qc {

namespace {
QAtomicInteger<quint64> g_connectionCounter;

QString describe(const QSqlError& e) {
    QString t = e.databaseText();
    if (t.isEmpty()) t = e.text();
    if (!e.driverText().isEmpty() && !t.contains(e.driverText()))
        t += QStringLiteral(" (") + e.driverText() + u')';
    return t.trimmed();
}
}  // namespace

DbError::DbError(const QString& message, QString statement)
    : std::runtime_error(message.toStdString()), m_message(message), m_statement(std::move(statement)) {}

SqlFragment SqlFragment::andWith(const SqlFragment& other) const {
    if (isEmpty()) return other;
    if (other.isEmpty()) return *this;
    SqlFragment f{sql + QStringLiteral(" AND ") + other.sql, binds};
    f.binds += other.binds;
    return f;
}

ConnectionInfo ConnectionInfo::parse(const QString& connectionString) {
    ConnectionInfo info;
    QString s = connectionString.trimmed();
    if (s.startsWith(QStringLiteral("postgresql://")) || s.startsWith(QStringLiteral("postgres://"))) {
        QUrl url(s);
        info.kind = DbKind::Postgres;
        info.host = url.host().isEmpty() ? QStringLiteral("localhost") : url.host();
        info.port = url.port(5432);
        info.user = url.userName();
        info.password = url.password();
        info.dbName = url.path().mid(1);
        info.options = QUrlQuery(url).toString(QUrl::FullyDecoded).replace(u'&', u';');
        return info;
    }
    if (s.contains(QLatin1Char('=')) && !s.startsWith(QStringLiteral("sqlite:"))) {
        info.kind = DbKind::Postgres;
        info.host = QStringLiteral("localhost");
        const auto parts = s.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QStringList rest;
        for (const QString& p : parts) {
            const auto eq = p.indexOf(QLatin1Char('='));
            const QString k = p.left(eq).trimmed().toLower();
            const QString v = p.mid(eq + 1).trimmed();
            if (k == u"host")
                info.host = v;
            else if (k == u"port")
                info.port = v.toInt();
            else if (k == u"dbname")
                info.dbName = v;
            else if (k == u"user")
                info.user = v;
            else if (k == u"password")
                info.password = v;
            else
                rest << p;
        }
        info.options = rest.join(QLatin1Char(';'));
        return info;
    }
    info.kind = DbKind::Sqlite;
    info.path = s.startsWith(QStringLiteral("sqlite:")) ? s.mid(7) : s;
    return info;
}

QString ConnectionInfo::display() const {
    if (kind == DbKind::Sqlite) return path;
    return QStringLiteral("postgresql://%1@%2:%3/%4").arg(user, host).arg(port).arg(dbName);
}

QString ConnectionInfo::toConnectionString() const {
    if (kind == DbKind::Sqlite) return path;
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    url.setHost(host);
    url.setPort(port);
    url.setUserName(user);
    url.setPassword(password);
    url.setPath(u'/' + dbName);
    return url.toString();
}

std::unique_ptr<Database> Database::open(const QString& connectionString) {
    std::unique_ptr<Database> d(new Database());
    d->m_connectionString = connectionString;
    d->m_info = ConnectionInfo::parse(connectionString);
    d->m_dialect = std::make_unique<Dialect>(d->m_info.kind);
    d->m_owner = std::this_thread::get_id();
    d->m_name = QStringLiteral("qc-%1").arg(++g_connectionCounter);
    if (d->m_info.kind == DbKind::Sqlite) {
        d->m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), d->m_name);
        d->m_db.setDatabaseName(d->m_info.path);
        d->m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
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
        d->exec(QStringLiteral("PRAGMA foreign_keys = ON"));
        d->exec(QStringLiteral("PRAGMA journal_mode = WAL"));
        d->exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
        d->exec(QStringLiteral("PRAGMA case_sensitive_like = ON"));
    } else {
        d->exec(QStringLiteral("SET client_min_messages TO WARNING"));
    }
    return d;
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
    return open(m_connectionString);
}

void Database::checkThread() const {
    if (std::this_thread::get_id() != m_owner)
        throw DbError(QStringLiteral("数据库连接只能在打开它的线程中使用"));
}

QSqlQuery Database::exec(const QString& sql, const QVariantList& binds) {
    checkThread();
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    // PostgreSQL prepares statements server-side, where DDL and SET are refused; a
    // statement without values runs as it stands.
    if (binds.isEmpty()) {
        if (!q.exec(sql)) throw DbError(describe(q.lastError()), sql);
        return q;
    }
    if (!q.prepare(sql)) throw DbError(describe(q.lastError()), sql);
    for (int i = 0; i < binds.size(); ++i) q.bindValue(i, binds[i]);
    if (!q.exec()) throw DbError(describe(q.lastError()), sql);
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
        if (!q.exec(s)) throw DbError(describe(q.lastError()), s);
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
    if (m_info.kind == DbKind::Sqlite) {
        // A unit of work takes SQLite's write lock when it starts, not at its first
        // write: what it reads is then the last committed state and stays so until
        // it ends, and a second unit waits for the first (up to the busy timeout)
        // instead of failing half-way when its snapshot has gone stale.
        QSqlQuery q(m_db);
        if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
            throw DbError(describe(q.lastError()), QStringLiteral("BEGIN IMMEDIATE"));
        return;
    }
    if (!m_db.transaction()) throw DbError(describe(m_db.lastError()), QStringLiteral("BEGIN"));
}

void Database::commit() {
    if (!m_db.commit()) {
        const QString msg = describe(m_db.lastError());
        m_db.rollback();
        throw DbError(msg, QStringLiteral("COMMIT"));
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
    m_done = true;
    --m_db.m_txDepth;
    if (!m_outer) return;
    if (m_db.m_txFailed) {
        m_db.rollback();
        throw DbError(QStringLiteral("事务中有一步未完成，全部已回滚"), QStringLiteral("COMMIT"));
    }
    m_db.commit();
}

QString textOf(const QVariant& v) {
    return v.isNull() ? QString() : v.toString();
}

QDate dateOf(const QVariant& v) {
    if (v.isNull()) return {};
    if (v.typeId() == QMetaType::QDate) return v.toDate();
    if (v.typeId() == QMetaType::QDateTime) return v.toDateTime().date();
    const QString s = v.toString().trimmed();
    QDate d = QDate::fromString(s.left(10), Qt::ISODate);
    if (!d.isValid()) d = QDate::fromString(s.left(10), QStringLiteral("yyyy/MM/dd"));
    return d;
}

int intOf(const QVariant& v) {
    if (v.isNull()) return 0;
    bool ok = false;
    const int i = v.toInt(&ok);
    if (ok) return i;
    return static_cast<int>(v.toString().trimmed().toDouble());
}

}  // namespace qc
