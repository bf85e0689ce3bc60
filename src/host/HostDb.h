#pragma once

#include "platform/Database.h"

#include <QSqlQuery>
#include <QString>

#include <memory>

namespace qc {

// The host's database object (gDb): opened from the login's connection text, it
// runs statements and opens recordsets on its own connection to the account
// database. Connection() is the connection that queries run on.
class HostDb {
  public:
    HostDb() = default;
    // Opens (or reopens) the connection to an existing account database; anything
    // else is refused unchanged. Throws DbError.
    void Open(const QString& connectionText);
    // Runs on a connection already open to the account (the login's account list,
    // the component's own connection) instead of opening another one.
    void Open(std::shared_ptr<Database> connection);
    [[nodiscard]] bool isOpen() const { return m_db != nullptr; }
    // The open connection; throws DbError when closed.
    Database& Connection();
    void Execute(const QString& sql, const QVariantList& binds = {});
    QSqlQuery OpenRecordset(const QString& sql, const QVariantList& binds = {});
    void Close();

  private:
    std::shared_ptr<Database> m_db;
};

}  // namespace qc
