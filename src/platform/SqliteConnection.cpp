#include "platform/SqliteConnection.h"

#include "platform/UnitSteps.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

#include <cstring>

namespace qc {

namespace {
// How many steps of a statement's program run between two looks at the clock:
// some tens of microseconds, so that a look costs nothing measurable.
constexpr int kStepsBetweenLooks = 10000;

int onProgress(void* /*unused*/) {
    return pulseRunningStatement() ? 1 : 0;
}
}  // namespace

sqlite3* sqliteHandle(QSqlDatabase& db) {
    const QVariant h = db.driver()->handle();
    if (!h.isValid() || std::strcmp(h.typeName(), "sqlite3*") != 0) return nullptr;
    return *static_cast<sqlite3* const*>(h.constData());
}

void watchRunningStatements(QSqlDatabase& db) {
    if (sqlite3* handle = sqliteHandle(db))
        sqlite3_progress_handler(handle, kStepsBetweenLooks, onProgress, nullptr);
}

}  // namespace qc
