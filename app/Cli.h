#pragma once

#include "demo/Demo.h"
#include "host/VqLogin.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <memory>
#include <stdexcept>

namespace qc {

class ConditionFields;
struct CodeBox;
class Database;
class RecordingSink;
struct LoginContext;
struct WarehouseEntry;
namespace grid {
struct ColumnSpec;
}  // namespace grid

namespace cli {

class OperatorSession;

// A wrong command line: unknown option, missing or malformed value.
class UsageError : public std::runtime_error {
  public:
    explicit UsageError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    [[nodiscard]] QString message() const { return m_message; }

  private:
    QString m_message;
};

// A command that did its work but ends with another exit code than 0 (what it
// found is in its output already), e.g. 3: the reconciliation found differences.
class ExitCode : public std::exception {
  public:
    explicit ExitCode(int code) : m_code(code) {}
    [[nodiscard]] int code() const { return m_code; }
    [[nodiscard]] const char* what() const noexcept override { return "exit code"; }

  private:
    int m_code;
};

struct Option {
    QString name;       // without the leading "--"
    QString valueName;  // empty: a switch without a value
    QString help;
};

// The options given to a sub-command, checked against its option list.
class Arguments {
  public:
    [[nodiscard]] bool has(const QString& name) const { return values.contains(name); }
    [[nodiscard]] QString value(const QString& name, const QString& fallback = {}) const {
        return values.value(name, fallback);
    }
    // A whole number within [min, max]; the fallback when the option is absent.
    [[nodiscard]] qint64 integer(const QString& name, qint64 fallback, qint64 min, qint64 max) const;
    // --db, or the demo database.
    [[nodiscard]] QString database() const;

    QHash<QString, QString> values;
    bool help = false;  // --help or -h where an option stands
};

struct Command {
    QString name;
    QString summary;
    QList<Option> options;
    // Does the work and writes its report to out; throws on failure (UsageError,
    // DbError or any std::exception), which makes the exit code 1.
    std::function<void(const Arguments&, QTextStream& out)> run;
};

// The sub-commands, in the order --help lists them. A new sub-command is one more
// entry in this table (Cli.cpp).
const QList<Command>& commands();
const Command* findCommand(const QString& name);

// Runs a command line without the program name ("init-demo --db x.db"). Returns
// the exit code: 0 done, 1 failed (the reason on err).
int run(const QStringList& arguments, QTextStream& out, QTextStream& err);
QString usage();

// Shared by sub-commands.
// The option --db every sub-command takes.
Option databaseOption();
// The login options (--account, --year, --user, --password, --date) of the
// sub-commands that act as an operator.
QList<Option> loginOptions();
// Logs in with the login options on the --db database; throws UsageError with
// the login's refusal.
std::unique_ptr<VqLogin> loginFrom(const Arguments& args);
// The condition options of the commands that stand for a condition dialog
// (--warehouses, --class, --from, --to), and their checks: the warehouses among
// those the operator may see (all of them without --warehouses), the class and
// the bounds as leaving the dialog's boxes checks them, each refusal thrown with
// the dialog's message. The chosen warehouses are returned.
QList<Option> conditionOptions();
QList<WarehouseEntry> chooseWarehouses(ConditionFields& fields, const Arguments& args, RecordingSink& sink);
void checkCodeBoxes(ConditionFields& fields, const Arguments& args, RecordingSink& sink);
// A code box of a dialog given on the command line (nothing when `code` is
// empty): checked as leaving the box checks it, the refusal (the dialog's
// message) thrown.
void checkCodeBox(CodeBox& box, const QString& code, const std::function<bool()>& leave, RecordingSink& sink);
// What a command that stands for a window shows: the window's title, its
// columns and its lines (empty: `empty` says why, the window's own message).
struct GridResult {
    QString title;
    QList<grid::ColumnSpec> columns;
    QList<QStringList> rows;
    QString empty;
};
// The summary and the reconciliation as their commands compute them, from the
// same options (CliSummary.cpp, CliReconcile.cpp).
GridResult summaryResult(const Arguments& args, OperatorSession& session);
GridResult reconcileResult(const Arguments& args, OperatorSession& session);
QList<Option> summaryOptions();
QList<Option> reconcileOptions();

// A result grid's captions and lines as an aligned table (numbers to the right) or
// as CSV (RFC 4180, CRLF).
void printGrid(const QList<grid::ColumnSpec>& columns, const QList<QStringList>& rows, bool csv,
               QTextStream& out);

// Whether standard input is a terminal one can be asked a password on.
bool inputIsTerminal();
// Reads the password from the terminal without echoing it.
QString promptPassword();
// An operator's session for the sub-commands that act as one: --user required,
// the password from --password, else from the environment variable QC_PASSWORD,
// else asked for on the terminal (refused without one); the login, and the
// context opened as the entry window opens it with its messages recorded; closed
// at the end.
class OperatorSession {
  public:
    explicit OperatorSession(const Arguments& given);
    ~OperatorSession();
    OperatorSession(const OperatorSession&) = delete;
    OperatorSession& operator=(const OperatorSession&) = delete;
    [[nodiscard]] LoginContext& ctx() { return *m_ctx; }
    [[nodiscard]] VqLogin& login() { return *m_login; }
    [[nodiscard]] RecordingSink& sink() { return *m_sink; }

  private:
    std::unique_ptr<VqLogin> m_login;
    std::unique_ptr<RecordingSink> m_sink;
    std::unique_ptr<LoginContext> m_ctx;
};

// Builds the demo account in a database; a SQLite file is deleted first, but only
// an account or an empty one (another program's file is refused).
demo::DemoInfo createDemoAccount(const QString& connectionString);
// Opens an existing account database; a SQLite file that is not there, or a
// database that is not an account, is an error and stays as it was.
std::unique_ptr<Database> openExisting(const QString& connectionString);

}  // namespace cli
}  // namespace qc
