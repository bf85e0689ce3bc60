// qcinput summary: the opening summary by class grade (期初汇总), or the
// dispatched-goods summary of a business type, for scripts: the same rights,
// checks and messages as the condition dialog, the lines printed as a table or
// as CSV.

#include "Cli.h"

#include "platform/MessageSink.h"
#include "session/LoginContext.h"
#include "summary/GradeSummary.h"

#include <QTextStream>

namespace qc::cli {

namespace {

using summary::GradeSummary;
using summary::SummaryKind;

SummaryKind kindOf(const Arguments& args) {
    if (!args.has(QStringLiteral("dispatched"))) return SummaryKind::Opening;
    const QString type = args.value(QStringLiteral("dispatched")).trimmed().toLower();
    if (type == u"instalment") return SummaryKind::Instalment;
    if (type == u"consignment") return SummaryKind::Consignment;
    throw UsageError(
        QStringLiteral("选项 --dispatched 须为 instalment（分期收款）或 consignment（委托代销）"));
}

// "1..明细", "2..3", "明细": indices into the grade items.
std::pair<int, int> gradeRange(const QString& text, const QStringList& items) {
    const QStringList parts = text.split(QStringLiteral(".."));
    const auto index = [&](const QString& g) {
        const auto i = items.indexOf(g.trimmed());
        if (i < 0)
            throw UsageError(
                QStringLiteral("选项 --grades 的级次须为 %1 之一").arg(items.join(QStringLiteral("、"))));
        return static_cast<int>(i);
    };
    if (parts.size() > 2) throw UsageError(QStringLiteral("选项 --grades 须为 起..止，例如 1..明细"));
    const int from = index(parts.first());
    const int to = index(parts.last());
    if (from > to) throw UsageError(QStringLiteral("存货级次下限输入有误"));
    return {from, to};
}

void runSummary(const Arguments& args, QTextStream& out) {
    OperatorSession session(args);
    const GridResult result = summaryResult(args, session);
    if (result.rows.isEmpty()) {
        out << result.empty << '\n';
        return;
    }
    printGrid(result.columns, result.rows, args.has(QStringLiteral("csv")), out);
}

}  // namespace

GridResult summaryResult(const Arguments& args, OperatorSession& session) {
    const SummaryKind kind = kindOf(args);
    LoginContext& ctx = session.ctx();
    ctx.gInstanceNo = QString::number(InstanceNumberSource(ctx.gDb->Connection()));

    // The dialog's fields: the permitted warehouses, then the boxes as typed.
    NoPickers pickers;
    ConditionFields fields(
        ctx, pickers,
        ConditionOptions{
            .warehouses = true, .valuationInEntries = kind == SummaryKind::Opening, .grades = true});
    fields.Load();
    summary::SummaryRequest request;
    request.warehouses = chooseWarehouses(fields, args, session.sink());
    checkCodeBoxes(fields, args, session.sink());
    request.itemClass = ConditionFields::CodeOf(fields.itemClass);
    request.itemFrom = ConditionFields::CodeOf(fields.itemFrom);
    request.itemTo = ConditionFields::CodeOf(fields.itemTo);

    GradeSummary summary(ctx, kind);
    const auto [from, to] = gradeRange(
        args.value(QStringLiteral("grades"), QStringLiteral("1..") + kDetailGrade), summary.gradeItems());
    summary.Compute(request);
    session.sink().clear();
    GridResult r;
    r.title = kind == SummaryKind::Opening      ? QStringLiteral("期初数据汇总表")
              : kind == SummaryKind::Instalment ? QStringLiteral("期初分期收款发出商品汇总表")
                                                : QStringLiteral("期初委托代销发出商品汇总表");
    r.columns = summary.columns();
    r.rows = summary.GetData(from, to);
    r.empty = session.sink().last();
    return r;
}

QList<Option> summaryOptions() {
    QList<Option> options = conditionOptions();
    options << Option{QStringLiteral("grades"), QStringLiteral("1..明细"),
                      QStringLiteral("存货级次范围（默认 1..明细）")}
            << Option{QStringLiteral("dispatched"), QStringLiteral("instalment|consignment"),
                      QStringLiteral("汇总分期收款或委托代销发出商品（默认：期初余额）")};
    return options;
}

Command summaryCommand() {
    QList<Option> options{databaseOption()};
    options += loginOptions();
    options += summaryOptions();
    options << Option{QStringLiteral("csv"), {}, QStringLiteral("以 CSV 输出（默认：表格）")};
    return {QStringLiteral("summary"), QStringLiteral("期初汇总：按存货分类级次汇总期初余额或发出商品"),
            options, runSummary};
}

}  // namespace qc::cli
