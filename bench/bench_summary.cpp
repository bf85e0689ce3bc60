// The opening summary by class grade at scale: 100,000 and 200,000 opening rows
// of 100,000 items in a three-grade class tree (1,110 classes), every warehouse
// chosen, on SQLite and, when QC_BENCH_PG or QC_TEST_PG names a server, on
// PostgreSQL. Beside the summary stands the floor measured in the same run: the
// same rows summed per item with one grouped INSERT ... SELECT (exact sums, no
// rounding or formatting) and the ratio to it. A change of grade range on the
// result (reading it back without computing) is timed too.
//
//   qc_bench --benchmark_filter=Summary

#include "BenchAccount.h"
#include "platform/Dialect.h"
#include "platform/UnitSteps.h"
#include "summary/GradeSummary.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QSqlQuery>

#include <cstdio>

namespace {

using namespace qc;
using bench::BenchAccount;
using bench::postgresServer;
using summary::GradeSummary;
using summary::SummaryKind;

demo::ScaleOptions summaryAccount(int openings) {
    demo::ScaleOptions o;
    o.items = 100000;
    o.warehouses = 25;
    o.openings = openings;
    o.stockLines = 0;
    o.dispatchLines = 0;
    return o;
}

// The floor: the opening rows summed per item into a table, in one statement.
double floorSeconds(Database& db) {
    const Dialect& d = db.dialect();
    const QString copy = QStringLiteral("bench_summary_floor");
    db.exec(d.dropTableIfExists(copy));
    db.exec(QStringLiteral("CREATE TABLE %1 (cInvCode TEXT, iQuantity TEXT, iMoney TEXT)").arg(copy));
    QElapsedTimer t;
    t.start();
    {
        Transaction tx(db);
        db.exec(QStringLiteral("INSERT INTO %1 (cInvCode, iQuantity, iMoney) SELECT cInvCode, %2, %3 FROM "
                               "IA_Subsidiary WHERE cVouType = ? GROUP BY cInvCode")
                    .arg(copy, d.exactSum(QStringLiteral("iAInQuantity")),
                         d.exactSum(QStringLiteral("iAInPrice"))),
                {QStringLiteral("34")});
        tx.commit();
    }
    const double s = t.nsecsElapsed() / 1e9;
    db.exec(d.dropTableIfExists(copy));
    return s;
}

summary::SummaryRequest everyWarehouse(Database& db) {
    summary::SummaryRequest r;
    QSqlQuery q = db.exec(QStringLiteral("SELECT cWhCode, cWhValueStyle FROM Warehouse ORDER BY cWhCode"));
    while (q.next()) {
        WarehouseEntry w;
        w.code = q.value(0).toString();
        w.valueStyle = q.value(1).toString();
        r.warehouses << w;
    }
    return r;
}

void BM_Summary(benchmark::State& state, bool postgres, int openings) {
    BenchAccount account(postgres, QStringLiteral("summary%1").arg(openings), summaryAccount(openings));
    if (const QString refused = account.logIn(); !refused.isEmpty()) {
        state.SkipWithError(refused.toStdString().c_str());
        return;
    }
    LoginContext& ctx = account.ctx();
    ctx.gInstanceNo = QStringLiteral("1");
    const summary::SummaryRequest request = everyWarehouse(account.db());
    GradeSummary s(ctx, SummaryKind::Opening);
    // QC_FETCH_TRACE=1 prints how long each step of a summary took.
    bench::StepTrace trace;
    double computeTotal = 0, floorTotal = 0;
    for (auto _ : state) {
        state.PauseTiming();
        floorTotal += floorSeconds(account.db());
        state.ResumeTiming();
        QElapsedTimer t;
        t.start();
        s.Compute(request);
        trace.end();
        const double seconds = t.nsecsElapsed() / 1e9;
        state.SetIterationTime(seconds);
        computeTotal += seconds;
    }
    // A change of grade range: the class lines of grades 1 and 2, read back.
    QElapsedTimer t;
    t.start();
    const int lines = static_cast<int>(s.GetData(0, 1).size());
    const double gradeChange = t.nsecsElapsed() / 1e6;
    const double n = state.iterations() ? double(state.iterations()) : 1;
    state.counters["openings"] = openings;
    state.counters["summary_s"] = computeTotal / n;
    state.counters["floor_s"] = floorTotal / n;
    state.counters["ratio"] = floorTotal > 0 ? computeTotal / floorTotal : 0;
    state.counters["grade_change_ms"] = gradeChange;
    state.counters["class_lines"] = lines;
}

const bool registered = [] {
    for (const int openings : {100000, 200000}) {
        benchmark::RegisterBenchmark(QStringLiteral("Summary/%1/sqlite").arg(openings).toStdString().c_str(),
                                     BM_Summary, false, openings)
            ->UseManualTime()
            ->Iterations(2)
            ->Unit(benchmark::kMillisecond);
        if (!postgresServer().isEmpty())
            benchmark::RegisterBenchmark(
                QStringLiteral("Summary/%1/postgres").arg(openings).toStdString().c_str(), BM_Summary, true,
                openings)
                ->UseManualTime()
                ->Iterations(2)
                ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

}  // namespace

// The program's main is bench/main.cpp.
