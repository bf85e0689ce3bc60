// What the commands that stand for a condition dialog share: the condition
// options and their checks, and printing a result grid.

#include "Cli.h"

#include "platform/MessageSink.h"
#include "shared/ConditionFields.h"
#include "shared/grid/ColumnSpec.h"

#include <algorithm>

namespace qc::cli {

namespace {

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

}  // namespace

void checkCodeBox(CodeBox& box, const QString& code, const std::function<bool()>& leave,
                  RecordingSink& sink) {
    if (code.isEmpty()) return;
    box.text = code;
    sink.clear();
    if (!leave()) throw UsageError(sink.texts().value(0, QStringLiteral("输入不合法")));
}

QList<Option> conditionOptions() {
    return {Option{QStringLiteral("warehouses"), QStringLiteral("01,02"),
                   QStringLiteral("仓库编码，逗号分隔（默认：可查看的全部仓库）")},
            Option{QStringLiteral("class"), QStringLiteral("C"), QStringLiteral("存货分类编码")},
            Option{QStringLiteral("from"), QStringLiteral("X"), QStringLiteral("存货编码下限")},
            Option{QStringLiteral("to"), QStringLiteral("Y"), QStringLiteral("存货编码上限")}};
}

QList<WarehouseEntry> chooseWarehouses(ConditionFields& fields, const Arguments& args, RecordingSink& sink) {
    QStringList codes;
    for (const QString& c : args.value(QStringLiteral("warehouses")).split(u',', Qt::SkipEmptyParts))
        codes << c.trimmed();
    for (const QString& c : codes) {
        const bool offered = std::any_of(fields.warehouses.cbegin(), fields.warehouses.cend(),
                                         [&c](const WarehouseEntry& w) { return w.code == c; });
        if (!offered) throw UsageError(QStringLiteral("仓库 %1 不存在，或您没有此仓库的权限").arg(c));
    }
    QList<WarehouseEntry> chosen;
    for (WarehouseEntry& w : fields.warehouses) {
        w.selected = codes.isEmpty() || codes.contains(w.code);
        if (w.selected) chosen << w;
    }
    sink.clear();
    if (!fields.CheckWarehouseChosen()) throw UsageError(sink.last());
    return chosen;
}

void checkCodeBoxes(ConditionFields& fields, const Arguments& args, RecordingSink& sink) {
    checkCodeBox(
        fields.itemClass, args.value(QStringLiteral("class")).trimmed(),
        [&] { return fields.leaveItemClass(); }, sink);
    checkCodeBox(
        fields.itemFrom, args.value(QStringLiteral("from")).trimmed(), [&] { return fields.leaveItemFrom(); },
        sink);
    checkCodeBox(
        fields.itemTo, args.value(QStringLiteral("to")).trimmed(), [&] { return fields.leaveItemTo(); },
        sink);
}

void printGrid(const QList<grid::ColumnSpec>& columns, const QList<QStringList>& rows, bool csv,
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

}  // namespace qc::cli
