// Speed of the opening entry window on a generated account of 100,000 items in
// 25 warehouses (4,000 opening rows each): loading one warehouse into the grid
// model, loading it into a shown and painted grid, the latency of the
// inventory-code cell rule, and of storing a changed row with the audit trail's
// share of it.
//
//   qc_bench [--benchmark_filter=...]       (QC_BENCH_DB=<file> reuses a generated file)

#include "BenchAccount.h"
#include "BenchFigures.h"
#include "demo/Demo.h"
#include "entry/clsQC.h"
#include "host/VqLogin.h"
#include "opening/OpeningEntry.h"
#include "opening/ui/FrmQcInput.h"
#include "platform/Database.h"
#include "platform/MessageSink.h"
#include "platform/UnitSteps.h"
#include "session/LoginContext.h"
#include "shared/grid/GridModel.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

namespace {

using namespace qc;

struct Account {
    QTemporaryDir dir;
    QString file;
    QString folder;
    QString warehouse;  // the code of the first warehouse
    int rows = 0;       // its opening rows
};

// The generated account, made once per run (or the file QC_BENCH_DB names).
const Account& account() {
    static Account r;
    static bool ready = false;
    if (ready) return r;
    ready = true;
    qputenv("QC_FAST_HASH", "1");
    qputenv("QC_SETTINGS_FILE", r.dir.filePath(QStringLiteral("machine.ini")).toLocal8Bit());
    r.folder = r.dir.path();
    r.file = qEnvironmentVariable("QC_BENCH_DB");
    if (r.file.isEmpty() || !QFile::exists(r.file)) {
        if (r.file.isEmpty()) r.file = r.dir.filePath(QStringLiteral("scale.db"));
        QElapsedTimer t;
        t.start();
        auto db = Database::open(r.file);
        demo::ScaleOptions o;
        o.items = 100000;
        o.warehouses = 25;
        o.openings = 100000;  // 4,000 rows in each warehouse
        const demo::ScaleReport rep = demo::generateScale(*db, o);
        std::fprintf(stderr, "generated %lld items, %lld warehouses, %lld openings in %lld ms\n", rep.items,
                     rep.warehouses, rep.openings, static_cast<long long>(t.elapsed()));
    }
    auto db = Database::open(r.file);
    r.warehouse = db->scalar(QStringLiteral("SELECT MIN(cWhCode) FROM Warehouse")).toString();
    r.rows = db->scalar(QStringLiteral("SELECT COUNT(*) FROM IA_Subsidiary WHERE cWhCode = ? AND "
                                       "iMonth = 0 AND cVouType = '34'"),
                        {r.warehouse})
                 .toInt();
    std::fprintf(stderr, "warehouse %s: %d opening rows\n", qPrintable(r.warehouse), r.rows);
    return r;
}

// An operator logged in to the generated account, with the context open.
struct Session {
    LoginContext ctx;
    RecordingSink sink;
    NoPickers pickers;
    std::unique_ptr<VqLogin> login;

    Session() {
        QString err;
        login = bench::demoLogin(account().file, &err);
        if (!login) throw std::runtime_error(err.toStdString());
        ctx.scratchFolder = account().folder;
        ctx.sink = &sink;
        openContext(ctx, *login, false, ConnectionMode::Reconnect);
    }
    ~Session() { closeContext(ctx); }
};

QString listTextOf(const opening::OpeningEntry& entry, const QString& code) {
    for (const QString& item : entry.warehouseItems())
        if (item.left(15).trimmed() == code) return item;
    return {};
}

// The entry rules without a window, the generated account's first warehouse chosen.
struct ChosenWarehouse {
    Session s;
    opening::NoEntryWindow window;
    opening::OpeningEntry entry{s.ctx, s.pickers, window};
    ChosenWarehouse() {
        entry.Load();
        entry.WarehouseClick(listTextOf(entry, account().warehouse));
    }
};

// Loading the warehouse's rows into the grid model, against its floor taken in
// every round beside it.
void BM_LoadRowsIntoModel(benchmark::State& state) {
    ChosenWarehouse chosen;
    opening::OpeningEntry& entry = chosen.entry;
    Database& db = chosen.s.ctx.gDb->Connection();
    const SqlFragment query = entry.rowsQuery(account().warehouse);
    double floorMs = 0, loadMs = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        entry.LoadRows(account().warehouse);
        benchmark::DoNotOptimize(entry.grid().rowCount());
        loadMs += double(t.nsecsElapsed()) / 1e6;
        state.PauseTiming();
        floorMs += bench::readFloorSeconds(db, query) * 1e3;
        state.ResumeTiming();
    }
    state.counters["rows"] = entry.grid().dataRowCount();
    if (state.iterations() > 0) {
        state.counters["load_ms"] = loadMs / double(state.iterations());
        state.counters["floor_ms"] = floorMs / double(state.iterations());
        state.counters["ratio"] = floorMs > 0 ? loadMs / floorMs : 0;
    }
}
BENCHMARK(BM_LoadRowsIntoModel)->Unit(benchmark::kMillisecond)->Iterations(15)->Repetitions(3);

// Loading into a shown window and painting it: the load and the painting timed
// apart, so that the painting's own share shows.
void BM_LoadRowsPaintedGrid(benchmark::State& state) {
    Session s;
    opening::FrmQcInput window(s.ctx, s.pickers);
    s.ctx.sink = &s.sink;
    window.resize(1400, 800);
    window.show();
    QApplication::processEvents();
    window.entry().WarehouseClick(listTextOf(window.entry(), account().warehouse));
    double loadMs = 0, paintMs = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        window.entry().LoadRows(account().warehouse);
        loadMs += double(t.nsecsElapsed()) / 1e6;
        t.start();
        // Painting the grid is what the user waits for.
        const QPixmap painted = window.grab();
        benchmark::DoNotOptimize(painted.width());
        paintMs += double(t.nsecsElapsed()) / 1e6;
    }
    state.counters["rows"] = window.entry().grid().dataRowCount();
    if (state.iterations() > 0) {
        state.counters["load_ms"] = loadMs / double(state.iterations());
        state.counters["paint_ms"] = paintMs / double(state.iterations());
    }
}
BENCHMARK(BM_LoadRowsPaintedGrid)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3);

// An accepted edit of a quantity (the cell's rule, the cell set, the totals row
// following it) in the warehouse's 4,000-row grid and in a grid of its first 10
// rows: the totals are adjusted, not summed anew, so both cost the same. The
// second argument spreads the edits over that many rows: over all 4,000 each
// edit reaches rows the processor's caches no longer hold, which the same grid
// edited on 10 rows shows apart from the grid's own work.
void BM_EditInGrid(benchmark::State& state) {
    ChosenWarehouse chosen;
    opening::OpeningEntry& entry = chosen.entry;
    grid::GridModel& grid = entry.grid();
    const int keep = int(state.range(0));
    const int spread = int(state.range(1));
    if (grid.dataRowCount() > keep) {
        QList<QStringList> rows;
        for (int r = 0; r < keep; ++r) rows << grid.dataRow(r);
        grid.setDataRows(std::move(rows));
    }
    if (grid.dataRowCount() == 0) {
        state.SkipWithError("no rows");
        return;
    }
    int i = 0, refused = 0;
    QElapsedTimer t;
    t.start();
    for (auto _ : state) {
        const int row = (i * 37) % std::min(spread, grid.dataRowCount());
        QString value = QString::number(1 + i++ % 7);
        bool cancel = false;
        entry.ValidateCell(value, cancel, row, opening::Col::Quantity);
        if (cancel)
            ++refused;
        else
            grid.setText(row, opening::Col::Quantity, value);
    }
    const double us = double(t.nsecsElapsed()) / 1e3 / std::max<double>(1, double(state.iterations()));
    state.counters["rows"] = grid.dataRowCount();
    state.counters["edit_us"] = us;
    state.counters["refused"] = refused;
    const qint64 size = qint64(grid.dataRowCount()) * 100000 + spread;
    if (const auto small = bench::recordFigure(QStringLiteral("edit"), size, us, qint64(10) * 100000 + 10))
        state.counters["vs_10_rows"] = us / *small;
}
BENCHMARK(BM_EditInGrid)
    ->Args({10, 10})
    ->Args({4000, 10})
    ->Args({4000, 4000})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(3000);

// ValidateCell on 存货编码 of a new row in the loaded warehouse, alternately with
// an item's code and its name; every call is timed.
void BM_InventoryCodeRule(benchmark::State& state) {
    ChosenWarehouse chosen;
    Session& s = chosen.s;
    opening::OpeningEntry& entry = chosen.entry;
    const int row = entry.grid().addEmptyRow();

    QStringList values;
    QSqlQuery q = s.ctx.gDb->Connection().exec(
        QStringLiteral("SELECT cInvCode, cInvName FROM Inventory WHERE bService = 0 AND bInvType = 0 "
                       "AND dEDate IS NULL AND iId % 97 = 3 ORDER BY iId"));
    while (q.next() && values.size() < 2000)
        values << (values.size() % 2 ? q.value(1) : q.value(0)).toString();
    if (values.isEmpty()) {
        state.SkipWithError("no items");
        return;
    }

    std::vector<double> ms;
    ms.reserve(4096);
    int i = 0, refused = 0;
    for (auto _ : state) {
        QString value = values.at(i++ % values.size());
        bool cancel = false;
        const auto t0 = std::chrono::steady_clock::now();
        entry.ValidateCell(value, cancel, row, opening::Col::InvCode);
        const auto t1 = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        if (cancel) ++refused;
    }
    std::sort(ms.begin(), ms.end());
    auto pct = [&](double p) {
        return ms.empty() ? 0.0 : ms[std::min(ms.size() - 1, size_t(p * ms.size()))];
    };
    state.counters["p50_ms"] = pct(0.50);
    state.counters["p99_ms"] = pct(0.99);
    state.counters["max_ms"] = ms.empty() ? 0.0 : ms.back();
    state.counters["refused"] = refused;
    state.counters["grid_rows"] = entry.grid().dataRowCount();
}
BENCHMARK(BM_InventoryCodeRule)->Unit(benchmark::kMillisecond)->Iterations(1000);

// Storing a changed row of the loaded warehouse: its quantity typed anew, then
// ValidateAndStoreRow, row after row; every store is timed, and within it the
// audit trail's part (reading the row before the change, writing the event).
// The floor: the row's own UPDATE in a unit of work of its own.
void BM_StoreChangedRow(benchmark::State& state) {
    ChosenWarehouse chosen;
    Session& s = chosen.s;
    opening::OpeningEntry& entry = chosen.entry;
    entry.LoadRows(account().warehouse);
    const int rows = entry.grid().dataRowCount();
    if (rows == 0) {
        state.SkipWithError("no rows");
        return;
    }
    std::vector<double> store, trail, floor;
    double trailOfThis = 0;
    QElapsedTimer stepTimer;
    QString step;
    unitStepHook() = [&](const QString& name) {
        if (step == u"store-row/audit-before" || step == u"store-row/audit")
            trailOfThis += double(stepTimer.nsecsElapsed()) / 1e6;
        step = name;
        stepTimer.start();
    };
    Database& db = s.ctx.gDb->Connection();
    int i = 0, refused = 0;
    for (auto _ : state) {
        const int row = i % rows;
        QString value = QString::number(1 + (i++ % 7) + row % 13);
        bool cancel = false;
        entry.ValidateCell(value, cancel, row, opening::Col::Quantity);
        entry.grid().setText(row, opening::Col::Quantity, value);
        trailOfThis = 0;
        step.clear();
        const auto t0 = std::chrono::steady_clock::now();
        entry.ValidateAndStoreRow(cancel, row);
        const auto t1 = std::chrono::steady_clock::now();
        store.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        trail.push_back(trailOfThis);
        if (cancel && refused++ == 0) std::fprintf(stderr, "refused: %s\n", qPrintable(s.sink.last()));
        const QString id = entry.grid().text(row, opening::Col::AutoId);
        const auto f0 = std::chrono::steady_clock::now();
        bench::secondsOfUnit(db, QStringLiteral("UPDATE IA_Subsidiary SET iAInQuantity = ? WHERE AutoID = ?"),
                             {value, id});
        floor.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - f0).count());
    }
    unitStepHook() = nullptr;
    auto pct = [](std::vector<double> v, double p) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[std::min(v.size() - 1, size_t(p * double(v.size())))];
    };
    state.counters["store_p50_ms"] = pct(store, 0.50);
    state.counters["store_p99_ms"] = pct(store, 0.99);
    state.counters["trail_p50_ms"] = pct(trail, 0.50);
    state.counters["trail_p99_ms"] = pct(trail, 0.99);
    state.counters["floor_p50_ms"] = pct(floor, 0.50);
    state.counters["ratio_p50"] = pct(floor, 0.50) > 0 ? pct(store, 0.50) / pct(floor, 0.50) : 0;
    state.counters["refused"] = refused;
}
BENCHMARK(BM_StoreChangedRow)->Unit(benchmark::kMillisecond)->Iterations(2000);

}  // namespace
