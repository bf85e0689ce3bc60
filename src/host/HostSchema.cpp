#include "platform/Schema.h"

namespace qc {

// The stand-in host's own tables, kept in the account database.
QList<TableDef> hostTables() {
    QList<TableDef> l;
    l << table(QStringLiteral("qc_counter"), QStringLiteral("cName t30!, iValue bi!=0"), {QStringLiteral("cName")});
    return l;
}

}  // namespace qc
