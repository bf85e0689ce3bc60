#pragma once

#include "host/Tasks.h"
#include "host/Users.h"
#include "platform/Database.h"

#include <QDate>
#include <QString>

#include <memory>

namespace qc {

class HostDb;

// What the login dialog asks for.
struct LoginRequest {
    QString connectionString;  // the account database
    QString accountId;         // "001"
    int accountYear = 0;       // 2026
    QString userId;
    QString password;
    QDate loginDate;
    QString dbPassword;  // PostgreSQL password when not in the connection string
};

// The logged-in operator (the host's login object). It owns the host's own
// connection, the task registry of this running copy and the operator's rights.
class VqLogin {
  public:
    // Checks the account, year, operator and password. On refusal returns null and
    // sets *error to a Chinese message that does not say which part was wrong.
    // `opened`, when given, is a connection already open to the request's database;
    // the login runs on it instead of opening its own.
    static std::unique_ptr<VqLogin> login(const LoginRequest& request, QString* error,
                                          std::unique_ptr<qc::Database> opened = nullptr);
    ~VqLogin();
    VqLogin(const VqLogin&) = delete;
    VqLogin& operator=(const VqLogin&) = delete;

    // The host database object of the login (its DbConnect is DbConnectText()).
    HostDb& Database();
    [[nodiscard]] QString DbPassword() const { return m_request.dbPassword; }
    // The account database's connection text; for a server, DbPassword is put in
    // when the text carries none, so that the text alone opens a connection.
    [[nodiscard]] QString DbConnectText() const { return m_request.connectionString; }
    [[nodiscard]] QString AccountId() const { return m_request.accountId; }
    [[nodiscard]] QString AccountYear() const { return QString::number(m_request.accountYear); }
    [[nodiscard]] QString UserId() const { return m_user.userId; }
    [[nodiscard]] QString UserName() const { return m_user.userName; }
    [[nodiscard]] QDate LoginDate() const { return m_request.loginDate; }
    [[nodiscard]] bool allRights() const { return m_user.allRights; }

    // mode 1: does the operator hold the function right; mode -1: enter the task
    // exclusively (needs the right too); mode 0: leave it. Refusals set TaskMessage().
    bool TaskExec(const QString& funcId, int mode, int reserved = 0);
    [[nodiscard]] QString TaskMessage() const { return m_taskMessage; }
    // Whether the last refusal came from the database (a failed statement, a
    // read-only database) rather than from a right or another holder.
    [[nodiscard]] bool TaskFailed() const { return m_taskFailed; }
    // State of a period kind for a year: 201 asks whether the year's accounting
    // periods are set up (the account is open for that year).
    bool PeriodState(int kind, int year);
    // Keeps this copy's task claims alive; the host shell calls it on a timer.
    void heartbeat();
    // The instance tag of this running copy (usable in file and table names).
    [[nodiscard]] QString instanceTag() const { return m_self.instance; }

  private:
    VqLogin() = default;
    LoginRequest m_request;
    UserRecord m_user;
    TaskHolder m_self;
    std::unique_ptr<HostDb> m_db;
    // Rights and task claims run on a connection of their own, so that a claim is
    // never part of (nor rolled back with) a transaction open on the host database.
    std::unique_ptr<qc::Database> m_taskDb;
    std::unique_ptr<TaskRegistry> m_tasks;
    QString m_taskMessage;
    bool m_taskFailed = false;
};

}  // namespace qc
