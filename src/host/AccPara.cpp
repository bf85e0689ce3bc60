#include "host/AccPara.h"

#include "host/Crypto.h"
#include "host/HostDb.h"
#include "platform/Database.h"
#include "platform/Dialect.h"

#include <limits>

namespace qc {

namespace {
const QString kPostedName = QStringLiteral("bQCAccount");

// Subsystems whose month-end state GL_mEnd keeps in a column bFlag_<id>. The
// column name is built only from these.
const QStringList& knownSubsystems() {
    static const QStringList ids{QStringLiteral("IA"), QStringLiteral("PU"), QStringLiteral("ST"),
                                 QStringLiteral("SA"), QStringLiteral("AP"), QStringLiteral("AR"),
                                 QStringLiteral("FA"), QStringLiteral("GL"), QStringLiteral("WA"),
                                 QStringLiteral("CA")};
    return ids;
}
}  // namespace

Database& AccPara::db() {
    if (m_db) return m_db->Connection();
    if (!m_own && !m_connectText.isEmpty()) {
        m_own = std::make_unique<HostDb>();
        m_own->Open(m_connectText);
    }
    if (!m_own) throw DbError(QStringLiteral("账套参数对象尚未连接数据库"));
    return m_own->Connection();
}

void AccPara::Init(const QString& connectText, const QString& password) {
    m_connectText = connectText;
    m_password = password;
    m_own.reset();
}

QString AccPara::GetParam(const QString& name, const QString& sysId) {
    QSqlQuery q = db().exec(
        QStringLiteral("SELECT cValue, cDefault FROM AccInformation WHERE cSysID = ? AND cName = ?"),
        {sysId, name});
    if (!q.next()) return {};
    const QString value = textOf(q.value(0));
    return value.isEmpty() ? textOf(q.value(1)) : value;
}

bool AccPara::IsPosted(const QString& sysId) {
    const QString v =
        textOf(db().scalar(QStringLiteral("SELECT cValue FROM AccInformation WHERE cSysID = ? AND cName = ?"),
                           {sysId, kPostedName}))
            .trimmed();
    return v == u"1" || v.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0;
}

void AccPara::SetPosted(const QString& sysId, bool posted) {
    Database& d = db();
    const QString value = posted ? QStringLiteral("1") : QStringLiteral("0");
    Transaction tx(d);
    if (d.execAffected(QStringLiteral("UPDATE AccInformation SET cValue = ? WHERE cSysID = ? AND cName = ?"),
                       {value, sysId, kPostedName}) == 0)
        d.exec(QStringLiteral("INSERT INTO AccInformation (cSysID, cName, cCaption, cValue, cDefault) "
                              "VALUES (?, ?, ?, ?, ?)"),
               {sysId, kPostedName, QStringLiteral("期初记账"), value, QStringLiteral("0")});
    tx.commit();
}

void AccPara::LockOpenings() {
    Database& d = db();
    if (!d.inTransaction()) throw DbError(QStringLiteral("期初数据的锁只能在事务中取得"));
    const QString lock = d.dialect().transactionLock();
    if (!lock.isEmpty()) d.exec(lock, {QStringLiteral("IA openings")});
}

int AccPara::CurrentPeriod(const QString& sysId) {
    const QString id = sysId.trimmed().isEmpty() ? QStringLiteral("IA") : sysId.trimmed().toUpper();
    if (!knownSubsystems().contains(id)) throw DbError(QStringLiteral("未知的子系统：%1").arg(sysId));
    Database& d = db();
    const QString column = QStringLiteral("bFlag_") + id;
    if (!d.columnsOf(QStringLiteral("GL_mEnd")).contains(column.toLower()))
        throw DbError(QStringLiteral("月末结账表中没有子系统 %1 的结账标志").arg(id));
    QSqlQuery q =
        d.exec(QStringLiteral("SELECT MIN(CASE WHEN COALESCE(%1, 0) <> 1 THEN iPeriod END), COUNT(*) "
                              "FROM GL_mEnd")
                   .arg(column));
    q.next();
    // No month-end rows yet: nothing is closed, the first period is current.
    if (q.value(1).toLongLong() == 0) return 1;
    return q.value(0).isNull() ? 13 : q.value(0).toInt();
}

QString AccPara::WarehouseValueStyle(const QString& whCode) {
    return textOf(
        db().scalar(QStringLiteral("SELECT cWhValueStyle FROM Warehouse WHERE cWhCode = ?"), {whCode}));
}

// The warehouse list pads each code to 15 characters before the name. A code of
// 15 characters or more fills the width without a space; it then runs to the
// first space, or is taken as the 15 characters when the name follows at once.
QString AccPara::WarehouseCodeOf(const QString& listText) {
    const QString head = listText.left(15);
    if (head.contains(QLatin1Char(' ')) || listText.size() <= 15) return head.trimmed();
    const auto space = listText.indexOf(QLatin1Char(' '));
    return space < 0 ? head : listText.left(space);
}

bool AccPara::InventoryAccount(const QString& code, QString* name) {
    QSqlQuery q = db().exec(QStringLiteral("SELECT cCode_Name, bEnd FROM code WHERE cCode = ?"), {code});
    if (!q.next() || intOf(q.value(1)) != 1) return false;
    if (name) *name = textOf(q.value(0));
    return true;
}

void SysContext::Init(const QString& sys, HostDb& /*db*/, const QString& acc, int yr, const QString& user,
                      const QDate& date, const QString& /*password*/) {
    sysId = sys;
    accountId = acc;
    year = yr;
    userId = user;
    loginDate = date;
}

int InstanceNumberSource(Database& db) {
    // One statement adds the counter row or steps it, and hands back the new value:
    // two connections asking at once each get their own number.
    Transaction tx(db);
    QSqlQuery q = db.exec(QStringLiteral("INSERT INTO qc_counter (cName, iValue) VALUES (?, 1) "
                                         "ON CONFLICT (cName) DO UPDATE SET iValue = qc_counter.iValue + 1 "
                                         "RETURNING iValue"),
                          {QStringLiteral("InstanceNo")});
    if (!q.next()) throw DbError(QStringLiteral("未能取得实例编号"));
    const qint64 n = q.value(0).toLongLong();
    q.finish();
    tx.commit();
    // The number is a 32-bit integer to its users; it starts again past the top.
    return static_cast<int>(((n - 1) % std::numeric_limits<int>::max()) + 1);
}

QString UniqueTag() {
    return QStringLiteral("q") + crypto::randomHex(8);
}

}  // namespace qc
