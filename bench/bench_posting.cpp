// Posting the openings at scale: generated accounts with 100,000 and 200,000
// opening rows posted through the 记账 command, on SQLite and, when QC_BENCH_PG or
// QC_TEST_PG names a server, on PostgreSQL. Each round is cancelled again outside
// the timed part, so every round posts the same rows. Beside each figure stands
// the floor: the same database copying as many ledger rows with one
// INSERT ... SELECT, and the ratio to it. The 200,000-row run also reports its
// cost against the 100,000-row run of the same database, when both ran.
//
//   qc_bench --benchmark_filter=Posting

#include "BenchAccount.h"
#include "opening/Posting.h"
#include "platform/Dialect.h"
#include "platform/UnitSteps.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QMap>

namespace {

using namespace qc;
using bench::BenchAccount;
using bench::postgresServer;

// The floor: one INSERT ... SELECT copying the opening rows, every column, into a
// scratch table of the same shape.
double floorSeconds(Database& db) {
    const QString copy = QStringLiteral("bench_posting_floor");
    db.exec(db.dialect().dropTableIfExists(copy));
    db.exec(QStringLiteral("CREATE TABLE %1 AS SELECT * FROM IA_Subsidiary WHERE 1 = 0").arg(copy));
    const double s = bench::secondsOfUnit(
        db, QStringLiteral("INSERT INTO %1 SELECT * FROM IA_Subsidiary WHERE iMonth = 0").arg(copy));
    db.exec(db.dialect().dropTableIfExists(copy));
    return s;
}

// Mean posting time per database and size, for the comparison of the sizes.
QMap<QString, double>& meanBySize() {
    static QMap<QString, double> m;
    return m;
}

void BM_Posting(benchmark::State& state, bool postgres) {
    const int rows = int(state.range(0));
    // A generated account with the given number of opening rows and nothing after them.
    demo::ScaleOptions o;
    o.warehouses = 10;
    o.items = 10000;
    o.openings = rows;
    o.stockLines = 0;
    o.dispatchLines = 0;
    BenchAccount account(postgres, QStringLiteral("post_%1").arg(rows), o);
    if (const QString refused = account.logIn(); !refused.isEmpty()) {
        state.SkipWithError(refused.toStdString().c_str());
        return;
    }
    LoginContext& ctx = account.ctx();
    RecordingSink& sink = account.sink();
    Database& db = account.db();
    const qint64 openingRows =
        db.scalar(QStringLiteral("SELECT COUNT(*) FROM IA_Subsidiary WHERE iMonth = 0")).toLongLong();

    // The audit trail's share: from the step that writes the event to the commit.
    double trailSeconds = 0, cancelTrailSeconds = 0;
    QElapsedTimer trailTimer;
    double* trailOf = &trailSeconds;
    unitStepHook() = [&](const QString& step) {
        if (step == u"posting/Audit") trailTimer.start();
        if (step == u"posting/Commit" && trailTimer.isValid()) *trailOf += trailTimer.nsecsElapsed() / 1e9;
    };
    double postSeconds = 0, cancelSeconds = 0, floorTotal = 0;
    for (auto _ : state) {
        trailOf = &trailSeconds;
        sink.clear();
        QElapsedTimer t;
        t.start();
        const opening::KeepOutcome posted = opening::PostCommand(ctx, false);
        const double s = t.nsecsElapsed() / 1e9;
        if (posted != opening::KeepOutcome::Done) {
            state.SkipWithError(sink.texts().join(QStringLiteral(" | ")).toStdString().c_str());
            break;
        }
        state.SetIterationTime(s);
        postSeconds += s;

        // Back to the unposted state for the next round, outside the measurement.
        // The floor is taken in every round, beside the posting it is compared with,
        // so that a machine busy with other work weighs on both alike.
        state.PauseTiming();
        floorTotal += floorSeconds(db);
        sink.clear();
        trailOf = &cancelTrailSeconds;
        t.start();
        const opening::KeepOutcome cancelled = opening::CancelCommand(ctx);
        cancelSeconds += t.nsecsElapsed() / 1e9;
        if (cancelled != opening::KeepOutcome::Done) {
            state.SkipWithError(sink.texts().join(QStringLiteral(" | ")).toStdString().c_str());
            state.ResumeTiming();
            break;
        }
        state.ResumeTiming();
    }
    unitStepHook() = nullptr;
    if (state.iterations() > 0) {
        const double n = double(state.iterations());
        const double floor = floorTotal / n;
        const double mean = postSeconds / n;
        state.counters["rows"] = double(openingRows);
        state.counters["post_s"] = mean;
        state.counters["cancel_s"] = cancelSeconds / n;
        state.counters["floor_s"] = floor;
        state.counters["ratio"] = floor > 0 ? mean / floor : 0;
        // Against the same command without its trail event.
        state.counters["trail_s"] = trailSeconds / n;
        state.counters["post_vs_no_trail"] = mean / (mean - trailSeconds / n);
        const double cancelMean = cancelSeconds / n;
        state.counters["cancel_vs_no_trail"] = cancelMean / (cancelMean - cancelTrailSeconds / n);
        const QString dbName = postgres ? QStringLiteral("postgres") : QStringLiteral("sqlite");
        meanBySize()[dbName + QString::number(rows)] = mean;
        const double half = meanBySize().value(dbName + QString::number(rows / 2));
        if (half > 0) state.counters["vs_half"] = mean / half;
    }
}

const bool registered = [] {
    const auto add = [](const char* name, bool postgres) {
        benchmark::RegisterBenchmark(name, BM_Posting, postgres)
            ->Arg(100'000)
            ->Arg(200'000)
            ->UseManualTime()
            ->Iterations(2)
            ->Unit(benchmark::kMillisecond);
    };
    add("Posting/sqlite", false);
    if (!postgresServer().isEmpty()) add("Posting/postgres", true);
    return true;
}();

}  // namespace

// The program's main is bench/main.cpp.
