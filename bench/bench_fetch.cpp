// Taking openings over from stock management at scale: 1,000,000 and 2,000,000 stock lines of
// one warehouse turned into its openings (stock management ahead of inventory
// accounting, so the stock is computed from the documents), on SQLite and, when
// QC_BENCH_PG or QC_TEST_PG names a server, on PostgreSQL. Beside each figure
// stands the floor: the grouped INSERT ... SELECT of the warehouse's lines into
// the same openings, and the ratio to it.
//
//   qc_bench --benchmark_filter=Fetch        (QC_FETCH_LINES=n for one other size)

#include "BenchAccount.h"
#include "FloorParts.h"
#include "opening/FetchParts.h"
#include "opening/FetchStock.h"
#include "platform/Dialect.h"
#include "platform/UnitSteps.h"
#include "shared/AccountParams.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

namespace {

using namespace qc;
using bench::BenchAccount;
using bench::postgresServer;

// The sizes of the take-over: 1,000,000 and 2,000,000 stock lines, or the one
// QC_FETCH_LINES names.
QList<int> stockLineSizes() {
    const int n = qEnvironmentVariableIntValue("QC_FETCH_LINES");
    return n > 0 ? QList<int>{n} : QList<int>{1'000'000, 2'000'000};
}

// The floor: the openings the stock lines make, by one grouped INSERT ... SELECT
// of the warehouse's lines before the start (receipts less issues) into the
// ledger, split as the take-over splits them (item, department, maker and the
// free item the generated lines fill), so that it writes the rows the take-over
// writes. Before it can group, a take-over must learn which of the 46 carried-over
// fields the lines fill: grouping by all of them instead takes about ten times
// the grouping by the filled ones, and proving a field empty takes a read of
// every line. The floor therefore also counts one read of every carried-over
// field of the heads and of the lines (here the warehouse holds every
// document), the lines' counted only where one of them is filled. A server groups for an INSERT in one
// process but for a CREATE TABLE ... AS in several, so the grouping is also measured the second way (the sums
// into a table of their own, then inserted), and the faster of the two counts. The rows written are removed
// afterwards, untimed.
struct Floor {
    double fields = 0;  // the read of the carried-over fields
    double insert = 0;  // the INSERT ... SELECT
    double sums = 0;    // through a table of sums
    [[nodiscard]] double best() const { return fields + std::min(insert, sums); }
};
// Each way's own parts, reported beside the floor.
struct FloorWays {
    bench::FloorParts fields, insert, sums;
};
Floor floorSeconds(Database& db, const QString& wh, const QDate& start, FloorWays& ways) {
    const qint64 last =
        db.scalar(QStringLiteral("SELECT COALESCE(MAX(AutoID), 0) FROM IA_Subsidiary")).toLongLong();
    const QString columns = QStringLiteral(
        "cWhCode, cInvCode, cAccDep, cMaker, cFree1, iMonth, cVouType, bRdFlag, "
        "iAInQuantity, iAInPrice");
    const QString grouped = QStringLiteral(
        "SELECT h.cWhCode AS cWhCode, l.cInvCode AS cInvCode, h.cDepCode AS cAccDep, h.cMaker AS cMaker, "
        "l.cFree1 AS cFree1, 0 AS iMonth, '34' AS cVouType, 1 AS bRdFlag, "
        "SUM(CASE WHEN h.bRdFlag = 1 THEN l.iQuantity ELSE -l.iQuantity END) AS iAInQuantity, "
        "SUM(CASE WHEN h.bRdFlag = 1 THEN l.iPrice ELSE -l.iPrice END) AS iAInPrice "
        "FROM RdRecords l JOIN RdRecord h ON h.ID = l.ID WHERE h.cWhCode = ? AND h.dDate < ? "
        "GROUP BY h.cWhCode, l.cInvCode, h.cDepCode, h.cMaker, l.cFree1");
    Floor f;
    QElapsedTimer t;
    t.start();
    {
        Transaction tx(db);
        ways.insert.run(db, QStringLiteral("insert"),
                        QStringLiteral("INSERT INTO IA_Subsidiary (%1) ").arg(columns) + grouped,
                        {wh, start});
        ways.insert.commit(tx);
    }
    f.insert = double(t.nsecsElapsed()) / 1e9;
    db.exec(QStringLiteral("DELETE FROM IA_Subsidiary WHERE AutoID > ?"), {last});

    t.start();
    {
        Transaction tx(db);
        ways.sums.run(db, QStringLiteral("sums"), QStringLiteral("CREATE TABLE benchFloorSums AS ") + grouped,
                      {wh, start});
        ways.sums.run(
            db, QStringLiteral("insert"),
            QStringLiteral("INSERT INTO IA_Subsidiary (%1) SELECT %1 FROM benchFloorSums").arg(columns));
        ways.sums.run(db, QStringLiteral("drop"), QStringLiteral("DROP TABLE benchFloorSums"));
        ways.sums.commit(tx);
    }
    f.sums = double(t.nsecsElapsed()) / 1e9;
    db.exec(QStringLiteral("DELETE FROM IA_Subsidiary WHERE AutoID > ?"), {last});

    QStringList headCounts, lineFields, lineCounts;
    for (const auto& [column, table] : opening::fetching::documentItems()) {
        if (table == u"RdRecord") {
            headCounts << QStringLiteral("COUNT(%1)").arg(column);
        } else {
            lineFields << column;
            lineCounts << QStringLiteral("COUNT(%1)").arg(column);
        }
    }
    t.start();
    ways.fields.run(db, QStringLiteral("heads"),
                    QStringLiteral("SELECT %1 FROM RdRecord").arg(headCounts.join(QStringLiteral(", "))));
    ways.fields.run(db, QStringLiteral("lines"),
                    QStringLiteral("SELECT %1 FROM RdRecords WHERE %2")
                        .arg(lineCounts.join(QStringLiteral(", ")), db.dialect().anyNotNull(lineFields)));
    f.fields = double(t.nsecsElapsed()) / 1e9;
    return f;
}

// Puts stock management ahead of inventory accounting (so that a take-over
// computes the stock from the documents) and logs in; false, with the round
// skipped, when the login is refused.
bool logInStockAhead(BenchAccount& account, benchmark::State& state) {
    Database::open(account.connectionString())
        ->exec(QStringLiteral("UPDATE GL_mEnd SET bFlag_ST = 1 WHERE iPeriod = 1"));
    const QString refused = account.logIn();
    if (!refused.isEmpty()) state.SkipWithError(refused.toStdString().c_str());
    return refused.isEmpty();
}

void BM_FetchWayB(benchmark::State& state, bool postgres) {
    const int lines = int(state.range(0));
    // An account whose only warehouse holds every stock line, stock management
    // ahead of inventory accounting.
    BenchAccount account(postgres, QStringLiteral("fetch_%1").arg(lines), bench::stockAccount(lines));
    if (!logInStockAhead(account, state)) return;
    LoginContext& ctx = account.ctx();
    RecordingSink& sink = account.sink();
    ctx.gInstanceNo = QStringLiteral("1");
    const QString wh = QStringLiteral("001");
    const QDate start =
        dateOf(QVariant(ReadAccValue(ctx, QStringLiteral("IA"), QStringLiteral("dIAStartDate"))));

    // QC_FETCH_TRACE=1 prints how long each statement group of a take-over took.
    bench::StepTrace trace;

    Database& db = ctx.gDb->Connection();
    const qint64 before =
        db.scalar(QStringLiteral("SELECT COALESCE(MAX(AutoID), 0) FROM IA_Subsidiary")).toLongLong();
    double fetchSeconds = 0, floorTotal = 0, insertFloorTotal = 0, fieldsTotal = 0;
    const QString work = QStringLiteral("%1 %2").arg(postgres ? u"postgres" : u"sqlite").arg(lines);
    FloorWays ways{{QStringLiteral("fields_floor"), work},
                   {QStringLiteral("insert_floor"), work},
                   {QStringLiteral("sums_floor"), work}};
    qint64 inserted = 0;
    for (auto _ : state) {
        // Every round takes over into a warehouse without openings: the rows of
        // the round before are removed untimed (replacing them is measured on
        // its own below).
        db.exec(QStringLiteral("DELETE FROM IA_Subsidiary WHERE AutoID > ?"), {before});
        opening::FetchResult r;
        QElapsedTimer t;
        t.start();
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
        // The floor beside each round, so that a busy machine weighs on both alike.
        const Floor f = floorSeconds(db, wh, start, ways);
        floorTotal += f.best();
        insertFloorTotal += f.insert;
        fieldsTotal += f.fields;
    }
    const double rounds = state.iterations() ? double(state.iterations()) : 1;
    const double floor = floorTotal / rounds;
    const double mean = fetchSeconds / rounds;
    state.counters["lines"] = lines;
    state.counters["openings"] = double(inserted);
    state.counters["fetch_s"] = mean;
    state.counters["floor_s"] = floor;
    state.counters["insert_floor_s"] = insertFloorTotal / rounds;
    state.counters["fields_floor_s"] = fieldsTotal / rounds;
    state.counters["ratio"] = floor > 0 ? mean / floor : 0;
    for (const bench::FloorParts* parts : {&ways.fields, &ways.insert, &ways.sums})
        parts->report(state, rounds);
}

// A take-over replacing a warehouse's 100,000 typed openings: what keeping the
// replaced rows in the audit trail costs beside the take-over itself. Each round
// puts the openings back outside the timed part. Reports the take-over's time,
// the trail's share (the step that keeps the rows), the delete of the same rows,
// and the floor: one INSERT ... SELECT copying as many rows, every column.
void BM_FetchReplacing(benchmark::State& state, bool postgres) {
    const int openings = int(state.range(0));
    demo::ScaleOptions o;
    o.warehouses = 1;
    o.items = 10000;
    o.openings = openings;
    o.dispatchLines = 0;
    o.stockLines = 10000;
    BenchAccount account(postgres, QStringLiteral("fetch_replace"), o);
    if (!logInStockAhead(account, state)) return;
    LoginContext& ctx = account.ctx();
    RecordingSink& sink = account.sink();
    Database& db = ctx.gDb->Connection();
    const QString wh = QStringLiteral("001");
    const QString snapshot = QStringLiteral("bench_fetch_openings");
    db.exec(db.dialect().dropTableIfExists(snapshot));
    db.exec(QStringLiteral("CREATE TABLE %1 AS SELECT * FROM IA_Subsidiary WHERE iMonth = 0").arg(snapshot));
    const qint64 typed = db.scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(snapshot)).toLongLong();

    // The trail's share runs from the step that keeps the rows to the delete.
    double keepSeconds = 0, deleteSeconds = 0, fetchSeconds = 0;
    QElapsedTimer stepTimer;
    QString step;
    unitStepHook() = [&](const QString& name) {
        const double s = stepTimer.isValid() ? stepTimer.nsecsElapsed() / 1e9 : 0;
        if (step == u"fetch/audit-keep") keepSeconds += s;
        if (step == u"fetch/delete") deleteSeconds += s;
        step = name;
        stepTimer.start();
    };
    for (auto _ : state) {
        {
            Transaction tx(db);
            db.exec(QStringLiteral("DELETE FROM IA_Subsidiary WHERE iMonth = 0"));
            db.exec(QStringLiteral("INSERT INTO IA_Subsidiary SELECT * FROM %1").arg(snapshot));
            tx.commit();
        }
        if (postgres) db.exec(QStringLiteral("ANALYZE IA_Subsidiary"));
        QElapsedTimer t;
        t.start();
        const bool ok = opening::FetchOpenings(ctx, wh, true);
        const double s = t.nsecsElapsed() / 1e9;
        if (!ok) {
            state.SkipWithError(sink.last().toStdString().c_str());
            break;
        }
        state.SetIterationTime(s);
        fetchSeconds += s;
    }
    unitStepHook() = nullptr;
    const double kept = db.scalar(QStringLiteral("SELECT COUNT(*) FROM IA_AuditSubsidiary")).toDouble();
    // The floor: every column of the typed openings copied once.
    const double floor = bench::secondsOfUnit(
        db, QStringLiteral("CREATE TABLE bench_fetch_floor AS SELECT * FROM %1").arg(snapshot));
    db.exec(db.dialect().dropTableIfExists(QStringLiteral("bench_fetch_floor")));
    const double rounds = state.iterations() ? double(state.iterations()) : 1;
    const double mean = fetchSeconds / rounds;
    state.counters["typed"] = double(typed);
    state.counters["kept_per_round"] = kept / rounds;
    state.counters["fetch_s"] = mean;
    state.counters["keep_s"] = keepSeconds / rounds;
    state.counters["delete_s"] = deleteSeconds / rounds;
    state.counters["floor_s"] = floor;
    state.counters["ratio"] = floor > 0 ? mean / floor : 0;
    // The take-over against itself without the kept rows.
    state.counters["with_trail"] = mean > keepSeconds / rounds ? mean / (mean - keepSeconds / rounds) : 0;
}

const bool registered = [] {
    for (const bool postgres : {false, true}) {
        if (postgres && postgresServer().isEmpty()) continue;
        auto* wayB = benchmark::RegisterBenchmark(postgres ? "Fetch/WayB/postgres" : "Fetch/WayB/sqlite",
                                                  BM_FetchWayB, postgres);
        for (const int lines : stockLineSizes()) wayB->Arg(lines);
        wayB->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(postgres ? "Fetch/Replacing/postgres" : "Fetch/Replacing/sqlite",
                                     BM_FetchReplacing, postgres)
            ->Arg(100'000)
            ->Arg(200'000)
            ->UseManualTime()
            ->Iterations(3)
            ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

}  // namespace

// The program's main is bench/main.cpp.
