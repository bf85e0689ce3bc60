#pragma once

// What the take-over's files share: the columns it writes, the fields a document
// carries over, the fields its documents fill, and the announcement of each
// statement group to the test hook.
// Only the take-over and its benchmark include it.

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <utility>

namespace qc {
class Database;
}

namespace qc::opening::fetching {

// The columns of an opening row that a take-over writes, in the order of the
// insertion into IA_Subsidiary; the work tables have exactly these columns.
QStringList takenOverColumns();
// The user-defined and free items a document carries over: head fields from
// RdRecord, line fields from RdRecords, as (column, source) pairs.
QList<std::pair<QString, QString>> documentItems();
// One statement group: announced to the test hook before it runs.
void fetchStep(const QString& name);
// Which of `items` some line of the documents `from` (FROM … WHERE, with its
// values) selects fills, for the warehouse `wh`; a field filled only in other
// warehouses' documents may count as filled too, which splits no group.
QList<bool> filledFields(Database& db, const QString& wh, const QList<std::pair<QString, QString>>& items,
                         const QString& from, const QVariantList& fromBinds);

}  // namespace qc::opening::fetching
