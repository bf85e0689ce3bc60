#pragma once

#include <QString>

#include <stdexcept>

namespace qc {

// A failed statement: the driver's text and the statement that failed.
class DbError : public std::runtime_error {
  public:
    // The causes a caller answers differently; the message names the cause either way.
    enum class Kind {
        Failed,        // the statement or the connection failed (the driver's text says why)
        ReadOnly,      // the database takes no writes (a read-only file or server)
        NotAnAccount,  // the database is there but holds no account (or is no database at all)
        OutOfRange,    // a number the column cannot hold
        Busy,          // another copy holds the database or the rows (a lock not given in time)
        Full,          // the disk or the database file is full
        Lost,          // the connection to the server broke off
        Cancelled,     // the user stopped the work before it was committed (nothing is changed)
    };
    DbError(const QString& message, QString statement = {}, Kind kind = Kind::Failed);
    [[nodiscard]] QString message() const { return m_message; }
    [[nodiscard]] QString statement() const { return m_statement; }
    [[nodiscard]] Kind kind() const { return m_kind; }

  private:
    QString m_message;
    QString m_statement;
    Kind m_kind;
};

}  // namespace qc
