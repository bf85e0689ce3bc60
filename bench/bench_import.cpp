// 导入 at scale: an XLSX file of 100,000 and 200,000 opening rows (item, quantity,
// unit cost, batch) read, checked with the cell rules and row checks of typing, and
// stored, on SQLite and, when QC_BENCH_PG or QC_TEST_PG names a server, on
// PostgreSQL; and the dry run of a file of 10,000 rows that all fail. Beside the
// import stands the floor measured in the same run: the same rows' values built
// and inserted, with the same statements, into the opening table (no reading,
// no checking), and the ratio to it.
//
//   qc_bench --benchmark_filter=Import

#include "BenchAccount.h"
#include "BenchFigures.h"
#include "opening/OpeningEntry.h"
#include "opening/PackedRows.h"
#include "opening/RowRules.h"
#include "platform/GridExport.h"
#include "platform/SheetReader.h"
#include "platform/UnitSteps.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QSqlQuery>

#include <cstdio>

namespace {

using namespace qc;
using bench::BenchAccount;
using bench::postgresServer;

demo::ScaleOptions importAccount() {
    demo::ScaleOptions o;
    o.items = 110000;
    o.warehouses = 5;
    o.openings = 0;
    o.stockLines = 0;
    o.dispatchLines = 0;
    return o;
}

// A warehouse valued by actual cost and the items a row may name there: goods in
// use, without free items, not tracked.
struct Target {
    QString warehouse;
    QString department;  // the warehouse's own: one every row may name
    QStringList items;
};

Target targetOf(Database& db, int rows) {
    Target t;
    t.warehouse = db.scalar(QStringLiteral("SELECT MIN(cWhCode) FROM Warehouse WHERE cWhValueStyle NOT IN "
                                           "('计划价法', '售价法', '个别计价法')"))
                      .toString();
    t.department =
        db.scalar(QStringLiteral("SELECT cDepCode FROM Warehouse WHERE cWhCode = ?"), {t.warehouse})
            .toString();
    QSqlQuery q =
        db.exec(QStringLiteral("SELECT cInvCode FROM Inventory WHERE bService = 0 AND bInvType = 0 AND "
                               "dEDate IS NULL AND bFree1 = 0 AND bTrack = 0 ORDER BY cInvCode"));
    while (q.next() && t.items.size() < rows) t.items << q.value(0).toString();
    return t;
}

// Every row names its item, quantity, unit cost, batch, date and department:
// each of them a cell rule, three of them a lookup.
QString writeFile(const QString& path, const Target& target, int rows, bool bad) {
    const QStringList& items = target.items;
    ExportGrid g;
    g.title = QStringLiteral("期初");
    g.columns = {{QStringLiteral("存货编码"), false, 1200}, {QStringLiteral("数量"), true, 1000},
                 {QStringLiteral("单价"), true, 1000},      {QStringLiteral("批号"), false, 1000},
                 {QStringLiteral("入库日期"), false, 1000}, {QStringLiteral("部门编码"), false, 1000}};
    for (int r = 0; r < rows; ++r)
        g.rows << QStringList{bad ? QStringLiteral("X%1").arg(r) : items.at(r % items.size()),
                              QString::number(r % 97 + 1),
                              QStringLiteral("%1.25").arg(r % 31 + 2),
                              QStringLiteral("B%1").arg(r % 1000),
                              QDate(2025, 1, 1).addDays(r % 360).toString(Qt::ISODate),
                              target.department};
    writeXlsx(g, path);
    return path;
}

// The floor: the rows' values built, held and inserted as the import holds and
// inserts them, into the opening table itself (whose indexes an import keeps up
// too); the rows are removed afterwards, untimed.
double floorSeconds(Database& db, const Sheet& sheet, const QString& warehouse) {
    const qint64 last =
        db.scalar(QStringLiteral("SELECT COALESCE(MAX(AutoID), 0) FROM IA_Subsidiary")).toLongLong();
    QElapsedTimer t;
    t.start();
    {
        Transaction tx(db);
        opening::rows::PackedRows values;
        for (const SheetRow& r : sheet.rows) {
            QStringList cells(opening::Col::Count);
            cells[opening::Col::InvCode] = r.cells.at(0);
            cells[opening::Col::Quantity] = r.cells.at(1);
            cells[opening::Col::UnitCost] = r.cells.at(2);
            cells[opening::Col::Batch] = r.cells.at(3);
            cells[opening::Col::VouDate] = r.cells.at(4);
            cells[opening::Col::DepCode] = r.cells.at(5);
            values.append(opening::rows::insertValues(cells, warehouse, {}, QDate(2025, 12, 31)));
        }
        opening::rows::insertRows(db, values);
        tx.commit();
    }
    const double s = t.nsecsElapsed() / 1e9;
    db.exec(QStringLiteral("DELETE FROM IA_Subsidiary WHERE AutoID > ?"), {last});
    return s;
}

void BM_Import(benchmark::State& state, bool postgres, int rows, bool bad) {
    BenchAccount account(postgres, QStringLiteral("import%1").arg(rows), importAccount());
    if (const QString refused = account.logIn(); !refused.isEmpty()) {
        state.SkipWithError(refused.toStdString().c_str());
        return;
    }
    LoginContext& ctx = account.ctx();
    ctx.gInstanceNo = QStringLiteral("1");
    const Target target = targetOf(account.db(), 100000);
    QTemporaryDir dir;
    const QString file = writeFile(dir.filePath(QStringLiteral("import.xlsx")), target, rows, bad);
    NoPickers pickers;
    opening::NoEntryWindow window;
    opening::OpeningEntry entry(ctx, pickers, window);
    entry.Load();
    for (const QString& item : entry.warehouseItems())
        if (item.left(15).trimmed() == target.warehouse) entry.WarehouseClick(item);

    // QC_FETCH_TRACE=1 prints how long each step of an import took.
    bench::StepTrace trace;
    double importTotal = 0, floorTotal = 0;
    int stored = 0, problems = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (!bad) floorTotal += floorSeconds(account.db(), readSheet(file), target.warehouse);
        account.db().exec(QStringLiteral("DELETE FROM IA_Subsidiary WHERE cWhCode = ?"), {target.warehouse});
        state.ResumeTiming();
        QElapsedTimer t;
        t.start();
        opening::ImportRequest request;
        request.dryRun = bad;
        trace.start(QStringLiteral("read"));
        const opening::ImportOutcome out = entry.ImportSheet(readSheet(file), request);
        trace.end();
        const double seconds = t.nsecsElapsed() / 1e9;
        state.SetIterationTime(seconds);
        importTotal += seconds;
        stored = out.status == opening::ImportOutcome::Status::Stored ? out.rows : 0;
        problems = static_cast<int>(out.problems.size());
        if (!bad && out.status != opening::ImportOutcome::Status::Stored)
            state.SkipWithError(
                QStringLiteral("导入没有保存：%1 %2")
                    .arg(out.message, out.problems.isEmpty() ? QString() : out.problems.first().message)
                    .toStdString()
                    .c_str());
    }
    const double n = state.iterations() ? double(state.iterations()) : 1;
    state.counters["rows"] = rows;
    state.counters["stored"] = stored;
    state.counters["problems"] = problems;
    state.counters["import_s"] = importTotal / n;
    if (!bad) {
        state.counters["floor_s"] = floorTotal / n;
        state.counters["ratio"] = floorTotal > 0 ? importTotal / floorTotal : 0;
        const QString work =
            QStringLiteral("import/") + (postgres ? QStringLiteral("postgres") : QStringLiteral("sqlite"));
        if (const auto half = bench::recordFigure(work, rows, importTotal / n, rows / 2))
            state.counters["vs_half"] = importTotal / n / *half;
    }
}

const bool registered = [] {
    const auto add = [](const QString& name, bool postgres, int rows, bool bad) {
        benchmark::RegisterBenchmark(name.toStdString().c_str(), BM_Import, postgres, rows, bad)
            ->UseManualTime()
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
    };
    for (const bool postgres : {false, true}) {
        if (postgres && postgresServer().isEmpty()) continue;
        const QString db = postgres ? QStringLiteral("postgres") : QStringLiteral("sqlite");
        for (const int rows : {100000, 200000})
            add(QStringLiteral("Import/%1/%2").arg(rows).arg(db), postgres, rows, false);
        add(QStringLiteral("Import/DryRunBad/10000/%1").arg(db), postgres, 10000, true);
    }
    return true;
}();

}  // namespace

// The program's main is bench/main.cpp.
