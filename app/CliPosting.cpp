// qcinput post and qcinput cancel-post: the 记账 and 恢复 commands of the opening
// entry window for scripts and benchmarks, with the same rights, task, checks and
// messages.

#include "Cli.h"

#include "entry/clsQC.h"
#include "host/AccPara.h"
#include "host/VqLogin.h"
#include "opening/Posting.h"
#include "platform/MessageSink.h"
#include "session/LoginContext.h"

#include <QElapsedTimer>
#include <QTextStream>

#include <cstdio>

namespace qc::cli {

namespace {

// Logs in, opens the context as the entry window does, runs the command and
// reports its messages; a refusal or failure becomes the exit code 1 with them.
void runKeep(const Arguments& given, QTextStream& out, bool cancel) {
    OperatorSession session(given);
    LoginContext& ctx = session.ctx();

    QElapsedTimer timer;
    timer.start();
    const opening::KeepOutcome outcome =
        cancel ? opening::CancelCommand(ctx) : opening::PostCommand(ctx, false);
    const QString messages = session.sink().texts().join(u'\n');
    if (outcome != opening::KeepOutcome::Done) throw UsageError(messages);
    out << messages << '\n' << QStringLiteral("用时 %1 ms\n").arg(timer.elapsed());
}

QList<Option> keepOptions() {
    QList<Option> options{databaseOption()};
    options += loginOptions();
    return options;
}

}  // namespace

Command postCommand() {
    return {QStringLiteral("post"), QStringLiteral("期初记账（与期初录入窗口的“记账”相同）"), keepOptions(),
            [](const Arguments& a, QTextStream& out) { runKeep(a, out, false); }};
}

Command cancelPostCommand() {
    return {QStringLiteral("cancel-post"), QStringLiteral("恢复期初记账前状态（与期初录入窗口的“恢复”相同）"),
            keepOptions(), [](const Arguments& a, QTextStream& out) { runKeep(a, out, true); }};
}

}  // namespace qc::cli
