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

// A code box of the dialog given on the command line: checked as leaving the box
// checks it, the refusal (the dialog's message) thrown.
void checkBox(CodeBox& box, const QString& code, const std::function<bool()>& leave, RecordingSink& sink) {
    if (code.isEmpty()) return;
    box.text = code;
    sink.clear();
    if (!leave()) throw UsageError(sink.texts().value(0, QStringLiteral("输入不合法")));
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

// Terminal columns of a text: East Asian characters take two.
int displayWidth(const QString& s) {
    int w = 0;
    for (const QChar c : s) w += c.unicode() >= 0x1100 ? 2 : 1;
    return w;
}

QString csvField(const QString& s) {
    if (!s.contains(u',') && !s.contains(u'"') && !s.contains(u'\n') && !s.contains(u'\r')) return s;
    QString q = s;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

void printLines(const grid::ColumnTable& columns, const QList<QStringList>& rows, bool csv,
                QTextStream& out) {
    QStringList captions;
    for (const grid::ColumnSpec& c : columns) captions << c.caption;
    if (csv) {
        const auto line = [&out](const QStringList& fields) {
            QStringList quoted;
            for (const QString& f : fields) quoted << csvField(f);
            out << quoted.join(u',') << "\r\n";
        };
        line(captions);
        for (const QStringList& r : rows) line(r);
        return;
    }
    QList<int> widths;
    for (int c = 0; c < captions.size(); ++c) {
        int w = displayWidth(captions.at(c));
        for (const QStringList& r : rows) w = std::max(w, displayWidth(r.value(c)));
        widths << w;
    }
    const auto line = [&](const QStringList& fields, bool header) {
        QStringList cells;
        for (int c = 0; c < fields.size(); ++c) {
            const QString pad(widths.at(c) - displayWidth(fields.at(c)), u' ');
            const bool right = !header && columns.at(c).numeric();
            cells << (right ? pad + fields.at(c) : fields.at(c) + pad);
        }
        out << cells.join(QStringLiteral("  ")).trimmed() << '\n';
    };
    line(captions, true);
    for (const QStringList& r : rows) line(r, false);
}

void runSummary(const Arguments& args, QTextStream& out) {
    const SummaryKind kind = kindOf(args);
    OperatorSession session(args);
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
    const QString chosen = args.value(QStringLiteral("warehouses")).trimmed();
    QStringList codes;
    for (const QString& c : chosen.split(u',', Qt::SkipEmptyParts)) codes << c.trimmed();
    for (WarehouseEntry& w : fields.warehouses) {
        w.selected = codes.isEmpty() || codes.contains(w.code);
        if (w.selected) request.warehouses << w;
    }
    for (const QString& c : codes) {
        const bool offered = std::any_of(fields.warehouses.cbegin(), fields.warehouses.cend(),
                                         [&c](const WarehouseEntry& w) { return w.code == c; });
        if (!offered) throw UsageError(QStringLiteral("仓库 %1 不存在，或您没有此仓库的权限").arg(c));
    }
    if (!fields.CheckWarehouseChosen()) throw UsageError(session.sink().last());
    checkBox(
        fields.itemClass, args.value(QStringLiteral("class")).trimmed(),
        [&] { return fields.leaveItemClass(); }, session.sink());
    checkBox(
        fields.itemFrom, args.value(QStringLiteral("from")).trimmed(), [&] { return fields.leaveItemFrom(); },
        session.sink());
    checkBox(
        fields.itemTo, args.value(QStringLiteral("to")).trimmed(), [&] { return fields.leaveItemTo(); },
        session.sink());
    request.itemClass = ConditionFields::CodeOf(fields.itemClass);
    request.itemFrom = ConditionFields::CodeOf(fields.itemFrom);
    request.itemTo = ConditionFields::CodeOf(fields.itemTo);

    GradeSummary summary(ctx, kind);
    const auto [from, to] = gradeRange(
        args.value(QStringLiteral("grades"), QStringLiteral("1..") + kDetailGrade), summary.gradeItems());
    summary.Compute(request);
    session.sink().clear();
    const QList<QStringList> rows = summary.GetData(from, to);
    if (rows.isEmpty()) {
        out << session.sink().last() << '\n';
        return;
    }
    printLines(summary.columns(), rows, args.has(QStringLiteral("csv")), out);
}

}  // namespace

Command summaryCommand() {
    QList<Option> options{databaseOption()};
    options += loginOptions();
    options << Option{QStringLiteral("warehouses"), QStringLiteral("01,02"),
                      QStringLiteral("仓库编码，逗号分隔（默认：可查看的全部仓库）")}
            << Option{QStringLiteral("class"), QStringLiteral("C"), QStringLiteral("存货分类编码")}
            << Option{QStringLiteral("from"), QStringLiteral("X"), QStringLiteral("存货编码下限")}
            << Option{QStringLiteral("to"), QStringLiteral("Y"), QStringLiteral("存货编码上限")}
            << Option{QStringLiteral("grades"), QStringLiteral("1..明细"),
                      QStringLiteral("存货级次范围（默认 1..明细）")}
            << Option{QStringLiteral("dispatched"), QStringLiteral("instalment|consignment"),
                      QStringLiteral("汇总分期收款或委托代销发出商品（默认：期初余额）")}
            << Option{QStringLiteral("csv"), {}, QStringLiteral("以 CSV 输出（默认：表格）")};
    return {QStringLiteral("summary"), QStringLiteral("期初汇总：按存货分类级次汇总期初余额或发出商品"),
            options, runSummary};
}

}  // namespace qc::cli
