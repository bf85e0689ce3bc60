#pragma once

#include "host/HostDb.h"

#include <QDate>
#include <QString>

#include <memory>

namespace qc {

class Database;

// The host's account-parameter object.
class AccPara {
  public:
    void setDatabase(HostDb& db) { m_db = &db; }
    // Initialisation with the login's connection text and password (kept). Without
    // setDatabase, the object opens its own connection from the text on first use.
    void Init(const QString& connectText, const QString& password);

    // cValue of AccInformation (cDefault when cValue is empty), "" when missing.
    QString GetParam(const QString& name, const QString& sysId);
    // Posted state of the openings of a subsystem: an AccInformation row
    // (cSysID = sysId, cName = "bQCAccount") whose value is "1" or "true".
    bool IsPosted(const QString& sysId);
    void SetPosted(const QString& sysId, bool posted);
    // Makes the calling unit of work the only one that changes the openings of the
    // account until it ends: posting, cancelling and every writer of opening rows
    // take it first and then read the posted state, which is then the committed one
    // and cannot change under them. On PostgreSQL a transaction-scoped advisory
    // lock of the account's schema; SQLite's units of work hold the write lock from
    // their start already. Must be called inside a transaction.
    void LockOpenings();
    // Current period of a subsystem ("" = IA, "PU", "ST"): the first GL_mEnd period
    // whose bFlag_<sys> is not set; 13 when every period is closed, 1 when no
    // month-end rows exist yet. An unknown subsystem id throws DbError.
    int CurrentPeriod(const QString& sysId);
    // Valuation method of a warehouse (Warehouse.cWhValueStyle), "" when unknown.
    QString WarehouseValueStyle(const QString& whCode);
    // The warehouse code of a list text "<code padded to 15><name>".
    static QString WarehouseCodeOf(const QString& listText);
    // Inventory account lookup in `code`: true and the name when the code is an
    // end-level account.
    bool InventoryAccount(const QString& code, QString* name);

  private:
    // The database object given, or one opened from the connection text of Init.
    Database& db();
    HostDb* m_db = nullptr;
    std::unique_ptr<HostDb> m_own;
    QString m_connectText, m_password;
};

// The host's system-context object: initialised for a subsystem; keeps the values.
struct SysContext {
    QString sysId, accountId, userId;
    int year = 0;
    QDate loginDate;
    void Init(const QString& sys, HostDb& db, const QString& acc, int yr, const QString& user,
              const QDate& date, const QString& password);
};

// A number unique to a running instance across processes and machines, drawn from
// the counter table of the account database.
int InstanceNumberSource(Database& db);
// A text usable in file and table names, unique to this process ("q" + hex).
QString UniqueTag();

}  // namespace qc
