#include "platform/Schema.h"

namespace qc {

// The stand-in host's own tables, kept in the account database and declared with
// the rest of its schema.
//   qc_user        operators; cPassword holds a libsodium password hash, never the text
//   qc_func_right  function rights; a right on a prefix covers every function id under it
//   qc_data_scope  the object types an operator is restricted on
//   qc_data_right  the codes an operator may see (and, with bWrite, change) per object type
//   qc_task        exclusive tasks: one row per function id, claimed atomically
//   qc_setting     host settings ("RightsSysId")
//   qc_counter     named counters (the instance numbers)
//   qc_login_fail  refused logins in a row per operator name (known or not), and the
//                  database-clock second from which the name may try again
QList<TableDef> hostTables() {
    QList<TableDef> l;
    l << table(QStringLiteral("qc_user"),
               QStringLiteral("cUserId t20!, cUserName t40, cPassword t255!, bAllRights bit!=0"),
               {QStringLiteral("cUserId")});
    l << table(QStringLiteral("qc_func_right"), QStringLiteral("cUserId t20!, cFuncId t30!"),
               {QStringLiteral("cUserId"), QStringLiteral("cFuncId")});
    l << table(QStringLiteral("qc_data_scope"), QStringLiteral("cUserId t20!, cObject t20!"),
               {QStringLiteral("cUserId"), QStringLiteral("cObject")});
    l << table(QStringLiteral("qc_data_right"),
               QStringLiteral("cUserId t20!, cObject t20!, cCode t60!, bWrite bit!=0"),
               {QStringLiteral("cUserId"), QStringLiteral("cObject"), QStringLiteral("cCode")});
    TableDef task =
        table(QStringLiteral("qc_task"),
              QStringLiteral("cFuncId t30!, cInstance t40!, cUserId t20, cUserName t40, cHost t255, "
                             "iPid bi, iClaimed bi, iHeartbeat bi!"),
              {QStringLiteral("cFuncId")});
    task.indexes << IndexDef{QStringLiteral("ix_qc_task_instance"), {QStringLiteral("cInstance")}, false};
    l << task;
    l << table(QStringLiteral("qc_setting"), QStringLiteral("cName t50!, cValue t255"),
               {QStringLiteral("cName")});
    l << table(QStringLiteral("qc_counter"), QStringLiteral("cName t30!, iValue bi!=0"),
               {QStringLiteral("cName")});
    // Keyed by the name as typed, which may be longer than any operator id.
    l << table(QStringLiteral("qc_login_fail"), QStringLiteral("cUserId t!, iFailures i!=0, iNextTry bi!=0"),
               {QStringLiteral("cUserId")});
    return l;
}

}  // namespace qc
