#include "host/TaskLease.h"

#include "host/VqLogin.h"

#include <utility>

namespace qc {

TaskLease::TaskLease(VqLogin* login, QString funcId) : m_login(login), m_funcId(std::move(funcId)) {
    if (!m_login || !m_login->TaskExec(m_funcId, 1)) {
        m_outcome = Outcome::NoRight;
        m_refusal = QStringLiteral("您没有这个权限！");
    } else if (!m_login->TaskExec(m_funcId, -1)) {
        m_outcome = Outcome::Conflict;
        m_refusal = QStringLiteral("功能互斥：") + u'\n' + m_login->TaskMessage();
    } else {
        m_outcome = Outcome::Held;
        m_held = true;
    }
    // The database failing the check or the claim is neither a missing right nor
    // another holder: its own message names the cause (a read-only database, say).
    if (m_login && m_login->TaskFailed()) m_refusal = m_login->TaskMessage();
}

TaskLease::TaskLease(TaskLease&& other) noexcept
    : m_login(std::exchange(other.m_login, nullptr)),
      m_funcId(std::move(other.m_funcId)),
      m_outcome(other.m_outcome),
      m_refusal(std::move(other.m_refusal)),
      m_held(std::exchange(other.m_held, false)) {}

TaskLease::~TaskLease() {
    try {
        release();
    } catch (...) {  // a lost connection: the claim expires on its own
    }
}

void TaskLease::release() {
    if (!m_held || !m_login) return;
    m_held = false;
    m_login->TaskExec(m_funcId, 0);
}

}  // namespace qc
