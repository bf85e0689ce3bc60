#pragma once

#include "host/AccPara.h"
#include "host/HostDb.h"
#include "host/LoginAdapter.h"
#include "host/TaskLease.h"
#include "host/YrCommon.h"
#include "platform/Database.h"
#include "platform/MessageSink.h"
#include "platform/ScratchDb.h"

#include <QString>

#include <memory>

namespace qc {

class VqLogin;

// The start-up context of the running component: filled by the entry prologue and
// the context opening of the window shown, replaced by each entry call.
struct LoginContext {
    VqLogin* gLogin = nullptr;  // the host's login object (owned by the host)
    // The component's connection to the account; gDb runs on it too.
    std::shared_ptr<Database> gConn;
    std::unique_ptr<HostDb> gDb;
    std::shared_ptr<YrCommon> gCommon;
    std::unique_ptr<AccPara> gAccPara;
    std::unique_ptr<SysContext> gSysContext;
    std::unique_ptr<LoginAdapter> gLoginAdapter;
    QString gLoginLink;
    QString gAdapterMsg;
    QString gInstanceNo;
    QString gTempMdbName;
    std::unique_ptr<ScratchDb> gTempMdb;
    bool gIsBusiness = false;
    QString gHelpFile;
    QString gValueStyle;
    bool bWarehouseCheck = false;
    bool bDepartmentCheck = false;
    bool bInventoryCheck = false;
    bool bOperatorCheck = false;
    // The last rights filter built and the column it was built for.
    SqlFragment lastRightsFilter;
    QString lastRightsColumn;
    // Where messages go: message boxes in the windows, a recorder in tests.
    MessageSink* sink = nullptr;
    // Folder of the scratch database file (the component's work folder).
    QString scratchFolder;
};

// The account database of the context (DbError "账套数据库未打开" when none is open).
Database& accountDb(LoginContext& ctx);

// Where the context's messages go: its sink, or the console when it has none.
MessageSink& sinkOf(LoginContext& ctx);
// The context's account-parameter object, on the connection of its host database
// object; made on first use.
AccPara& accParaOf(LoginContext& ctx);
// A command's task entry: the lease of the function task, its refusal shown to
// the operator when it is not held ("您没有这个权限！" as a warning, a conflict
// plainly, as the commands have always shown them).
TaskLease enterTask(LoginContext& ctx, const QString& funcId);

}  // namespace qc
