#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace qc {

class VqLogin;
class YrCommon;
struct LoginContext;

// The windows the entry methods open. The widget library provides them; each
// show operation opens the context (openContext below), shows its window modally
// and returns when it closes. A window that is not built yet reports false from
// available() and its show is never called.
class WindowHost {
  public:
    enum class Window { Opening, Dispatched, Summary, Reconcile };
    virtual ~WindowHost() = default;
    [[nodiscard]] virtual bool available(Window w) const = 0;
    virtual void showOpening(LoginContext& ctx, VqLogin& login, bool isBusiness) = 0;
    virtual void showDispatched(LoginContext& ctx, VqLogin& login, int businessType) = 0;
    virtual void showSummary(LoginContext& ctx, VqLogin& login, bool isBusiness) = 0;
    virtual void showReconcile(LoginContext& ctx, VqLogin& login, YrCommon& common) = 0;
};

// The public class of the component: the host's menu calls one entry method per
// command. Each runs the entry prologue and then the window's show operation.
class clsQC {
  public:
    explicit clsQC(WindowHost* windows, LoginContext& ctx);

    void Init(const QString& DbFullPath, const QString& cUserName, std::optional<bool> IsBusiness = {});
    void InitNew(VqLogin& mLogIn, std::optional<bool> IsBusiness = {}, std::optional<QString> strHelp = {});
    void InitHelp(const QString& strHelp);
    void InitFcsp(VqLogin& mLogIn, short businessType);
    void InitQcSum(VqLogin& mLogIn, std::shared_ptr<YrCommon> mologinkc, std::optional<bool> IsBusiness = {});
    void InitCompareKc(VqLogin& mLogIn, std::shared_ptr<YrCommon> mologinkc,
                       std::optional<QString> strhelpfile = {});

    // The application help file set by InitHelp.
    [[nodiscard]] QString helpFile() const;

  private:
    void prologue(VqLogin& login, std::shared_ptr<YrCommon> common);
    WindowHost* m_windows;
    LoginContext& m_ctx;
};

// The application help file (InitHelp sets it; the entry window sets gHelpFile).
QString& applicationHelpFile();

// How a window's context opening treats an open connection.
enum class ConnectionMode {
    Reconnect,   // entry window and summary dialog: close gConn if open, then open it
    KeepIfOpen,  // dispatched-goods window and reconciliation dialog
};

// The context opening of a window's show operation, steps 1 to 8 (the flag, the
// login, gConn, gDb, gSysContext, the scratch database name and stale file,
// gValueStyle, the rights switches). Throws DbError when the database cannot be
// opened.
void openContext(LoginContext& ctx, VqLogin& login, std::optional<bool> isBusiness, ConnectionMode mode);
// Step 10: creates the scratch database file gTempMdb.
void createScratchDatabase(LoginContext& ctx);
// The entry window's department check: under per-department accounting with
// gIsBusiness set, a warehouse without a department refuses the window with
// "仓库目录中有未添入所属部门的记录，不能录入期初！" (critical), releases gLogin and
// gDb and answers false.
bool entryDepartmentCheck(LoginContext& ctx);
// The context closing of the entry window: releases everything, deletes the
// scratch file and leaves the tasks "ASM310101" and "ASM310102". Errors ignored.
void closeContext(LoginContext& ctx);

}  // namespace qc
