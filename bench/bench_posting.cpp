// Posting the openings at scale: generated accounts with 100,000 and 200,000
// opening rows posted through the 记账 command, on SQLite and, when QC_BENCH_PG or
// QC_TEST_PG names a server, on PostgreSQL. Each round is cancelled again outside
// the timed part, so every round posts the same rows. Beside each figure stands
// the floor: the same database copying as many ledger rows with one
// INSERT ... SELECT, and the ratio to it. The 200,000-row run also reports its
// cost against the 100,000-row run of the same database, when both ran.
//
//   qc_bench --benchmark_filter=Posting

#include "demo/Demo.h"
#include "entry/LoginContext.h"
#include "entry/clsQC.h"
#include "host/VqLogin.h"
#include "opening/Posting.h"
#include "platform/Database.h"
#include "platform/Dialect.h"
#include "platform/MessageSink.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QUrl>

namespace {

using namespace qc;

QString postgresServer() {
    QString s = qEnvironmentVariable("QC_BENCH_PG");
    return s.isEmpty() ? qEnvironmentVariable("QC_TEST_PG") : s;
}

// A generated account with the given number of opening rows and nothing after them.
class ScaleAccount {
  public:
    ScaleAccount(bool postgres, int openings) {
        if (postgres) {
            m_admin = postgresServer();
            m_schema = QStringLiteral("qcb_post_%1_%2").arg(QCoreApplication::applicationPid()).arg(openings);
            auto admin = Database::open(m_admin);
            admin->exec(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(m_schema));
            admin->exec(QStringLiteral("CREATE SCHEMA %1").arg(m_schema));
            QUrl url(m_admin);
            url.setQuery(QStringLiteral("options=-csearch_path%3D") + m_schema);
            m_conn = url.toString();
        } else {
            m_conn = m_dir.filePath(QStringLiteral("posting.db"));
            QFile::remove(m_conn);
        }
        auto db = Database::open(m_conn);
        demo::initDatabase(*db);
        demo::ScaleOptions o;
        o.warehouses = 10;
        o.items = 10000;
        o.openings = openings;
        o.stockLines = 0;
        o.dispatchLines = 0;
        demo::generateScale(*db, o);
    }
    ~ScaleAccount() {
        if (m_schema.isEmpty()) return;
        try {
            Database::open(m_admin)->exec(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(m_schema));
        } catch (const DbError&) {
            // The schema carries the process id; a leftover does not disturb a later run.
        }
    }
    [[nodiscard]] QString connectionString() const { return m_conn; }

  private:
    QTemporaryDir m_dir;
    QString m_conn, m_admin, m_schema;
};

// The floor: one INSERT ... SELECT copying the opening rows, every column, into a
// scratch table of the same shape.
double floorSeconds(Database& db) {
    const QString copy = QStringLiteral("bench_posting_floor");
    db.exec(db.dialect().dropTableIfExists(copy));
    db.exec(QStringLiteral("CREATE TABLE %1 AS SELECT * FROM IA_Subsidiary WHERE 1 = 0").arg(copy));
    QElapsedTimer t;
    t.start();
    {
        Transaction tx(db);
        db.exec(QStringLiteral("INSERT INTO %1 SELECT * FROM IA_Subsidiary WHERE iMonth = 0").arg(copy));
        tx.commit();
    }
    const double s = t.nsecsElapsed() / 1e9;
    db.exec(db.dialect().dropTableIfExists(copy));
    return s;
}

// Mean posting time per database and size, for the comparison of the sizes.
QMap<QString, double>& meanBySize() {
    static QMap<QString, double> m;
    return m;
}

void BM_Posting(benchmark::State& state, bool postgres) {
    qputenv("QC_FAST_HASH", "1");
    const int rows = int(state.range(0));
    ScaleAccount account(postgres, rows);
    QString err;
    auto login = VqLogin::login({account.connectionString(),
                                 QStringLiteral("001"),
                                 2026,
                                 QStringLiteral("demo"),
                                 QStringLiteral("demo123"),
                                 QDate(2026, 1, 1),
                                 {}},
                                &err);
    if (!login) {
        state.SkipWithError(err.toStdString().c_str());
        return;
    }
    LoginContext ctx;
    RecordingSink sink;
    ctx.sink = &sink;
    openContext(ctx, *login, false, ConnectionMode::Reconnect);
    Database& db = ctx.gDb->Connection();
    const qint64 openingRows =
        db.scalar(QStringLiteral("SELECT COUNT(*) FROM IA_Subsidiary WHERE iMonth = 0")).toLongLong();

    double postSeconds = 0, cancelSeconds = 0, floorTotal = 0;
    for (auto _ : state) {
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
    if (state.iterations() > 0) {
        const double n = double(state.iterations());
        const double floor = floorTotal / n;
        const double mean = postSeconds / n;
        state.counters["rows"] = double(openingRows);
        state.counters["post_s"] = mean;
        state.counters["cancel_s"] = cancelSeconds / n;
        state.counters["floor_s"] = floor;
        state.counters["ratio"] = floor > 0 ? mean / floor : 0;
        const QString dbName = postgres ? QStringLiteral("postgres") : QStringLiteral("sqlite");
        meanBySize()[dbName + QString::number(rows)] = mean;
        const double half = meanBySize().value(dbName + QString::number(rows / 2));
        if (half > 0) state.counters["vs_half"] = mean / half;
    }
    closeContext(ctx);
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
