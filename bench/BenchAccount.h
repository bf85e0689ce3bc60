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

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace qc::bench {

inline QString postgresServer() {
    QString s = qEnvironmentVariable("QC_BENCH_PG");
    return s.isEmpty() ? qEnvironmentVariable("QC_TEST_PG") : s;
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
