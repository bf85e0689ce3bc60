#pragma once

#include "host/VqLogin.h"
#include "platform/Database.h"

#include <QDate>
#include <QList>
#include <QString>

#include <memory>

namespace qc {

// An account of the account database as the login offers it.
struct AccountChoice {
    QString id;                             // "001"
    QString name;                           // "示范企业"
    QList<int> years;                       // the years set up for it, ascending
    [[nodiscard]] QString display() const;  // "[001] 示范企业"
};

// The rules of the login dialog, without widgets: what it offers, what it fills
// in by default, what it checks before asking the login object, and the refusal.
class LoginForm {
  public:
    enum class Field { Database, Account, Year, Operator, Password, LoginDate };

    // The demo database file.
    static QString defaultConnection();

    // Reads the accounts and the default login date of a database. A SQLite file
    // that does not exist is refused, not created; a database that is not an
    // account is refused and left unchanged. On failure the accounts are empty and
    // *error says why.
    bool loadDatabase(const QString& connectionString, QString* error);
    [[nodiscard]] QString loadedConnection() const { return m_loaded; }
    [[nodiscard]] const QList<AccountChoice>& accounts() const { return m_accounts; }
    [[nodiscard]] const AccountChoice* account(const QString& id) const;
    // The refusal for an account the loaded database does not have; "" when it has it.
    [[nodiscard]] QString missingAccount(const QString& id) const;
    // The start date of inventory accounting (dIAStartDate) when the database has
    // one, otherwise today.
    [[nodiscard]] QDate defaultLoginDate() const;
    [[nodiscard]] QDate startDate() const { return m_startDate; }

    // The account id typed or picked: "[001] 示范企业" and "001" both give "001".
    static QString accountIdOf(const QString& text);

    // Every field the login needs is there; otherwise false, the message and the
    // field to go back to.
    static bool validate(const LoginRequest& request, QString* message, Field* field);

    // Checks the fields and asks the login object. On refusal returns null with
    // the message and the field to go back to (the password after a refusal).
    std::unique_ptr<VqLogin> login(const LoginRequest& request, QString* message, Field* field);

    // The name of an account, "" when unknown.
    static QString accountName(Database& db, const QString& accountId);

  private:
    QString m_loaded;
    QList<AccountChoice> m_accounts;
    QDate m_startDate;
    // The connection the accounts were read on, until a login takes it.
    std::unique_ptr<Database> m_connection;
};

}  // namespace qc
