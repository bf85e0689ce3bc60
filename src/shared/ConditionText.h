#pragma once

#include "platform/Database.h"
#include "shared/Reference.h"

#include <QString>
#include <QVariant>

namespace qc {

struct LoginContext;

// Validates a code box against a coded dictionary: the box's text is looked up as
// the code or the name of a row of `table`, optionally restricted to rows whose
// `parentField` lies under `parentCode` in `parentTable`, and by `extra` (a fixed
// condition from the calling code, starting with " And"). Department rows count
// only at the end level. On exactly one row the box shows its name and holds its
// code; a text that is one row's code and another's name is retried with the
// tag. Otherwise (no row, several rows, a failing query) the box is emptied and
// the answer is false. An empty box clears the tag and is accepted.
// Table and field names must be the database's (std::invalid_argument otherwise).
bool CheckCodeName(LoginContext& ctx, CodeBox& box, const QString& codeField, const QString& nameField,
                   const QString& table, const QString& parentField = {}, const QString& parentTable = {},
                   const QString& parentCode = {}, const SqlFragment& extra = {});

// True when `code` is one whole item of the comma-separated `list`.
bool CodeInStr(const QString& list, const QString& code);

// Rewrites every real iif(a,b,c) call of an SQL text as (CASE WHEN a THEN b ELSE c
// END), nested and later calls included. "iif" inside a longer word, a quoted
// name or next to a non-ASCII character is not a call and stays as it is.
QString RePlaceStrForIIF(const QString& sql);

// A database value with null replaced by 0 (numeric) or "" (otherwise).
QVariant vFldValue(const QVariant& value, bool numeric);

// The n-th (0-based) item of `source`, trimmed; items are separated by
// `separator` (one space when empty), and blanks after a separator are skipped.
QString GetStringItem(const QString& source, int n, const QString& separator = {});

}  // namespace qc
