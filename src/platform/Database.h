#pragma once

#include "platform/ConnectionInfo.h"
#include "platform/DbError.h"
#include "platform/SqlFragment.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <memory>
#include <thread>

namespace qc {

class Dialect;

// What Database::open accepts.
enum class OpenMode {
    // Whatever is there; a missing SQLite file is made. For scratch files, a
    // server's own database and test fixtures.
    Any,
    // An existing account database. A SQLite file is only read until its tables
    // show it is one; anything else is refused (DbError::Kind::NotAnAccount) and
    // left exactly as it was.
    Account,
    // An account database or an empty one, made when missing: for the commands
    // that build an account. Anything else is refused and left as it was.
    NewAccount,
};

// The most values a statement written to carry many rows binds: within what both
// databases accept in one statement (SQLite 32,766, PostgreSQL 65,535), and
// many rows per round trip.
inline constexpr int kValuesPerStatement = 30000;

// One open connection to the account database. A Database belongs to the thread
// that opened it; another thread opens its own with clone(). Every statement is
// prepared and its values are bound; a failure throws DbError.
class Database {
  public:
    static std::unique_ptr<Database> open(const QString& connectionString, OpenMode mode = OpenMode::Any);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    [[nodiscard]] std::unique_ptr<Database> clone() const;
    [[nodiscard]] DbKind kind() const { return m_info.kind; }
    [[nodiscard]] const Dialect& dialect() const { return *m_dialect; }
    [[nodiscard]] const ConnectionInfo& info() const { return m_info; }
    [[nodiscard]] QString connectionString() const { return m_connectionString; }
    // A name no other connection of this process has had: what is learnt of the
    // database through this connection may be kept under it.
    [[nodiscard]] QString sessionName() const { return m_name; }
    [[nodiscard]] QSqlDatabase& handle() { return m_db; }

    // Runs a statement with bound values and returns the positioned-before-first query.
    QSqlQuery exec(const QString& sql, const QVariantList& binds = {});
    QSqlQuery exec(const SqlFragment& f) { return exec(f.sql, f.binds); }
    // The first column of the first row, or an invalid QVariant when there is no row.
    QVariant scalar(const QString& sql, const QVariantList& binds = {});
    // Rows affected by an INSERT, UPDATE or DELETE.
    int execAffected(const QString& sql, const QVariantList& binds = {});
    // Runs several statements without values (schema scripts).
    void execScript(const QStringList& statements);
    // Inserts one row and returns the identity value generated for `idColumn`.
    qint64 insertReturningId(const QString& table, const QStringList& columns, const QVariantList& values,
                             const QString& idColumn);

    [[nodiscard]] bool tableExists(const QString& table);
    // Column names of a table as the database reports them, lower-cased.
    [[nodiscard]] QStringList columnsOf(const QString& table);
    // Table names of the database, lower-cased.
    [[nodiscard]] QStringList tables();

    [[nodiscard]] bool inTransaction() const { return m_txDepth > 0; }

    // How long a statement waits for a lock another connection holds before it
    // fails with DbError::Kind::Busy (10 s unless set); for connections opened after.
    static void setLockWait(int milliseconds);

  private:
    friend class Transaction;
    Database() = default;
    // Opens the connection without looking at what the database holds.
    static std::unique_ptr<Database> connect(const QString& connectionString, OpenMode mode, bool readOnly);
    // Refuses, per mode, a database that holds something other than an account.
    void checkHoldsAccount(OpenMode mode);
    // The DbError for a failed statement, with the cause the driver reports.
    [[nodiscard]] DbError failure(const QSqlError& error, const QString& statement) const;
    [[nodiscard]] DbError notAnAccount(const QString& statement) const;
    // The DbError of a statement the user's cancel stopped, or that came after it.
    [[nodiscard]] static DbError stopped(const QString& statement);
    // The driver's words for a failure.
    static QString describe(const QSqlError& error);
    void begin();
    void commit();
    void rollback();
    void checkThread() const;
    // The settings every session starts with.
    void setUpSession();
    // Opens the connection again after the server dropped it, between units of work.
    void reconnectIfLost();
    // One statement on the connection as it is.
    QSqlQuery run(const QString& sql, const QVariantList& binds);
    // One statement of long work on a server, waited for in small steps.
    QSqlQuery runWatched(const QString& sql, const QVariantList& binds);

    QSqlDatabase m_db;
    QString m_name;
    QString m_connectionString;
    ConnectionInfo m_info;
    OpenMode m_mode = OpenMode::Any;
    std::unique_ptr<Dialect> m_dialect;
    std::thread::id m_owner;
    int m_txDepth = 0;
    bool m_txFailed = false;
    mutable bool m_lost = false;  // the server dropped the connection
    // A statement of the open unit of work was stopped by the user's cancel:
    // SQLite has rolled the unit back already, so nothing more may run in it
    // (it would be kept on its own).
    mutable bool m_txStopped = false;
    // A statement of long work is on its way to the server: the pulse that
    // paints meanwhile may not send another on this connection.
    bool m_serverBusy = false;
};

// One unit of work: statements between construction and commit() are applied
// together or not at all; a Transaction destroyed without commit() rolls back.
// Open it at the edge of a user action (a command, a CLI sub-command), never deep
// in a helper. Nested transactions join the outer one.
class Transaction {
  public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

  private:
    Database& m_db;
    bool m_done = false;
    bool m_outer = false;
    quint64 m_stepsAtBegin = 0;
};

// Reading helpers for values as the two drivers return them.
QString textOf(const QVariant& v);  // null -> ""
QDate dateOf(const QVariant& v);    // text or date -> date; anything else -> invalid
int intOf(const QVariant& v);       // null or text "" -> 0
// A date to bind: the date, or a null of date type when it is not valid.
QVariant dateOrNull(const QDate& d);

}  // namespace qc
