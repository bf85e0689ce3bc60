#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

namespace qc {

class Database;

struct UserRecord {
    QString userId;    // the login name ("demo")
    QString userName;  // the person's name shown in messages ("张会计")
    bool allRights = false;
};

// Operators of the account database, their function rights and data rights.
// Passwords are kept only as libsodium password hashes.
namespace Users {

// Adds or replaces an operator. allRights: every function right, no data-rights
// restriction.
void createUser(Database& db, const QString& userId, const QString& userName, const QString& password,
                bool allRights);
// The operator when the password is right; nothing otherwise (also for an unknown id).
std::optional<UserRecord> authenticate(Database& db, const QString& userId, const QString& password);
std::optional<UserRecord> find(Database& db, const QString& userId);

// Function rights: a right on "ASM3101" covers every function id that starts with it.
void grantFunction(Database& db, const QString& userId, const QString& funcId);
bool holdsFunction(Database& db, const QString& userId, const QString& funcId);

// Data rights. objectType is "Warehouse", "Department", "Inventory" or "User".
// restrict() makes the operator see only the codes granted for that object type
// (none at all until some are granted); an object type never restricted is open.
// For "Inventory" the codes are Inventory.iId values as text (anything else is
// refused with std::invalid_argument); for "User" they are operator ids.
void restrict(Database& db, const QString& userId, const QString& objectType);
void grantData(Database& db, const QString& userId, const QString& objectType, const QString& code,
               bool write);

// The stored spelling of an object type ("warehouse" -> "Warehouse"); empty for a
// type that is not one of the four.
QString canonicalObject(const QString& objectType);

}  // namespace Users

}  // namespace qc
