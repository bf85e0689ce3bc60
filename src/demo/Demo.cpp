#include "demo/Demo.h"

#include "demo/DemoCatalogue.h"
#include "demo/DemoCommon.h"
#include "platform/Database.h"
#include "platform/Decimal.h"
#include "platform/Schema.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QStandardPaths>

namespace qc::demo {

using namespace detail;
using namespace catalogue;

void initDatabase(Database& db) {
    createSchema(db);
}

QString defaultDemoPath() {
    QString env = QString::fromLocal8Bit(qgetenv("QC_DEMO_DB"));
    if (!env.isEmpty()) return env;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(folder);
    return QDir(folder).filePath(QStringLiteral("demo.db"));
}

DemoInfo createDemo(Database& db) {
    initDatabase(db);
    Transaction tx(db);
    requireEmpty(db);
    writeAccountSettings(db, QStringLiteral("华信机电设备有限公司"));
    writeCommonDictionaries(db);
    writeItems(db);
    const auto openings = writeStockDocuments(db);
    writeOpeningRows(db, openings);
    writeSales(db);

    // The clerk keeps the raw-material and finished-goods warehouses (the finished
    // goods read-only), the sales departments and the warehouse staff, and the
    // items of classes 01 and 02.
    ClerkScope scope;
    scope.warehouses = {QStringLiteral("01"), QStringLiteral("02"), QStringLiteral("03")};
    scope.writableWarehouses = {QStringLiteral("01"), QStringLiteral("02")};
    scope.departments = {QStringLiteral("0401"), QStringLiteral("0402"), QStringLiteral("06")};
    QSqlQuery q = db.exec(
        QStringLiteral("SELECT iId FROM Inventory WHERE cInvCCode LIKE ? OR cInvCCode LIKE ? ORDER BY iId"),
        {QStringLiteral("01%"), QStringLiteral("02%")});
    while (q.next()) scope.inventoryIds << q.value(0).toInt();

    DemoInfo info;
    info.accountId = kAccount;
    info.year = kYear;
    info.users = createOperators(db, scope);
    tx.commit();
    return info;
}

}  // namespace qc::demo
