#include "host/Tasks.h"

#include "platform/Database.h"
#include "platform/Dialect.h"

#include <cerrno>
#include <csignal>
#include <optional>

namespace qc {

namespace {

// Whether a process of this machine is still running. A process of another user
// (EPERM) is running too; only "no such process" counts as gone.
bool processRuns(qint64 pid) {
    if (pid <= 0) return false;
    if (::kill(static_cast<pid_t>(pid), 0) == 0) return true;
    return errno != ESRCH;
}

struct Claim {
    QString instance, userId, userName, host;
    qint64 pid = 0;
};

std::optional<Claim> claimOf(Database& db, const QString& funcId) {
    QSqlQuery q = db.exec(
        QStringLiteral("SELECT cInstance, cUserId, cUserName, cHost, iPid FROM qc_task WHERE cFuncId = ?"),
        {funcId});
    if (!q.next()) return std::nullopt;
    Claim c;
    c.instance = textOf(q.value(0));
    c.userId = textOf(q.value(1));
    c.userName = textOf(q.value(2));
    c.host = textOf(q.value(3));
    c.pid = q.value(4).toLongLong();
    return c;
}

}  // namespace

// Drops the claim on funcId when its holder is known to be gone: a process of
// this machine that no longer runs, or a holder elsewhere whose heartbeat is older
// than kExpirySeconds by the database clock (machines' own clocks may differ).
// A holder on this machine whose process runs keeps its claim however old the
// heartbeat. Each delete names the stale instance, so a claim taken meanwhile by
// someone else is never touched.
void TaskRegistry::removeStale(const QString& funcId) {
    const auto c = claimOf(m_db, funcId);
    if (!c || c->instance == m_self.instance) return;
    if (c->host == m_self.hostName) {
        if (!processRuns(c->pid))
            m_db.exec(QStringLiteral("DELETE FROM qc_task WHERE cFuncId = ? AND cInstance = ?"),
                      {funcId, c->instance});
        return;
    }
    m_db.exec(
        QStringLiteral("DELETE FROM qc_task WHERE cFuncId = ? AND cInstance = ? AND iHeartbeat < %1 - ?")
            .arg(m_db.dialect().nowEpoch()),
        {funcId, c->instance, kExpirySeconds});
}

bool TaskRegistry::enter(const QString& funcId) {
    m_message.clear();
    const QString now = m_db.dialect().nowEpoch();
    // The holder may leave between the refused insert and the look at who holds
    // it; then the claim is simply tried again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        removeStale(funcId);
        const int inserted = m_db.execAffected(
            QStringLiteral(
                "INSERT INTO qc_task (cFuncId, cInstance, cUserId, cUserName, cHost, iPid, iClaimed, "
                "iHeartbeat) VALUES (?, ?, ?, ?, ?, ?, %1, %1) ON CONFLICT (cFuncId) DO NOTHING")
                .arg(now),
            {funcId, m_self.instance, m_self.userId, m_self.userName, m_self.hostName, m_self.pid});
        if (inserted == 1) return true;
        const auto c = claimOf(m_db, funcId);
        if (!c) continue;
        if (c->instance == m_self.instance) {
            heartbeat();
            return true;
        }
        m_message = QStringLiteral("操作员 %1（%2）正在机器 %3 上执行功能 %4，请等待其完成。")
                        .arg(c->userId, c->userName, c->host, funcId);
        return false;
    }
    m_message = QStringLiteral("功能 %1 正被频繁占用和释放，请稍后再试。").arg(funcId);
    return false;
}

void TaskRegistry::leave(const QString& funcId) {
    m_db.exec(QStringLiteral("DELETE FROM qc_task WHERE cFuncId = ? AND cInstance = ?"),
              {funcId, m_self.instance});
}

void TaskRegistry::leaveAll() {
    m_db.exec(QStringLiteral("DELETE FROM qc_task WHERE cInstance = ?"), {m_self.instance});
}

void TaskRegistry::heartbeat() {
    m_db.exec(QStringLiteral("UPDATE qc_task SET iHeartbeat = %1 WHERE cInstance = ?")
                  .arg(m_db.dialect().nowEpoch()),
              {m_self.instance});
}

}  // namespace qc
