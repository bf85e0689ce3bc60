// qcinput fetch-dispatched and clear-dispatched: the 取数 and 清空 commands of the
// dispatched-goods windows for scripts, with the same rights, task, checks and
// messages. The command itself is the confirmation 清空 asks for.

#include "Cli.h"

#include "dispatched/DispatchedEntry.h"
#include "entry/clsQC.h"
#include "platform/MessageSink.h"
#include "session/LoginContext.h"

#include <QTextStream>

namespace qc::cli {

namespace {

dispatched::BusinessType businessTypeOf(const Arguments& args) {
    const QString type = args.value(QStringLiteral("type")).trimmed().toLower();
    if (type == u"instalment") return dispatched::BusinessType::Instalment;
    if (type == u"consignment") return dispatched::BusinessType::Consignment;
    throw UsageError(QStringLiteral("选项 --type 须为 instalment（分期收款）或 consignment（委托代销）"));
}

// The window offers 取数 and 清空 only with the right, before the posting and in
// the first year of inventory accounting.
void requireFetchAndClear(dispatched::DispatchedEntry& entry) {
    if (entry.posted()) throw UsageError(QStringLiteral("期初已经记账！"));
    if (!entry.canFetchAndClear()) throw UsageError(QStringLiteral("您没有这个权限！"));
}

void printMessages(RecordingSink& sink, QTextStream& out) {
    for (const QString& text : sink.texts()) out << text << '\n';
}

void fetchDispatched(const Arguments& args, QTextStream& out) {
    const dispatched::BusinessType type = businessTypeOf(args);
    OperatorSession session(args);
    LoginContext& ctx = session.ctx();
    ctx.gInstanceNo = QString::number(InstanceNumberSource(ctx.gDb->Connection()));
    dispatched::DispatchedEntry entry(ctx, type);
    entry.Load();
    requireFetchAndClear(entry);
    // With rows there (before, or fetched by another copy meanwhile) the window
    // does nothing; say so rather than nothing.
    const auto alreadyThere = [&] {
        if (!dispatched::hasRows(ctx, type)) return false;
        out << QStringLiteral("已有%1期初数据，未取数（先清空再取数）\n").arg(dispatched::businessName(type));
        return true;
    };
    if (alreadyThere()) return;
    if (!entry.Fetch()) {
        if (alreadyThere()) return;
        throw UsageError(session.sink().last());
    }
    printMessages(session.sink(), out);
    out << QStringLiteral("写入%1期初行 %2\n")
               .arg(dispatched::businessName(type))
               .arg(ctx.gDb->Connection()
                        .scalar(QStringLiteral("SELECT COUNT(*) FROM IA_EnSubsidiary WHERE cBusType = ? AND "
                                               "iMonth = 0"),
                                {dispatched::businessName(type)})
                        .toLongLong());
}

void clearDispatched(const Arguments& args, QTextStream& out) {
    const dispatched::BusinessType type = businessTypeOf(args);
    OperatorSession session(args);
    dispatched::DispatchedEntry entry(session.ctx(), type);
    entry.Load();
    requireFetchAndClear(entry);
    session.sink().script(MsgAnswer::Yes);
    if (!entry.Clear()) throw UsageError(session.sink().last());
    out << QStringLiteral("已清空%1期初数据\n").arg(dispatched::businessName(type));
}

QList<Option> dispatchedOptions() {
    QList<Option> options{databaseOption()};
    options += loginOptions();
    options << Option{QStringLiteral("type"), QStringLiteral("instalment|consignment"),
                      QStringLiteral("分期收款（instalment）或委托代销（consignment）")};
    return options;
}

}  // namespace

Command fetchDispatchedCommand() {
    return {QStringLiteral("fetch-dispatched"),
            QStringLiteral("从销售管理取发出商品期初（与发出商品期初窗口的“取数”相同）"), dispatchedOptions(),
            fetchDispatched};
}

Command clearDispatchedCommand() {
    return {QStringLiteral("clear-dispatched"),
            QStringLiteral("清空发出商品期初（与发出商品期初窗口的“清空”相同，不再询问）"),
            dispatchedOptions(), clearDispatched};
}

}  // namespace qc::cli
