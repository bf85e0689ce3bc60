#pragma once

#include <QString>

namespace qc {

class VqLogin;

// An exclusive function task held for the length of a scope, as a Transaction
// holds a unit of work: the operator's right is checked and the task claimed
// when the lease is made, and the task is left when the lease goes, on whatever
// path the scope ends.
class TaskLease {
  public:
    enum class Outcome { Held, NoRight, Conflict };

    TaskLease(VqLogin* login, QString funcId);
    ~TaskLease();
    TaskLease(TaskLease&& other) noexcept;
    TaskLease(const TaskLease&) = delete;
    TaskLease& operator=(const TaskLease&) = delete;
    TaskLease& operator=(TaskLease&&) = delete;

    // Whether the task is held now (entered, and neither released nor moved away).
    [[nodiscard]] bool held() const { return m_held; }
    // How the entry went.
    [[nodiscard]] Outcome outcome() const { return m_outcome; }
    // What the operator is told when the task is not held: "您没有这个权限！", or
    // "功能互斥：", a line break and who holds it, or the database's own message
    // when it failed the check or the claim; "" when held.
    [[nodiscard]] QString refusal() const { return m_refusal; }
    // Leaves the task now (before a message that follows the work, say).
    void release();

  private:
    VqLogin* m_login = nullptr;
    QString m_funcId;
    Outcome m_outcome = Outcome::NoRight;
    QString m_refusal;
    bool m_held = false;
};

}  // namespace qc
