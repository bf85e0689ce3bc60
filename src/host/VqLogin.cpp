#include "host/VqLogin.h"

#include "host/AccPara.h"
#include "host/AuditTrail.h"
#include "host/HostDb.h"
#include "host/LoginThrottle.h"
#include "platform/Database.h"

#include <QCoreApplication>
#include <QSysInfo>
#include <QUrl>

namespace qc {

namespace {

const QString kRefused = QStringLiteral("账套、年度、操作员或密码不正确，请重新输入。");

// The connection text with the database password put in, when one is given and
// the text names a server without one. A SQLite file has no password.
QString withPassword(const QString& connectionString, const QString& password) {
    if (password.isEmpty()) return connectionString;
    const ConnectionInfo info = ConnectionInfo::parse(connectionString);
    if (info.kind != DbKind::Postgres || !info.password.isEmpty()) return connectionString;
    QUrl url(connectionString.trimmed());
    url.setPassword(password);
    return url.toString();
}

}  // namespace

std::unique_ptr<VqLogin> VqLogin::login(const LoginRequest& request, QString* error,
                                        std::unique_ptr<qc::Database> opened) {
    auto setError = [error](const QString& text) {
        if (error) *error = text;
    };
    std::unique_ptr<VqLogin> l(new VqLogin());
    l->m_request = request;
    l->m_request.connectionString = withPassword(request.connectionString, request.dbPassword);
    if (!l->m_request.loginDate.isValid()) l->m_request.loginDate = QDate::currentDate();

    l->m_db = std::make_unique<HostDb>();
    try {
        if (opened)
            l->m_db->Open(std::shared_ptr<qc::Database>(std::move(opened)));
        else
            l->m_db->Open(l->m_request.connectionString);
        l->m_taskDb = l->m_db->Connection().clone();
    } catch (const DbError& e) {
        setError(e.message());
        return nullptr;
    }
    qc::Database& db = l->m_db->Connection();
    std::optional<UserRecord> user;
    bool accountKnown = false;
    qint64 wait = 0;
    try {
        LoginThrottle::ensureTable(db);
        // An account made before the audit trail gets its tables at its first login.
        audit::ensureTables(db);
        // The attempt is counted, checked and settled in one unit of work, so that
        // attempts of one name at once are taken in turn: each sees the others'
        // outcome, and desks logging in together with the right password are not
        // counted as refusals while they are still being checked.
        Transaction attempt(db);
        wait = LoginThrottle::beginAttempt(db, request.userId);
        if (wait == 0) {
            // The account keeps one row with the year it was set up in; a later year
            // is open once its periods are.
            accountKnown = db.scalar(QStringLiteral("SELECT COUNT(*) FROM UA_Account a WHERE a.cAcc_Id = ? "
                                                    "AND (a.iYear = ? OR EXISTS (SELECT 1 FROM UA_Period p "
                                                    "WHERE p.cAcc_Id = a.cAcc_Id AND p.iYear = ?))"),
                                     {request.accountId, request.accountYear, request.accountYear})
                               .toLongLong() > 0;
            // The operator is checked even for an unknown account, so that the refusal
            // takes as long and says as little whichever part was wrong.
            user = Users::authenticate(db, request.userId, request.password);
            if (accountKnown && user)
                LoginThrottle::succeeded(db, request.userId);
            else
                wait = LoginThrottle::secondsToWait(db, request.userId);
        }
        audit::Actor who{user ? user->userId : QString(), user ? user->userName : QString(),
                         QSysInfo::machineHostName()};
        audit::Event e;
        e.operation = accountKnown && user ? audit::kLogin : audit::kLoginFailed;
        e.detail = QJsonObject{{QStringLiteral("操作员"), request.userId.left(60)},
                               {QStringLiteral("账套"), request.accountId},
                               {QStringLiteral("年度"), request.accountYear}};
        audit::record(db, who, e);
        attempt.commit();
    } catch (const DbError& e) {
        // A read-only database is said as such: the login counts its attempts there.
        setError(e.kind() == DbError::Kind::ReadOnly
                     ? e.message()
                     : QStringLiteral("无法读取账套数据库中的账套或操作员信息：%1").arg(e.message()));
        return nullptr;
    }
    if (!accountKnown || !user) {
        setError(wait > 0 ? kRefused + u'\n' + LoginThrottle::waitNote(wait) : kRefused);
        return nullptr;
    }
    l->m_user = *user;
    l->m_self.userId = user->userId;
    l->m_self.userName = user->userName;
    l->m_self.hostName = QSysInfo::machineHostName();
    l->m_self.pid = QCoreApplication::applicationPid();
    l->m_self.instance = UniqueTag();
    l->m_tasks = std::make_unique<TaskRegistry>(*l->m_taskDb, l->m_self);
    if (error) error->clear();
    return l;
}

VqLogin::~VqLogin() {
    if (!m_tasks) return;
    try {
        m_tasks->leaveAll();
    } catch (const DbError&) {
        // The connection is gone; the claims expire by themselves (the process
        // ends or the heartbeat gets old).
    }
}

HostDb& VqLogin::Database() {
    return *m_db;
}

bool VqLogin::TaskExec(const QString& funcId, int mode, int /*reserved*/) {
    m_taskMessage.clear();
    m_taskFailed = false;
    try {
        qc::Database& db = *m_taskDb;
        if (mode == 0) {
            m_tasks->leave(funcId);
            return true;
        }
        if (mode != 1 && mode != -1) {
            m_taskMessage = QStringLiteral("未知的任务方式 %1").arg(mode);
            return false;
        }
        if (!Users::holdsFunction(db, m_user.userId, funcId)) {
            m_taskMessage = QStringLiteral("操作员 %1 没有功能 %2 的权限").arg(m_user.userId, funcId);
            audit::Event e;
            e.operation = audit::kRefused;
            e.detail = QJsonObject{{QStringLiteral("功能"), funcId}};
            audit::record(db, audit::actorOf(this), e);
            return false;
        }
        if (mode == 1) return true;
        if (m_tasks->enter(funcId)) return true;
        m_taskMessage = m_tasks->holderMessage();
        return false;
    } catch (const DbError& e) {
        m_taskMessage = e.message();
        m_taskFailed = true;
        return false;
    }
}

bool VqLogin::PeriodState(int kind, int year) {
    if (kind != 201) return false;
    return m_db->Connection()
               .scalar(QStringLiteral("SELECT COUNT(*) FROM UA_Period WHERE cAcc_Id = ? AND iYear = ?"),
                       {m_request.accountId, year})
               .toLongLong() > 0;
}

void VqLogin::heartbeat() {
    m_tasks->heartbeat();
}

}  // namespace qc
