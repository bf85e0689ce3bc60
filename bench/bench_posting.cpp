// Posting and cancelling the openings at scale: generated accounts with 100,000
// and 200,000 opening rows posted through the 记账 command and cancelled through
// 恢复, on SQLite and, when QC_BENCH_PG or QC_TEST_PG names a server, on
// PostgreSQL. Beside each figure stands its floor, the plain statements the work
// must make, measured in every round beside it, and the ratio to it. The
// 200,000-row run also reports its cost against the 100,000-row run of the same
// database, when both ran.
//
//   qc_bench --benchmark_filter=Posting

#include "BenchAccount.h"
#include "BenchFigures.h"
#include "FloorParts.h"
#include "opening/Posting.h"
#include "platform/Dialect.h"
#include "platform/UnitSteps.h"

#include <benchmark/benchmark.h>

#include <cstdio>

#include <QElapsedTimer>
#include <QMap>

namespace {

using namespace qc;
using bench::BenchAccount;
using bench::postgresServer;

// The floors: the plain statements a posting must make, in one unit of work, on
// the same rows: one UPDATE stamping the opening rows, the month-0 summaries by
// one grouped INSERT ... SELECT, their copy into the start month, and the layers
// of the rows in lot-valued warehouses. The cancelling's floor: the DELETEs of
// what the posting made and the UPDATE clearing the stamp. Each returns its
// seconds, commit included; the cancelling's floor leaves the account as the
// posting's floor found it.
const QStringList kLotMethods{QStringLiteral("先进先出法"), QStringLiteral("后进先出法"),
                              QStringLiteral("个别计价法")};

// The stamping every posting floor begins with. A row without a voucher number
// is given one (and its line id) as it is posted, and the generated openings
// have none, so the stamp writes both, as the posting does: a number the length
// of the posting's.
void stampFloor(Database& db, bench::FloorParts& parts) {
    parts.run(
        db, QStringLiteral("stamp"),
        QStringLiteral("UPDATE IA_Subsidiary SET cAccounter = ?, cHandler = ?, cMaker = ?, dKeepDate = ?, "
                       "cPZID = '0', cVouCode = CAST(-AutoID AS VARCHAR(30)), ID = -AutoID WHERE iMonth = 0"),
        {QStringLiteral("floor"), QStringLiteral("floor"), QStringLiteral("floor"), QDate(2025, 12, 31)});
}

double postingFloorSeconds(Database& db, bench::FloorParts& parts) {
    QElapsedTimer t;
    t.start();
    Transaction tx(db);
    stampFloor(db, parts);
    parts.run(
        db, QStringLiteral("summaries"),
        QStringLiteral("INSERT INTO IA_Summary (cWhCode, cInvCode, iMonth, iINum, iNum, iIMoney, iMoney) "
                       "SELECT cWhCode, cInvCode, 0, SUM(iAInQuantity), SUM(iAInQuantity), SUM(iAInPrice), "
                       "SUM(iAInPrice) FROM IA_Subsidiary WHERE iMonth = 0 GROUP BY cWhCode, cInvCode"));
    parts.run(
        db, QStringLiteral("copy"),
        QStringLiteral("INSERT INTO IA_Summary (cWhCode, cInvCode, iMonth, iINum, iNum, iIMoney, iMoney) "
                       "SELECT cWhCode, cInvCode, 1, iINum, iNum, iIMoney, iMoney FROM IA_Summary "
                       "WHERE iMonth = 0"));
    parts.run(
        db, QStringLiteral("layers"),
        QStringLiteral("INSERT INTO IA_ValuationAss (cIVouCode, cWhCode, cInvCode, dIDate, InID, "
                       "iIQuantity, iICost, iIPrice, SubID, cInVouType) SELECT s.cVouCode, s.cWhCode, "
                       "s.cInvCode, s.dVouDate, s.ID, s.iAInQuantity, s.iInCost, s.iAInPrice, s.AutoID, "
                       "s.cVouType FROM IA_Subsidiary s JOIN Warehouse w ON w.cWhCode = s.cWhCode "
                       "WHERE s.iMonth = 0 AND w.cWhValueStyle IN (?, ?, ?) ORDER BY s.AutoID"),
        {kLotMethods.at(0), kLotMethods.at(1), kLotMethods.at(2)});
    parts.commit(tx);
    return double(t.nsecsElapsed()) / 1e9;
}

// The floor above (the lean one) writes fewer columns than a posting must: the
// layers without their free items, batch and flags, the summaries without their
// cost range, difference, unit price and rate. This one, the floor a posting is
// held to, writes every column the posting writes, by the same plain statements
// (no CASE over the receipt or issue side, no rounding of sums), so that its
// ratio shows what the posting's own logic costs beyond the writes themselves.
double fullPostingFloorSeconds(Database& db, bench::FloorParts& parts) {
    QElapsedTimer t;
    t.start();
    Transaction tx(db);
    stampFloor(db, parts);
    parts.run(
        db, QStringLiteral("summaries"),
        QStringLiteral(
            "INSERT INTO IA_Summary (cWhCode, cInvCode, cDepCode, iMonth, iNum, iMoney, iDif, fMinInCost, "
            "fMaxInCost, iUnitPrice, iDifRate) SELECT cWhCode, cInvCode, NULL, 0, SUM(iAInQuantity), "
            "SUM(iAInPrice), SUM(COALESCE(iDebitDifCost, 0) - COALESCE(iCreditDifCost, 0)), MIN(iInCost), "
            "MAX(iInCost), SUM(iAInPrice) / NULLIF(SUM(iAInQuantity), 0), "
            "SUM(COALESCE(iDebitDifCost, 0)) / NULLIF(SUM(iAInPrice), 0) FROM IA_Subsidiary WHERE "
            "iMonth = 0 GROUP BY cWhCode, cInvCode"));
    parts.run(
        db, QStringLiteral("copy"),
        QStringLiteral(
            "INSERT INTO IA_Summary (cWhCode, cInvCode, cDepCode, iMonth, iNum, iMoney, iDif, fMinInCost, "
            "fMaxInCost) SELECT cWhCode, cInvCode, cDepCode, 1, iNum, iMoney, iDif, fMinInCost, fMaxInCost "
            "FROM IA_Summary WHERE iMonth = 0"));
    parts.run(
        db, QStringLiteral("layers"),
        QStringLiteral(
            "INSERT INTO IA_ValuationAss (cIVouCode, cWhCode, cInvCode, dIDate, InID, bJustInFlag, "
            "dIKeepDate, iIQuantity, iICost, iIPrice, SubID, bFlag, bMoneyFlag, cFree1, cFree2, cFree3, "
            "cFree4, cFree5, cFree6, cFree7, cFree8, cFree9, cFree10, cInVouType, cbatchia) "
            "SELECT s.cVouCode, s.cWhCode, s.cInvCode, s.dVouDate, s.ID, 0, s.dKeepDate, s.iAInQuantity, "
            "s.iInCost, s.iAInPrice, s.AutoID, 0, s.bMoneyFlag, s.cFree1, s.cFree2, s.cFree3, s.cFree4, "
            "s.cFree5, s.cFree6, s.cFree7, s.cFree8, s.cFree9, s.cFree10, s.cVouType, s.cBatchCode "
            "FROM IA_Subsidiary s JOIN Warehouse w ON w.cWhCode = s.cWhCode "
            "WHERE s.iMonth = 0 AND w.cWhValueStyle IN (?, ?, ?) ORDER BY s.AutoID"),
        {kLotMethods.at(0), kLotMethods.at(1), kLotMethods.at(2)});
    parts.commit(tx);
    return double(t.nsecsElapsed()) / 1e9;
}

// Every posting and every floor starts from openings as generated, without
// voucher numbers: the cancelling keeps the numbers a posting gave, so they are
// cleared again, untimed. A server then has the old row versions swept up, as
// it would have between typing the openings and posting them; otherwise each
// round would find the table grown by every round before it.
void clearVoucherNumbers(Database& db) {
    db.exec(QStringLiteral("UPDATE IA_Subsidiary SET cVouCode = NULL, ID = NULL WHERE iMonth = 0"));
    if (db.kind() != DbKind::Sqlite) db.exec(QStringLiteral("VACUUM (ANALYZE) IA_Subsidiary"));
}

double cancellingFloorSeconds(Database& db, bench::FloorParts& parts) {
    QElapsedTimer t;
    t.start();
    Transaction tx(db);
    parts.run(db, QStringLiteral("summaries"), QStringLiteral("DELETE FROM IA_Summary"));
    parts.run(db, QStringLiteral("layers"), QStringLiteral("DELETE FROM IA_ValuationAss"));
    parts.run(
        db, QStringLiteral("stamp"),
        QStringLiteral(
            "UPDATE IA_Subsidiary SET cAccounter = NULL, cHandler = NULL, cMaker = NULL WHERE iMonth = 0"));
    parts.commit(tx);
    return double(t.nsecsElapsed()) / 1e9;
}

void BM_Posting(benchmark::State& state, bool postgres) {
    const int rows = int(state.range(0));
    // A generated account with the given number of opening rows and nothing after them.
    BenchAccount account(postgres, QStringLiteral("post_%1").arg(rows), bench::openingsAccount(rows));
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
    // QC_FETCH_TRACE=1 adds up, per step, the time from its announcement to the next.
    const bool tracing = qEnvironmentVariableIntValue("QC_FETCH_TRACE") > 0;
    QMap<QString, double> stepSeconds;
    QString lastStep;
    QElapsedTimer stepTimer;
    unitStepHook() = [&](const QString& step) {
        if (step == u"posting/Audit") trailTimer.start();
        if (step == u"posting/Commit" && trailTimer.isValid()) *trailOf += trailTimer.nsecsElapsed() / 1e9;
        if (!tracing) return;
        if (!lastStep.isEmpty()) stepSeconds[lastStep] += stepTimer.nsecsElapsed() / 1e9;
        lastStep = step;
        stepTimer.start();
    };
    double postSeconds = 0, cancelSeconds = 0, floorTotal = 0, cancelFloorTotal = 0, fullFloorTotal = 0;
    const QString work = QStringLiteral("%1 %2").arg(postgres ? u"postgres" : u"sqlite").arg(rows);
    bench::FloorParts fullParts(QStringLiteral("floor"), work), leanParts(QStringLiteral("lean_floor"), work),
        cancelParts(QStringLiteral("cancel_floor"), work), unreported(QStringLiteral("reset"), work, false);
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

        // The cancelling, and then the floors, which leave the account unposted
        // for the next round. They are taken in every round, beside the work they
        // are compared with, so that a machine busy with other work weighs on both
        // alike.
        state.PauseTiming();
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
        clearVoucherNumbers(db);
        floorTotal += postingFloorSeconds(db, leanParts);
        cancelFloorTotal += cancellingFloorSeconds(db, cancelParts);
        clearVoucherNumbers(db);
        fullFloorTotal += fullPostingFloorSeconds(db, fullParts);
        cancellingFloorSeconds(db, unreported);
        clearVoucherNumbers(db);
        state.ResumeTiming();
    }
    unitStepHook() = nullptr;
    for (auto it = stepSeconds.cbegin(); it != stepSeconds.cend(); ++it)
        std::fprintf(stderr, "  %-32s %8.3f s\n", qPrintable(it.key()), it.value());
    if (state.iterations() > 0) {
        const double n = double(state.iterations());
        const double floor = floorTotal / n;
        const double mean = postSeconds / n;
        state.counters["rows"] = double(openingRows);
        state.counters["post_s"] = mean;
        // The posting is held to the full floor: the lean one leaves out
        // columns the posting cannot leave out.
        const double fullFloor = fullFloorTotal / n;
        state.counters["floor_s"] = fullFloor;
        state.counters["ratio"] = fullFloor > 0 ? mean / fullFloor : 0;
        state.counters["lean_floor_s"] = floor;
        state.counters["lean_ratio"] = floor > 0 ? mean / floor : 0;
        state.counters["cancel_s"] = cancelSeconds / n;
        state.counters["cancel_floor_s"] = cancelFloorTotal / n;
        state.counters["cancel_ratio"] = cancelFloorTotal > 0 ? cancelSeconds / cancelFloorTotal : 0;
        fullParts.report(state, n);
        cancelParts.report(state, n);
        // Against the same command without its trail event.
        state.counters["trail_s"] = trailSeconds / n;
        state.counters["post_vs_no_trail"] = mean / (mean - trailSeconds / n);
        const double cancelMean = cancelSeconds / n;
        state.counters["cancel_vs_no_trail"] = cancelMean / (cancelMean - cancelTrailSeconds / n);
        const QString dbName = postgres ? QStringLiteral("postgres") : QStringLiteral("sqlite");
        if (const auto half = bench::recordFigure(QStringLiteral("post/") + dbName, rows, mean, rows / 2))
            state.counters["vs_half"] = mean / *half;
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
