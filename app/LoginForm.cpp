#include "LoginForm.h"

#include "demo/Demo.h"
#include "platform/Database.h"

#include <QFileInfo>

namespace qc {

namespace {

// Dates in AccInformation are kept as text; older accounts wrote them with
// slashes.
QDate parseDate(const QString& text) {
    const QString t = text.trimmed().left(10);
    for (const QString& format :
         {QStringLiteral("yyyy-MM-dd"), QStringLiteral("yyyy/M/d"), QStringLiteral("yyyy-M-d")}) {
        const QDate d = QDate::fromString(t, format);
        if (d.isValid()) return d;
    }
    return {};
}

bool sqliteFileMissing(const QString& connectionString, QString* path) {
    const ConnectionInfo info = ConnectionInfo::parse(connectionString);
    if (info.kind != DbKind::Sqlite) return false;
    *path = info.path;
    return !QFileInfo(info.path).isFile();
}

}  // namespace

QString AccountChoice::display() const {
    return name.isEmpty() ? QStringLiteral("[%1]").arg(id) : QStringLiteral("[%1] %2").arg(id, name);
}

QString LoginForm::defaultConnection() {
    return demo::defaultDemoPath();
}

bool LoginForm::loadDatabase(const QString& connectionString, QString* error) {
    m_loaded.clear();
    m_accounts.clear();
    m_startDate = QDate();
    m_connection.reset();
    const QString conn = connectionString.trimmed();
    if (conn.isEmpty()) {
        if (error) *error = QStringLiteral("请输入数据库。");
        return false;
    }
    QString path;
    if (sqliteFileMissing(conn, &path)) {
        if (error) *error = QStringLiteral("数据库文件不存在：%1").arg(path);
        return false;
    }
    std::unique_ptr<Database> opened;
    try {
        opened = Database::open(conn, OpenMode::Account);
        Database* db = opened.get();
        QSqlQuery accounts = db->exec(
            QStringLiteral("SELECT cAcc_Id, cAcc_Name, iYear FROM UA_Account ORDER BY cAcc_Id, iYear"));
        while (accounts.next()) {
            const QString id = textOf(accounts.value(0)).trimmed();
            if (m_accounts.isEmpty() || m_accounts.last().id != id) m_accounts << AccountChoice{id, {}, {}};
            AccountChoice& a = m_accounts.last();
            if (a.name.isEmpty()) a.name = textOf(accounts.value(1)).trimmed();
            const int year = intOf(accounts.value(2));
            if (year > 0 && !a.years.contains(year)) a.years << year;
        }
        if (db->tableExists(QStringLiteral("AccInformation"))) {
            QSqlQuery q = db->exec(
                QStringLiteral("SELECT cValue, cDefault FROM AccInformation WHERE cSysID = ? AND cName = ?"),
                {QStringLiteral("IA"), QStringLiteral("dIAStartDate")});
            if (q.next()) {
                const QString value = textOf(q.value(0));
                m_startDate = parseDate(value.trimmed().isEmpty() ? textOf(q.value(1)) : value);
            }
        }
    } catch (const DbError& e) {
        m_accounts.clear();
        if (error)
            *error = e.kind() == DbError::Kind::Failed ? QStringLiteral("无法打开数据库：%1").arg(e.message())
                                                       : e.message();
        return false;
    }
    m_loaded = conn;
    m_connection = std::move(opened);
    if (error) error->clear();
    return true;
}

const AccountChoice* LoginForm::account(const QString& id) const {
    for (const AccountChoice& a : m_accounts) {
        if (a.id == id) return &a;
    }
    return nullptr;
}

QString LoginForm::missingAccount(const QString& id) const {
    if (account(id)) return {};
    if (m_accounts.isEmpty()) return QStringLiteral("账套数据库中还没有账套。");
    QStringList ids;
    for (const AccountChoice& a : m_accounts) ids << a.id;
    return QStringLiteral("账套 %1 不存在（本数据库的账套：%2）。").arg(id, ids.join(QStringLiteral("、")));
}

QDate LoginForm::defaultLoginDate() const {
    return m_startDate.isValid() ? m_startDate : QDate::currentDate();
}

QString LoginForm::accountIdOf(const QString& text) {
    const QString t = text.trimmed();
    if (t.startsWith(u'[')) {
        const qsizetype end = t.indexOf(u']');
        if (end > 0) return t.mid(1, end - 1).trimmed();
    }
    return t.section(u' ', 0, 0);
}

bool LoginForm::validate(const LoginRequest& request, QString* message, Field* field) {
    auto refuse = [&](Field f, const QString& text) {
        if (message) *message = text;
        if (field) *field = f;
        return false;
    };
    if (request.connectionString.trimmed().isEmpty())
        return refuse(Field::Database, QStringLiteral("请输入数据库。"));
    if (request.accountId.trimmed().isEmpty()) return refuse(Field::Account, QStringLiteral("请选择账套。"));
    if (request.accountYear < 1900 || request.accountYear > 9999)
        return refuse(Field::Year, QStringLiteral("请输入正确的年度。"));
    if (request.userId.trimmed().isEmpty()) return refuse(Field::Operator, QStringLiteral("请输入操作员。"));
    if (!request.loginDate.isValid())
        return refuse(Field::LoginDate, QStringLiteral("请输入正确的登录日期。"));
    return true;
}

std::unique_ptr<VqLogin> LoginForm::login(const LoginRequest& request, QString* message, Field* field) {
    if (!validate(request, message, field)) return nullptr;
    QString path;
    if (sqliteFileMissing(request.connectionString, &path)) {
        if (message) *message = QStringLiteral("数据库文件不存在：%1").arg(path);
        if (field) *field = Field::Database;
        return nullptr;
    }
    LoginRequest r = request;
    r.connectionString = r.connectionString.trimmed();
    r.accountId = r.accountId.trimmed();
    r.userId = r.userId.trimmed();
    // The accounts are listed to anyone who opens the database, so an unknown one is
    // said plainly.
    if (r.connectionString == m_loaded) {
        if (const QString missing = missingAccount(r.accountId); !missing.isEmpty()) {
            if (message) *message = missing;
            if (field) *field = Field::Account;
            return nullptr;
        }
    }
    // The connection that listed the accounts is the login's, when it is to the
    // same database: a command or a desk opens one connection fewer.
    std::unique_ptr<Database> listed;
    if (r.connectionString == m_loaded && r.dbPassword.isEmpty()) listed = std::move(m_connection);
    QString error;
    std::unique_ptr<VqLogin> l = VqLogin::login(r, &error, std::move(listed));
    if (!l) {
        if (message) *message = error;
        if (field) *field = Field::Password;
    }
    return l;
}

QString LoginForm::accountName(Database& db, const QString& accountId) {
    if (!db.tableExists(QStringLiteral("UA_Account"))) return {};
    return textOf(db.scalar(QStringLiteral(
                                "SELECT cAcc_Name FROM UA_Account WHERE cAcc_Id = ? ORDER BY iYear DESC"),
                            {accountId}))
        .trimmed();
}

}  // namespace qc
