// Whether memory grows with the account: the peak resident memory of the
// commands qcinput post, cancel-post and fetch-stock, each in a process of its
// own, on generated accounts of 100,000 and 1,000,000 opening rows (posting and
// cancelling) or stock lines (the take-over), on SQLite and, when QC_BENCH_PG or
// QC_TEST_PG names a server, on PostgreSQL. The larger run reports its growth
// over the smaller one of the same command and database.
//
//   qc_bench --benchmark_filter=Memory       (QC_MEMORY_ROWS=n for the larger size)

#include "BenchAccount.h"
#include "BenchFigures.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

namespace {

using namespace qc;
using bench::BenchAccount;
using bench::postgresServer;

int largerSize() {
    const int n = qEnvironmentVariableIntValue("QC_MEMORY_ROWS");
    return n > 0 ? n : 1'000'000;
}

void report(benchmark::State& state, const QString& key, int rows, double peak) {
    state.counters["rows"] = rows;
    state.counters["command_peak_MB"] = peak;
    if (const auto smaller = bench::recordFigure(key, rows, peak, 100'000))
        state.counters["growth_MB"] = peak - *smaller;
}

// Runs `command` on the account; the run skipped with the command's words when it fails.
bool runCommand(benchmark::State& state, const BenchAccount& account, const QStringList& command,
                double* peak) {
    QStringList args = command;
    args << QStringLiteral("--db") << account.connectionString() << QStringLiteral("--user")
         << QStringLiteral("demo") << QStringLiteral("--password") << QStringLiteral("demo123");
    const bench::ChildRun r =
        bench::runChild(QCoreApplication::applicationDirPath() + QStringLiteral("/qcinput"), args);
    if (r.exitCode != 0) {
        state.SkipWithError((command.join(u' ') + QStringLiteral(": ") + r.output).toStdString().c_str());
        return false;
    }
    *peak = r.peakMB;
    return true;
}

void BM_PostingMemory(benchmark::State& state, bool postgres) {
    const int rows = static_cast<int>(state.range(0));
    BenchAccount account(postgres, QStringLiteral("memory_post_%1").arg(rows), bench::openingsAccount(rows));
    const QString db = postgres ? QStringLiteral("postgres") : QStringLiteral("sqlite");
    double post = 0, cancel = 0;
    for (auto _ : state) {
        if (!runCommand(state, account, {QStringLiteral("post")}, &post)) return;
        if (!runCommand(state, account, {QStringLiteral("cancel-post")}, &cancel)) return;
    }
    report(state, QStringLiteral("post/") + db, rows, post);
    state.counters["cancel_command_peak_MB"] = cancel;
    if (const auto smaller = bench::recordFigure(QStringLiteral("cancel/") + db, rows, cancel, 100'000))
        state.counters["cancel_growth_MB"] = cancel - *smaller;
}

void BM_FetchMemory(benchmark::State& state, bool postgres) {
    const int rows = static_cast<int>(state.range(0));
    BenchAccount account(postgres, QStringLiteral("memory_fetch_%1").arg(rows), bench::stockAccount(rows));
    Database::open(account.connectionString())
        ->exec(QStringLiteral("UPDATE GL_mEnd SET bFlag_ST = 1 WHERE iPeriod = 1"));
    double fetch = 0;
    for (auto _ : state)
        if (!runCommand(state, account,
                        {QStringLiteral("fetch-stock"), QStringLiteral("--warehouse"), QStringLiteral("001"),
                         QStringLiteral("--overwrite"), QStringLiteral("yes")},
                        &fetch))
            return;
    report(state,
           QStringLiteral("fetch/") + (postgres ? QStringLiteral("postgres") : QStringLiteral("sqlite")),
           rows, fetch);
}

const bool registered = [] {
    for (const bool postgres : {false, true}) {
        if (postgres && postgresServer().isEmpty()) continue;
        const char* post = postgres ? "Memory/post/postgres" : "Memory/post/sqlite";
        const char* fetch = postgres ? "Memory/fetch-stock/postgres" : "Memory/fetch-stock/sqlite";
        benchmark::RegisterBenchmark(post, BM_PostingMemory, postgres)
            ->Arg(100'000)
            ->Arg(largerSize())
            ->Iterations(1)
            ->Unit(benchmark::kSecond);
        benchmark::RegisterBenchmark(fetch, BM_FetchMemory, postgres)
            ->Arg(100'000)
            ->Arg(largerSize())
            ->Iterations(1)
            ->Unit(benchmark::kSecond);
    }
    return true;
}();

}  // namespace

// The program's main is bench/main.cpp.
