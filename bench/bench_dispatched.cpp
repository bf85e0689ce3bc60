// Dispatched goods at scale, on SQLite and, when QC_BENCH_PG or QC_TEST_PG names a
// server, on PostgreSQL:
//  - 取数 of both business types from 100,000 and from 200,000 dispatch lines
//    (two invoice lines each), as the window runs it (task, lock, one unit of
//    work each). Beside it stand two floors measured in the same run, with the
//    ratios to them: the database copying every dispatch line into
//    IA_EnSubsidiary with one INSERT ... SELECT (floor_s), and writing the very
//    rows the fetch wrote, every column, once more (rows_floor_s).
//  - the window's grid filled with about 50,000 rows by a query: into the model,
//    and shown and painted; beside them the floor of reading the same SELECT to
//    its end into plain values.
//
//   qc_bench --benchmark_filter=Dispatched

#include "BenchAccount.h"
#include "dispatched/DispatchedEntry.h"
#include "dispatched/DispatchedQuery.h"
#include "dispatched/ui/FrmQcFcsp.h"
#include "platform/UnitSteps.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QSqlRecord>

#include <cstdio>

namespace {

using namespace qc;
using bench::BenchAccount;
using bench::postgresServer;
using dispatched::BusinessType;

const QString kFloorType = QStringLiteral("基准");

demo::ScaleOptions dispatchAccount(int lines) {
    demo::ScaleOptions o;
    o.warehouses = 10;
    o.items = 2000;
    o.openings = 0;
    o.stockLines = 0;
    o.dispatchLines = lines;
    return o;
}

// The floor: every dispatch line copied into IA_EnSubsidiary with one INSERT ...
// SELECT in one transaction; the copies are removed afterwards, untimed.
double floorSeconds(Database& db) {
    const double s = bench::secondsOfUnit(
        db,
        QStringLiteral(
            "INSERT INTO IA_EnSubsidiary (cBusType, iMonth, cVouCode, dVouDate, cWhCode, cInvCode, "
            "cCusCode, iAOutQuantity, iAInQuantity) SELECT ?, 0, DispatchList.cDLCode, "
            "DispatchList.dDate, DispatchLists.cWhCode, DispatchLists.cInvCode, DispatchList.cCusCode, "
            "DispatchLists.iQuantity, DispatchLists.iQuantity FROM DispatchLists JOIN DispatchList ON "
            "DispatchList.DLID = DispatchLists.DLID"),
        {kFloorType});
    db.exec(QStringLiteral("DELETE FROM IA_EnSubsidiary WHERE cBusType = ?"), {kFloorType});
    return s;
}

// The floor of the rows themselves: the opening rows a fetch wrote, every column,
// written once more with one INSERT ... SELECT in one transaction; removed after.
double rowsFloorSeconds(Database& db) {
    QStringList cols = db.columnsOf(QStringLiteral("IA_EnSubsidiary"));
    cols.removeAll(QStringLiteral("autoid"));
    const QString list = cols.join(QStringLiteral(", "));
    const qint64 last = db.scalar(QStringLiteral("SELECT MAX(AutoID) FROM IA_EnSubsidiary")).toLongLong();
    const double s = bench::secondsOfUnit(
        db, QStringLiteral("INSERT INTO IA_EnSubsidiary (%1) SELECT %1 FROM IA_EnSubsidiary WHERE iMonth = 0")
                .arg(list));
    db.exec(QStringLiteral("DELETE FROM IA_EnSubsidiary WHERE AutoID > ?"), {last});
    return s;
}

void clearBoth(LoginContext& ctx) {
    Transaction tx(accountDb(ctx));
    dispatched::DeleteQCFCSP(ctx, BusinessType::Instalment);
    dispatched::DeleteQCFCSP(ctx, BusinessType::Consignment);
    tx.commit();
}

void BM_DispatchedFetch(benchmark::State& state, bool postgres, int lines) {
    BenchAccount account(postgres, QStringLiteral("dispatched%1").arg(lines), dispatchAccount(lines));
    if (const QString refused = account.logIn(); !refused.isEmpty()) {
        state.SkipWithError(refused.toStdString().c_str());
        return;
    }
    LoginContext& ctx = account.ctx();
    ctx.gInstanceNo = QStringLiteral("1");
    Database& db = account.db();

    // QC_FETCH_TRACE=1 prints how long each statement group of a fetch took.
    bench::StepTrace trace;

    double fetchTotal = 0, floorTotal = 0, rowsFloorTotal = 0;
    qint64 rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        clearBoth(ctx);
        // The floor is taken in every round, beside the fetch it is compared with.
        floorTotal += floorSeconds(db);
        state.ResumeTiming();
        QElapsedTimer t;
        t.start();
        bool ok = true;
        for (const BusinessType type : {BusinessType::Instalment, BusinessType::Consignment}) {
            dispatched::DispatchedEntry entry(ctx, type);
            entry.Load();
            ok = ok && entry.Fetch();
            trace.end();
        }
        const double s = t.nsecsElapsed() / 1e9;
        if (!ok) {
            state.SkipWithError(account.sink().last().toStdString().c_str());
            break;
        }
        state.SetIterationTime(s);
        fetchTotal += s;
        state.PauseTiming();
        rows =
            db.scalar(QStringLiteral("SELECT COUNT(*) FROM IA_EnSubsidiary WHERE iMonth = 0")).toLongLong();
        rowsFloorTotal += rowsFloorSeconds(db);
        state.ResumeTiming();
    }
    const double n = state.iterations() ? double(state.iterations()) : 1;
    state.counters["lines"] = lines;
    state.counters["invoice_lines"] =
        double(db.scalar(QStringLiteral("SELECT COUNT(*) FROM SaleBillVouchs")).toLongLong());
    state.counters["rows"] = double(rows);
    state.counters["fetch_s"] = fetchTotal / n;
    state.counters["floor_s"] = floorTotal / n;
    state.counters["ratio"] = floorTotal > 0 ? fetchTotal / floorTotal : 0;
    state.counters["rows_floor_s"] = rowsFloorTotal / n;
    state.counters["rows_ratio"] = rowsFloorTotal > 0 ? fetchTotal / rowsFloorTotal : 0;
}

// About 50,000 instalment rows: 25,000 instalment lines, two invoice dates each.
void BM_DispatchedGrid(benchmark::State& state, bool painted) {
    BenchAccount account(false, QStringLiteral("dispatchedgrid"), dispatchAccount(50000));
    if (const QString refused = account.logIn(); !refused.isEmpty()) {
        state.SkipWithError(refused.toStdString().c_str());
        return;
    }
    LoginContext& ctx = account.ctx();
    ctx.gInstanceNo = QStringLiteral("1");
    {
        dispatched::DispatchedEntry fetch(ctx, BusinessType::Instalment);
        fetch.Load();
        if (!fetch.Fetch()) {
            state.SkipWithError(account.sink().last().toStdString().c_str());
            return;
        }
    }
    dispatched::DispatchedFilter all;
    QSqlQuery wh = account.db().exec(QStringLiteral("SELECT cWhCode FROM Warehouse ORDER BY cWhCode"));
    while (wh.next()) all.warehouses << wh.value(0).toString();
    const SqlFragment query = dispatched::dispatchedQuery(ctx, BusinessType::Instalment, all);

    NoPickers pickers;
    dispatched::FrmQcFcsp window(ctx, pickers, BusinessType::Instalment);
    ctx.sink = &account.sink();
    window.resize(1400, 800);
    if (painted) {
        window.show();
        QApplication::processEvents();
    }
    double floorTotal = 0;
    for (auto _ : state) {
        state.PauseTiming();
        floorTotal += bench::readFloorSeconds(account.db(), query);
        window.entry().grid().clear();
        state.ResumeTiming();
        window.entry().Refresh(query);
        if (painted) {
            const QPixmap shown = window.grab();
            benchmark::DoNotOptimize(shown.width());
        }
    }
    const double n = state.iterations() ? double(state.iterations()) : 1;
    state.counters["rows"] = window.entry().grid().dataRowCount();
    state.counters["floor_ms"] = floorTotal / n * 1000;
}

const bool registered = [] {
    for (const int lines : {100000, 200000}) {
        benchmark::RegisterBenchmark(
            QStringLiteral("Dispatched/Fetch/%1/sqlite").arg(lines).toStdString().c_str(), BM_DispatchedFetch,
            false, lines)
            ->UseManualTime()
            ->Iterations(2)
            ->Unit(benchmark::kMillisecond);
        if (!postgresServer().isEmpty())
            benchmark::RegisterBenchmark(
                QStringLiteral("Dispatched/Fetch/%1/postgres").arg(lines).toStdString().c_str(),
                BM_DispatchedFetch, true, lines)
                ->UseManualTime()
                ->Iterations(2)
                ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("Dispatched/Grid/model", BM_DispatchedGrid, false)
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Dispatched/Grid/painted", BM_DispatchedGrid, true)
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
    return true;
}();

}  // namespace

// The program's main is bench/main.cpp.
