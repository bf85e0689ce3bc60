#include "host/Users.h"

#include "host/Crypto.h"
#include "platform/Database.h"
#include "platform/Dialect.h"

#include <stdexcept>

namespace qc::Users {

namespace {
UserRecord recordOf(const QSqlQuery& q) {
    UserRecord u;
    u.userId = textOf(q.value(0));
    u.userName = textOf(q.value(1));
    u.allRights = intOf(q.value(2)) != 0;
    return u;
}

QString checkedObject(const QString& objectType) {
    QString o = canonicalObject(objectType);
    if (o.isEmpty())
        throw std::invalid_argument("unknown data-rights object type: " + objectType.toStdString());
    return o;
}
}  // namespace

QString canonicalObject(const QString& objectType) {
    static const QStringList known{QStringLiteral("Warehouse"), QStringLiteral("Department"),
                                   QStringLiteral("Inventory"), QStringLiteral("User")};
    for (const QString& k : known)
        if (k.compare(objectType.trimmed(), Qt::CaseInsensitive) == 0) return k;
    return {};
}

void createUser(Database& db, const QString& userId, const QString& userName, const QString& password,
                bool allRights) {
    if (userId.trimmed().isEmpty()) throw std::invalid_argument("an operator needs an id");
    db.exec(
        QStringLiteral("INSERT INTO qc_user (cUserId, cUserName, cPassword, bAllRights) VALUES (?, ?, ?, ?) "
                       "ON CONFLICT (cUserId) DO UPDATE SET cUserName = excluded.cUserName, "
                       "cPassword = excluded.cPassword, bAllRights = excluded.bAllRights"),
        {userId, userName, crypto::hashPassword(password), allRights ? 1 : 0});
}

std::optional<UserRecord> find(Database& db, const QString& userId) {
    QSqlQuery q = db.exec(
        QStringLiteral("SELECT cUserId, cUserName, bAllRights FROM qc_user WHERE cUserId = ?"), {userId});
    if (!q.next()) return std::nullopt;
    return recordOf(q);
}

std::optional<UserRecord> authenticate(Database& db, const QString& userId, const QString& password) {
    QSqlQuery q = db.exec(
        QStringLiteral("SELECT cUserId, cUserName, bAllRights, cPassword FROM qc_user WHERE cUserId = ?"),
        {userId});
    if (!q.next()) {
        crypto::verifyStandIn(password);
        return std::nullopt;
    }
    const UserRecord u = recordOf(q);
    if (!crypto::verifyPassword(textOf(q.value(3)), password)) return std::nullopt;
    return u;
}

void grantFunction(Database& db, const QString& userId, const QString& funcId) {
    // An empty prefix would cover every function: refuse it rather than grant all.
    if (funcId.trimmed().isEmpty()) throw std::invalid_argument("a function right needs a function id");
    db.exec(QStringLiteral("INSERT INTO qc_func_right (cUserId, cFuncId) VALUES (?, ?) "
                           "ON CONFLICT (cUserId, cFuncId) DO NOTHING"),
            {userId, funcId.trimmed()});
}

bool holdsFunction(Database& db, const QString& userId, const QString& funcId) {
    const auto u = find(db, userId);
    if (!u) return false;
    if (u->allRights) return true;
    if (funcId.isEmpty()) return false;
    // A granted id is a prefix of the asked one; compared with substr so that '_'
    // or '%' in an id is never a pattern.
    const QString sql = QStringLiteral(
                            "SELECT COUNT(*) FROM qc_func_right WHERE cUserId = ? AND length(cFuncId) > 0 "
                            "AND substr(%1, 1, length(cFuncId)) = cFuncId")
                            .arg(db.dialect().typedText());
    return db.scalar(sql, {userId, funcId}).toLongLong() > 0;
}

void restrict(Database& db, const QString& userId, const QString& objectType) {
    db.exec(QStringLiteral("INSERT INTO qc_data_scope (cUserId, cObject) VALUES (?, ?) "
                           "ON CONFLICT (cUserId, cObject) DO NOTHING"),
            {userId, checkedObject(objectType)});
}

void grantData(Database& db, const QString& userId, const QString& objectType, const QString& code,
               bool write) {
    const QString object = checkedObject(objectType);
    QString stored = code.trimmed();
    if (stored.isEmpty()) throw std::invalid_argument("a data right needs a code");
    if (object == u"Inventory") {
        // Inventory rights list Inventory.iId values; the list is used as integers.
        bool ok = false;
        const qlonglong id = stored.toLongLong(&ok);
        if (!ok)
            throw std::invalid_argument("an inventory right needs an Inventory.iId value: " +
                                        code.toStdString());
        stored = QString::number(id);
    }
    db.exec(QStringLiteral("INSERT INTO qc_data_right (cUserId, cObject, cCode, bWrite) VALUES (?, ?, ?, ?) "
                           "ON CONFLICT (cUserId, cObject, cCode) DO UPDATE SET bWrite = excluded.bWrite"),
            {userId, object, stored, write ? 1 : 0});
}

}  // namespace qc::Users
