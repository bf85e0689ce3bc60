#pragma once

#include <QString>

#include <utility>

namespace qc {

class Database;

// Who a running component is, as the task registry records it.
struct TaskHolder {
    QString userId;
    QString userName;
    QString hostName;
    qint64 pid = 0;
    QString instance;  // unique per running process (UniqueTag)
};

// Exclusive function tasks, claimed atomically in the account database so that two
// running copies, on one machine or on several, exclude each other. A claim lives
// until it is left, the holder's process ends (same machine), or its heartbeat is
// older than kExpirySeconds (a crashed holder elsewhere).
class TaskRegistry {
  public:
    static constexpr int kExpirySeconds = 120;

    TaskRegistry(Database& db, TaskHolder self) : m_db(db), m_self(std::move(self)) {}

    // Enters the task; false when another holder has it (holderMessage() names it).
    // Entering a task this instance already holds succeeds.
    bool enter(const QString& funcId);
    // Leaves the task if this instance holds it.
    void leave(const QString& funcId);
    // Leaves every task of this instance.
    void leaveAll();
    // Refreshes this instance's claims so they do not expire.
    void heartbeat();
    [[nodiscard]] QString holderMessage() const { return m_message; }

  private:
    void removeStale(const QString& funcId);
    Database& m_db;
    TaskHolder m_self;
    QString m_message;
};

}  // namespace qc
