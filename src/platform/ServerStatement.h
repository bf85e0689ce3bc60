#pragma once

#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <optional>

class QSqlDatabase;

namespace qc {

// What one statement run on the server while its thread stays awake gave.
struct ServerOutcome {
    std::optional<QSqlQuery> query;  // its rows, or the rows it changed; none when it failed
    QSqlError error;                 // why it failed, as the driver would say it
    bool stopAsked = false;          // the pulse asked to stop it while it ran
    [[nodiscard]] bool failed() const { return error.isValid(); }
};

// PostgreSQL's code of a statement stopped at the client's request.
inline constexpr QLatin1StringView kServerStatementCancelled("57014");

// Runs one statement on a PostgreSQL connection without leaving its thread inside
// the driver until the server answers: the statement is sent, and while the
// server works the running statement's pulse is given (pulseRunningStatement());
// when the pulse asks to stop, the server is asked to cancel the statement. The
// result is read whole, and its values come as the driver gives them (numbers
// exact as text, dates as dates, nulls typed), so that a caller cannot tell the
// two ways apart. Values are bound as the driver binds them: texts, dates and
// nulls take the type their place in the statement gives them, numbers and
// truth values are typed.
ServerOutcome runOnServer(QSqlDatabase& db, const QString& sql, const QVariantList& binds);

// The text a value goes to the server as, bound as the driver binds it; false
// for a null (a null variant, text or byte string, an invalid date or moment).
bool serverTextOf(const QVariant& v, QByteArray& out);

// A PostgreSQL array literal of the values, each as serverTextOf() gives it:
// bound as one value and cast to an array type, it carries a column of rows.
QString serverArray(const QVariantList& values);

// "SELECT * FROM unnest(CAST(? AS type), …)": rows made of one array per column,
// each bound as serverArray() of the column's values. A server parses every
// value of a multi-row VALUES list as a piece of the statement (6 s for 100,000
// rows of a dozen values); an array is parsed as data (about 1 s).
QString unnestedRows(const QStringList& arrayTypes);

}  // namespace qc
