#include "host/YrCommon.h"

#include "host/HostDb.h"
#include "host/Users.h"
#include "host/VqLogin.h"
#include "platform/Database.h"

namespace qc {

namespace {

// Whether the operator sees only granted codes of an object type. An operator
// with all rights never is.
bool restricted(Database& db, const VqLogin& login, const QString& object) {
    if (login.allRights()) return false;
    return db.scalar(QStringLiteral("SELECT COUNT(*) FROM qc_data_scope WHERE cUserId = ? AND cObject = ?"),
                     {login.UserId(), object})
               .toLongLong() > 0;
}

bool writeOnly(const QString& right) {
    return right.trimmed().compare(QStringLiteral("W"), Qt::CaseInsensitive) == 0;
}

}  // namespace

bool YrCommon::login(VqLogin& login) {
    m_login = &login;
    return true;
}

QString YrCommon::RightsSysId() {
    if (!m_login) return QStringLiteral("IA");
    const QString v = textOf(m_login->Database().Connection().scalar(
                                 QStringLiteral("SELECT cValue FROM qc_setting WHERE cName = ?"),
                                 {QStringLiteral("RightsSysId")}))
                          .trimmed();
    return v.isEmpty() ? QStringLiteral("IA") : v;
}

// The codes come out in code order, as the dictionaries list them. Inventory
// rights hold Inventory.iId values and come out as integers, to stand in an
// "iId IN (...)" on either back end. Operator rights are granted by operator id
// and come out as operator names, which is what the ledger's operator columns
// (cMaker, cHandler, cAccounter) hold.
SqlFragment YrCommon::GetRightsSql(const QString& objectType, const QString& /*reserved*/,
                                   const QString& right) {
    if (!m_login) return {QStringLiteral("Null"), {}};
    const QString object = Users::canonicalObject(objectType);
    if (object.isEmpty()) return {};
    Database& db = m_login->Database().Connection();
    if (!restricted(db, *m_login, object)) return {};

    const QString write = writeOnly(right) ? QStringLiteral(" AND r.bWrite = 1") : QString();
    const QVariantList binds{m_login->UserId(), object};
    const qint64 granted =
        db.scalar(
              QStringLiteral("SELECT COUNT(*) FROM qc_data_right r WHERE r.cUserId = ? AND r.cObject = ?") +
                  write,
              binds)
            .toLongLong();
    if (granted == 0) return {QStringLiteral("Null"), {}};

    if (object == u"Inventory")
        return {QStringLiteral("SELECT CAST(r.cCode AS INTEGER) FROM qc_data_right r "
                               "WHERE r.cUserId = ? AND r.cObject = ?%1 ORDER BY 1")
                    .arg(write),
                binds};
    if (object == u"User")
        return {
            QStringLiteral("SELECT u.cUserName FROM qc_data_right r JOIN qc_user u ON u.cUserId = r.cCode "
                           "WHERE r.cUserId = ? AND r.cObject = ?%1 ORDER BY u.cUserName")
                .arg(write),
            binds};
    return {QStringLiteral(
                "SELECT r.cCode FROM qc_data_right r WHERE r.cUserId = ? AND r.cObject = ?%1 ORDER BY 1")
                .arg(write),
            binds};
}

bool YrCommon::HasRight(const QString& objectType, const QString& code, const QString& right,
                        const QString& /*reserved*/) {
    if (!m_login) return false;
    const QString object = Users::canonicalObject(objectType);
    if (object.isEmpty()) return false;
    Database& db = m_login->Database().Connection();
    if (!restricted(db, *m_login, object)) return true;

    QString granted = code.trimmed();
    if (object == u"Inventory") {
        // Asked by inventory code, granted by Inventory.iId.
        const QVariant id = db.scalar(QStringLiteral("SELECT iId FROM Inventory WHERE cInvCode = ?"), {code});
        if (!id.isValid() || id.isNull()) return false;
        granted = QString::number(id.toLongLong());
    }
    const QString write = writeOnly(right) ? QStringLiteral(" AND bWrite = 1") : QString();
    return db.scalar(QStringLiteral("SELECT COUNT(*) FROM qc_data_right WHERE cUserId = ? AND cObject = ? "
                                    "AND cCode = ?") +
                         write,
                     {m_login->UserId(), object, granted})
               .toLongLong() > 0;
}

}  // namespace qc
