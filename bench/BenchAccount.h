#pragma once

// A generated account for the benchmarks, on SQLite or, when QC_BENCH_PG or
// QC_TEST_PG names a server, on PostgreSQL (in a schema of its own, dropped
// afterwards), with the demo operator logged in and the context opened as the
// entry window opens it.

#include "demo/Demo.h"
#include "entry/clsQC.h"
#include "host/VqLogin.h"
#include "platform/Database.h"
#include "platform/MessageSink.h"
#include "platform/ScratchSchema.h"
#include "platform/UnitSteps.h"
#include "session/LoginContext.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace qc::bench {

inline QString postgresServer() {
    QString s = qEnvironmentVariable("QC_BENCH_PG");
    return s.isEmpty() ? qEnvironmentVariable("QC_TEST_PG") : s;
}

// Resident memory: the peak of this process since the last resetPeakMemory()
// (Linux's VmHWM), in MB.
inline void resetPeakMemory() {
    // Memory the earlier work freed is given back first: the allocator keeps it
    // resident otherwise, and the next work's peak would start from it (an import
    // of 200,000 rows left 1.7 GB behind for every benchmark after it).
    malloc_trim(0);
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}
inline double peakMemoryMB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

// A program run to its end in a process of its own: its exit code, what it
// printed, and its peak resident memory in MB. A child reports at least the
// resident size of the process that started it (Linux carries the high-water
// mark across exec), so where /usr/bin/time is there the program is started by
// it, a small process, and its own peak is what time reports; otherwise the
// child's figure is taken as it comes, with this process's size as its floor.
struct ChildRun {
    int exitCode = -1;
    QString output;
    double peakMB = 0;
};
inline ChildRun runChild(const QString& program, const QStringList& arguments) {
    ChildRun r;
    QTemporaryFile out, peak;
    if (!out.open() || !peak.open()) return r;
    const bool timed = QFile::exists(QStringLiteral("/usr/bin/time"));
    std::vector<QByteArray> words;
    if (timed)
        words = {QByteArrayLiteral("/usr/bin/time"), QByteArrayLiteral("-f"), QByteArrayLiteral("%M"),
                 QByteArrayLiteral("-o"), peak.fileName().toLocal8Bit()};
    words.push_back(program.toLocal8Bit());
    for (const QString& a : arguments) words.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out.handle(), 1);
    posix_spawn_file_actions_adddup2(&actions, out.handle(), 2);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        r.output = QStringLiteral("cannot start %1").arg(program);
        return r;
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.peakMB = double(usage.ru_maxrss) / 1024.0;
    if (timed) {
        // time writes "Command exited with non-zero status N" first when it did.
        const QList<QByteArray> lines = peak.readAll().trimmed().split('\n');
        bool ok = false;
        const double kb = lines.isEmpty() ? 0 : lines.last().trimmed().toDouble(&ok);
        if (ok) r.peakMB = kb / 1024.0;
    }
    out.seek(0);
    r.output = QString::fromUtf8(out.readAll()).trimmed();
    return r;
}

// The generated accounts the benchmarks share: `rows` opening rows over ten
// warehouses and 10,000 items and nothing after them (posting, cancelling); one
// warehouse holding `lines` stock lines of 1,000 items and no openings (the
// take-over).
inline demo::ScaleOptions openingsAccount(int rows) {
    demo::ScaleOptions o;
    o.warehouses = 10;
    o.items = 10000;
    o.openings = rows;
    o.stockLines = 0;
    o.dispatchLines = 0;
    return o;
}
inline demo::ScaleOptions stockAccount(int lines) {
    demo::ScaleOptions o;
    o.warehouses = 1;
    o.items = 1000;
    o.openings = 0;
    o.dispatchLines = 0;
    o.stockLines = lines;
    return o;
}

// The floor of a grid load: the query read to its end into plain values.
inline double readFloorSeconds(Database& db, const SqlFragment& query) {
    QElapsedTimer t;
    t.start();
    QSqlQuery q = db.exec(query);
    const int n = q.record().count();
    QList<QStringList> rows;
    while (q.next()) {
        QStringList row;
        row.reserve(n);
        for (int c = 0; c < n; ++c) row << q.value(c).toString();
        rows << row;
    }
    benchmark::DoNotOptimize(rows.size());
    return t.nsecsElapsed() / 1e9;
}

// Seconds one statement takes in a unit of work of its own, commit included: the
// floors the benchmarks measure their work against.
inline double secondsOfUnit(Database& db, const QString& sql, const QVariantList& binds = {}) {
    QElapsedTimer t;
    t.start();
    Transaction tx(db);
    db.exec(sql, binds);
    tx.commit();
    return double(t.nsecsElapsed()) / 1e9;
}

// The demo operator logged in to a generated account (cheap password hashing);
// null with the refusal in `err` when the login fails.
inline std::unique_ptr<VqLogin> demoLogin(const QString& connection, QString* err) {
    qputenv("QC_FAST_HASH", "1");
    auto login = VqLogin::login({connection,
                                 QStringLiteral("001"),
                                 2026,
                                 QStringLiteral("demo"),
                                 QStringLiteral("demo123"),
                                 QDate(2026, 1, 1),
                                 {}},
                                err);
    if (!login && err && err->isEmpty()) *err = QStringLiteral("登录失败");
    return login;
}

class BenchAccount {
  public:
    // `tag` names the SQLite file and the PostgreSQL schema. QC_BENCH_DB_DIR keeps
    // the SQLite file there for a look afterwards.
    BenchAccount(bool postgres, const QString& tag, const demo::ScaleOptions& options) {
        if (postgres) {
            m_admin = postgresServer();
            m_schema = QStringLiteral("qcb_%1_%2").arg(tag).arg(QCoreApplication::applicationPid());
            m_conn = createScratchSchema(m_admin, m_schema);
        } else {
            const QString keep = qEnvironmentVariable("QC_BENCH_DB_DIR");
            const QString file = tag + QStringLiteral(".db");
            m_conn = keep.isEmpty() ? m_dir.filePath(file) : keep + u'/' + file;
            QFile::remove(m_conn);
        }
        auto db = Database::open(m_conn);
        demo::initDatabase(*db);
        demo::generateScale(*db, options);
        // A server's account is measured as the server keeps one that has been in
        // use: vacuumed and with its statistics gathered. Otherwise the first
        // work to read the freshly written rows pays for marking them visible
        // (a write of every page it reads) while the floor beside it, reading
        // them after, does not.
        if (postgres)
            db->exec(
                QStringLiteral("VACUUM (ANALYZE) ") +
                db->scalar(QStringLiteral("SELECT string_agg(quote_ident(c.relname), ', ') FROM pg_class c "
                                          "JOIN pg_namespace n ON n.oid = c.relnamespace "
                                          "WHERE n.nspname = current_schema() AND c.relkind = 'r'"))
                    .toString());
        // The benchmark's peak memory is that of its work, not of making its account.
        resetPeakMemory();
    }
    ~BenchAccount() {
        closeContext(m_ctx);
        m_login.reset();
        if (m_schema.isEmpty()) return;
        try {
            dropScratchSchema(m_admin, m_schema);
        } catch (const DbError&) {
            // The schema carries the process id; a leftover does not disturb a later run.
        }
    }
    BenchAccount(const BenchAccount&) = delete;
    BenchAccount& operator=(const BenchAccount&) = delete;

    [[nodiscard]] QString connectionString() const { return m_conn; }

    // Logs the demo operator in and opens the context; the login's refusal when it fails.
    QString logIn() {
        qputenv("QC_FAST_HASH", "1");
        QString err;
        m_login = VqLogin::login({m_conn,
                                  QStringLiteral("001"),
                                  2026,
                                  QStringLiteral("demo"),
                                  QStringLiteral("demo123"),
                                  QDate(2026, 1, 1),
                                  {}},
                                 &err);
        if (!m_login) return err.isEmpty() ? QStringLiteral("登录失败") : err;
        m_ctx.sink = &m_sink;
        openContext(m_ctx, *m_login, false, ConnectionMode::Reconnect);
        return {};
    }
    [[nodiscard]] LoginContext& ctx() { return m_ctx; }
    [[nodiscard]] RecordingSink& sink() { return m_sink; }
    [[nodiscard]] Database& db() { return m_ctx.gDb->Connection(); }

  private:
    QTemporaryDir m_dir;
    QString m_conn, m_admin, m_schema;
    std::unique_ptr<VqLogin> m_login;
    RecordingSink m_sink;
    LoginContext m_ctx;
};

// With QC_FETCH_TRACE=1, how long each step a unit of work announces took, on
// stderr; a step announced again in a row counts as one. Steps end at the next
// step, at end() and when the trace goes.
class StepTrace {
  public:
    StepTrace() {
        if (qEnvironmentVariableIntValue("QC_FETCH_TRACE") > 0)
            unitStepHook() = [this](const QString& name) { start(name); };
    }
    ~StepTrace() {
        end();
        unitStepHook() = nullptr;
    }
    StepTrace(const StepTrace&) = delete;
    StepTrace& operator=(const StepTrace&) = delete;
    void start(const QString& name) {
        if (name == m_step) return;
        end();
        m_step = name;
        m_timer.start();
    }
    void end() {
        if (!m_step.isEmpty())
            std::fprintf(stderr, "  %-32s %8lld ms\n", qPrintable(m_step), m_timer.elapsed());
        m_step.clear();
    }

  private:
    QElapsedTimer m_timer;
    QString m_step;
};

}  // namespace qc::bench
