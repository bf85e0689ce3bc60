// 导入: opening rows read from a spreadsheet, checked with the cell rules and the
// row checks of typing (their lookups answered for the whole file at once), every
// problem listed, and stored all together or not at all.

#include "host/AccPara.h"
#include "host/AuditTrail.h"
#include "host/TaskLease.h"
#include "opening/CellRules.h"
#include "opening/FetchStock.h"
#include "opening/ImportLookups.h"
#include "opening/PackedRows.h"
#include "opening/RowRules.h"
#include "platform/SheetReader.h"
#include "platform/UnitSteps.h"

#include <QJsonArray>
#include <QSet>

namespace qc::opening {

using namespace cells;
using namespace rows;

namespace {

const QString kWarehouseCaption = QStringLiteral("仓库");

// Takes the messages the rules show for one cell; a question counts as a refusal
// (an import cannot stop to ask) and is listed without its "continue?".
class CellMessages final : public MessageSink {
  public:
    MsgAnswer show(const QString& text, MsgIcon icon, MsgButtons, const QString&) override {
        QString t = text;
        if (icon == MsgIcon::Question) t.remove(QStringLiteral("，是否继续？"));
        m_texts << t;
        return icon == MsgIcon::Question ? MsgAnswer::No : MsgAnswer::Ok;
    }
    QString take() {
        QString joined = m_texts.join(u' ');
        m_texts.clear();
        return joined;
    }

  private:
    QStringList m_texts;
};

// A date cell a spreadsheet stored as a day number (the compact 20251231 is not one).
bool isDayNumber(const QString& text) {
    static const QRegularExpression day(QStringLiteral("^[0-9]{1,7}(\\.[0-9]+)?$"));
    return day.match(text).hasMatch();
}

// The column a row refusal is about, for the problem list.
int columnOfRefusal(const QString& message) {
    if (message == u"存货不能为空！") return Col::InvCode;
    if (message == u"单价必须大于等于零！") return Col::UnitCost;
    if (message == u"必须输入具体项目！") return Col::ItemCode;
    if (message == kNoNegativeSpecific || message == kSignsDiffer || message.startsWith(u"数量和金额"))
        return Col::Quantity;
    return -1;
}

// What the checks after a row's own need of a checked row; its values wait,
// packed, in the rows to store.
struct CheckedRow {
    int line = 0;
    QString warehouse, code, label;
    Decimal quantity;
};

}  // namespace

QList<int> OpeningEntry::importColumns() const {
    QList<int> out;
    for (int c = 0; c < Col::Count; ++c)
        if (!isDictionaryColumn(c) && m_widths.value(c) != 0) out << c;
    return out;
}

QStringList OpeningEntry::importCaptions() const {
    QStringList out;
    for (const int c : importColumns()) out << m_grid.caption(c);
    return out;
}

ImportOutcome OpeningEntry::ImportSheet(const Sheet& sheet, const ImportRequest& request) {
    // A failure of the database while the rows are checked (the connection lost,
    // a lock not given) refuses the import with its cause, as one while storing does.
    try {
        return importSheet(sheet, request);
    } catch (const DbError& e) {
        ImportOutcome out;
        out.status = ImportOutcome::Status::Refused;
        out.message = e.message();
        return out;
    }
}

ImportOutcome OpeningEntry::importSheet(const Sheet& sheet, const ImportRequest& request) {
    ImportOutcome out;
    const auto refuse = [&out](const QString& message) {
        out.status = ImportOutcome::Status::Refused;
        out.message = message;
        return out;
    };
    if (!m_ctx.gDb) return refuse(QStringLiteral("账套没有打开！"));
    if (bPosted || accParaOf(m_ctx).IsPosted(QStringLiteral("IA")))
        return refuse(QStringLiteral("期初已经记账！"));
    if (!m_editRight || !m_canAdd) return refuse(QStringLiteral("您没有这个权限！"));
    // Importing adds rows: it holds the task of adding, as Add does.
    const TaskLease lease = enterTask(m_ctx, task::kAddOpenings);
    if (!lease.held()) return refuse(QString());  // the refusal has been shown

    // ---- the caption row
    QHash<QString, int> columnOf;
    for (const int c : importColumns()) columnOf.insert(m_grid.caption(c), c);
    QList<int> sources(sheet.captions.size(), -1);  // grid column per file column
    int warehouseSource = -1;
    QSet<QString> seen;
    const auto problem = [&out](int line, const QString& caption, const QString& text,
                                const QString& message) {
        out.problems << ImportProblem{line, caption, text, message};
    };
    for (int i = 0; i < sheet.captions.size(); ++i) {
        const QString caption = sheet.captions.at(i);
        if (caption.isEmpty()) {
            bool used = false;
            for (const SheetRow& r : sheet.rows) used = used || !r.cells.value(i).trimmed().isEmpty();
            if (used) problem(sheet.captionLine, caption, {}, QStringLiteral("该列没有标题，无法导入"));
            continue;
        }
        if (seen.contains(caption)) {
            problem(sheet.captionLine, caption, caption, QStringLiteral("列重复"));
            continue;
        }
        seen.insert(caption);
        if (caption == kWarehouseCaption) {
            warehouseSource = i;
        } else if (columnOf.contains(caption)) {
            sources[i] = columnOf.value(caption);
        } else {
            bool shown = false;  // a column the rules fill (a name, a unit) is left out quietly
            for (int c = 0; c < Col::Count; ++c) shown = shown || m_grid.caption(c) == caption;
            if (!shown) problem(sheet.captionLine, caption, caption, QStringLiteral("无法识别的列"));
        }
    }
    if (!sources.contains(Col::InvCode))
        problem(sheet.captionLine, m_grid.caption(Col::InvCode), {}, QStringLiteral("文件中没有存货编码列"));
    if (warehouseSource < 0 && CurrentWhCode.isEmpty())
        problem(sheet.captionLine, kWarehouseCaption, {},
                QStringLiteral("请先选择仓库，或在文件中加入仓库列"));
    if (!out.problems.isEmpty()) {
        out.status = ImportOutcome::Status::Problems;
        return out;
    }
    if (sheet.rows.isEmpty()) return refuse(QStringLiteral("文件中没有数据行"));

    // The file's columns in the grid's order: rules run as a row is typed, left to right.
    QList<int> order;
    for (int c = 0; c < Col::Count; ++c)
        if (const qsizetype i = sources.indexOf(c); i >= 0) order << static_cast<int>(i);

    // ---- warehouses: the window's, or each row's among those the operator may use
    QHash<QString, QString> warehouseByText;
    for (const QString& item : m_warehouseItems) {
        const QString code = AccPara::WarehouseCodeOf(item).trimmed();
        warehouseByText.insert(code, code);
        warehouseByText.insert(item.mid(AccPara::WarehouseCodeOf(item).size()).trimmed(), code);
        warehouseByText.insert(item.trimmed(), code);
    }
    const bool perItem = m_ctx.gValueStyle == basis::kByInventory;
    QHash<QString, QString> styleOf, departmentOf;
    const auto prepareWarehouse = [&](const QString& wh) {
        if (styleOf.contains(wh)) return;
        styleOf.insert(wh, perItem ? QString() : m_ctx.gAccPara->WarehouseValueStyle(wh));
        departmentOf.insert(wh, m_ctx.gValueStyle == basis::kByDepartment ? GetDepFromWhCode(wh) : QString());
    };

    Database& db = accountDb();
    CellMessages messages;
    grid::GridModel work(openingColumns());
    for (int c = 0; c < Col::Count; ++c) work.setCaption(c, m_grid.caption(c));
    work.setDataRows({QStringList(Col::Count)});
    QString label, style;
    QMap<QString, bool> rightsSeen;
    QStringList tablesSeen;
    Env env{m_ctx,   db,       messages,    work,       label,      style,  m_freeNames,
            QuanDec, PriceDec, IAStartDate, rightsSeen, tablesSeen, nullptr};
    PrefetchedLookups lookups(env, QStringLiteral("QCImportKeys") + m_ctx.gInstanceNo);
    env.look = &lookups;

    const int total = static_cast<int>(sheet.rows.size());
    QList<std::optional<CheckedRow>> checked(total);
    PackedRows toStore(total);
    QList<QList<ImportProblem>> rowProblems(total);
    QList<int> pending(total);
    for (int i = 0; i < total; ++i) pending[i] = i;

    // Runs one row as typing would; false when some answer was not fetched yet.
    const auto runRow = [&](int index) {
        const SheetRow& r = sheet.rows.at(index);
        QList<ImportProblem>& problems = rowProblems[index];
        problems.clear();
        rightsSeen.clear();  // an answer "none" may have been a question not fetched yet
        checked[index].reset();
        toStore.clear(index);
        QString wh = CurrentWhCode;
        if (warehouseSource >= 0) {
            const QString typed = r.cells.value(warehouseSource).trimmed();
            wh = typed.isEmpty() ? CurrentWhCode : warehouseByText.value(typed);
            if (wh.isEmpty()) {
                problems << ImportProblem{r.line, kWarehouseCaption, typed,
                                          typed.isEmpty()
                                              ? QStringLiteral("仓库不能为空！")
                                              : QStringLiteral("仓库不合法或不是您所管辖的仓库！")};
                return true;
            }
        }
        prepareWarehouse(wh);
        style = styleOf.value(wh);
        label = perItem ? QString() : QStringLiteral("计价方式：") + style;
        work.setDataRows({QStringList(Col::Count)});
        bool inventoryTaken = false;
        for (const int i : order) {
            const int col = sources.at(i);
            QString text = r.cells.value(i);
            if (text.trimmed().isEmpty()) continue;
            // A day number that is no date stays as written, for the date rule to refuse.
            if (isDateColumn(col) && isDayNumber(text.trimmed())) {
                const QDate day = excelSerialDate(text.trimmed().toDouble(), sheet.date1904);
                if (day.isValid()) text = day.toString(kDateFormat);
            }
            const QString caption = work.caption(col);
            if (!inventoryTaken && (col == Col::Quantity || col == Col::UnitCost || col == Col::Amount)) {
                // Without its item a number is only checked for being one.
                if (!Decimal::parse(StripThousandsSeparators(text.trimmed())))
                    problems << ImportProblem{r.line, caption, text, QStringLiteral("输入非法！")};
                continue;
            }
            const QStringList before = work.dataRow(0);
            const QString labelBefore = label, styleBefore = style;
            QString value = text;
            const Outcome outcome = runRule(env, value, 0, col);
            const QString said = messages.take();
            if (outcome != Outcome::Accept) {
                work.setDataRows({before});
                label = labelBefore;
                style = styleBefore;
                problems << ImportProblem{r.line, caption, r.cells.value(i), said};
                continue;
            }
            env.set(0, col, value);
            if (col == Col::InvCode) inventoryTaken = true;
        }
        if (lookups.takeMissed()) return false;

        // The row checks of typing, the item's facts from the same answers.
        const QStringList cells = work.dataRow(0);
        const QString code = cells.at(Col::InvCode).trimmed();
        std::optional<ItemFacts> facts;
        if (!code.isEmpty()) {
            const std::optional<InvRecord> inv = lookups.inventory(code);
            facts = ItemFacts{lookups.inventoryMethod(code), {}};
            if (inv)
                for (int n = 0; n < 10; ++n) facts->uses[n] = inv->frees[n];
            if (lookups.takeMissed()) return false;
        }
        // A row with a refused cell is not checked as a whole: its refusals would
        // only repeat what is missing.
        if (!problems.isEmpty()) return true;
        if (code.isEmpty()) {
            const qsizetype source = sources.indexOf(Col::InvCode);
            problems << ImportProblem{r.line, work.caption(Col::InvCode), r.cells.value(source),
                                      QStringLiteral("存货不能为空！")};
            return true;
        }
        const QString rowLabel = methodLabelOf(m_ctx, label, facts ? &*facts : nullptr);
        for (const QString& refusal :
             rowRefusals(cells, rowLabel, facts ? &*facts : nullptr, m_freeNames, false)) {
            const int col = columnOfRefusal(refusal);
            const qsizetype source = col < 0 ? -1 : sources.indexOf(col);
            problems << ImportProblem{r.line, col < 0 ? QString() : work.caption(col),
                                      source < 0 ? QString() : r.cells.value(source), refusal};
        }
        if (!problems.isEmpty()) return true;
        const QString dateText = cells.at(Col::VouDate).trimmed();
        const QDate vouDate = dateText.isEmpty() ? IAStartDate.addDays(-1) : cellDate(dateText);
        const RowValues values = insertValues(cells, wh, departmentOf.value(wh), vouDate);
        if (!values.ok()) {
            // The value that does not fit, under its column's caption.
            const QString source = QStringLiteral("IA_Subsidiary.") + values.failedColumn();
            int col = -1;
            for (int c = 0; c < Col::Count && col < 0; ++c)
                if (openingColumns().at(c).source.compare(source, Qt::CaseInsensitive) == 0) col = c;
            const qsizetype given = col < 0 ? -1 : sources.indexOf(col);
            problems << ImportProblem{r.line, col < 0 ? values.failedColumn() : work.caption(col),
                                      given < 0 ? QString() : r.cells.value(given), kOutOfRange};
        } else {
            checked[index] = CheckedRow{r.line, wh, code, rowLabel, cellNumber(cells.at(Col::Quantity))};
            toStore.set(index, values);
        }
        return true;
    };

    // Passes over the rows: each runs the rows whose questions were not all
    // answered, then fetches those questions for all of them at once.
    try {
        int done = 0;
        for (int pass = 0; !pending.isEmpty(); ++pass) {
            if (pass > 8) throw DbError(QStringLiteral("导入检查没有完成"));
            QList<int> again;
            announceStep(QStringLiteral("import"), QStringLiteral("check"));
            for (const int index : std::as_const(pending)) {
                if (!runRow(index)) {
                    again << index;
                } else if (request.progress && ++done % 500 == 0 && !request.progress(done, total)) {
                    out.status = ImportOutcome::Status::Cancelled;
                    return out;
                }
            }
            announceStep(QStringLiteral("import"), QStringLiteral("fetch"));
            lookups.fetchWanted();
            pending = again;
        }
    } catch (const DbError& e) {
        return refuse(e.message());
    }

    // One item's rows under first-in-first-out or last-in-first-out are all
    // receipts or all returns, in the file and among the rows a kept warehouse holds.
    const auto signsOf = [&](bool withStored) {
        QHash<QString, int> signs;  // warehouse|item: 1 some above zero, 2 some below
        for (const std::optional<CheckedRow>& r : checked)
            if (r && isFifoLifoLabel(r->label) && !r->quantity.isZero())
                signs[r->warehouse + u'|' + r->code] |= r->quantity.isNegative() ? 2 : 1;
        if (withStored) {
            QSet<QString> warehouses;
            for (const std::optional<CheckedRow>& r : checked)
                if (r) warehouses.insert(r->warehouse);
            for (const QString& wh : warehouses) {
                QSqlQuery q = db.exec(
                    QStringLiteral("SELECT cInvCode, MIN(iAInQuantity), MAX(iAInQuantity) FROM "
                                   "IA_Subsidiary WHERE cVouType = ? AND cWhCode = ? GROUP BY cInvCode"),
                    {voucher::kOpening, wh});
                while (q.next()) {
                    const QString key = wh + u'|' + textOf(q.value(0));
                    if (!signs.contains(key)) continue;
                    if (Decimal::fromVariant(q.value(1)).isNegative()) signs[key] |= 2;
                    if (Decimal::fromVariant(q.value(2)) > Decimal()) signs[key] |= 1;
                }
            }
        }
        for (int i = 0; i < total; ++i) {
            const std::optional<CheckedRow>& r = checked.at(i);
            if (r && isFifoLifoLabel(r->label) && !r->quantity.isZero() &&
                signs.value(r->warehouse + u'|' + r->code) == 3) {
                const qsizetype source = sources.indexOf(Col::Quantity);
                rowProblems[i] << ImportProblem{r->line, work.caption(Col::Quantity),
                                                source < 0 ? QString() : sheet.rows.at(i).cells.value(source),
                                                kSignsDiffer};
            }
        }
    };
    const auto gather = [&] {
        out.problems.clear();
        for (const QList<ImportProblem>& p : std::as_const(rowProblems)) out.problems += p;
        return out.problems.isEmpty();
    };
    announceStep(QStringLiteral("import"), QStringLiteral("signs"));
    signsOf(false);
    if (!gather()) {
        out.status = ImportOutcome::Status::Problems;
        return out;
    }

    // ---- openings already there: kept beside the new rows or replaced
    QStringList warehouses;
    for (const std::optional<CheckedRow>& r : checked)
        if (!warehouses.contains(r->warehouse)) warehouses << r->warehouse;
    bool replace = request.overwrite.value_or(false);
    bool anyStored = false;
    for (const QString& wh : warehouses) anyStored = anyStored || Existqcdate(m_ctx, wh, false);
    if (anyStored && !request.overwrite) {
        const MsgAnswer a = sink().show(QStringLiteral("该仓库已存在期初数据，您要覆盖原来的数据吗？"),
                                        MsgIcon::Question, MsgButtons::YesNoCancel, {});
        if (a == MsgAnswer::Cancel) {
            out.status = ImportOutcome::Status::Cancelled;
            return out;
        }
        replace = a == MsgAnswer::Yes;
    }
    if (anyStored && !replace) {
        for (QList<ImportProblem>& p : rowProblems) p.clear();
        signsOf(true);
        if (!gather()) {
            out.status = ImportOutcome::Status::Problems;
            return out;
        }
    }
    out.rows = total;
    if (request.dryRun) {
        out.status = ImportOutcome::Status::Checked;
        out.message = QStringLiteral("检查通过：%1 行").arg(total);
        return out;
    }
    if (request.progress && !request.progress(total, total)) {
        out.status = ImportOutcome::Status::Cancelled;
        return out;
    }

    // ---- storing: one unit of work, many rows per statement
    try {
        Transaction tx(db);
        accParaOf(m_ctx).LockOpenings();
        if (accParaOf(m_ctx).IsPosted(QStringLiteral("IA"))) {
            // Another copy posted the openings since this window loaded them.
            bPosted = true;
            applyCommandRules();
            updateReadOnly();
            return refuse(QStringLiteral("期初已经记账！"));
        }
        const qint64 event = audit::reserve(db);
        qint64 replaced = 0;
        if (replace)
            for (const QString& wh : warehouses) replaced += replaceOpenings(m_ctx, wh, event);
        insertRows(db, toStore);
        announceStep(QStringLiteral("import"), QStringLiteral("audit"));
        audit::Event e;
        e.operation = audit::kImport;
        e.warehouse = warehouses.size() == 1 ? warehouses.first() : QString();
        e.detail = QJsonObject{{QStringLiteral("仓库"), QJsonArray::fromStringList(warehouses)},
                               {QStringLiteral("覆盖"), replace},
                               {QStringLiteral("删除行数"), replaced},
                               {QStringLiteral("导入行数"), total}};
        audit::record(db, audit::actorOf(m_ctx.gLogin), e, event);
        tx.commit();
    } catch (const DbError& e) {
        return refuse(e.message());
    }
    out.status = ImportOutcome::Status::Stored;
    out.message = QStringLiteral("导入成功：%1 行").arg(total);
    bDirty = true;
    if (!CurrentWhCode.isEmpty()) LoadRows(CurrentWhCode);
    return out;
}

}  // namespace qc::opening
