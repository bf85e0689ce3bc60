// Units of work: BEGIN, COMMIT and ROLLBACK on the connection, nested units
// joining the outer one, and the COMMIT announced as two steps of its own.

#include "platform/Database.h"

#include "platform/UnitSteps.h"

#include <QSqlError>

namespace qc {

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
        db.m_txStopped = false;
        m_stepsAtBegin = stepsAnnounced();
    }
    ++db.m_txDepth;
}

Transaction::~Transaction() {
    if (m_done) return;
    --m_db.m_txDepth;
    if (m_outer) {
        m_db.rollback();
        m_db.m_txStopped = false;
    } else
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
    if (m_db.m_txStopped) {
        m_db.rollback();
        m_db.m_txStopped = false;
        throw Database::stopped(QStringLiteral("COMMIT"));
    }
    if (m_db.m_txFailed) {
        m_db.rollback();
        throw DbError(QStringLiteral("事务中有一步未完成，全部已回滚"), QStringLiteral("COMMIT"));
    }
    m_db.commit();
    if (announced) announceStep(unit, QStringLiteral("committed"));
}

}  // namespace qc
