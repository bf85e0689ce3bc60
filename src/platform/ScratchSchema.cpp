#include "platform/ScratchSchema.h"

#include "platform/Database.h"

#include <QRegularExpression>
#include <QUrl>

namespace qc {

namespace {

// The name goes into DDL, which takes no bound values: only a plain identifier.
const QString& checked(const QString& schema) {
    static const QRegularExpression plain(QStringLiteral("^[a-z_][a-z0-9_]{0,62}$"));
    if (!plain.match(schema).hasMatch()) throw DbError(QStringLiteral("模式名不合法：%1").arg(schema));
    return schema;
}

}  // namespace

QString createScratchSchema(const QString& adminConnection, const QString& schema) {
    auto admin = Database::open(adminConnection);
    admin->exec(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(checked(schema)));
    admin->exec(QStringLiteral("CREATE SCHEMA %1").arg(schema));
    QUrl url(adminConnection);
    url.setQuery(QStringLiteral("options=-csearch_path%3D") + schema);
    return url.toString();
}

void dropScratchSchema(const QString& adminConnection, const QString& schema) {
    Database::open(adminConnection)
        ->exec(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(checked(schema)));
}

}  // namespace qc
