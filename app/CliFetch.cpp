// qcinput fetch-stock: the 取数 command of the opening entry window for scripts
// and benchmarks, with the same rights, task, checks and messages.

#include "Cli.h"

#include "domain/Vocabulary.h"

#include "entry/clsQC.h"
#include "host/AccPara.h"
#include "host/TaskLease.h"
#include "host/VqLogin.h"
#include "opening/FetchStock.h"
#include "platform/MessageSink.h"
#include "session/LoginContext.h"
#include "shared/AccountParams.h"

#include <QElapsedTimer>
#include <QTextStream>

#include <cstdio>

namespace qc::cli {

namespace {

void fetchStock(const Arguments& args, QTextStream& out) {
    const QString wh = args.value(QStringLiteral("warehouse")).trimmed();
    if (wh.isEmpty()) throw UsageError(QStringLiteral("缺少选项 --warehouse"));
    const QString overwrite = args.value(QStringLiteral("overwrite")).trimmed().toLower();
    if (overwrite != u"yes" && overwrite != u"no")
        throw UsageError(QStringLiteral("选项 --overwrite 须为 yes 或 no"));
    OperatorSession session(args);
    LoginContext& ctx = session.ctx();
    RecordingSink& sink = session.sink();
    VqLogin& login = session.login();
    ctx.gInstanceNo = QString::number(InstanceNumberSource(ctx.gDb->Connection()));

    // The window offers 取数 only in the first year of inventory accounting and
    // once stock management has started, and only on the warehouses the operator
    // may see.
    if (!IsIaStartYear(ctx) ||
        !dateOf(QVariant(ReadAccValue(ctx, QStringLiteral("ST"), QStringLiteral("dSTStartDate")))).isValid())
        throw UsageError(QStringLiteral("库存管理尚未启用或本年度不是存货核算的启用年度，不能取数！"));
    bool visible = false;
    for (const QString& item : FillWarehouseCombo(ctx, QString()))
        if (AccPara::WarehouseCodeOf(item).trimmed() == wh) visible = true;
    if (!visible) throw UsageError(QStringLiteral("仓库 %1 不存在或不是您所管辖的仓库！").arg(wh));

    const TaskLease lease(&login, task::kFetchFromStock);
    if (!lease.held()) throw UsageError(lease.refusal());
    if (const QString refusal = opening::fetchRefusal(ctx, wh); !refusal.isEmpty()) throw UsageError(refusal);

    const bool existing = opening::Existqcdate(ctx, wh, false);
    QElapsedTimer timer;
    timer.start();
    opening::FetchResult r;
    if (!opening::FetchOpenings(ctx, wh, existing && overwrite == u"yes", &r)) throw UsageError(sink.last());
    for (const QString& text : sink.texts()) out << text << '\n';
    out << QStringLiteral("已从库存管理取数：仓库 %1，%2，写入期初行 %3，用时 %4 ms\n")
               .arg(wh, r.wayA ? QStringLiteral("复制库存期初") : QStringLiteral("按启用日前的出入库单计算"))
               .arg(r.inserted)
               .arg(timer.elapsed());
    if (existing)
        out << (overwrite == u"yes" ? QStringLiteral("原有未记账的期初数据已删除\n")
                                    : QStringLiteral("原有期初数据已保留\n"));
}

}  // namespace

Command fetchStockCommand() {
    QList<Option> options{databaseOption()};
    options += loginOptions();
    options << Option{QStringLiteral("warehouse"), QStringLiteral("仓库编码"), QStringLiteral("取数的仓库")}
            << Option{QStringLiteral("overwrite"), QStringLiteral("yes|no"),
                      QStringLiteral("仓库已有期初数据时：yes 覆盖（删除未记账的期初行），no 保留")};
    return {QStringLiteral("fetch-stock"), QStringLiteral("从库存管理取期初数（与期初录入窗口的“取数”相同）"),
            options, fetchStock};
}

}  // namespace qc::cli
