#include "host/HostDb.h"

namespace qc {

void HostDb::Open(const QString& connectionText) {
    // Reopening replaces the connection; the old one is closed only once the new
    // one is open, so a failed reopen leaves the object as it was.
    auto db = Database::open(connectionText, OpenMode::Account);
    m_db = std::move(db);
}

void HostDb::Open(std::shared_ptr<Database> connection) {
    if (!connection) throw DbError(QStringLiteral("主机数据库对象尚未打开"));
    m_db = std::move(connection);
}

Database& HostDb::Connection() {
    if (!m_db) throw DbError(QStringLiteral("主机数据库对象尚未打开"));
    return *m_db;
}

void HostDb::Execute(const QString& sql, const QVariantList& binds) {
    Connection().exec(sql, binds);
}

QSqlQuery HostDb::OpenRecordset(const QString& sql, const QVariantList& binds) {
    return Connection().exec(sql, binds);
}

void HostDb::Close() {
    m_db.reset();
}

}  // namespace qc
