#pragma once

#include <QList>
#include <QString>

namespace qc {

class Database;

namespace demo {

struct DemoUser {
    QString userId;
    QString userName;
    QString password;
    QString description;  // what the operator may do, for the printed list
};

struct DemoInfo {
    QString accountId;  // "001"
    int year = 0;       // 2026
    QList<DemoUser> users;
};

// Creates every table (idempotent) and nothing else.
void initDatabase(Database& db);

// Fills an empty account database with the demo company (account "001", year
// 2026) and its two operators. Runs in one transaction.
DemoInfo createDemo(Database& db);

struct ScaleOptions {
    int items = 1000;
    int warehouses = 10;
    int openings = 1000;
    int stockLines = 10000;
    int dispatchLines = 1000;
    quint32 seed = 1;
};

struct ScaleReport {
    qint64 items = 0, warehouses = 0, openings = 0, stockLines = 0, dispatchLines = 0;
    qint64 milliseconds = 0;
};

// Fills an empty account database with an account of the given size, the same for
// the same options. Operators as in the demo.
ScaleReport generateScale(Database& db, const ScaleOptions& options);

// The default demo file: <application data folder>/demo.db (or $QC_DEMO_DB).
QString defaultDemoPath();

}  // namespace demo
}  // namespace qc
