// Where a database is and how values come back from it: the connection string,
// statement fragments with their bound values, and the readers of returned values.

#include "platform/Database.h"

#include <QDate>
#include <QUrl>
#include <QUrlQuery>

namespace qc {

SqlFragment SqlFragment::andWith(const SqlFragment& other) const {
    if (isEmpty()) return other;
    if (other.isEmpty()) return *this;
    SqlFragment f{sql + QStringLiteral(" AND ") + other.sql, binds};
    f.binds += other.binds;
    return f;
}

ConnectionInfo ConnectionInfo::parse(const QString& connectionString) {
    ConnectionInfo info;
    QString s = connectionString.trimmed();
    if (s.startsWith(QStringLiteral("postgresql://")) || s.startsWith(QStringLiteral("postgres://"))) {
        QUrl url(s);
        info.kind = DbKind::Postgres;
        info.host = url.host().isEmpty() ? QStringLiteral("localhost") : url.host();
        info.port = url.port(5432);
        info.user = url.userName();
        info.password = url.password();
        info.dbName = url.path().mid(1);
        info.options = QUrlQuery(url).toString(QUrl::FullyDecoded).replace(u'&', u';');
        return info;
    }
    info.kind = DbKind::Sqlite;
    info.path = s.startsWith(QStringLiteral("sqlite:")) ? s.mid(7) : s;
    return info;
}

QString ConnectionInfo::display() const {
    if (kind == DbKind::Sqlite) return path;
    return QStringLiteral("postgresql://%1@%2:%3/%4").arg(user, host).arg(port).arg(dbName);
}

QString ConnectionInfo::toConnectionString() const {
    if (kind == DbKind::Sqlite) return path;
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    url.setHost(host);
    url.setPort(port);
    url.setUserName(user);
    url.setPassword(password);
    url.setPath(u'/' + dbName);
    return url.toString();
}

QString textOf(const QVariant& v) {
    return v.isNull() ? QString() : v.toString();
}

QDate dateOf(const QVariant& v) {
    if (v.isNull()) return {};
    if (v.typeId() == QMetaType::QDate) return v.toDate();
    if (v.typeId() == QMetaType::QDateTime) return v.toDateTime().date();
    const QString s = v.toString().trimmed();
    QDate d = QDate::fromString(s.left(10), Qt::ISODate);
    if (!d.isValid()) d = QDate::fromString(s.left(10), QStringLiteral("yyyy/MM/dd"));
    return d;
}

QVariant dateOrNull(const QDate& d) {
    return d.isValid() ? QVariant(d) : QVariant(QMetaType(QMetaType::QDate));
}

int intOf(const QVariant& v) {
    if (v.isNull()) return 0;
    bool ok = false;
    const int i = v.toInt(&ok);
    if (ok) return i;
    return static_cast<int>(v.toString().trimmed().toDouble());
}

}  // namespace qc
