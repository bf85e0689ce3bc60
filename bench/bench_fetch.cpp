// Taking openings over from stock management at scale: 1,000,000 stock lines of
// one warehouse turned into its openings (stock management ahead of inventory
// accounting, so the stock is computed from the documents), on SQLite and, when
// QC_BENCH_PG or QC_TEST_PG names a server, on PostgreSQL. Beside each figure
// stands the floor: the same database copying as many rows with one
// INSERT ... SELECT, and the ratio to it.
//
//   qc_bench --benchmark_filter=Fetch        (QC_FETCH_LINES=n for another size)

#include "BenchAccount.h"
#include "opening/FetchStock.h"
#include "platform/Dialect.h"
#include "platform/UnitSteps.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>

#include <cstdio>

namespace {

using namespace qc;
using bench::BenchAccount;
using bench::postgresServer;

int stockLines() {
    const int n = qEnvironmentVariableIntValue("QC_FETCH_LINES");
    return n > 0 ? n : 1'000'000;
}

// The floor: one INSERT ... SELECT copying as many rows as there are lines.
double floorSeconds(Database& db) {
    const QString copy = QStringLiteral("bench_fetch_floor");
    db.exec(db.dialect().dropTableIfExists(copy));
    db.exec(QStringLiteral("CREATE TABLE %1 (AutoID INTEGER, ID INTEGER, cInvCode VARCHAR(60), iQuantity "
                           "NUMERIC(30,10), iUnitCost NUMERIC(30,10), iPrice NUMERIC(19,4))")
                .arg(copy));
    QElapsedTimer t;
    t.start();
    {
        Transaction tx(db);
        db.exec(QStringLiteral("INSERT INTO %1 (AutoID, ID, cInvCode, iQuantity, iUnitCost, iPrice) "
                               "SELECT AutoID, ID, cInvCode, iQuantity, iUnitCost, iPrice FROM RdRecords")
                    .arg(copy));
        tx.commit();
    }
    const double s = t.nsecsElapsed() / 1e9;
    db.exec(db.dialect().dropTableIfExists(copy));
    return s;
}

void BM_FetchWayB(benchmark::State& state, bool postgres) {
    // An account whose only warehouse holds every stock line, stock management
    // ahead of inventory accounting.
    demo::ScaleOptions o;
    o.warehouses = 1;
    o.items = 1000;
    o.openings = 0;
    o.dispatchLines = 0;
    o.stockLines = stockLines();
    BenchAccount account(postgres, QStringLiteral("fetch"), o);
    Database::open(account.connectionString())
        ->exec(QStringLiteral("UPDATE GL_mEnd SET bFlag_ST = 1 WHERE iPeriod = 1"));
    if (const QString refused = account.logIn(); !refused.isEmpty()) {
        state.SkipWithError(refused.toStdString().c_str());
        return;
    }
    LoginContext& ctx = account.ctx();
    RecordingSink& sink = account.sink();
    ctx.gInstanceNo = QStringLiteral("1");
    const QString wh = QStringLiteral("001");

    // QC_FETCH_TRACE=1 prints how long each statement group of a take-over took.
    bench::StepTrace trace;

    double fetchSeconds = 0;
    qint64 inserted = 0;
    for (auto _ : state) {
        opening::FetchResult r;
        QElapsedTimer t;
        t.start();
        // Replacing makes every round start from the same state.
        const bool ok = opening::FetchOpenings(ctx, wh, true, &r);
        const double s = t.nsecsElapsed() / 1e9;
        if (!ok) {
            state.SkipWithError(sink.last().toStdString().c_str());
            break;
        }
        trace.end();
        state.SetIterationTime(s);
        fetchSeconds += s;
        inserted = r.inserted;
    }
    const double floor = floorSeconds(ctx.gDb->Connection());
    const double mean = state.iterations() ? fetchSeconds / double(state.iterations()) : 0;
    state.counters["lines"] = stockLines();
    state.counters["openings"] = double(inserted);
    state.counters["fetch_s"] = mean;
    state.counters["floor_s"] = floor;
    state.counters["ratio"] = floor > 0 ? mean / floor : 0;
}

const bool registered = [] {
    benchmark::RegisterBenchmark("Fetch/WayB/sqlite", BM_FetchWayB, false)
        ->UseManualTime()
        ->Iterations(2)
        ->Unit(benchmark::kMillisecond);
    if (!postgresServer().isEmpty())
        benchmark::RegisterBenchmark("Fetch/WayB/postgres", BM_FetchWayB, true)
            ->UseManualTime()
            ->Iterations(2)
            ->Unit(benchmark::kMillisecond);
    return true;
}();

}  // namespace

// The program's main is bench/main.cpp.
