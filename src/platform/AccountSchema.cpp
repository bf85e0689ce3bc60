#include "platform/Schema.h"

namespace qc {

// The account database's own tables, as the inventory-accounting module reads and
// writes them.
QList<TableDef> accountTables() {
    QList<TableDef> l;
    l << table(QStringLiteral("AccInformation"),
               QStringLiteral("cSysID t2, cID t5, cName t30, cCaption t30, cType t20, cValue t200, cDefault t100"));
    return l;
}

}  // namespace qc
