// 库存与存货期初对账 at scale: 100,000 opening rows against 1,000,000 and 2,000,000
// stock lines (every eighth document a stock opening), every warehouse, on SQLite
// and, when QC_BENCH_PG or QC_TEST_PG names a server, on PostgreSQL. Beside it
// stands the floor measured in the same run: the two grouped scans the comparison
// needs (the opening rows and the stock openings per warehouse and item), as plain
// selects read to their end, and the ratio to it.
//
//   qc_bench --benchmark_filter=Reconcile

#include "BenchAccount.h"
#include "reconcile/Reconciliation.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QSqlQuery>

namespace {

using namespace qc;
using bench::BenchAccount;
using bench::postgresServer;

demo::ScaleOptions reconcileAccount(int stockLines) {
    demo::ScaleOptions o;
    o.items = 20000;
    o.warehouses = 10;
    o.openings = 100000;
    o.stockLines = stockLines;
    o.dispatchLines = 0;
    return o;
}

double floorSeconds(Database& db) {
    QElapsedTimer t;
    t.start();
    qint64 groups = 0;
    for (const QString& sql :
         {QStringLiteral(
              "SELECT cWhCode, cInvCode, SUM(iAInQuantity) FROM IA_Subsidiary WHERE iMonth = 0 AND "
              "cVouType <> ? GROUP BY cWhCode, cInvCode"),
          QStringLiteral(
              "SELECT RdRecord.cWhCode, RdRecords.cInvCode, SUM(RdRecords.iQuantity) FROM RdRecords JOIN "
              "RdRecord ON RdRecords.ID = RdRecord.ID WHERE RdRecord.bIsSTQc = ? GROUP BY RdRecord.cWhCode, "
              "RdRecords.cInvCode")}) {
        QSqlQuery q =
            db.exec(sql, {sql.contains(u"cVouType") ? QVariant(QStringLiteral("33")) : QVariant(1)});
        while (q.next()) ++groups;
    }
    benchmark::DoNotOptimize(groups);
    return t.nsecsElapsed() / 1e9;
}

void BM_Reconcile(benchmark::State& state, bool postgres, int stockLines) {
    BenchAccount account(postgres, QStringLiteral("reconcile%1").arg(stockLines),
                         reconcileAccount(stockLines));
    if (const QString refused = account.logIn(); !refused.isEmpty()) {
        state.SkipWithError(refused.toStdString().c_str());
        return;
    }
    LoginContext& ctx = account.ctx();
    ctx.gInstanceNo = QStringLiteral("1");
    reconcile::ReconcileRequest request;
    QSqlQuery w = account.db().exec(QStringLiteral("SELECT cWhCode FROM Warehouse ORDER BY cWhCode"));
    while (w.next()) request.warehouses << w.value(0).toString();
    reconcile::Reconciliation r(ctx);
    double total = 0, floorTotal = 0;
    qint64 differing = 0;
    for (auto _ : state) {
        state.PauseTiming();
        floorTotal += floorSeconds(account.db());
        state.ResumeTiming();
        QElapsedTimer t;
        t.start();
        r.Compute(request);
        const double s = t.nsecsElapsed() / 1e9;
        state.SetIterationTime(s);
        total += s;
        state.PauseTiming();
        differing = r.rows().size();
        state.ResumeTiming();
    }
    const double n = state.iterations() ? double(state.iterations()) : 1;
    state.counters["stock_lines"] = stockLines;
    state.counters["differing"] = double(differing);
    state.counters["reconcile_s"] = total / n;
    state.counters["floor_s"] = floorTotal / n;
    state.counters["ratio"] = floorTotal > 0 ? total / floorTotal : 0;
}

const bool registered = [] {
    for (const int lines : {1000000, 2000000}) {
        benchmark::RegisterBenchmark(QStringLiteral("Reconcile/%1/sqlite").arg(lines).toStdString().c_str(),
                                     BM_Reconcile, false, lines)
            ->UseManualTime()
            ->Iterations(2)
            ->Unit(benchmark::kMillisecond);
        if (!postgresServer().isEmpty())
            benchmark::RegisterBenchmark(
                QStringLiteral("Reconcile/%1/postgres").arg(lines).toStdString().c_str(), BM_Reconcile, true,
                lines)
                ->UseManualTime()
                ->Iterations(2)
                ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

}  // namespace

// The program's main is bench/main.cpp.
